#include "core/model/pick.h"

#include <cmath>
#include <unordered_set>

namespace vl {

namespace {

// Doubles throughout: grazing hits on thin sticks far from the origin lose
// too much in single precision.
struct D3 {
  double x, y, z;
};

D3 d3(const fvec3& v) { return {v.x, v.y, v.z}; }
D3 operator-(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 operator+(const D3& a, const D3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
D3 operator*(const D3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

const double kNone = -1.0;

// Distance to the first surface point of the sphere in front of the origin;
// kNone when the ray misses it or starts inside it (nothing is drawn there).
double hitSphere(const D3& o, const D3& d, const D3& c, double r)
{
  if (!(r > 0))
    return kNone;
  D3 oc = o - c;
  double b = dot(oc, d);
  double cc = dot(oc, oc) - r * r;
  double disc = b * b - cc;
  if (disc < 0)
    return kNone;
  double t = -b - std::sqrt(disc);
  return t >= 0 ? t : kNone;
}

// Open cylinder from p1 to p2. Returns the hit distance and, through s, how
// far along the axis from p1 the hit lies.
double hitCylinder(const D3& o, const D3& d, const D3& p1, const D3& p2, double r, double& s)
{
  D3 axis = p2 - p1;
  double len = std::sqrt(dot(axis, axis));
  if (!(r > 0) || !(len > 0))
    return kNone;
  D3 a = axis * (1.0 / len);
  D3 w = o - p1;
  D3 dp = d - a * dot(d, a);
  D3 wp = w - a * dot(w, a);
  double A = dot(dp, dp);
  if (A < 1e-18) // parallel to the axis: only the ends can be met
    return kNone;
  double B = 2.0 * dot(dp, wp);
  double C = dot(wp, wp) - r * r;
  double disc = B * B - 4.0 * A * C;
  if (disc < 0)
    return kNone;
  double root = std::sqrt(disc);
  for (double t : {(-B - root) / (2.0 * A), (-B + root) / (2.0 * A)}) {
    if (t < 0)
      continue;
    double along = dot(w + d * t, a);
    if (along >= 0 && along <= len) {
      s = along;
      return t;
    }
  }
  return kNone;
}

template <class T>
struct Best {
  double t = kNone;
  T* what = nullptr;
  void offer(double tt, T* w)
  {
    if (tt >= 0 && (t < 0 || tt < t)) {
      t = tt;
      what = w;
    }
  }
};

bool finite(const fvec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }
bool drawable(const Atom* a) { return a && a->visible() && finite(a->coordinates()); }
bool goodRadius(float r) { return std::isfinite(r) && r > 0.0f; }

// The same test the renderer makes before it draws a bond.
bool bondDrawn(const Bond* b, bool needRadius)
{
  return b && b->visible() && drawable(b->atom1()) && drawable(b->atom2()) &&
         b->atom1()->coordinates() != b->atom2()->coordinates() && (!needRadius || goodRadius(b->radius()));
}

// Sticks give an atom without a drawn bond a ball of the stick radius: that
// of the first drawn bond, or this.
constexpr float kDefaultStickRadius = 0.1f;

} // namespace

PickResult pickFirst(const Molecule& molecule, const Ray& ray, const PickOptions& options)
{
  PickResult result;
  D3 o = d3(ray.origin);
  D3 d = d3(ray.direction);
  double dl = std::sqrt(dot(d, d));
  if (!(dl > 0) || !std::isfinite(dl))
    return result;
  d = d * (1.0 / dl);

  Best<Atom> atomHit;
  Best<Bond> bondHit;
  const EMoleculeStyle style = molecule.moleculeStyle();

  if (style == MS_AtomsOnly || style == MS_BallAndStick) {
    for (const auto& a : molecule.atomList())
      if (drawable(a.get()) && goodRadius(a->radius()))
        atomHit.offer(hitSphere(o, d, d3(a->coordinates()), a->radius()), a.get());
  } else if (style == MS_Wireframe) {
    for (const auto& a : molecule.atomList()) {
      if (!drawable(a.get()))
        continue;
      D3 oc = d3(a->coordinates()) - o;
      double along = dot(oc, d);
      if (along < 0)
        continue;
      double tol = options.wireframeRadius + options.wireframeRadiusPerDistance * along;
      atomHit.offer(hitSphere(o, d, d3(a->coordinates()), tol), a.get());
    }
  }

  if (style == MS_BallAndStick) {
    for (const auto& b : molecule.bondList()) {
      if (!bondDrawn(b.get(), true))
        continue;
      double s = 0;
      bondHit.offer(hitCylinder(o, d, d3(b->atom1()->coordinates()), d3(b->atom2()->coordinates()), b->radius(), s),
                    b.get());
    }
  } else if (style == MS_Sticks) {
    float stickRadius = 0.0f;
    std::unordered_set<const Atom*> bonded;
    for (const auto& b : molecule.bondList()) {
      if (!bondDrawn(b.get(), true))
        continue;
      Atom* a1 = b->atom1();
      Atom* a2 = b->atom2();
      D3 p1 = d3(a1->coordinates()), p2 = d3(a2->coordinates());
      double r = b->radius();
      if (stickRadius == 0.0f)
        stickRadius = b->radius();
      bonded.insert(a1);
      bonded.insert(a2);
      // The caps are the joints: they belong to the atoms.
      atomHit.offer(hitSphere(o, d, p1, r), a1);
      atomHit.offer(hitSphere(o, d, p2, r), a2);
      double s = 0;
      double t = hitCylinder(o, d, p1, p2, r, s);
      if (t < 0)
        continue;
      // Within one stick radius of an end the stick is still the joint;
      // without this an atom could only be picked on its outermost rim.
      double len = std::sqrt(dot(p2 - p1, p2 - p1));
      double from1 = s, from2 = len - s;
      if (from1 <= r || from2 <= r)
        atomHit.offer(t, from1 <= from2 ? a1 : a2);
      else
        bondHit.offer(t, b.get());
    }
    const double loneRadius = stickRadius > 0.0f ? stickRadius : kDefaultStickRadius;
    for (const auto& a : molecule.atomList())
      if (drawable(a.get()) && !bonded.count(a.get()))
        atomHit.offer(hitSphere(o, d, d3(a->coordinates()), loneRadius), a.get());
  }

  if (atomHit.t < 0 && bondHit.t < 0)
    return result;
  // Ties go to the atom: a joint and its stick share surface points.
  double eps = 1e-9 + 1e-7 * (atomHit.t > bondHit.t ? atomHit.t : bondHit.t);
  if (atomHit.t >= 0 && (bondHit.t < 0 || atomHit.t <= bondHit.t + eps)) {
    result.atom = atomHit.what;
    result.distance = static_cast<float>(atomHit.t);
  } else {
    result.bond = bondHit.what;
    result.distance = static_cast<float>(bondHit.t);
  }
  return result;
}

} // namespace vl
