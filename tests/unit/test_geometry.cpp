#include <gtest/gtest.h>

#include <cmath>

#include "chemistry/geometry.h"

namespace {

const double kPi = 3.141592653589793;

vl::Atom at(float x, float y, float z)
{
  vl::Atom a;
  a.setCoordinates(vl::fvec3(x, y, z));
  return a;
}

} // namespace

TEST(GeomRij, Distances)
{
  vl::Atom a = at(0, 0, 0), b = at(1, 1, 1), c = at(3, 4, 0);
  EXPECT_DOUBLE_EQ(GeomRij(&a, &b), std::sqrt(3.0));
  EXPECT_EQ(GeomRij(&a, &c), 5.0);
  EXPECT_EQ(GeomRij(&c, &a), 5.0);
  EXPECT_EQ(GeomRij(&b, &b), 0.0);
}

TEST(GeomRij, DifferencesAreFormedInFloat)
{
  // 1e8 + 1 is not a float: both coordinates are stored as 1e8, and their float
  // difference is 0. In double from the decimal values it would be 1.
  vl::Atom a = at(1e8f, 0, 0), b = at(100000001.0f, 0, 0);
  EXPECT_EQ(GeomRij(&a, &b), 0.0);
  // A float difference that is exact in float but rounded differently in double.
  vl::Atom p = at(0.1f, 0, 0), q = at(0.3f, 0, 0);
  const float fd = 0.3f - 0.1f;
  EXPECT_EQ(GeomRij(&p, &q), static_cast<double>(fd));
}

TEST(GeomAngle, RightStraightAndClamped)
{
  vl::Atom x = at(1, 0, 0), o = at(0, 0, 0), y = at(0, 1, 0), mx = at(-1, 0, 0);
  EXPECT_NEAR(GeomAngle(&x, &o, &y), kPi / 2, 1e-12);
  EXPECT_DOUBLE_EQ(GeomAngle(&x, &o, &mx), kPi);
  vl::Atom a = at(1.1f, 0, 0), c = at(-2.3f, 0, 0);
  const double r1 = GeomRij(&a, &o), r2 = GeomRij(&o, &c), r3 = GeomRij(&a, &c);
  const double raw = ((r1 * r1 + r2 * r2) - r3 * r3) / ((r1 + r1) * r2);
  EXPECT_LT(raw, -1.0); // the case the clamp exists for
  EXPECT_EQ(GeomAngle(&a, &o, &c), kPi);
  EXPECT_FALSE(std::isnan(GeomAngle(&a, &o, &c)));
}

TEST(GeomAngle, Tetrahedral)
{
  vl::Atom c = at(0, 0, 0), h1 = at(1, 1, 1), h2 = at(-1, -1, 1);
  EXPECT_NEAR(GeomAngle(&h1, &c, &h2) * 57.29577951308232, 109.47122063449069, 1e-9);
}

TEST(GeomAngle, CoincidentAtoms)
{
  vl::Atom a = at(1, 2, 3), b = at(1, 2, 3), c = at(4, 5, 6);
  EXPECT_TRUE(std::isnan(GeomAngle(&a, &b, &c))); // at1 on at2
  EXPECT_TRUE(std::isnan(GeomAngle(&c, &a, &b))); // at2 on at3
  EXPECT_EQ(GeomAngle(&a, &c, &b), 0.0);          // at1 on at3
}

TEST(GeomCentroid, MeansThroughAllThreeOutParameters)
{
  vl::Atom a = at(1, 2, 3), b = at(4, 5, 6), c = at(-2, 0.5f, 9);
  double x = -7, y = -7, z = -7;
  GeomCentroid(&a, &b, &c, &x, &y, &z);
  EXPECT_DOUBLE_EQ(x, 1.0);
  EXPECT_DOUBLE_EQ(y, 2.5);
  EXPECT_DOUBLE_EQ(z, 6.0);
}

TEST(GeomCentroid, SumInFloatInTheStatedOrder)
{
  // (at2 + at1) + at3 in float: 1e8 + 1 rounds to 1e8, then - 1e8 gives 0;
  // summed in double the result would be 1.
  vl::Atom a = at(1, 0, 0), b = at(1e8f, 0, 0), c = at(-1e8f, 0, 0);
  double x, y, z;
  GeomCentroid(&a, &b, &c, &x, &y, &z);
  EXPECT_EQ(x, 0.0);
  const float s = (0.1f + 0.2f) + 0.3f;
  vl::Atom p = at(0.2f, 0, 0), q = at(0.1f, 0, 0), r = at(0.3f, 0, 0);
  GeomCentroid(&p, &q, &r, &x, &y, &z);
  EXPECT_EQ(x, static_cast<double>(s) / 3.0);
}

TEST(GeomTorsion, SignsAndPlanarCases)
{
  vl::Atom a1 = at(1, 0, 0), a2 = at(0, 0, 0), a3 = at(0, 1, 0), up = at(0, 1, 1), down = at(0, 1, -1);
  EXPECT_DOUBLE_EQ(GeomTorsion(&a1, &a2, &a3, &up), -kPi / 2);
  EXPECT_DOUBLE_EQ(GeomTorsion(&a1, &a2, &a3, &down), kPi / 2);
  EXPECT_DOUBLE_EQ(GeomTorsion(&up, &a3, &a2, &a1), -kPi / 2); // reversed order, same angle
  vl::Atom trans = at(-1, 1, 0), cis = at(1, 1, 0);
  EXPECT_DOUBLE_EQ(GeomTorsion(&a1, &a2, &a3, &trans), kPi);
  EXPECT_EQ(GeomTorsion(&a1, &a2, &a3, &cis), 0.0);
  EXPECT_GT(GeomTorsion(&a1, &a2, &a3, &trans), 0.0); // dot product exactly 0 keeps the sign
}

TEST(GeomTorsion, DegenerateGivesZero)
{
  vl::Atom a = at(0, 0, 0), b = at(1, 0, 0), c = at(2, 0, 0), d = at(2, 1, 0);
  EXPECT_EQ(GeomTorsion(&a, &b, &c, &d), 0.0); // at1, at2, at3 collinear
  EXPECT_EQ(GeomTorsion(&d, &a, &b, &c), 0.0); // at2, at3, at4 collinear
  EXPECT_EQ(GeomTorsion(&a, &a, &b, &d), 0.0); // at1 on at2
  EXPECT_EQ(GeomTorsion(&d, &a, &a, &b), 0.0); // at2 on at3
}

TEST(GeomTorsion, GeneralValue)
{
  // 60 degrees: at4 rotated by 60 degrees about the y axis from the cis position.
  vl::Atom a1 = at(1, 0, 0), a2 = at(0, 0, 0), a3 = at(0, 1, 0);
  vl::Atom a4 = at(0.5f, 1, -0.8660254f);
  EXPECT_NEAR(GeomTorsion(&a1, &a2, &a3, &a4), kPi / 3, 1e-6);
  vl::Atom a5 = at(0.5f, 1, 0.8660254f);
  EXPECT_NEAR(GeomTorsion(&a1, &a2, &a3, &a5), -kPi / 3, 1e-6);
}

TEST(GeomOutOfPlane, SignsAndDegenerate)
{
  vl::Atom above = at(0, 0, 1), below = at(0, 0, -1), a2 = at(1, 0, 0), a3 = at(0, 0, 0), a4 = at(0, 1, 0);
  EXPECT_DOUBLE_EQ(GeomOutOfPlane(&above, &a2, &a3, &a4), kPi / 2);
  EXPECT_DOUBLE_EQ(GeomOutOfPlane(&below, &a2, &a3, &a4), -kPi / 2);
  EXPECT_DOUBLE_EQ(GeomOutOfPlane(&above, &a4, &a3, &a2), -kPi / 2); // swapped plane atoms flip t
  vl::Atom inPlane = at(1, 1, 0);
  EXPECT_NEAR(GeomOutOfPlane(&inPlane, &a2, &a3, &a4), 0.0, 1e-15);
  vl::Atom tilted = at(1, 0, 1);
  EXPECT_NEAR(GeomOutOfPlane(&tilted, &a2, &a3, &a4), kPi / 4, 1e-12);

  EXPECT_EQ(GeomOutOfPlane(&a3, &a2, &a3, &a4), 0.0); // at1 on at3
  vl::Atom b2 = at(1, 0, 0), b4 = at(2, 0, 0);
  EXPECT_EQ(GeomOutOfPlane(&above, &b2, &a3, &b4), 0.0); // at2, at3, at4 collinear
}
