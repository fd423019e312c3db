#include "view/capture.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <QFile>
#include <QImageWriter>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>

#include "view/rendering.h"

namespace vl {

namespace {

void setError(std::string* error, const std::string& text)
{
  if (error)
    *error = text;
}

// The depth renderbuffer of the capture.
class DepthBuffer {
public:
  DepthBuffer(QOpenGLFunctions* gl, int w, int h, GLenum format) : mGl(gl)
  {
    mGl->glGenRenderbuffers(1, &mId);
    mGl->glBindRenderbuffer(GL_RENDERBUFFER, mId);
    mGl->glRenderbufferStorage(GL_RENDERBUFFER, format, w, h);
    mGl->glBindRenderbuffer(GL_RENDERBUFFER, 0);
  }
  ~DepthBuffer() { mGl->glDeleteRenderbuffers(1, &mId); }
  DepthBuffer(const DepthBuffer&) = delete;
  DepthBuffer& operator=(const DepthBuffer&) = delete;
  GLuint id() const { return mId; }

private:
  QOpenGLFunctions* mGl;
  GLuint mId = 0;
};

// Rebinds the framebuffer that was bound on entry, whichever way we leave.
class FramebufferRestore {
public:
  explicit FramebufferRestore(QOpenGLFunctions* gl) : mGl(gl)
  {
    GLint id = 0;
    mGl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &id);
    mId = static_cast<GLuint>(id);
    mGl->glGetIntegerv(GL_VIEWPORT, mViewport);
  }
  ~FramebufferRestore()
  {
    mGl->glBindFramebuffer(GL_FRAMEBUFFER, mId);
    mGl->glViewport(mViewport[0], mViewport[1], mViewport[2], mViewport[3]);
  }
  FramebufferRestore(const FramebufferRestore&) = delete;
  FramebufferRestore& operator=(const FramebufferRestore&) = delete;

private:
  QOpenGLFunctions* mGl;
  GLuint mId = 0;
  GLint mViewport[4] = {0, 0, 0, 0};
};

// The image's own buffer. It is large and filled once, so ask for huge
// pages: first-touch page faults otherwise cost more than the read-back
// itself (a quarter of a second for 60 MB on some virtual machines).
QImage allocateImage(int width, int height, QImage::Format format)
{
  const size_t bytesPerPixel = format == QImage::Format_RGB888 ? 3 : 4;
  const size_t bytesPerLine = (static_cast<size_t>(width) * bytesPerPixel + 3) & ~static_cast<size_t>(3);
  constexpr size_t kHugePage = size_t(2) << 20;
  const size_t bytes = (bytesPerLine * static_cast<size_t>(height) + kHugePage - 1) / kHugePage * kHugePage;
  void* data = std::aligned_alloc(kHugePage, bytes);
  if (!data)
    return QImage();
#ifdef MADV_HUGEPAGE
  madvise(data, bytes, MADV_HUGEPAGE);
#endif
  return QImage(
      static_cast<uchar*>(data), width, height, static_cast<int>(bytesPerLine), format, [](void* p) { std::free(p); },
      data);
}

void flipRows(QImage& image)
{
  const int h = image.height();
  const size_t bytes = static_cast<size_t>(image.bytesPerLine());
  std::vector<uchar> tmp(bytes);
  for (int top = 0, bottom = h - 1; top < bottom; ++top, --bottom) {
    uchar* a = image.scanLine(top);
    uchar* b = image.scanLine(bottom);
    std::memcpy(tmp.data(), a, bytes);
    std::memcpy(a, b, bytes);
    std::memcpy(b, tmp.data(), bytes);
  }
}

} // namespace

QImage renderOffscreen(Rendering* rendering, int width, int height, std::string* error)
{
  QOpenGLContext* ctx = QOpenGLContext::currentContext();
  if (!rendering || !ctx) {
    setError(error, "no current OpenGL context");
    return QImage();
  }
  if (width <= 0 || height <= 0) {
    setError(error, "empty image size");
    return QImage();
  }
  QOpenGLFunctions* gl = ctx->functions();
  GLint maxSize = 0;
  gl->glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
  if (width > maxSize || height > maxSize) {
    setError(error, "the OpenGL driver cannot render " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels off-screen (at most " + std::to_string(maxSize) + ")");
    return QImage();
  }

  // An opaque background makes every pixel opaque: no alpha channel then,
  // a quarter less to read back and to compress.
  const bool opaque = rendering->camera()->viewport()->clearColor().a >= 1.0f;
  // Allocate the result first: if the memory is not there, nothing is drawn.
  QImage image = allocateImage(width, height, opaque ? QImage::Format_RGB888 : QImage::Format_RGBA8888);
  if (image.isNull()) {
    setError(error, "not enough memory for a " + std::to_string(width) + " x " + std::to_string(height) + " image");
    return QImage();
  }

  FramebufferRestore restore(gl);
  while (gl->glGetError() != GL_NO_ERROR) {
  }

  QOpenGLFramebufferObjectFormat format;
  format.setAttachment(QOpenGLFramebufferObject::NoAttachment);
  format.setInternalTextureFormat(GL_RGBA8);
  QOpenGLFramebufferObject fbo(width, height, format);
  if (!fbo.isValid() || !fbo.bind()) {
    setError(error, "the off-screen framebuffer could not be created");
    return QImage();
  }
  if (gl->glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE || gl->glGetError() != GL_NO_ERROR) {
    setError(error, "the off-screen framebuffer is incomplete (out of video memory?)");
    return QImage();
  }
  // Drawn at twice the size and averaged down, which smooths every edge;
  // where the driver cannot take even a small tile of that, drawn as the
  // window draws, straight at this size.
  std::unique_ptr<DepthBuffer> depth;
  if (!rendering->renderSupersampled(width, height)) {
    fbo.bind();
    depth = std::make_unique<DepthBuffer>(gl, width, height, rendering->camera()->depthFormat());
    gl->glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth->id());
    if (gl->glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE || gl->glGetError() != GL_NO_ERROR) {
      setError(error, "the off-screen framebuffer is incomplete (out of video memory?)");
      return QImage();
    }
    rendering->render(width, height);
  }

  // Read from ours, whatever the drawing left bound.
  fbo.bind();
  gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
  if (!ctx->isOpenGLES())
    ctx->extraFunctions()->glReadBuffer(GL_COLOR_ATTACHMENT0);
  gl->glReadPixels(0, 0, width, height, opaque ? GL_RGB : GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
  if (gl->glGetError() != GL_NO_ERROR) {
    setError(error, "the off-screen image could not be read back");
    return QImage();
  }
  // OpenGL rows run bottom-up.
  flipRows(image);
  return image;
}

bool writePng(const QImage& image, const std::string& fileName, std::string* error)
{
  // The name is used as the bytes it came with: a name that is not valid
  // UTF-8 must not be turned into another file's name by a text conversion.
  // The image goes to a temporary file beside the target and is renamed over
  // it at the end, so a failed or partial write leaves the previous file.
  const size_t slash = fileName.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : fileName.substr(0, slash + 1);
  std::string temp =
      dir + (slash == std::string::npos ? "/" : "") + ".orbisk-capture-" + std::to_string(::getpid()) + ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    // In a folder we may not create files in, an existing image we may write
    // is still replaced, in place.
    temp.clear();
    fd = ::open(fileName.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  }
  if (fd < 0) {
    setError(error, std::strerror(errno));
    return false;
  }
  bool ok;
  {
    QFile file;
    file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
    QImageWriter writer(&file, "png");
    // Quality maps to zlib's level: 80 is level 1, the fastest that still
    // compresses; the encoder dominates the capture's time.
    writer.setQuality(80);
    ok = writer.write(image) && file.flush();
    if (!ok)
      setError(error, (file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString()).toStdString());
  }
  if (::close(fd) != 0 && ok) {
    setError(error, std::strerror(errno));
    ok = false;
  }
  if (!temp.empty()) {
    if (ok && ::rename(temp.c_str(), fileName.c_str()) != 0) {
      setError(error, std::strerror(errno));
      ok = false;
    }
    if (!ok)
      ::unlink(temp.c_str());
  }
  return ok;
}

bool captureToPng(Rendering* rendering, int width, int height, const std::string& fileName, std::string* error)
{
  QImage image = renderOffscreen(rendering, width, height, error);
  if (image.isNull())
    return false;
  return writePng(image, fileName, error);
}

} // namespace vl
