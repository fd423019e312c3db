#include <gtest/gtest.h>

#include <vector>

#include "core/chemistry/bonds.h"
#include "core/model/molecule.h"

namespace {

vl::ref<vl::Atom> atom(vl::EAtomType type, float x = 0, float y = 0, float z = 0)
{
  auto a = vl::make_ref<vl::Atom>();
  a->setAtomType(type);
  a->setCoordinates(vl::fvec3(x, y, z));
  return a;
}

vl::ref<vl::Bond> bond(vl::Atom* a1, vl::Atom* a2)
{
  auto b = vl::make_ref<vl::Bond>();
  b->setAtom1(a1);
  b->setAtom2(a2);
  return b;
}

std::vector<vl::Atom*> neighbours(const vl::Atom* a)
{
  std::vector<vl::Atom*> n;
  for (int i = 0; i < a->adjacentAtomCount(); ++i)
    n.push_back(a->adjacentAtom(i));
  return n;
}

// Methane-like, bonded C-H1..H4, plus a lone O.
vl::ref<vl::Molecule> methanePlusO()
{
  auto m = vl::make_ref<vl::Molecule>();
  m->addAtom(atom(vl::AT_Carbon));
  m->addAtom(atom(vl::AT_Hydrogen, 0.63f, 0.63f, 0.63f));
  m->addAtom(atom(vl::AT_Hydrogen, -0.63f, -0.63f, 0.63f));
  m->addAtom(atom(vl::AT_Hydrogen, -0.63f, 0.63f, -0.63f));
  m->addAtom(atom(vl::AT_Hydrogen, 0.63f, -0.63f, -0.63f));
  m->addAtom(atom(vl::AT_Oxygen, 5, 5, 5));
  CreateBonds(m);
  return m;
}

} // namespace

TEST(Molecule, IndexOfAndBondLookupInEitherOrder)
{
  auto m = methanePlusO();
  vl::Atom stranger;
  EXPECT_EQ(m->indexOf(m->atom(5)), 5);
  EXPECT_EQ(m->indexOf(&stranger), -1);
  EXPECT_EQ(m->indexOf(nullptr), -1);
  ASSERT_EQ(m->bonds(), 4);
  for (int h = 1; h <= 4; ++h) {
    vl::Bond* b = m->bond(m->atom(h), m->atom(0));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(m->bond(m->atom(0), m->atom(h)), b);
  }
  EXPECT_EQ(m->bond(m->atom(1), m->atom(2)), nullptr);
  EXPECT_EQ(m->bond(m->atom(0), m->atom(0)), nullptr);
}

TEST(Molecule, EraseBondKeepsTheOthersInOrder)
{
  auto m = methanePlusO();
  m->eraseBond(m->bond(m->atom(2), m->atom(0)));
  ASSERT_EQ(m->bonds(), 3);
  EXPECT_EQ(m->bond(m->atom(0), m->atom(2)), nullptr);
  EXPECT_EQ(m->bond(0)->atom2(), m->atom(1));
  EXPECT_EQ(m->bond(1)->atom2(), m->atom(3));
  EXPECT_EQ(m->bond(2)->atom2(), m->atom(4));
  vl::Bond foreign; // not there: nothing changes
  m->eraseBond(&foreign);
  m->eraseBond(nullptr);
  EXPECT_EQ(m->bonds(), 3);
}

TEST(Molecule, ComputeAtomAdjacency)
{
  auto m = methanePlusO();
  m->computeAtomAdjacency();
  EXPECT_EQ(neighbours(m->atom(0)), (std::vector<vl::Atom*>{m->atom(1), m->atom(2), m->atom(3), m->atom(4)}));
  for (int h = 1; h <= 4; ++h)
    EXPECT_EQ(neighbours(m->atom(h)), (std::vector<vl::Atom*>{m->atom(0)}));
  EXPECT_EQ(m->atom(5)->adjacentAtomCount(), 0);

  // Recomputed after an edit: the erased bond is gone on both sides, an added one appears.
  m->eraseBond(m->bond(m->atom(0), m->atom(3)));
  m->addBond(bond(m->atom(5), m->atom(3)));
  // Bonds to atoms of another molecule, or with a missing atom, are left out.
  vl::Atom stranger;
  m->addBond(bond(m->atom(1), &stranger));
  m->addBond(bond(nullptr, m->atom(2)));
  m->computeAtomAdjacency();
  EXPECT_EQ(neighbours(m->atom(0)), (std::vector<vl::Atom*>{m->atom(1), m->atom(2), m->atom(4)}));
  EXPECT_EQ(neighbours(m->atom(1)), (std::vector<vl::Atom*>{m->atom(0)}));
  EXPECT_EQ(neighbours(m->atom(2)), (std::vector<vl::Atom*>{m->atom(0)}));
  EXPECT_EQ(neighbours(m->atom(3)), (std::vector<vl::Atom*>{m->atom(5)}));
  EXPECT_EQ(neighbours(m->atom(5)), (std::vector<vl::Atom*>{m->atom(3)}));
  EXPECT_EQ(stranger.adjacentAtomCount(), 0);

  vl::Molecule empty;
  empty.computeAtomAdjacency();
}

TEST(Molecule, RadiiColoursAndVisibilityByType)
{
  auto m = methanePlusO();
  m->addAtom(atom(vl::AT_Unknown));
  m->addAtom(atom(vl::AT_Oganesson));
  m->setCovalentAtomRadii(0.5f);
  EXPECT_EQ(m->atom(0)->radius(), 0.375f);
  EXPECT_EQ(m->atom(1)->radius(), 0.16f);
  EXPECT_EQ(m->atom(6)->radius(), 0.25f);
  EXPECT_EQ(m->atom(7)->radius(), 0.25f);
  m->setVanDerWaalsAtomRadii(1.0f);
  EXPECT_EQ(m->atom(1)->radius(), 1.20f);
  EXPECT_EQ(m->atom(6)->radius(), 1.5f);

  m->setCPKAtomColors();
  EXPECT_EQ(m->atom(5)->color(), vl::fvec4(1.0f, 13.0f / 255.0f, 13.0f / 255.0f, 1.0f));
  EXPECT_EQ(m->atom(6)->color(), vl::fvec4(250.0f / 255.0f, 22.0f / 255.0f, 145.0f / 255.0f, 1.0f));

  m->setAtomTypeVisible(vl::AT_Hydrogen, false);
  for (int i = 0; i < m->atoms(); ++i)
    EXPECT_EQ(m->atom(i)->visible(), m->atom(i)->atomType() != vl::AT_Hydrogen) << i;
}
