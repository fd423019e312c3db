#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "core/chemistry/bonds.h"
#include "core/chemistry/bonds_reference.h"
#include "core/chemistry/geometry.h"
#include "core/model/elements.h"

namespace {

using Pairs = chem::BondPairs;
constexpr vl::EAtomType C = vl::AT_Carbon, H = vl::AT_Hydrogen, O = vl::AT_Oxygen, X = vl::AT_Unknown,
                        Cs = vl::AT_Caesium, Og = vl::AT_Oganesson;
const float kNaN = std::numeric_limits<float>::quiet_NaN(), kInf = std::numeric_limits<float>::infinity();
const float kBig = std::numeric_limits<float>::max();
struct Placed { vl::EAtomType type; float x, y, z; };

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

vl::ref<vl::Bond> bond(vl::Atom* a1, vl::Atom* a2)
{
  auto b = vl::make_ref<vl::Bond>();
  b->setAtom1(a1);
  b->setAtom2(a2);
  return b;
}

Pairs bondPairs(const vl::Molecule& m)
{
  Pairs p;
  for (const auto& b : m.bondList())
    p.emplace_back(m.indexOf(b->atom1()), m.indexOf(b->atom2()));
  return p;
}

// Every search strategy, and CreateBonds on a copy holding the same atoms,
// against the reference loop. Returns the reference pairs.
Pairs expectSameAsAllPairs(const vl::ref<vl::Molecule>& m, double tol = kBondTolerance)
{
  const Pairs ref = chem::FindBondPairsAllPairs(*m, tol);
  for (auto s :
       {chem::BondSearch::AllPairs, chem::BondSearch::Auto, chem::BondSearch::DenseGrid, chem::BondSearch::HashGrid})
    EXPECT_EQ(chem::FindBondPairs(*m, s, tol), ref) << "strategy " << static_cast<int>(s);
  auto copy = vl::make_ref<vl::Molecule>();
  for (const auto& a : m->atomList())
    copy->addAtom(a);
  const bool piledUp = ref.size() > kMaxBondsPerAtom * static_cast<size_t>(m->atoms());
  EXPECT_EQ(CreateBonds(copy, tol), !piledUp);
  EXPECT_EQ(bondPairs(*copy), piledUp ? Pairs{} : ref);
  for (const auto& b : copy->bondList())
    EXPECT_TRUE(b->bondType() == vl::BT_Single && b->useAtomColors());
  return ref;
}

// With hydrogens, unknown atoms, the largest radius (Cs), Og (no radius) and Rg (beyond 103).
vl::EAtomType randomType(std::mt19937& rng)
{
  const char* const symbols[] = {"H", "H", "H", "C", "C", "N", "O", "S", "Cl", "Fe", "Cs", "X", "Og", "Rg", "He", "U"};
  return vl::atomType(symbols[std::uniform_int_distribution<size_t>(0, std::size(symbols) - 1)(rng)]);
}

std::vector<Placed> randomCloud(std::mt19937& rng, int n, float box, float offset = 0)
{
  std::uniform_real_distribution<float> u(offset, offset + box);
  std::vector<Placed> atoms;
  for (int i = 0; i < n; ++i)
    atoms.push_back({randomType(rng), u(rng), u(rng), u(rng)});
  return atoms;
}

} // namespace

TEST(CreateBonds, CriterionEdgeCases)
{
  const struct { const char* what; std::vector<Placed> atoms; Pairs bonds; double tol = kBondTolerance; } cases[] = {
    {"none", {}, {}}, {"one", {{C, 0, 0, 0}}, {}},
    {"C-C limit 1.725", {{C, 0, 0, 0}, {C, 1.70f, 0, 0}, {C, 0, 0, -1.72f}, {C, 0, -1.73f, 0}, {C, -1.75f, 0, 0}},
     {{0, 1}, {0, 2}}},
    {"C-H limit 1.2305, lower index first", {{H, 1.20f, 0, 0}, {C, 0, 0, 0}, {H, 0, 0, 1.23f}, {H, 0, -1.25f, 0}},
     {{0, 1}, {1, 2}}},
    {"tolerance 0: 1.5 is not closer than 1.5", {{C, 0, 0, 0}, {C, 1.5f, 0, 0}}, {}, 0.0},
    {"tolerance 0: one ulp closer", {{C, 0, 0, 0}, {C, std::nextafter(1.5f, 0.0f), 0, 0}}, {{0, 1}}, 0.0},
    {"never H-H", {{H, 0, 0, 0}, {H, 0.74f, 0, 0}, {H, 0, 0, 0}}, {}},
    {"never unknown, bonded across one", {{X, 0, 0, 0}, {C, 1.0f, 0, 0}, {X, 0, 0, 0}, {C, 2.5f, 0, 0}}, {{1, 3}}},
    {"coincident", {{C, 1, 2, 3}, {C, 1, 2, 3}, {H, 1, 2, 3}}, {{0, 1}, {0, 2}, {1, 2}}},
    {"oxygen last", {{H, 0.76f, 0.6f, 0}, {H, -0.76f, 0.6f, 0}, {O, 0, 0, 0}}, {{0, 2}, {1, 2}}},
    {"Og: default radius 0.5, limit 1.4375", {{Og, 0, 0, 0}, {C, 1.43f, 0, 0}, {C, -1.44f, 0, 0}}, {{0, 1}}},
    {"Cs-Cs limit 5.336, the longest", {{Cs, 0, 0, 0}, {Cs, 5.33f, 0, 0}, {Cs, -5.34f, 0, 0}}, {{0, 1}}},
    {"NaN and infinity", {{C, kNaN, 0, 0}, {C, kNaN, 0, 0}, {C, kInf, 0, 0}, {C, kInf, 0, 0}, {C, 0, kInf, 0}}, {}},
    {"NaN beside a pair", {{C, 0, 0, kNaN}, {C, 0, 0, 0}, {C, 1.5f, 0, 0}}, {{1, 2}}},
    {"float overflow", {{C, kBig, kBig, kBig}, {C, -kBig, -kBig, -kBig}, {C, kBig, kBig, kBig}, {C, 0, 0, 0},
                        {C, 1.5f, 0, 0}}, {{0, 2}, {3, 4}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(expectSameAsAllPairs(molecule(c.atoms), c.tol), c.bonds);
  }
  EXPECT_TRUE(CreateBonds(nullptr));
}

TEST(CreateBonds, PiledUpAtomsGetNoBondsAndExistingBondsAreKept)
{
  // n atoms on one point make n(n-1)/2 pairs; 16 per atom is the most allowed.
  const struct { vl::EAtomType type; int n; bool ok; int added; } cases[] = {{C, 2, true, 1}, {C, 33, true, 528},
    {C, 34, false, 0}, {C, 40, false, 0}, {O, 20000, false, 0}, {H, 3000, true, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    auto m = molecule(std::vector<Placed>(static_cast<size_t>(c.n), {c.type, 1, 2, 3}));
    m->addBond(bond(m->atom(1), m->atom(0)));
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(CreateBonds(m), c.ok);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 2.0);
    EXPECT_EQ(m->bonds(), c.added + 1);
    EXPECT_EQ(bondPairs(*m).front(), std::make_pair(1u, 0u));
  }
}

TEST(CreateBondsEquivalence, CloudsOfEveryShapeAndTolerance)
{
  std::mt19937 rng(12345);
  for (float box : {1.0f, 3.0f, 8.0f, 30.0f, 1000.0f})
    for (int n : {2, 3, 10, 200, 1500})
      expectSameAsAllPairs(molecule(randomCloud(rng, n, box, -box / 2)));
  EXPECT_GT(expectSameAsAllPairs(molecule(randomCloud(rng, 1200, 2.5f))).size(), 100000u);
  // Copies stacked on existing positions with other types, and whole duplicates.
  auto atoms = randomCloud(rng, 600, 12.0f);
  std::uniform_int_distribution<size_t> pick(0, atoms.size() - 1);
  for (int k = 0; k < 400; ++k) {
    const Placed s = atoms[pick(rng)];
    atoms.insert(atoms.begin() + static_cast<long>(pick(rng)), {randomType(rng), s.x, s.y, s.z});
  }
  atoms.insert(atoms.end(), 30, {H, 5, 5, 5});
  atoms.push_back({C, 5, 5, 5});
  expectSameAsAllPairs(molecule(atoms));
  // Pairs at the limit, a few ulps either side, in random directions: the cell margin must not lose any.
  std::uniform_real_distribution<double> u(-1, 1);
  std::uniform_real_distribution<float> place(-40, 40);
  atoms.clear();
  while (atoms.size() < 3000) {
    const vl::EAtomType t1 = randomType(rng), t2 = randomType(rng);
    const double sum =
        BaseQueryAtomRadiusVal(vl::atomInfo(t1).mAtomicNumber) + BaseQueryAtomRadiusVal(vl::atomInfo(t2).mAtomicNumber);
    const double dx = u(rng), dy = u(rng), dz = u(rng), len = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double d = (sum * kBondTolerance + sum) * (1 + 4e-7 * u(rng)) / len;
    const float x = place(rng), y = place(rng), z = place(rng);
    if (len > 0.1 && len < 1)
      atoms.insert(atoms.end(), {{t1, x, y, z}, {t2, float(x + dx * d), float(y + dy * d), float(z + dz * d)}});
  }
  EXPECT_GT(expectSameAsAllPairs(molecule(atoms)).size(), 300u);
  atoms.clear(); // Cs pairs just inside the limit, straddling cell boundaries in every direction
  for (int k = 0; k < 400; ++k) {
    const float b = 0.0137f * k, x = 7 * b, y = 3 * b, z = 5 * b;
    atoms.insert(atoms.end(), {{Cs, x, y, z}, {Cs, x + 5.335f, y, z}, {Cs, x, y - 5.335f, z},
                               {Cs, x + 3.08f, y + 3.08f, z - 3.08f}, {C, x + 60, y, z}});
  }
  expectSameAsAllPairs(molecule(atoms));
  // Non-finite coordinates scattered through a cloud.
  atoms = randomCloud(rng, 1000, 10.0f);
  const float bad[] = {kNaN, kInf, -kInf};
  for (size_t k = 0; k < 60; ++k)
    (k % 3 == 0 ? atoms[k * 16].x : k % 3 == 1 ? atoms[k * 16].y : atoms[k * 16].z) = bad[k % 3];
  expectSameAsAllPairs(molecule(atoms));
  // Uniformly spread: almost every cell holds one atom (hashed grid).
  expectSameAsAllPairs(molecule(randomCloud(rng, 2000, 1e6f, -5e5f)));
  atoms.clear(); // dense clusters far apart in all three directions, and a lone far pair
  const float far[] = {-1e7f, 3e7f};
  for (int c = 0; c < 8; ++c)
    for (const auto& s : randomCloud(rng, 250, 9.0f))
      atoms.push_back({s.type, far[c & 1] + s.x, far[(c >> 1) & 1] + s.y, far[c >> 2] + s.z});
  atoms.insert(atoms.end(), 2, {C, 1e30f, -1e30f, 1e30f});
  EXPECT_GT(expectSameAsAllPairs(molecule(atoms)).size(), 100u);
  atoms.clear(); // a long thin chain along one axis
  for (int k = 0; k < 3000; ++k)
    atoms.push_back({k % 2 ? H : C, 1.1f * k, 0.01f * (k % 7), 0});
  expectSameAsAllPairs(molecule(atoms));
  // Other tolerances, NaN and infinity included.
  auto m = molecule(randomCloud(rng, 800, 12.0f));
  for (double tol : {0.0, 0.5, 2.0, -0.3, -1.0, -2.0, 1e-12})
    expectSameAsAllPairs(m, tol);
  EXPECT_TRUE(expectSameAsAllPairs(m, std::numeric_limits<double>::quiet_NaN()).empty());
  EXPECT_GT(expectSameAsAllPairs(molecule(randomCloud(rng, 60, 1e4f)), HUGE_VAL).size(), 1000u);
  expectSameAsAllPairs(molecule(randomCloud(rng, 300, 50.0f)), 100.0); // one big cell
}

TEST(CreateBondsEquivalence, ScratchReuseAndConcurrentCalls)
{
  // Kept working memory: large, small and empty calls and released state must not leak into each other.
  std::mt19937 rng(8);
  auto big = molecule(randomCloud(rng, 3000, 20.0f)), small = molecule(randomCloud(rng, 50, 4.0f));
  auto none = molecule({{H, 0, 0, 0}, {H, 0.5f, 0, 0}});
  const Pairs refBig = chem::FindBondPairsAllPairs(*big), refSmall = chem::FindBondPairsAllPairs(*small);
  for (int round = 0; round < 2; ++round, chem::ReleaseBondScratch())
    for (auto s : {chem::BondSearch::Auto, chem::BondSearch::HashGrid, chem::BondSearch::Auto}) {
      EXPECT_EQ(chem::FindBondPairs(*big, s), refBig);
      EXPECT_EQ(chem::FindBondPairs(*small, s), refSmall);
      EXPECT_TRUE(chem::FindBondPairs(*none, s).empty());
    }
  // Threads bonding separate molecules, twice each.
  std::vector<vl::ref<vl::Molecule>> mols;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    mols.push_back(molecule(randomCloud(rng, 1500 + 100 * t, 14.0f)));
  for (auto& m : mols)
    threads.emplace_back([&m] { CreateBonds(m), CreateBonds(m); });
  for (auto& th : threads)
    th.join();
  for (auto& m : mols) {
    Pairs want = chem::FindBondPairsAllPairs(*m);
    want.insert(want.end(), want.begin(), want.end());
    EXPECT_EQ(bondPairs(*m), want);
  }
}

TEST(Molecule, LookupEraseAdjacencyAndDisplaySettings)
{
  const float d = 0.63f; // methane-like C-H1..H4, a lone O, an unknown atom
  auto m = molecule({{C, 0, 0, 0}, {H, d, d, d}, {H, -d, -d, d}, {H, -d, d, -d}, {H, d, -d, -d}, {O, 5, 5, 5},
                     {X, 9, 9, 9}});
  CreateBonds(m);
  vl::Atom stranger;
  EXPECT_TRUE(m->indexOf(m->atom(5)) == 5 && m->indexOf(&stranger) == -1 && m->indexOf(nullptr) == -1);
  ASSERT_EQ(bondPairs(*m), (Pairs{{0, 1}, {0, 2}, {0, 3}, {0, 4}}));
  for (int h = 1; h <= 4; ++h) // in either order
    EXPECT_TRUE(m->bond(m->atom(h), m->atom(0)) == m->bond(h - 1) && m->bond(m->atom(0), m->atom(h)) == m->bond(h - 1));
  EXPECT_TRUE(m->bond(m->atom(1), m->atom(2)) == nullptr && m->bond(m->atom(0), m->atom(0)) == nullptr);
  using Lists = std::vector<std::vector<int>>;
  auto adjacency = [&m] {
    m->computeAtomAdjacency();
    Lists all(static_cast<size_t>(m->atoms()));
    for (int i = 0; i < m->atoms(); ++i)
      for (int k = 0; k < m->atom(i)->adjacentAtomCount(); ++k)
        all[static_cast<size_t>(i)].push_back(m->indexOf(m->atom(i)->adjacentAtom(k)));
    return all;
  };
  EXPECT_EQ(adjacency(), (Lists{{1, 2, 3, 4}, {0}, {0}, {0}, {0}, {}, {}}));
  // Erasing keeps the others in order; a bond that is not there changes nothing.
  vl::Bond foreign;
  for (const vl::Bond* b : {m->bond(m->atom(2), m->atom(0)), &foreign, static_cast<vl::Bond*>(nullptr)})
    m->eraseBond(b);
  EXPECT_EQ(bondPairs(*m), (Pairs{{0, 1}, {0, 3}, {0, 4}}));
  // Recomputed: an added bond appears; bonds to another molecule's atom or to null are left out.
  for (auto b : {bond(m->atom(5), m->atom(3)), bond(m->atom(1), &stranger), bond(nullptr, m->atom(2))})
    m->addBond(b);
  EXPECT_EQ(adjacency(), (Lists{{1, 3, 4}, {0}, {}, {0, 5}, {0}, {3}, {}}));
  EXPECT_EQ(stranger.adjacentAtomCount(), 0);
  vl::Molecule().computeAtomAdjacency();
  // Radii and colours from the element records (the unknown one for X), visibility by type.
  m->setCovalentAtomRadii(0.5f);
  EXPECT_TRUE(m->atom(0)->radius() == 0.375f && m->atom(1)->radius() == 0.16f && m->atom(6)->radius() == 0.25f);
  m->setVanDerWaalsAtomRadii(2.0f);
  m->setCPKAtomColors();
  m->setAtomTypeVisible(H, false);
  for (const auto& a : m->atomList())
    EXPECT_TRUE(a->radius() == vl::atomInfo(a->atomType()).mVanDerWaalsRadius * 2.0f &&
                a->color() == vl::atomInfo(a->atomType()).mCPKColor && a->visible() == (a->atomType() != H));
}

TEST(Geometry, MeasurementsAndDegenerateCases)
{
  enum Kind { Rij, Angle, Torsion, OutOfPlane, CentroidX, CentroidY, CentroidZ };
  const double pi = 3.141592653589793, nan = std::nan("");
  const struct { const char* what; Kind kind; std::vector<vl::fvec3> at; double want, tol = 0; } cases[] = {
    {"distance", Rij, {{0, 0, 0}, {1, 1, 1}}, std::sqrt(3.0)},
    {"float difference: 1e8 + 1 is 1e8", Rij, {{1e8f, 0, 0}, {100000001.0f, 0, 0}}, 0},
    {"float difference: rounded in float", Rij, {{0.1f, 0, 0}, {0.3f, 0, 0}}, static_cast<double>(0.3f - 0.1f)},
    {"tetrahedral", Angle, {{1, 1, 1}, {0, 0, 0}, {-1, -1, 1}}, std::acos(-1.0 / 3), 1e-12},
    {"straight: the cosine falls below -1, clamped", Angle, {{1.1f, 0, 0}, {0, 0, 0}, {-2.3f, 0, 0}}, pi},
    {"apex on first", Angle, {{1, 2, 3}, {1, 2, 3}, {4, 5, 6}}, nan},
    {"apex on last", Angle, {{4, 5, 6}, {1, 2, 3}, {1, 2, 3}}, nan},
    {"ends coincide", Angle, {{1, 2, 3}, {4, 5, 6}, {1, 2, 3}}, 0},
    {"centroid x", CentroidX, {{1, 2, 3}, {4, 5, 6}, {-2, 0.5f, 9}}, 1},
    {"centroid y", CentroidY, {{1, 2, 3}, {4, 5, 6}, {-2, 0.5f, 9}}, 2.5},
    {"centroid z", CentroidZ, {{1, 2, 3}, {4, 5, 6}, {-2, 0.5f, 9}}, 6},
    {"centroid summed in float as (at2 + at1) + at3", CentroidX, {{1, 0, 0}, {1e8f, 0, 0}, {-1e8f, 0, 0}}, 0},
    {"centroid rounding", CentroidX, {{0.2f, 0, 0}, {0.1f, 0, 0}, {0.3f, 0, 0}}, ((0.1f + 0.2f) + 0.3f) / 3.0},
    {"torsion -90", Torsion, {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {0, 1, 1}}, -pi / 2, 1e-15},
    {"torsion reversed", Torsion, {{0, 1, 1}, {0, 1, 0}, {0, 0, 0}, {1, 0, 0}}, -pi / 2, 1e-15},
    {"torsion 60", Torsion, {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {0.5f, 1, -0.8660254f}}, pi / 3, 1e-6},
    {"trans stays positive", Torsion, {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {-1, 1, 0}}, pi},
    {"cis", Torsion, {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {1, 1, 0}}, 0},
    {"first three collinear", Torsion, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 1, 0}}, 0},
    {"last three collinear", Torsion, {{2, 1, 0}, {0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, 0},
    {"torsion at1 on at2", Torsion, {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {2, 1, 0}}, 0},
    {"torsion at2 on at3", Torsion, {{2, 1, 0}, {0, 0, 0}, {0, 0, 0}, {1, 0, 0}}, 0},
    {"above the plane", OutOfPlane, {{0, 0, 1}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}}, pi / 2, 1e-15},
    {"below the plane", OutOfPlane, {{0, 0, -1}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}}, -pi / 2, 1e-15},
    {"plane atoms swapped", OutOfPlane, {{0, 0, 1}, {0, 1, 0}, {0, 0, 0}, {1, 0, 0}}, -pi / 2, 1e-15},
    {"in the plane", OutOfPlane, {{1, 1, 0}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}}, 0, 1e-15},
    {"tilted", OutOfPlane, {{1, 0, 1}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}}, pi / 4, 1e-12},
    {"at1 on at3", OutOfPlane, {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}}, 0},
    {"plane collinear", OutOfPlane, {{0, 0, 1}, {1, 0, 0}, {0, 0, 0}, {2, 0, 0}}, 0},
  };
  for (const auto& c : cases) {
    vl::Atom a[4];
    for (size_t i = 0; i < c.at.size(); ++i)
      a[i].setCoordinates(c.at[i]);
    double centroid[3];
    GeomCentroid(a, a + 1, a + 2, &centroid[0], &centroid[1], &centroid[2]);
    const double got = c.kind == Rij ? GeomRij(a, a + 1) : c.kind == Angle ? GeomAngle(a, a + 1, a + 2)
                       : c.kind == Torsion    ? GeomTorsion(a, a + 1, a + 2, a + 3)
                       : c.kind == OutOfPlane ? GeomOutOfPlane(a, a + 1, a + 2, a + 3) : centroid[c.kind - CentroidX];
    EXPECT_TRUE(std::isnan(c.want) ? std::isnan(got) : std::abs(got - c.want) <= c.tol) << c.what << ": " << got;
  }
}
