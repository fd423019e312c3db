#pragma once
// The viewer's window: a Qt OpenGL widget that delivers its events to the
// listening applets (and their trackballs) and draws only when asked to.
#include <memory>
#include <string>

#include <QOpenGLWidget>

#include "view/openglcontext.h"

class QOpenGLContext;

namespace vlQt5 {

class Qt5Widget : public QOpenGLWidget, public vl::OpenGLContext {
  Q_OBJECT
public:
  explicit Qt5Widget(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
  ~Qt5Widget() override;

  // Sets the format (an OpenGL 3.3 core profile with the buffers asked for),
  // the title, position and size.
  bool initQt5Widget(const vl::String& title, const vl::OpenGLContextFormat& format, int x = 0, int y = 0,
                     int width = 640, int height = 480);
  // Shows the window, full screen when the format asks for it.
  void show();

  vl::Framebuffer* framebuffer() override;
  void makeCurrent() override { QOpenGLWidget::makeCurrent(); }
  void doneCurrent() override { QOpenGLWidget::doneCurrent(); }
  using QOpenGLWidget::update;
  void update() override { QOpenGLWidget::update(); }
  void setSize(int w, int h) override { resize(w, h); }
  void quitApplication() override;
  bool isInitialized() const override { return mInitialized; }
  float devicePixelRatio() const override { return static_cast<float>(devicePixelRatioF()); }

  // Once shown: empty when the window has an OpenGL 3.3 (or later) context,
  // otherwise what is wrong.
  std::string contextProblem() const;

protected:
  void initializeGL() override;
  void resizeGL(int w, int h) override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent* ev) override;
  void mouseReleaseEvent(QMouseEvent* ev) override;
  void mouseMoveEvent(QMouseEvent* ev) override;
  void wheelEvent(QWheelEvent* ev) override;
  void keyPressEvent(QKeyEvent* ev) override;
  void keyReleaseEvent(QKeyEvent* ev) override;
  void dragEnterEvent(QDragEnterEvent* ev) override;
  void dragMoveEvent(QDragMoveEvent* ev) override;
  void dropEvent(QDropEvent* ev) override;

private:
  class WidgetFramebuffer;
  void releaseContext();
  template <class F> void guarded(F&& dispatch);

  std::unique_ptr<WidgetFramebuffer> mFramebuffer;
  vl::OpenGLContextFormat mFormat;
  bool mInitialized = false;
  int mWheelRemainder = 0; // eighths of a degree not yet turned into notches
};

// Qt key code -> the applet's key; letters of either case give the same key.
vl::EKey translateKey(int qtKey);
vl::EMouseButton translateButton(Qt::MouseButton button);

} // namespace vlQt5
