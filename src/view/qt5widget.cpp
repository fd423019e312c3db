#include "view/qt5widget.h"

#include <cmath>
#include <exception>

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QScreen>
#include <QSurfaceFormat>
#include <QUrl>
#include <QWheelEvent>

#include "core/model/log.h"
#include "view/visualizationlibrary.h"

namespace vlQt5 {

class Qt5Widget::WidgetFramebuffer : public vl::Framebuffer {
public:
  explicit WidgetFramebuffer(const QWidget* widget) : mWidget(widget) {}
  int width() const override { return static_cast<int>(std::lround(mWidget->width() * mWidget->devicePixelRatioF())); }
  int height() const override
  {
    return static_cast<int>(std::lround(mWidget->height() * mWidget->devicePixelRatioF()));
  }

private:
  const QWidget* mWidget;
};

vl::EKey translateKey(int qtKey)
{
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
    return static_cast<vl::EKey>(vl::Key_A + (qtKey - Qt::Key_A));
  if (qtKey >= 'a' && qtKey <= 'z')
    return static_cast<vl::EKey>(vl::Key_A + (qtKey - 'a'));
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
    return static_cast<vl::EKey>(vl::Key_0 + (qtKey - Qt::Key_0));
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
    return static_cast<vl::EKey>(vl::Key_F1 + (qtKey - Qt::Key_F1));
  switch (qtKey) {
  case Qt::Key_Left:
    return vl::Key_Left;
  case Qt::Key_Right:
    return vl::Key_Right;
  case Qt::Key_Up:
    return vl::Key_Up;
  case Qt::Key_Down:
    return vl::Key_Down;
  case Qt::Key_Escape:
    return vl::Key_Escape;
  case Qt::Key_PageUp:
    return vl::Key_PageUp;
  case Qt::Key_PageDown:
    return vl::Key_PageDown;
  case Qt::Key_Plus:
  case Qt::Key_Equal: // + without Shift on most layouts
    return vl::Key_Plus;
  case Qt::Key_Minus:
    return vl::Key_Minus;
  case Qt::Key_Comma:
    return vl::Key_Comma;
  case Qt::Key_Period:
    return vl::Key_Period;
  case Qt::Key_BracketLeft:
    return vl::Key_BracketLeft;
  case Qt::Key_BracketRight:
    return vl::Key_BracketRight;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return vl::Key_Return;
  case Qt::Key_Backspace:
    return vl::Key_BackSpace;
  case Qt::Key_Tab:
    return vl::Key_Tab;
  case Qt::Key_Space:
    return vl::Key_Space;
  default:
    return vl::Key_Unknown;
  }
}

vl::EMouseButton translateButton(Qt::MouseButton button)
{
  switch (button) {
  case Qt::LeftButton:
    return vl::LeftButton;
  case Qt::RightButton:
    return vl::RightButton;
  case Qt::MiddleButton:
    return vl::MiddleButton;
  default:
    return vl::UnknownButton;
  }
}

Qt5Widget::Qt5Widget(QWidget* parent, Qt::WindowFlags flags)
    : QOpenGLWidget(parent, flags), mFramebuffer(std::make_unique<WidgetFramebuffer>(this))
{
  setAcceptDrops(true);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

Qt5Widget::~Qt5Widget()
{
  releaseContext();
}

void Qt5Widget::releaseContext()
{
  // The listeners free their GL objects while this context is still current.
  if (mInitialized) {
    QOpenGLWidget::makeCurrent();
    guarded([&] { dispatchDestroyEvent(); });
    guarded([&] { removeAllEventListeners(); });
    QOpenGLWidget::doneCurrent();
    mInitialized = false;
  } else {
    guarded([&] { removeAllEventListeners(); });
  }
}

template <class F> void Qt5Widget::guarded(F&& dispatch)
{
  // Exceptions must not cross Qt's event loop: report and carry on.
  try {
    dispatch();
  } catch (const std::exception& e) {
    vl::Log::print(std::string("ERROR: ") + e.what() + "\n");
  } catch (...) {
    vl::Log::print("ERROR: unknown exception\n");
  }
}

bool Qt5Widget::initQt5Widget(const vl::String& title, const vl::OpenGLContextFormat& format, int x, int y, int width,
                              int height)
{
  mFormat = format;
  QSurfaceFormat f;
  f.setRenderableType(QSurfaceFormat::OpenGL);
  f.setVersion(3, 3);
  f.setProfile(QSurfaceFormat::CoreProfile);
  f.setSwapBehavior(format.doubleBuffer() ? QSurfaceFormat::DoubleBuffer : QSurfaceFormat::SingleBuffer);
  f.setRedBufferSize(format.redBits());
  f.setGreenBufferSize(format.greenBits());
  f.setBlueBufferSize(format.blueBits());
  f.setAlphaBufferSize(format.alphaBits());
  f.setDepthBufferSize(format.depthBufferBits());
  f.setStencilBufferSize(format.stencilBufferBits());
  f.setSamples(format.multisample() ? 4 : 0); // four samples per pixel when asked for
  f.setSwapInterval(0);                       // frames come on demand: no waiting for the retrace
  setFormat(f);
  setWindowTitle(QString::fromStdString(title.toStdString()));
  move(x, y);
  resize(width, height);
  return true;
}

void Qt5Widget::show()
{
  if (mFormat.fullscreen()) {
    // Without a window manager nobody honours the full-screen request: take
    // the screen's size ourselves.
    if (QScreen* s = screen())
      setGeometry(s->geometry());
    QOpenGLWidget::showFullScreen();
  } else
    QOpenGLWidget::show();
}

std::string Qt5Widget::contextProblem() const
{
  if (!isValid() || !context())
    return "no OpenGL context could be created on this display";
  const QSurfaceFormat f = context()->format();
  if (f.version() < qMakePair(3, 3))
    return "OpenGL 3.3 is needed, the driver offers " + std::to_string(f.majorVersion()) + "." +
           std::to_string(f.minorVersion());
  return {};
}

vl::Framebuffer* Qt5Widget::framebuffer()
{
  return mFramebuffer.get();
}

void Qt5Widget::quitApplication()
{
  close();
  QCoreApplication::quit();
}

void Qt5Widget::initializeGL()
{
  mInitialized = true;
  vl::VisualizationLibrary::logOpenGLInfo();
  guarded([&] { dispatchResizeEvent(mFramebuffer->width(), mFramebuffer->height()); });
  guarded([&] { dispatchInitEvent(); });
}

void Qt5Widget::resizeGL(int, int)
{
  guarded([&] { dispatchResizeEvent(mFramebuffer->width(), mFramebuffer->height()); });
}

void Qt5Widget::paintGL()
{
  guarded([&] { dispatchUpdateEvent(); });
}

void Qt5Widget::mousePressEvent(QMouseEvent* ev)
{
  guarded([&] { dispatchMouseDownEvent(translateButton(ev->button()), ev->pos().x(), ev->pos().y()); });
}

void Qt5Widget::mouseReleaseEvent(QMouseEvent* ev)
{
  guarded([&] { dispatchMouseUpEvent(translateButton(ev->button()), ev->pos().x(), ev->pos().y()); });
}

void Qt5Widget::mouseMoveEvent(QMouseEvent* ev)
{
  guarded([&] { dispatchMouseMoveEvent(ev->pos().x(), ev->pos().y()); });
}

void Qt5Widget::wheelEvent(QWheelEvent* ev)
{
  // Touchpads send fractions of a notch: keep the remainder for later.
  mWheelRemainder += ev->angleDelta().y();
  const int n = mWheelRemainder / 120;
  mWheelRemainder -= n * 120;
  if (n != 0)
    guarded([&] { dispatchMouseWheelEvent(n); });
  ev->accept();
}

void Qt5Widget::keyPressEvent(QKeyEvent* ev)
{
  const unsigned short ch = ev->text().isEmpty() ? 0 : ev->text().at(0).unicode();
  guarded([&] { dispatchKeyPressEvent(ch, translateKey(ev->key())); });
}

void Qt5Widget::keyReleaseEvent(QKeyEvent* ev)
{
  // A held key repeats its press (stepping on), but acts on release once.
  if (ev->isAutoRepeat())
    return;
  const unsigned short ch = ev->text().isEmpty() ? 0 : ev->text().at(0).unicode();
  guarded([&] { dispatchKeyReleaseEvent(ch, translateKey(ev->key())); });
}

void Qt5Widget::dragEnterEvent(QDragEnterEvent* ev)
{
  if (ev->mimeData() && ev->mimeData()->hasUrls())
    ev->acceptProposedAction();
}

void Qt5Widget::dragMoveEvent(QDragMoveEvent* ev)
{
  if (ev->mimeData() && ev->mimeData()->hasUrls())
    ev->acceptProposedAction();
}

void Qt5Widget::dropEvent(QDropEvent* ev)
{
  if (!ev->mimeData())
    return;
  std::vector<vl::String> files;
  for (const QUrl& url : ev->mimeData()->urls())
    if (url.isLocalFile())
      files.emplace_back(QFile::encodeName(url.toLocalFile()).toStdString());
  if (files.empty())
    return;
  ev->acceptProposedAction();
  guarded([&] { dispatchFileDroppedEvent(files); });
}

} // namespace vlQt5
