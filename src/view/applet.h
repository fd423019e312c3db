#pragma once
// The applet: the object that receives a window's events and owns what the
// window draws (camera, scene, trackball).
#include <vector>

#include "core/model/ref.h"
#include "core/model/string.h"
#include "view/keys.h"

namespace vl {

class OpenGLContext;
class Rendering;
class SceneManager;
class TrackballManipulator;

class Applet {
public:
  Applet();
  virtual ~Applet();
  Applet(const Applet&) = delete;
  Applet& operator=(const Applet&) = delete;

  // Creates the rendering (camera, viewport), the scene manager and the trackball.
  void initialize();

  Rendering* rendering() const { return mRendering.get(); }
  SceneManager* sceneManager() const { return mSceneManager.get(); }
  TrackballManipulator* trackball() const { return mTrackball.get(); }
  // The window this applet listens to; null before addEventListener.
  OpenGLContext* openglContext() const { return mContext; }

  virtual void initEvent() {}
  virtual void destroyEvent() {}
  // One frame: updateScene(), then the rendering draws at the framebuffer's size.
  virtual void updateEvent();
  virtual void addedListenerEvent(OpenGLContext* context);
  virtual void removedListenerEvent(OpenGLContext* context);
  virtual void mouseMoveEvent(int x, int y);
  virtual void mouseUpEvent(EMouseButton button, int x, int y);
  virtual void mouseDownEvent(EMouseButton button, int x, int y);
  virtual void mouseWheelEvent(int n);
  virtual void keyPressEvent(unsigned short ch, EKey key);
  // Escape closes the window (and so ends the event loop).
  virtual void keyReleaseEvent(unsigned short ch, EKey key);
  virtual void resizeEvent(int w, int h);
  virtual void fileDroppedEvent(const std::vector<String>& files);
  virtual void updateScene() {}

private:
  ref<Rendering> mRendering;
  ref<SceneManager> mSceneManager;
  ref<TrackballManipulator> mTrackball;
  OpenGLContext* mContext = nullptr;
};

} // namespace vl
