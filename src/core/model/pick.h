#pragma once
// Ray picking against a molecule as its style draws it, on the CPU: exact
// spheres and cylinders instead of a read-back of the rendered image.
#include "core/model/molecule.h"
#include "core/model/ray.h"

namespace vl {

struct PickResult {
  Atom* atom = nullptr;  // set when the nearest thing drawn is an atom
  Bond* bond = nullptr;  // set when it is a bond
  float distance = -1.0f; // along the ray, from its origin

  bool hit() const { return atom || bond; }
};

struct PickOptions {
  // Wireframe draws atoms as line ends only, so an atom counts as hit when the
  // ray passes within this radius of its centre: wireframeRadius +
  // wireframeRadiusPerDistance * (distance of the centre along the ray). The
  // second term keeps a constant on-screen tolerance under perspective.
  float wireframeRadius = 0.0f;
  float wireframeRadiusPerDistance = 0.0f;
};

// The nearest atom or bond of the molecule that the ray meets, among what
// drawnParts() says its style draws, in the shapes the renderer gives them:
//   space-filling    atoms as spheres of their radius;
//   ball-and-stick   atoms as spheres, bonds as open cylinders between centres;
//   sticks           bonds as cylinders with hemispherical caps; the caps and
//                    the first stick radius of each end belong to the atom;
//                    an atom without a drawn bond is a ball of stick radius;
//   wireframe        drawn atoms within the tolerance above; lines are never hits.
// On equal distances an atom wins over a bond.
PickResult pickFirst(const Molecule& molecule, const Ray& ray, const PickOptions& options = {});

} // namespace vl
