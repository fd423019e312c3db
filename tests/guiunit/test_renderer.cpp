// Off-screen pictures of small scenes with fixed cameras, checked pixel by pixel.
#include <gtest/gtest.h>

#include <QMatrix4x4>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "test_renderer_gl.h"
#include "view/moleculerenderer.h"
#include "core/model/molecule.h"

namespace {

using vl::fvec3;
using vl::fvec4;

constexpr int kSize = 128;
const fvec4 kCarbon = vl::atomInfo(vl::AT_Carbon).cpkColor();
const fvec4 kHydrogen = vl::atomInfo(vl::AT_Hydrogen).cpkColor();
const fvec4 kOxygen = vl::atomInfo(vl::AT_Oxygen).cpkColor();
const fvec4 kNitrogen = vl::atomInfo(vl::AT_Nitrogen).cpkColor();
const float kTanHalf = std::tan(25.0f * float(M_PI) / 180.0f); // of the perspective camera

vl::Atom* addAtom(vl::Molecule& m, vl::EAtomType type, fvec3 p, float radius)
{
  auto a = vl::make_ref<vl::Atom>();
  a->setAtomType(type), a->setCoordinates(p), a->setRadius(radius), a->setColor(vl::atomInfo(type).cpkColor());
  m.addAtom(a);
  return a.get();
}

vl::Bond* addBond(vl::Molecule& m, vl::Atom* a1, vl::Atom* a2, float radius)
{
  auto b = vl::make_ref<vl::Bond>();
  b->setAtom1(a1), b->setAtom2(a2), b->setRadius(radius);
  m.addBond(b);
  return b.get();
}

struct Camera {
  QMatrix4x4 view, projection;
};

// Looking down -z from z = 10 at the square -2..2: 32 pixels per angstrom.
Camera orthoCamera()
{
  Camera c;
  c.view.translate(0, 0, -10);
  c.projection.ortho(-2, 2, -2, 2, 1, 100);
  return c;
}

// Eye at the origin looking down -z.
Camera perspectiveCamera()
{
  Camera c;
  c.projection.perspective(50.0f, 1.0f, 0.5f, 50.0f);
  return c;
}

// The pixel under world point (x, y) of the orthographic camera.
QRgb at(const QImage& img, float x, float y)
{
  int col = static_cast<int>(std::floor((x + 2.0f) / 4.0f * kSize));
  int row = kSize - 1 - static_cast<int>(std::floor((y + 2.0f) / 4.0f * kSize));
  return img.pixel(col, row);
}

// How many pixels satisfy `pred`, given the world point of the pixel centre
// under the orthographic camera and the pixel.
int countPixels(const QImage& img, const std::function<bool(float, float, QRgb)>& pred)
{
  int n = 0;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      n += pred((x + 0.5f) / kSize * 4 - 2, 2 - (y + 0.5f) / kSize * 4, img.pixel(x, y));
  return n;
}

bool isBackground(QRgb p) { return qRed(p) == 0 && qGreen(p) == 0 && qBlue(p) == 0; }

// Colour within a few steps of 8 bits, scaled by the light factor.
::testing::AssertionResult near(QRgb p, const fvec4& c, float factor = 1.0f, int tol = 6)
{
  int r = std::lround(c.r * factor * 255), g = std::lround(c.g * factor * 255), b = std::lround(c.b * factor * 255);
  if (std::abs(qRed(p) - r) <= tol && std::abs(qGreen(p) - g) <= tol && std::abs(qBlue(p) - b) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << qRed(p) << "," << qGreen(p) << "," << qBlue(p)
                                       << ") expected (" << r << "," << g << "," << b << ")";
}

class RendererTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    auto& env = orbisk_test::GLEnvironment::instance();
    if (!env.problem().empty())
      GTEST_SKIP() << "no OpenGL here: " << env.problem();
    ASSERT_TRUE(env.makeCurrent());
  }

  QImage draw(vl::MoleculeRenderer& r, const Camera& cam)
  {
    orbisk_test::OffscreenTarget target(kSize, kSize);
    EXPECT_TRUE(target.valid());
    target.begin();
    r.render(cam.view, cam.projection, kSize, kSize);
    QImage img = target.image();
    QOpenGLFramebufferObject::bindDefault();
    if (const char* dir = std::getenv("ORBISK_RENDER_DUMP"))
      img.save(QString("%1/%2.png").arg(dir, ::testing::UnitTest::GetInstance()->current_test_info()->name()));
    return img;
  }

  QImage draw(const vl::Molecule& m, const Camera& cam = orthoCamera())
  {
    vl::MoleculeRenderer r;
    r.prepare(m);
    QImage img = draw(r, cam);
    r.releaseGL();
    return img;
  }
};

// C at x = -1, H at x = +1, both on the x axis.
struct CH {
  vl::Molecule m;
  vl::Atom* c;
  vl::Atom* h;
  vl::Bond* b;
  explicit CH(vl::EMoleculeStyle style, float bondRadius = 0.0795349f)
  {
    m.setMoleculeStyle(style);
    c = addAtom(m, vl::AT_Carbon, {-1, 0, 0}, 0.26f);
    h = addAtom(m, vl::AT_Hydrogen, {1, 0, 0}, 0.15f);
    b = addBond(m, c, h, bondRadius);
  }
};

TEST_F(RendererTest, SpaceFillingSpheresAreLitDiscsOfTheAtomRadius)
{
  vl::Molecule m;
  m.setMoleculeStyle(vl::MS_AtomsOnly);
  addBond(m, addAtom(m, vl::AT_Oxygen, {-0.8f, 0, 0}, 0.6f), addAtom(m, vl::AT_Nitrogen, {1.2f, 0, 0}, 0.5f), 0.2f);
  QImage img = draw(m);
  // Facing the headlight the surface has the atom's own colour; towards the
  // rim only the ambient part is left.
  EXPECT_TRUE(near(at(img, -0.8f, 0), kOxygen));
  EXPECT_TRUE(near(at(img, 1.2f, 0), kNitrogen));
  QRgb rim = at(img, -0.8f + 0.58f, 0);
  EXPECT_GT(qRed(rim), 0.2 * 255 - 3);
  EXPECT_LT(qRed(rim), 0.5 * 255);
  // pi r^2 in pixels, and nothing dark inside.
  const int count = countPixels(img, [](float x, float y, QRgb p) { return std::hypot(x + 0.8f, y) < 0.7f && !isBackground(p); });
  const double expected = M_PI * (0.6 * 32) * (0.6 * 32);
  EXPECT_NEAR(count, expected, expected * 0.03);
  EXPECT_EQ(countPixels(img, [](float x, float y, QRgb p) { return std::hypot(x + 0.8f, y) < 0.57f && qRed(p) < 0.2 * 255 - 3; }), 0);
}

// What shows at a point: a colour, or one of these two.
const fvec4 kNothing(-1, -1, -1, -1), kSomething(-2, -2, -2, -2), kYellow(1, 1, 0, 1);

::testing::AssertionResult shows(const QImage& img, float x, float y, const fvec4& want)
{
  const QRgb p = at(img, x, y);
  if (want == kNothing || want == kSomething)
    return isBackground(p) == (want == kNothing) ? ::testing::AssertionSuccess()
                                                 : ::testing::AssertionFailure() << "background " << isBackground(p);
  return near(p, want);
}

TEST_F(RendererTest, EachStyleShowsItsShapesColoursAndHiddenParts)
{
  enum Change { None, YellowBond, HideHydrogens, HideBond };
  struct Probe {
    float x, y;
    fvec4 want;
  };
  // C at x = -1, H at x = +1 bonded, and a lone O at (0, -1.2).
  const struct {
    vl::EMoleculeStyle style;
    float bondRadius;
    Change change;
    std::vector<Probe> probes;
  } cases[] = {
      // Each bond half in its atom's colour with a sharp edge at the middle;
      // the cylinder has the bond's radius; nothing beyond the small H ball.
      {vl::MS_BallAndStick, 0.0795349f, None,
       {{-1, 0, kCarbon}, {-0.5f, 0, kCarbon}, {-0.04f, 0, kCarbon}, {0.04f, 0, kHydrogen}, {0.5f, 0, kHydrogen},
        {1, 0, kHydrogen}, {-0.5f, 0.06f, kSomething}, {-0.5f, 0.11f, kNothing}, {1.2f, 0, kNothing},
        {0, -1.2f, kOxygen}}},
      {vl::MS_BallAndStick, 0.0795349f, YellowBond, {{-0.5f, 0, kYellow}, {0.5f, 0, kYellow}}},
      // Sticks: no balls inside the atom radii; hemispherical caps cover a
      // point off the axis past the end; a lone atom is a ball of stick radius.
      {vl::MS_Sticks, 0.1f, None,
       {{-1, 0, kCarbon}, {1, 0, kHydrogen}, {-1, 0.2f, kNothing}, {1, 0.14f, kNothing}, {-1.05f, 0.05f, kSomething},
        {1.05f, -0.05f, kSomething}, {-1.14f, 0, kNothing}, {0, -1.2f, kOxygen}, {0, -1.2f + 0.15f, kNothing}}},
      // Wireframe: unlit halves, no balls, a cross on the lone atom.
      {vl::MS_Wireframe, 0.1f, None,
       {{-0.5f, 0.01f, kCarbon}, {0.5f, 0.01f, kHydrogen}, {-1, 0.2f, kNothing}, {0.1f, -1.2f + 0.01f, kOxygen}}},
      {vl::MS_Wireframe, 0.1f, YellowBond, {{-0.5f, 0.01f, kYellow}, {0.5f, 0.01f, kYellow}}},
      {vl::MS_AtomsOnly, 0.1f, None, {{0, 0, kNothing}, {-1, 0, kCarbon}, {1, 0, kHydrogen}}},
      // Hidden atoms take their bonds with them; a hidden bond goes alone.
      {vl::MS_BallAndStick, 0.1f, HideHydrogens, {{1, 0.01f, kNothing}, {0.5f, 0.01f, kNothing}, {-0.5f, 0.01f, kNothing}, {-1, 0, kCarbon}}},
      {vl::MS_Sticks, 0.1f, HideHydrogens, {{1, 0.01f, kNothing}, {0.5f, 0.01f, kNothing}, {-0.5f, 0.01f, kNothing}}},
      {vl::MS_Wireframe, 0.1f, HideHydrogens, {{1, 0.01f, kNothing}, {0.5f, 0.01f, kNothing}, {-0.5f, 0.01f, kNothing}}},
      {vl::MS_AtomsOnly, 0.1f, HideHydrogens, {{1, 0.01f, kNothing}, {-1, 0, kCarbon}}},
      {vl::MS_BallAndStick, 0.1f, HideBond, {{0, 0, kNothing}, {1, 0, kHydrogen}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "style " << c.style << ", change " << c.change);
    CH ch(c.style, c.bondRadius);
    addAtom(ch.m, vl::AT_Oxygen, {0, -1.2f, 0}, 0.3f);
    ch.m.setLineWidth(2.0f);
    ch.m.setSmoothLines(true);
    if (c.change == YellowBond) {
      ch.b->setUseAtomColors(false);
      ch.b->setColor(kYellow);
    }
    if (c.change == HideHydrogens)
      ch.m.setAtomTypeVisible(vl::AT_Hydrogen, false);
    if (c.change == HideBond)
      ch.b->setVisible(false);
    const QImage img = draw(ch.m);
    for (const Probe& p : c.probes)
      EXPECT_TRUE(shows(img, p.x, p.y, p.want)) << "at (" << p.x << ", " << p.y << ")";
  }
}

TEST_F(RendererTest, WireframeLinesAreTwoPixelsAndCrossesMarkOnlyLoneAtoms)
{
  CH ch(vl::MS_Wireframe);
  ch.m.setLineWidth(2.0f);
  ch.m.setSmoothLines(true);
  vl::Atom* lone = addAtom(ch.m, vl::AT_Oxygen, {0, -1.2f, 0}, 0.3f);
  QImage img = draw(ch.m);
  // The line on y = 0 lies on a pixel boundary: exactly two rows thick.
  for (float x : {-0.7f, -0.3f, 0.3f, 0.7f}) {
    int col = static_cast<int>((x + 2.0f) / 4.0f * kSize), rows = 0;
    for (int y = 0; y < kSize / 2 + 10; ++y)
      rows += !isBackground(img.pixel(col, y));
    EXPECT_EQ(rows, 2) << "at x = " << x;
  }
  // Nothing coloured away from the bond and the lone atom's cross.
  EXPECT_EQ(countPixels(img,
                        [](float x, float y, QRgb p) {
                          const bool onBond = std::fabs(y) < 2.5f / 32 && x > -1.1f && x < 1.1f;
                          const bool onCross = std::fabs(x) < 0.3f && std::fabs(y + 1.2f) < 0.3f;
                          return !isBackground(p) && !onBond && !onCross;
                        }),
            0);
  // Bounds: the line ends (no radii) and the cross.
  vl::MoleculeRenderer r;
  fvec3 lo, hi;
  r.prepare(ch.m);
  ASSERT_TRUE(r.bounds(lo, hi));
  for (int i = 0; i < 3; ++i) {
    EXPECT_FLOAT_EQ(lo[i], fvec3(-1, -1.4f, -0.2f)[i]);
    EXPECT_FLOAT_EQ(hi[i], fvec3(1, 0, 0.2f)[i]);
  }
  // Once it has a bond, the cross goes; nothing visible, no bounds.
  addBond(ch.m, ch.c, lone, 0.1f);
  EXPECT_TRUE(isBackground(at(draw(ch.m), 0.1f, -1.2f + 0.01f)));
  for (auto* a : {ch.c, ch.h, lone})
    a->setVisible(false);
  r.prepare(ch.m);
  EXPECT_FALSE(r.bounds(lo, hi));
}

TEST_F(RendererTest, NearerSurfacesHideFartherOnes)
{
  // Whatever the drawing order, the atom nearer the eye (larger z) wins.
  for (bool nearFirst : {true, false}) {
    vl::Molecule m;
    m.setMoleculeStyle(vl::MS_AtomsOnly);
    if (nearFirst)
      addAtom(m, vl::AT_Nitrogen, {0.5f, 0, 1}, 0.8f);
    addAtom(m, vl::AT_Oxygen, {-0.5f, 0, -1}, 0.8f);
    if (!nearFirst)
      addAtom(m, vl::AT_Nitrogen, {0.5f, 0, 1}, 0.8f);
    QImage img = draw(m);
    EXPECT_GT(qBlue(at(img, 0, 0)), qRed(at(img, 0, 0))) << "nitrogen in front, first " << nearFirst;
    EXPECT_GT(qRed(at(img, -1.1f, 0)), qBlue(at(img, -1.1f, 0)));
  }

  // A bond passing behind a ball is hidden by it, and shows in front of one.
  vl::Molecule m;
  m.setMoleculeStyle(vl::MS_BallAndStick);
  addBond(m, addAtom(m, vl::AT_Hydrogen, {-1.5f, 0, -1}, 0.1f), addAtom(m, vl::AT_Hydrogen, {1.5f, 0, -1}, 0.1f), 0.1f);
  addAtom(m, vl::AT_Oxygen, {-0.6f, 0, 0}, 0.4f);
  addAtom(m, vl::AT_Nitrogen, {0.6f, 0, -2}, 0.4f);
  QImage img = draw(m);
  EXPECT_TRUE(near(at(img, -0.6f, 0), kOxygen));
  EXPECT_TRUE(near(at(img, 0.6f, 0), kHydrogen));

  // In perspective too.
  vl::Molecule p;
  p.setMoleculeStyle(vl::MS_AtomsOnly);
  addAtom(p, vl::AT_Oxygen, {0, 0, -8}, 1.0f);
  addAtom(p, vl::AT_Nitrogen, {0.3f, 0, -5}, 0.5f);
  img = draw(p, perspectiveCamera());
  const QRgb centre = img.pixel(kSize / 2 + 3, kSize / 2), side = img.pixel(kSize / 2 - 12, kSize / 2);
  EXPECT_GT(qBlue(centre), qRed(centre));
  EXPECT_GT(qRed(side), qBlue(side));
}

// Reference silhouettes: does the ray from the eye along d meet the shape?
bool sphereHit(fvec3 d, fvec3 c, float r)
{
  d = d * (1.0f / d.length());
  float b = d.x * c.x + d.y * c.y + d.z * c.z;
  return b > 0 && (c - d * b).length() <= r;
}

bool capsuleHit(fvec3 d, fvec3 p0, fvec3 p1, float r)
{
  // Distance from the ray to the segment is convex in the segment parameter.
  d = d * (1.0f / d.length());
  auto dist = [&](float s) {
    fvec3 p = p0 + (p1 - p0) * s;
    return (p - d * std::max(0.0f, p.x * d.x + p.y * d.y + p.z * d.z)).length();
  };
  float lo = 0, hi = 1;
  for (int i = 0; i < 60; ++i) {
    float m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
    (dist(m1) < dist(m2) ? hi : lo) = (dist(m1) < dist(m2) ? m2 : m1);
  }
  return dist(0.5f * (lo + hi)) <= r;
}

// A cylinder with flat ends: some point along the ray lies inside it.
bool flatCylinderHit(fvec3 d, fvec3 p0, fvec3 p1, float r)
{
  d = d * (1.0f / d.length());
  const float len = (p1 - p0).length();
  const fvec3 u = (p1 - p0) * (1.0f / len);
  for (float t = 0.5f; t < 20.0f; t += 0.001f) {
    fvec3 q = d * t - p0;
    float s = q.x * u.x + q.y * u.y + q.z * u.z;
    if (s >= 0 && s <= len && (q - u * s).length() <= r)
      return true;
  }
  return false;
}

TEST_F(RendererTest, PerspectiveImpostorsMatchRayCastSilhouettes)
{
  // Off-axis and oblique shapes: the sphere quad, the capsule box and the
  // open cylinder (ball-and-stick, balls too small to see, near end facing
  // the eye) must cover the whole silhouette, and nothing outside it.
  const fvec3 sc(1.2f, 0.8f, -6), p0(-1.5f, -1, -4), p1(0.5f, -0.3f, -9), f0(0.8f, -0.2f, -4), f1(-0.4f, 0.6f, -7);
  vl::Molecule sphere, capsule, open;
  sphere.setMoleculeStyle(vl::MS_AtomsOnly);
  addAtom(sphere, vl::AT_Oxygen, sc, 1.0f);
  capsule.setMoleculeStyle(vl::MS_Sticks);
  addBond(capsule, addAtom(capsule, vl::AT_Carbon, p0, 0.2f), addAtom(capsule, vl::AT_Carbon, p1, 0.2f), 0.3f);
  open.setMoleculeStyle(vl::MS_BallAndStick);
  addBond(open, addAtom(open, vl::AT_Carbon, f0, 1e-4f), addAtom(open, vl::AT_Carbon, f1, 1e-4f), 0.5f);
  const struct {
    const char* what;
    const vl::Molecule& m;
    std::function<bool(fvec3)> hit;
  } shapes[] = {{"sphere", sphere, [&](fvec3 d) { return sphereHit(d, sc, 1.0f); }},
                {"capsule", capsule, [&](fvec3 d) { return capsuleHit(d, p0, p1, 0.3f); }},
                {"open cylinder", open, [&](fvec3 d) { return flatCylinderHit(d, f0, f1, 0.5f); }}};
  for (const auto& shape : shapes) {
    SCOPED_TRACE(shape.what);
    QImage img = draw(shape.m, perspectiveCamera());
    std::vector<char> ref(kSize * kSize);
    int inside = 0;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        const float nx = (x + 0.5f) / kSize * 2 - 1, ny = 1 - (y + 0.5f) / kSize * 2;
        inside += ref[y * kSize + x] = shape.hit(fvec3(nx * kTanHalf, ny * kTanHalf, -1));
      }
    ASSERT_GT(inside, 200);
    // A disagreement is allowed only right on the reference silhouette.
    int wrong = 0;
    for (int y = 1; y < kSize - 1; ++y)
      for (int x = 1; x < kSize - 1; ++x) {
        const char r = ref[y * kSize + x];
        if (!isBackground(img.pixel(x, y)) != bool(r) && ref[y * kSize + x - 1] == r && ref[y * kSize + x + 1] == r &&
            ref[(y - 1) * kSize + x] == r && ref[(y + 1) * kSize + x] == r)
          ++wrong;
      }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(RendererTest, BondThroughTheNearPlaneShowsItsFarPart)
{
  // The eye sits inside the bond's end region: only what lies beyond the
  // near plane (0.5) can be drawn, and nothing else on the screen.
  for (auto style : {vl::MS_Sticks, vl::MS_BallAndStick}) {
    SCOPED_TRACE(style);
    vl::Molecule m;
    m.setMoleculeStyle(style);
    addBond(m, addAtom(m, vl::AT_Carbon, {0.3f, 0, -0.1f}, 1e-4f), addAtom(m, vl::AT_Carbon, {0.3f, 0, -6}, 1e-4f), 0.1f);
    QImage img = draw(m, perspectiveCamera());
    auto column = [&](float x, float z) { return static_cast<int>((x / -z / kTanHalf + 1) * 0.5f * kSize); };
    EXPECT_FALSE(isBackground(img.pixel(column(0.3f, -5.5f), kSize / 2)));
    EXPECT_FALSE(isBackground(img.pixel(column(0.3f, -1.0f), kSize / 2)));
    EXPECT_TRUE(isBackground(img.pixel(5, 5)));
    EXPECT_TRUE(isBackground(img.pixel(kSize / 2, kSize - 5)));
  }
}

TEST_F(RendererTest, BadAndEmptyInputDrawsWhatIsValid)
{
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (auto style : {vl::MS_BallAndStick, vl::MS_Sticks, vl::MS_Wireframe, vl::MS_AtomsOnly}) {
    SCOPED_TRACE(style);
    vl::Molecule empty;
    empty.setMoleculeStyle(style);
    vl::MoleculeRenderer r;
    r.prepare(empty);
    fvec3 lo, hi;
    EXPECT_FALSE(r.bounds(lo, hi));
    draw(r, orthoCamera());

    vl::Molecule m;
    m.setMoleculeStyle(style);
    m.setLineWidth(nan);
    vl::Atom* good = addAtom(m, vl::AT_Carbon, {0, 0, 0}, 0.3f);
    vl::Atom* bad1 = addAtom(m, vl::AT_Carbon, {nan, 0, 0}, 0.3f);
    vl::Atom* bad2 = addAtom(m, vl::AT_Carbon, {0, inf, 0}, 0.3f);
    vl::Atom* same = addAtom(m, vl::AT_Carbon, {0, 0, 0}, 0.3f);
    addAtom(m, vl::AT_Carbon, {1, 0, 0}, nan);
    addAtom(m, vl::AT_Carbon, {1, 1, 0}, -1.0f);
    addBond(m, good, bad1, 0.1f);
    addBond(m, bad2, good, 0.1f);
    addBond(m, good, same, 0.1f); // zero length
    addBond(m, good, nullptr, 0.1f);
    addBond(m, nullptr, nullptr, 0.1f);
    r.prepare(m);
    ASSERT_TRUE(r.bounds(lo, hi));
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(std::isfinite(lo[i]) && std::isfinite(hi[i]));
      EXPECT_LE(hi[i], 1.5f);
      EXPECT_GE(lo[i], -0.5f);
    }
    draw(r, orthoCamera());
    r.releaseGL();
  }
}

TEST_F(RendererTest, PrepareReplacesAndSurvivesContextRelease)
{
  CH first(vl::MS_BallAndStick);
  vl::Molecule second;
  second.setMoleculeStyle(vl::MS_AtomsOnly);
  addAtom(second, vl::AT_Nitrogen, {0, 1, 0}, 0.4f);

  vl::MoleculeRenderer r;
  r.prepare(first.m);
  EXPECT_TRUE(near(at(draw(r, orthoCamera()), -1, 0), kCarbon));
  r.prepare(second);
  QImage img = draw(r, orthoCamera());
  EXPECT_TRUE(isBackground(at(img, -1, 0)));
  EXPECT_TRUE(near(at(img, 0, 1), kNitrogen));
  r.releaseGL();
  EXPECT_TRUE(near(at(draw(r, orthoCamera()), 0, 1), kNitrogen)) << "drawn again after the GL objects were freed";
  r.clear();
  EXPECT_TRUE(isBackground(at(draw(r, orthoCamera()), 0, 1)));
  r.releaseGL();
}

} // namespace
