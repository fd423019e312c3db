#pragma once
// What is drawn: at most one molecule, surfaces around it and the overlay
// texts. The overlay and the surfaces stay when the molecule is replaced.
#include <string>
#include <vector>

#include "core/model/molecule.h"
#include "core/model/ref.h"
#include "view/moleculerenderer.h"
#include "view/overlay.h"
#include "view/surfacerenderer.h"

namespace vl {

class OpenGLContext;
class Plot;
class Text;

// Text beside a point of the scene: drawn right of a sphere of `radius`
// around it (or, with `before`, left of it), in the labels' colour.
struct Label {
  fvec3 position;
  float radius = 0;
  std::string text;
  bool before = false;
};

class SceneManager {
public:
  // Replaces the displayed molecule and asks for a redraw.
  void showMolecule(const Molecule& molecule, const std::vector<Arrow>& arrows = {});
  MoleculeRenderer& moleculeRenderer() { return mMolecule; }
  const MoleculeRenderer& moleculeRenderer() const { return mMolecule; }

  // Replaces the displayed surfaces (none: an empty list) and asks for a redraw.
  void showSurfaces(std::vector<Surface> surfaces);
  SurfaceRenderer& surfaceRenderer() { return mSurfaces; }
  const SurfaceRenderer& surfaceRenderer() const { return mSurfaces; }

  // Adding the same text twice keeps one copy.
  void addText(const ref<Text>& text);
  const std::vector<ref<Text>>& texts() const { return mTexts; }
  TextOverlay& textOverlay() { return mOverlay; }

  // The picture under the scene, in the camera's bottom band; null for none.
  void setPanel(const ref<Plot>& panel) { mPanel = panel; }
  Plot* panel() const { return mPanel.get(); }

  // Labels follow their points as the camera moves; replacing them asks for a redraw.
  void setLabels(std::vector<Label> labels, const fvec4& color);
  const std::vector<Label>& labels() const { return mLabels; }
  // The overlay texts with the labels placed for this view, ready to draw.
  const std::vector<ref<Text>>& placeTexts(const QMatrix4x4& view, const QMatrix4x4& projection, int width, int height);

  // Bounding box of the drawn molecule and surfaces; false when nothing is drawn.
  bool bounds(fvec3& min, fvec3& max) const;

  // The window that shows this scene, for redraw requests (may be null).
  void setContext(OpenGLContext* context) { mContext = context; }
  OpenGLContext* context() const { return mContext; }
  void requestRedraw();

  // Frees OpenGL objects; the context must be current.
  void releaseGL()
  {
    mMolecule.releaseGL();
    mSurfaces.releaseGL();
    mOverlay.releaseGL();
  }

private:
  MoleculeRenderer mMolecule;
  SurfaceRenderer mSurfaces;
  std::vector<ref<Text>> mTexts;
  std::vector<Label> mLabels;
  fvec4 mLabelColor = white;
  std::vector<ref<Text>> mPlaced; // mTexts, then one text per label in view
  TextOverlay mOverlay;
  ref<Plot> mPanel;
  OpenGLContext* mContext = nullptr;
};

} // namespace vl
