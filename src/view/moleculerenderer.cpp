#include "view/moleculerenderer.h"

#include <QMatrix4x4>
#include <QMetaObject>
#include <QObject>
#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLVertexArrayObject>
#include <QVector2D>
#include <QVector3D>
#include <QtGlobal>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "core/chemistry/occlusion.h"
#include "core/model/drawn.h"
#include "view/embedded_shaders.h"

namespace vl {

namespace {

// Half the span of the cross that marks an atom without bonds in wireframe.
constexpr float kCrossHalfLength = 0.2f;

struct Rgba8 {
  uint8_t c[4];
};

uint8_t toByte(float v)
{
  if (!(v > 0.0f)) // also NaN
    return 0;
  if (v >= 1.0f)
    return 255;
  return static_cast<uint8_t>(std::lround(v * 255.0f));
}

Rgba8 pack(const fvec4& c)
{
  return {{toByte(c.r), toByte(c.g), toByte(c.b), toByte(c.a)}};
}

struct SphereRecord {
  float center[3];
  float radius;
  Rgba8 color;
};
struct CylinderRecord {
  float p0[3];
  float radius;
  float p1[3];
  Rgba8 color0;
  Rgba8 color1;
};
struct LineRecord {
  float p0[3];
  Rgba8 color0;
  float p1[3];
  Rgba8 color1;
};
static_assert(sizeof(SphereRecord) == 20 && sizeof(CylinderRecord) == 36 && sizeof(LineRecord) == 32,
              "record layouts are read by the vertex shaders");

void put(float* dst, const fvec3& v)
{
  dst[0] = v.x;
  dst[1] = v.y;
  dst[2] = v.z;
}

class Box {
public:
  void add(const fvec3& p, float r)
  {
    for (int i = 0; i < 3; ++i) {
      mMin[i] = std::min(mMin[i], p[i] - r);
      mMax[i] = std::max(mMax[i], p[i] + r);
    }
    mEmpty = false;
  }
  bool empty() const { return mEmpty; }
  const fvec3& min() const { return mMin; }
  const fvec3& max() const { return mMax; }

private:
  bool mEmpty = true;
  fvec3 mMin{HUGE_VALF, HUGE_VALF, HUGE_VALF};
  fvec3 mMax{-HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
};

// One kind of item (spheres, cylinders or lines), drawn as one quad each in
// a single indexed draw. Each item's record is stored four times in a row,
// once per corner, and the vertex shader takes the corner from the vertex
// index. Not instancing: a software rasteriser runs its whole vertex pipeline
// once per instance, which costs far more than the copies for small quads.
struct Batch {
  QOpenGLShaderProgram program;
  QOpenGLVertexArrayObject vao;
  QOpenGLBuffer vertices{QOpenGLBuffer::VertexBuffer};
  bool ok = false;
};

constexpr int kCorners = 4;
constexpr int kIndicesPerQuad = 6;
// Quads per draw call: 16-bit indices reach, and a software rasteriser
// flushed after each holds only this much binned geometry at a time, so
// later chunks reuse the memory of earlier ones instead of fresh pages.
constexpr int kChunkQuads = 16384;

// Copies each record once per corner, straight into the mapped buffer.
template <class Item> bool uploadQuads(QOpenGLBuffer& buffer, const std::vector<Item>& items)
{
  const size_t bytes = items.size() * sizeof(Item) * kCorners;
  buffer.bind();
  buffer.allocate(static_cast<int>(bytes));
  auto* dst = static_cast<Item*>(
      buffer.mapRange(0, static_cast<int>(bytes), QOpenGLBuffer::RangeWrite | QOpenGLBuffer::RangeInvalidateBuffer));
  if (!dst) {
    buffer.release();
    return false;
  }
  for (const Item& item : items)
    for (int k = 0; k < kCorners; ++k)
      *dst++ = item;
  const bool ok = buffer.unmap();
  buffer.release();
  return ok;
}

} // namespace

struct MoleculeRenderer::Impl {
  // CPU side, filled by prepare().
  fvec4 cueColor = black;
  float cueStrength = 0;
  float occlusionStrength = 0;
  std::vector<SphereRecord> spheres;
  std::vector<CylinderRecord> cylinders;
  std::vector<LineRecord> lines;
  bool roundCaps = false;
  float lineWidth = 1.0f;
  float pixelScale = 1.0f;
  bool smoothLines = false;
  Box box;
  bool dirty = true;

  // GL side, created on first render() in the context current then.
  QOpenGLContext* context = nullptr;
  QMetaObject::Connection contextGone;
  std::unique_ptr<Batch> sphereBatch, cylinderBatch, lineBatch;
  // Two triangles per quad for one chunk, shared by the batches.
  QOpenGLBuffer indices{QOpenGLBuffer::IndexBuffer};
  bool glFailed = false;

  ~Impl() { QObject::disconnect(contextGone); }

  void dropGL()
  {
    QObject::disconnect(contextGone);
    for (auto* b : {&sphereBatch, &cylinderBatch, &lineBatch}) {
      if (*b) {
        (*b)->vao.destroy();
        (*b)->vertices.destroy();
        b->reset();
      }
    }
    indices.destroy();
    context = nullptr;
    glFailed = false;
    dirty = true;
  }

  bool initGL(QOpenGLContext* ctx);
  bool buildBatch(Batch& batch, const char* vs, const char* fs);
  void fillIndices();
  void addSphere(const Atom& a, float radius);
  void addBond(const Bond& b, const Atom& a1, const Atom& a2);
  void addCylinder(const fvec3& p0, const fvec3& p1, float radius, const fvec4& color);
  // Each ball's openness, and each bond half's (its atom's), into the alpha
  // bytes the shaders read it from.
  void setOpenness(const DrawnParts& parts);
  void addLine(const fvec3& p0, const Rgba8& c0, const fvec3& p1, const Rgba8& c1);
};

bool MoleculeRenderer::Impl::buildBatch(Batch& batch, const char* vs, const char* fs)
{
  if (!batch.program.addShaderFromSourceCode(QOpenGLShader::Vertex, vs) ||
      !batch.program.addShaderFromSourceCode(QOpenGLShader::Fragment, fs) || !batch.program.link()) {
    std::fprintf(stderr, "MoleculeRenderer: shader build failed: %s\n", qPrintable(batch.program.log()));
    return false;
  }
  if (!batch.vao.create() || !batch.vertices.create())
    return false;
  batch.vertices.setUsagePattern(QOpenGLBuffer::DynamicDraw);
  batch.ok = true;
  return true;
}

void MoleculeRenderer::Impl::fillIndices()
{
  // The two triangles of a four-vertex strip, as the strip orders them.
  std::vector<GLushort> data(static_cast<size_t>(kChunkQuads) * kIndicesPerQuad);
  GLushort* p = data.data();
  for (int q = 0; q < kChunkQuads; ++q) {
    const auto v = static_cast<GLushort>(q * kCorners);
    *p++ = v;
    *p++ = static_cast<GLushort>(v + 1);
    *p++ = static_cast<GLushort>(v + 2);
    *p++ = static_cast<GLushort>(v + 2);
    *p++ = static_cast<GLushort>(v + 1);
    *p++ = static_cast<GLushort>(v + 3);
  }
  // Through a VAO of ours: the index binding is part of whichever VAO is bound.
  sphereBatch->vao.bind();
  indices.bind();
  indices.allocate(data.data(), static_cast<int>(data.size() * sizeof(GLushort)));
  sphereBatch->vao.release();
}

bool MoleculeRenderer::Impl::initGL(QOpenGLContext* ctx)
{
  context = ctx;
  sphereBatch = std::make_unique<Batch>();
  cylinderBatch = std::make_unique<Batch>();
  lineBatch = std::make_unique<Batch>();
  bool ok = buildBatch(*sphereBatch, shaders::sphereVertex, shaders::sphereFragment) &&
            buildBatch(*cylinderBatch, shaders::cylinderVertex, shaders::cylinderFragment) &&
            buildBatch(*lineBatch, shaders::lineVertex, shaders::lineFragment) && indices.create();
  if (!ok)
    return false;
  fillIndices();

  // Attribute layouts, one per kind; each VAO also records the index buffer.
  auto* f = ctx->extraFunctions();
  auto attrib = [f](GLuint loc, int n, GLenum type, bool normalized, int stride, size_t offset) {
    f->glEnableVertexAttribArray(loc);
    f->glVertexAttribPointer(loc, n, type, normalized ? GL_TRUE : GL_FALSE, stride,
                             reinterpret_cast<const void*>(offset));
  };
  sphereBatch->vao.bind();
  indices.bind();
  sphereBatch->vertices.bind();
  attrib(1, 4, GL_FLOAT, false, sizeof(SphereRecord), offsetof(SphereRecord, center));
  attrib(2, 4, GL_UNSIGNED_BYTE, true, sizeof(SphereRecord), offsetof(SphereRecord, color));
  sphereBatch->vao.release();

  cylinderBatch->vao.bind();
  indices.bind();
  cylinderBatch->vertices.bind();
  attrib(1, 4, GL_FLOAT, false, sizeof(CylinderRecord), offsetof(CylinderRecord, p0));
  attrib(2, 3, GL_FLOAT, false, sizeof(CylinderRecord), offsetof(CylinderRecord, p1));
  attrib(3, 4, GL_UNSIGNED_BYTE, true, sizeof(CylinderRecord), offsetof(CylinderRecord, color0));
  attrib(4, 4, GL_UNSIGNED_BYTE, true, sizeof(CylinderRecord), offsetof(CylinderRecord, color1));
  cylinderBatch->vao.release();

  lineBatch->vao.bind();
  indices.bind();
  lineBatch->vertices.bind();
  attrib(1, 3, GL_FLOAT, false, sizeof(LineRecord), offsetof(LineRecord, p0));
  attrib(2, 4, GL_UNSIGNED_BYTE, true, sizeof(LineRecord), offsetof(LineRecord, color0));
  attrib(3, 3, GL_FLOAT, false, sizeof(LineRecord), offsetof(LineRecord, p1));
  attrib(4, 4, GL_UNSIGNED_BYTE, true, sizeof(LineRecord), offsetof(LineRecord, color1));
  lineBatch->vao.release();
  lineBatch->vertices.release();

  // When the context goes away first, let Qt's resource guards free what we
  // hold instead of calling into a dead context later.
  contextGone = QObject::connect(ctx, &QOpenGLContext::aboutToBeDestroyed, [this]() { dropGL(); });
  return true;
}

void MoleculeRenderer::Impl::addSphere(const Atom& a, float radius)
{
  const fvec3& c = a.coordinates();
  SphereRecord s;
  put(s.center, c);
  s.radius = radius;
  s.color = pack(a.color());
  spheres.push_back(s);
  box.add(c, radius);
}

void MoleculeRenderer::Impl::addBond(const Bond& b, const Atom& a1, const Atom& a2)
{
  CylinderRecord c;
  put(c.p0, a1.coordinates());
  put(c.p1, a2.coordinates());
  c.radius = b.radius();
  if (b.useAtomColors()) {
    c.color0 = pack(a1.color());
    c.color1 = pack(a2.color());
  } else {
    c.color0 = c.color1 = pack(b.color());
  }
  cylinders.push_back(c);
  box.add(a1.coordinates(), b.radius());
  box.add(a2.coordinates(), b.radius());
}

void MoleculeRenderer::Impl::addCylinder(const fvec3& p0, const fvec3& p1, float radius, const fvec4& color)
{
  CylinderRecord c;
  put(c.p0, p0);
  put(c.p1, p1);
  c.radius = radius;
  c.color0 = c.color1 = pack(color);
  cylinders.push_back(c);
  box.add(p0, radius);
  box.add(p1, radius);
}

void MoleculeRenderer::Impl::setOpenness(const DrawnParts& parts)
{
  if (parts.bondsAsLines)
    return;
  // The atoms as drawn: their balls, or, for bond ends without one, the stick.
  std::unordered_map<const Atom*, size_t> index;
  std::vector<fvec3> centres;
  std::vector<float> radii;
  auto add = [&](const Atom* a, float radius) {
    if (index.emplace(a, centres.size()).second) {
      centres.push_back(a->coordinates());
      radii.push_back(radius);
    }
  };
  for (const DrawnBall& ball : parts.balls)
    add(ball.atom, ball.radius);
  for (const Bond* b : parts.bonds) {
    add(b->atom1(), b->radius());
    add(b->atom2(), b->radius());
  }
  const std::vector<float> openness = BallOpenness(centres, radii);
  for (size_t k = 0; k < spheres.size() && k < parts.balls.size(); ++k)
    spheres[k].color.c[3] = toByte(openness[index.at(parts.balls[k].atom)]);
  for (size_t k = 0; k < cylinders.size() && k < parts.bonds.size(); ++k) {
    cylinders[k].color0.c[3] = toByte(openness[index.at(parts.bonds[k]->atom1())]);
    cylinders[k].color1.c[3] = toByte(openness[index.at(parts.bonds[k]->atom2())]);
  }
}

void MoleculeRenderer::Impl::addLine(const fvec3& p0, const Rgba8& c0, const fvec3& p1, const Rgba8& c1)
{
  LineRecord l;
  put(l.p0, p0);
  put(l.p1, p1);
  l.color0 = c0;
  l.color1 = c1;
  lines.push_back(l);
  box.add(p0, 0.0f);
  box.add(p1, 0.0f);
}

MoleculeRenderer::MoleculeRenderer() : d(std::make_unique<Impl>()) {}

MoleculeRenderer::~MoleculeRenderer()
{
  if (d->context && QOpenGLContext::currentContext() == d->context)
    d->dropGL();
}

void MoleculeRenderer::clear()
{
  d->spheres.clear();
  d->cylinders.clear();
  d->lines.clear();
  d->box = Box();
  d->dirty = true;
}

void MoleculeRenderer::prepare(const Molecule& molecule, const std::vector<Arrow>& arrows)
{
  clear();
  const DrawnParts parts = drawnParts(molecule);
  d->roundCaps = parts.roundCaps;
  d->lineWidth = std::isfinite(molecule.lineWidth()) ? std::clamp(molecule.lineWidth(), 0.5f, 64.0f) : 1.0f;
  d->smoothLines = molecule.smoothLines();

  if (parts.bondsAsLines) {
    d->lines.reserve(parts.bonds.size() + 3 * parts.crosses.size());
    for (const Bond* b : parts.bonds) {
      const Atom* a1 = b->atom1();
      const Atom* a2 = b->atom2();
      Rgba8 c0 = pack(b->color()), c1 = c0;
      if (b->useAtomColors()) {
        c0 = pack(a1->color());
        c1 = pack(a2->color());
      }
      d->addLine(a1->coordinates(), c0, a2->coordinates(), c1);
    }
  } else {
    d->cylinders.reserve(parts.bonds.size());
    for (const Bond* b : parts.bonds)
      d->addBond(*b, *b->atom1(), *b->atom2());
  }

  // An atom without a drawn bond in wireframe is marked with a small cross.
  const float h = kCrossHalfLength;
  for (const Atom* a : parts.crosses) {
    const fvec3& c = a->coordinates();
    const Rgba8 col = pack(a->color());
    d->addLine(c - fvec3(h, 0, 0), col, c + fvec3(h, 0, 0), col);
    d->addLine(c - fvec3(0, h, 0), col, c + fvec3(0, h, 0), col);
    d->addLine(c - fvec3(0, 0, h), col, c + fvec3(0, 0, h), col);
  }

  d->spheres.reserve(parts.balls.size());
  for (const DrawnBall& ball : parts.balls)
    d->addSphere(*ball.atom, ball.radius);
  d->setOpenness(parts);

  // The shaft takes three quarters; the head is four ever thinner discs.
  for (const Arrow& a : arrows) {
    const fvec3 along = a.to - a.from;
    const fvec3 neck = a.from + along * 0.75f;
    d->addCylinder(a.from, neck, a.radius, a.color);
    for (int step = 0; step < 4; ++step)
      d->addCylinder(neck + along * (0.0625f * static_cast<float>(step)),
                     neck + along * (0.0625f * static_cast<float>(step + 1)),
                     a.radius * (2.4f - 0.55f * static_cast<float>(step)), a.color);
  }
}

void MoleculeRenderer::render(const QMatrix4x4& view, const QMatrix4x4& projection, int viewportWidth,
                              int viewportHeight)
{
  QOpenGLContext* ctx = QOpenGLContext::currentContext();
  if (!ctx || viewportWidth <= 0 || viewportHeight <= 0)
    return;
  if (d->context != ctx) {
    // A different context: the old objects are not usable here.
    d->dropGL();
    if (!d->initGL(ctx)) {
      d->glFailed = true;
    }
  }
  if (d->glFailed)
    return;
  // Beyond what one buffer takes (2 GiB) a kind is not drawn at all.
  auto drawable = [](size_t count, size_t size) {
    return count > 0 && count * size * kCorners <= static_cast<size_t>(INT_MAX);
  };
  bool drawSpheres = drawable(d->spheres.size(), sizeof(SphereRecord));
  bool drawCylinders = drawable(d->cylinders.size(), sizeof(CylinderRecord));
  bool drawLines = drawable(d->lines.size(), sizeof(LineRecord));
  if (!drawSpheres && !drawCylinders && !drawLines)
    return;

  auto* f = ctx->extraFunctions();
  if (d->dirty) {
    // A kind whose upload fails is dropped until the next prepare().
    if (drawSpheres && !uploadQuads(d->sphereBatch->vertices, d->spheres))
      d->spheres.clear();
    if (drawCylinders && !uploadQuads(d->cylinderBatch->vertices, d->cylinders))
      d->cylinders.clear();
    if (drawLines && !uploadQuads(d->lineBatch->vertices, d->lines))
      d->lines.clear();
    d->dirty = false;
  }
  drawSpheres = drawSpheres && !d->spheres.empty();
  drawCylinders = drawCylinders && !d->cylinders.empty();
  drawLines = drawLines && !d->lines.empty();
  auto drawQuads = [f](size_t count) {
    for (size_t first = 0; first < count; first += kChunkQuads) {
      const size_t n = std::min(count - first, static_cast<size_t>(kChunkQuads));
      f->glDrawElementsBaseVertex(GL_TRIANGLES, static_cast<GLsizei>(n * kIndicesPerQuad), GL_UNSIGNED_SHORT, nullptr,
                                  static_cast<GLint>(first * kCorners));
      f->glFlush();
    }
  };

  const bool hadDepth = f->glIsEnabled(GL_DEPTH_TEST);
  const bool hadCull = f->glIsEnabled(GL_CULL_FACE);
  const bool hadBlend = f->glIsEnabled(GL_BLEND);
  f->glDisable(GL_CULL_FACE); // impostor quads face either way
  f->glEnable(GL_DEPTH_TEST);
  f->glDepthFunc(GL_LESS);
  f->glDepthMask(GL_TRUE);
  f->glDisable(GL_BLEND);

  // Orthographic projections have (0, 0, 0, 1) as their last row.
  const bool ortho = projection(3, 0) == 0.0f && projection(3, 1) == 0.0f && projection(3, 2) == 0.0f;
  // Radii live in world units; a view with a uniform scale scales them too.
  const float det3 = view(0, 0) * (view(1, 1) * view(2, 2) - view(1, 2) * view(2, 1)) -
                     view(0, 1) * (view(1, 0) * view(2, 2) - view(1, 2) * view(2, 0)) +
                     view(0, 2) * (view(1, 0) * view(2, 1) - view(1, 1) * view(2, 0));
  const float viewScale = std::isfinite(det3) && det3 != 0.0f ? std::cbrt(std::fabs(det3)) : 1.0f;

  // Depth cueing from the middle of the drawing to its back.
  float cueStart = 0, cueEnd = 1;
  if (!d->box.empty()) {
    const fvec3 centre = (d->box.min() + d->box.max()) * 0.5f;
    cueStart = -(view * QVector3D(centre.x, centre.y, centre.z)).z();
    cueEnd = cueStart + 0.5f * (d->box.max() - d->box.min()).length() * viewScale;
  }
  auto setCommon = [&](QOpenGLShaderProgram& p) {
    p.setUniformValue("view", view);
    p.setUniformValue("projection", projection);
    p.setUniformValue("viewScale", viewScale);
    p.setUniformValue("orthographic", ortho);
    p.setUniformValue("cueColor", QVector3D(d->cueColor.r, d->cueColor.g, d->cueColor.b));
    p.setUniformValue("cueStart", cueStart);
    p.setUniformValue("cueEnd", cueEnd);
    p.setUniformValue("cueStrength", d->cueStrength);
    p.setUniformValue("occlusionStrength", d->occlusionStrength);
  };

  if (drawSpheres) {
    Batch& b = *d->sphereBatch;
    b.program.bind();
    setCommon(b.program);
    b.vao.bind();
    drawQuads(d->spheres.size());
    b.vao.release();
    b.program.release();
  }
  if (drawCylinders) {
    Batch& b = *d->cylinderBatch;
    b.program.bind();
    setCommon(b.program);
    b.program.setUniformValue("roundCaps", d->roundCaps);
    b.program.setUniformValue("inverseProjection", projection.inverted());
    b.program.setUniformValue("viewportSize", QVector2D(float(viewportWidth), float(viewportHeight)));
    b.vao.bind();
    drawQuads(d->cylinders.size());
    b.vao.release();
    b.program.release();
  }
  if (drawLines) {
    Batch& b = *d->lineBatch;
    const float halfWidth = 0.5f * d->lineWidth * d->pixelScale;
    b.program.bind();
    b.program.setUniformValue("mvp", projection * view);
    b.program.setUniformValue("viewportSize", QVector2D(float(viewportWidth), float(viewportHeight)));
    b.program.setUniformValue("halfWidth", halfWidth);
    b.program.setUniformValue("halfExtent", halfWidth + (d->smoothLines ? d->pixelScale : 0.0f));
    b.program.setUniformValue("capExtent", halfWidth);
    b.program.setUniformValue("smoothEdges", d->smoothLines);
    if (d->smoothLines) {
      f->glEnable(GL_BLEND);
      f->glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    }
    b.vao.bind();
    drawQuads(d->lines.size());
    b.vao.release();
    b.program.release();
    f->glDisable(GL_BLEND);
  }

  if (!hadDepth)
    f->glDisable(GL_DEPTH_TEST);
  if (hadCull)
    f->glEnable(GL_CULL_FACE);
  if (hadBlend)
    f->glEnable(GL_BLEND);
}

void MoleculeRenderer::setPixelScale(float scale)
{
  d->pixelScale = std::isfinite(scale) && scale > 0.0f ? scale : 1.0f;
}

void MoleculeRenderer::setOcclusion(float strength)
{
  d->occlusionStrength = strength;
}

void MoleculeRenderer::setDepthCue(const fvec4& background, float strength)
{
  d->cueColor = background;
  d->cueStrength = strength;
}

bool MoleculeRenderer::bounds(fvec3& min, fvec3& max) const
{
  if (d->box.empty())
    return false;
  min = d->box.min();
  max = d->box.max();
  return true;
}

void MoleculeRenderer::releaseGL()
{
  d->dropGL();
}

} // namespace vl
