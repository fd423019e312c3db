#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

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
    a->setCoordinates(at);
    a->setRadius(radius);
    mol.addAtom(a);
    return a.get();
  }
  vl::Bond* bond(vl::Atom* p, vl::Atom* q, float radius)
  {
    auto n = vl::make_ref<vl::Bond>();
    n->setAtom1(p);
    n->setAtom2(q);
    n->setRadius(radius);
    mol.addBond(n);
    return n.get();
  }
  vl::PickResult down(float x, float y, const vl::PickOptions& opt = {}) const
  {
    return vl::pickFirst(mol, vl::Ray{fvec3(x, y, 10), fvec3(0, 0, -1)}, opt);
  }
};

} // namespace

TEST(Pick, SpheresAreHitAtTheirSurfaceAndTheNearestWins)
{
  Pair p(vl::MS_AtomsOnly);
  vl::Atom* far = p.atom(fvec3(0, 0, -3), 0.5f);
  vl::Atom* nearer = p.atom(fvec3(0, 0, 0), 0.5f);
  vl::PickResult r = p.down(0, 0);
  EXPECT_EQ(r.atom, nearer);
  EXPECT_EQ(r.bond, nullptr);
  EXPECT_FLOAT_EQ(r.distance, 9.5f);

  nearer->setRadius(0.1f); // the far, larger atom shows around the small one
  EXPECT_EQ(p.down(0.3f, 0).atom, far);
  EXPECT_FALSE(p.down(0.51f, 0).hit());
  // A ray that starts inside a sphere does not see it; one pointing away, or nowhere, sees nothing.
  EXPECT_EQ(vl::pickFirst(p.mol, vl::Ray{fvec3(0, 0, 0), fvec3(0, 0, -1)}).atom, far);
  EXPECT_FALSE(vl::pickFirst(p.mol, vl::Ray{fvec3(0, 0, 10), fvec3(0, 0, 1)}).hit());
  EXPECT_FALSE(vl::pickFirst(p.mol, vl::Ray{fvec3(0, 0, 10), fvec3(0, 0, 0)}).hit());
}

TEST(Pick, BallAndStickBondsAreOpenCylindersThatHideWhatIsBehind)
{
  Pair p(vl::MS_BallAndStick);
  vl::Atom* behind = p.atom(fvec3(0, 0, -2), 0.5f);
  vl::PickResult r = p.down(0, 0);
  EXPECT_EQ(r.bond, p.b);
  EXPECT_EQ(r.atom, nullptr);
  EXPECT_FLOAT_EQ(r.distance, 9.85f);
  EXPECT_EQ(p.down(0, 0.14f).bond, p.b);
  EXPECT_EQ(p.down(0, 0.16f).atom, behind); // beside the stick
  EXPECT_EQ(p.down(0.95f, 0.1f).atom, p.a2);
  EXPECT_FALSE(p.down(1.35f, 0).hit()); // the cylinder ends at the atom centres
  p.mol.setMoleculeStyle(vl::MS_AtomsOnly);
  EXPECT_EQ(p.down(0, 0).atom, behind); // space-filling draws no bonds
  p.mol.setMoleculeStyle(vl::MS_BallAndStick);

  // Hidden atoms take their bonds with them; hidden bonds, bonds without
  // radius, atoms without a place are skipped as the renderer skips them.
  p.a2->setVisible(false);
  EXPECT_EQ(p.down(0, 0).atom, behind);
  EXPECT_FALSE(p.down(1, 0).hit());
  p.a2->setVisible(true);
  p.b->setVisible(false);
  EXPECT_EQ(p.down(0, 0).atom, behind);
  p.b->setVisible(true);
  p.b->setRadius(0.0f);
  EXPECT_EQ(p.down(0, 0).atom, behind);
  p.b->setRadius(0.15f);
  behind->setCoordinates(fvec3(std::nanf(""), 0, -2));
  p.bond(p.a1, p.atom(fvec3(-1, 0, 0), 0.0f), 0.5f); // zero length
  EXPECT_FALSE(p.down(0, 0.2f).hit());
  EXPECT_FALSE(p.down(-1, 0.45f).hit());
}

TEST(Pick, SticksHaveCappedCylindersWhoseJointsBelongToTheAtoms)
{
  Pair p(vl::MS_Sticks);
  p.b->setRadius(0.1f);
  EXPECT_EQ(p.down(0, 0).bond, p.b);
  // The joint: the cap and the first stick radius of each end.
  EXPECT_EQ(p.down(-1, 0).atom, p.a1);
  EXPECT_EQ(p.down(-0.92f, 0.05f).atom, p.a1);
  EXPECT_EQ(p.down(-1.08f, 0).atom, p.a1);
  EXPECT_EQ(p.down(0.93f, 0).atom, p.a2);
  EXPECT_EQ(p.down(-0.85f, 0).bond, p.b);
  // Atom radii are not drawn in sticks.
  EXPECT_FALSE(p.down(-1.15f, 0).hit());
  EXPECT_FALSE(p.down(-1, 0.2f).hit());

  // Looking down the stick, the cap in front is met first.
  vl::PickResult r = vl::pickFirst(p.mol, vl::Ray{fvec3(-5, 0.02f, 0), fvec3(1, 0, 0)});
  EXPECT_EQ(r.atom, p.a1);
  EXPECT_NEAR(r.distance, 4 - 0.098f, 1e-4);

  // An atom without a drawn bond is a ball of the first stick's radius.
  vl::Atom* lone = p.atom(fvec3(5, 0, 0), 0.5f);
  EXPECT_EQ(p.down(5, 0.09f).atom, lone);
  EXPECT_FALSE(p.down(5, 0.15f).hit());
  p.b->setVisible(false);
  EXPECT_EQ(p.down(-1, 0.09f).atom, p.a1); // its atoms are lone now
  EXPECT_FALSE(p.down(0, 0).hit());
}

TEST(Pick, WireframeAtomsHaveAScreenSizedToleranceAndLinesAreNoHits)
{
  Pair p(vl::MS_Wireframe);
  vl::PickOptions opt;
  opt.wireframeRadiusPerDistance = 0.01f; // 10 units away: 0.1
  EXPECT_EQ(p.down(-1, 0.09f, opt).atom, p.a1);
  EXPECT_FALSE(p.down(-1, 0.11f, opt).hit());
  EXPECT_FALSE(p.down(0, 0, opt).hit()); // the line between them
  EXPECT_FALSE(p.down(-1, 0).hit());     // no tolerance, nothing to hit

  // The tolerance grows with distance: the same offset hits a farther atom.
  vl::Atom* far = p.atom(fvec3(3, 0, -20), 0.3f);
  EXPECT_EQ(p.down(3, 0.25f, opt).atom, far);
  opt.wireframeRadius = 0.2f;
  opt.wireframeRadiusPerDistance = 0;
  EXPECT_FALSE(p.down(3, 0.25f, opt).hit());
  // Overlapping tolerances: the atom nearer the viewer comes first.
  vl::Atom* front = p.atom(fvec3(3, 0.1f, 5), 0.3f);
  EXPECT_EQ(p.down(3, 0.05f, opt).atom, front);
  front->setVisible(false);
  EXPECT_EQ(p.down(3, 0.05f, opt).atom, far);
  // Behind the ray's origin nothing counts.
  p.atom(fvec3(-3, 0, 11), 0.3f);
  EXPECT_FALSE(p.down(-3, 0, opt).hit());
}

// What each style draws, named: bonds (as lines or cylinders), balls with
// their radii, crosses.
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
  const auto describe = [&] {
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
    return s.str();
  };
  const struct {
    vl::EMoleculeStyle style;
    bool bondVisible;
    const char* drawn;
  } cases[] = {
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
    EXPECT_EQ(describe(), c.drawn) << "style " << c.style << ", bond visible " << c.bondVisible;
  }
}
