#pragma once
// Reference and introspection entry points of bond perception, for the tests
// and the benchmarks. The viewer and the readers call CreateBonds (bonds.h).
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/chemistry/bonds.h"
#include "core/model/molecule.h"

// The plain all-pairs loop: n(n-1)/2 pair
// tests. CreateBonds must add the same bonds in the same order.
void CreateBondsAllPairs(vl::ref<vl::Molecule> structure, double tolerance = kBondTolerance);

namespace chem {

// Index pairs (i < j), sorted by (i, j), of the bonds the criterion gives.
using BondPairs = std::vector<std::pair<uint32_t, uint32_t>>;

enum class BondSearch {
  Auto,      // what CreateBonds uses: dense cell grid, or hashed cells for spread clouds
  DenseGrid, // force the dense grid (cell count capped; cells grow when needed)
  HashGrid,  // force the hashed grid (only occupied cells are stored)
  AllPairs,  // the reference loop
};

// The pairs CreateBonds would add, found with the given strategy, without
// the overlap limit.
BondPairs FindBondPairs(const vl::Molecule& molecule, BondSearch search = BondSearch::Auto,
                        double tolerance = kBondTolerance);

// The reference loop's pairs (what CreateBondsAllPairs adds). Stops once it
// has more than maxPairs.
BondPairs FindBondPairsAllPairs(const vl::Molecule& molecule, double tolerance = kBondTolerance,
                                size_t maxPairs = SIZE_MAX);

// CreateBonds keeps its working memory (per thread) between calls while it is
// below 16 MiB, about 250,000 atoms' worth; this frees it now (for memory
// measurements).
void ReleaseBondScratch();

} // namespace chem
