#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "core/model/drawn.h"
#include "core/model/pick.h"

namespace {

using vl::fvec3;

// Two atoms 2 apart on the x axis joined by a bond, seen from z = 10.
struct Pair {
  vl::Molecule mol;
  vl::Atom* a1 = atom(fvec3(-1, 0, 0), 0.3f);
  vl::Atom* a2 = atom(fvec3(1, 0, 0), 0.3f);
  vl::Bond* b = bond(a1, a2, 0.15f);

  explicit Pair(vl::EMoleculeStyle style) { mol.setMoleculeStyle(style); }
  vl::Atom* atom(fvec3 at, float radius)
  {
    auto a = vl::make_ref<vl::Atom>();
    a->setCoordinates(at), a->setRadius(radius);
    mol.addAtom(a);
    return a.get();
  }
  vl::Bond* bond(vl::Atom* p, vl::Atom* q, float radius)
  {
    auto n = vl::make_ref<vl::Bond>();
    n->setAtom1(p), n->setAtom2(q), n->setRadius(radius);
    mol.addBond(n);
    return n.get();
  }
  vl::PickResult down(float x, float y, const vl::PickOptions& opt = {}) const
  {
    return vl::pickFirst(mol, vl::Ray{fvec3(x, y, 10), fvec3(0, 0, -1)}, opt);
  }
  // What a ray down through each (x, y) meets first: an atom, a bond or nothing (nullptr).
  struct Probe { float x, y; const void* first; };
  void expect(std::initializer_list<Probe> probes, const vl::PickOptions& opt = {}) const
  {
    for (const Probe& p : probes) {
      const vl::PickResult r = down(p.x, p.y, opt);
      EXPECT_EQ(r.atom ? static_cast<const void*>(r.atom) : r.bond, p.first) << "at (" << p.x << ", " << p.y << ")";
    }
  }
};

} // namespace

TEST(Pick, SpheresAreHitAtTheirSurfaceAndTheNearestWins)
{
  Pair p(vl::MS_AtomsOnly);
  vl::Atom* far = p.atom(fvec3(0, 0, -3), 0.5f);
  vl::Atom* nearer = p.atom(fvec3(0, 0, 0), 0.5f);
  const vl::PickResult r = p.down(0, 0);
  EXPECT_TRUE(r.atom == nearer && r.bond == nullptr);
  EXPECT_FLOAT_EQ(r.distance, 9.5f);

  nearer->setRadius(0.1f); // the far, larger atom shows around the small one
  p.expect({{0.3f, 0, far}, {0.51f, 0, nullptr}});
  // A ray that starts inside a sphere does not see it; one pointing away, or nowhere, sees nothing.
  const struct { fvec3 from, direction; vl::Atom* first; } rays[] = {
      {{0, 0, 0}, {0, 0, -1}, far}, {{0, 0, 10}, {0, 0, 1}, nullptr}, {{0, 0, 10}, {0, 0, 0}, nullptr}};
  for (const auto& ray : rays)
    EXPECT_EQ(vl::pickFirst(p.mol, vl::Ray{ray.from, ray.direction}).atom, ray.first);
}

TEST(Pick, BallAndStickBondsAreOpenCylindersThatHideWhatIsBehind)
{
  Pair p(vl::MS_BallAndStick);
  vl::Atom* behind = p.atom(fvec3(0, 0, -2), 0.5f);
  const vl::PickResult r = p.down(0, 0);
  EXPECT_TRUE(r.bond == p.b && r.atom == nullptr);
  EXPECT_FLOAT_EQ(r.distance, 9.85f);
  // Beside the stick; the cylinder ends at the atom centres.
  p.expect({{0, 0.14f, p.b}, {0, 0.16f, behind}, {0.95f, 0.1f, p.a2}, {1.35f, 0, nullptr}});
  p.mol.setMoleculeStyle(vl::MS_AtomsOnly);
  p.expect({{0, 0, behind}}); // space-filling draws no bonds
  p.mol.setMoleculeStyle(vl::MS_BallAndStick);

  // Hidden atoms take their bonds with them; hidden bonds, bonds without
  // radius, atoms without a place are skipped as the renderer skips them.
  p.a2->setVisible(false);
  p.expect({{0, 0, behind}, {1, 0, nullptr}});
  p.a2->setVisible(true), p.b->setVisible(false);
  p.expect({{0, 0, behind}});
  p.b->setVisible(true), p.b->setRadius(0.0f);
  p.expect({{0, 0, behind}});
  p.b->setRadius(0.15f), behind->setCoordinates(fvec3(std::nanf(""), 0, -2));
  p.bond(p.a1, p.atom(fvec3(-1, 0, 0), 0.0f), 0.5f); // zero length
  p.expect({{0, 0.2f, nullptr}, {-1, 0.45f, nullptr}});
}

TEST(Pick, SticksHaveCappedCylindersWhoseJointsBelongToTheAtoms)
{
  Pair p(vl::MS_Sticks);
  p.b->setRadius(0.1f);
  // The joint: the cap and the first stick radius of each end; atom radii are not drawn in sticks.
  p.expect({{0, 0, p.b}, {-1, 0, p.a1}, {-0.92f, 0.05f, p.a1}, {-1.08f, 0, p.a1}, {0.93f, 0, p.a2},
            {-0.85f, 0, p.b}, {-1.15f, 0, nullptr}, {-1, 0.2f, nullptr}});

  // Looking down the stick, the cap in front is met first.
  const vl::PickResult r = vl::pickFirst(p.mol, vl::Ray{fvec3(-5, 0.02f, 0), fvec3(1, 0, 0)});
  EXPECT_EQ(r.atom, p.a1);
  EXPECT_NEAR(r.distance, 4 - 0.098f, 1e-4);

  // An atom without a drawn bond is a ball of the first stick's radius.
  vl::Atom* lone = p.atom(fvec3(5, 0, 0), 0.5f);
  p.expect({{5, 0.09f, lone}, {5, 0.15f, nullptr}});
  p.b->setVisible(false);
  p.expect({{-1, 0.09f, p.a1}, {0, 0, nullptr}}); // its atoms are lone now
}

TEST(Pick, WireframeAtomsHaveAScreenSizedToleranceAndLinesAreNoHits)
{
  Pair p(vl::MS_Wireframe);
  vl::PickOptions opt;
  opt.wireframeRadiusPerDistance = 0.01f; // 10 units away: 0.1
  // Between the atoms lies only the line; without a tolerance there is nothing to hit.
  p.expect({{-1, 0.09f, p.a1}, {-1, 0.11f, nullptr}, {0, 0, nullptr}}, opt);
  p.expect({{-1, 0, nullptr}});

  // The tolerance grows with distance: the same offset hits a farther atom.
  vl::Atom* far = p.atom(fvec3(3, 0, -20), 0.3f);
  p.expect({{3, 0.25f, far}}, opt);
  opt.wireframeRadius = 0.2f, opt.wireframeRadiusPerDistance = 0;
  p.expect({{3, 0.25f, nullptr}}, opt);
  // Overlapping tolerances: the atom nearer the viewer comes first, unless hidden.
  vl::Atom* front = p.atom(fvec3(3, 0.1f, 5), 0.3f);
  p.expect({{3, 0.05f, front}}, opt);
  front->setVisible(false);
  p.expect({{3, 0.05f, far}}, opt);
  // Behind the ray's origin nothing counts.
  p.atom(fvec3(-3, 0, 11), 0.3f);
  p.expect({{-3, 0, nullptr}}, opt);
}

// What each style draws, named: bonds (as lines or cylinders), balls with their radii, crosses.
TEST(Drawn, EachStyleDrawsItsOwnSet)
{
  Pair p(vl::MS_AtomsOnly); // a1 C(-1) 0.3, a2 (1) 0.3, bond 0.15
  vl::Atom* lone = p.atom(fvec3(0, 3, 0), 0.2f);
  vl::Atom* hidden = p.atom(fvec3(0, -3, 0), 0.3f);
  hidden->setVisible(false);
  p.atom(fvec3(std::nanf(""), 0, 0), 0.3f);
  vl::Atom* flat = p.atom(fvec3(-1, 0, 0), 0.0f); // on a1, no radius
  p.bond(p.a1, hidden, 0.15f);
  p.bond(p.a1, flat, 0.15f);                 // zero length
  vl::Bond* thin = p.bond(p.a2, lone, 0.0f); // no radius: a line only
  const auto name = [&](const vl::Atom* a) {
    return a == p.a1 ? "a1" : a == p.a2 ? "a2" : a == lone ? "lone" : a == flat ? "flat" : "?";
  };
  const struct { vl::EMoleculeStyle style; bool bondVisible; const char* drawn; } cases[] = {
      {vl::MS_AtomsOnly, true, "cylinders: | balls: a1@0.3 a2@0.3 lone@0.2 | crosses:"},
      {vl::MS_BallAndStick, true, "cylinders: b | balls: a1@0.3 a2@0.3 lone@0.2 | crosses:"},
      {vl::MS_Sticks, true, "capped: b | balls: lone@0.15 flat@0.15 | crosses:"},
      {vl::MS_Sticks, false, "capped: | balls: a1@0.1 a2@0.1 lone@0.1 flat@0.1 | crosses:"},
      {vl::MS_Wireframe, true, "lines: b thin | balls: | crosses: flat"},
      {vl::MS_Wireframe, false, "lines: thin | balls: | crosses: a1 flat"},
  };
  for (const auto& c : cases) {
    p.mol.setMoleculeStyle(c.style);
    p.b->setVisible(c.bondVisible);
    const vl::DrawnParts d = vl::drawnParts(p.mol);
    std::ostringstream s;
    s << (d.bondsAsLines ? "lines" : d.roundCaps ? "capped" : "cylinders") << ":";
    for (const vl::Bond* b : d.bonds)
      s << " " << (b == p.b ? "b" : b == thin ? "thin" : "?");
    s << " | balls:";
    for (const vl::DrawnBall& b : d.balls)
      s << " " << name(b.atom) << "@" << b.radius;
    s << " | crosses:";
    for (const vl::Atom* a : d.crosses)
      s << " " << name(a);
    EXPECT_EQ(s.str(), c.drawn) << "style " << c.style << ", bond visible " << c.bondVisible;
  }
}
