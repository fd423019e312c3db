#pragma once
// Off-screen OpenGL for tests and benchmarks: a Qt application, a 3.3 core context on an offscreen surface,
// and framebuffer objects to draw into. Mesa needs an X server for a desktop GL context, so without a
// usable DISPLAY a private Xvfb is started (and dies with this process).
#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QSurfaceFormat>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orbisk_test {

class GLEnvironment {
public:
  static GLEnvironment& instance() { static GLEnvironment env; return env; }

  // Empty when a context is ready, otherwise why not.
  const std::string& problem() const { return mProblem; }
  QOpenGLContext* context() const { return mContext; }
  bool makeCurrent() { return mContext && mContext->makeCurrent(mSurface); }

private:
  // The Qt objects are never deleted: the destructor runs during static
  // destruction, after parts of Qt are gone, and only stops the X server.
  GLEnvironment()
  {
    if (!QGuiApplication::instance()) {
      if (!displayUsable() && !startXvfb())
        return;
      static int argc = 1;
      static char name[] = "orbisk-gl-test";
      static char* argv[] = {name, nullptr};
      new QGuiApplication(argc, argv);
    }
    QSurfaceFormat format;
    format.setVersion(3, 3), format.setProfile(QSurfaceFormat::CoreProfile), format.setDepthBufferSize(24);
    mContext = new QOpenGLContext;
    mContext->setFormat(format);
    if (!mContext->create()) {
      mProblem = "no OpenGL 3.3 context could be created", mContext = nullptr;
      return;
    }
    mSurface = new QOffscreenSurface;
    mSurface->setFormat(mContext->format()), mSurface->create();
    if (!makeCurrent())
      mProblem = "the OpenGL context cannot be made current", mContext = nullptr;
  }

  ~GLEnvironment()
  {
    if (mContext)
      mContext->doneCurrent();
    if (mXvfb > 0 && kill(mXvfb, SIGTERM) == 0)
      waitpid(mXvfb, nullptr, 0);
  }

  // A local display whose socket exists; Qt aborts on one it cannot reach.
  static bool displayUsable()
  {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && std::string(platform) != "xcb" && std::string(platform) != "offscreen")
      return true; // the caller chose something else; let Qt try it
    const char* display = std::getenv("DISPLAY");
    const std::string number = display && display[0] == ':' ? display + 1 : "";
    struct stat st;
    return !number.empty() && stat(("/tmp/.X11-unix/X" + number.substr(0, number.find('.'))).c_str(), &st) == 0;
  }

  bool startXvfb()
  {
    int fds[2];
    if (pipe(fds) != 0)
      return mProblem = "no DISPLAY and no pipe to start Xvfb", false;
    mXvfb = fork();
    if (mXvfb == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      close(fds[0]);
      const int devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, 1), dup2(devnull, 2);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number; // Xvfb writes its display number once it listens
    for (char c; mXvfb > 0 && read(fds[0], &c, 1) == 1 && c != '\n';)
      number += c;
    close(fds[0]);
    if (number.empty())
      return mProblem = "no DISPLAY and Xvfb did not start (is it installed?)", false;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    unsetenv("QT_QPA_PLATFORM");
    return true;
  }

  std::string mProblem;
  pid_t mXvfb = -1;
  QOpenGLContext* mContext = nullptr;
  QOffscreenSurface* mSurface = nullptr;
};

// A colour + depth target of a fixed size, bound while drawing.
class OffscreenTarget {
public:
  OffscreenTarget(int w, int h) : mWidth(w), mHeight(h)
  {
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::Depth);
    mFbo = std::make_unique<QOpenGLFramebufferObject>(w, h, format);
  }
  bool valid() const { return mFbo && mFbo->isValid(); }
  // Binds, sets the viewport and clears to the colour given.
  void begin(float r = 0, float g = 0, float b = 0)
  {
    mFbo->bind();
    auto* f = QOpenGLContext::currentContext()->extraFunctions();
    f->glViewport(0, 0, mWidth, mHeight), f->glClearColor(r, g, b, 1.0f), f->glClearDepthf(1.0f);
    f->glDepthMask(GL_TRUE), f->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  // The picture, top row first.
  QImage image() const { return mFbo->toImage(true).convertToFormat(QImage::Format_RGB32); }

private:
  int mWidth, mHeight;
  std::unique_ptr<QOpenGLFramebufferObject> mFbo;
};

} // namespace orbisk_test
