#include "view/rendering.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QVector4D>

#include "view/plot.h"
#include "view/postprocess.h"
#include "view/scenemanager.h"

namespace vl {

namespace {
constexpr float kPi = 3.14159265358979323846f;
QVector3D toQt(const fvec3& v)
{
  return QVector3D(v.x, v.y, v.z);
}
} // namespace

QMatrix4x4 Camera::lookAt(const fvec3& eye, const fvec3& centre, const fvec3& up)
{
  QMatrix4x4 m;
  m.lookAt(toQt(eye), toQt(centre), toQt(up));
  return m;
}

fvec3 Camera::eye() const
{
  const QVector3D e = mView.inverted().map(QVector3D(0, 0, 0));
  return fvec3(e.x(), e.y(), e.z());
}

float Camera::fovX(float aspect)
{
  const float halfY = kFieldOfView * 0.5f * kPi / 180.0f;
  return 2.0f * std::atan(std::tan(halfY) * aspect) * 180.0f / kPi;
}

void Camera::setSceneSphere(const fvec3& centre, float radius)
{
  mSceneCentre = centre;
  mSceneRadius = radius;
  mHasScene = true;
}

bool Camera::nearFar(float& zNear, float& zFar) const
{
  if (!mHasScene) {
    zNear = 0.1f;
    zFar = 1000.0f;
    return false;
  }
  // Just around the scene's sphere, seen from where the eye is now; when the
  // eye is inside it the near plane stays at a fixed fraction of the far one,
  // which 24 depth bits resolve well.
  const float d = (eye() - mSceneCentre).length();
  const float margin = std::max(mSceneRadius * 0.05f, 0.05f);
  zFar = d + mSceneRadius + margin;
  zNear = std::max(d - mSceneRadius - margin, zFar * 0.001f);
  return true;
}

// 16 bits resolve the fitted view (far / near about 3) to a ten-thousandth
// of the scene and cost half the memory; once the eye is inside the scene
// the near plane may drop to a thousandth of the far one, where 16-bit steps
// grow to a percent of the scene and far atoms would cut into each other.
unsigned Camera::depthFormat() const
{
  float zNear = 0, zFar = 0;
  nearFar(zNear, zFar);
  return zNear > 0 && zFar <= 10.0f * zNear ? GL_DEPTH_COMPONENT16 : GL_DEPTH_COMPONENT24;
}

float Camera::sceneAspect() const
{
  const float h = sceneHeight();
  return mViewport.width() > 0 && h > 0 ? static_cast<float>(mViewport.width()) / h : 1.0f;
}

QMatrix4x4 Camera::projectionMatrix(int w, int h, float inset) const
{
  const float sceneH = static_cast<float>(h) * (1.0f - inset);
  const float aspect = (w > 0 && sceneH > 0) ? static_cast<float>(w) / sceneH : 1.0f;
  float zNear = 0, zFar = 0;
  nearFar(zNear, zFar);
  QMatrix4x4 p;
  p.perspective(kFieldOfView, aspect, zNear, zFar);
  if (inset > 0) {
    // Squeeze the view into the part above the band: y from [-1, 1] to [-1 + 2 inset, 1].
    QMatrix4x4 band;
    band(1, 1) = 1.0f - inset;
    band(1, 3) = inset;
    p = band * p;
  }
  return p;
}

Ray Camera::computeRay(int x, int y) const
{
  const float w = static_cast<float>(std::max(1, mViewport.width()));
  const float h = static_cast<float>(std::max(1, mViewport.height()));
  const QMatrix4x4 inv = (projectionMatrix() * mView).inverted();
  const float nx = 2.0f * static_cast<float>(x) / w - 1.0f;
  const float ny = 2.0f * static_cast<float>(y) / h - 1.0f;
  QVector4D a = inv * QVector4D(nx, ny, -1.0f, 1.0f);
  QVector4D b = inv * QVector4D(nx, ny, 1.0f, 1.0f);
  const QVector3D pa = a.toVector3DAffine();
  const QVector3D dir = (b.toVector3DAffine() - pa).normalized();
  Ray ray;
  ray.origin = fvec3(pa.x(), pa.y(), pa.z());
  ray.direction = fvec3(dir.x(), dir.y(), dir.z());
  return ray;
}

QVector3D Camera::project(const fvec3& world) const
{
  const float w = static_cast<float>(mViewport.width());
  const float h = static_cast<float>(mViewport.height());
  const QVector4D clip = projectionMatrix() * mView * QVector4D(world.x, world.y, world.z, 1.0f);
  const QVector3D ndc = clip.toVector3DAffine();
  return QVector3D((ndc.x() + 1.0f) * 0.5f * w, (1.0f - ndc.y()) * 0.5f * h, ndc.z() * 0.5f + 0.5f);
}

namespace {
// How far the back of a drawing fades towards the background: enough to
// tell near from far in a crowded box, little enough to keep every colour.
constexpr float kDepthCue = 0.5f;
// How dark a fully enclosed atom gets: contacts and crevices read as depth.
constexpr float kOcclusion = 0.4f;
// The largest side of a supersampled tile, in samples.
constexpr int kTileEdge = 8192;
// The least step in depth, as a fraction of the distance, that outlines.
constexpr float kOutlineJump = 0.03f;
// Pixels around the projected box of the scene that may still differ from
// the background: the widest lines (64 pixels), the reach of the smoothing.
constexpr int kRectMargin = 48;
} // namespace

Rendering::Rendering() : mPost(std::make_unique<PostProcess>()) {}
Rendering::~Rendering() = default;

void Rendering::releaseGL()
{
  mPost->releaseGL();
}

fvec4 Rendering::outlineColor(const fvec4& background)
{
  // Black where it shows; on dark backgrounds, where black would vanish, a
  // grey a little lighter than the background: the lines still read as
  // shadows between atoms, not as glowing rims.
  const float luma = 0.299f * background.r + 0.587f * background.g + 0.114f * background.b;
  const float grey = luma >= 0.35f ? 0.0f : luma + 0.3f;
  return fvec4(grey, grey, grey, 1.0f);
}

void Rendering::clear(int width, int height)
{
  QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
  // Whatever drew last (the overlay, Qt's compositing) may have left any of these set.
  gl->glViewport(0, 0, width, height);
  gl->glDisable(GL_SCISSOR_TEST);
  gl->glDisable(GL_STENCIL_TEST);
  gl->glDisable(GL_BLEND);
  gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  gl->glDepthMask(GL_TRUE);
  const fvec4& c = mCamera.viewport()->clearColor();
  gl->glClearColor(c.r, c.g, c.b, c.a);
  gl->glClearDepthf(1.0f);
  gl->glClearStencil(0);
  gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  gl->glEnable(GL_DEPTH_TEST);
  gl->glDepthFunc(GL_LESS);
}

void Rendering::drawScene(const QMatrix4x4& projection, int width, int height, float pixelScale)
{
  const fvec4& c = mCamera.viewport()->clearColor();
  mScene->moleculeRenderer().setDepthCue(c, kDepthCue);
  mScene->moleculeRenderer().setOcclusion(kOcclusion);
  mScene->moleculeRenderer().setPixelScale(pixelScale);
  mScene->moleculeRenderer().render(mCamera.viewMatrix(), projection, width, height);
  // Surfaces fade with depth as the atoms do: over the molecule's box when there is one.
  fvec3 cueMin, cueMax;
  if (mScene->moleculeRenderer().bounds(cueMin, cueMax) || mScene->surfaceRenderer().bounds(cueMin, cueMax)) {
    mScene->surfaceRenderer().setDepthCue(c, kDepthCue, cueMin, cueMax);
    mScene->surfaceRenderer().render(mCamera.viewMatrix(), projection, width, height);
  }
}

void Rendering::drawTexts(const QMatrix4x4& projection, int width, int height, float inset)
{
  // Into whatever framebuffer is bound: the window's or a capture's.
  const int band = static_cast<int>(std::lround(inset * static_cast<float>(height)));
  if (band > 0 && mScene->panel())
    mScene->textOverlay().drawPicture(mScene->panel()->image(width, band), 0, height - band);
  mScene->textOverlay().draw(mScene->placeTexts(mCamera.viewMatrix(), projection, width, height), width, height);
}

namespace {

GLuint boundFramebuffer(QOpenGLFunctions* gl)
{
  GLint id = 0;
  gl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &id);
  return static_cast<GLuint>(id);
}

PostProcess::Options postOptions(const Camera& camera, const QMatrix4x4& projection, int sceneHeight)
{
  PostProcess::Options o;
  camera.nearFar(o.zNear, o.zFar);
  o.outlineColor = Rendering::outlineColor(camera.viewport()->clearColor());
  // A few percent of the distance, and more than a ball's rim climbs over
  // its last pixel, so that it does not outline itself: sqrt(2 r p) for a
  // ball of radius r and pixels of size p, at most sqrt(p) of the distance
  // for any ball smaller than the view. projection(1, 1) is the view's
  // height at distance 1 in halves of the target.
  const float pixel = projection(1, 1) > 0 ? 2.0f / (projection(1, 1) * static_cast<float>(sceneHeight)) : 0.0f;
  o.jump = std::max(kOutlineJump, std::sqrt(pixel));
  return o;
}

// The pixels (x, y from the bottom left, width, height) that can show
// something of the box [mn, mx]: its corners' projection, widened by
// `margin`; the whole target when a corner lies behind the eye.
std::array<int, 4> screenRect(const QMatrix4x4& clipFromWorld, const fvec3& mn, const fvec3& mx, int width, int height,
                              int margin)
{
  float x0 = 1.0f, y0 = 1.0f, x1 = -1.0f, y1 = -1.0f;
  for (int corner = 0; corner < 8; ++corner) {
    const QVector4D p =
        clipFromWorld * QVector4D(corner & 1 ? mx.x : mn.x, corner & 2 ? mx.y : mn.y, corner & 4 ? mx.z : mn.z, 1.0f);
    if (!(p.w() > 1e-6f))
      return {0, 0, width, height};
    x0 = std::min(x0, p.x() / p.w()), x1 = std::max(x1, p.x() / p.w());
    y0 = std::min(y0, p.y() / p.w()), y1 = std::max(y1, p.y() / p.w());
  }
  auto toPixel = [](float ndc, int size, int widen) {
    const float pixel = (std::clamp(ndc, -2.0f, 2.0f) + 1.0f) * 0.5f * static_cast<float>(size);
    return std::clamp(static_cast<int>(widen < 0 ? std::floor(pixel) : std::ceil(pixel)) + widen, 0, size);
  };
  const int left = toPixel(x0, width, -margin), right = toPixel(x1, width, margin);
  const int bottom = toPixel(y0, height, -margin), top = toPixel(y1, height, margin);
  return {left, bottom, std::max(0, right - left), std::max(0, top - bottom)};
}

} // namespace

void Rendering::render(int width, int height, bool window)
{
  QOpenGLContext* ctx = QOpenGLContext::currentContext();
  if (!ctx || width <= 0 || height <= 0)
    return;
  QOpenGLFunctions* gl = ctx->functions();

  fvec3 mn, mx;
  const bool bounded = mScene && mScene->bounds(mn, mx);
  if (bounded)
    mCamera.setSceneSphere((mn + mx) * 0.5f, (mx - mn).length() * 0.5f);
  else
    mCamera.clearSceneSphere();

  const GLuint target = boundFramebuffer(gl);
  if (!mScene) {
    clear(width, height);
    return;
  }
  const float inset = window ? mCamera.bottomInset() : 0.0f;
  const QMatrix4x4 projection = mCamera.projectionMatrix(width, height, inset);
  bool drawn = false;
  if ((mAntialiasing || mOutlines) && mPost->bindScene(PostProcess::Window, width, height, GL_DEPTH_COMPONENT24)) {
    // The window's depth has 24 bits: keep what it resolved.
    clear(width, height);
    drawScene(projection, width, height, 1.0f);
    // Beyond the scene's box the picture is the background, as cleared:
    // the copy, which costs as much per pixel as the drawing of a small
    // molecule, is needed only over the box.
    gl->glBindFramebuffer(GL_FRAMEBUFFER, target);
    clear(width, height);
    const auto r = bounded ? screenRect(projection * mCamera.viewMatrix(), mn, mx, width, height, kRectMargin)
                           : std::array<int, 4>{0, 0, 0, 0};
    PostProcess::Options o = postOptions(mCamera, projection, height);
    o.antialias = mAntialiasing;
    o.outlines = mOutlines;
    drawn = r[2] == 0 || r[3] == 0 || mPost->draw(PostProcess::Window, o, false, r[0], r[1], r[2], r[3], r[0], r[1]);
    gl->glEnable(GL_DEPTH_TEST);
  }
  if (!drawn) {
    gl->glBindFramebuffer(GL_FRAMEBUFFER, target);
    clear(width, height);
    drawScene(projection, width, height, 1.0f);
  }
  drawTexts(projection, width, height, inset);
}

bool Rendering::renderSupersampled(int width, int height)
{
  QOpenGLContext* ctx = QOpenGLContext::currentContext();
  if (!ctx || width <= 0 || height <= 0)
    return false;
  constexpr int factor = 2;
  QOpenGLFunctions* gl = ctx->functions();
  fvec3 mn, mx;
  if (mScene && mScene->bounds(mn, mx))
    mCamera.setSceneSphere((mn + mx) * 0.5f, (mx - mn).length() * 0.5f);
  else
    mCamera.clearSceneSphere();

  // Samples beyond each tile's edge, for the outline test across it.
  const int margin = 2 * factor;
  const int fullWidth = width * factor, fullHeight = height * factor;
  GLint maxTexture = 0, maxRenderbuffer = 0, maxViewport[2] = {0, 0};
  gl->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
  gl->glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxRenderbuffer);
  gl->glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
  // Tiles of a few thousand samples a side cost little more than one, and
  // a fraction of its memory (a 10000 x 6000 picture takes half a gigabyte).
  int edge = std::min({maxTexture, maxRenderbuffer, maxViewport[0], maxViewport[1], kTileEdge});
  const GLuint target = boundFramebuffer(gl);
  // As few tiles as fit under the edge, all of one size; halved while the
  // driver refuses them.
  int stepX = 0, stepY = 0, tileWidth = 0, tileHeight = 0;
  for (;; edge /= 2) {
    if (edge < 2 * margin + 64) {
      gl->glBindFramebuffer(GL_FRAMEBUFFER, target);
      return false;
    }
    const int usable = (edge - 2 * margin) / factor; // pixels of the target a tile makes
    const int columns = (width + usable - 1) / usable, rows = (height + usable - 1) / usable;
    stepX = (width + columns - 1) / columns;
    stepY = (height + rows - 1) / rows;
    tileWidth = stepX * factor + 2 * margin;
    tileHeight = stepY * factor + 2 * margin;
    if (mPost->bindScene(PostProcess::Capture, tileWidth, tileHeight, mCamera.depthFormat()))
      break;
  }

  gl->glBindFramebuffer(GL_FRAMEBUFFER, target);
  const QMatrix4x4 projection = mCamera.projectionMatrix(width, height, 0.0f);
  if (!mScene) {
    clear(width, height);
  } else {
    PostProcess::Options o = postOptions(mCamera, projection, fullHeight);
    o.outlines = mOutlines;
    for (int y = 0; y < height; y += stepY) {
      for (int x = 0; x < width; x += stepX) {
        // The tile's samples start `margin` before the first pixel's; its
        // projection is the whole one narrowed to them.
        const int sx = x * factor - margin, sy = y * factor - margin;
        const float ax = static_cast<float>(fullWidth) / static_cast<float>(tileWidth);
        const float ay = static_cast<float>(fullHeight) / static_cast<float>(tileHeight);
        QMatrix4x4 crop;
        crop(0, 0) = ax;
        crop(0, 3) = ax - 1.0f - 2.0f * static_cast<float>(sx) / static_cast<float>(tileWidth);
        crop(1, 1) = ay;
        crop(1, 3) = ay - 1.0f - 2.0f * static_cast<float>(sy) / static_cast<float>(tileHeight);
        mPost->bindScene(PostProcess::Capture, tileWidth, tileHeight, mCamera.depthFormat());
        clear(tileWidth, tileHeight);
        drawScene(crop * projection, tileWidth, tileHeight, static_cast<float>(factor));
        gl->glBindFramebuffer(GL_FRAMEBUFFER, target);
        const int w = std::min(stepX, width - x), h = std::min(stepY, height - y);
        gl->glEnable(GL_SCISSOR_TEST);
        gl->glScissor(x, y, w, h);
        const bool drawn = mPost->draw(PostProcess::Capture, o, true, x, y, w, h, margin, margin);
        gl->glDisable(GL_SCISSOR_TEST);
        if (!drawn) { // no shader: nothing was drawn yet
          mPost->releaseScene(PostProcess::Capture);
          return false;
        }
      }
    }
    gl->glViewport(0, 0, width, height);
    gl->glEnable(GL_DEPTH_TEST);
  }
  mPost->releaseScene(PostProcess::Capture);
  gl->glBindFramebuffer(GL_FRAMEBUFFER, target);
  if (mScene)
    drawTexts(projection, width, height, 0.0f);
  return true;
}

} // namespace vl
