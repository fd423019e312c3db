#include "core/model/drawn.h"

#include <cmath>
#include <unordered_set>

namespace vl {

namespace {

bool goodRadius(float r)
{
  return std::isfinite(r) && r > 0.0f;
}

// Sticks give an atom without a drawn bond a ball of the stick radius: that
// of the first drawn bond, or this.
constexpr float kDefaultStickRadius = 0.1f;

} // namespace

bool atomDrawn(const Atom* a)
{
  if (!a || !a->visible())
    return false;
  const fvec3& p = a->coordinates();
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

DrawnParts drawnParts(const Molecule& molecule)
{
  DrawnParts parts;
  const EMoleculeStyle style = molecule.moleculeStyle();
  const bool wireframe = style == MS_Wireframe;
  const bool sticks = style == MS_Sticks;
  parts.bondsAsLines = wireframe;
  parts.roundCaps = sticks;

  // Atoms that some drawn bond reaches; only the styles without balls need it.
  std::unordered_set<const Atom*> bonded;
  if (wireframe || sticks)
    bonded.reserve(static_cast<size_t>(molecule.atoms()));

  if (style != MS_AtomsOnly) {
    for (const auto& bp : molecule.bondList()) {
      Bond* b = bp.get();
      if (!b || !b->visible())
        continue;
      const Atom* a1 = b->atom1();
      const Atom* a2 = b->atom2();
      if (!atomDrawn(a1) || !atomDrawn(a2) || a1->coordinates() == a2->coordinates())
        continue;
      if (!wireframe && !goodRadius(b->radius()))
        continue;
      parts.bonds.push_back(b);
      if (wireframe || sticks) {
        bonded.insert(a1);
        bonded.insert(a2);
      }
    }
  }

  if (wireframe || sticks) {
    // Without this an atom with no drawn bond would vanish.
    const float r = sticks && !parts.bonds.empty() ? parts.bonds.front()->radius() : kDefaultStickRadius;
    for (const auto& ap : molecule.atomList()) {
      Atom* a = ap.get();
      if (!atomDrawn(a) || bonded.count(a))
        continue;
      if (wireframe)
        parts.crosses.push_back(a);
      else
        parts.balls.push_back({a, r});
    }
  } else {
    parts.balls.reserve(static_cast<size_t>(molecule.atoms()));
    for (const auto& ap : molecule.atomList()) {
      Atom* a = ap.get();
      if (atomDrawn(a) && goodRadius(a->radius()))
        parts.balls.push_back({a, a->radius()});
    }
  }
  return parts;
}

} // namespace vl
