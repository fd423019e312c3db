#include "view/trackball.h"

#include <algorithm>
#include <cmath>

#include <QMatrix4x4>
#include <QVector3D>

#include "view/openglcontext.h"
#include "view/rendering.h"
#include "view/scenemanager.h"

namespace vl {

namespace {

constexpr float kPi = 3.14159265358979323846f;

// A window position on the virtual trackball: a sphere over the middle of
// the viewport that turns into a hyperbolic sheet towards the edges, so a
// drag outside the sphere still rolls smoothly.
QVector3D trackballVector(int x, int y, int w, int h)
{
  const float r = 0.5f * static_cast<float>(std::max(1, std::min(w, h)));
  const float px = (static_cast<float>(x) - 0.5f * static_cast<float>(w)) / r;
  const float py = (0.5f * static_cast<float>(h) - static_cast<float>(y)) / r;
  const float d2 = px * px + py * py;
  const float pz = d2 < 0.5f ? std::sqrt(1.0f - d2) : 0.5f / std::sqrt(d2);
  return QVector3D(px, py, pz).normalized();
}

// The distance from which a sphere of this radius fills the narrower field of view.
float fitDistance(const Camera* camera, float radius)
{
  const float halfFov = 0.5f * std::min(camera->fovY(), Camera::fovX(camera->sceneAspect())) * kPi / 180.0f;
  return radius / std::sin(halfFov);
}

void boundingSphere(const fvec3& min, const fvec3& max, fvec3& centre, float& radius)
{
  centre = (min + max) * 0.5f;
  radius = (max - min).length() * 0.5f;
  if (!(radius > 0.0f))
    radius = 1.0f; // a single point: any distance shows it
}

} // namespace

void TrackballManipulator::keepInView(Rendering* rendering, const fvec3* beforeMin, const fvec3* beforeMax)
{
  fvec3 mn, mx;
  if (!rendering || !rendering->sceneManager() || !rendering->sceneManager()->bounds(mn, mx))
    return;
  Camera* camera = rendering->camera();
  fvec3 centre;
  float radius = 0;
  boundingSphere(mn, mx, centre, radius);
  camera->setSceneSphere(centre, radius);

  const QMatrix4x4& view = camera->viewMatrix();
  const fvec3 forward(-view(2, 0), -view(2, 1), -view(2, 2)); // the eye looks down its -z
  const fvec3 eye = camera->eye();
  auto depth = [&](const fvec3& c) {
    const fvec3 d = c - eye;
    return d.x * forward.x + d.y * forward.y + d.z * forward.z;
  };
  const float slack = 1.0f - 1e-3f; // rounding of the fit itself
  bool fittedBefore = false;
  if (beforeMin && beforeMax) {
    fvec3 c;
    float r = 0;
    boundingSphere(*beforeMin, *beforeMax, c, r);
    fittedBefore = depth(c) >= fitDistance(camera, r) * slack;
  }
  const float fit = fitDistance(camera, radius);
  const bool inside = (eye - centre).length() < radius;
  if (!inside && !(fittedBefore && depth(centre) < fit * slack))
    return;
  const float back = fit - depth(centre);
  if (!(back > 0.0f))
    return;
  QMatrix4x4 moved = view;
  moved.translate(forward.x * back, forward.y * back, forward.z * back);
  camera->setViewMatrix(moved);
  redraw();
}

void TrackballManipulator::fitView(Camera* camera, const fvec3& min, const fvec3& max, const fvec3& direction,
                                   const fvec3& up, float bias)
{
  fvec3 centre;
  float radius = 0;
  boundingSphere(min, max, centre, radius);
  const float distance = fitDistance(camera, radius);
  fvec3 dir = direction;
  const float len = dir.length();
  dir = len > 0.0f ? dir * (1.0f / len) : fvec3(0, 0, 1);
  const fvec3 eye = centre + dir * (distance * bias);
  camera->setViewMatrix(Camera::lookAt(eye, centre, up));
  camera->setSceneSphere(centre, radius);
  mPivot = centre;
}

void TrackballManipulator::adjustView(Rendering* rendering, const fvec3& direction, const fvec3& up, float bias)
{
  if (!rendering || !rendering->sceneManager())
    return;
  fvec3 mn, mx;
  if (!rendering->sceneManager()->bounds(mn, mx))
    return;
  fitView(rendering->camera(), mn, mx, direction, up, bias);
  if (!mContext)
    mContext = rendering->sceneManager()->context();
  redraw();
}

void TrackballManipulator::mouseDownEvent(EMouseButton button, int x, int y)
{
  if (mMode != NoButton)
    return;
  x = toFramebufferPixels(mContext, x);
  y = toFramebufferPixels(mContext, y);
  if (button != LeftButton && button != MiddleButton && button != RightButton)
    return;
  mMode = button;
  mLastX = x;
  mLastY = y;
}

void TrackballManipulator::mouseUpEvent(EMouseButton button, int, int)
{
  if (button == mMode)
    mMode = NoButton;
}

void TrackballManipulator::mouseMoveEvent(int x, int y)
{
  if (mMode == NoButton || !mRendering)
    return;
  x = toFramebufferPixels(mContext, x);
  y = toFramebufferPixels(mContext, y);
  if (x == mLastX && y == mLastY)
    return;
  const Viewport* vp = mRendering->camera()->viewport();
  switch (mMode) {
  case LeftButton:
    rotate(mLastX, mLastY, x, y);
    break;
  case MiddleButton:
    pan(x - mLastX, y - mLastY);
    break;
  case RightButton:
    // Dragging down zooms in; a drag over the whole height brings the pivot
    // about seven times closer.
    zoom(std::exp(-2.0f * static_cast<float>(y - mLastY) / static_cast<float>(std::max(1, vp->height()))));
    break;
  default:
    break;
  }
  mLastX = x;
  mLastY = y;
  redraw();
}

void TrackballManipulator::mouseWheelEvent(int n)
{
  if (!mRendering || n == 0)
    return;
  zoom(std::pow(0.9f, static_cast<float>(n)));
  redraw();
}

void TrackballManipulator::rotate(int x0, int y0, int x1, int y1)
{
  Camera* camera = mRendering->camera();
  const Viewport* vp = camera->viewport();
  const QVector3D a = trackballVector(x0, y0, vp->width(), vp->height());
  const QVector3D b = trackballVector(x1, y1, vp->width(), vp->height());
  const QVector3D axis = QVector3D::crossProduct(a, b);
  if (axis.length() < 1e-7f)
    return;
  const float angle = std::acos(std::clamp(QVector3D::dotProduct(a, b), -1.0f, 1.0f)) * 180.0f / kPi;
  // Turn the world about the pivot, in eye space, so the point under the
  // mouse follows it.
  const QMatrix4x4& view = camera->viewMatrix();
  const QVector3D pivot = view.map(QVector3D(mPivot.x, mPivot.y, mPivot.z));
  QMatrix4x4 m;
  m.translate(pivot);
  m.rotate(angle, axis.normalized());
  m.translate(-pivot);
  camera->setViewMatrix(m * view);
}

void TrackballManipulator::pan(int dx, int dy)
{
  Camera* camera = mRendering->camera();
  const QMatrix4x4& view = camera->viewMatrix();
  const float depth = std::max(-view.map(QVector3D(mPivot.x, mPivot.y, mPivot.z)).z(), 1e-3f);
  const float h = std::max(1.0f, camera->sceneHeight());
  // World units per pixel at the pivot's depth: the pivot's plane moves with the mouse.
  const float perPixel = 2.0f * depth * std::tan(0.5f * camera->fovY() * kPi / 180.0f) / h;
  QMatrix4x4 m;
  m.translate(static_cast<float>(dx) * perPixel, -static_cast<float>(dy) * perPixel, 0.0f);
  camera->setViewMatrix(m * view);
}

void TrackballManipulator::zoom(float factor)
{
  Camera* camera = mRendering->camera();
  const QMatrix4x4& view = camera->viewMatrix();
  const float depth = -view.map(QVector3D(mPivot.x, mPivot.y, mPivot.z)).z();
  if (!(depth > 0.0f))
    return;
  // Scales the eye's distance to the pivot; it never reaches or passes it.
  QMatrix4x4 m;
  m.translate(0.0f, 0.0f, depth - depth * factor);
  camera->setViewMatrix(m * view);
}

void TrackballManipulator::redraw()
{
  if (mContext)
    mContext->update();
}

} // namespace vl
