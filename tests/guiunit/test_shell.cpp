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

  // Nothing found, or not a file.
  fs::create_directories(build.path() + "/Dir.ttf");
  for (const char* name : {"Missing.ttf", "Dir.ttf", "", "some/dir/"})
    EXPECT_EQ(vl::resolveFontPath(name, dirs), "") << name;
}

TEST(FontLookup, MissingFontFallsBackToTheSystemsMonospacedFont)
{
  auto& gl = orbisk_test::GLEnvironment::instance(); // for the Qt application
  if (!gl.problem().empty())
    GTEST_SKIP() << gl.problem();
  testing::internal::CaptureStdout();
  const auto font = vl::defFontManager()->acquireFont("no/such/Font-4711.ttf", 10, false);
  const auto again = vl::defFontManager()->acquireFont("no/such/Font-4711.ttf", 10, false);
  const std::string text = testing::internal::GetCapturedStdout();

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
  const float halfY = 30.0f * kPi / 180.0f;
  const struct {
    int w, h;
    float eyeZ;
  } cases[] = {{512, 512, 3.0f / std::sin(halfY)},
               {1000, 500, 6.0f},                                          // the vertical angle is the smaller
               {300, 600, 3.0f / std::sin(std::atan(std::tan(halfY) * 0.5f))}}; // the horizontal one
  vl::TrackballManipulator trackball;
  for (const auto& c : cases) {
    vl::Camera camera = cameraOfSize(c.w, c.h);
    trackball.fitView(&camera, mn, mx, vl::fvec3(0, 0, 1), vl::fvec3(0, 1, 0), 1.0f);
    EXPECT_NEAR(camera.eye().z, c.eyeZ, 1e-3f) << c.w << " x " << c.h;
    EXPECT_NEAR(camera.eye().x, 0.0f, 1e-5f);
    EXPECT_EQ(trackball.pivot(), vl::fvec3(0, 0, 0));
  }

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

TEST(Keys, QtKeysAndButtonsMapToTheApplications)
{
  const std::pair<int, vl::EKey> keys[] = {
      {Qt::Key_B, vl::Key_B},         {'b', vl::Key_B},           {Qt::Key_H, vl::Key_H},
      {'h', vl::Key_H},               {Qt::Key_C, vl::Key_C},     {Qt::Key_0, vl::Key_0},
      {Qt::Key_9, vl::Key_9},         {Qt::Key_Left, vl::Key_Left}, {Qt::Key_Right, vl::Key_Right},
      {Qt::Key_Up, vl::Key_Up},       {Qt::Key_Down, vl::Key_Down}, {Qt::Key_F1, vl::Key_F1},
      {Qt::Key_F3, vl::Key_F3},       {Qt::Key_F4, vl::Key_F4},   {Qt::Key_F12, vl::Key_F12},
      {Qt::Key_Escape, vl::Key_Escape}, {Qt::Key_Enter, vl::Key_Return}, {Qt::Key_F13, vl::Key_Unknown},
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
  float devicePixelRatio() const override { return ratio; }
  float ratio = 1.0f;
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

TEST(Dispatch, WindowPixelsScaleToFramebufferPixels)
{
  FakeContext context;
  const struct {
    float ratio;
    int window, framebuffer;
  } cases[] = {{1.0f, 137, 137}, {2.0f, 137, 274}, {1.5f, 137, 206}, {1.25f, 3, 4}, {1.5f, 0, 0}};
  for (const auto& c : cases) {
    context.ratio = c.ratio;
    EXPECT_EQ(vl::toFramebufferPixels(&context, c.window), c.framebuffer) << c.ratio << " x " << c.window;
  }
  EXPECT_EQ(vl::toFramebufferPixels(nullptr, 137), 137);
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
