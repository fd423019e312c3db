#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "chemistry/bonds.h"
#include "vl/molecule.h"

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

// Methane-like: C with four H, plus a lone O.
vl::ref<vl::Molecule> methanePlusO()
{
  auto m = vl::make_ref<vl::Molecule>();
  m->addAtom(atom(vl::AT_Carbon));
  m->addAtom(atom(vl::AT_Hydrogen, 0.63f, 0.63f, 0.63f));
  m->addAtom(atom(vl::AT_Hydrogen, -0.63f, -0.63f, 0.63f));
  m->addAtom(atom(vl::AT_Hydrogen, -0.63f, 0.63f, -0.63f));
  m->addAtom(atom(vl::AT_Hydrogen, 0.63f, -0.63f, -0.63f));
  m->addAtom(atom(vl::AT_Oxygen, 5, 5, 5));
  return m;
}

} // namespace

TEST(Molecule, DefaultsOfAtomAndBond)
{
  vl::Atom a;
  EXPECT_EQ(a.atomType(), vl::AT_Unknown);
  EXPECT_TRUE(a.visible());
  EXPECT_EQ(a.adjacentAtomCount(), 0);
  vl::Bond b;
  EXPECT_EQ(b.atom1(), nullptr);
  EXPECT_EQ(b.bondType(), vl::BT_Single);
  EXPECT_TRUE(b.useAtomColors());
  vl::Molecule m;
  EXPECT_EQ(m.atoms(), 0);
  EXPECT_EQ(m.bonds(), 0);
  m.computeAtomAdjacency(); // empty molecule
}

TEST(Molecule, IndexOf)
{
  auto m = methanePlusO();
  for (int i = 0; i < m->atoms(); ++i)
    EXPECT_EQ(m->indexOf(m->atom(i)), i);
  vl::Atom stranger;
  EXPECT_EQ(m->indexOf(&stranger), -1);
  EXPECT_EQ(m->indexOf(nullptr), -1);
}

TEST(Molecule, BondLookupInEitherOrder)
{
  auto m = methanePlusO();
  CreateBonds(m);
  ASSERT_EQ(m->bonds(), 4);
  for (int h = 1; h <= 4; ++h) {
    vl::Bond* b = m->bond(m->atom(0), m->atom(h));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(m->bond(m->atom(h), m->atom(0)), b);
    EXPECT_EQ(b->atom1(), m->atom(0));
    EXPECT_EQ(b->atom2(), m->atom(h));
  }
  EXPECT_EQ(m->bond(m->atom(1), m->atom(2)), nullptr);
  EXPECT_EQ(m->bond(m->atom(0), m->atom(5)), nullptr);
  EXPECT_EQ(m->bond(m->atom(0), m->atom(0)), nullptr);
}

TEST(Molecule, EraseBond)
{
  auto m = methanePlusO();
  CreateBonds(m);
  vl::Bond* b = m->bond(m->atom(2), m->atom(0));
  ASSERT_NE(b, nullptr);
  m->eraseBond(b);
  EXPECT_EQ(m->bonds(), 3);
  EXPECT_EQ(m->bond(m->atom(0), m->atom(2)), nullptr);
  EXPECT_NE(m->bond(m->atom(0), m->atom(1)), nullptr);
  // The others keep their order.
  EXPECT_EQ(m->bond(0)->atom2(), m->atom(1));
  EXPECT_EQ(m->bond(1)->atom2(), m->atom(3));
  EXPECT_EQ(m->bond(2)->atom2(), m->atom(4));
  // A bond that is not there (any more) changes nothing.
  vl::Bond foreign;
  m->eraseBond(&foreign);
  m->eraseBond(nullptr);
  EXPECT_EQ(m->bonds(), 3);
}

TEST(Molecule, ComputeAtomAdjacency)
{
  auto m = methanePlusO();
  CreateBonds(m);
  m->computeAtomAdjacency();
  EXPECT_EQ(neighbours(m->atom(0)), (std::vector<vl::Atom*>{m->atom(1), m->atom(2), m->atom(3), m->atom(4)}));
  for (int h = 1; h <= 4; ++h)
    EXPECT_EQ(neighbours(m->atom(h)), (std::vector<vl::Atom*>{m->atom(0)}));
  EXPECT_EQ(m->atom(5)->adjacentAtomCount(), 0);

  // Recomputed after an edit: the erased bond is gone on both sides, an added one appears.
  m->eraseBond(m->bond(m->atom(0), m->atom(3)));
  m->addBond(bond(m->atom(5), m->atom(3)));
  m->computeAtomAdjacency();
  EXPECT_EQ(neighbours(m->atom(0)), (std::vector<vl::Atom*>{m->atom(1), m->atom(2), m->atom(4)}));
  EXPECT_EQ(neighbours(m->atom(3)), (std::vector<vl::Atom*>{m->atom(5)}));
  EXPECT_EQ(neighbours(m->atom(5)), (std::vector<vl::Atom*>{m->atom(3)}));

  // Bonds to atoms of another molecule, or with a missing atom, are left out.
  vl::Atom stranger;
  m->addBond(bond(m->atom(1), &stranger));
  m->addBond(bond(nullptr, m->atom(2)));
  m->computeAtomAdjacency();
  EXPECT_EQ(neighbours(m->atom(1)), (std::vector<vl::Atom*>{m->atom(0)}));
  EXPECT_EQ(neighbours(m->atom(2)), (std::vector<vl::Atom*>{m->atom(0)}));
  EXPECT_EQ(stranger.adjacentAtomCount(), 0);
}

TEST(Molecule, AdjacencyOfAManyBondedAtom)
{
  auto m = vl::make_ref<vl::Molecule>();
  m->addAtom(atom(vl::AT_Iron));
  for (int k = 0; k < 300; ++k)
    m->addAtom(atom(vl::AT_Carbon, 1.9f, 0, 0.001f * k));
  for (int k = 1; k <= 300; ++k)
    m->addBond(bond(m->atom(k), m->atom(0)));
  m->computeAtomAdjacency();
  ASSERT_EQ(m->atom(0)->adjacentAtomCount(), 300);
  for (int k = 0; k < 300; ++k)
    EXPECT_EQ(m->atom(0)->adjacentAtom(k), m->atom(k + 1));
  EXPECT_EQ(m->atom(300)->adjacentAtomCount(), 1);
}

TEST(Molecule, CovalentAndVanDerWaalsRadii)
{
  auto m = methanePlusO();
  m->addAtom(atom(vl::AT_Unknown));
  m->addAtom(atom(vl::AT_Oganesson));
  m->setCovalentAtomRadii(1.0f);
  EXPECT_EQ(m->atom(0)->radius(), 0.75f);
  EXPECT_EQ(m->atom(1)->radius(), 0.32f);
  EXPECT_EQ(m->atom(5)->radius(), 0.63f);
  EXPECT_EQ(m->atom(6)->radius(), 0.5f);
  EXPECT_EQ(m->atom(7)->radius(), 0.5f);
  m->setCovalentAtomRadii(0.5f);
  EXPECT_EQ(m->atom(0)->radius(), 0.375f);
  EXPECT_EQ(m->atom(1)->radius(), 0.16f);
  m->setVanDerWaalsAtomRadii(1.0f);
  EXPECT_EQ(m->atom(0)->radius(), 1.70f);
  EXPECT_EQ(m->atom(1)->radius(), 1.20f);
  EXPECT_EQ(m->atom(6)->radius(), 1.5f);
  m->setAtomRadii(0.3f);
  for (int i = 0; i < m->atoms(); ++i)
    EXPECT_EQ(m->atom(i)->radius(), 0.3f);
}

TEST(Molecule, CPKColours)
{
  auto m = methanePlusO();
  m->addAtom(atom(vl::AT_Unknown));
  m->setCPKAtomColors();
  EXPECT_EQ(m->atom(0)->color(), vl::atomInfo(vl::AT_Carbon).mCPKColor);
  EXPECT_EQ(m->atom(1)->color(), vl::fvec4(1, 1, 1, 1));
  EXPECT_EQ(m->atom(5)->color(), vl::fvec4(1.0f, 13.0f / 255.0f, 13.0f / 255.0f, 1.0f));
  EXPECT_EQ(m->atom(6)->color(), vl::fvec4(250.0f / 255.0f, 22.0f / 255.0f, 145.0f / 255.0f, 1.0f));
}

TEST(Molecule, AtomTypeVisibility)
{
  auto m = methanePlusO();
  m->setAtomTypeVisible(vl::AT_Hydrogen, false);
  EXPECT_TRUE(m->atom(0)->visible());
  for (int h = 1; h <= 4; ++h)
    EXPECT_FALSE(m->atom(h)->visible());
  EXPECT_TRUE(m->atom(5)->visible());
  m->setAtomTypeVisible(vl::AT_Hydrogen, true);
  for (int i = 0; i < m->atoms(); ++i)
    EXPECT_TRUE(m->atom(i)->visible());
  m->setAtomTypeVisible(vl::AT_Nitrogen, false); // none there: nothing changes
  for (int i = 0; i < m->atoms(); ++i)
    EXPECT_TRUE(m->atom(i)->visible());
}

TEST(Molecule, BondRadii)
{
  auto m = methanePlusO();
  CreateBonds(m);
  m->setBondRadii(0.15f);
  for (int b = 0; b < m->bonds(); ++b)
    EXPECT_EQ(m->bond(b)->radius(), 0.15f);
}
