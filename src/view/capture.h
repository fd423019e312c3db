#pragma once
// Off-screen snapshots of a rendering at a size of their own, independent of
// the window: the view is drawn again into a framebuffer object and written
// as a PNG.
#include <string>

#include <QImage>

namespace vl {

class Rendering;

// Draws the rendering's scene at width x height into a fresh framebuffer
// object (the scene at twice the size, averaged down; the texts at this size)
// and reads it back, top row first: RGB when the background is opaque,
// else RGBA (not premultiplied). The
// OpenGL context must be current; the framebuffer bound before is bound again
// afterwards. A null image, with *error set, when the framebuffer cannot be
// made or the image does not fit in memory.
QImage renderOffscreen(Rendering* rendering, int width, int height, std::string* error);

// Writes the image as PNG; the file is replaced only when the whole image
// was written. False, with *error set, when it could not be.
bool writePng(const QImage& image, const std::string& fileName, std::string* error);

// renderOffscreen, then writePng; the image is freed before returning.
bool captureToPng(Rendering* rendering, int width, int height, const std::string& fileName, std::string* error);

} // namespace vl
