#include "view/overlay.h"

#include <algorithm>
#include <cstdio>

#include <QColor>
#include <QFontMetrics>
#include <QImage>
#include <QObject>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLVertexArrayObject>
#include <QPainter>
#include <QRect>

#include "view/embedded_shaders.h"
#include "view/text.h"

namespace vl {

namespace {

struct Entry {
  // What the image shows: the lines relative to its top left corner.
  std::vector<Text::PlacedLine> lines;
  QFont font;
  QRgb color = 0;
  QRect rect; // where it goes, in window pixels
  GLuint texture = 0;

  bool shows(const std::vector<Text::PlacedLine>& other, const QFont& f, QRgb c, const QSize& size) const
  {
    if (f != font || c != color || size != rect.size() || other.size() != lines.size())
      return false;
    for (size_t i = 0; i < lines.size(); ++i)
      if (other[i].text != lines[i].text || other[i].baseline != lines[i].baseline)
        return false;
    return true;
  }
};

QRgb premultipliedColor(const fvec4& c)
{
  return QColor::fromRgbF(std::clamp(c.r, 0.0f, 1.0f), std::clamp(c.g, 0.0f, 1.0f), std::clamp(c.b, 0.0f, 1.0f),
                          std::clamp(c.a, 0.0f, 1.0f))
      .rgba();
}

} // namespace

struct TextOverlay::Impl {
  QOpenGLContext* context = nullptr;
  QMetaObject::Connection contextGone;
  std::unique_ptr<QOpenGLShaderProgram> program;
  std::unique_ptr<QOpenGLVertexArrayObject> vao; // empty: the corners come from the vertex index
  std::vector<Entry> entries;                    // one per text, in order
  Entry picture;                                 // drawPicture's
  qint64 pictureKey = 0;
  bool glFailed = false;

  ~Impl() { QObject::disconnect(contextGone); }

  void dropGL()
  {
    QObject::disconnect(contextGone);
    if (context && QOpenGLContext::currentContext() == context) {
      for (Entry& e : entries)
        if (e.texture)
          context->functions()->glDeleteTextures(1, &e.texture);
      if (picture.texture)
        context->functions()->glDeleteTextures(1, &picture.texture);
      if (vao)
        vao->destroy();
    }
    entries.clear();
    picture = Entry();
    pictureKey = 0;
    program.reset();
    vao.reset();
    context = nullptr;
    glFailed = false;
  }

  bool initGL(QOpenGLContext* ctx)
  {
    context = ctx;
    program = std::make_unique<QOpenGLShaderProgram>();
    vao = std::make_unique<QOpenGLVertexArrayObject>();
    if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, shaders::overlayVertex) ||
        !program->addShaderFromSourceCode(QOpenGLShader::Fragment, shaders::overlayFragment) || !program->link()) {
      std::fprintf(stderr, "TextOverlay: shader build failed: %s\n", qPrintable(program->log()));
      return false;
    }
    if (!vao->create())
      return false;
    contextGone = QObject::connect(ctx, &QOpenGLContext::aboutToBeDestroyed, [this]() { dropGL(); });
    return true;
  }

  // Puts an RGBA8888 image into the entry's texture.
  static void upload(Entry& e, const QImage& image, QOpenGLExtraFunctions* f)
  {
    if (!e.texture)
      f->glGenTextures(1, &e.texture);
    f->glActiveTexture(GL_TEXTURE0);
    f->glBindTexture(GL_TEXTURE_2D, e.texture);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    f->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    f->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width(), image.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                    image.constBits());
  }

  // Sets up the shader and state for textured rectangles; false when GL failed.
  bool begin(int width, int height);
  void drawRect(const Entry& e, QOpenGLExtraFunctions* f);
  void end();
  bool hadDepth = false, hadCull = false;

  // Paints the text into its entry's image and texture when what it shows changed.
  bool update(Entry& e, const Text& text, int width, int height, QOpenGLExtraFunctions* f);
};

bool TextOverlay::Impl::update(Entry& e, const Text& text, int width, int height, QOpenGLExtraFunctions* f)
{
  std::vector<Text::PlacedLine> lines = text.layout(width, height);
  if (lines.empty())
    return false;
  const QFont font = text.drawingFont();
  const QFontMetrics fm(font);
  QRect ink;
  for (const auto& line : lines)
    ink |= fm.boundingRect(line.text).translated(line.baseline);
  // A pixel more on each side for what the metrics round away; nothing
  // outside the viewport.
  ink = ink.adjusted(-1, -1, 1, 1) & QRect(0, 0, width, height);
  if (ink.isEmpty())
    return false;
  for (auto& line : lines)
    line.baseline -= ink.topLeft();
  const QRgb color = premultipliedColor(text.color());
  if (e.texture && e.shows(lines, font, color, ink.size())) {
    e.rect = ink;
    return true;
  }

  QImage image(ink.size(), QImage::Format_RGBA8888_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.translate(-ink.topLeft());
    text.draw(painter, width, height);
  }
  upload(e, image, f);
  e.lines = std::move(lines);
  e.font = font;
  e.color = color;
  e.rect = ink;
  return true;
}

TextOverlay::TextOverlay() : d(std::make_unique<Impl>()) {}

TextOverlay::~TextOverlay()
{
  if (d->context && QOpenGLContext::currentContext() == d->context)
    d->dropGL();
}

bool TextOverlay::Impl::begin(int width, int height)
{
  QOpenGLContext* ctx = QOpenGLContext::currentContext();
  if (!ctx || width <= 0 || height <= 0)
    return false;
  if (context != ctx) {
    dropGL();
    glFailed = !initGL(ctx);
  }
  if (glFailed)
    return false;
  auto* f = ctx->extraFunctions();
  hadDepth = f->glIsEnabled(GL_DEPTH_TEST);
  hadCull = f->glIsEnabled(GL_CULL_FACE);
  f->glDisable(GL_DEPTH_TEST);
  f->glDisable(GL_CULL_FACE);
  // Premultiplied colours, as Qt's painters blend them.
  f->glEnable(GL_BLEND);
  f->glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  program->bind();
  program->setUniformValue("image", 0);
  program->setUniformValue("viewportSize", static_cast<float>(width), static_cast<float>(height));
  vao->bind();
  return true;
}

void TextOverlay::Impl::drawRect(const Entry& e, QOpenGLExtraFunctions* f)
{
  program->setUniformValue("rect", static_cast<float>(e.rect.x()), static_cast<float>(e.rect.y()),
                           static_cast<float>(e.rect.width()), static_cast<float>(e.rect.height()));
  f->glActiveTexture(GL_TEXTURE0);
  f->glBindTexture(GL_TEXTURE_2D, e.texture);
  f->glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void TextOverlay::Impl::end()
{
  auto* f = context->extraFunctions();
  vao->release();
  program->release();
  f->glBindTexture(GL_TEXTURE_2D, 0);
  f->glDisable(GL_BLEND);
  if (hadDepth)
    f->glEnable(GL_DEPTH_TEST);
  if (hadCull)
    f->glEnable(GL_CULL_FACE);
}

void TextOverlay::draw(const std::vector<ref<Text>>& texts, int width, int height)
{
  if (texts.empty() || !d->begin(width, height))
    return;
  auto* f = d->context->extraFunctions();
  for (size_t i = texts.size(); i < d->entries.size(); ++i)
    if (d->entries[i].texture)
      f->glDeleteTextures(1, &d->entries[i].texture);
  d->entries.resize(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    Entry& e = d->entries[i];
    if (texts[i] && d->update(e, *texts[i], width, height, f))
      d->drawRect(e, f);
  }
  d->end();
}

void TextOverlay::drawPicture(const QImage& picture, int x, int y)
{
  GLint viewport[4] = {0, 0, 0, 0};
  if (QOpenGLContext* ctx = QOpenGLContext::currentContext())
    ctx->functions()->glGetIntegerv(GL_VIEWPORT, viewport);
  if (picture.isNull() || !d->begin(viewport[2], viewport[3]))
    return;
  auto* f = d->context->extraFunctions();
  if (!d->picture.texture || d->pictureKey != picture.cacheKey() || d->picture.rect.size() != picture.size()) {
    Impl::upload(d->picture, picture.convertToFormat(QImage::Format_RGBA8888_Premultiplied), f);
    d->pictureKey = picture.cacheKey();
  }
  d->picture.rect = QRect(QPoint(x, y), picture.size());
  d->drawRect(d->picture, f);
  d->end();
}

void TextOverlay::releaseGL()
{
  d->dropGL();
}

} // namespace vl
