#pragma once
// Geometry of picked atoms: lengths in angstrom, angles in radians.
#include "core/model/molecule.h"

double GeomRij(vl::Atom* at1, vl::Atom* at2);
double GeomAngle(vl::Atom* at1, vl::Atom* at2, vl::Atom* at3);
void GeomCentroid(vl::Atom* at1, vl::Atom* at2, vl::Atom* at3, double* dtmp1, double* dtmp2, double* dtmp3);
double GeomTorsion(vl::Atom* at1, vl::Atom* at2, vl::Atom* at3, vl::Atom* at4);
double GeomOutOfPlane(vl::Atom* at1, vl::Atom* at2, vl::Atom* at3, vl::Atom* at4);

// The principal axes of the atoms' positions (unit vectors, from the largest
// spread to the smallest), from the eigenvectors of their covariance. False
// for fewer than two atoms or non-finite coordinates.
bool GeomPrincipalAxes(const vl::Molecule& molecule, vl::fvec3 axes[3]);
