#pragma once
// Off-screen OpenGL for tests and benchmarks: a Qt application, a 3.3 core
// context on an offscreen surface, and framebuffer objects to draw into.
// Mesa needs an X server for a desktop GL context, so without a usable
// DISPLAY a private Xvfb is started (and dies with this process).
#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QSurfaceFormat>

#include <csignal>
#include <cstdio>
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
  static GLEnvironment& instance()
  {
    static GLEnvironment env;
    return env;
  }

  // Empty when a context is ready, otherwise why not.
  const std::string& problem() const { return mProblem; }
  QOpenGLContext* context() const { return mContext.get(); }
  bool makeCurrent() { return mContext && mContext->makeCurrent(mSurface.get()); }

private:
  GLEnvironment()
  {
    if (!QGuiApplication::instance()) {
      if (!displayUsable() && !startXvfb())
        return;
      static int argc = 1;
      static char name[] = "orbisk-gl-test";
      static char* argv[] = {name, nullptr};
      mApp = std::make_unique<QGuiApplication>(argc, argv);
    }
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    mContext = std::make_unique<QOpenGLContext>();
    mContext->setFormat(format);
    if (!mContext->create()) {
      mProblem = "no OpenGL 3.3 context could be created";
      mContext.reset();
      return;
    }
    mSurface = std::make_unique<QOffscreenSurface>();
    mSurface->setFormat(mContext->format());
    mSurface->create();
    if (!makeCurrent()) {
      mProblem = "the OpenGL context cannot be made current";
      mContext.reset();
    }
  }

  // Runs during static destruction, after parts of Qt are gone: the Qt
  // objects are left to the process exit, only the X server is stopped.
  ~GLEnvironment()
  {
    if (mContext)
      mContext->doneCurrent();
    (void)mSurface.release(), (void)mContext.release(), (void)mApp.release();
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
    struct stat st;
    return display && display[0] == ':' &&
           stat(("/tmp/.X11-unix/X" + std::string(display + 1).substr(0, std::string(display + 1).find('.'))).c_str(),
                &st) == 0;
  }

  bool startXvfb()
  {
    int fds[2];
    if (pipe(fds) != 0)
      return fail("no DISPLAY and no pipe to start Xvfb");
    pid_t pid = fork();
    if (pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      close(fds[0]);
      const int devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, 1), dup2(devnull, 2);
      std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
      close(fds[0]);
      return fail("no DISPLAY and Xvfb could not be started");
    }
    mXvfb = pid;
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
      number += c;
    close(fds[0]);
    if (number.empty())
      return fail("no DISPLAY and Xvfb did not start (is it installed?)");
    setenv("DISPLAY", (":" + number).c_str(), 1);
    unsetenv("QT_QPA_PLATFORM");
    return true;
  }

  bool fail(const char* why)
  {
    mProblem = why;
    return false;
  }

  std::string mProblem;
  pid_t mXvfb = -1;
  std::unique_ptr<QGuiApplication> mApp;
  std::unique_ptr<QOpenGLContext> mContext;
  std::unique_ptr<QOffscreenSurface> mSurface;
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
    f->glViewport(0, 0, mWidth, mHeight);
    f->glClearColor(r, g, b, 1.0f);
    f->glClearDepthf(1.0f);
    f->glDepthMask(GL_TRUE);
    f->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  // The picture, top row first.
  QImage image() const { return mFbo->toImage(true).convertToFormat(QImage::Format_RGB32); }

private:
  int mWidth, mHeight;
  std::unique_ptr<QOpenGLFramebufferObject> mFbo;
};

} // namespace orbisk_test
