#include <gtest/gtest.h>

#include <cmath>

#include "vl/pick.h"

namespace {

using vl::fvec3;

struct Scene {
  vl::Molecule mol;

  vl::Atom* atom(const char* name, fvec3 at, float radius)
  {
    auto a = vl::make_ref<vl::Atom>();
    a->setAtomName(name);
    a->setCoordinates(at);
    a->setRadius(radius);
    mol.addAtom(a);
    return a.get();
  }
  vl::Bond* bond(vl::Atom* a1, vl::Atom* a2, float radius)
  {
    auto b = vl::make_ref<vl::Bond>();
    b->setAtom1(a1);
    b->setAtom2(a2);
    b->setRadius(radius);
    mol.addBond(b);
    return b.get();
  }
  vl::PickResult down(float x, float y, const vl::PickOptions& opt = {}) const
  {
    return vl::pickFirst(mol, vl::Ray{fvec3(x, y, 10), fvec3(0, 0, -1)}, opt);
  }
};

// Two atoms 2 apart on the x axis joined by a bond.
struct Pair : Scene {
  vl::Atom* a1 = atom("C1", fvec3(-1, 0, 0), 0.3f);
  vl::Atom* a2 = atom("O2", fvec3(1, 0, 0), 0.3f);
  vl::Bond* b = bond(a1, a2, 0.15f);
};

} // namespace

TEST(Pick, SpheresAreHitAtTheirSurfaceAndTheNearestWins)
{
  Scene s;
  s.mol.setMoleculeStyle(vl::MS_AtomsOnly);
  vl::Atom* far = s.atom("C1", fvec3(0, 0, -3), 0.5f);
  vl::Atom* nearer = s.atom("C2", fvec3(0, 0, 0), 0.5f);

  vl::PickResult r = s.down(0, 0);
  EXPECT_EQ(r.atom, nearer);
  EXPECT_EQ(r.bond, nullptr);
  EXPECT_FLOAT_EQ(r.distance, 9.5f);

  nearer->setRadius(0.1f); // the far, larger atom shows around the small one
  EXPECT_EQ(s.down(0.3f, 0).atom, far);
  EXPECT_FALSE(s.down(0.51f, 0).hit());

  // A ray that starts inside a sphere does not see it; one pointing away sees nothing.
  EXPECT_EQ(vl::pickFirst(s.mol, vl::Ray{fvec3(0, 0, 0), fvec3(0, 0, -1)}).atom, far);
  EXPECT_FALSE(vl::pickFirst(s.mol, vl::Ray{fvec3(0, 0, 10), fvec3(0, 0, 1)}).hit());
  EXPECT_FALSE(vl::pickFirst(s.mol, vl::Ray{fvec3(0, 0, 10), fvec3(0, 0, 0)}).hit());
}

TEST(Pick, BallAndStickBondsAreCylindersThatHideWhatIsBehind)
{
  Pair p;
  p.mol.setMoleculeStyle(vl::MS_BallAndStick);
  vl::Atom* behind = p.atom("H3", fvec3(0, 0, -2), 0.5f);

  vl::PickResult r = p.down(0, 0);
  EXPECT_EQ(r.bond, p.b);
  EXPECT_EQ(r.atom, nullptr);
  EXPECT_FLOAT_EQ(r.distance, 9.85f);
  EXPECT_EQ(p.down(0, 0.14f).bond, p.b);
  EXPECT_EQ(p.down(0, 0.16f).atom, behind); // beside the stick
  EXPECT_EQ(p.down(-1, 0).atom, p.a1);
  EXPECT_EQ(p.down(0.95f, 0.1f).atom, p.a2);

  // The cylinder is open and ends at the atom centres.
  EXPECT_FALSE(p.down(1.35f, 0).hit());

  // Space-filling draws no bonds: the atom behind shows through.
  p.mol.setMoleculeStyle(vl::MS_AtomsOnly);
  EXPECT_EQ(p.down(0, 0).atom, behind);
}

TEST(Pick, HiddenAtomsAndTheirBondsAreIgnored)
{
  Pair p;
  p.mol.setMoleculeStyle(vl::MS_BallAndStick);
  vl::Atom* behind = p.atom("H3", fvec3(0, 0, -2), 0.5f);

  p.a2->setVisible(false);
  EXPECT_EQ(p.down(0, 0).atom, behind); // the bond went with its atom
  EXPECT_FALSE(p.down(1, 0).hit());
  p.a2->setVisible(true);

  p.b->setVisible(false);
  EXPECT_EQ(p.down(0, 0).atom, behind);
  p.b->setVisible(true);

  // What the renderer skips: bonds without length or radius, atoms without a place.
  p.b->setRadius(0.0f);
  EXPECT_EQ(p.down(0, 0).atom, behind);
  p.b->setRadius(0.15f);
  behind->setCoordinates(fvec3(std::nanf(""), 0, -2));
  vl::Atom* twin = p.atom("O4", fvec3(-1, 0, 0), 0.0f);
  p.bond(p.a1, twin, 0.5f);
  EXPECT_FALSE(p.down(0, 0.2f).hit());
  EXPECT_FALSE(p.down(-1, 0.45f).hit());

  behind->setCoordinates(fvec3(0, 0, -2));
  behind->setVisible(false);
  p.mol.setMoleculeStyle(vl::MS_AtomsOnly);
  EXPECT_FALSE(p.down(0, 0).hit());
}

TEST(Pick, SticksHaveCappedCylindersWhoseJointsBelongToTheAtoms)
{
  Pair p;
  p.mol.setMoleculeStyle(vl::MS_Sticks);
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
  vl::Atom* lone = p.atom("Na3", fvec3(5, 0, 0), 0.5f);
  EXPECT_EQ(p.down(5, 0.09f).atom, lone);
  EXPECT_FALSE(p.down(5, 0.15f).hit());
  p.b->setVisible(false);
  EXPECT_EQ(p.down(-1, 0.09f).atom, p.a1); // its atoms are lone now
  EXPECT_FALSE(p.down(0, 0).hit());
}

TEST(Pick, WireframeAtomsHaveAScreenSizedToleranceAndLinesAreNoHits)
{
  Pair p;
  p.mol.setMoleculeStyle(vl::MS_Wireframe);
  vl::PickOptions opt;
  opt.wireframeRadiusPerDistance = 0.01f; // 10 units away: 0.1

  EXPECT_EQ(p.down(-1, 0.09f, opt).atom, p.a1);
  EXPECT_FALSE(p.down(-1, 0.11f, opt).hit());
  EXPECT_FALSE(p.down(0, 0, opt).hit()); // the line between them
  EXPECT_FALSE(p.down(-1, 0).hit());     // no tolerance, nothing to hit

  // The tolerance grows with distance: the same offset hits a farther atom.
  vl::Atom* far = p.atom("N3", fvec3(3, 0, -20), 0.3f);
  EXPECT_EQ(p.down(3, 0.25f, opt).atom, far);
  opt.wireframeRadius = 0.2f;
  opt.wireframeRadiusPerDistance = 0;
  EXPECT_FALSE(p.down(3, 0.25f, opt).hit());

  // Overlapping tolerances: the atom nearer the viewer comes first.
  vl::Atom* front = p.atom("H4", fvec3(3, 0.1f, 5), 0.3f);
  EXPECT_EQ(p.down(3, 0.05f, opt).atom, front);
  front->setVisible(false);
  EXPECT_EQ(p.down(3, 0.05f, opt).atom, far);
  // Behind the ray's origin nothing counts.
  p.atom("C5", fvec3(-3, 0, 11), 0.3f);
  EXPECT_FALSE(p.down(-3, 0, opt).hit());
}
