#include "core/model/molecule.h"

#include <algorithm>

namespace vl {

int Molecule::indexOf(const Atom* atom) const
{
  for (size_t i = 0; i < mAtoms.size(); ++i)
    if (mAtoms[i].get() == atom)
      return static_cast<int>(i);
  return -1;
}

Bond* Molecule::bond(const Atom* a1, const Atom* a2) const
{
  for (const auto& b : mBonds)
    if ((b->atom1() == a1 && b->atom2() == a2) || (b->atom1() == a2 && b->atom2() == a1))
      return b.get();
  return nullptr;
}

void Molecule::eraseBond(const Bond* bond)
{
  auto it = std::find_if(mBonds.begin(), mBonds.end(), [bond](const ref<Bond>& b) { return b.get() == bond; });
  if (it != mBonds.end())
    mBonds.erase(it);
}

void Molecule::computeAtomAdjacency()
{
  // One flat array for the whole molecule: a neighbour list per atom costs an
  // allocation each, which dominates for large structures.
  const size_t n = mAtoms.size();
  std::vector<uint32_t> count(n, 0);
  std::vector<uint32_t> start(n + 1, 0);
  std::vector<uint32_t> fill(n, 0);
  std::vector<int> index1(mBonds.size(), -1);
  std::vector<int> index2(mBonds.size(), -1);
  std::vector<Atom*> adjacency;
  adjacency.reserve(2 * mBonds.size());
  // Everything is allocated: nothing below can throw, so the atoms never stay
  // half updated.

  // Atom -> index without a hash map: park the index in mAdjacentCount.
  for (size_t i = 0; i < n; ++i)
    mAtoms[i]->mAdjacentCount = static_cast<uint32_t>(i);
  auto indexOfAtom = [&](const Atom* a) -> int {
    if (!a)
      return -1;
    uint32_t i = a->mAdjacentCount;
    return (i < n && mAtoms[i].get() == a) ? static_cast<int>(i) : -1;
  };
  for (size_t k = 0; k < mBonds.size(); ++k) {
    int i1 = indexOfAtom(mBonds[k]->atom1());
    int i2 = indexOfAtom(mBonds[k]->atom2());
    index1[k] = i1;
    index2[k] = i2;
    if (i1 >= 0 && i2 >= 0) {
      ++count[static_cast<size_t>(i1)];
      ++count[static_cast<size_t>(i2)];
    }
  }
  for (size_t i = 0; i < n; ++i) {
    start[i + 1] = start[i] + count[i];
    fill[i] = start[i];
  }
  adjacency.assign(start[n], nullptr); // within the reserved capacity
  for (size_t k = 0; k < mBonds.size(); ++k) {
    int i1 = index1[k], i2 = index2[k];
    if (i1 < 0 || i2 < 0)
      continue;
    adjacency[fill[static_cast<size_t>(i1)]++] = mAtoms[static_cast<size_t>(i2)].get();
    adjacency[fill[static_cast<size_t>(i2)]++] = mAtoms[static_cast<size_t>(i1)].get();
  }
  mAdjacency.swap(adjacency);
  for (size_t i = 0; i < n; ++i) {
    mAtoms[i]->mAdjacentCount = count[i];
    mAtoms[i]->mAdjacent = mAdjacency.data() + start[i];
  }
}

void Molecule::setCPKAtomColors()
{
  for (auto& a : mAtoms)
    a->setColor(atomInfo(a->atomType()).mCPKColor);
}

void Molecule::setCovalentAtomRadii(float factor)
{
  for (auto& a : mAtoms)
    a->setRadius(static_cast<float>(atomInfo(a->atomType()).mCovalentRadius) * factor);
}

void Molecule::setVanDerWaalsAtomRadii(float factor)
{
  for (auto& a : mAtoms)
    a->setRadius(atomInfo(a->atomType()).mVanDerWaalsRadius * factor);
}

void Molecule::setAtomRadii(float r)
{
  for (auto& a : mAtoms)
    a->setRadius(r);
}

void Molecule::setBondRadii(float r)
{
  for (auto& b : mBonds)
    b->setRadius(r);
}

void Molecule::setAtomTypeVisible(EAtomType type, bool visible)
{
  for (auto& a : mAtoms)
    if (a->atomType() == type)
      a->setVisible(visible);
}

} // namespace vl
