#pragma once
// The window as the applet sees it: a current-able OpenGL context with a
// framebuffer, a list of listening applets and redraw requests.
#include <vector>

#include "core/model/ref.h"
#include "core/model/string.h"
#include "view/keys.h"

namespace vl {

class Applet;

// The size of a context's on-screen framebuffer, in device pixels.
class Framebuffer {
public:
  virtual ~Framebuffer() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
};

// What the window's OpenGL context is asked for.
class OpenGLContextFormat {
public:
  void setDoubleBuffer(bool on) { mDoubleBuffer = on; }
  bool doubleBuffer() const { return mDoubleBuffer; }
  void setRGBABits(int r, int g, int b, int a)
  {
    mRed = r;
    mGreen = g;
    mBlue = b;
    mAlpha = a;
  }
  int redBits() const { return mRed; }
  int greenBits() const { return mGreen; }
  int blueBits() const { return mBlue; }
  int alphaBits() const { return mAlpha; }
  void setDepthBufferBits(int bits) { mDepth = bits; }
  int depthBufferBits() const { return mDepth; }
  void setStencilBufferBits(int bits) { mStencil = bits; }
  int stencilBufferBits() const { return mStencil; }
  void setFullscreen(bool on) { mFullscreen = on; }
  bool fullscreen() const { return mFullscreen; }
  void setMultisample(bool on) { mMultisample = on; }
  bool multisample() const { return mMultisample; }

private:
  bool mDoubleBuffer = true;
  int mRed = 8, mGreen = 8, mBlue = 8, mAlpha = 0;
  int mDepth = 24, mStencil = 0;
  bool mFullscreen = false;
  bool mMultisample = false;
};

class OpenGLContext {
public:
  OpenGLContext() = default;
  virtual ~OpenGLContext();
  OpenGLContext(const OpenGLContext&) = delete;
  OpenGLContext& operator=(const OpenGLContext&) = delete;

  // Listeners are not owned: the applet owns the window, not the other way round.
  void addEventListener(Applet* applet);
  void addEventListener(const ref<Applet>& applet) { addEventListener(applet.get()); }
  void removeEventListener(Applet* applet);
  const std::vector<Applet*>& eventListeners() const { return mListeners; }

  virtual Framebuffer* framebuffer() = 0;
  virtual void makeCurrent() = 0;
  virtual void doneCurrent() = 0;
  // Schedules one redraw; the window draws only when asked to.
  virtual void update() = 0;
  // Resizes the window to w x h (logical pixels).
  virtual void setSize(int w, int h) = 0;
  // Closes the window, which ends the event loop.
  virtual void quitApplication() = 0;
  // Whether initEvent has been delivered (the context exists).
  virtual bool isInitialized() const = 0;
  // Framebuffer pixels per window pixel (mouse events come in window pixels).
  virtual float devicePixelRatio() const { return 1.0f; }

protected:
  // Each dispatch goes to every listener; button, motion and wheel events
  // go to the listener's trackball as well, after the listener.
  void dispatchInitEvent();
  void dispatchDestroyEvent();
  void dispatchUpdateEvent();
  void dispatchResizeEvent(int w, int h);
  void dispatchMouseMoveEvent(int x, int y);
  void dispatchMouseDownEvent(EMouseButton button, int x, int y);
  void dispatchMouseUpEvent(EMouseButton button, int x, int y);
  void dispatchMouseWheelEvent(int n);
  void dispatchKeyPressEvent(unsigned short ch, EKey key);
  void dispatchKeyReleaseEvent(unsigned short ch, EKey key);
  void dispatchFileDroppedEvent(const std::vector<String>& files);
  // Detaches every listener (removedListenerEvent); the context must be current.
  void removeAllEventListeners();

private:
  std::vector<Applet*> mListeners;
};

// Mouse events count window pixels, the viewport and the camera's rays
// framebuffer pixels: this is the one conversion between them. Without a
// context the two are the same.
int toFramebufferPixels(const OpenGLContext* context, int windowPixels);

} // namespace vl
