#include "molapp.h"

void MolApplet::updateMolecule() {}
void MolApplet::updateText() {}
