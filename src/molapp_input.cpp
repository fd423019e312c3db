#include "molapp.h"

#include "vl/gui/applet.h"

void MolApplet::mouseDownEvent(vl::EMouseButton, int, int) {}
void MolApplet::keyPressEvent(unsigned short, vl::EKey) {}
void MolApplet::keyReleaseEvent(unsigned short ch, vl::EKey key) { vl::Applet::keyReleaseEvent(ch, key); }
void MolApplet::captureCanvas() {}
