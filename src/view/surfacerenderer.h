#pragma once
// Draws isosurfaces (orbital lobes, densities) with the molecule: smooth
// shaded, lit and depth-cued as the atoms are, opaque or see-through.
#include <memory>
#include <vector>

#include "core/chemistry/isosurface.h"
#include "core/model/vector.h"

class QMatrix4x4;

namespace vl {

struct Surface {
  chem::Mesh mesh;
  fvec4 color = white;
  // Below 1 the surface is blended over what lies behind it; only its side
  // facing the eye is drawn, so a closed lobe shows one layer.
  float opacity = 1.0f;
};

class SurfaceRenderer {
public:
  SurfaceRenderer();
  ~SurfaceRenderer();
  SurfaceRenderer(const SurfaceRenderer&) = delete;
  SurfaceRenderer& operator=(const SurfaceRenderer&) = delete;

  // Replaces what is drawn. CPU only: callable without a current context.
  void prepare(std::vector<Surface> surfaces);
  void clear() { prepare({}); }
  const std::vector<Surface>& surfaces() const;

  // Far surfaces fade towards `background`, up to `strength` at the back of
  // the box (min, max) from its middle: given the molecule's box, a surface
  // fades as an atom at the same depth does.
  void setDepthCue(const fvec4& background, float strength, const fvec3& min, const fvec3& max);

  // Draws into the bound framebuffer, opaque surfaces first; the OpenGL
  // context must be current. Uploads the meshes first when prepare() changed them.
  void render(const QMatrix4x4& view, const QMatrix4x4& projection, int viewportWidth, int viewportHeight);

  // Bounding box of the meshes; false when there is nothing to draw.
  bool bounds(fvec3& min, fvec3& max) const;

  // Frees the OpenGL objects; the context must be current.
  void releaseGL();

private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

} // namespace vl
