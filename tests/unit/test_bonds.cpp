#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/chemistry/bonds.h"
#include "core/chemistry/bonds_reference.h"
#include "core/model/elements.h"

namespace {

using Pairs = chem::BondPairs;

struct Placed {
  vl::EAtomType type;
  float x, y, z;
};

vl::ref<vl::Molecule> molecule(const std::vector<Placed>& atoms)
{
  auto m = vl::make_ref<vl::Molecule>();
  for (const auto& s : atoms) {
    auto a = vl::make_ref<vl::Atom>();
    a->setAtomType(s.type);
    a->setCoordinates(vl::fvec3(s.x, s.y, s.z));
    m->addAtom(a);
  }
  return m;
}

// The molecule's bonds from `firstBond` on, as index pairs in bond order.
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
Pairs expectSameAsAllPairs(const vl::ref<vl::Molecule>& m, double tol = kBondTolerance)
{
  const Pairs ref = chem::FindBondPairsAllPairs(*m, tol);
  for (auto s : {chem::BondSearch::AllPairs, chem::BondSearch::Auto, chem::BondSearch::DenseGrid,
                 chem::BondSearch::HashGrid})
    EXPECT_EQ(chem::FindBondPairs(*m, s, tol), ref) << "strategy " << static_cast<int>(s);
  // CreateBonds on a copy holding the same atoms: the caller's stays bondless.
  auto copy = vl::make_ref<vl::Molecule>();
  for (const auto& a : m->atomList())
    copy->addAtom(a);
  if (CreateBonds(copy, tol))
    EXPECT_EQ(bondPairs(*copy), ref);
  else // piled-up atoms: perception gives up rather than make n^2 bonds
    EXPECT_GT(ref.size(), kMaxBondsPerAtom * static_cast<size_t>(m->atoms()));
  for (int b = 0; b < copy->bonds(); ++b) {
    EXPECT_EQ(copy->bond(b)->bondType(), vl::BT_Single);
    EXPECT_TRUE(copy->bond(b)->useAtomColors());
  }
  return ref;
}

// Hydrogens, unknown atoms, the largest radius (Cs), elements beyond the
// radius table (Og) and beyond the symbol table (Rg).
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

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
const float kBig = std::numeric_limits<float>::max();

} // namespace

TEST(CreateBonds, CriterionEdgeCases)
{
  using vl::AT_Carbon, vl::AT_Hydrogen, vl::AT_Oxygen, vl::AT_Unknown, vl::AT_Caesium, vl::AT_Oganesson;
  const struct {
    const char* what;
    std::vector<Placed> atoms;
    Pairs bonds;
    double tol = 0.15;
  } cases[] = {
    {"none", {}, {}},
    {"one", {{AT_Carbon, 0, 0, 0}}, {}},
    {"C-C limit 1.725, inside", {{AT_Carbon, 0, 0, 0}, {AT_Carbon, 0, 0, 1.72f}}, {{0, 1}}},
    {"C-C limit 1.725, outside", {{AT_Carbon, 0, 0, 0}, {AT_Carbon, 0, -1.73f, 0}}, {}},
    {"C-H limit 1.2305", {{AT_Hydrogen, 0, 0, 0}, {AT_Carbon, 1.20f, 0, 0}}, {{0, 1}}},
    {"C-H beyond", {{AT_Carbon, 0, 0, 0}, {AT_Hydrogen, 1.25f, 0, 0}}, {}},
    // Tolerance 0: C-C exactly 1.5 apart is not closer than 1.5.
    {"strictly closer", {{AT_Carbon, 0, 0, 0}, {AT_Carbon, 1.5f, 0, 0}}, {}, 0.0},
    {"one ulp closer", {{AT_Carbon, 0, 0, 0}, {AT_Carbon, std::nextafter(1.5f, 0.0f), 0, 0}}, {{0, 1}}, 0.0},
    {"never H-H", {{AT_Hydrogen, 0, 0, 0}, {AT_Hydrogen, 0.74f, 0, 0}, {AT_Hydrogen, 0, 0, 0}}, {}},
    {"never unknown", {{AT_Unknown, 0, 0, 0}, {AT_Carbon, 1.0f, 0, 0}, {AT_Unknown, 0, 0, 0}}, {}},
    {"across an unknown", {{AT_Carbon, 0, 0, 0}, {AT_Unknown, 0.5f, 0, 0}, {AT_Carbon, 1.5f, 0, 0}}, {{0, 2}}},
    {"coincident", {{AT_Carbon, 1, 2, 3}, {AT_Carbon, 1, 2, 3}, {AT_Hydrogen, 1, 2, 3}}, {{0, 1}, {0, 2}, {1, 2}}},
    {"oxygen last", {{AT_Hydrogen, 0.76f, 0.6f, 0}, {AT_Hydrogen, -0.76f, 0.6f, 0}, {AT_Oxygen, 0, 0, 0}}, {{0, 2}, {1, 2}}},
    // Og has no tabulated radius: 0.5 + 0.75 = 1.25, limit 1.4375.
    {"default radius inside", {{AT_Oganesson, 0, 0, 0}, {AT_Carbon, 1.43f, 0, 0}}, {{0, 1}}},
    {"default radius outside", {{AT_Oganesson, 0, 0, 0}, {AT_Carbon, 1.44f, 0, 0}}, {}},
    // Cs-Cs: 4.64 * 1.15 = 5.336, the longest bond there is.
    {"Cs-Cs inside", {{AT_Caesium, 0, 0, 0}, {AT_Caesium, 5.33f, 0, 0}}, {{0, 1}}},
    {"Cs-Cs outside", {{AT_Caesium, 0, 0, 0}, {AT_Caesium, 5.34f, 0, 0}}, {}},
    {"NaN", {{AT_Carbon, kNaN, 0, 0}, {AT_Carbon, kNaN, 0, 0}, {AT_Carbon, 0, 0, 0}}, {}},
    {"infinity", {{AT_Carbon, kInf, 0, 0}, {AT_Carbon, kInf, 0, 0}, {AT_Carbon, 0, kInf, 0}}, {}},
    {"NaN beside a pair", {{AT_Carbon, 0, 0, kNaN}, {AT_Carbon, 0, 0, 0}, {AT_Carbon, 1.5f, 0, 0}}, {{1, 2}}},
    {"float overflow",
     {{AT_Carbon, kBig, kBig, kBig}, {AT_Carbon, -kBig, -kBig, -kBig}, {AT_Carbon, kBig, kBig, kBig},
      {AT_Carbon, 0, 0, 0}, {AT_Carbon, 1.5f, 0, 0}},
     {{0, 2}, {3, 4}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(expectSameAsAllPairs(molecule(c.atoms), c.tol), c.bonds);
  }
  CreateBonds(nullptr); // ignored
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

// ---- grid search against the reference loop ----

TEST(CreateBondsEquivalence, RandomCloudsOfManyDensities)
{
  std::mt19937 rng(12345);
  for (float box : {1.0f, 3.0f, 8.0f, 30.0f, 1000.0f})
    for (int n : {2, 3, 10, 200, 1500})
      expectSameAsAllPairs(molecule(randomCloud(rng, n, box, -box / 2)));
  EXPECT_GT(expectSameAsAllPairs(molecule(randomCloud(rng, 1200, 2.5f))).size(), 100000u);
}

TEST(CreateBondsEquivalence, CoincidentAndCellStraddlingAtoms)
{
  std::mt19937 rng(99);
  // Copies stacked on existing positions with other types, and whole duplicates.
  auto atoms = randomCloud(rng, 600, 12.0f);
  std::uniform_int_distribution<size_t> pick(0, atoms.size() - 1);
  for (int k = 0; k < 400; ++k) {
    Placed s = atoms[pick(rng)];
    s.type = randomType(rng);
    atoms.insert(atoms.begin() + static_cast<long>(pick(rng)), s);
  }
  atoms.insert(atoms.end(), 30, {vl::AT_Hydrogen, 5, 5, 5});
  atoms.push_back({vl::AT_Carbon, 5, 5, 5});
  expectSameAsAllPairs(molecule(atoms));

  // Pairs at the bond limit, a few float ulps either side, in random
  // directions: the cell margin must not lose any.
  std::uniform_real_distribution<double> u(-1, 1);
  std::uniform_real_distribution<float> place(-40, 40);
  atoms.clear();
  for (int k = 0; k < 1500; ++k) {
    const vl::EAtomType t1 = randomType(rng), t2 = randomType(rng);
    const double sum = BaseQueryAtomRadiusVal(vl::atomInfo(t1).mAtomicNumber) +
                       BaseQueryAtomRadiusVal(vl::atomInfo(t2).mAtomicNumber);
    double dx, dy, dz, len;
    do {
      dx = u(rng), dy = u(rng), dz = u(rng);
      len = std::sqrt(dx * dx + dy * dy + dz * dz);
    } while (len < 0.1 || len > 1);
    const double d = (sum * kBondTolerance + sum) * (1 + 4e-7 * u(rng)) / len;
    const float x = place(rng), y = place(rng), z = place(rng);
    atoms.push_back({t1, x, y, z});
    atoms.push_back({t2, static_cast<float>(x + dx * d), static_cast<float>(y + dy * d), static_cast<float>(z + dz * d)});
  }
  EXPECT_GT(expectSameAsAllPairs(molecule(atoms)).size(), 300u);

  // Cs pairs just inside the limit, straddling cell boundaries in every direction.
  atoms.clear();
  for (int k = 0; k < 400; ++k) {
    const float b = 0.0137f * k, x = 7 * b, y = 3 * b, z = 5 * b;
    atoms.insert(atoms.end(), {{vl::AT_Caesium, x, y, z}, {vl::AT_Caesium, x + 5.335f, y, z},
                               {vl::AT_Caesium, x, y - 5.335f, z}, {vl::AT_Caesium, x + 3.08f, y + 3.08f, z - 3.08f},
                               {vl::AT_Carbon, x + 60, y, z}});
  }
  expectSameAsAllPairs(molecule(atoms));
}

TEST(CreateBondsEquivalence, NonFiniteAndSpreadClouds)
{
  std::mt19937 rng(5);
  auto atoms = randomCloud(rng, 1000, 10.0f);
  const float bad[] = {kNaN, kInf, -kInf};
  for (int k = 0; k < 60; ++k) {
    Placed& s = atoms[static_cast<size_t>(k * 16)];
    (k % 3 == 0 ? s.x : k % 3 == 1 ? s.y : s.z) = bad[k % 3];
  }
  expectSameAsAllPairs(molecule(atoms));

  // Uniformly spread: almost every cell holds one atom (hashed grid).
  expectSameAsAllPairs(molecule(randomCloud(rng, 2000, 1e6f, -5e5f)));
  // Dense clusters far apart in all three directions, and a lone far pair.
  atoms.clear();
  for (float cx : {-1e7f, 3e7f})
    for (float cy : {-1e7f, 3e7f})
      for (float cz : {-1e7f, 3e7f})
        for (const auto& s : randomCloud(rng, 250, 9.0f))
          atoms.push_back({s.type, cx + s.x, cy + s.y, cz + s.z});
  atoms.insert(atoms.end(), 2, {vl::AT_Carbon, 1e30f, -1e30f, 1e30f});
  EXPECT_GT(expectSameAsAllPairs(molecule(atoms)).size(), 100u);
  // A long thin chain along one axis.
  atoms.clear();
  for (int k = 0; k < 3000; ++k)
    atoms.push_back({k % 2 ? vl::AT_Hydrogen : vl::AT_Carbon, 1.1f * k, 0.01f * (k % 7), 0});
  expectSameAsAllPairs(molecule(atoms));
}

TEST(CreateBondsEquivalence, OtherTolerances)
{
  std::mt19937 rng(11);
  auto m = molecule(randomCloud(rng, 800, 12.0f));
  for (double tol : {0.0, 0.5, 2.0, -0.3, -1.0, -2.0, 1e-12})
    expectSameAsAllPairs(m, tol);
  EXPECT_TRUE(expectSameAsAllPairs(m, std::numeric_limits<double>::quiet_NaN()).empty());
  EXPECT_GT(expectSameAsAllPairs(molecule(randomCloud(rng, 60, 1e4f)), std::numeric_limits<double>::infinity()).size(),
            1000u);
  // Every pair within 150 x the radii: one big cell.
  expectSameAsAllPairs(molecule(randomCloud(rng, 300, 50.0f)), 100.0);
}

TEST(CreateBondsEquivalence, ScratchReuseAndConcurrentCalls)
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

  // Threads bonding separate molecules, twice each.
  std::vector<vl::ref<vl::Molecule>> mols;
  for (int t = 0; t < 4; ++t)
    mols.push_back(molecule(randomCloud(rng, 1500 + 100 * t, 14.0f)));
  std::vector<std::thread> threads;
  for (auto& m : mols)
    threads.emplace_back([&m] { CreateBonds(m), CreateBonds(m); });
  for (auto& th : threads)
    th.join();
  for (auto& m : mols) {
    const Pairs ref = chem::FindBondPairsAllPairs(*m);
    Pairs want = ref;
    want.insert(want.end(), ref.begin(), ref.end());
    EXPECT_EQ(bondPairs(*m), want);
  }
}
