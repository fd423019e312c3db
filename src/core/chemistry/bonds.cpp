#include "core/chemistry/bonds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "core/chemistry/bonds_reference.h"
#include "core/model/elements.h"

// Bond perception. The result is defined by the plain all-pairs
// loop (bonds_reference.cpp): the same pairs, judged with the same float
// distance and the same double criterion, emitted in the same (i, j) order.
// Only the search differs: atoms are binned into cells at least as large as
// the longest bond any pair present could form, so each atom is compared with
// the atoms of its own and the 26 surrounding cells only.
//
// Compact clouds use a dense grid (counting sort, one start offset per cell);
// clouds whose bounding box would need far more cells than there are atoms
// use a hashed grid that stores only the occupied cells. Atoms that can never
// bond (unknown type, non-finite coordinates) are left out of both.

namespace {

using chem::BondPairs;
using chem::BondSearch;

// Per-axis cell counts stay below 2^21 so that three indices pack into one
// 64-bit key; cells grow along an axis whose span would need more.
constexpr double kMaxCellsPerAxis = 1048576.0; // 2^20

// Relative and absolute safety margin on the cell edge: the float distance of
// a bonded pair may undercut the exact distance by a few float ulps, and the
// cell index arithmetic rounds too. Both are orders of magnitude below this.
constexpr double kEdgeRelMargin = 1e-4;
constexpr double kEdgeAbsMargin = 1e-4;

// Scratch memory is kept between calls (trajectories bond thousands of frames
// of one size) unless it grew beyond this.
constexpr size_t kKeepScratchBytes = size_t(16) << 20;

// Radius "code" of an atom: its type, with out-of-range type values folded
// onto the AT_Unknown slot, whose radius (atomic number -1) is the 0.5 default
// that the reference loop would use for them.
constexpr uint32_t kCodes = static_cast<uint32_t>(vl::AT_Unknown) + 1;

struct RadiusTable {
  double r[kCodes];
};

RadiusTable radiusTable()
{
  RadiusTable t{};
  for (uint32_t c = 0; c < kCodes; ++c)
    t.r[c] = BaseQueryAtomRadiusVal(vl::atomInfo(static_cast<vl::EAtomType>(c)).mAtomicNumber);
  return t;
}

// One atom that can take part in a bond.
struct Item {
  float x, y, z;
  uint32_t index; // atom index in the molecule
  uint32_t code;  // radius code; 0 is hydrogen
};

// The pair test of the reference loop, operation for operation.
inline bool bonded(const Item& a, const Item& b, const double* radius, double tol)
{
  const float dx = a.x - b.x;
  const float dy = a.y - b.y;
  const float dz = a.z - b.z;
  const float d2 = dx * dx + dy * dy + dz * dz;
  const double d = static_cast<double>(std::sqrt(d2));
  const double Sum = radius[a.code] + radius[b.code];
  return Sum * tol + Sum > d;
}

struct Axis {
  double min = 0;
  double inv = 1; // 1 / cell size
  uint32_t count = 1;

  uint32_t index(float v) const
  {
    const double t = (static_cast<double>(v) - min) * inv;
    if (!(t > 0))
      return 0;
    return t < static_cast<double>(count - 1) ? static_cast<uint32_t>(t) : count - 1;
  }
};

void setAxis(Axis& axis, double lo, double hi, double cell)
{
  const double span = hi - lo;
  cell = std::max(cell, span / kMaxCellsPerAxis);
  axis.min = lo;
  axis.inv = 1.0 / cell;
  const double count = std::floor(span * axis.inv) + 1.0;
  axis.count = count < kMaxCellsPerAxis + 2.0 ? static_cast<uint32_t>(count) : static_cast<uint32_t>(kMaxCellsPerAxis + 2.0);
}

struct Scratch {
  std::vector<Item> items;        // bondable atoms, ascending atom index
  std::vector<Item> binned;       // the same, ordered by cell
  std::vector<uint32_t> slotOf;   // items[s] is binned[slotOf[s]]
  std::vector<uint32_t> start;    // dense: first binned slot per cell; hashed: per occupied cell
  std::vector<uint64_t> cellKey;  // hashed: key of each occupied cell
  std::vector<uint32_t> table;    // hashed: open-addressing table, occupied cell + 1
  std::vector<std::pair<uint64_t, uint32_t>> order;
  std::vector<uint32_t> partners; // bonded higher-index partners, grouped by binned slot
  std::vector<uint32_t> group;    // partners of binned[k]: [group[k], group[k + 1])
  BondPairs pairs;                // the reference loop's answer (infinite tolerance only)
  size_t maxPairs = SIZE_MAX;     // the search gives up beyond this many
  enum class Result { None, Groups, Pairs, TooMany } result = Result::None;

  size_t bytes() const
  {
    return (items.capacity() + binned.capacity()) * sizeof(Item) +
           (slotOf.capacity() + start.capacity() + table.capacity() + partners.capacity() + group.capacity()) * 4 +
           cellKey.capacity() * 8 + order.capacity() * sizeof(order[0]) + pairs.capacity() * sizeof(pairs[0]);
  }
};

struct Bounds {
  double lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
  double top1 = 0, top2 = 0; // the two largest radii (with multiplicity)
};

Bounds collect(const vl::Molecule& molecule, const RadiusTable& radius, std::vector<Item>& items)
{
  Bounds b;
  items.clear();
  const int n = molecule.atoms();
  items.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const vl::Atom* atom = molecule.atom(i);
    const vl::EAtomType type = atom->atomType();
    if (type == vl::AT_Unknown)
      continue; // no pair with an unknown atom is ever tested
    const vl::fvec3& p = atom->coordinates();
    // A non-finite coordinate makes every distance NaN or infinite, and
    // "Sum * tol + Sum > d" is false for both: such an atom never bonds.
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
      continue;
    const auto t = static_cast<uint32_t>(type);
    const uint32_t code = t < kCodes ? t : kCodes - 1;
    const double r = radius.r[code];
    if (r > b.top1) {
      b.top2 = b.top1;
      b.top1 = r;
    } else if (r > b.top2) {
      b.top2 = r;
    }
    const double v[3] = {p.x, p.y, p.z};
    if (items.empty()) {
      for (int a = 0; a < 3; ++a)
        b.lo[a] = b.hi[a] = v[a];
    } else {
      for (int a = 0; a < 3; ++a) {
        b.lo[a] = std::min(b.lo[a], v[a]);
        b.hi[a] = std::max(b.hi[a], v[a]);
      }
    }
    items.push_back({p.x, p.y, p.z, static_cast<uint32_t>(i), code});
  }
  return b;
}

// Tests `a` against binned[begin, end) where the partner has the higher atom
// index; bonded partners are appended to `partners`.
inline void scan(const Item& a, const Item* binned, uint32_t begin, uint32_t end, const double* radius, double tol,
                 std::vector<uint32_t>& partners)
{
  const bool hydrogen = a.code == 0;
  for (uint32_t k = begin; k < end; ++k) {
    const Item& b = binned[k];
    if (b.index <= a.index)
      continue;
    if (hydrogen && b.code == 0)
      continue;
    if (bonded(a, b, radius, tol))
      partners.push_back(b.index);
  }
}

struct Range {
  uint32_t begin, end;
};

// Scans the atoms binned[begin, end) of one cell against the neighbouring
// ranges, recording each atom's partners as its group. False once there are
// more partners than the search may find.
inline bool scanCell(Scratch& w, uint32_t begin, uint32_t end, const Range* ranges, int count, const double* radius,
                     double tol)
{
  const Item* binned = w.binned.data();
  for (uint32_t k = begin; k < end; ++k) {
    // Group offsets are 32-bit; more bonds than that would not fit in memory
    // as Bond objects anyway (the reference loop would run out of memory too).
    if (w.partners.size() > w.maxPairs || w.partners.size() > UINT32_MAX)
      return false;
    w.group[k] = static_cast<uint32_t>(w.partners.size());
    for (int r = 0; r < count; ++r)
      scan(binned[k], binned, ranges[r].begin, ranges[r].end, radius, tol, w.partners);
  }
  return w.partners.size() <= w.maxPairs;
}

// Sorts each group: with the groups taken in ascending atom index (see
// forEachPair) this is the (i, j) order of the reference loop.
void sortGroups(Scratch& w)
{
  const size_t n = w.items.size();
  w.group[n] = static_cast<uint32_t>(w.partners.size());
  uint32_t* partners = w.partners.data();
  for (size_t k = 0; k < n; ++k)
    if (w.group[k + 1] - w.group[k] > 1)
      std::sort(partners + w.group[k], partners + w.group[k + 1]);
}

uint64_t cellTotal(const Axis axes[3])
{
  return static_cast<uint64_t>(axes[0].count) * axes[1].count * axes[2].count;
}

bool denseSearch(Scratch& w, const Bounds& bounds, Axis axes[3], uint64_t cap, const double* radius, double tol)
{
  // Grow the cells until the grid fits the cap (only for forced dense
  // searches of spread clouds; Auto picks the hashed grid instead).
  while (cellTotal(axes) > cap) {
    const double grow = std::cbrt(static_cast<double>(cellTotal(axes)) / static_cast<double>(cap)) * 1.01 + 0.01;
    for (int a = 0; a < 3; ++a)
      setAxis(axes[a], bounds.lo[a], bounds.hi[a], grow / axes[a].inv);
  }
  const size_t n = w.items.size();
  const Axis ax = axes[0], ay = axes[1], az = axes[2];
  const size_t nx = ax.count, ny = ay.count, nz = az.count;
  const size_t cells = static_cast<size_t>(cellTotal(axes));
  auto cellOf = [&](const Item& it) {
    return (static_cast<size_t>(az.index(it.z)) * ny + ay.index(it.y)) * nx + ax.index(it.x);
  };

  w.start.assign(cells + 1, 0);
  uint32_t* start = w.start.data();
  for (const Item& it : w.items)
    ++start[cellOf(it) + 1];
  for (size_t k = 0; k < cells; ++k)
    start[k + 1] += start[k];
  // Counting sort, stable: the atoms of a cell stay in ascending index order.
  // `start` serves as the fill cursor and is shifted back afterwards.
  w.binned.resize(n);
  w.slotOf.resize(n);
  for (size_t s = 0; s < n; ++s) {
    const uint32_t k = start[cellOf(w.items[s])]++;
    w.binned[k] = w.items[s];
    w.slotOf[s] = k;
  }
  for (size_t k = cells; k > 0; --k)
    start[k] = start[k - 1];
  start[0] = 0;

  // Cell by cell, so that neighbouring atoms are visited together.
  w.group.resize(n + 1);
  w.partners.clear();
  Range ranges[9];
  for (size_t z = 0; z < nz; ++z) {
    const size_t z0 = z > 0 ? z - 1 : 0, z1 = z + 1 < nz ? z + 1 : nz - 1;
    for (size_t y = 0; y < ny; ++y) {
      const size_t y0 = y > 0 ? y - 1 : 0, y1 = y + 1 < ny ? y + 1 : ny - 1;
      const size_t rowHere = (z * ny + y) * nx;
      for (size_t x = 0; x < nx; ++x) {
        const uint32_t begin = start[rowHere + x], end = start[rowHere + x + 1];
        if (begin == end)
          continue;
        const size_t x0 = x > 0 ? x - 1 : 0, x1 = x + 1 < nx ? x + 1 : nx - 1;
        int count = 0;
        for (size_t zz = z0; zz <= z1; ++zz)
          for (size_t yy = y0; yy <= y1; ++yy) {
            // The cells x0..x1 of a row are contiguous in the binned order.
            const size_t row = (zz * ny + yy) * nx;
            if (start[row + x0] != start[row + x1 + 1])
              ranges[count++] = {start[row + x0], start[row + x1 + 1]};
          }
        if (!scanCell(w, begin, end, ranges, count, radius, tol))
          return false;
      }
    }
  }
  sortGroups(w);
  return true;
}

inline uint64_t packKey(uint64_t ix, uint64_t iy, uint64_t iz) { return ix | (iy << 21) | (iz << 42); }

inline uint64_t hashKey(uint64_t key)
{
  key ^= key >> 31;
  key *= 0x9E3779B97F4A7C15ull;
  key ^= key >> 29;
  return key;
}

bool hashSearch(Scratch& w, const Axis axes[3], const double* radius, double tol)
{
  const size_t n = w.items.size();
  const Axis ax = axes[0], ay = axes[1], az = axes[2];
  w.order.resize(n);
  for (size_t s = 0; s < n; ++s) {
    const Item& it = w.items[s];
    w.order[s] = {packKey(ax.index(it.x), ay.index(it.y), az.index(it.z)), static_cast<uint32_t>(s)};
  }
  // By cell, and within a cell by ascending atom index.
  std::sort(w.order.begin(), w.order.end());

  w.binned.resize(n);
  w.slotOf.resize(n);
  w.cellKey.clear();
  w.start.clear();
  for (size_t k = 0; k < n; ++k) {
    if (k == 0 || w.order[k].first != w.order[k - 1].first) {
      w.cellKey.push_back(w.order[k].first);
      w.start.push_back(static_cast<uint32_t>(k));
    }
    w.binned[k] = w.items[w.order[k].second];
    w.slotOf[w.order[k].second] = static_cast<uint32_t>(k);
  }
  w.start.push_back(static_cast<uint32_t>(n));

  // Open addressing, load factor at most 1/2; a slot holds cell number + 1.
  size_t tableSize = 16;
  while (tableSize < 2 * w.cellKey.size())
    tableSize *= 2;
  const uint64_t mask = tableSize - 1;
  w.table.assign(tableSize, 0);
  for (size_t m = 0; m < w.cellKey.size(); ++m) {
    uint64_t h = hashKey(w.cellKey[m]) & mask;
    while (w.table[h] != 0)
      h = (h + 1) & mask;
    w.table[h] = static_cast<uint32_t>(m + 1);
  }
  const uint32_t* table = w.table.data();
  const uint64_t* cellKey = w.cellKey.data();
  auto find = [&](uint64_t key) -> uint32_t { // cell number + 1, or 0
    uint64_t h = hashKey(key) & mask;
    for (;;) {
      const uint32_t v = table[h];
      if (v == 0 || cellKey[v - 1] == key)
        return v;
      h = (h + 1) & mask;
    }
  };

  const uint64_t kField = (uint64_t(1) << 21) - 1;
  w.group.resize(n + 1);
  w.partners.clear();
  Range ranges[27];
  for (size_t m = 0; m < w.cellKey.size(); ++m) {
    const uint64_t key = cellKey[m];
    const uint64_t ix = key & kField, iy = (key >> 21) & kField, iz = key >> 42;
    int count = 0;
    for (uint64_t z = iz > 0 ? iz - 1 : 0; z <= iz + 1; ++z)
      for (uint64_t y = iy > 0 ? iy - 1 : 0; y <= iy + 1; ++y)
        for (uint64_t x = ix > 0 ? ix - 1 : 0; x <= ix + 1; ++x) {
          // Indices one past the last cell still fit the key fields; no such cell is stored.
          const uint32_t c = find(packKey(x, y, z));
          if (c != 0)
            ranges[count++] = {w.start[c - 1], w.start[c]};
        }
    if (!scanCell(w, w.start[m], w.start[m + 1], ranges, count, radius, tol))
      return false;
  }
  sortGroups(w);
  return true;
}

// Finds the bonds: afterwards forEachPair hands them out in (i, j) order,
// unless there were more than maxPairs (result TooMany).
void findPairs(const vl::Molecule& molecule, BondSearch search, double tol, size_t maxPairs, Scratch& w)
{
  w.result = Scratch::Result::None;
  w.pairs.clear();
  w.maxPairs = maxPairs;
  if (molecule.atoms() < 2)
    return;
  static const RadiusTable radius = radiusTable();
  const Bounds bounds = collect(molecule, radius, w.items);
  if (w.items.size() < 2)
    return;

  // The longest bond any pair present could form.
  const double sumMax = bounds.top1 + bounds.top2;
  const double limit = sumMax * tol + sumMax;
  if (!(limit > 0))
    return; // no distance (all are >= 0 or NaN) is below it: no bonds at all
  if (!std::isfinite(limit)) {
    w.pairs = chem::FindBondPairsAllPairs(molecule, tol, maxPairs); // every finite pair bonds: no grid helps
    w.result = w.pairs.size() > maxPairs ? Scratch::Result::TooMany : Scratch::Result::Pairs;
    return;
  }
  const double edge = limit * (1.0 + kEdgeRelMargin) + kEdgeAbsMargin;

  Axis axes[3];
  for (int a = 0; a < 3; ++a)
    setAxis(axes[a], bounds.lo[a], bounds.hi[a], edge);

  // A dense grid costs one offset per cell: allow a few cells per atom.
  const uint64_t denseCap = std::max<uint64_t>(8 * static_cast<uint64_t>(w.items.size()), 1u << 15);
  if (search == BondSearch::Auto)
    search = cellTotal(axes) <= denseCap ? BondSearch::DenseGrid : BondSearch::HashGrid;

  const bool complete = search == BondSearch::DenseGrid
                            ? denseSearch(w, bounds, axes, std::min<uint64_t>(denseCap, uint64_t(1) << 31), radius.r, tol)
                            : hashSearch(w, axes, radius.r, tol);
  w.result = complete ? Scratch::Result::Groups : Scratch::Result::TooMany;
}

size_t pairCount(const Scratch& w)
{
  switch (w.result) {
  case Scratch::Result::Groups:
    return w.partners.size();
  case Scratch::Result::Pairs:
    return w.pairs.size();
  default:
    return 0;
  }
}

template <class Sink>
void forEachPair(const Scratch& w, Sink sink)
{
  if (w.result == Scratch::Result::Pairs) {
    for (const auto& p : w.pairs)
      sink(p.first, p.second);
  } else if (w.result == Scratch::Result::Groups) {
    // Groups belong to binned slots; take them in ascending atom index.
    const uint32_t* partners = w.partners.data();
    for (size_t s = 0; s < w.items.size(); ++s) {
      const uint32_t k = w.slotOf[s];
      const uint32_t i = w.items[s].index;
      for (uint32_t g = w.group[k]; g < w.group[k + 1]; ++g)
        sink(i, partners[g]);
    }
  }
}

Scratch& scratch()
{
  static thread_local Scratch w;
  return w;
}

void trimScratch(Scratch& w)
{
  if (w.bytes() > kKeepScratchBytes)
    w = Scratch();
}

} // namespace

namespace chem {

BondPairs FindBondPairs(const vl::Molecule& molecule, BondSearch search, double tolerance)
{
  if (search == BondSearch::AllPairs)
    return FindBondPairsAllPairs(molecule, tolerance);
  Scratch& w = scratch();
  // Group offsets are 32-bit.
  findPairs(molecule, search, tolerance, UINT32_MAX, w);
  if (w.result == Scratch::Result::TooMany)
    throw std::length_error("FindBondPairs: more than 2^32 bonds");
  BondPairs pairs;
  pairs.reserve(pairCount(w));
  forEachPair(w, [&](uint32_t i, uint32_t j) { pairs.emplace_back(i, j); });
  trimScratch(w);
  return pairs;
}

void ReleaseBondScratch() { scratch() = Scratch(); }

} // namespace chem

bool CreateBonds(vl::ref<vl::Molecule> structure, double tolerance)
{
  if (!structure)
    return true;
  vl::Molecule& molecule = *structure;
  Scratch& w = scratch();
  findPairs(molecule, BondSearch::Auto, tolerance, kMaxBondsPerAtom * static_cast<size_t>(molecule.atoms()), w);
  if (w.result == Scratch::Result::TooMany) {
    trimScratch(w);
    return false;
  }
  if (const size_t count = pairCount(w)) {
    molecule.reserveBonds(static_cast<size_t>(molecule.bonds()) + count);
    forEachPair(w, [&](uint32_t i, uint32_t j) {
      vl::ref<vl::Bond> bond = vl::make_ref<vl::Bond>();
      bond->setAtom1(molecule.atom(static_cast<int>(i)));
      bond->setAtom2(molecule.atom(static_cast<int>(j)));
      bond->setBondType(vl::BT_Single);
      bond->setUseAtomColors(true);
      molecule.addBond(bond);
    });
  }
  trimScratch(w);
  return true;
}
