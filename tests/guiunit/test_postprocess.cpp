// The picture after the post-processing pass: one ball seen from the front, drawn plainly, smoothed,
// outlined, and as the capture draws it (twice the size, averaged down).
#include <gtest/gtest.h>

#include <QOpenGLFramebufferObject>

#include <cmath>
#include <functional>
#include <string>

#include "core/model/molecule.h"
#include "test_renderer_gl.h"
#include "view/capture.h"
#include "view/rendering.h"
#include "view/scenemanager.h"

namespace {

constexpr int kSize = 96;
const vl::fvec4 kLight(0.9f, 0.85f, 0.8f, 1.0f), kDark(0, 0, 0.2f, 1.0f);

enum Mode { Plain, Smoothed, Outlined, Captured };

class PostProcessTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    auto& env = orbisk_test::GLEnvironment::instance();
    if (!env.problem().empty())
      GTEST_SKIP() << "no OpenGL here: " << env.problem();
    ASSERT_TRUE(env.makeCurrent());
    // A red ball of radius 1, 5 away: about 34 pixels across the middle.
    vl::Molecule m;
    m.setMoleculeStyle(vl::MS_AtomsOnly);
    auto a = vl::make_ref<vl::Atom>();
    a->setAtomType(vl::AT_Oxygen), a->setCoordinates({0, 0, 0}), a->setRadius(1.0f), a->setColor({1, 0, 0, 1});
    m.addAtom(a);
    scene.showMolecule(m);
    rendering.setSceneManager(&scene);
    rendering.camera()->setViewMatrix(vl::Camera::lookAt({0, 0, 5}, {0, 0, 0}, {0, 1, 0}));
  }
  void TearDown() override { scene.releaseGL(), rendering.releaseGL(); }

  QImage draw(Mode mode, const vl::fvec4& background)
  {
    rendering.camera()->viewport()->setClearColor(background);
    rendering.setAntialiasing(mode == Smoothed);
    rendering.setOutlines(mode == Outlined);
    if (mode == Captured) {
      std::string error;
      return vl::renderOffscreen(&rendering, kSize, kSize, &error).convertToFormat(QImage::Format_RGB32);
    }
    orbisk_test::OffscreenTarget target(kSize, kSize);
    target.begin();
    rendering.render(kSize, kSize);
    QOpenGLFramebufferObject::bindDefault();
    return target.image();
  }

  static bool isBall(QRgb p) { return qRed(p) > 2 * qGreen(p) + 30; }
  // Pixels of the plain picture within `reach` of the ball's silhouette (or, negative, farther) that satisfy pred.
  static int count(const QImage& plain, int reach, const std::function<bool(int, int)>& pred)
  {
    const int r = std::abs(reach);
    int n = 0;
    for (int y = r; y < kSize - r; ++y)
      for (int x = r; x < kSize - r; ++x) {
        bool ball = false, space = false;
        for (int dy = -r; dy <= r; ++dy)
          for (int dx = -r; dx <= r; ++dx)
            (isBall(plain.pixel(x + dx, y + dy)) ? ball : space) = true;
        n += (ball && space) == (reach > 0) && pred(x, y);
      }
    return n;
  }

  vl::SceneManager scene;
  vl::Rendering rendering;
};

TEST_F(PostProcessTest, SmoothingAndCaptureBlendTheSilhouetteOnly)
{
  const QImage plain = draw(Plain, kLight);
  const QRgb background = plain.pixel(0, 0);
  EXPECT_EQ(background, draw(Smoothed, kLight).pixel(0, 0));
  // Between the ball's dark red rim and the background.
  auto between = [](QRgb p) { return qGreen(p) > 30 && qGreen(p) < 190; };
  EXPECT_EQ(count(plain, 1, [&](int x, int y) { return between(plain.pixel(x, y)); }), 0);
  for (Mode mode : {Smoothed, Captured}) {
    const QImage img = draw(mode, kLight);
    EXPECT_GT(count(plain, 1, [&](int x, int y) { return between(img.pixel(x, y)); }), 12) << mode;
    auto changed = [&](int x, int y) { return plain.pixel(x, y) == background && img.pixel(x, y) != background; };
    EXPECT_EQ(count(plain, -3, changed), 0) << "the background away from the silhouette: " << mode;
    EXPECT_EQ(img.pixel(0, 0), background) << mode;
  }
  EXPECT_EQ(draw(Smoothed, kLight).pixel(kSize / 2, kSize / 2), plain.pixel(kSize / 2, kSize / 2)) << "smooth shading";
}

TEST_F(PostProcessTest, OutlinesRingTheBallInAColourThatShowsOnTheBackground)
{
  for (const vl::fvec4& bg : {kLight, kDark}) {
    const QImage plain = draw(Plain, bg), img = draw(Outlined, bg);
    const vl::fvec4 line = vl::Rendering::outlineColor(bg);
    const QRgb expected = qRgb(std::lround(line.r * 255), std::lround(line.g * 255), std::lround(line.b * 255));
    // The background pixels beside the ball take the line's colour.
    auto ring = [&](int x, int y) {
      return plain.pixel(x, y) == plain.pixel(0, 0) &&
             (isBall(plain.pixel(x + 1, y)) || isBall(plain.pixel(x - 1, y)) || isBall(plain.pixel(x, y + 1)) ||
              isBall(plain.pixel(x, y - 1)));
    };
    const int ringPixels = count(plain, 1, ring);
    EXPECT_GT(ringPixels, 40);
    EXPECT_NE(expected, plain.pixel(0, 0)) << "the line shows on the background";
    EXPECT_EQ(count(plain, 1, [&](int x, int y) { return ring(x, y) && img.pixel(x, y) == expected; }), ringPixels);
    EXPECT_EQ(img.pixel(0, 0), plain.pixel(0, 0));
    EXPECT_EQ(img.pixel(kSize / 2, kSize / 2), plain.pixel(kSize / 2, kSize / 2)) << "no line across the ball";
  }
  EXPECT_TRUE(vl::Rendering::outlineColor(kLight) == vl::fvec4(0, 0, 0, 1)) << "black on a light background";
}

} // namespace
