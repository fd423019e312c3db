// Orbital values on a grid. Every Gaussian factorises along the axes,
// exp(-a r^2) = exp(-a dx^2) exp(-a dy^2) exp(-a dz^2), so each primitive
// gets one table of exponentials per axis, and a row of the grid (fixed x
// and y) costs a multiply-add per primitive and point. Each group of
// primitives is cut off where it cannot reach kCutoff, and only touches the
// rows within that radius.
#include "core/orbitals/grid.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <new>
#include <thread>
#include <unistd.h>

#include "core/orbitals/basis.h"

namespace orb {

namespace {

constexpr double kCutoff = 1e-10; // no group adds more than this beyond its radius

std::string Lower(std::string_view text)
{
  std::string s(text);
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const char* SpinName(Spin s)
{
  return s == Spin::Beta ? "beta" : "alpha";
}

// Electrons of the spin in the orbital: a restricted orbital holds its
// first electron as alpha, a second as beta.
double SpinOccupation(const Wavefunction& w, Spin spin, const Orbital& o)
{
  if (!w.restricted())
    return o.occupation;
  return spin == Spin::Alpha ? std::min(o.occupation, 1.0) : std::max(o.occupation - 1.0, 0.0);
}

std::string ChoiceText(const OrbitalChoice& choice)
{
  switch (choice.kind) {
  case OrbitalChoice::Kind::Homo:
    return choice.offset == 0 ? "homo"
                              : "homo" + std::string(choice.offset > 0 ? "+" : "") + std::to_string(choice.offset);
  case OrbitalChoice::Kind::Lumo:
    return choice.offset == 0 ? "lumo"
                              : "lumo" + std::string(choice.offset > 0 ? "+" : "") + std::to_string(choice.offset);
  case OrbitalChoice::Kind::Number:
    return std::to_string(choice.offset);
  case OrbitalChoice::Kind::Density:
    return "density";
  }
  return "";
}

// The radius beyond which |weight| c r^l exp(-a r^2) stays below `limit`.
double TermRadius(double weight, double c, int l, double a, double limit)
{
  if (weight == 0 || c == 0)
    return 0;
  const double logTarget = std::log(limit) - std::log(std::fabs(weight) * c);
  auto f = [&](double r) { return (l > 0 ? l * std::log(r) : 0.0) - a * r * r; };
  double lo = l > 0 ? std::sqrt(l / (2 * a)) : 0.0; // where the term peaks
  if (f(std::max(lo, 1e-300)) < logTarget)
    return 0;
  double hi = lo + 1;
  while (f(hi) >= logTarget && hi < 1e6)
    hi *= 2;
  for (int it = 0; it < 60; ++it) {
    const double mid = 0.5 * (lo + hi);
    (f(mid) >= logTarget ? lo : hi) = mid;
  }
  return hi;
}

// A grid index from a position in steps, kept within [lo, hi] before it becomes an int.
int Clamp(double steps, int lo, int hi)
{
  return static_cast<int>(std::min<double>(hi, std::max<double>(lo, steps)));
}

// One group of the expansion as the grid sees it.
struct GridGroup {
  double centre[3];
  int lmax = 0;
  double radius2 = 0;
  int lo[3], hi[3];            // index ranges the radius reaches on each axis
  std::vector<double> weight;  // per primitive
  std::vector<double> table;   // per primitive: x table, y table, z table over lo..hi
  std::vector<size_t> offsets; // per primitive and axis: start in `table`
  std::vector<Powers> powers;
  std::vector<double> coef; // orbital-major, as in the expansion
};

struct Plan {
  std::vector<GridGroup> groups;
  std::vector<std::vector<int>> bySlab; // groups reaching each x index
  size_t orbitals = 0;
  std::vector<double> weights; // density weights
  bool density = false;
};

bool Build(const Grid& grid, const Expansion& e, Plan& plan)
{
  const double h[3] = {grid.axes[0][0], grid.axes[1][1], grid.axes[2][2]};
  plan.bySlab.assign(static_cast<size_t>(grid.counts[0]), {});
  for (const Expansion::Group& g : e.groups) {
    const size_t nm = g.powers.size();
    double cmax = 0;
    for (size_t o = 0; o < e.orbitals; ++o) {
      double sum = 0;
      for (size_t m = 0; m < nm; ++m)
        sum += std::fabs(g.coef[o * nm + m]);
      cmax = std::max(cmax, sum);
    }
    double radius = 0;
    for (size_t p = 0; p < g.alpha.size(); ++p)
      radius = std::max(radius, TermRadius(g.weight[p], cmax, g.lmax, g.alpha[p], kCutoff / g.alpha.size()));
    if (radius <= 0)
      continue;
    GridGroup gg;
    bool inside = true;
    for (int axis = 0; axis < 3; ++axis) {
      const size_t a = static_cast<size_t>(axis);
      gg.centre[axis] = g.centre[a];
      const double first = (g.centre[a] - radius - grid.origin[a]) / h[axis];
      const double last = (g.centre[a] + radius - grid.origin[a]) / h[axis];
      gg.lo[axis] = Clamp(std::ceil(first), 0, grid.counts[a]);
      gg.hi[axis] = Clamp(std::floor(last), -1, grid.counts[a] - 1);
      inside = inside && gg.lo[axis] <= gg.hi[axis];
    }
    if (!inside)
      continue;
    gg.lmax = g.lmax;
    gg.radius2 = radius * radius;
    gg.weight = g.weight;
    gg.powers = g.powers;
    gg.coef = g.coef;
    for (size_t p = 0; p < g.alpha.size(); ++p)
      for (int axis = 0; axis < 3; ++axis) {
        const size_t a = static_cast<size_t>(axis);
        gg.offsets.push_back(gg.table.size());
        for (int i = gg.lo[axis]; i <= gg.hi[axis]; ++i) {
          const double d = grid.origin[a] + i * h[axis] - g.centre[a];
          gg.table.push_back(std::exp(-g.alpha[p] * d * d));
        }
      }
    for (int i = gg.lo[0]; i <= gg.hi[0]; ++i)
      plan.bySlab[static_cast<size_t>(i)].push_back(static_cast<int>(plan.groups.size()));
    plan.groups.push_back(std::move(gg));
  }
  plan.orbitals = e.orbitals;
  return true;
}

// Values of one x slab.
void EvaluateSlab(const Grid& grid, const Plan& plan, int i, std::vector<double>& acc, std::vector<double>& radial,
                  std::vector<float>& out)
{
  const int ny = grid.counts[1], nz = grid.counts[2];
  const double hy = grid.axes[1][1], hz = grid.axes[2][2];
  const size_t norb = plan.orbitals, row = static_cast<size_t>(nz);
  double q[(kMaxL + 1) * 2]; // collapsed polynomial in dz
  double px[kMaxL + 1], py[kMaxL + 1];
  const double x = grid.origin[0] + i * grid.axes[0][0];
  for (int j = 0; j < ny; ++j) {
    std::fill(acc.begin(), acc.end(), 0.0);
    const double y = grid.origin[1] + j * hy;
    for (int gi : plan.bySlab[static_cast<size_t>(i)]) {
      const GridGroup& g = plan.groups[static_cast<size_t>(gi)];
      if (j < g.lo[1] || j > g.hi[1])
        continue;
      const double dx = x - g.centre[0], dy = y - g.centre[1];
      const double rest = g.radius2 - dx * dx - dy * dy;
      if (rest < 0)
        continue;
      const double reach = std::sqrt(rest);
      const int k0 = Clamp(std::ceil((g.centre[2] - reach - grid.origin[2]) / hz), g.lo[2], g.hi[2] + 1);
      const int k1 = Clamp(std::floor((g.centre[2] + reach - grid.origin[2]) / hz), g.lo[2] - 1, g.hi[2]);
      if (k0 > k1)
        continue;
      // The radial factor along the row.
      const size_t len = static_cast<size_t>(k1 - k0 + 1);
      std::fill(radial.begin(), radial.begin() + static_cast<std::ptrdiff_t>(len), 0.0);
      for (size_t p = 0; p < g.weight.size(); ++p) {
        const double s = g.weight[p] * g.table[g.offsets[3 * p] + static_cast<size_t>(i - g.lo[0])] *
                         g.table[g.offsets[3 * p + 1] + static_cast<size_t>(j - g.lo[1])];
        if (s == 0)
          continue;
        const double* tz = &g.table[g.offsets[3 * p + 2] + static_cast<size_t>(k0 - g.lo[2])];
        for (size_t k = 0; k < len; ++k)
          radial[k] += s * tz[k];
      }
      px[0] = py[0] = 1;
      for (int l = 1; l <= g.lmax; ++l) {
        px[l] = px[l - 1] * dx;
        py[l] = py[l - 1] * dy;
      }
      const size_t nm = g.powers.size();
      const double z0 = grid.origin[2] + k0 * hz - g.centre[2];
      for (size_t o = 0; o < norb; ++o) {
        std::fill(q, q + g.lmax + 1, 0.0);
        bool any = false;
        for (size_t m = 0; m < nm; ++m) {
          const double c = g.coef[o * nm + m];
          if (c != 0) {
            const Powers& pw = g.powers[m];
            q[pw[2]] += c * px[pw[0]] * py[pw[1]];
            any = true;
          }
        }
        if (!any)
          continue;
        double* a = &acc[o * row + static_cast<size_t>(k0)];
        if (g.lmax == 0) {
          for (size_t k = 0; k < len; ++k)
            a[k] += q[0] * radial[k];
          continue;
        }
        for (size_t k = 0; k < len; ++k) {
          const double dz = z0 + static_cast<double>(k) * hz;
          double poly = q[g.lmax];
          for (int l = g.lmax - 1; l >= 0; --l)
            poly = poly * dz + q[l];
          a[k] += poly * radial[k];
        }
      }
    }
    float* dst = &out[grid.index(i, j, 0)];
    if (!plan.density) {
      for (size_t k = 0; k < row; ++k)
        dst[k] = static_cast<float>(acc[k]);
      continue;
    }
    for (size_t k = 0; k < row; ++k) {
      double rho = 0;
      for (size_t o = 0; o < norb; ++o)
        rho += plan.weights[o] * acc[o * row + k] * acc[o * row + k];
      dst[k] = static_cast<float>(rho);
    }
  }
}

} // namespace

std::array<double, 3> Grid::point(int i, int j, int k) const
{
  std::array<double, 3> p = origin;
  for (size_t a = 0; a < 3; ++a)
    p[a] += i * axes[0][a] + j * axes[1][a] + k * axes[2][a];
  return p;
}

double Grid::voxelVolume() const
{
  const auto& a = axes;
  return std::fabs(a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                   a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                   a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]));
}

bool ParseOrbitalChoice(std::string_view text, OrbitalChoice& choice, std::string& error)
{
  const std::string s = Lower(text);
  choice = OrbitalChoice();
  auto number = [](std::string_view digits, int& value) {
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos)
      return false;
    value = std::stoi(std::string(digits));
    return true;
  };
  if (s == "density") {
    choice.kind = OrbitalChoice::Kind::Density;
    return true;
  }
  int value = 0;
  if (number(s, value) && value >= 1) {
    choice.kind = OrbitalChoice::Kind::Number;
    choice.offset = value;
    return true;
  }
  for (const auto kind : {OrbitalChoice::Kind::Homo, OrbitalChoice::Kind::Lumo}) {
    const std::string name = kind == OrbitalChoice::Kind::Homo ? "homo" : "lumo";
    if (s.rfind(name, 0) != 0)
      continue;
    const std::string_view rest = std::string_view(s).substr(4);
    choice.kind = kind;
    if (rest.empty())
      return true;
    if ((rest[0] == '-' || rest[0] == '+') && number(rest.substr(1), value)) {
      choice.offset = rest[0] == '-' ? -value : value;
      return true;
    }
  }
  error = "Unknown orbital '" + std::string(text) + "': use homo, lumo, homo-N, lumo+N, an orbital number (from 1) " +
          "or density";
  return false;
}

int HomoIndex(const Wavefunction& w, Spin spin)
{
  const auto& set = w.orbitals(spin);
  for (int k = static_cast<int>(set.size()) - 1; k >= 0; --k)
    if (SpinOccupation(w, spin, set[static_cast<size_t>(k)]) >= 0.5)
      return k;
  return -1;
}

std::vector<OrbitalInfo> ListOrbitals(const Wavefunction& w)
{
  std::vector<OrbitalInfo> list;
  for (Spin spin : {Spin::Alpha, Spin::Beta}) {
    if (spin == Spin::Beta && w.restricted())
      break;
    const auto& set = w.orbitals(spin);
    const int homo = HomoIndex(w, spin);
    for (size_t k = 0; k < set.size(); ++k) {
      OrbitalInfo info;
      info.spin = spin;
      info.number = static_cast<int>(k) + 1;
      info.energy = set[k].energy;
      info.energyEv = set[k].energy * kHartreeToEv;
      info.occupation = set[k].occupation;
      info.symmetry = set[k].symmetry;
      info.homo = static_cast<int>(k) == homo;
      info.lumo = static_cast<int>(k) == homo + 1;
      list.push_back(std::move(info));
    }
  }
  return list;
}

int ResolveOrbital(const Wavefunction& w, const OrbitalChoice& choice, std::string& error)
{
  const Spin spin = choice.spin.value_or(Spin::Alpha);
  const int n = static_cast<int>(w.orbitals(spin).size());
  const int homo = HomoIndex(w, spin);
  long index = -1;
  switch (choice.kind) {
  case OrbitalChoice::Kind::Homo:
  case OrbitalChoice::Kind::Lumo:
    if (homo < 0 && choice.kind == OrbitalChoice::Kind::Homo) {
      error = std::string("The file gives no occupied ") + SpinName(spin) + " orbitals, so there is no HOMO";
      return -1;
    }
    index = static_cast<long>(homo) + (choice.kind == OrbitalChoice::Kind::Lumo ? 1 : 0) + choice.offset;
    break;
  case OrbitalChoice::Kind::Number:
    index = static_cast<long>(choice.offset) - 1;
    break;
  case OrbitalChoice::Kind::Density:
    error = "The density is no single orbital";
    return -1;
  }
  if (index >= 0 && index < n)
    return static_cast<int>(index);
  error = "Orbital " + ChoiceText(choice) + " does not exist: the file gives " + SpinName(spin) + " orbitals 1 to " +
          std::to_string(n) + (homo >= 0 ? " (HOMO " + std::to_string(homo + 1) + ")" : " (none occupied)");
  return -1;
}

bool LayoutGrid(const Wavefunction& w, double spacing, Grid& grid, std::string& error)
{
  grid = Grid();
  if (!(spacing > 0) || !std::isfinite(spacing)) {
    error = "The grid spacing must be a positive number of bohr";
    return false;
  }
  if (w.atoms.empty()) {
    error = "No atoms to put a grid around";
    return false;
  }
  double total = 1, counts[3], centre[3];
  for (size_t a = 0; a < 3; ++a) {
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (const WfnAtom& atom : w.atoms) {
      lo = std::min(lo, atom.position[a]);
      hi = std::max(hi, atom.position[a]);
    }
    counts[a] = std::ceil((hi - lo + 2 * kGridMargin) / spacing - 1e-9) + 1;
    centre[a] = 0.5 * (lo + hi);
    total *= counts[a];
  }
  const double limit = static_cast<double>(kMaxGridSide) * kMaxGridSide * kMaxGridSide;
  if (!(total <= limit)) {
    char text[240];
    std::snprintf(text, sizeof text,
                  "The grid would have %.3g points (%.0f x %.0f x %.0f) at a spacing of %g bohr; at most %d^3 are "
                  "allowed: use a larger grid spacing",
                  total, counts[0], counts[1], counts[2], spacing, kMaxGridSide);
    error = text;
    return false;
  }
  for (size_t a = 0; a < 3; ++a) {
    grid.counts[a] = static_cast<int>(counts[a]);
    grid.origin[a] = centre[a] - 0.5 * (counts[a] - 1) * spacing;
    grid.axes[a][a] = spacing;
  }
  return true;
}

bool EvaluateOnGrid(const Wavefunction& w, const std::vector<const Orbital*>& orbitals,
                    const std::vector<double>& weights, bool density, Grid& grid, std::string& error,
                    const Progress& progress, int workers)
{
  for (size_t a = 0; a < 3; ++a)
    for (size_t b = 0; b < 3; ++b)
      if ((a == b) != (grid.axes[a][b] != 0) || (a == b && !(grid.axes[a][b] > 0))) {
        error = "Orbitals are evaluated on grids with axes along x, y and z only";
        return false;
      }
  const size_t points = grid.points();
  if (static_cast<double>(points) > static_cast<double>(kMaxGridSide) * kMaxGridSide * kMaxGridSide) {
    error = "The grid has more than " + std::to_string(kMaxGridSide) + "^3 points";
    return false;
  }
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0 && static_cast<double>(points) * sizeof(float) > 0.5 * pages * pageSize) {
    error = "The grid of " + std::to_string(points) + " points needs more than half of this computer's memory";
    return false;
  }
  try {
    Plan plan;
    Expansion e = Expand(w, orbitals);
    if (!density) {
      // One sum: fold the weights into a single set of coefficients.
      for (auto& g : e.groups) {
        const size_t nm = g.powers.size();
        std::vector<double> sum(nm, 0.0);
        for (size_t o = 0; o < e.orbitals; ++o)
          for (size_t m = 0; m < nm; ++m)
            sum[m] += (o < weights.size() ? weights[o] : 1.0) * g.coef[o * nm + m];
        g.coef = std::move(sum);
      }
      e.orbitals = 1;
    } else {
      plan.weights = weights;
      plan.weights.resize(e.orbitals, 1.0);
    }
    plan.density = density;
    Build(grid, e, plan);
    grid.values.assign(points, 0.0f);

    const int nx = grid.counts[0];
    std::atomic<int> nextSlab{0}, doneSlabs{0};
    std::atomic<bool> cancel{false}, failed{false};
    auto work = [&](bool reporting) {
      try {
        std::vector<double> acc(plan.orbitals * static_cast<size_t>(grid.counts[2]));
        std::vector<double> radial(static_cast<size_t>(grid.counts[2]));
        for (int i; !cancel && (i = nextSlab++) < nx;) {
          EvaluateSlab(grid, plan, i, acc, radial, grid.values);
          const int done = ++doneSlabs;
          if (reporting && progress && !progress(static_cast<double>(done) / nx))
            cancel = true;
        }
      } catch (...) {
        failed = cancel = true;
      }
    };
    std::vector<std::thread> threads;
    for (int t = 1; t < std::max(1, workers); ++t)
      threads.emplace_back(work, false);
    work(true);
    for (auto& t : threads)
      t.join();
    if (failed) {
      error = "Not enough memory to evaluate the grid";
      grid.values.clear();
      return false;
    }
    if (cancel) {
      error = "Cancelled";
      grid.values.clear();
      return false;
    }
  } catch (const std::bad_alloc&) {
    error = "Not enough memory for a grid of " + std::to_string(points) + " points";
    grid.values.clear();
    return false;
  } catch (const std::exception& e) {
    error = e.what();
    grid.values.clear();
    return false;
  }
  return true;
}

GridResult EvaluateOrbital(const Wavefunction& w, const OrbitalChoice& choice, double spacing, const Progress& progress,
                           int workers)
{
  GridResult r;
  std::vector<const Orbital*> orbitals;
  std::vector<double> weights;
  char text[160];
  if (choice.kind == OrbitalChoice::Kind::Density) {
    for (Spin spin : {Spin::Alpha, Spin::Beta}) {
      if (choice.spin && *choice.spin != spin)
        continue;
      if (spin == Spin::Beta && w.restricted() && !choice.spin)
        break; // the restricted occupations count both spins
      for (const Orbital& o : w.orbitals(spin)) {
        const double weight = !choice.spin && w.restricted() ? o.occupation : SpinOccupation(w, spin, o);
        if (weight > 1e-10) {
          orbitals.push_back(&o);
          weights.push_back(weight);
        }
      }
    }
    if (orbitals.empty()) {
      r.error = "The file gives no occupied orbitals: there is no density to compute";
      return r;
    }
    r.description = choice.spin ? std::string(SpinName(*choice.spin)) + " electron density" : "electron density";
  } else {
    const int index = ResolveOrbital(w, choice, r.error);
    if (index < 0)
      return r;
    const Spin spin = choice.spin.value_or(Spin::Alpha);
    const Orbital& o = w.orbitals(spin)[static_cast<size_t>(index)];
    orbitals.push_back(&o);
    weights.push_back(1.0);
    const int homo = HomoIndex(w, spin);
    const char* tag = index == homo ? " (HOMO)" : index == homo + 1 ? " (LUMO)" : "";
    std::snprintf(text, sizeof text, "%s orbital %d%s, energy %.6f hartree (%.4f eV), occupation %g",
                  w.restricted() && !choice.spin ? "" : SpinName(spin), index + 1, tag, o.energy,
                  o.energy * kHartreeToEv, o.occupation);
    r.description = text[0] == ' ' ? text + 1 : text;
  }
  if (!LayoutGrid(w, spacing, r.grid, r.error))
    return r;
  EvaluateOnGrid(w, orbitals, weights, choice.kind == OrbitalChoice::Kind::Density, r.grid, r.error, progress, workers);
  return r;
}

} // namespace orb
