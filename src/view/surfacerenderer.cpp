#include "view/surfacerenderer.h"

#include <QMatrix4x4>
#include <QMetaObject>
#include <QObject>
#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLVertexArrayObject>
#include <QVector3D>
#include <QVector4D>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "view/embedded_shaders.h"

namespace vl {

namespace {

// Position and normal, as the vertex shader reads them.
constexpr int kFloatsPerVertex = 6;

struct Box {
  fvec3 min, max;
};

// The whole box lies beyond the near plane, so nothing in it is clipped there.
bool inFrontOfNearPlane(const QMatrix4x4& viewProjection, const Box& box)
{
  for (int c = 0; c < 8; ++c) {
    const QVector4D clip = viewProjection * QVector4D(c & 1 ? box.max.x : box.min.x, c & 2 ? box.max.y : box.min.y,
                                                      c & 4 ? box.max.z : box.min.z, 1.0f);
    if (!(clip.w() > 0.0f && clip.z() >= -clip.w()))
      return false;
  }
  return true;
}

} // namespace

struct SurfaceRenderer::Impl {
  std::vector<Surface> surfaces;
  // Where each surface's vertices and indices start in the shared buffers.
  std::vector<size_t> firstVertex, firstIndex;
  std::vector<Box> boxes; // of each surface
  fvec3 min, max;
  bool dirty = true;
  fvec4 cueColor = black;
  float cueStrength = 0;
  fvec3 cueMin, cueMax;

  QOpenGLContext* context = nullptr;
  QMetaObject::Connection contextGone;
  std::unique_ptr<QOpenGLShaderProgram> program;
  QOpenGLVertexArrayObject vao;
  QOpenGLBuffer vertices{QOpenGLBuffer::VertexBuffer};
  QOpenGLBuffer indices{QOpenGLBuffer::IndexBuffer};
  bool glFailed = false;

  ~Impl() { QObject::disconnect(contextGone); }

  void dropGL()
  {
    QObject::disconnect(contextGone);
    vao.destroy();
    vertices.destroy();
    indices.destroy();
    program.reset();
    context = nullptr;
    glFailed = false;
    dirty = true;
  }
  bool initGL(QOpenGLContext* ctx);
  bool upload();
};

bool SurfaceRenderer::Impl::initGL(QOpenGLContext* ctx)
{
  context = ctx;
  program = std::make_unique<QOpenGLShaderProgram>();
  if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, shaders::surfaceVertex) ||
      !program->addShaderFromSourceCode(QOpenGLShader::Fragment, shaders::surfaceFragment) || !program->link()) {
    std::fprintf(stderr, "SurfaceRenderer: shader build failed: %s\n", qPrintable(program->log()));
    return false;
  }
  if (!vao.create() || !vertices.create() || !indices.create())
    return false;
  auto* f = ctx->extraFunctions();
  vao.bind();
  vertices.bind();
  indices.bind(); // recorded in the VAO
  const int stride = kFloatsPerVertex * sizeof(float);
  f->glEnableVertexAttribArray(0);
  f->glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
  f->glEnableVertexAttribArray(1);
  f->glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(3 * sizeof(float)));
  vao.release();
  vertices.release();
  // When the context goes first, Qt's resource guards free what we hold.
  contextGone = QObject::connect(ctx, &QOpenGLContext::aboutToBeDestroyed, [this]() { dropGL(); });
  return true;
}

// All meshes into one vertex and one index buffer; false when they do not fit.
bool SurfaceRenderer::Impl::upload()
{
  const size_t vertexCount = surfaces.empty() ? 0 : firstVertex.back() + surfaces.back().mesh.positions.size();
  const size_t indexCount = surfaces.empty() ? 0 : firstIndex.back() + surfaces.back().mesh.indices.size();
  const size_t vertexBytes = vertexCount * kFloatsPerVertex * sizeof(float);
  if (vertexBytes > INT_MAX || indexCount * sizeof(uint32_t) > INT_MAX)
    return false;
  vertices.bind();
  vertices.allocate(static_cast<int>(vertexBytes));
  auto* dst = static_cast<float*>(vertices.mapRange(0, static_cast<int>(vertexBytes),
                                                    QOpenGLBuffer::RangeWrite | QOpenGLBuffer::RangeInvalidateBuffer));
  if (dst) {
    for (const Surface& s : surfaces)
      for (size_t i = 0; i < s.mesh.positions.size(); ++i) {
        const fvec3 &p = s.mesh.positions[i], &n = s.mesh.normals[i];
        *dst++ = p.x, *dst++ = p.y, *dst++ = p.z, *dst++ = n.x, *dst++ = n.y, *dst++ = n.z;
      }
  }
  const bool ok = dst && vertices.unmap();
  vertices.release();
  if (!ok)
    return false;
  vao.bind(); // the index buffer binding belongs to the VAO
  indices.allocate(static_cast<int>(indexCount * sizeof(uint32_t)));
  for (size_t k = 0; k < surfaces.size(); ++k)
    indices.write(static_cast<int>(firstIndex[k] * sizeof(uint32_t)), surfaces[k].mesh.indices.data(),
                  static_cast<int>(surfaces[k].mesh.indices.size() * sizeof(uint32_t)));
  vao.release();
  return true;
}

SurfaceRenderer::SurfaceRenderer() : d(std::make_unique<Impl>()) {}

SurfaceRenderer::~SurfaceRenderer()
{
  if (d->context && QOpenGLContext::currentContext() == d->context)
    d->dropGL();
}

void SurfaceRenderer::prepare(std::vector<Surface> surfaces)
{
  d->surfaces.clear();
  d->firstVertex.clear();
  d->firstIndex.clear();
  d->boxes.clear();
  d->min = fvec3(HUGE_VALF, HUGE_VALF, HUGE_VALF);
  d->max = fvec3(-HUGE_VALF, -HUGE_VALF, -HUGE_VALF);
  size_t vertexCount = 0, indexCount = 0;
  for (Surface& s : surfaces) {
    // A mesh that does not hold together is left out rather than drawn wrong.
    const size_t n = s.mesh.positions.size();
    const bool ok = s.mesh.normals.size() == n && s.mesh.indices.size() % 3 == 0 &&
                    std::all_of(s.mesh.indices.begin(), s.mesh.indices.end(), [n](uint32_t i) { return i < n; });
    if (!ok || s.mesh.indices.empty() || !(s.opacity > 0.0f))
      continue;
    fvec3 lo(HUGE_VALF, HUGE_VALF, HUGE_VALF), hi(-HUGE_VALF, -HUGE_VALF, -HUGE_VALF);
    for (const fvec3& p : s.mesh.positions)
      for (int i = 0; i < 3; ++i) {
        lo[i] = std::min(lo[i], p[i]);
        hi[i] = std::max(hi[i], p[i]);
      }
    for (int i = 0; i < 3; ++i) {
      d->min[i] = std::min(d->min[i], lo[i]);
      d->max[i] = std::max(d->max[i], hi[i]);
    }
    d->boxes.push_back({lo, hi});
    d->firstVertex.push_back(vertexCount);
    d->firstIndex.push_back(indexCount);
    vertexCount += n;
    indexCount += s.mesh.indices.size();
    d->surfaces.push_back(std::move(s));
  }
  d->dirty = true;
}

const std::vector<Surface>& SurfaceRenderer::surfaces() const
{
  return d->surfaces;
}

void SurfaceRenderer::setDepthCue(const fvec4& background, float strength, const fvec3& min, const fvec3& max)
{
  d->cueColor = background;
  d->cueStrength = strength;
  d->cueMin = min;
  d->cueMax = max;
}

void SurfaceRenderer::render(const QMatrix4x4& view, const QMatrix4x4& projection, int viewportWidth,
                             int viewportHeight)
{
  QOpenGLContext* ctx = QOpenGLContext::currentContext();
  if (!ctx || viewportWidth <= 0 || viewportHeight <= 0 || d->surfaces.empty())
    return;
  if (d->context != ctx) {
    d->dropGL();
    d->glFailed = !d->initGL(ctx);
  }
  if (d->glFailed)
    return;
  if (d->dirty) {
    d->dirty = false;
    if (!d->upload()) {
      d->surfaces.clear(); // until the next prepare()
      return;
    }
  }

  // Depth cueing as MoleculeRenderer does it: from the box's middle to its back.
  const float det3 = view(0, 0) * (view(1, 1) * view(2, 2) - view(1, 2) * view(2, 1)) -
                     view(0, 1) * (view(1, 0) * view(2, 2) - view(1, 2) * view(2, 0)) +
                     view(0, 2) * (view(1, 0) * view(2, 1) - view(1, 1) * view(2, 0));
  const float viewScale = std::isfinite(det3) && det3 != 0.0f ? std::cbrt(std::fabs(det3)) : 1.0f;
  const fvec3 centre = (d->cueMin + d->cueMax) * 0.5f;
  const float cueStart = -(view * QVector3D(centre.x, centre.y, centre.z)).z();
  const float cueEnd = cueStart + 0.5f * (d->cueMax - d->cueMin).length() * viewScale;
  const bool ortho = projection(3, 0) == 0.0f && projection(3, 1) == 0.0f && projection(3, 2) == 0.0f;

  auto* f = ctx->extraFunctions();
  const bool hadCull = f->glIsEnabled(GL_CULL_FACE);
  const bool hadBlend = f->glIsEnabled(GL_BLEND);
  f->glEnable(GL_DEPTH_TEST);
  f->glDepthFunc(GL_LESS);
  f->glCullFace(GL_BACK);
  f->glFrontFace(GL_CCW);
  d->program->bind();
  QOpenGLShaderProgram& p = *d->program;
  p.setUniformValue("view", view);
  p.setUniformValue("projection", projection);
  p.setUniformValue("orthographic", ortho);
  p.setUniformValue("cueColor", QVector3D(d->cueColor.r, d->cueColor.g, d->cueColor.b));
  p.setUniformValue("cueStart", cueStart);
  p.setUniformValue("cueEnd", cueEnd);
  p.setUniformValue("cueStrength", d->cueStrength);
  d->vao.bind();
  // Opaque ones write depth and show both sides (a lobe cut open by the
  // grid's border); see-through ones go over everything opaque, the farthest
  // first, judged by the middle of each one's box.
  std::vector<size_t> order(d->surfaces.size());
  std::vector<float> depth(d->surfaces.size());
  for (size_t k = 0; k < order.size(); ++k) {
    const fvec3 c = (d->boxes[k].min + d->boxes[k].max) * 0.5f;
    order[k] = k;
    depth[k] = (view * QVector3D(c.x, c.y, c.z)).z();
  }
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return depth[a] < depth[b]; });
  for (bool translucent : {false, true}) {
    if (translucent) {
      f->glEnable(GL_CULL_FACE);
      f->glEnable(GL_BLEND);
      f->glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
      f->glDepthMask(GL_FALSE);
    } else {
      f->glDisable(GL_BLEND);
      f->glDepthMask(GL_TRUE);
    }
    for (size_t k : order) {
      const Surface& s = d->surfaces[k];
      if ((s.opacity < 1.0f) != translucent)
        continue;
      if (!translucent) {
        // Back faces cost as much as front ones; they show only through a
        // surface that is open or cut by the near plane.
        if (s.mesh.closed && inFrontOfNearPlane(projection * view, d->boxes[k]))
          f->glEnable(GL_CULL_FACE);
        else
          f->glDisable(GL_CULL_FACE);
      }
      p.setUniformValue("color", QVector3D(s.color.r, s.color.g, s.color.b));
      p.setUniformValue("opacity", std::min(s.opacity, 1.0f));
      f->glDrawElementsBaseVertex(GL_TRIANGLES, static_cast<GLsizei>(s.mesh.indices.size()), GL_UNSIGNED_INT,
                                  reinterpret_cast<const void*>(d->firstIndex[k] * sizeof(uint32_t)),
                                  static_cast<GLint>(d->firstVertex[k]));
    }
  }
  d->vao.release();
  p.release();
  f->glDepthMask(GL_TRUE);
  if (!hadCull)
    f->glDisable(GL_CULL_FACE);
  if (!hadBlend)
    f->glDisable(GL_BLEND);
}

bool SurfaceRenderer::bounds(fvec3& min, fvec3& max) const
{
  if (d->surfaces.empty())
    return false;
  min = d->min;
  max = d->max;
  return true;
}

void SurfaceRenderer::releaseGL()
{
  d->dropGL();
}

} // namespace vl
