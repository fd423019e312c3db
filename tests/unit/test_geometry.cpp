#include <gtest/gtest.h>

#include <cmath>

#include "core/chemistry/geometry.h"

namespace {

const double kPi = 3.141592653589793;

vl::Atom at(float x, float y, float z)
{
  vl::Atom a;
  a.setCoordinates(vl::fvec3(x, y, z));
  return a;
}

} // namespace

TEST(GeomRij, DistancesFromFloatDifferences)
{
  vl::Atom a = at(0, 0, 0), b = at(1, 1, 1), c = at(3, 4, 0);
  EXPECT_DOUBLE_EQ(GeomRij(&a, &b), std::sqrt(3.0));
  EXPECT_EQ(GeomRij(&c, &a), 5.0);
  // 1e8 + 1 is no float: both are stored as 1e8 and differ by 0, not 1.
  vl::Atom p = at(1e8f, 0, 0), q = at(100000001.0f, 0, 0);
  EXPECT_EQ(GeomRij(&p, &q), 0.0);
  // 0.3f - 0.1f in float, widened; in double it rounds differently.
  vl::Atom r = at(0.1f, 0, 0), s = at(0.3f, 0, 0);
  EXPECT_EQ(GeomRij(&r, &s), static_cast<double>(0.3f - 0.1f));
}

TEST(GeomAngle, RightTetrahedralClampedAndCoincident)
{
  vl::Atom x = at(1, 0, 0), o = at(0, 0, 0), y = at(0, 1, 0), h1 = at(1, 1, 1), h2 = at(-1, -1, 1);
  EXPECT_NEAR(GeomAngle(&x, &o, &y), kPi / 2, 1e-12);
  EXPECT_NEAR(GeomAngle(&h1, &o, &h2) * 57.29577951308232, 109.47122063449069, 1e-9);
  // Collinear: the rounded cosine falls below -1 and is clamped, not NaN.
  vl::Atom a = at(1.1f, 0, 0), c = at(-2.3f, 0, 0);
  EXPECT_EQ(GeomAngle(&a, &o, &c), kPi);
  // at2 on at1 or at3 gives NaN; at1 on at3 gives 0.
  vl::Atom p = at(1, 2, 3), q = at(1, 2, 3), r = at(4, 5, 6);
  EXPECT_TRUE(std::isnan(GeomAngle(&p, &q, &r)));
  EXPECT_TRUE(std::isnan(GeomAngle(&r, &p, &q)));
  EXPECT_EQ(GeomAngle(&p, &r, &q), 0.0);
}

TEST(GeomCentroid, SumInFloatInTheStatedOrder)
{
  vl::Atom a = at(1, 2, 3), b = at(4, 5, 6), c = at(-2, 0.5f, 9);
  double x = -7, y = -7, z = -7;
  GeomCentroid(&a, &b, &c, &x, &y, &z);
  EXPECT_DOUBLE_EQ(x, 1.0);
  EXPECT_DOUBLE_EQ(y, 2.5);
  EXPECT_DOUBLE_EQ(z, 6.0);
  // (at2 + at1) + at3 in float: 1e8 + 1 rounds to 1e8, then - 1e8 gives 0.
  vl::Atom d = at(1, 0, 0), e = at(1e8f, 0, 0), f = at(-1e8f, 0, 0);
  GeomCentroid(&d, &e, &f, &x, &y, &z);
  EXPECT_EQ(x, 0.0);
  vl::Atom p = at(0.2f, 0, 0), q = at(0.1f, 0, 0), r = at(0.3f, 0, 0);
  GeomCentroid(&p, &q, &r, &x, &y, &z);
  EXPECT_EQ(x, static_cast<double>((0.1f + 0.2f) + 0.3f) / 3.0);
}

TEST(GeomTorsion, SignsPlanarAndDegenerateCases)
{
  vl::Atom a1 = at(1, 0, 0), a2 = at(0, 0, 0), a3 = at(0, 1, 0), up = at(0, 1, 1), down = at(0, 1, -1);
  EXPECT_DOUBLE_EQ(GeomTorsion(&a1, &a2, &a3, &up), -kPi / 2);
  EXPECT_DOUBLE_EQ(GeomTorsion(&a1, &a2, &a3, &down), kPi / 2);
  EXPECT_DOUBLE_EQ(GeomTorsion(&up, &a3, &a2, &a1), -kPi / 2); // reversed order, same angle
  vl::Atom sixty = at(0.5f, 1, -0.8660254f), trans = at(-1, 1, 0), cis = at(1, 1, 0);
  EXPECT_NEAR(GeomTorsion(&a1, &a2, &a3, &sixty), kPi / 3, 1e-6);
  EXPECT_DOUBLE_EQ(GeomTorsion(&a1, &a2, &a3, &trans), kPi); // sign test exactly 0: stays positive
  EXPECT_EQ(GeomTorsion(&a1, &a2, &a3, &cis), 0.0);

  vl::Atom a = at(0, 0, 0), b = at(1, 0, 0), c = at(2, 0, 0), d = at(2, 1, 0);
  EXPECT_EQ(GeomTorsion(&a, &b, &c, &d), 0.0); // at1, at2, at3 collinear
  EXPECT_EQ(GeomTorsion(&d, &a, &b, &c), 0.0); // at2, at3, at4 collinear
  EXPECT_EQ(GeomTorsion(&a, &a, &b, &d), 0.0); // at1 on at2
  EXPECT_EQ(GeomTorsion(&d, &a, &a, &b), 0.0); // at2 on at3
}

TEST(GeomOutOfPlane, SignsAndDegenerate)
{
  vl::Atom above = at(0, 0, 1), below = at(0, 0, -1), a2 = at(1, 0, 0), a3 = at(0, 0, 0), a4 = at(0, 1, 0);
  EXPECT_DOUBLE_EQ(GeomOutOfPlane(&above, &a2, &a3, &a4), kPi / 2);
  EXPECT_DOUBLE_EQ(GeomOutOfPlane(&below, &a2, &a3, &a4), -kPi / 2);
  EXPECT_DOUBLE_EQ(GeomOutOfPlane(&above, &a4, &a3, &a2), -kPi / 2); // swapped plane atoms flip the sign
  vl::Atom inPlane = at(1, 1, 0), tilted = at(1, 0, 1);
  EXPECT_NEAR(GeomOutOfPlane(&inPlane, &a2, &a3, &a4), 0.0, 1e-15);
  EXPECT_NEAR(GeomOutOfPlane(&tilted, &a2, &a3, &a4), kPi / 4, 1e-12);
  EXPECT_EQ(GeomOutOfPlane(&a3, &a2, &a3, &a4), 0.0); // at1 on at3
  vl::Atom b4 = at(2, 0, 0);
  EXPECT_EQ(GeomOutOfPlane(&above, &a2, &a3, &b4), 0.0); // at2, at3, at4 collinear
}
