#include "view/rendering.h"

#include <algorithm>
#include <cmath>

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QVector4D>

#include "view/plot.h"
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
} // namespace

void Rendering::render(int width, int height, bool window)
{
  QOpenGLContext* ctx = QOpenGLContext::currentContext();
  if (!ctx || width <= 0 || height <= 0)
    return;
  QOpenGLFunctions* gl = ctx->functions();

  fvec3 mn, mx;
  if (mScene && mScene->bounds(mn, mx))
    mCamera.setSceneSphere((mn + mx) * 0.5f, (mx - mn).length() * 0.5f);
  else
    mCamera.clearSceneSphere();

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

  if (!mScene)
    return;
  const float inset = window ? mCamera.bottomInset() : 0.0f;
  const QMatrix4x4 projection = mCamera.projectionMatrix(width, height, inset);
  mScene->moleculeRenderer().setDepthCue(c, kDepthCue);
  mScene->moleculeRenderer().setOcclusion(kOcclusion);
  mScene->moleculeRenderer().render(mCamera.viewMatrix(), projection, width, height);
  // Surfaces fade with depth as the atoms do: over the molecule's box when there is one.
  fvec3 cueMin, cueMax;
  if (mScene->moleculeRenderer().bounds(cueMin, cueMax) || mScene->surfaceRenderer().bounds(cueMin, cueMax)) {
    mScene->surfaceRenderer().setDepthCue(c, kDepthCue, cueMin, cueMax);
    mScene->surfaceRenderer().render(mCamera.viewMatrix(), projection, width, height);
  }

  // Into whatever framebuffer is bound: the window's or a capture's.
  const int band = static_cast<int>(std::lround(inset * static_cast<float>(height)));
  if (band > 0 && mScene->panel())
    mScene->textOverlay().drawPicture(mScene->panel()->image(width, band), 0, height - band);
  mScene->textOverlay().draw(mScene->placeTexts(mCamera.viewMatrix(), projection, width, height), width, height);
}

} // namespace vl
