#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <thread>
#include <unordered_map>
#include <vector>

#include "chemistry/bonds.h"
#include "chemistry/bonds_reference.h"
#include "chemistry/elements.h"

namespace {

using Pairs = chem::BondPairs;

struct Placed {
  vl::EAtomType type;
  float x, y, z;
};

vl::ref<vl::Molecule> molecule(const std::vector<Placed>& atoms)
{
  auto m = vl::make_ref<vl::Molecule>();
  m->reserveAtoms(atoms.size());
  for (const auto& s : atoms) {
    auto a = vl::make_ref<vl::Atom>();
    a->setAtomType(s.type);
    a->setCoordinates(vl::fvec3(s.x, s.y, s.z));
    m->addAtom(a);
  }
  return m;
}

// The molecule's bonds as index pairs, in bond order.
Pairs bondPairs(const vl::Molecule& m, int firstBond = 0)
{
  std::unordered_map<const vl::Atom*, uint32_t> index;
  for (int i = 0; i < m.atoms(); ++i)
    index[m.atom(i)] = static_cast<uint32_t>(i);
  Pairs p;
  for (int b = firstBond; b < m.bonds(); ++b)
    p.emplace_back(index.at(m.bond(b)->atom1()), index.at(m.bond(b)->atom2()));
  return p;
}

// Every search strategy, and CreateBonds itself, against the reference loop.
// Returns the reference pairs.
Pairs expectSameAsAllPairs(const vl::ref<vl::Molecule>& m)
{
  const Pairs ref = chem::FindBondPairsAllPairs(*m);
  EXPECT_EQ(chem::FindBondPairs(*m, chem::BondSearch::AllPairs), ref);
  EXPECT_EQ(chem::FindBondPairs(*m, chem::BondSearch::Auto), ref);
  EXPECT_EQ(chem::FindBondPairs(*m, chem::BondSearch::DenseGrid), ref);
  EXPECT_EQ(chem::FindBondPairs(*m, chem::BondSearch::HashGrid), ref);
  // CreateBonds on a second molecule holding the same atoms, so that the
  // caller's molecule stays without bonds.
  auto copy = vl::make_ref<vl::Molecule>();
  for (const auto& a : m->atomList())
    copy->addAtom(a);
  CreateBonds(copy);
  EXPECT_EQ(bondPairs(*copy), ref);
  for (int b = 0; b < copy->bonds(); ++b) {
    EXPECT_EQ(copy->bond(b)->bondType(), vl::BT_Single);
    EXPECT_TRUE(copy->bond(b)->useAtomColors());
  }
  return ref;
}

Pairs bondsOf(const std::vector<Placed>& atoms)
{
  auto m = molecule(atoms);
  CreateBonds(m);
  return bondPairs(*m);
}

class TolGuard {
public:
  explicit TolGuard(double tol) : mSaved(GeomBondTol) { GeomBondTol = tol; }
  ~TolGuard() { GeomBondTol = mSaved; }

private:
  double mSaved;
};

// A type mix with hydrogens, unknown atoms, the largest radius (Cs), elements
// beyond the radius table (Og) and beyond the symbol table (Rg).
vl::EAtomType randomType(std::mt19937& rng)
{
  static const vl::EAtomType types[] = {vl::AT_Hydrogen, vl::AT_Hydrogen, vl::AT_Hydrogen, vl::AT_Carbon,
                                        vl::AT_Carbon,   vl::AT_Nitrogen, vl::AT_Oxygen,   vl::AT_Sulfur,
                                        vl::AT_Chlorine, vl::AT_Iron,     vl::AT_Caesium,  vl::AT_Unknown,
                                        vl::AT_Oganesson, vl::AT_Roentgenium, vl::AT_Helium, vl::AT_Uranium};
  return types[std::uniform_int_distribution<size_t>(0, std::size(types) - 1)(rng)];
}

std::vector<Placed> randomCloud(std::mt19937& rng, int n, float box, float offset = 0)
{
  std::uniform_real_distribution<float> u(0, box);
  std::vector<Placed> atoms;
  for (int i = 0; i < n; ++i)
    atoms.push_back({randomType(rng), offset + u(rng), offset + u(rng), offset + u(rng)});
  return atoms;
}

bool sortedStrictly(const Pairs& p)
{
  for (size_t k = 0; k < p.size(); ++k) {
    if (p[k].first >= p[k].second)
      return false;
    if (k > 0 && !(p[k - 1] < p[k]))
      return false;
  }
  return true;
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

} // namespace

// ---- Edge cases of the bond criterion ----

TEST(CreateBonds, CarbonCarbonLimit)
{
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, 0, 0, 0}, {vl::AT_Carbon, 1.70f, 0, 0}}), (Pairs{{0, 1}}));
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, 0, 0, 0}, {vl::AT_Carbon, 1.75f, 0, 0}}), Pairs{});
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, 0, 0, 0}, {vl::AT_Carbon, 0, 0, 1.72f}}), (Pairs{{0, 1}}));
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, 0, 0, 0}, {vl::AT_Carbon, 0, -1.73f, 0}}), Pairs{});
}

TEST(CreateBonds, CarbonHydrogenLimit)
{
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, 0, 0, 0}, {vl::AT_Hydrogen, 1.20f, 0, 0}}), (Pairs{{0, 1}}));
  EXPECT_EQ(bondsOf({{vl::AT_Hydrogen, 0, 0, 0}, {vl::AT_Carbon, 1.20f, 0, 0}}), (Pairs{{0, 1}}));
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, 0, 0, 0}, {vl::AT_Hydrogen, 1.25f, 0, 0}}), Pairs{});
}

TEST(CreateBonds, NoHydrogenHydrogenBond)
{
  EXPECT_EQ(bondsOf({{vl::AT_Hydrogen, 0, 0, 0}, {vl::AT_Hydrogen, 0.74f, 0, 0}}), Pairs{});
  EXPECT_EQ(bondsOf({{vl::AT_Hydrogen, 0, 0, 0}, {vl::AT_Hydrogen, 0, 0, 0}}), Pairs{});
}

TEST(CreateBonds, UnknownAtomsNeverBond)
{
  EXPECT_EQ(bondsOf({{vl::AT_Unknown, 0, 0, 0}, {vl::AT_Carbon, 1.0f, 0, 0}}), Pairs{});
  EXPECT_EQ(bondsOf({{vl::AT_Unknown, 0, 0, 0}, {vl::AT_Unknown, 0, 0, 0}}), Pairs{});
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, 0, 0, 0}, {vl::AT_Unknown, 0.5f, 0, 0}, {vl::AT_Carbon, 1.5f, 0, 0}}),
            (Pairs{{0, 2}}));
}

TEST(CreateBonds, ZeroOneAndTwoAtoms)
{
  EXPECT_EQ(bondsOf({}), Pairs{});
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, 0, 0, 0}}), Pairs{});
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, 0, 0, 0}, {vl::AT_Oxygen, 1.2f, 0, 0}}), (Pairs{{0, 1}}));
  CreateBonds(nullptr); // a null reference is ignored
}

TEST(CreateBonds, CoincidentAtomsAreBonded)
{
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, 1, 2, 3}, {vl::AT_Nitrogen, 1, 2, 3}}), (Pairs{{0, 1}}));
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, 1, 2, 3}, {vl::AT_Carbon, 1, 2, 3}, {vl::AT_Hydrogen, 1, 2, 3}}),
            (Pairs{{0, 1}, {0, 2}, {1, 2}}));
}

TEST(CreateBonds, WaterHasTwoBondsOxygenFirst)
{
  // O-H 0.96, H-H 1.52: angle 2 asin(0.76 / 0.96).
  const float half = 0.76f;
  const float h = std::sqrt(0.96f * 0.96f - half * half);
  auto m = molecule({{vl::AT_Oxygen, 0, 0, 0}, {vl::AT_Hydrogen, half, h, 0}, {vl::AT_Hydrogen, -half, h, 0}});
  CreateBonds(m);
  ASSERT_EQ(m->bonds(), 2);
  EXPECT_EQ(m->bond(0)->atom1(), m->atom(0));
  EXPECT_EQ(m->bond(0)->atom2(), m->atom(1));
  EXPECT_EQ(m->bond(1)->atom1(), m->atom(0));
  EXPECT_EQ(m->bond(1)->atom2(), m->atom(2));
  for (int b = 0; b < 2; ++b) {
    EXPECT_EQ(m->bond(b)->bondType(), vl::BT_Single);
    EXPECT_TRUE(m->bond(b)->useAtomColors());
    EXPECT_TRUE(m->bond(b)->visible());
  }
  // Oxygen last in the file: the hydrogens come first in each bond.
  EXPECT_EQ(bondsOf({{vl::AT_Hydrogen, half, h, 0}, {vl::AT_Hydrogen, -half, h, 0}, {vl::AT_Oxygen, 0, 0, 0}}),
            (Pairs{{0, 2}, {1, 2}}));
}

TEST(CreateBonds, ExistingBondsAreKept)
{
  auto m = molecule({{vl::AT_Carbon, 0, 0, 0}, {vl::AT_Carbon, 1.5f, 0, 0}, {vl::AT_Carbon, 9, 0, 0}});
  auto manual = vl::make_ref<vl::Bond>();
  manual->setAtom1(m->atom(2));
  manual->setAtom2(m->atom(0));
  m->addBond(manual);
  CreateBonds(m);
  ASSERT_EQ(m->bonds(), 2);
  EXPECT_EQ(m->bond(0), manual.get());
  EXPECT_EQ(bondPairs(*m, 1), (Pairs{{0, 1}}));
}

TEST(CreateBonds, RadiusDefaultsBeyondTheTable)
{
  // Og has no tabulated radius: 0.5 + 0.75 = 1.25, limit 1.4375.
  EXPECT_EQ(bondsOf({{vl::AT_Oganesson, 0, 0, 0}, {vl::AT_Carbon, 1.43f, 0, 0}}), (Pairs{{0, 1}}));
  EXPECT_EQ(bondsOf({{vl::AT_Oganesson, 0, 0, 0}, {vl::AT_Carbon, 1.44f, 0, 0}}), Pairs{});
  // Cs-Cs: 4.64 * 1.15 = 5.336, the longest bond there is.
  EXPECT_EQ(bondsOf({{vl::AT_Caesium, 0, 0, 0}, {vl::AT_Caesium, 5.33f, 0, 0}}), (Pairs{{0, 1}}));
  EXPECT_EQ(bondsOf({{vl::AT_Caesium, 0, 0, 0}, {vl::AT_Caesium, 5.34f, 0, 0}}), Pairs{});
}

TEST(CreateBonds, NonFiniteCoordinatesNeverBond)
{
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, kNaN, 0, 0}, {vl::AT_Carbon, kNaN, 0, 0}, {vl::AT_Carbon, 0, 0, 0}}), Pairs{});
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, kInf, 0, 0}, {vl::AT_Carbon, kInf, 0, 0}, {vl::AT_Carbon, 0, kInf, 0}}),
            Pairs{});
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, 0, 0, kNaN}, {vl::AT_Carbon, 0, 0, 0}, {vl::AT_Carbon, 1.5f, 0, 0}}),
            (Pairs{{1, 2}}));
}

TEST(CreateBonds, FloatOverflowOfDistantAtoms)
{
  const float big = std::numeric_limits<float>::max();
  EXPECT_EQ(bondsOf({{vl::AT_Carbon, big, big, big},
                     {vl::AT_Carbon, -big, -big, -big},
                     {vl::AT_Carbon, big, big, big},
                     {vl::AT_Carbon, 0, 0, 0},
                     {vl::AT_Carbon, 1.5f, 0, 0}}),
            (Pairs{{0, 2}, {3, 4}}));
}

// ---- grid search against the reference loop ----

TEST(CreateBondsEquivalence, RandomCloudsOfManyDensities)
{
  std::mt19937 rng(12345);
  for (float box : {1.0f, 3.0f, 8.0f, 15.0f, 30.0f, 100.0f, 1000.0f}) {
    for (int n : {2, 3, 10, 200, 1500}) {
      auto m = molecule(randomCloud(rng, n, box, -box / 2));
      const Pairs ref = expectSameAsAllPairs(m);
      EXPECT_TRUE(sortedStrictly(ref));
    }
  }
}

TEST(CreateBondsEquivalence, VeryDenseCloud)
{
  std::mt19937 rng(7);
  auto m = molecule(randomCloud(rng, 1200, 2.5f));
  const Pairs ref = expectSameAsAllPairs(m);
  EXPECT_GT(ref.size(), 100000u);
}

TEST(CreateBondsEquivalence, CoincidentAtoms)
{
  std::mt19937 rng(99);
  auto atoms = randomCloud(rng, 600, 12.0f);
  // Stack copies on existing positions, with other types, and whole duplicates.
  std::uniform_int_distribution<size_t> pick(0, atoms.size() - 1);
  for (int k = 0; k < 400; ++k) {
    Placed s = atoms[pick(rng)];
    s.type = randomType(rng);
    atoms.insert(atoms.begin() + static_cast<long>(pick(rng)), s);
  }
  for (int k = 0; k < 30; ++k)
    atoms.push_back({vl::AT_Hydrogen, 5, 5, 5});
  atoms.push_back({vl::AT_Carbon, 5, 5, 5});
  auto m = molecule(atoms);
  expectSameAsAllPairs(m);
}

TEST(CreateBondsEquivalence, PairsRightAtTheLimit)
{
  // Pairs placed at the bond limit, a few float ulps either side, in random
  // directions and at random places: the cell margin must not lose any.
  std::mt19937 rng(2024);
  std::uniform_real_distribution<double> u(-1, 1);
  std::uniform_real_distribution<float> place(-40, 40);
  std::vector<Placed> atoms;
  for (int k = 0; k < 1500; ++k) {
    const vl::EAtomType t1 = randomType(rng), t2 = randomType(rng);
    const double r1 = BaseQueryAtomRadiusVal(vl::atomInfo(t1).mAtomicNumber);
    const double r2 = BaseQueryAtomRadiusVal(vl::atomInfo(t2).mAtomicNumber);
    const double limit = (r1 + r2) * GeomBondTol + (r1 + r2);
    double dx, dy, dz, len;
    do {
      dx = u(rng), dy = u(rng), dz = u(rng);
      len = std::sqrt(dx * dx + dy * dy + dz * dz);
    } while (len < 0.1 || len > 1);
    const double d = limit * (1 + 4e-7 * u(rng));
    const float x = place(rng), y = place(rng), z = place(rng);
    atoms.push_back({t1, x, y, z});
    atoms.push_back({t2, static_cast<float>(x + dx / len * d), static_cast<float>(y + dy / len * d),
                     static_cast<float>(z + dz / len * d)});
  }
  auto m = molecule(atoms);
  const Pairs ref = expectSameAsAllPairs(m);
  EXPECT_GT(ref.size(), 300u);
}

TEST(CreateBondsEquivalence, LargestRadiusPairsAcrossCells)
{
  // Cs pairs just inside the limit, shifted along every axis so that they
  // straddle cell boundaries in every direction.
  std::vector<Placed> atoms;
  for (int k = 0; k < 400; ++k) {
    const float base = 0.0137f * k;
    atoms.push_back({vl::AT_Caesium, base * 7, base * 3, base * 5});
    atoms.push_back({vl::AT_Caesium, base * 7 + 5.335f, base * 3, base * 5});
    atoms.push_back({vl::AT_Caesium, base * 7, base * 3 - 5.335f, base * 5});
    atoms.push_back({vl::AT_Caesium, base * 7 + 3.08f, base * 3 + 3.08f, base * 5 - 3.08f});
    atoms.push_back({vl::AT_Carbon, base * 7 + 60, base * 3, base * 5});
  }
  auto m = molecule(atoms);
  expectSameAsAllPairs(m);
}

TEST(CreateBondsEquivalence, NonFiniteCoordinates)
{
  std::mt19937 rng(5);
  auto atoms = randomCloud(rng, 1000, 10.0f);
  const float bad[] = {kNaN, kInf, -kInf};
  for (int k = 0; k < 60; ++k) {
    Placed& s = atoms[static_cast<size_t>(k * 16)];
    (k % 3 == 0 ? s.x : k % 3 == 1 ? s.y : s.z) = bad[k % 3];
  }
  auto m = molecule(atoms);
  expectSameAsAllPairs(m);
  // Nothing but non-finite atoms.
  auto all = molecule({{vl::AT_Carbon, kNaN, kNaN, kNaN}, {vl::AT_Carbon, kInf, 0, 0}, {vl::AT_Carbon, -kInf, 0, 0}});
  EXPECT_TRUE(expectSameAsAllPairs(all).empty());
}

TEST(CreateBondsEquivalence, VerySpreadClouds)
{
  std::mt19937 rng(77);
  // Uniformly spread: almost every cell holds one atom.
  {
    auto m = molecule(randomCloud(rng, 2000, 1e6f, -5e5f));
    expectSameAsAllPairs(m);
  }
  // Dense clusters far apart in all three directions, and a lone far atom.
  {
    std::vector<Placed> atoms;
    const float corners[] = {-1e7f, 3e7f};
    for (float cx : corners)
      for (float cy : corners)
        for (float cz : corners) {
          auto cluster = randomCloud(rng, 250, 9.0f);
          for (auto& s : cluster)
            atoms.push_back({s.type, cx + s.x, cy + s.y, cz + s.z});
        }
    atoms.push_back({vl::AT_Carbon, 1e30f, -1e30f, 1e30f});
    atoms.push_back({vl::AT_Carbon, 1e30f, -1e30f, 1e30f});
    auto m = molecule(atoms);
    const Pairs ref = expectSameAsAllPairs(m);
    EXPECT_GT(ref.size(), 100u);
  }
  // Coordinates at the limit of float.
  {
    const float big = std::numeric_limits<float>::max();
    auto atoms = randomCloud(rng, 300, 6.0f);
    atoms.push_back({vl::AT_Oxygen, big, big, -big});
    atoms.push_back({vl::AT_Oxygen, -big, -big, big});
    atoms.push_back({vl::AT_Oxygen, big, 0, 0});
    atoms.push_back({vl::AT_Carbon, big, 0, 0});
    auto m = molecule(atoms);
    expectSameAsAllPairs(m);
  }
  // A long thin chain along one axis.
  {
    std::vector<Placed> atoms;
    for (int k = 0; k < 3000; ++k)
      atoms.push_back({k % 2 ? vl::AT_Hydrogen : vl::AT_Carbon, 1.1f * k, 0.01f * (k % 7), 0});
    auto m = molecule(atoms);
    expectSameAsAllPairs(m);
  }
}

TEST(CreateBondsEquivalence, OnlyHydrogensOrUnknowns)
{
  std::mt19937 rng(3);
  std::vector<Placed> atoms = randomCloud(rng, 300, 4.0f);
  for (auto& s : atoms)
    s.type = vl::AT_Hydrogen;
  EXPECT_TRUE(expectSameAsAllPairs(molecule(atoms)).empty());
  for (auto& s : atoms)
    s.type = vl::AT_Unknown;
  EXPECT_TRUE(expectSameAsAllPairs(molecule(atoms)).empty());
  atoms[17].type = vl::AT_Carbon;
  EXPECT_TRUE(expectSameAsAllPairs(molecule(atoms)).empty());
}

TEST(CreateBondsEquivalence, OtherTolerances)
{
  std::mt19937 rng(11);
  auto m = molecule(randomCloud(rng, 800, 12.0f));
  for (double tol : {0.0, 0.5, 2.0, -0.3, -1.0, -2.0, 1e-12}) {
    TolGuard guard(tol);
    expectSameAsAllPairs(m);
  }
  {
    TolGuard guard(std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(expectSameAsAllPairs(m).empty());
  }
  {
    auto small = molecule(randomCloud(rng, 60, 1e4f));
    TolGuard guard(std::numeric_limits<double>::infinity());
    EXPECT_GT(expectSameAsAllPairs(small).size(), 1000u);
  }
  {
    auto small = molecule(randomCloud(rng, 300, 50.0f));
    TolGuard guard(100.0); // every pair within 150 x the radii: one big cell
    expectSameAsAllPairs(small);
  }
}

TEST(CreateBondsEquivalence, WaterBox)
{
  // 1000 waters on a jittered lattice at liquid density, random orientations.
  std::mt19937 rng(42);
  std::uniform_real_distribution<float> u(-1, 1);
  std::vector<Placed> atoms;
  const float spacing = 3.104f; // (1 / 0.0334)^(1/3)
  const float oh = 0.96f, half = 104.5f / 2 * 3.14159265f / 180;
  for (int i = 0; i < 10; ++i)
    for (int j = 0; j < 10; ++j)
      for (int k = 0; k < 10; ++k) {
        const float ox = spacing * i + 0.2f * u(rng), oy = spacing * j + 0.2f * u(rng), oz = spacing * k + 0.2f * u(rng);
        // Random orthonormal pair (a, b): the H atoms lie at +-half from a in the a-b plane.
        float ax, ay, az, len;
        do {
          ax = u(rng), ay = u(rng), az = u(rng);
          len = std::sqrt(ax * ax + ay * ay + az * az);
        } while (len < 0.1f || len > 1);
        ax /= len, ay /= len, az /= len;
        float bx, by, bz;
        do {
          bx = u(rng), by = u(rng), bz = u(rng);
          const float dot = ax * bx + ay * by + az * bz;
          bx -= dot * ax, by -= dot * ay, bz -= dot * az;
          len = std::sqrt(bx * bx + by * by + bz * bz);
        } while (len < 0.1f);
        bx /= len, by /= len, bz /= len;
        const float c = std::cos(half) * oh, s = std::sin(half) * oh;
        atoms.push_back({vl::AT_Oxygen, ox, oy, oz});
        atoms.push_back({vl::AT_Hydrogen, ox + c * ax + s * bx, oy + c * ay + s * by, oz + c * az + s * bz});
        atoms.push_back({vl::AT_Hydrogen, ox + c * ax - s * bx, oy + c * ay - s * by, oz + c * az - s * bz});
      }
  auto m = molecule(atoms);
  const Pairs ref = expectSameAsAllPairs(m);
  ASSERT_EQ(ref.size(), 2000u);
  for (uint32_t w = 0; w < 1000; ++w) {
    EXPECT_EQ(ref[2 * w], std::make_pair(3 * w, 3 * w + 1));
    EXPECT_EQ(ref[2 * w + 1], std::make_pair(3 * w, 3 * w + 2));
  }
}

TEST(CreateBondsEquivalence, ScratchReuseAndRelease)
{
  // Working memory is kept between calls: a large call, a small one, an empty
  // one and a released state must not leak results into each other.
  std::mt19937 rng(8);
  auto big = molecule(randomCloud(rng, 3000, 20.0f));
  auto small = molecule(randomCloud(rng, 50, 4.0f));
  auto none = molecule({{vl::AT_Hydrogen, 0, 0, 0}, {vl::AT_Hydrogen, 0.5f, 0, 0}});
  const Pairs refBig = chem::FindBondPairsAllPairs(*big);
  const Pairs refSmall = chem::FindBondPairsAllPairs(*small);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(chem::FindBondPairs(*big), refBig);
    EXPECT_EQ(chem::FindBondPairs(*small), refSmall);
    EXPECT_TRUE(chem::FindBondPairs(*none).empty());
    EXPECT_EQ(chem::FindBondPairs(*small, chem::BondSearch::HashGrid), refSmall);
    EXPECT_EQ(chem::FindBondPairs(*big, chem::BondSearch::HashGrid), refBig);
    chem::ReleaseBondScratch();
  }
}

TEST(CreateBondsEquivalence, ConcurrentCallsOnSeparateMolecules)
{
  std::mt19937 rng(9);
  std::vector<vl::ref<vl::Molecule>> mols;
  std::vector<Pairs> refs;
  for (int t = 0; t < 4; ++t) {
    mols.push_back(molecule(randomCloud(rng, 1500 + 100 * t, 14.0f)));
    refs.push_back(chem::FindBondPairsAllPairs(*mols.back()));
  }
  std::vector<std::thread> threads;
  for (size_t t = 0; t < mols.size(); ++t)
    threads.emplace_back([&, t] {
      for (int r = 0; r < 5; ++r)
        CreateBonds(mols[t]);
    });
  for (auto& th : threads)
    th.join();
  for (size_t t = 0; t < mols.size(); ++t) {
    const Pairs got = bondPairs(*mols[t]);
    ASSERT_EQ(got.size(), 5 * refs[t].size());
    for (size_t r = 0; r < 5; ++r)
      EXPECT_TRUE(std::equal(refs[t].begin(), refs[t].end(), got.begin() + static_cast<long>(r * refs[t].size())));
  }
}
