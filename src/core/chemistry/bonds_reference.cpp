#include "core/chemistry/bonds_reference.h"

#include <cmath>

#include "core/chemistry/bonds.h"
#include "core/model/elements.h"

// The plain all-pairs loop, step by step. Kept as the reference that
// the cell-grid search of CreateBonds is tested and benchmarked against.

namespace chem {

BondPairs FindBondPairsAllPairs(const vl::Molecule& molecule, double tolerance, size_t maxPairs)
{
  BondPairs pairs;
  const int n = molecule.atoms();
  for (int i = 0; i < n; ++i) {
    const vl::Atom* at1 = molecule.atom(i);
    for (int j = i + 1; j < n; ++j) {
      const vl::Atom* at2 = molecule.atom(j);
      if (at1->atomType() == vl::AT_Unknown || at2->atomType() == vl::AT_Unknown)
        continue;
      if (at1->atomType() == vl::AT_Hydrogen && at2->atomType() == vl::AT_Hydrogen)
        continue;
      const double Sum = BaseQueryAtomRadiusVal(vl::atomInfo(at1->atomType()).mAtomicNumber) +
                         BaseQueryAtomRadiusVal(vl::atomInfo(at2->atomType()).mAtomicNumber);
      const vl::fvec3& c1 = at1->coordinates();
      const vl::fvec3& c2 = at2->coordinates();
      const float dx = c1.x - c2.x;
      const float dy = c1.y - c2.y;
      const float dz = c1.z - c2.z;
      const float d2 = dx * dx + dy * dy + dz * dz;
      const double d = static_cast<double>(std::sqrt(d2));
      if (Sum * tolerance + Sum > d) {
        pairs.emplace_back(static_cast<uint32_t>(i), static_cast<uint32_t>(j));
        if (pairs.size() > maxPairs)
          return pairs;
      }
    }
  }
  return pairs;
}

} // namespace chem

void CreateBondsAllPairs(vl::ref<vl::Molecule> structure, double tolerance)
{
  if (!structure)
    return;
  const chem::BondPairs pairs = chem::FindBondPairsAllPairs(*structure, tolerance);
  for (const auto& p : pairs) {
    vl::ref<vl::Bond> bond = vl::make_ref<vl::Bond>();
    bond->setAtom1(structure->atom(static_cast<int>(p.first)));
    bond->setAtom2(structure->atom(static_cast<int>(p.second)));
    bond->setBondType(vl::BT_Single);
    bond->setUseAtomColors(true);
    structure->addBond(bond);
  }
}
