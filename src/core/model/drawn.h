#pragma once
// What each display style draws, decided once: the renderer turns it into
// geometry and the picker tests rays against the same set.
#include <vector>

#include "core/model/molecule.h"

namespace vl {

struct DrawnBall {
  Atom* atom;
  float radius;
};

struct DrawnParts {
  // Visible bonds that join two drawn atoms at different places, in list
  // order; except in wireframe only those with a positive radius. Drawn as
  // cylinders between the atom centres (round-capped in sticks), or as lines
  // in wireframe. Space-filling draws none.
  std::vector<Bond*> bonds;
  bool bondsAsLines = false;
  bool roundCaps = false;
  // Spheres, in list order: in space-filling and ball-and-stick every drawn
  // atom of positive radius at that radius; in sticks each drawn atom that
  // no drawn bond reaches, at the stick radius (the first bond's, or 0.1).
  std::vector<DrawnBall> balls;
  // Wireframe: the drawn atoms that no drawn bond reaches; they get a cross.
  std::vector<Atom*> crosses;
};

// Visible and at a finite place: anything else is never drawn.
bool atomDrawn(const Atom* atom);

DrawnParts drawnParts(const Molecule& molecule);

} // namespace vl
