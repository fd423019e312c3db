#pragma once
// The step between the scene and the picture: the molecule and the surfaces
// are drawn into a colour and a depth texture, then copied into the target by
// one full-screen triangle that smooths jagged edges, outlines depth jumps or
// averages a supersampled picture down. The texts go on top afterwards, so
// they stay crisp.
#include <memory>

#include "core/model/vector.h"

namespace vl {

class PostProcess {
public:
  PostProcess();
  ~PostProcess();
  PostProcess(const PostProcess&) = delete;
  PostProcess& operator=(const PostProcess&) = delete;

  struct Options {
    bool antialias = true; // not with downsampling, which smooths by itself
    bool outlines = false;
    fvec4 outlineColor = black;
    float zNear = 0.1f, zFar = 1000.0f; // of the scene's projection
    // How far, as a fraction of its distance, something must stand in front
    // of a pixel to outline it.
    float jump = 0.03f;
  };

  // The window's scene textures are kept from frame to frame; a capture's are
  // freed by releaseScene(Capture) once it is done.
  enum Slot { Window, Capture };

  // Binds a framebuffer of width x height for the scene, with a depth texture
  // of that internal format; made or resized as needed. False, with nothing
  // bound, when it cannot be made (no memory, a size the driver refuses).
  // The OpenGL context must be current.
  bool bindScene(Slot slot, int width, int height, unsigned depthFormat);
  void releaseScene(Slot slot);

  // Into the bound framebuffer's pixels (x, y, width, height), from bottom
  // left: the slot's scene from texel (imageX, imageY) on, one sample per
  // pixel or, `downsample`, 2 x 2. One sample per pixel takes two passes,
  // the first marking in the target's depth buffer (which it overwrites)
  // the pixels the second works on. Leaves depth testing off and the
  // viewport as it found it. False when the shaders failed to build:
  // nothing was drawn then.
  bool draw(Slot slot, const Options& options, bool downsample, int x, int y, int width, int height, int imageX,
            int imageY);

  // Frees the OpenGL objects; the context must be current.
  void releaseGL();

private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

} // namespace vl
