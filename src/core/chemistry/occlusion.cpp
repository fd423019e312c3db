#include "core/chemistry/occlusion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace {

// Directions spread evenly over the sphere (a Fibonacci spiral).
std::vector<vl::fvec3> Directions(int count)
{
  std::vector<vl::fvec3> directions;
  const double golden = 3.14159265358979323846 * (3.0 - std::sqrt(5.0));
  for (int k = 0; k < count; ++k) {
    const double z = 1.0 - (2.0 * k + 1.0) / count, r = std::sqrt(1.0 - z * z), phi = golden * k;
    directions.push_back(
        {static_cast<float>(r * std::cos(phi)), static_cast<float>(r * std::sin(phi)), static_cast<float>(z)});
  }
  return directions;
}

// Balls by the cell of a cubic grid their centre falls in.
class CellGrid {
public:
  CellGrid(const std::vector<vl::fvec3>& centres, float cell) : mCell(cell)
  {
    for (size_t i = 0; i < centres.size(); ++i)
      if (std::isfinite(centres[i].x + centres[i].y + centres[i].z)) // a broken atom meets nothing
        mCells[key(cellOf(centres[i].x), cellOf(centres[i].y), cellOf(centres[i].z))].push_back(static_cast<int>(i));
  }
  // The balls in the 27 cells around the point.
  template <class Visit> void around(const vl::fvec3& p, Visit visit) const
  {
    const int64_t cx = cellOf(p.x), cy = cellOf(p.y), cz = cellOf(p.z);
    for (int64_t dx = -1; dx <= 1; ++dx)
      for (int64_t dy = -1; dy <= 1; ++dy)
        for (int64_t dz = -1; dz <= 1; ++dz) {
          const auto it = mCells.find(key(cx + dx, cy + dy, cz + dz));
          if (it != mCells.end())
            for (int j : it->second)
              visit(j);
        }
  }

private:
  // Far-flung coordinates share the outermost cells rather than overflow the index.
  int64_t cellOf(float v) const { return static_cast<int64_t>(std::clamp(std::floor(v / mCell), -1.0e6f, 1.0e6f)); }
  static int64_t key(int64_t x, int64_t y, int64_t z)
  {
    return (x & 0x1fffff) | (y & 0x1fffff) << 21 | (z & 0x1fffff) << 42;
  }
  float mCell;
  std::unordered_map<int64_t, std::vector<int>> mCells;
};

constexpr int kDirections = 32;

} // namespace

std::vector<float> BallOpenness(const std::vector<vl::fvec3>& centres, const std::vector<float>& radii, float reach)
{
  const size_t n = std::min(centres.size(), radii.size());
  std::vector<float> openness(n, 1.0f);
  float largest = 0;
  for (size_t i = 0; i < n; ++i)
    if (std::isfinite(radii[i]) && std::isfinite(centres[i].x + centres[i].y + centres[i].z))
      largest = std::max(largest, radii[i]);
  if (n < 2 || !(reach > 0))
    return openness;
  // A ray from ball i can meet ball j only if their centres lie within this.
  const float cell = 2.0f * largest + reach;
  const CellGrid grid(centres, cell);
  static const std::vector<vl::fvec3> directions = Directions(kDirections);
  std::vector<int> near;
  for (size_t i = 0; i < n; ++i) {
    const vl::fvec3& c = centres[i];
    if (!std::isfinite(c.x + c.y + c.z) || !(radii[i] >= 0))
      continue;
    near.clear();
    grid.around(c, [&](int j) {
      if (static_cast<size_t>(j) != i &&
          (centres[static_cast<size_t>(j)] - c).length() < radii[i] + reach + radii[static_cast<size_t>(j)])
        near.push_back(j);
    });
    int open = 0;
    for (const vl::fvec3& d : directions) {
      const vl::fvec3 o = c + d * radii[i];
      bool blocked = false;
      for (int j : near) {
        // The ray o + t d, 0 < t < reach, against ball j.
        const vl::fvec3 oc = o - centres[static_cast<size_t>(j)];
        const float b = oc.x * d.x + oc.y * d.y + oc.z * d.z;
        const float rj = radii[static_cast<size_t>(j)];
        const float q = (oc.x * oc.x + oc.y * oc.y + oc.z * oc.z) - rj * rj;
        if (q < 0 || (b < 0 && b * b - q >= 0 && -b - std::sqrt(b * b - q) < reach)) {
          blocked = true; // starts inside it (fused balls), or meets it within reach
          break;
        }
      }
      open += !blocked;
    }
    openness[i] = static_cast<float>(open) / kDirections;
  }
  return openness;
}
