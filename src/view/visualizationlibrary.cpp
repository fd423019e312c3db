#include "view/visualizationlibrary.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QtGlobal>

#include "core/model/log.h"

namespace vl {

namespace {
bool gLogging = false;
bool gOpenGLLogged = false;

std::string glString(QOpenGLFunctions* gl, GLenum name)
{
  const GLubyte* s = gl->glGetString(name);
  return s ? reinterpret_cast<const char*>(s) : "unknown";
}
} // namespace

void VisualizationLibrary::init(bool log)
{
  gLogging = log;
  gOpenGLLogged = false;
  if (!log)
    return;
  Log::print(std::string("Visualization Library: ORBISK's scene toolkit\n") + "  Qt " + qVersion() +
             " (built with " QT_VERSION_STR "), OpenGL 3.3 core profile requested\n" +
             "  redraws on demand; the OpenGL driver is reported once the window is up\n");
}

void VisualizationLibrary::shutdown()
{
  if (gLogging)
    Log::print("Visualization Library shut down\n");
  gLogging = false;
}

void VisualizationLibrary::logOpenGLInfo()
{
  if (!gLogging || gOpenGLLogged)
    return;
  QOpenGLContext* ctx = QOpenGLContext::currentContext();
  if (!ctx)
    return;
  gOpenGLLogged = true;
  QOpenGLFunctions* gl = ctx->functions();
  Log::print("OpenGL vendor: " + glString(gl, GL_VENDOR) + "\n" + "OpenGL renderer: " + glString(gl, GL_RENDERER) +
             "\n" + "OpenGL version: " + glString(gl, GL_VERSION) + "\n" +
             "GLSL version: " + glString(gl, GL_SHADING_LANGUAGE_VERSION) + "\n");
}

} // namespace vl
