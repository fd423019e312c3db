#pragma once
// Draws the overlay texts over the scene. Each text is painted on the CPU into
// an image, only when its content or placement changes, and drawn as one
// textured rectangle, pixel for pixel: the GL paint engine of Qt would cost
// a dozen shader programs and a glyph cache on a software rasteriser.
#include <memory>
#include <vector>

#include "core/model/ref.h"

class QImage;

namespace vl {

class Text;

class TextOverlay {
public:
  TextOverlay();
  ~TextOverlay();
  TextOverlay(const TextOverlay&) = delete;
  TextOverlay& operator=(const TextOverlay&) = delete;

  // Blends the texts over the bound framebuffer of width x height pixels; the
  // OpenGL context must be current.
  void draw(const std::vector<ref<Text>>& texts, int width, int height);

  // Draws an opaque picture with its top left corner at window pixel (x, y),
  // y down, into the bound framebuffer of the viewport last drawn into. It is
  // uploaded again only when its pixels changed (QImage::cacheKey).
  void drawPicture(const QImage& picture, int x, int y);

  // Frees the OpenGL objects; the context must be current.
  void releaseGL();

private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

} // namespace vl
