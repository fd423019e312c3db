// The window layer without a window: font lookup, camera and trackball, key mapping, dispatch, the capture file.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include <QColor>
#include <QImage>
#include <QMatrix4x4>
#include <QVector3D>

#include "test_renderer_gl.h"
#include "view/applet.h"
#include "view/capture.h"
#include "view/qt5widget.h"
#include "view/rendering.h"
#include "view/scenemanager.h"
#include "view/text.h"
#include "view/trackball.h"

namespace fs = std::filesystem;
using vl::fvec3;

namespace {

vl::Camera cameraOfSize(int w, int h)
{
  vl::Camera camera;
  camera.viewport()->setSize(w, h);
  return camera;
}
float distance(const fvec3& a, const fvec3& b)
{
  return (a - b).length();
}

// An OpenGL context that counts redraws and quits and has a chosen pixel ratio.
class FakeContext : public vl::OpenGLContext {
public:
  struct FB : vl::Framebuffer {
    int width() const override { return 320; }
    int height() const override { return 200; }
  } fb;
  int updates = 0, quits = 0;
  float ratio = 1.0f;
  vl::Framebuffer* framebuffer() override { return &fb; }
  void makeCurrent() override {}
  void doneCurrent() override {}
  void update() override { ++updates; }
  void setSize(int, int) override {}
  void quitApplication() override { ++quits; }
  bool isInitialized() const override { return false; }
  float devicePixelRatio() const override { return ratio; }
  using vl::OpenGLContext::dispatchKeyReleaseEvent;
  using vl::OpenGLContext::dispatchMouseDownEvent;
  using vl::OpenGLContext::dispatchMouseMoveEvent;
  using vl::OpenGLContext::dispatchMouseUpEvent;
};

} // namespace

TEST(FontLookup, OrderOfPlacesSearchedAndTheFallback)
{
  char tmpl[] = "/tmp/orbisk-shell-XXXXXX";
  const std::string tmp = mkdtemp(tmpl), root = tmp + "/root", build = tmp + "/build", install = tmp + "/install";
  const std::string vera = "/font/bitstream-vera/VeraMono.ttf", given = root + "/data" + vera, bare = install + vera;
  const std::vector<std::string> dirs{build, install};
  fs::create_directories(build + "/Dir.ttf");
  // (whether the file to be found appears just before the look-up, the name, the file found)
  const struct {
    bool create;
    std::string name, found;
  } steps[] = {// 1. The path as given, with backslashes as separators.
               {true, given, given},
               {true, root + "\\data\\font\\bitstream-vera\\VeraMono.ttf", given},
               // 2. A relative path under the data directories, the build tree first.
               {true, "fonts/Mono.ttf", install + "/fonts/Mono.ttf"},
               {true, "fonts\\Mono.ttf", build + "/fonts/Mono.ttf"},
               // 3. The bare name in the data directories: what a wrong ORBISK_ROOT_DIR,
               //    or none at all, comes down to.
               {true, "/nowhere\\data\\font\\bitstream-vera\\VeraMono.ttf", bare},
               {false, "VeraMono.ttf", bare},
               {true, "VeraMono.ttf", build + "/VeraMono.ttf"},
               // Nothing found, or not a file.
               {false, "Missing.ttf", ""},
               {false, "Dir.ttf", ""},
               {false, "", ""},
               {false, "some/dir/", ""}};
  for (const auto& step : steps) {
    if (step.create) {
      fs::create_directories(fs::path(step.found).parent_path());
      std::ofstream(step.found) << "font";
    }
    EXPECT_EQ(vl::resolveFontPath(step.name, dirs), step.found) << step.name;
  }
  fs::remove_all(tmp);

  // A font found nowhere: the system's monospaced one, said once (needs the Qt application).
  auto& gl = orbisk_test::GLEnvironment::instance();
  if (!gl.problem().empty())
    GTEST_SKIP() << gl.problem();
  testing::internal::CaptureStdout();
  const auto font = vl::defFontManager()->acquireFont("no/such/Font-4711.ttf", 10, false);
  EXPECT_EQ(font, vl::defFontManager()->acquireFont("no/such/Font-4711.ttf", 10, false));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Font 'no/such/Font-4711.ttf' not found: the overlay uses the system monospaced font\n");
  ASSERT_TRUE(font);
  EXPECT_TRUE(font->path().empty());
  EXPECT_FALSE(font->qfont().family().isEmpty());
  EXPECT_EQ(font->qfont().pixelSize(), 13); // 10 pt at 96 dpi
}

// ---- camera and trackball ----

TEST(FitView, DistanceBiasWholeBoxInViewAndNearFarWhereverTheEyeIs)
{
  const float halfY = 30.0f * float(M_PI) / 180.0f;
  // The vertical angle is the smaller, then the horizontal one.
  const struct {
    int w, h;
    float eyeZ;
  } cases[] = {{512, 512, 3.0f / std::sin(halfY)},
               {1000, 500, 6.0f},
               {300, 600, 3.0f / std::sin(std::atan(std::tan(halfY) * 0.5f))}};
  vl::TrackballManipulator trackball;
  for (const auto& c : cases) {
    vl::Camera camera = cameraOfSize(c.w, c.h);
    trackball.fitView(&camera, fvec3(-1, -2, -2), fvec3(1, 2, 2), fvec3(0, 0, 1), fvec3(0, 1, 0), 1.0f); // R = 3
    EXPECT_NEAR(camera.eye().z, c.eyeZ, 1e-3f) << c.w << " x " << c.h;
    EXPECT_NEAR(camera.eye().x, 0.0f, 1e-5f);
    EXPECT_EQ(trackball.pivot(), fvec3(0, 0, 0));
  }
  // Bias scales the distance; the direction need not be of unit length.
  vl::Camera biased = cameraOfSize(512, 512);
  trackball.fitView(&biased, fvec3(10, 20, 30), fvec3(12, 24, 34), fvec3(0, 5, 0), fvec3(0, 0, 1), 2.0f);
  const fvec3 centre(11, 22, 32);
  EXPECT_NEAR(biased.eye().y - centre.y, 12.0f, 1e-3f);
  EXPECT_NEAR(distance(biased.eye(), centre), 12.0f, 1e-3f);
  EXPECT_EQ(trackball.pivot(), centre);

  // Nothing drawn: adjustView leaves the camera as it is.
  vl::Rendering rendering;
  vl::SceneManager scene;
  rendering.setSceneManager(&scene);
  const QMatrix4x4 start = vl::Camera::lookAt(fvec3(0, 10, 35), fvec3(0, 0, 0), fvec3(0, 1, 0));
  rendering.camera()->setViewMatrix(start);
  trackball.adjustView(&rendering, fvec3(0, 0, 1), fvec3(0, 1, 0), 1.0f);
  EXPECT_EQ(rendering.camera()->viewMatrix(), start);

  // The whole box is in view, and not clipped.
  for (float half : {0.4f, 50.0f}) { // a diatomic and a 100,000-atom box
    const fvec3 mn(-half, -half * 0.5f, -half), mx(half, half * 0.5f, half);
    for (auto [w, h] : {std::pair{512, 512}, {800, 300}, {300, 800}}) {
      vl::Camera camera = cameraOfSize(w, h);
      vl::TrackballManipulator().fitView(&camera, mn, mx, fvec3(0.3f, 0.2f, 1), fvec3(0, 1, 0), 1.0f);
      for (int c = 0; c < 8; ++c) {
        const QVector3D p = camera.project(fvec3(c & 1 ? mx.x : mn.x, c & 2 ? mx.y : mn.y, c & 4 ? mx.z : mn.z));
        // Inside the window, in front of the near plane and behind the far one.
        EXPECT_TRUE(p.x() >= 0 && p.x() <= w && p.y() >= 0 && p.y() <= h && p.z() > 0 && p.z() < 1)
            << half << ", " << w << " x " << h << ", corner " << c << ": " << p.x() << " " << p.y() << " " << p.z();
      }
    }
  }

  // The near and far planes enclose the scene wherever the eye is: (eye z, the largest near plane, the
  // smallest far plane) outside the scene and inside it.
  vl::Camera camera = cameraOfSize(512, 512);
  camera.setSceneSphere(fvec3(0, 0, 0), 10);
  float n = 0, f = 0;
  for (auto [eyeZ, nearBelow, farAbove] : {std::tuple{30.0f, 20.0f, 40.0f}, {2.0f, 1e9f, 12.0f}}) {
    camera.setViewMatrix(vl::Camera::lookAt(fvec3(0, 0, eyeZ), fvec3(0, 0, 0), fvec3(0, 1, 0)));
    ASSERT_TRUE(camera.nearFar(n, f));
    EXPECT_TRUE(n > 0 && n < nearBelow && f > farAbove) << eyeZ << ": " << n << " " << f;
  }
  camera.clearSceneSphere();
  EXPECT_FALSE(camera.nearFar(n, f));
  EXPECT_GT(n, 0.0f);
}

TEST(Trackball, DragsRotatePanAndZoom)
{
  vl::Rendering rendering;
  vl::Camera* camera = rendering.camera();
  camera->viewport()->setSize(400, 400);
  vl::TrackballManipulator trackball;
  trackball.setRendering(&rendering);
  trackball.fitView(camera, fvec3(-1, -1, -1), fvec3(1, 1, 1), fvec3(0, 0, 1), fvec3(0, 1, 0), 1.0f);
  const auto pivotDistance = [&] { return distance(camera->eye(), trackball.pivot()); };
  const auto drag = [&](vl::EMouseButton button, int x0, int y0, int x1, int y1) {
    trackball.mouseDownEvent(button, x0, y0);
    trackball.mouseMoveEvent(x1, y1);
    trackball.mouseUpEvent(button, x1, y1);
  };
  const float d0 = pivotDistance();

  // Left: turns about the pivot, which stays put, at the same distance; a point in front of it follows the mouse.
  const float frontX = camera->project(fvec3(0, 0, 1)).x();
  drag(vl::LeftButton, 200, 200, 260, 200);
  EXPECT_NEAR(camera->project(trackball.pivot()).x(), 200.0f, 0.01f);
  EXPECT_NEAR(pivotDistance(), d0, 1e-3f);
  EXPECT_GT(camera->project(fvec3(0, 0, 1)).x(), frontX + 10.0f);

  // Released: moving the mouse changes nothing.
  const QMatrix4x4 afterRotate = camera->viewMatrix();
  trackball.mouseMoveEvent(10, 10);
  EXPECT_EQ(camera->viewMatrix(), afterRotate);

  // Middle: the pivot follows the mouse pixel for pixel.
  drag(vl::MiddleButton, 200, 200, 230, 180);
  EXPECT_NEAR(camera->project(trackball.pivot()).x(), 230.0f, 0.05f);
  EXPECT_NEAR(camera->project(trackball.pivot()).y(), 180.0f, 0.05f);

  // Right: dragging up goes away (down comes closer: the window tests).
  const float d1 = pivotDistance();
  drag(vl::RightButton, 200, 260, 200, 100);
  EXPECT_GT(pivotDistance(), d1);
  // The wheel scales the pivot's depth: 0.9 per notch forward.
  const auto depth = [&] { return -camera->viewMatrix().map(QVector3D(0, 0, 0)).z(); };
  const float z3 = depth();
  trackball.mouseWheelEvent(3);
  EXPECT_NEAR(depth(), z3 * std::pow(0.9f, 3.0f), 1e-3f);
  trackball.mouseWheelEvent(-3);
  EXPECT_NEAR(depth(), z3, 1e-3f);
}

// ---- keys, buttons and dispatch ----

TEST(Keys, QtKeysAndButtonsMapToTheApplications)
{
  // (The letters, arrows, F3, F4 and Escape the viewer acts on are pressed in the window tests.)
  const std::pair<int, vl::EKey> keys[] = {{'b', vl::Key_B},
                                           {'h', vl::Key_H},
                                           {Qt::Key_0, vl::Key_0},
                                           {Qt::Key_9, vl::Key_9},
                                           {Qt::Key_F1, vl::Key_F1},
                                           {Qt::Key_F12, vl::Key_F12},
                                           {Qt::Key_Enter, vl::Key_Return},
                                           {Qt::Key_C, vl::Key_C},
                                           {Qt::Key_F13, vl::Key_Unknown},
                                           {Qt::Key_Shift, vl::Key_Unknown}};
  for (const auto& [qt, key] : keys)
    EXPECT_EQ(vlQt5::translateKey(qt), key) << "Qt key " << qt;
  const std::pair<Qt::MouseButton, vl::EMouseButton> buttons[] = {{Qt::LeftButton, vl::LeftButton},
                                                                  {Qt::RightButton, vl::RightButton},
                                                                  {Qt::MiddleButton, vl::MiddleButton},
                                                                  {Qt::BackButton, vl::UnknownButton}};
  for (const auto& [qt, button] : buttons)
    EXPECT_EQ(vlQt5::translateButton(qt), button) << "Qt button " << qt;
}

TEST(Dispatch, ListenersTheirTrackballsEscapeAndPixelRatio)
{
  FakeContext context;
  vl::Applet applet;
  applet.initialize();
  context.addEventListener(&applet);
  context.addEventListener(&applet); // once is enough
  EXPECT_EQ(context.eventListeners().size(), 1u);
  EXPECT_EQ(applet.openglContext(), &context);
  EXPECT_EQ(applet.rendering()->camera()->viewport()->width(), 320);

  // A drag reaches the applet and moves the camera through its trackball, which asks the window for a redraw.
  applet.trackball()->fitView(applet.rendering()->camera(), fvec3(-1, -1, -1), fvec3(1, 1, 1), fvec3(0, 0, 1),
                              fvec3(0, 1, 0), 1.0f);
  const QMatrix4x4 before = applet.rendering()->camera()->viewMatrix();
  context.dispatchMouseDownEvent(vl::LeftButton, 100, 100);
  context.dispatchMouseMoveEvent(140, 100);
  context.dispatchMouseUpEvent(vl::LeftButton, 140, 100);
  EXPECT_NE(applet.rendering()->camera()->viewMatrix(), before);
  EXPECT_GE(context.updates, 1);

  context.dispatchKeyReleaseEvent(0, vl::Key_Q);
  EXPECT_EQ(context.quits, 0);
  context.dispatchKeyReleaseEvent(27, vl::Key_Escape);
  EXPECT_EQ(context.quits, 1);

  context.removeEventListener(&applet);
  EXPECT_EQ(applet.openglContext(), nullptr);
  EXPECT_TRUE(context.eventListeners().empty());

  // Window pixels scale to framebuffer pixels, rounded.
  const struct {
    float ratio;
    int window, framebuffer;
  } pixels[] = {{1.0f, 137, 137}, {2.0f, 137, 274}, {1.5f, 137, 206}, {1.25f, 3, 4}, {1.5f, 0, 0}};
  for (const auto& c : pixels) {
    context.ratio = c.ratio;
    EXPECT_EQ(vl::toFramebufferPixels(&context, c.window), c.framebuffer) << c.ratio << " x " << c.window;
  }
  EXPECT_EQ(vl::toFramebufferPixels(nullptr, 137), 137);
}

// The PNG lands under exactly the bytes of the name, replaces an older file whole, and a target that cannot
// be written leaves no temporary file behind.
TEST(CaptureFile, NameBytesReplaceAndFailure)
{
  const std::string dir = testing::TempDir() + "capture-" + std::to_string(getpid()) + "/";
  ASSERT_TRUE(fs::create_directory(dir));
  QImage image(8, 4, QImage::Format_RGB888);
  std::string error;
  const std::string latin1 = dir + "caf\xe9.xyz.png"; // not UTF-8
  for (auto colour : {Qt::red, Qt::blue}) {           // the second replaces the first
    image.fill(colour);
    ASSERT_TRUE(vl::writePng(image, latin1, &error)) << error;
  }
  std::ifstream in(latin1, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const QImage back = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
  ASSERT_EQ(back.size(), image.size());
  EXPECT_EQ(back.pixelColor(0, 0), QColor(Qt::blue));

  // A folder where the image should go: an error, and nothing left over.
  ASSERT_TRUE(fs::create_directory(dir + "blocked.png"));
  EXPECT_FALSE(vl::writePng(image, dir + "blocked.png", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(dir + ".orbisk-capture-" + std::to_string(getpid()) + ".tmp"));
}
