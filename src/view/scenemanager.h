#pragma once
// What is drawn: at most one molecule and the overlay texts. The overlay stays
// when the molecule is replaced.
#include <vector>

#include "view/moleculerenderer.h"
#include "view/overlay.h"
#include "core/model/molecule.h"
#include "core/model/ref.h"

namespace vl {

class OpenGLContext;
class Text;

class SceneManager {
public:
  // Replaces the displayed molecule and asks for a redraw.
  void showMolecule(const Molecule& molecule);
  MoleculeRenderer& moleculeRenderer() { return mMolecule; }
  const MoleculeRenderer& moleculeRenderer() const { return mMolecule; }

  // Adding the same text twice keeps one copy.
  void addText(const ref<Text>& text);
  const std::vector<ref<Text>>& texts() const { return mTexts; }
  TextOverlay& textOverlay() { return mOverlay; }

  // Bounding box of the drawn molecule; false when none is drawn.
  bool bounds(fvec3& min, fvec3& max) const { return mMolecule.bounds(min, max); }

  // The window that shows this scene, for redraw requests (may be null).
  void setContext(OpenGLContext* context) { mContext = context; }
  OpenGLContext* context() const { return mContext; }
  void requestRedraw();

  // Frees OpenGL objects; the context must be current.
  void releaseGL()
  {
    mMolecule.releaseGL();
    mOverlay.releaseGL();
  }

private:
  MoleculeRenderer mMolecule;
  std::vector<ref<Text>> mTexts;
  TextOverlay mOverlay;
  OpenGLContext* mContext = nullptr;
};

} // namespace vl
