#pragma once
// Isosurfaces of a scalar field sampled on a regular grid, as triangle meshes
// ready to draw (orbital lobes, densities).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/model/vector.h"

namespace chem {

// Values at the points origin + (ix * step.x, iy * step.y, iz * step.z), in
// angstrom like the atoms (a cube file's bohr origin and steps are converted
// by the caller), stored with z fastest as cube files write them:
// values[(ix * ny + iy) * nz + iz].
struct ScalarGrid {
  vl::fvec3 origin;
  vl::fvec3 step{1, 1, 1};
  int nx = 0, ny = 0, nz = 0;
  std::vector<float> values;

  size_t index(int ix, int iy, int iz) const
  {
    return (static_cast<size_t>(ix) * static_cast<size_t>(ny) + static_cast<size_t>(iy)) * static_cast<size_t>(nz) +
           static_cast<size_t>(iz);
  }
  size_t points() const
  {
    return nx > 0 && ny > 0 && nz > 0 ? static_cast<size_t>(nx) * static_cast<size_t>(ny) * static_cast<size_t>(nz) : 0;
  }
};

// Indexed triangles with one unit normal per vertex. Triangles wind
// counter-clockwise seen from the side the normals point to.
struct Mesh {
  std::vector<vl::fvec3> positions, normals;
  std::vector<uint32_t> indices;
  // Every edge shared by two triangles: the region enclosed stays clear of
  // the grid's border, so from outside only the front faces can be seen.
  bool closed = true;

  size_t triangles() const { return indices.size() / 3; }
};

// The surface where the field equals isoValue, around the region beyond it:
// value > isoValue for isoValue >= 0, value < isoValue for a negative one
// (the negative lobe of an orbital). Normals come from the field's gradient
// and point out of that region. Vertices on a grid edge are shared by every
// cell around it, so the mesh is closed except where the region reaches the
// border of the grid. Empty for a grid with fewer than two points along an
// axis or whose values do not match its size.
Mesh ExtractIsosurface(const ScalarGrid& grid, float isoValue);

} // namespace chem
