#pragma once
// Draws one molecule as the toolkit's molecule styles do: ray-cast sphere and
// cylinder impostors, or lines for wireframe, one indexed draw per kind.
#include <memory>
#include <vector>

#include "core/model/molecule.h"

class QMatrix4x4;

namespace vl {

// An arrow drawn with the molecule: a shaft and a head that narrows in steps.
struct Arrow {
  fvec3 from, to;
  float radius = 0.05f;
  fvec4 color = white;
};

class MoleculeRenderer {
public:
  MoleculeRenderer();
  ~MoleculeRenderer();
  MoleculeRenderer(const MoleculeRenderer&) = delete;
  MoleculeRenderer& operator=(const MoleculeRenderer&) = delete;

  // Rebuilds what is drawn (drawnParts() of the molecule) with its radii,
  // colours and line settings. CPU only: callable without a current context.
  void prepare(const Molecule& molecule, const std::vector<Arrow>& arrows = {});
  // Nothing drawn from now on.
  void clear();

  // How much the less open atoms darken (0: no ambient occlusion).
  void setOcclusion(float strength);
  // Far surfaces fade towards this colour (its strength 0: no depth cueing).
  void setDepthCue(const fvec4& background, float strength);
  // Lines are as many times wider, in pixels, as a supersampled picture is
  // larger than its target (1 at first).
  void setPixelScale(float scale);

  // Draws into the bound framebuffer; the OpenGL context must be current.
  // Uploads the per-item records first when prepare() changed it.
  void render(const QMatrix4x4& view, const QMatrix4x4& projection, int viewportWidth, int viewportHeight);

  // Bounding box of what is drawn, radii included; false when nothing is.
  bool bounds(fvec3& min, fvec3& max) const;

  // Frees the OpenGL objects; the context must be current.
  void releaseGL();

private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

} // namespace vl
