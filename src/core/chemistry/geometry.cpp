#include "core/chemistry/geometry.h"

#include <algorithm>
#include <cmath>

// Every coordinate difference (and every centroid sum) is formed in
// single precision from the stored floats and then widened; everything after
// that is double arithmetic in the order written here. The build compiles
// with -ffp-contract=off so no step is fused.

namespace {

struct dvec {
  double x, y, z;
};

// q - p: single-precision differences, widened to double.
inline dvec diff(const vl::Atom* q, const vl::Atom* p)
{
  const vl::fvec3& a = q->coordinates();
  const vl::fvec3& b = p->coordinates();
  const float dx = a.x - b.x;
  const float dy = a.y - b.y;
  const float dz = a.z - b.z;
  return {static_cast<double>(dx), static_cast<double>(dy), static_cast<double>(dz)};
}

inline double clampCosine(double c)
{
  if (c < -1.0)
    return -1.0;
  if (c > 1.0)
    return 1.0;
  return c;
}

const double kTiny = 1e-10;
const double kHalfPi = 1.5707963267948966;

} // namespace

double GeomRij(vl::Atom* at1, vl::Atom* at2)
{
  const dvec t = diff(at1, at2);
  return std::sqrt((t.x * t.x + t.y * t.y) + t.z * t.z);
}

double GeomAngle(vl::Atom* at1, vl::Atom* at2, vl::Atom* at3)
{
  const double r1 = GeomRij(at1, at2);
  const double r2 = GeomRij(at2, at3);
  const double r3 = GeomRij(at1, at3);
  const double cosine = ((r1 * r1 + r2 * r2) - r3 * r3) / ((r1 + r1) * r2);
  // A NaN cosine (at2 coincides with at1 or at3) passes through: acos gives NaN.
  return std::acos(clampCosine(cosine));
}

void GeomCentroid(vl::Atom* at1, vl::Atom* at2, vl::Atom* at3, double* dtmp1, double* dtmp2, double* dtmp3)
{
  const vl::fvec3& a = at1->coordinates();
  const vl::fvec3& b = at2->coordinates();
  const vl::fvec3& c = at3->coordinates();
  const float sx = (b.x + a.x) + c.x;
  const float sy = (b.y + a.y) + c.y;
  const float sz = (b.z + a.z) + c.z;
  *dtmp1 = static_cast<double>(sx) / 3.0;
  *dtmp2 = static_cast<double>(sy) / 3.0;
  *dtmp3 = static_cast<double>(sz) / 3.0;
}

double GeomTorsion(vl::Atom* at1, vl::Atom* at2, vl::Atom* at3, vl::Atom* at4)
{
  const dvec ba = diff(at2, at1);
  const dvec cb = diff(at3, at2);
  const dvec dc = diff(at4, at3);
  const double xba = ba.x, yba = ba.y, zba = ba.z;
  const double xcb = cb.x, ycb = cb.y, zcb = cb.z;
  const double xdc = dc.x, ydc = dc.y, zdc = dc.z;

  const double xt = yba * zcb - zba * ycb;
  const double yt = zba * xcb - xba * zcb;
  const double zt = xba * ycb - yba * xcb;
  const double xu = ycb * zdc - zcb * ydc;
  const double yu = zcb * xdc - xcb * zdc;
  const double zu = xcb * ydc - ycb * xdc;

  const double rt2 = xt * xt + yt * yt + zt * zt;
  const double ru2 = xu * xu + yu * yu + zu * zu;
  const double rtru = std::sqrt(rt2 * ru2);
  if (rtru < kTiny)
    return 0.0;

  const double cosine = clampCosine((xt * xu + yt * yu + zt * zu) / rtru);
  double geometry = std::acos(cosine);
  if (xba * xu + yba * yu + zba * zu < 0.0)
    geometry = -geometry;
  return geometry;
}

double GeomOutOfPlane(vl::Atom* at1, vl::Atom* at2, vl::Atom* at3, vl::Atom* at4)
{
  const dvec v23 = diff(at2, at3);
  const dvec v43 = diff(at4, at3);
  const dvec v13 = diff(at1, at3);
  const double x23 = v23.x, y23 = v23.y, z23 = v23.z;
  const double x43 = v43.x, y43 = v43.y, z43 = v43.z;
  const double x13 = v13.x, y13 = v13.y, z13 = v13.z;

  const double xt = y23 * z43 - z23 * y43;
  const double yt = z23 * x43 - x23 * z43;
  const double zt = x23 * y43 - y23 * x43;

  const double rt2 = xt * xt + yt * yt + zt * zt;
  const double ru2 = x13 * x13 + y13 * y13 + z13 * z13;
  const double rtru = std::sqrt(rt2 * ru2);
  if (rtru < kTiny)
    return 0.0;

  const double cosine = clampCosine((x13 * xt + y13 * yt + z13 * zt) / rtru);
  return kHalfPi - std::acos(cosine);
}

bool GeomPrincipalAxes(const vl::Molecule& molecule, vl::fvec3 axes[3])
{
  const int n = molecule.atoms();
  if (n < 2)
    return false;
  double mean[3] = {0, 0, 0};
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < 3; ++k)
      mean[k] += molecule.atom(i)->coordinates()[k] / static_cast<double>(n);
  double a[3][3] = {};
  for (int i = 0; i < n; ++i) {
    const vl::fvec3& c = molecule.atom(i)->coordinates();
    for (int r = 0; r < 3; ++r)
      for (int s = 0; s < 3; ++s)
        a[r][s] += (c[r] - mean[r]) * (c[s] - mean[s]);
  }
  for (const auto& row : a)
    for (double v : row)
      if (!std::isfinite(v))
        return false;
  // Cyclic Jacobi rotations: the columns of v become the eigenvectors.
  double v[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int sweep = 0; sweep < 50; ++sweep) {
    const double off = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
    if (off < 1e-30)
      break;
    for (int p = 0; p < 2; ++p)
      for (int q = p + 1; q < 3; ++q) {
        if (a[p][q] == 0)
          continue;
        const double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
        const double t = (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (int k = 0; k < 3; ++k) { // columns p and q
          const double akp = a[k][p], akq = a[k][q];
          a[k][p] = c * akp - s * akq;
          a[k][q] = s * akp + c * akq;
        }
        for (int k = 0; k < 3; ++k) { // rows p and q
          const double apk = a[p][k], aqk = a[q][k];
          a[p][k] = c * apk - s * aqk;
          a[q][k] = s * apk + c * aqk;
        }
        for (int k = 0; k < 3; ++k) {
          const double vkp = v[k][p], vkq = v[k][q];
          v[k][p] = c * vkp - s * vkq;
          v[k][q] = s * vkp + c * vkq;
        }
      }
  }
  int order[3] = {0, 1, 2};
  std::sort(order, order + 3, [&](int i, int j) { return a[i][i] > a[j][j]; });
  for (int k = 0; k < 3; ++k)
    axes[k] = vl::fvec3(static_cast<float>(v[0][order[k]]), static_cast<float>(v[1][order[k]]),
                        static_cast<float>(v[2][order[k]]));
  return true;
}
