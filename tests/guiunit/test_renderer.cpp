// Off-screen pictures of small scenes with fixed cameras, checked pixel by pixel.
#include <gtest/gtest.h>

#include <QMatrix4x4>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <tuple>
#include <vector>

#include "core/model/molecule.h"
#include "test_renderer_gl.h"
#include "view/moleculerenderer.h"

namespace {

using vl::fvec3;
using vl::fvec4;

constexpr int kSize = 128;
const fvec4 kCarbon = vl::atomInfo(vl::AT_Carbon).cpkColor(), kHydrogen = vl::atomInfo(vl::AT_Hydrogen).cpkColor(),
            kOxygen = vl::atomInfo(vl::AT_Oxygen).cpkColor(), kNitrogen = vl::atomInfo(vl::AT_Nitrogen).cpkColor();
// What shows at a point: a colour, or one of the first two.
const fvec4 kNothing(-1, -1, -1, -1), kSomething(-2, -2, -2, -2), kYellow(1, 1, 0, 1);
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

// The orthographic camera shows the square -2..2, 32 pixels per angstrom: the pixel under world point (x, y).
QRgb at(const QImage& img, float x, float y)
{
  return img.pixel(int(std::floor((x + 2.0f) * kSize / 4)), kSize - 1 - int(std::floor((y + 2.0f) * kSize / 4)));
}

// How many pixels satisfy `pred`, given the orthographic world point of the pixel centre and the pixel.
int countPixels(const QImage& img, const std::function<bool(float, float, QRgb)>& pred)
{
  int n = 0;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      n += pred((x + 0.5f) / kSize * 4 - 2, 2 - (y + 0.5f) / kSize * 4, img.pixel(x, y));
  return n;
}

bool isBackground(QRgb p)
{
  return (p & 0xffffff) == 0;
}

// The pixel shows the colour within a few 8-bit steps, or (not) the background.
::testing::AssertionResult shows(QRgb p, const fvec4& c)
{
  const int r = std::lround(c.r * 255), g = std::lround(c.g * 255), b = std::lround(c.b * 255);
  if ((c == kNothing || c == kSomething)
          ? isBackground(p) == (c == kNothing)
          : std::abs(qRed(p) - r) <= 6 && std::abs(qGreen(p) - g) <= 6 && std::abs(qBlue(p) - b) <= 6)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << qRed(p) << "," << qGreen(p) << "," << qBlue(p) << ") expected ("
                                       << r << "," << g << "," << b << ")";
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

  // Orthographic: looking down -z from z = 10; perspective: eye at the origin looking down -z.
  static QImage draw(vl::MoleculeRenderer& r, bool perspective = false)
  {
    QMatrix4x4 view, projection;
    if (perspective)
      projection.perspective(50.0f, 1.0f, 0.5f, 50.0f);
    else
      view.translate(0, 0, -10), projection.ortho(-2, 2, -2, 2, 1, 100);
    orbisk_test::OffscreenTarget target(kSize, kSize);
    EXPECT_TRUE(target.valid());
    target.begin();
    r.render(view, projection, kSize, kSize);
    QOpenGLFramebufferObject::bindDefault();
    return target.image();
  }

  static QImage draw(const vl::Molecule& m, bool perspective = false)
  {
    vl::MoleculeRenderer r;
    r.prepare(m);
    const QImage img = draw(r, perspective);
    r.releaseGL();
    return img;
  }
};

// C at x = -1, H at x = +1, bonded; a lone O at (0, -1.2); 2-pixel smooth lines.
struct CHO {
  vl::Molecule m;
  vl::Atom* c = addAtom(m, vl::AT_Carbon, {-1, 0, 0}, 0.26f);
  vl::Atom* h = addAtom(m, vl::AT_Hydrogen, {1, 0, 0}, 0.15f);
  vl::Atom* o = addAtom(m, vl::AT_Oxygen, {0, -1.2f, 0}, 0.3f);
  vl::Bond* b;
  explicit CHO(vl::EMoleculeStyle style, float bondRadius = 0.0795349f) : b(addBond(m, c, h, bondRadius))
  {
    m.setMoleculeStyle(style), m.setLineWidth(2.0f), m.setSmoothLines(true);
  }
};

TEST_F(RendererTest, SpheresAreLitDiscsOfTheAtomRadius)
{
  vl::Molecule m;
  m.setMoleculeStyle(vl::MS_AtomsOnly);
  addAtom(m, vl::AT_Oxygen, {-0.8f, 0, 0}, 0.6f);
  const QImage img = draw(m);
  // Facing the headlight the surface has the atom's own colour; towards the
  // rim only the ambient part is left; pi r^2 in pixels, and nothing dark inside.
  EXPECT_TRUE(shows(at(img, -0.8f, 0), kOxygen));
  const QRgb rim = at(img, -0.8f + 0.58f, 0);
  EXPECT_TRUE(qRed(rim) > 0.2 * 255 - 3 && qRed(rim) < 0.5 * 255) << qRed(rim);
  const double area = M_PI * (0.6 * 32) * (0.6 * 32);
  EXPECT_NEAR(countPixels(img, [](float, float, QRgb p) { return !isBackground(p); }), area, area * 0.03);
  const auto dark = [](float x, float y, QRgb p) { return std::hypot(x + 0.8f, y) < 0.57f && qRed(p) < 48; };
  EXPECT_EQ(countPixels(img, dark), 0); // below the ambient 0.2
}

TEST_F(RendererTest, HighlightsSitUpLeftAndTheBackFadesTowardsTheBackground)
{
  // Two oxygens, the left one in front; depth cueing towards white.
  vl::Molecule m;
  m.setMoleculeStyle(vl::MS_AtomsOnly);
  addAtom(m, vl::AT_Oxygen, {-1, 0, 1}, 0.6f);
  addAtom(m, vl::AT_Oxygen, {1, 0, -1}, 0.6f);
  vl::MoleculeRenderer r;
  r.prepare(m);
  r.setDepthCue(vl::white, 0.5f);
  const QImage img = draw(r);
  r.releaseGL();
  EXPECT_TRUE(shows(at(img, -1, 0), kOxygen)); // in front of the middle: its own colour
  const QRgb far = at(img, 1, 0), shine = at(img, -1 - 0.18f, 0.23f);
  EXPECT_GT(qGreen(far), qGreen(at(img, -1, 0)) + 15) << "faded towards white";
  EXPECT_LT(qGreen(far), 128) << "gently";
  EXPECT_GT(qGreen(shine), qGreen(at(img, -1 + 0.18f, -0.23f)) + 60) << "a highlight up and to the left";
}

TEST_F(RendererTest, EachStyleShowsItsShapesColoursAndHiddenParts)
{
  enum Change { None, YellowBond, HideHydrogens, HideBond };
  struct Probe {
    float x, y;
    fvec4 want;
  };
  struct Case {
    vl::EMoleculeStyle style;
    float bondRadius;
    Change change;
    std::vector<Probe> probes;
  };
  std::vector<Case> cases{
      // Each bond half in its atom's colour with a sharp edge at the middle;
      // the cylinder has the bond's radius; nothing beyond the small H ball.
      {vl::MS_BallAndStick,
       0.0795349f,
       None,
       {{-1, 0, kCarbon},
        {-0.5f, 0, kCarbon},
        {-0.04f, 0, kCarbon},
        {0.04f, 0, kHydrogen},
        {0.5f, 0, kHydrogen},
        {1, 0, kHydrogen},
        {-0.5f, 0.06f, kSomething},
        {-0.5f, 0.11f, kNothing},
        {1.2f, 0, kNothing},
        {0, -1.2f, kOxygen}}},
      {vl::MS_BallAndStick, 0.0795349f, YellowBond, {{-0.5f, 0, kYellow}, {0.5f, 0, kYellow}}},
      // Sticks: no balls inside the atom radii; hemispherical caps cover a
      // point off the axis past the end; a lone atom is a ball of stick radius.
      {vl::MS_Sticks,
       0.1f,
       None,
       {{-1, 0, kCarbon},
        {1, 0, kHydrogen},
        {-1, 0.2f, kNothing},
        {1, 0.14f, kNothing},
        {-1.05f, 0.05f, kSomething},
        {1.05f, -0.05f, kSomething},
        {-1.14f, 0, kNothing},
        {0, -1.2f, kOxygen},
        {0, -1.2f + 0.15f, kNothing}}},
      // Wireframe: unlit halves, no balls, a cross on the lone atom.
      {vl::MS_Wireframe,
       0.1f,
       None,
       {{-0.5f, 0.01f, kCarbon}, {0.5f, 0.01f, kHydrogen}, {-1, 0.2f, kNothing}, {0.1f, -1.2f + 0.01f, kOxygen}}},
      {vl::MS_Wireframe, 0.1f, YellowBond, {{-0.5f, 0.01f, kYellow}, {0.5f, 0.01f, kYellow}}},
      {vl::MS_AtomsOnly, 0.1f, None, {{0, 0, kNothing}, {-1, 0, kCarbon}, {1, 0, kHydrogen}}},
      // A hidden bond goes alone; hidden atoms take their bonds with them, in every style.
      {vl::MS_BallAndStick, 0.1f, HideBond, {{0, 0, kNothing}, {1, 0, kHydrogen}}}};
  for (auto style : {vl::MS_BallAndStick, vl::MS_Sticks, vl::MS_Wireframe, vl::MS_AtomsOnly})
    cases.push_back({style,
                     0.1f,
                     HideHydrogens,
                     {{1, .01f, kNothing}, {.5f, .01f, kNothing}, {-.5f, .01f, kNothing}, {-1, 0, kCarbon}}});
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "style " << c.style << ", change " << c.change);
    CHO s(c.style, c.bondRadius);
    if (c.change == YellowBond)
      s.b->setUseAtomColors(false), s.b->setColor(kYellow);
    if (c.change == HideHydrogens)
      s.m.setAtomTypeVisible(vl::AT_Hydrogen, false);
    if (c.change == HideBond)
      s.b->setVisible(false);
    const QImage img = draw(s.m);
    for (const Probe& p : c.probes)
      EXPECT_TRUE(shows(at(img, p.x, p.y), p.want)) << "at (" << p.x << ", " << p.y << ")";
  }
}

TEST_F(RendererTest, WireframeLinesAreTwoPixelsAndCrossesMarkOnlyLoneAtoms)
{
  CHO s(vl::MS_Wireframe);
  const QImage img = draw(s.m);
  // The line on y = 0 lies on a pixel boundary: exactly two rows thick.
  for (float x : {-0.7f, -0.3f, 0.3f, 0.7f}) {
    int rows = 0;
    for (int y = 0; y < kSize / 2 + 10; ++y)
      rows += !isBackground(img.pixel(static_cast<int>((x + 2.0f) / 4.0f * kSize), y));
    EXPECT_EQ(rows, 2) << "at x = " << x;
  }
  // Nothing coloured away from the bond and the lone atom's cross.
  EXPECT_EQ(countPixels(img,
                        [](float x, float y, QRgb p) {
                          return !isBackground(p) && !(std::fabs(y) < 2.5f / 32 && x > -1.1f && x < 1.1f) &&
                                 !(std::fabs(x) < 0.3f && std::fabs(y + 1.2f) < 0.3f);
                        }),
            0);
  // Bounds: the line ends (no radii) and the cross.
  vl::MoleculeRenderer r;
  fvec3 lo, hi;
  r.prepare(s.m);
  ASSERT_TRUE(r.bounds(lo, hi));
  for (int i = 0; i < 3; ++i) {
    EXPECT_FLOAT_EQ(lo[i], fvec3(-1, -1.4f, -0.2f)[i]);
    EXPECT_FLOAT_EQ(hi[i], fvec3(1, 0, 0.2f)[i]);
  }
  // Once it has a bond, the cross goes; nothing visible, no bounds.
  addBond(s.m, s.c, s.o, 0.1f);
  EXPECT_TRUE(isBackground(at(draw(s.m), 0.1f, -1.2f + 0.01f)));
  for (auto* a : {s.c, s.h, s.o})
    a->setVisible(false);
  r.prepare(s.m);
  EXPECT_FALSE(r.bounds(lo, hi));
}

TEST_F(RendererTest, NearerSurfacesHideFartherOnesAndTheNearPlaneCutsBonds)
{
  // Whatever the drawing order, the atom nearer the eye (larger z) wins; a bond behind a ball is hidden by
  // it and shows in front of one; in perspective too. A bond with the eye inside its end region shows what
  // lies beyond the near plane (0.5), at depths 5.5 and 1 in columns 71 and 105, and nothing else.
  // Probes: world (x, y), or window pixels in perspective.
  using Atoms = std::vector<std::tuple<vl::EAtomType, fvec3, float>>;
  using Probes = std::vector<std::pair<QPointF, fvec4>>;
  const struct {
    vl::EMoleculeStyle style;
    bool perspective;
    Atoms atoms;
    Probes probes;
  } cases[] = {
      {vl::MS_AtomsOnly,
       false,
       {{vl::AT_Nitrogen, {0.5f, 0, 1}, 0.8f}, {vl::AT_Oxygen, {-0.5f, 0, -1}, 0.8f}},
       {{{0, 0}, kNitrogen}, {{-1.1f, 0}, kOxygen}}},
      {vl::MS_AtomsOnly,
       false,
       {{vl::AT_Oxygen, {-0.5f, 0, -1}, 0.8f}, {vl::AT_Nitrogen, {0.5f, 0, 1}, 0.8f}},
       {{{0, 0}, kNitrogen}, {{-1.1f, 0}, kOxygen}}},
      {vl::MS_BallAndStick,
       false,
       {{vl::AT_Hydrogen, {-1.5f, 0, -1}, 0.1f},
        {vl::AT_Hydrogen, {1.5f, 0, -1}, 0.1f},
        {vl::AT_Oxygen, {-0.6f, 0, 0}, 0.4f},
        {vl::AT_Nitrogen, {0.6f, 0, -2}, 0.4f}},
       {{{-0.6f, 0}, kOxygen}, {{0.6f, 0}, kHydrogen}}},
      {vl::MS_AtomsOnly,
       true,
       {{vl::AT_Oxygen, {0, 0, -8}, 1.0f}, {vl::AT_Nitrogen, {0.3f, 0, -5}, 0.5f}},
       {{{kSize / 2 + 3, kSize / 2}, kNitrogen}, {{kSize / 2 - 12, kSize / 2}, kOxygen}}},
      {vl::MS_Sticks,
       true,
       {{vl::AT_Carbon, {0.3f, 0, -0.1f}, 1e-4f}, {vl::AT_Carbon, {0.3f, 0, -6}, 1e-4f}},
       {{{71, 64}, kSomething}, {{105, 64}, kSomething}, {{5, 5}, kNothing}, {{64, kSize - 5}, kNothing}}},
      {vl::MS_BallAndStick,
       true,
       {{vl::AT_Carbon, {0.3f, 0, -0.1f}, 1e-4f}, {vl::AT_Carbon, {0.3f, 0, -6}, 1e-4f}},
       {{{71, 64}, kSomething}, {{105, 64}, kSomething}, {{5, 5}, kNothing}, {{64, kSize - 5}, kNothing}}},
  };
  for (const auto& c : cases) {
    vl::Molecule m;
    m.setMoleculeStyle(c.style);
    std::vector<vl::Atom*> atoms;
    for (const auto& [type, p, radius] : c.atoms)
      atoms.push_back(addAtom(m, type, p, radius));
    if (c.style != vl::MS_AtomsOnly)
      addBond(m, atoms[0], atoms[1], 0.1f);
    const QImage img = draw(m, c.perspective);
    for (const auto& [p, want] : c.probes) {
      const QRgb got = c.perspective ? img.pixel(p.toPoint()) : at(img, float(p.x()), float(p.y()));
      const int blueOverRed = qBlue(got) - qRed(got);
      if (c.style != vl::MS_AtomsOnly)
        EXPECT_TRUE(shows(got, want)) << "at " << p.x() << ", " << p.y();
      else
        EXPECT_GT(want == kNitrogen ? blueOverRed : -blueOverRed, 0) << "at " << p.x() << ", " << p.y();
    }
  }
}

// Does the ray from the eye (the origin) along d meet the shape? It is marched by `distance`, its signed
// distance (or less, outside it).
bool rayHits(fvec3 d, const std::function<float(fvec3)>& distance)
{
  d = d * (1.0f / d.length());
  for (float t = 0.5f, s; t < 20.0f; t += std::max(s, 0.001f))
    if ((s = distance(d * t)) <= 0)
      return true;
  return false;
}

TEST_F(RendererTest, PerspectiveImpostorsMatchRayCastSilhouettes)
{
  // Off-axis and oblique shapes: the sphere quad, the capsule box and the open cylinder (ball-and-stick,
  // balls too small to see, near end facing the eye) must cover the whole silhouette, and nothing outside it.
  const fvec3 sc(1.2f, 0.8f, -6), p0(-1.5f, -1, -4), p1(0.5f, -0.3f, -9), f0(0.8f, -0.2f, -4), f1(-0.4f, 0.6f, -7);
  // The distance from q to the axis a -> b, as a capsule (clamped) or a cylinder with flat ends.
  const auto axis = [](fvec3 q, fvec3 a, fvec3 b, float r, bool capsule) {
    const fvec3 u = b - a, v = q - a;
    const float len = u.length(), s = (u.x * v.x + u.y * v.y + u.z * v.z) / (len * len);
    const float radial = (q - (a + (b - a) * (capsule ? std::clamp(s, 0.0f, 1.0f) : s))).length() - r;
    return capsule ? radial : std::max(radial, (std::fabs(s - 0.5f) - 0.5f) * len);
  };
  const struct {
    vl::EMoleculeStyle style;
    fvec3 a, b;
    float atomRadius, bondRadius;
    std::function<float(fvec3)> distance;
  } shapes[] = {{vl::MS_AtomsOnly, sc, sc, 1.0f, 0, [&](fvec3 q) { return (q - sc).length() - 1.0f; }},
                {vl::MS_Sticks, p0, p1, 0.2f, 0.3f, [&](fvec3 q) { return axis(q, p0, p1, 0.3f, true); }},
                {vl::MS_BallAndStick, f0, f1, 1e-4f, 0.5f, [&](fvec3 q) { return axis(q, f0, f1, 0.5f, false); }}};
  for (const auto& shape : shapes) {
    SCOPED_TRACE(testing::Message() << "style " << shape.style);
    vl::Molecule m;
    m.setMoleculeStyle(shape.style);
    vl::Atom* a = addAtom(m, vl::AT_Carbon, shape.a, shape.atomRadius);
    if (shape.bondRadius > 0)
      addBond(m, a, addAtom(m, vl::AT_Carbon, shape.b, shape.atomRadius), shape.bondRadius);
    const QImage img = draw(m, true);
    std::vector<char> ref(kSize * kSize);
    int inside = 0;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x)
        inside += ref[y * kSize + x] =
            rayHits(fvec3(((x + 0.5f) / kSize * 2 - 1) * kTanHalf, (1 - (y + 0.5f) / kSize * 2) * kTanHalf, -1),
                    shape.distance);
    ASSERT_GT(inside, 200);
    // A disagreement is allowed only right on the reference silhouette.
    int wrong = 0;
    for (int y = 1; y < kSize - 1; ++y)
      for (int x = 1; x < kSize - 1; ++x) {
        const char* r = &ref[y * kSize + x];
        wrong += !isBackground(img.pixel(x, y)) != bool(*r) && r[-1] == *r && r[1] == *r && r[-kSize] == *r &&
                 r[kSize] == *r;
      }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(RendererTest, BadInputDrawsWhatIsValid)
{
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (auto style : {vl::MS_BallAndStick, vl::MS_Sticks, vl::MS_Wireframe, vl::MS_AtomsOnly}) {
    SCOPED_TRACE(style);
    vl::Molecule m;
    vl::MoleculeRenderer r;
    fvec3 lo, hi;
    m.setMoleculeStyle(style);
    m.setLineWidth(nan);
    vl::Atom* good = addAtom(m, vl::AT_Carbon, {0, 0, 0}, 0.3f);
    vl::Atom* bad1 = addAtom(m, vl::AT_Carbon, {nan, 0, 0}, 0.3f);
    vl::Atom* bad2 = addAtom(m, vl::AT_Carbon, {0, inf, 0}, 0.3f);
    vl::Atom* same = addAtom(m, vl::AT_Carbon, {0, 0, 0}, 0.3f);
    addAtom(m, vl::AT_Carbon, {1, 0, 0}, nan);
    addAtom(m, vl::AT_Carbon, {1, 1, 0}, -1.0f);
    for (auto [a1, a2] :
         {std::pair{good, bad1}, {bad2, good}, {good, same} /* zero length */, {good, nullptr}, {nullptr, nullptr}})
      addBond(m, a1, a2, 0.1f);
    r.prepare(m);
    ASSERT_TRUE(r.bounds(lo, hi));
    for (int i = 0; i < 3; ++i)
      EXPECT_TRUE(std::isfinite(lo[i]) && std::isfinite(hi[i]) && hi[i] <= 1.5f && lo[i] >= -0.5f) << i;
    draw(r);
    r.releaseGL();
  }
}

TEST_F(RendererTest, PrepareReplacesAndSurvivesContextRelease)
{
  CHO first(vl::MS_BallAndStick);
  vl::Molecule second;
  second.setMoleculeStyle(vl::MS_AtomsOnly);
  addAtom(second, vl::AT_Nitrogen, {0, 1, 0}, 0.4f);

  vl::MoleculeRenderer r;
  r.prepare(first.m);
  EXPECT_TRUE(shows(at(draw(r), -1, 0), kCarbon));
  r.prepare(second);
  QImage img = draw(r);
  EXPECT_TRUE(isBackground(at(img, -1, 0)));
  EXPECT_TRUE(shows(at(img, 0, 1), kNitrogen));
  r.releaseGL();
  EXPECT_TRUE(shows(at(draw(r), 0, 1), kNitrogen)) << "drawn again after the GL objects were freed";
  r.clear();
  EXPECT_TRUE(isBackground(at(draw(r), 0, 1)));
  r.releaseGL();
}

} // namespace
