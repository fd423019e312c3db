#include "chemistry/geometry.h"

double GeomRij(vl::Atom*, vl::Atom*) { return 0; }
double GeomAngle(vl::Atom*, vl::Atom*, vl::Atom*) { return 0; }
void GeomCentroid(vl::Atom*, vl::Atom*, vl::Atom*, double*, double*, double*) {}
double GeomTorsion(vl::Atom*, vl::Atom*, vl::Atom*, vl::Atom*) { return 0; }
double GeomOutOfPlane(vl::Atom*, vl::Atom*, vl::Atom*, vl::Atom*) { return 0; }
