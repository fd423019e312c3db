#include "view/applet.h"

#include <algorithm>
#include <cmath>

#include "view/openglcontext.h"
#include "view/rendering.h"
#include "view/scenemanager.h"
#include "view/trackball.h"

namespace vl {

Applet::Applet() = default;
Applet::~Applet() = default;

void Applet::initialize()
{
  mRendering = make_ref<Rendering>();
  mSceneManager = make_ref<SceneManager>();
  mTrackball = make_ref<TrackballManipulator>();
  mRendering->setSceneManager(mSceneManager.get());
  mTrackball->setRendering(mRendering.get());
  if (mContext) {
    mSceneManager->setContext(mContext);
    mTrackball->setContext(mContext);
  }
}

void Applet::updateEvent()
{
  updateScene();
  if (mRendering && mContext)
    mRendering->render(mContext->framebuffer()->width(), mContext->framebuffer()->height(), true);
}

void Applet::addedListenerEvent(OpenGLContext* context)
{
  mContext = context;
  if (mSceneManager)
    mSceneManager->setContext(context);
  if (mTrackball)
    mTrackball->setContext(context);
  if (mRendering && context->framebuffer())
    mRendering->camera()->viewport()->setSize(context->framebuffer()->width(), context->framebuffer()->height());
}

void Applet::removedListenerEvent(OpenGLContext* context)
{
  if (context != mContext)
    return;
  // The window is going: its GL objects go with it, while its context is current.
  if (mSceneManager && context->isInitialized())
    mSceneManager->releaseGL();
  if (mRendering && context->isInitialized())
    mRendering->releaseGL();
  if (mSceneManager)
    mSceneManager->setContext(nullptr);
  if (mTrackball)
    mTrackball->setContext(nullptr);
  mContext = nullptr;
}

void Applet::mouseMoveEvent(int, int) {}
void Applet::mouseUpEvent(EMouseButton, int, int) {}
void Applet::mouseDownEvent(EMouseButton, int, int) {}
void Applet::mouseWheelEvent(int) {}
void Applet::keyPressEvent(unsigned short, EKey) {}

void Applet::keyReleaseEvent(unsigned short, EKey key)
{
  if (key == Key_Escape && mContext)
    mContext->quitApplication();
}

void Applet::resizeEvent(int w, int h)
{
  if (mRendering)
    mRendering->camera()->viewport()->setSize(w, h);
}

void Applet::fileDroppedEvent(const std::vector<String>&) {}

// ---- OpenGLContext: listener bookkeeping and dispatch ----

OpenGLContext::~OpenGLContext() = default;

int toFramebufferPixels(const OpenGLContext* context, int windowPixels)
{
  return context ? static_cast<int>(std::lround(windowPixels * context->devicePixelRatio())) : windowPixels;
}

void OpenGLContext::addEventListener(Applet* applet)
{
  if (!applet)
    return;
  for (Applet* a : mListeners)
    if (a == applet)
      return;
  mListeners.push_back(applet);
  applet->addedListenerEvent(this);
  // A listener that arrives after the context came up still gets its init.
  if (isInitialized())
    applet->initEvent();
}

void OpenGLContext::removeEventListener(Applet* applet)
{
  for (auto it = mListeners.begin(); it != mListeners.end(); ++it) {
    if (*it == applet) {
      mListeners.erase(it);
      applet->removedListenerEvent(this);
      return;
    }
  }
}

void OpenGLContext::removeAllEventListeners()
{
  while (!mListeners.empty())
    removeEventListener(mListeners.back());
}

// Listeners may add or remove listeners while handling an event: walk a copy
// and skip those that left meanwhile.
#define VL_FOR_EACH_LISTENER(a)                                                                                        \
  for (Applet * a : std::vector<Applet*>(mListeners))                                                                  \
    if (std::find(mListeners.begin(), mListeners.end(), a) != mListeners.end())

void OpenGLContext::dispatchInitEvent()
{
  VL_FOR_EACH_LISTENER(a) a->initEvent();
}

void OpenGLContext::dispatchDestroyEvent()
{
  VL_FOR_EACH_LISTENER(a) a->destroyEvent();
}

void OpenGLContext::dispatchUpdateEvent()
{
  VL_FOR_EACH_LISTENER(a) a->updateEvent();
}

void OpenGLContext::dispatchResizeEvent(int w, int h)
{
  VL_FOR_EACH_LISTENER(a) a->resizeEvent(w, h);
}

void OpenGLContext::dispatchMouseMoveEvent(int x, int y)
{
  VL_FOR_EACH_LISTENER(a)
  {
    a->mouseMoveEvent(x, y);
    if (a->trackball())
      a->trackball()->mouseMoveEvent(x, y);
  }
}

void OpenGLContext::dispatchMouseDownEvent(EMouseButton button, int x, int y)
{
  VL_FOR_EACH_LISTENER(a)
  {
    a->mouseDownEvent(button, x, y);
    if (a->trackball())
      a->trackball()->mouseDownEvent(button, x, y);
  }
}

void OpenGLContext::dispatchMouseUpEvent(EMouseButton button, int x, int y)
{
  VL_FOR_EACH_LISTENER(a)
  {
    a->mouseUpEvent(button, x, y);
    if (a->trackball())
      a->trackball()->mouseUpEvent(button, x, y);
  }
}

void OpenGLContext::dispatchMouseWheelEvent(int n)
{
  VL_FOR_EACH_LISTENER(a)
  {
    a->mouseWheelEvent(n);
    if (a->trackball())
      a->trackball()->mouseWheelEvent(n);
  }
}

void OpenGLContext::dispatchKeyPressEvent(unsigned short ch, EKey key)
{
  VL_FOR_EACH_LISTENER(a) a->keyPressEvent(ch, key);
}

void OpenGLContext::dispatchKeyReleaseEvent(unsigned short ch, EKey key)
{
  VL_FOR_EACH_LISTENER(a) a->keyReleaseEvent(ch, key);
}

void OpenGLContext::dispatchFileDroppedEvent(const std::vector<String>& files)
{
  VL_FOR_EACH_LISTENER(a) a->fileDroppedEvent(files);
}

#undef VL_FOR_EACH_LISTENER

} // namespace vl
