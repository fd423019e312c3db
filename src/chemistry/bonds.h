#pragma once
// Bond perception from covalent radii.
#include "vl/molecule.h"

// Relative tolerance of the bond criterion.
extern double GeomBondTol;

// Adds a single bond between every pair of atoms closer than the sum of their
// covalent radii enlarged by GeomBondTol; never H-H, never unknown atoms.
// Bonds come in the order of the pair loop (i < j ascending), first atom i.
void CreateBonds(vl::ref<vl::Molecule> structure);
