#include "core/chemistry/isosurface.h"

#include <cmath>
#include <memory>
#include <utility>

// Marching cubes. Its case table is built here, once, from the contour on the
// cell's faces rather than written out: on each face the crossings are paired
// by one fixed rule, so the two cells sharing a face cut it the same way and
// the surface has no cracks; each closed loop of crossings is one polygon.

namespace chem {

namespace {

// Corner c of a cell lies at offset (c & 1, c >> 1 & 1, c >> 2 & 1) along x, y, z.
// Edge 4a + k runs along axis a from the k-th corner whose bit a is clear.
struct CellCase {
  int count = 0;          // three edges per triangle
  uint8_t edges[30] = {}; // at most 12 crossings: one loop of 12 is 10 triangles
};

struct CaseTable {
  CellCase cases[256];
  int edgeCorner[12];
  int edgeAxis[12];
};

int edgeBetween(int p, int q)
{
  const int a = (p ^ q) == 1 ? 0 : (p ^ q) == 2 ? 1 : 2;
  const int base = p & q;
  int k = 0, bit = 0;
  for (int b = 0; b < 3; ++b)
    if (b != a)
      k |= (base >> b & 1) << bit++;
  return 4 * a + k;
}

CaseTable buildTable()
{
  CaseTable t;
  for (int a = 0; a < 3; ++a)
    for (int c = 0; c < 8; ++c)
      if (!(c >> a & 1)) {
        t.edgeCorner[edgeBetween(c, c | 1 << a)] = c;
        t.edgeAxis[edgeBetween(c, c | 1 << a)] = a;
      }
  for (int bits = 0; bits < 256; ++bits) {
    auto inside = [bits](int corner) { return (bits >> corner & 1) != 0; };
    // next[e]: where the contour goes on from crossing e, walking each face
    // counter-clockwise seen from outside the cell with the inside on the
    // left. The walk enters the inside at an edge and leaves it at the next
    // crossing, so on a face with four crossings the inside corners are kept
    // apart. Each crossing is entered on one of its two faces and left on
    // the other, so the crossings form closed loops.
    int next[12];
    for (int& e : next)
      e = -1;
    for (int a = 0; a < 3; ++a)
      for (int side = 0; side < 2; ++side) {
        const int u = 1 << (a + 1) % 3, v = 1 << (a + 2) % 3, base = side << a;
        int q[4] = {base, base | u, base | u | v, base | v};
        if (side == 0)
          std::swap(q[1], q[3]);
        for (int i = 0; i < 4; ++i) {
          if (inside(q[i]) || !inside(q[(i + 1) % 4]))
            continue;
          for (int j = 1; j < 4; ++j) {
            const int p0 = q[(i + j) % 4], p1 = q[(i + j + 1) % 4];
            if (inside(p0) != inside(p1)) {
              next[edgeBetween(q[i], q[(i + 1) % 4])] = edgeBetween(p0, p1);
              break;
            }
          }
        }
      }
    // Walked this way, each loop turns counter-clockwise around the outward
    // normal; a fan keeps that winding.
    CellCase& cell = t.cases[bits];
    bool used[12] = {};
    for (int start = 0; start < 12; ++start) {
      if (next[start] < 0 || used[start])
        continue;
      int loop[12], n = 0;
      for (int e = start; !used[e]; e = next[e]) {
        used[e] = true;
        loop[n++] = e;
      }
      for (int i = 1; i + 1 < n; ++i)
        for (int e : {loop[0], loop[i], loop[i + 1]})
          cell.edges[cell.count++] = static_cast<uint8_t>(e);
    }
  }
  return t;
}

vl::fvec3 normalized(const vl::fvec3& v)
{
  const float len = v.length();
  return len > 0 && std::isfinite(len) ? v * (1.0f / len) : vl::fvec3();
}

} // namespace

Mesh ExtractIsosurface(const ScalarGrid& grid, float isoValue)
{
  Mesh mesh;
  const size_t n = grid.points();
  // Vertex numbers are 32-bit: at most one per grid edge.
  if (grid.nx < 2 || grid.ny < 2 || grid.nz < 2 || grid.values.size() != n || n > UINT32_MAX / 3)
    return mesh;
  static const CaseTable table = buildTable();

  // The region enclosed lies beyond the iso value, away from zero.
  const float sign = isoValue < 0 ? -1.0f : 1.0f;
  const float* f = grid.values.data();
  std::vector<uint8_t> inside(n);
  for (size_t i = 0; i < n; ++i)
    inside[i] = sign * f[i] > sign * isoValue;

  const int dims[3] = {grid.nx, grid.ny, grid.nz};
  const size_t stride[3] = {static_cast<size_t>(grid.ny) * static_cast<size_t>(grid.nz), static_cast<size_t>(grid.nz),
                            1};
  // Central differences, one-sided at the border.
  auto gradient = [&](size_t p, const int at[3]) {
    vl::fvec3 g;
    for (int a = 0; a < 3; ++a) {
      const size_t lo = at[a] > 0 ? p - stride[a] : p, hi = at[a] + 1 < dims[a] ? p + stride[a] : p;
      g[a] = (f[hi] - f[lo]) / (static_cast<float>((hi - lo) / stride[a]) * grid.step[a]);
    }
    return g;
  };

  // One vertex per crossed grid edge, found by the edge's lower point and
  // axis. Only crossed edges are written and read, so these arrays are left
  // uninitialised.
  std::unique_ptr<uint32_t[]> vertexOf[3];
  for (auto& ids : vertexOf)
    ids.reset(new uint32_t[n]);
  auto addVertex = [&](size_t p, int ix, int iy, int iz, int a) {
    const size_t q = p + stride[a];
    float t = (isoValue - f[p]) / (f[q] - f[p]);
    if (!(t >= 0.0f && t <= 1.0f)) // NaN or infinite values
      t = 0.5f;
    const int at[3] = {ix, iy, iz};
    int atQ[3] = {ix, iy, iz};
    ++atQ[a];
    const vl::fvec3 g0 = gradient(p, at), g1 = gradient(q, atQ);
    vl::fvec3 normal = normalized((g0 + (g1 - g0) * t) * -sign);
    if (normal == vl::fvec3()) // flat field: out along the edge
      normal[a] = (inside[p] ? 1.0f : -1.0f) * (grid.step[a] < 0 ? -1.0f : 1.0f);
    vl::fvec3 pos(static_cast<float>(ix), static_cast<float>(iy), static_cast<float>(iz));
    pos[a] += t;
    vertexOf[a][p] = static_cast<uint32_t>(mesh.positions.size());
    mesh.positions.push_back(grid.origin + vl::fvec3(pos.x * grid.step.x, pos.y * grid.step.y, pos.z * grid.step.z));
    mesh.normals.push_back(normal);
  };
  for (int ix = 0; ix < grid.nx; ++ix)
    for (int iy = 0; iy < grid.ny; ++iy) {
      const size_t row = grid.index(ix, iy, 0);
      const bool lastX = ix + 1 == grid.nx, lastY = iy + 1 == grid.ny;
      const bool borderRow = ix == 0 || lastX || iy == 0 || lastY;
      for (int iz = 0; iz < grid.nz; ++iz) {
        const size_t p = row + static_cast<size_t>(iz);
        const uint8_t in = inside[p];
        if (in && (borderRow || iz == 0 || iz + 1 == grid.nz))
          mesh.closed = false;
        if (!lastX && in != inside[p + stride[0]])
          addVertex(p, ix, iy, iz, 0);
        if (!lastY && in != inside[p + stride[1]])
          addVertex(p, ix, iy, iz, 1);
        if (iz + 1 < grid.nz && in != inside[p + 1])
          addVertex(p, ix, iy, iz, 2);
      }
    }

  size_t cornerOffset[8], edgeOffset[12];
  for (int c = 0; c < 8; ++c)
    cornerOffset[c] = (c & 1) * stride[0] + (c >> 1 & 1) * stride[1] + (c >> 2 & 1) * stride[2];
  for (int e = 0; e < 12; ++e)
    edgeOffset[e] = cornerOffset[table.edgeCorner[e]];
  for (int ix = 0; ix + 1 < grid.nx; ++ix)
    for (int iy = 0; iy + 1 < grid.ny; ++iy) {
      // Corners 4-7 of one cell are corners 0-3 of the next along z.
      const size_t row = grid.index(ix, iy, 0);
      int bits = 0;
      for (int c = 0; c < 4; ++c)
        bits |= inside[row + cornerOffset[c]] << (c + 4);
      for (int iz = 0; iz + 1 < grid.nz; ++iz) {
        const size_t p = row + static_cast<size_t>(iz);
        bits >>= 4;
        for (int c = 0; c < 4; ++c)
          bits |= inside[p + 1 + cornerOffset[c]] << (c + 4);
        const CellCase& cell = table.cases[bits];
        for (int i = 0; i < cell.count; ++i) {
          const int e = cell.edges[i];
          mesh.indices.push_back(vertexOf[table.edgeAxis[e]][p + edgeOffset[e]]);
        }
      }
    }
  return mesh;
}

} // namespace chem
