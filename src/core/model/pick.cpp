#include "core/model/pick.h"

#include <cmath>

#include "core/model/drawn.h"

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
  const DrawnParts parts = drawnParts(molecule);

  for (const DrawnBall& ball : parts.balls)
    atomHit.offer(hitSphere(o, d, d3(ball.atom->coordinates()), ball.radius), ball.atom);

  if (parts.bondsAsLines) {
    for (const auto& a : molecule.atomList()) {
      if (!atomDrawn(a.get()))
        continue;
      D3 oc = d3(a->coordinates()) - o;
      double along = dot(oc, d);
      if (along < 0)
        continue;
      double tol = options.wireframeRadius + options.wireframeRadiusPerDistance * along;
      atomHit.offer(hitSphere(o, d, d3(a->coordinates()), tol), a.get());
    }
  } else {
    for (Bond* b : parts.bonds) {
      D3 p1 = d3(b->atom1()->coordinates()), p2 = d3(b->atom2()->coordinates());
      double r = b->radius();
      double s = 0;
      double t = hitCylinder(o, d, p1, p2, r, s);
      if (!parts.roundCaps) {
        bondHit.offer(t, b);
        continue;
      }
      // The caps are the joints: they belong to the atoms.
      atomHit.offer(hitSphere(o, d, p1, r), b->atom1());
      atomHit.offer(hitSphere(o, d, p2, r), b->atom2());
      if (t < 0)
        continue;
      // Within one stick radius of an end the stick is still the joint;
      // without this an atom could only be picked on its outermost rim.
      double len = std::sqrt(dot(p2 - p1, p2 - p1));
      double from1 = s, from2 = len - s;
      if (from1 <= r || from2 <= r)
        atomHit.offer(t, from1 <= from2 ? b->atom1() : b->atom2());
      else
        bondHit.offer(t, b);
    }
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
