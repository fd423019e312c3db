#include "view/postprocess.h"

#include <cstdio>
#include <map>
#include <string>
#include <tuple>

#include <QMetaObject>
#include <QObject>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLVertexArrayObject>

#include "view/embedded_shaders.h"

namespace vl {

namespace {

// A framebuffer whose colour and depth are textures the copy pass reads.
struct SceneTarget {
  GLuint framebuffer = 0, color = 0, depth = 0;
  int width = 0, height = 0;
  GLenum depthFormat = 0;

  void destroy(QOpenGLExtraFunctions* f)
  {
    if (framebuffer)
      f->glDeleteFramebuffers(1, &framebuffer);
    if (color)
      f->glDeleteTextures(1, &color);
    if (depth)
      f->glDeleteTextures(1, &depth);
    *this = SceneTarget();
  }

  static void setSampling(QOpenGLExtraFunctions* f, GLenum filter)
  {
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(filter));
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(filter));
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  }

  // Leaves it bound; false (and nothing kept) when the driver refused it.
  bool make(QOpenGLExtraFunctions* f, int w, int h, GLenum format)
  {
    destroy(f);
    while (f->glGetError() != GL_NO_ERROR) {
    }
    f->glActiveTexture(GL_TEXTURE0);
    f->glGenTextures(1, &color);
    f->glBindTexture(GL_TEXTURE_2D, color);
    setSampling(f, GL_LINEAR); // the edge smoothing samples between pixels
    f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    f->glGenTextures(1, &depth);
    f->glBindTexture(GL_TEXTURE_2D, depth);
    setSampling(f, GL_NEAREST);
    f->glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), w, h, 0, GL_DEPTH_COMPONENT,
                    format == GL_DEPTH_COMPONENT16 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT, nullptr);
    f->glBindTexture(GL_TEXTURE_2D, 0);
    f->glGenFramebuffers(1, &framebuffer);
    f->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    f->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
    f->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depth, 0);
    if (f->glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE || f->glGetError() != GL_NO_ERROR) {
      destroy(f);
      return false;
    }
    width = w;
    height = h;
    depthFormat = format;
    return true;
  }
};

} // namespace

struct PostProcess::Impl {
  QOpenGLContext* context = nullptr;
  QMetaObject::Connection contextGone;
  std::unique_ptr<QOpenGLVertexArrayObject> vao; // empty: the corners come from the vertex index
  enum Pass { Mark, Finish, Downsample };
  // By pass, smoothing and outlines; a null entry for one that failed to build.
  std::map<std::tuple<Pass, bool, bool>, std::unique_ptr<QOpenGLShaderProgram>> programs;
  SceneTarget targets[2];

  ~Impl() { QObject::disconnect(contextGone); }

  void dropGL()
  {
    QObject::disconnect(contextGone);
    if (context && QOpenGLContext::currentContext() == context) {
      for (SceneTarget& t : targets)
        t.destroy(context->extraFunctions());
      if (vao)
        vao->destroy();
    }
    for (SceneTarget& t : targets)
      t = SceneTarget();
    programs.clear();
    vao.reset();
    context = nullptr;
  }

  // Objects of another context are of no use in this one.
  bool use(QOpenGLContext* ctx)
  {
    if (context == ctx)
      return true;
    dropGL();
    vao = std::make_unique<QOpenGLVertexArrayObject>();
    if (!vao->create()) {
      vao.reset();
      return false;
    }
    context = ctx;
    contextGone = QObject::connect(ctx, &QOpenGLContext::aboutToBeDestroyed, [this]() { dropGL(); });
    return true;
  }

  QOpenGLShaderProgram* program(Pass pass, bool antialias, bool outlines);
  void setUniforms(QOpenGLShaderProgram* p, const SceneTarget& t, const Options& options, int x, int y, int imageX,
                   int imageY);
};

QOpenGLShaderProgram* PostProcess::Impl::program(Pass pass, bool antialias, bool outlines)
{
  antialias = antialias && pass != Downsample;
  const auto key = std::make_tuple(pass, antialias, outlines);
  if (auto it = programs.find(key); it != programs.end())
    return it->second.get(); // null when it failed: not tried again in this context
  auto& slot = programs[key];
  // Each variant is built with its switches as defines after the #version line.
  std::string source = pass == Mark     ? shaders::markFragment
                       : pass == Finish ? shaders::postFragment
                                        : shaders::downsampleFragment;
  std::string defines;
  if (antialias)
    defines += "#define ANTIALIAS\n";
  if (outlines)
    defines += "#define OUTLINES\n";
  source.insert(source.find('\n') + 1, defines);
  auto p = std::make_unique<QOpenGLShaderProgram>();
  if (!p->addShaderFromSourceCode(QOpenGLShader::Vertex, shaders::postVertex) ||
      !p->addShaderFromSourceCode(QOpenGLShader::Fragment, source.c_str()) || !p->link()) {
    static bool told = false;
    if (!told)
      std::fprintf(stderr, "PostProcess: shader build failed: %s\n", qPrintable(p->log()));
    told = true;
    return nullptr;
  }
  slot = std::move(p);
  return slot.get();
}

PostProcess::PostProcess() : d(std::make_unique<Impl>()) {}

PostProcess::~PostProcess()
{
  if (d->context && QOpenGLContext::currentContext() == d->context)
    d->dropGL();
}

bool PostProcess::bindScene(Slot slot, int width, int height, unsigned depthFormat)
{
  QOpenGLContext* ctx = QOpenGLContext::currentContext();
  if (!ctx || width <= 0 || height <= 0 || !d->use(ctx))
    return false;
  auto* f = ctx->extraFunctions();
  SceneTarget& t = d->targets[slot];
  if (t.framebuffer && t.width == width && t.height == height && t.depthFormat == depthFormat) {
    f->glBindFramebuffer(GL_FRAMEBUFFER, t.framebuffer);
    return true;
  }
  return t.make(f, width, height, depthFormat);
}

void PostProcess::releaseScene(Slot slot)
{
  if (d->context && QOpenGLContext::currentContext() == d->context)
    d->targets[slot].destroy(d->context->extraFunctions());
}

void PostProcess::Impl::setUniforms(QOpenGLShaderProgram* p, const SceneTarget& t, const Options& options, int x, int y,
                                    int imageX, int imageY)
{
  auto* f = context->extraFunctions();
  p->bind();
  p->setUniformValue("colorImage", 0);
  p->setUniformValue("depthImage", 1);
  p->setUniformValue("texelSize", 1.0f / static_cast<float>(t.width), 1.0f / static_cast<float>(t.height));
  // Qt sets integer vectors as float ones: these go straight to GL.
  f->glUniform2i(p->uniformLocation("targetOrigin"), x, y);
  f->glUniform2i(p->uniformLocation("imageOrigin"), imageX, imageY);
  p->setUniformValue("nearFar", options.zNear, options.zFar);
  p->setUniformValue("jump", options.jump);
  const fvec4& c = options.outlineColor;
  p->setUniformValue("outlineColor", c.r, c.g, c.b, c.a);
}

bool PostProcess::draw(Slot slot, const Options& options, bool downsample, int x, int y, int width, int height,
                       int imageX, int imageY)
{
  QOpenGLContext* ctx = QOpenGLContext::currentContext();
  const SceneTarget& t = d->targets[slot];
  if (!ctx || ctx != d->context || !t.framebuffer)
    return false;
  QOpenGLShaderProgram* mark = downsample ? nullptr : d->program(Impl::Mark, options.antialias, options.outlines);
  QOpenGLShaderProgram* finish =
      d->program(downsample ? Impl::Downsample : Impl::Finish, options.antialias, options.outlines);
  if (!finish || (!downsample && !mark))
    return false;
  auto* f = ctx->extraFunctions();
  GLint viewport[4] = {0, 0, 0, 0};
  f->glGetIntegerv(GL_VIEWPORT, viewport);
  f->glViewport(x, y, width, height);
  f->glDisable(GL_BLEND);
  f->glDisable(GL_CULL_FACE);
  f->glActiveTexture(GL_TEXTURE1);
  f->glBindTexture(GL_TEXTURE_2D, t.depth);
  f->glActiveTexture(GL_TEXTURE0);
  f->glBindTexture(GL_TEXTURE_2D, t.color);
  d->vao->bind();
  if (mark) {
    // The marks go into the target's depth; without one, the second pass
    // works on every pixel, to the same result.
    f->glEnable(GL_DEPTH_TEST);
    f->glDepthMask(GL_TRUE);
    f->glDepthFunc(GL_ALWAYS);
    d->setUniforms(mark, t, options, x, y, imageX, imageY);
    f->glDrawArrays(GL_TRIANGLES, 0, 3);
    // The triangle lies at depth 0.5: in front of the marked pixels only.
    f->glDepthMask(GL_FALSE);
    f->glDepthFunc(GL_LESS);
  } else {
    f->glDisable(GL_DEPTH_TEST);
  }
  d->setUniforms(finish, t, options, x, y, imageX, imageY);
  f->glDrawArrays(GL_TRIANGLES, 0, 3);
  finish->release();
  d->vao->release();
  f->glDepthMask(GL_TRUE);
  f->glDepthFunc(GL_LESS);
  f->glDisable(GL_DEPTH_TEST);
  f->glActiveTexture(GL_TEXTURE1);
  f->glBindTexture(GL_TEXTURE_2D, 0);
  f->glActiveTexture(GL_TEXTURE0);
  f->glBindTexture(GL_TEXTURE_2D, 0);
  f->glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
  return true;
}

void PostProcess::releaseGL()
{
  d->dropGL();
}

} // namespace vl
