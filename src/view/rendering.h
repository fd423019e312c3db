#pragma once
// Camera, viewport and the rendering that draws a scene manager's content:
// clear, molecule, surfaces (through the post-processing pass), overlay text.
#include <algorithm>
#include <memory>

#include <QMatrix4x4>
#include <QVector3D>

#include "core/model/ray.h"
#include "core/model/vector.h"

namespace vl {

class PostProcess;
class SceneManager;

class Viewport {
public:
  void setClearColor(const fvec4& color) { mClearColor = color; }
  const fvec4& clearColor() const { return mClearColor; }
  // Size in framebuffer (device) pixels; kept up to date by the window's resize.
  void setSize(int w, int h)
  {
    mWidth = w;
    mHeight = h;
  }
  int width() const { return mWidth; }
  int height() const { return mHeight; }

private:
  fvec4 mClearColor = black;
  int mWidth = 0, mHeight = 0;
};

class Camera {
public:
  static constexpr float kFieldOfView = 60.0f; // vertical, degrees

  Viewport* viewport() { return &mViewport; }
  const Viewport* viewport() const { return &mViewport; }

  void setViewMatrix(const QMatrix4x4& view) { mView = view; }
  const QMatrix4x4& viewMatrix() const { return mView; }
  // The view of an eye at `eye` looking at `centre` with `up` pointing up.
  static QMatrix4x4 lookAt(const fvec3& eye, const fvec3& centre, const fvec3& up);
  fvec3 eye() const;

  // Field-of-view angles in degrees for an aspect ratio width / height.
  float fovY() const { return kFieldOfView; }
  static float fovX(float aspect);

  // What the near and far planes must enclose; without it they fall back
  // to 0.1 and 1000.
  void setSceneSphere(const fvec3& centre, float radius);
  void clearSceneSphere() { mHasScene = false; }
  bool nearFar(float& zNear, float& zFar) const;
  // The depth format that resolves this view well: GL_DEPTH_COMPONENT16 or 24.
  unsigned depthFormat() const;

  // A band at the bottom of the viewport, this fraction of its height, that
  // the scene leaves to a panel: the view is fitted to the part above it.
  void setBottomInset(float fraction) { mInset = std::clamp(fraction, 0.0f, 0.9f); }
  float bottomInset() const { return mInset; }
  // The height of the part above the band, and its aspect ratio.
  float sceneHeight() const { return static_cast<float>(mViewport.height()) * (1.0f - mInset); }
  float sceneAspect() const;

  // The perspective for a w x h target; `inset` as above (0: the whole target).
  QMatrix4x4 projectionMatrix(int w, int h, float inset) const;
  QMatrix4x4 projectionMatrix(int w, int h) const { return projectionMatrix(w, h, 0.0f); }
  // At the viewport's size, above its band.
  QMatrix4x4 projectionMatrix() const { return projectionMatrix(mViewport.width(), mViewport.height(), mInset); }

  // The ray through framebuffer pixel (x, y), y counted up from the bottom.
  Ray computeRay(int x, int y) const;
  // World point -> window pixel: x to the right, y down from the top.
  QVector3D project(const fvec3& world) const;

private:
  Viewport mViewport;
  QMatrix4x4 mView;
  fvec3 mSceneCentre;
  float mSceneRadius = 0;
  bool mHasScene = false;
  float mInset = 0;
};

class Rendering {
public:
  Rendering();
  ~Rendering();
  Rendering(const Rendering&) = delete;
  Rendering& operator=(const Rendering&) = delete;

  Camera* camera() { return &mCamera; }
  const Camera* camera() const { return &mCamera; }
  void setSceneManager(SceneManager* scene) { mScene = scene; }
  SceneManager* sceneManager() const { return mScene; }

  // Jagged edges of the scene smoothed (on at first); outlines where the
  // depth jumps, dark on light backgrounds, grey on dark ones (off at first).
  void setAntialiasing(bool on) { mAntialiasing = on; }
  bool antialiasing() const { return mAntialiasing; }
  void setOutlines(bool on) { mOutlines = on; }
  bool outlines() const { return mOutlines; }
  // The colour of the outlines over this background.
  static fvec4 outlineColor(const fvec4& background);

  // Draws the whole scene into the bound framebuffer at width x height with
  // the camera's projection for that aspect. The window (`window`) also gets
  // the scene's panel in the camera's bottom band; an off-screen picture gets
  // neither. The GL context must be current.
  void render(int width, int height, bool window = false);

  // As render() off-screen, but the scene is drawn at twice the size (in
  // tiles the driver can take) and each 2 x 2 block averaged into a pixel;
  // the texts are drawn at width x height. False, with nothing drawn, when
  // not even one tile could be made: render() is left then.
  bool renderSupersampled(int width, int height);

  // Frees the OpenGL objects; the context must be current.
  void releaseGL();

private:
  // Clears the bound framebuffer and sets the state the scene expects.
  void clear(int width, int height);
  // The molecule and the surfaces; `pixelScale` widens lines drawn in pixels.
  void drawScene(const QMatrix4x4& projection, int width, int height, float pixelScale);
  void drawTexts(const QMatrix4x4& projection, int width, int height, float inset);

  Camera mCamera;
  SceneManager* mScene = nullptr;
  bool mAntialiasing = true;
  bool mOutlines = false;
  std::unique_ptr<PostProcess> mPost;
};

} // namespace vl
