// orbisk --render. The OpenGL context comes from EGL, never from a display
// server: Mesa's surfaceless platform where it is offered, else the default
// EGL display. Qt's own offscreen platform gets its contexts through GLX, so
// it needs X; the eglfs platform adopts a context made elsewhere, and with no
// device integration, no input and /dev/null for a framebuffer it needs
// nothing else. The viewer's own rendering then draws into a framebuffer
// object, as the window's F4 capture does.
#define EGL_NO_X11
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include "app/render.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QVariant>
#include <QtPlatformHeaders/QEGLNativeContext>

#include "app/molapp.h"
#include "core/chemistry/geometry.h"
#include "view/capture.h"
#include "view/rendering.h"
#include "view/scenemanager.h"
#include "view/trackball.h"

namespace {

// As the window: no framebuffer goes beyond this.
constexpr int kMaxSide = 16384;
const char* const kStyleNames[] = {"wireframe", "ballstick", "sticks", "spacefill"};

int fail(const std::string& line)
{
  std::cerr << line << std::endl;
  return 1;
}

bool hasExtension(const char* list, const char* name)
{
  const size_t n = std::strlen(name);
  for (const char* p = list; p && (p = std::strstr(p, name)) != nullptr; p += n)
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0'))
      return true;
  return false;
}

// Qt's platform talks about the screen it does not have (runtime folder,
// framebuffer queries, the software rasterizer): nothing the user asked about.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text)
{
  if (type == QtFatalMsg)
    std::cerr << "orbisk: " << text.toStdString() << std::endl;
}

// eglfs takes the terminal as a full-screen program would: it hides the text
// cursor until the application goes, and catches SIGINT, SIGTERM and SIGTSTP
// for an event loop this program never runs. An interrupt must still end it,
// with the cursor shown again as eglfs would show it.
void endOnSignal(int sig)
{
  static const char show[] = "\033[9;15]\033[?33h\033[?25h\033[?0c";
  for (const char* device : {"/dev/tty0", "/dev/tty", "/dev/console"}) {
    const int fd = ::open(device, O_RDWR | O_CLOEXEC);
    if (fd != -1) {
      const ssize_t written = ::write(fd, show, sizeof show);
      static_cast<void>(written);
      ::close(fd);
      break;
    }
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// The EGL display and context, the Qt application on eglfs, and Qt's
// context adopting ours. Torn down in the reverse order.
class OffscreenGL {
public:
  OffscreenGL() = default;
  OffscreenGL(const OffscreenGL&) = delete;
  OffscreenGL& operator=(const OffscreenGL&) = delete;
  ~OffscreenGL()
  {
    if (mQtContext)
      mQtContext->doneCurrent();
    mQtContext.reset();
    mSurface.reset();
    if (mContext != EGL_NO_CONTEXT)
      eglDestroyContext(mDisplay, mContext);
    mApp.reset(); // eglfs lets go of its display
    if (mDisplay != EGL_NO_DISPLAY)
      eglTerminate(mDisplay);
    eglReleaseThread();
  }

  // The display and the Qt application; "" when both are there.
  std::string open(int width, int height)
  {
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    const bool surfaceless =
        hasExtension(client, "EGL_MESA_platform_surfaceless") && hasExtension(client, "EGL_EXT_platform_base");
    EGLint major = 0, minor = 0;
    if (surfaceless) {
      auto getPlatformDisplay =
          reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
      if (getPlatformDisplay)
        mDisplay = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
      if (mDisplay != EGL_NO_DISPLAY && !eglInitialize(mDisplay, &major, &minor))
        mDisplay = EGL_NO_DISPLAY;
    }
    const bool usedSurfaceless = mDisplay != EGL_NO_DISPLAY;
    if (!usedSurfaceless) {
      mDisplay = eglGetDisplay(EGL_DEFAULT_DISPLAY);
      if (mDisplay != EGL_NO_DISPLAY && !eglInitialize(mDisplay, &major, &minor))
        mDisplay = EGL_NO_DISPLAY;
    }
    if (mDisplay == EGL_NO_DISPLAY)
      return "no EGL display (is Mesa's libEGL installed?)";

    // eglfs opens the default display: the same one, then. It aborts the
    // process when it cannot, which the display just opened rules out.
    if (usedSurfaceless)
      ::setenv("EGL_PLATFORM", "surfaceless", 1);
    ::setenv("QT_QPA_EGLFS_INTEGRATION", "none", 1);
    ::setenv("QT_QPA_EGLFS_FB", "/dev/null", 1);
    ::setenv("QT_QPA_EGLFS_DISABLE_INPUT", "1", 1);
    ::setenv("QT_QPA_EGLFS_HIDECURSOR", "1", 1);
    ::setenv("QT_QPA_ENABLE_TERMINAL_KEYBOARD", "1", 1);
    ::setenv("QT_QPA_EGLFS_WIDTH", std::to_string(width).c_str(), 1);
    ::setenv("QT_QPA_EGLFS_HEIGHT", std::to_string(height).c_str(), 1);
    ::setenv("QT_QPA_EGLFS_PHYSICAL_WIDTH", "400", 1);
    ::setenv("QT_QPA_EGLFS_PHYSICAL_HEIGHT", "300", 1);
    static int argc = 3;
    static char name[] = "orbisk", option[] = "-platform", platform[] = "eglfs";
    static char* argv[] = {name, option, platform, nullptr};
    const int caught[] = {SIGINT, SIGTERM, SIGTSTP, SIGCONT};
    struct sigaction before[4];
    for (int i = 0; i < 4; ++i)
      sigaction(caught[i], nullptr, &before[i]);
    mApp = std::make_unique<QGuiApplication>(argc, argv);
    for (int i = 0; i < 4; ++i) {
      const bool ends = (caught[i] == SIGINT || caught[i] == SIGTERM) && before[i].sa_handler != SIG_IGN;
      if (ends)
        std::signal(caught[i], endOnSignal);
      else
        sigaction(caught[i], &before[i], nullptr);
    }
    return {};
  }

  // A 3.3 core context, current; "" when it is.
  std::string makeCurrent()
  {
    if (!eglBindAPI(EGL_OPENGL_API))
      return "the EGL display offers no desktop OpenGL";
    // clang-format off
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_NONE};
    // clang-format on
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(mDisplay, configAttributes, &config, 1, &configs) || configs < 1)
      return "no EGL configuration for desktop OpenGL";
    // clang-format off
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    // clang-format on
    mContext = eglCreateContext(mDisplay, config, EGL_NO_CONTEXT, contextAttributes);
    if (mContext == EGL_NO_CONTEXT) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%04x", static_cast<unsigned>(eglGetError()));
      return std::string("no OpenGL 3.3 core context (EGL error ") + code + ")";
    }

    mQtContext = std::make_unique<QOpenGLContext>();
    mQtContext->setNativeHandle(QVariant::fromValue(QEGLNativeContext(mContext, mDisplay)));
    if (!mQtContext->create())
      return "Qt cannot take over the EGL context";
    // Surfaceless where EGL allows it, else a small pbuffer: drawing goes to a framebuffer object.
    mSurface = std::make_unique<QOffscreenSurface>();
    mSurface->setFormat(mQtContext->format());
    mSurface->create();
    if (!mQtContext->makeCurrent(mSurface.get()))
      return "the OpenGL context cannot be made current";
    const QSurfaceFormat format = mQtContext->format();
    if (format.version() < qMakePair(3, 3))
      return "OpenGL 3.3 is needed, the driver offers " + std::to_string(format.majorVersion()) + "." +
             std::to_string(format.minorVersion());
    return {};
  }

private:
  EGLDisplay mDisplay = EGL_NO_DISPLAY;
  EGLContext mContext = EGL_NO_CONTEXT;
  std::unique_ptr<QGuiApplication> mApp;
  std::unique_ptr<QOpenGLContext> mQtContext;
  std::unique_ptr<QOffscreenSurface> mSurface;
};

} // namespace

std::string ParseRenderOptions(const std::string& size, const std::string& style, const std::string& structure,
                               RenderRequest& request)
{
  const size_t x = size.find_first_of("xX");
  const std::string sides[2] = {size.substr(0, x), x == std::string::npos ? "" : size.substr(x + 1)};
  int values[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    const std::string& s = sides[i];
    if (!s.empty() && s.size() <= 5 && s.find_first_not_of("0123456789") == std::string::npos)
      values[i] = std::stoi(s);
    if (values[i] < 1 || values[i] > kMaxSide)
      return "Invalid size '" + size + "': use WxH, width and height between 1 and " + std::to_string(kMaxSide) +
             " pixels (such as 1600x1200)";
  }
  request.width = values[0];
  request.height = values[1];

  request.style = -1;
  for (int i = 0; i < 4; ++i)
    if (style == kStyleNames[i])
      request.style = i;
  if (request.style < 0)
    return "Invalid style '" + style + "': use wireframe, ballstick, sticks or spacefill";

  request.structure = 0;
  if (!structure.empty()) {
    const std::string digits = structure[0] == '-' ? structure.substr(1) : structure;
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(digits) == 0)
      return "Invalid structure '" + structure + "': use its number, 1 for the first, -1 for the last";
    request.structure = std::stoi(structure);
  }
  return {};
}

int RenderToPng(const RenderRequest& request)
{
  qInstallMessageHandler(quietQtMessages);
  OffscreenGL gl; // outlives the applet, whose texts hold fonts of its application
  std::string problem = gl.open(request.width, request.height);
  if (!problem.empty())
    return fail("Cannot render: " + problem);

  auto applet = vl::make_ref<MolApplet>();
  applet->initialize();
  applet->setInpFName(request.input);
  applet->setShowHydrogens(true);
  applet->setBackground(request.background);
  try {
    applet->loadFile(request.input);
  } catch (const std::exception& e) {
    return fail("Cannot read '" + request.input + "': " + e.what());
  }
  const int count = static_cast<int>(applet->molecules().size());
  if (count == 0)
    return fail("No structures found in '" + request.input + "'");
  const int index = request.structure > 0   ? request.structure - 1
                    : request.structure < 0 ? count + request.structure
                                            : count - 1;
  if (index < 0 || index >= count)
    return fail("Structure " + std::to_string(request.structure) + " is out of range: '" + request.input + "' holds " +
                std::to_string(count) + (count == 1 ? " structure" : " structures"));
  applet->showStructure(index, request.style);
  // A mode's arrows and an orbital's surfaces, as the window shows them.
  if (request.mode != 0) {
    problem = applet->showModeArrows(request.mode);
    if (!problem.empty())
      return fail(problem);
  }
  if (!request.orbital.empty()) {
    problem = applet->showOrbital(request.orbital, request.spin);
    if (!problem.empty())
      return fail(problem);
  }

  // Fitted as a load fits the window, to the whole picture: it has no plot band.
  vl::Rendering* rendering = applet->rendering();
  rendering->camera()->viewport()->setSize(request.width, request.height);
  rendering->camera()->setBottomInset(0.0f);
  vl::fvec3 direction(0, 0, 1), up(0, 1, 0);
  vl::fvec3 axes[3];
  if (request.orient && GeomPrincipalAxes(*applet->molecules()[static_cast<size_t>(index)], axes)) {
    direction = axes[2];
    up = axes[1];
  }
  applet->trackball()->adjustView(rendering, direction, up, 1.0f);

  problem = gl.makeCurrent();
  if (!problem.empty())
    return fail("Cannot render: " + problem);
  std::string error;
  const bool written = vl::captureToPng(rendering, request.width, request.height, request.output, &error);
  applet->sceneManager()->releaseGL();
  if (!written)
    return fail("Cannot write '" + request.output + "': " + error);
  return 0;
}
