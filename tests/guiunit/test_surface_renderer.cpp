// Isosurfaces drawn off-screen alone, over an atom and through the scene, checked pixel by pixel.
#include <gtest/gtest.h>

#include <QMatrix4x4>

#include <cmath>
#include <functional>

#include "core/model/molecule.h"
#include "test_renderer_gl.h"
#include "view/moleculerenderer.h"
#include "view/rendering.h"
#include "view/scenemanager.h"
#include "view/surfacerenderer.h"

namespace {

using vl::fvec3;
using vl::fvec4;

constexpr int kSize = 128; // the square -2..2 seen along -z: 32 pixels per angstrom
const fvec4 kBlue(0, 0, 1, 1), kOxygen = vl::atomInfo(vl::AT_Oxygen).cpkColor();

// A sphere of radius 1 at the origin, from a grid that ends at z = top.
vl::Surface sphere(float opacity, float top = 1.5f)
{
  chem::ScalarGrid g{{-1.5f, -1.5f, -1.5f}, {0.1f, 0.1f, 0.1f}, 31, 31, int(std::lround((top + 1.5f) / 0.1f)) + 1, {}};
  for (int ix = 0; ix < g.nx; ++ix)
    for (int iy = 0; iy < g.ny; ++iy)
      for (int iz = 0; iz < g.nz; ++iz)
        g.values.push_back(1.0f - fvec3(ix * 0.1f - 1.5f, iy * 0.1f - 1.5f, iz * 0.1f - 1.5f).length());
  return {chem::ExtractIsosurface(g, 0.0f), kBlue, opacity};
}

QRgb at(const QImage& img, float x, float y)
{
  return img.pixel(int(std::floor((x + 2.0f) * kSize / 4)), kSize - 1 - int(std::floor((y + 2.0f) * kSize / 4)));
}

::testing::AssertionResult near(QRgb p, const fvec4& c)
{
  const int want[3] = {int(std::lround(c.r * 255)), int(std::lround(c.g * 255)), int(std::lround(c.b * 255))};
  if (std::abs(qRed(p) - want[0]) <= 6 && std::abs(qGreen(p) - want[1]) <= 6 && std::abs(qBlue(p) - want[2]) <= 6)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << qRed(p) << "," << qGreen(p) << "," << qBlue(p) << ") expected ("
                                       << want[0] << "," << want[1] << "," << want[2] << ")";
}

class SurfaceRendererTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    auto& env = orbisk_test::GLEnvironment::instance();
    if (!env.problem().empty())
      GTEST_SKIP() << "no OpenGL here: " << env.problem();
    ASSERT_TRUE(env.makeCurrent());
  }

  // Orthographic, looking down -z from z = 10, or in perspective from the origin.
  static QImage draw(const std::function<void(const QMatrix4x4&, const QMatrix4x4&)>& render, bool inside = false)
  {
    QMatrix4x4 view, projection;
    if (inside)
      projection.perspective(50, 1, 0.1f, 50);
    else
      view.translate(0, 0, -10), projection.ortho(-2, 2, -2, 2, 1, 100);
    orbisk_test::OffscreenTarget target(kSize, kSize);
    EXPECT_TRUE(target.valid());
    target.begin();
    render(view, projection);
    QOpenGLFramebufferObject::bindDefault();
    return target.image();
  }
};

TEST_F(SurfaceRendererTest, SpheresShowTheirColourInsideTheRadiusAlsoCutOpenAndBlendOverAnAtom)
{
  struct Case {
    float opacity, top; // top < 1: the grid cuts the cap off, the inside shows
    bool atom;          // an oxygen of radius 0.5 at the centre
    fvec4 centre;
    bool eyeInside = false;
  };
  const fvec4 half(0.5f * kOxygen.r, 0.5f * kOxygen.g, 0.5f * (kOxygen.b + 1), 1);
  for (const Case& k : {Case{1, 1.5f, false, kBlue}, Case{1, 0.5f, false, kBlue}, Case{1, 1.5f, true, kBlue},
                        Case{0.5f, 1.5f, true, half}, Case{0.5f, 1.5f, false, fvec4(0, 0, 0.5f, 1)},
                        Case{1, 1.5f, false, kBlue, true}}) {
    SCOPED_TRACE(testing::Message() << "opacity " << k.opacity << ", top " << k.top << ", atom " << k.atom << ", eye "
                                    << k.eyeInside);
    vl::Molecule m;
    auto a = vl::make_ref<vl::Atom>();
    a->setAtomType(vl::AT_Oxygen), a->setRadius(0.5f), a->setColor(kOxygen);
    m.setMoleculeStyle(vl::MS_AtomsOnly);
    if (k.atom)
      m.addAtom(a);
    vl::MoleculeRenderer atoms;
    vl::SurfaceRenderer surfaces;
    atoms.prepare(m);
    surfaces.prepare({sphere(k.opacity, k.top)});
    surfaces.setDepthCue(vl::black, 0, {-1, -1, -1}, {1, 1, 1});
    const QImage img = draw(
        [&](const QMatrix4x4& view, const QMatrix4x4& projection) {
          atoms.render(view, projection, kSize, kSize);
          surfaces.render(view, projection, kSize, kSize);
        },
        k.eyeInside);
    atoms.releaseGL(), surfaces.releaseGL();
    EXPECT_TRUE(near(at(img, 0, 0), k.centre));
    if (k.eyeInside)
      continue;
    EXPECT_NE(at(img, 0.9f, 0) & 0xffffff, 0u) << "inside the radius";
    for (auto [x, y] : {std::pair(1.1f, 0.0f), std::pair(0.0f, -1.1f), std::pair(0.8f, 0.8f)})
      EXPECT_EQ(at(img, x, y) & 0xffffff, 0u) << "outside the radius at " << x << ", " << y;
  }
}

TEST_F(SurfaceRendererTest, TheSceneDrawsSurfacesAndCountsThemInItsBounds)
{
  vl::SceneManager scene;
  scene.showSurfaces({sphere(1)});
  fvec3 lo, hi;
  ASSERT_TRUE(scene.bounds(lo, hi));
  EXPECT_NEAR(lo.x, -1, 0.01f);
  EXPECT_NEAR(hi.z, 1, 0.01f);
  vl::Rendering rendering;
  rendering.setSceneManager(&scene);
  rendering.camera()->setViewMatrix(vl::Camera::lookAt({0, 0, 5}, {0, 0, 0}, {0, 1, 0}));
  const QImage img = draw([&](const QMatrix4x4&, const QMatrix4x4&) { rendering.render(kSize, kSize); });
  EXPECT_TRUE(near(img.pixel(kSize / 2, kSize / 2), kBlue));
  EXPECT_EQ(img.pixel(2, 2) & 0xffffff, 0u);
  scene.releaseGL();
}

} // namespace
