#pragma once
// The default camera manipulator: fits the view to the scene and lets the
// mouse rotate (left), pan (middle) and zoom (right drag, wheel).
#include "core/model/vector.h"
#include "view/keys.h"

namespace vl {

class Camera;
class OpenGLContext;
class Rendering;

class TrackballManipulator {
public:
  // Moves the camera so that everything drawn is in view: eye = centre +
  // direction * distance * bias looking at the centre with `up`, distance =
  // R / sin(half the smaller field-of-view angle), R = half the bounding-box
  // diagonal. Nothing drawn: the camera stays as it is.
  void adjustView(Rendering* rendering, const fvec3& direction, const fvec3& up, float bias);
  // The same for a given box; also sets the pivot to its centre.
  void fitView(Camera* camera, const fvec3& min, const fvec3& max, const fvec3& direction, const fvec3& up, float bias);

  // After what is drawn changed size (a style change; `before` held the old
  // box): when the eye is now inside the drawing's bounding sphere, or the
  // drawing fitted the view before and no longer does, the camera backs off
  // along its line of sight to the distance a fit would give. The direction
  // of view, the rotation and the pivot stay.
  void keepInView(Rendering* rendering, const fvec3* beforeMin, const fvec3* beforeMax);

  const fvec3& pivot() const { return mPivot; }

  void setRendering(Rendering* rendering) { mRendering = rendering; }
  // Where redraws are requested after the camera moved (may be null).
  void setContext(OpenGLContext* context) { mContext = context; }

  // Window pixels, y down from the top.
  void mouseDownEvent(EMouseButton button, int x, int y);
  void mouseUpEvent(EMouseButton button, int x, int y);
  void mouseMoveEvent(int x, int y);
  // n > 0: wheel turned away from the user, zoom in.
  void mouseWheelEvent(int n);

private:
  void rotate(int x0, int y0, int x1, int y1);
  void pan(int dx, int dy);
  void zoom(float factor);
  void redraw();

  Rendering* mRendering = nullptr;
  OpenGLContext* mContext = nullptr;
  fvec3 mPivot;
  EMouseButton mMode = NoButton;
  int mLastX = 0, mLastY = 0;
};

} // namespace vl
