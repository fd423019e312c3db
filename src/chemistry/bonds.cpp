#include "chemistry/bonds.h"

double GeomBondTol = 0.15;

void CreateBonds(vl::ref<vl::Molecule>) {}
