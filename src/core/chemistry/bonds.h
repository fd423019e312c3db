#pragma once
// Bond perception from covalent radii.
#include <cstddef>

#include "core/model/molecule.h"

// Relative tolerance of the bond criterion.
constexpr double kBondTolerance = 0.15;

// Perception stops when a structure would get more bonds than this many per
// atom on average: far above any real structure (close-packed metals have 6),
// reached only by atoms piled onto one another, where the bonds would grow
// with the square of the atom count.
constexpr size_t kMaxBondsPerAtom = 16;

// Adds a single bond between every pair of atoms closer than the sum of their
// covalent radii enlarged by `tolerance`; never H-H, never unknown atoms.
// Bonds come in the order of the pair loop (i < j ascending), first atom i.
// Returns false, and adds no bond, when overlapping atoms exceed the limit above.
bool CreateBonds(vl::ref<vl::Molecule> structure, double tolerance = kBondTolerance);
