// The viewer's window layer without a window: font lookup, the camera and
// trackball geometry, key mapping, event dispatch and one off-screen frame.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QMatrix4x4>
#include <QVector3D>

#include "test_renderer_gl.h"
#include "view/applet.h"
#include "view/openglcontext.h"
#include "view/qt5widget.h"
#include "view/rendering.h"
#include "view/scenemanager.h"
#include "view/text.h"
#include "view/trackball.h"
#include "core/model/log.h"

namespace fs = std::filesystem;

namespace {

constexpr float kPi = 3.14159265358979323846f;

class TempDir {
public:
  TempDir()
  {
    char tmpl[] = "/tmp/orbisk-shell-XXXXXX";
    mPath = mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(mPath); }
  std::string file(const std::string& rel) const
  {
    const fs::path p = fs::path(mPath) / rel;
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "font";
    return p.string();
  }
  const std::string& path() const { return mPath; }

private:
  std::string mPath;
};

} // namespace

TEST(FontLookup, OrderOfPlacesSearched)
{
  TempDir root, build, install;
  const std::vector<std::string> dirs{build.path(), install.path()};

  // 1. The path as given, with backslashes as separators.
  const std::string given = root.file("data/font/bitstream-vera/VeraMono.ttf");
  install.file("font/bitstream-vera/VeraMono.ttf");
  EXPECT_EQ(vl::resolveFontPath(given, dirs), given);
  std::string windowsStyle = root.path() + "\\data\\font\\bitstream-vera\\VeraMono.ttf";
  EXPECT_EQ(vl::resolveFontPath(windowsStyle, dirs), given);

  // 2. A relative path under the data directories, the build tree first.
  const std::string inInstall = install.file("fonts/Mono.ttf");
  EXPECT_EQ(vl::resolveFontPath("fonts/Mono.ttf", dirs), inInstall);
  const std::string inBuild = build.file("fonts/Mono.ttf");
  EXPECT_EQ(vl::resolveFontPath("fonts\\Mono.ttf", dirs), inBuild);

  // 3. The bare name in the data directories: what a wrong ORBISK_ROOT_DIR,
  //    or none at all, comes down to.
  const std::string bare = install.path() + "/font/bitstream-vera/VeraMono.ttf";
  EXPECT_EQ(vl::resolveFontPath("/nowhere\\data\\font\\bitstream-vera\\VeraMono.ttf", dirs), bare);
  EXPECT_EQ(vl::resolveFontPath("VeraMono.ttf", dirs), bare);
  const std::string flat = build.file("VeraMono.ttf");
  EXPECT_EQ(vl::resolveFontPath("VeraMono.ttf", dirs), flat);
}

TEST(FontLookup, NothingFoundOrNotAFile)
{
  TempDir build;
  fs::create_directories(build.path() + "/Dir.ttf");
  EXPECT_EQ(vl::resolveFontPath("Missing.ttf", {build.path()}), "");
  EXPECT_EQ(vl::resolveFontPath("Dir.ttf", {build.path()}), "");
  EXPECT_EQ(vl::resolveFontPath("", {build.path()}), "");
  EXPECT_EQ(vl::resolveFontPath("some/dir/", {build.path()}), "");
}

TEST(FontLookup, MissingFontFallsBackToTheSystemsMonospacedFont)
{
  auto& gl = orbisk_test::GLEnvironment::instance(); // for the Qt application
  if (!gl.problem().empty())
    GTEST_SKIP() << gl.problem();
  std::FILE* log = std::tmpfile();
  vl::Log::setOutput(log);
  const auto font = vl::defFontManager()->acquireFont("no/such/Font-4711.ttf", 10, false);
  const auto again = vl::defFontManager()->acquireFont("no/such/Font-4711.ttf", 10, false);
  vl::Log::setOutput(nullptr);
  std::rewind(log);
  char buffer[512] = {0};
  const std::string text(buffer, std::fread(buffer, 1, sizeof buffer - 1, log));
  std::fclose(log);

  ASSERT_TRUE(font);
  EXPECT_EQ(font, again);
  EXPECT_TRUE(font->path().empty());
  EXPECT_FALSE(font->qfont().family().isEmpty());
  EXPECT_EQ(font->qfont().pixelSize(), 13); // 10 pt at 96 dpi
  EXPECT_EQ(text, "Font 'no/such/Font-4711.ttf' not found: the overlay uses the system monospaced font\n");
}

// ---- camera and trackball ----

namespace {

vl::Camera cameraOfSize(int w, int h)
{
  vl::Camera camera;
  camera.viewport()->setSize(w, h);
  return camera;
}

float distance(const vl::fvec3& a, const vl::fvec3& b) { return (a - b).length(); }

} // namespace

TEST(FitView, DistanceFollowsTheNarrowerFieldOfView)
{
  const vl::fvec3 mn(-1, -2, -2), mx(1, 2, 2); // R = 3
  vl::TrackballManipulator trackball;

  vl::Camera square = cameraOfSize(512, 512);
  trackball.fitView(&square, mn, mx, vl::fvec3(0, 0, 1), vl::fvec3(0, 1, 0), 1.0f);
  EXPECT_NEAR(square.eye().z, 3.0f / std::sin(30.0f * kPi / 180.0f), 1e-4f);
  EXPECT_NEAR(square.eye().x, 0.0f, 1e-5f);
  EXPECT_EQ(trackball.pivot(), vl::fvec3(0, 0, 0));

  vl::Camera wide = cameraOfSize(1000, 500); // vertical angle is the smaller
  trackball.fitView(&wide, mn, mx, vl::fvec3(0, 0, 1), vl::fvec3(0, 1, 0), 1.0f);
  EXPECT_NEAR(wide.eye().z, 6.0f, 1e-4f);

  vl::Camera tall = cameraOfSize(300, 600); // horizontal angle is the smaller
  trackball.fitView(&tall, mn, mx, vl::fvec3(0, 0, 1), vl::fvec3(0, 1, 0), 1.0f);
  const float halfX = std::atan(std::tan(30.0f * kPi / 180.0f) * 0.5f);
  EXPECT_NEAR(tall.eye().z, 3.0f / std::sin(halfX), 1e-3f);

  // Bias scales the distance; the direction need not be of unit length.
  const vl::fvec3 off(10, 20, 30), offMax = off + vl::fvec3(2, 4, 4);
  vl::Camera biased = cameraOfSize(512, 512);
  trackball.fitView(&biased, off, offMax, vl::fvec3(0, 5, 0), vl::fvec3(0, 0, 1), 2.0f);
  const vl::fvec3 centre(11, 22, 32);
  EXPECT_NEAR(biased.eye().y - centre.y, 12.0f, 1e-3f);
  EXPECT_NEAR(distance(biased.eye(), centre), 12.0f, 1e-3f);
  EXPECT_EQ(trackball.pivot(), centre);
}

TEST(FitView, WholeBoxInViewAndNotClipped)
{
  for (float half : {0.4f, 50.0f}) { // a diatomic and a 100,000-atom box
    const vl::fvec3 mn(-half, -half * 0.5f, -half), mx(half, half * 0.5f, half);
    for (auto size : {std::pair<int, int>{512, 512}, {800, 300}, {300, 800}}) {
      vl::Camera camera = cameraOfSize(size.first, size.second);
      vl::TrackballManipulator().fitView(&camera, mn, mx, vl::fvec3(0.3f, 0.2f, 1), vl::fvec3(0, 1, 0), 1.0f);
      for (int corner = 0; corner < 8; ++corner) {
        const vl::fvec3 p(corner & 1 ? mx.x : mn.x, corner & 2 ? mx.y : mn.y, corner & 4 ? mx.z : mn.z);
        const QVector3D w = camera.project(p);
        EXPECT_GE(w.x(), 0.0f);
        EXPECT_LE(w.x(), size.first);
        EXPECT_GE(w.y(), 0.0f);
        EXPECT_LE(w.y(), size.second);
        EXPECT_GT(w.z(), 0.0f) << "in front of the near plane";
        EXPECT_LT(w.z(), 1.0f) << "behind the far plane";
      }
    }
  }
}

TEST(AdjustView, NothingDrawnLeavesTheCamera)
{
  vl::Rendering rendering;
  vl::SceneManager scene;
  rendering.setSceneManager(&scene);
  const QMatrix4x4 start = vl::Camera::lookAt(vl::fvec3(0, 10, 35), vl::fvec3(0, 0, 0), vl::fvec3(0, 1, 0));
  rendering.camera()->setViewMatrix(start);
  vl::TrackballManipulator().adjustView(&rendering, vl::fvec3(0, 0, 1), vl::fvec3(0, 1, 0), 1.0f);
  EXPECT_EQ(rendering.camera()->viewMatrix(), start);
}

TEST(Camera, RayThroughAProjectedPointHitsIt)
{
  vl::Camera camera = cameraOfSize(640, 400);
  camera.setViewMatrix(vl::Camera::lookAt(vl::fvec3(3, 4, 20), vl::fvec3(1, 0, 0), vl::fvec3(0, 1, 0)));
  camera.setSceneSphere(vl::fvec3(1, 0, 0), 5);
  const vl::fvec3 target(2.5f, -1.5f, 1.0f);
  const QVector3D w = camera.project(target);
  // project() counts y down from the top, computeRay() up from the bottom.
  const vl::Ray ray = camera.computeRay(static_cast<int>(std::lround(w.x())), 400 - static_cast<int>(std::lround(w.y())));
  const vl::fvec3 toTarget = target - ray.origin;
  const float along = toTarget.x * ray.direction.x + toTarget.y * ray.direction.y + toTarget.z * ray.direction.z;
  const vl::fvec3 closest = ray.origin + ray.direction * along;
  EXPECT_NEAR(ray.direction.length(), 1.0f, 1e-5f);
  EXPECT_LT(distance(closest, target), 0.05f); // within a pixel's width at that depth
  EXPECT_GT(along, 0.0f);
}

TEST(Camera, NearAndFarEncloseTheSceneWhereverTheEyeIs)
{
  vl::Camera camera = cameraOfSize(512, 512);
  camera.setSceneSphere(vl::fvec3(0, 0, 0), 10);
  float n = 0, f = 0;
  camera.setViewMatrix(vl::Camera::lookAt(vl::fvec3(0, 0, 30), vl::fvec3(0, 0, 0), vl::fvec3(0, 1, 0)));
  ASSERT_TRUE(camera.nearFar(n, f));
  EXPECT_LT(n, 20.0f);
  EXPECT_GT(n, 0.0f);
  EXPECT_GT(f, 40.0f);
  camera.setViewMatrix(vl::Camera::lookAt(vl::fvec3(0, 0, 2), vl::fvec3(0, 0, 0), vl::fvec3(0, 1, 0)));
  ASSERT_TRUE(camera.nearFar(n, f)); // eye inside the scene
  EXPECT_GT(n, 0.0f);
  EXPECT_GT(f, 12.0f);
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
  trackball.fitView(camera, vl::fvec3(-1, -1, -1), vl::fvec3(1, 1, 1), vl::fvec3(0, 0, 1), vl::fvec3(0, 1, 0), 1.0f);
  const float d0 = distance(camera->eye(), trackball.pivot());

  // Left: turns about the pivot; the pivot stays put and so does the distance,
  // and a point in front of the pivot moves the way the mouse went.
  const vl::fvec3 front(0, 0, 1);
  const float frontX = camera->project(front).x();
  trackball.mouseDownEvent(vl::LeftButton, 200, 200);
  trackball.mouseMoveEvent(260, 200);
  trackball.mouseUpEvent(vl::LeftButton, 260, 200);
  EXPECT_NEAR(camera->project(trackball.pivot()).x(), 200.0f, 0.01f);
  EXPECT_NEAR(distance(camera->eye(), trackball.pivot()), d0, 1e-3f);
  EXPECT_GT(camera->project(front).x(), frontX + 10.0f);

  // Released: moving the mouse changes nothing.
  const QMatrix4x4 afterRotate = camera->viewMatrix();
  trackball.mouseMoveEvent(10, 10);
  EXPECT_EQ(camera->viewMatrix(), afterRotate);

  // Middle: the pivot follows the mouse pixel for pixel.
  trackball.mouseDownEvent(vl::MiddleButton, 200, 200);
  trackball.mouseMoveEvent(230, 180);
  trackball.mouseUpEvent(vl::MiddleButton, 230, 180);
  const QVector3D moved = camera->project(trackball.pivot());
  EXPECT_NEAR(moved.x(), 230.0f, 0.05f);
  EXPECT_NEAR(moved.y(), 180.0f, 0.05f);

  // Right: dragging down comes closer, up goes away; the wheel forward comes closer.
  const float d1 = distance(camera->eye(), trackball.pivot());
  trackball.mouseDownEvent(vl::RightButton, 200, 200);
  trackball.mouseMoveEvent(200, 260);
  const float d2 = distance(camera->eye(), trackball.pivot());
  EXPECT_LT(d2, d1);
  trackball.mouseMoveEvent(200, 100);
  trackball.mouseUpEvent(vl::RightButton, 200, 100);
  EXPECT_GT(distance(camera->eye(), trackball.pivot()), d2);
  // The wheel scales the pivot's depth: 0.9 per notch forward.
  auto depth = [&] { return -camera->viewMatrix().map(QVector3D(0, 0, 0)).z(); };
  const float z3 = depth();
  trackball.mouseWheelEvent(3);
  EXPECT_NEAR(depth(), z3 * std::pow(0.9f, 3.0f), 1e-3f);
  trackball.mouseWheelEvent(-3);
  EXPECT_NEAR(depth(), z3, 1e-3f);
}

// ---- keys, buttons and dispatch ----

TEST(Keys, QtKeysMapToTheApplicationsKeys)
{
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_B), vl::Key_B);
  EXPECT_EQ(vlQt5::translateKey('b'), vl::Key_B); // either case
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_C), vl::Key_C);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_H), vl::Key_H);
  EXPECT_EQ(vlQt5::translateKey('h'), vl::Key_H);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_A), 11);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_Z), 36);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_0), vl::Key_0);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_9), vl::Key_9);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_Left), 87);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_Right), 88);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_Up), 89);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_Down), 90);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_F1), vl::Key_F1);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_F3), 93);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_F4), 94);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_F12), vl::Key_F12);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_Escape), vl::Key_Escape);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_Enter), vl::Key_Return);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_F13), vl::Key_Unknown);
  EXPECT_EQ(vlQt5::translateKey(Qt::Key_Shift), vl::Key_Unknown);
  EXPECT_EQ(vlQt5::translateButton(Qt::LeftButton), 1);
  EXPECT_EQ(vlQt5::translateButton(Qt::RightButton), 2);
  EXPECT_EQ(vlQt5::translateButton(Qt::MiddleButton), 4);
  EXPECT_EQ(vlQt5::translateButton(Qt::BackButton), vl::UnknownButton);
}

namespace {

class FakeContext : public vl::OpenGLContext {
public:
  struct FB : vl::Framebuffer {
    int width() const override { return 320; }
    int height() const override { return 200; }
  } fb;
  int updates = 0, quits = 0;
  vl::Framebuffer* framebuffer() override { return &fb; }
  void makeCurrent() override {}
  void doneCurrent() override {}
  void update() override { ++updates; }
  void setSize(int, int) override {}
  void quitApplication() override { ++quits; }
  bool isInitialized() const override { return false; }
  using vl::OpenGLContext::dispatchKeyReleaseEvent;
  using vl::OpenGLContext::dispatchMouseDownEvent;
  using vl::OpenGLContext::dispatchMouseMoveEvent;
  using vl::OpenGLContext::dispatchMouseUpEvent;
};

class RecordingApplet : public vl::Applet {
public:
  std::vector<std::string> events;
  void mouseDownEvent(vl::EMouseButton b, int x, int y) override
  {
    events.push_back("down " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y));
  }
  void addedListenerEvent(vl::OpenGLContext* c) override
  {
    events.push_back("added");
    vl::Applet::addedListenerEvent(c);
  }
};

} // namespace

TEST(Dispatch, ListenersTheirTrackballsAndEscape)
{
  FakeContext context;
  RecordingApplet applet;
  applet.initialize();
  context.addEventListener(&applet);
  context.addEventListener(&applet); // once is enough
  EXPECT_EQ(context.eventListeners().size(), 1u);
  EXPECT_EQ(applet.openglContext(), &context);
  EXPECT_EQ(applet.rendering()->camera()->viewport()->width(), 320);

  // A drag reaches the applet and moves the camera through its trackball,
  // which asks the window for a redraw.
  applet.trackball()->fitView(applet.rendering()->camera(), vl::fvec3(-1, -1, -1), vl::fvec3(1, 1, 1),
                              vl::fvec3(0, 0, 1), vl::fvec3(0, 1, 0), 1.0f);
  const QMatrix4x4 before = applet.rendering()->camera()->viewMatrix();
  context.dispatchMouseDownEvent(vl::LeftButton, 100, 100);
  context.dispatchMouseMoveEvent(140, 100);
  context.dispatchMouseUpEvent(vl::LeftButton, 140, 100);
  EXPECT_EQ(applet.events, (std::vector<std::string>{"added", "down 1 100,100"}));
  EXPECT_NE(applet.rendering()->camera()->viewMatrix(), before);
  EXPECT_GE(context.updates, 1);

  context.dispatchKeyReleaseEvent(0, vl::Key_Q);
  EXPECT_EQ(context.quits, 0);
  context.dispatchKeyReleaseEvent(27, vl::Key_Escape);
  EXPECT_EQ(context.quits, 1);

  context.removeEventListener(&applet);
  EXPECT_EQ(applet.openglContext(), nullptr);
  EXPECT_TRUE(context.eventListeners().empty());
}

// ---- one frame off screen ----

namespace {
void renderOverlayFrame();
}

TEST(Rendering, ClearColourAndOverlayIntoTheBoundFramebuffer)
{
  auto& gl = orbisk_test::GLEnvironment::instance();
  if (!gl.problem().empty())
    GTEST_SKIP() << gl.problem();
  // A context of this test's own: the overlay's painter leaves glyph caches
  // on it, which must go while the X server is still there.
  {
    QOpenGLContext context;
    context.setFormat(gl.context()->format());
    ASSERT_TRUE(context.create());
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    ASSERT_TRUE(context.makeCurrent(&surface));
    renderOverlayFrame();
    context.doneCurrent();
  }
  gl.makeCurrent();
}

namespace {

void renderOverlayFrame()
{

  vl::Rendering rendering;
  vl::SceneManager scene;
  rendering.setSceneManager(&scene);
  rendering.camera()->viewport()->setClearColor(vl::fvec4(0.0f, 0.0f, 1.0f, 1.0f));
  auto text = vl::make_ref<vl::Text>();
  text->setText("Drop a file inside the window.");
  text->setFont(vl::defFontManager()->acquireFont("VeraMono.ttf", 10, false));
  text->setAlignment(vl::AlignHCenter | vl::AlignTop);
  text->setViewportAlignment(vl::AlignHCenter | vl::AlignTop);
  text->setTextAlignment(vl::TextAlignCenter);
  text->translate(0, -5, 0);
  text->setColor(vl::white);
  scene.addText(text);

  // A size other than the window's, as the capture uses.
  orbisk_test::OffscreenTarget target(700, 90);
  ASSERT_TRUE(target.valid());
  target.begin(1, 0, 0);
  rendering.render(700, 90);
  const QImage img = target.image();

  int white = 0, whiteOffCentre = 0, whiteTooHigh = 0, blue = 0;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      const QColor c = img.pixelColor(x, y);
      const bool isWhite = c.red() > 200 && c.green() > 200 && c.blue() > 200;
      white += isWhite;
      whiteOffCentre += isWhite && (x < 200 || x >= 500);
      whiteTooHigh += isWhite && (y < 5 || y > 25);
      blue += c.red() == 0 && c.green() == 0 && c.blue() == 255;
    }
  }
  EXPECT_GT(white, 100);
  EXPECT_EQ(whiteOffCentre, 0);
  EXPECT_EQ(whiteTooHigh, 0);
  EXPECT_GT(blue, 700 * 90 * 9 / 10);
  EXPECT_FALSE(text->font()->path().empty()) << "VeraMono.ttf from the build tree's data directory";
}

} // namespace
