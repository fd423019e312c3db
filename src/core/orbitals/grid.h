#pragma once
// Orbitals and the electron density on a regular grid: what the export and
// the window's isosurfaces work from. Lengths in bohr.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/wavefunction.h"

namespace orb {

constexpr double kDefaultSpacing = 0.2; // bohr
constexpr double kGridMargin = 4.0;     // bohr around the atoms' bounding box
constexpr int kMaxGridSide = 512;       // at most kMaxGridSide^3 points
constexpr double kHartreeToEv = 27.211386245988;

// Values at origin + i * axes[0] + j * axes[1] + k * axes[2]; k runs fastest
// (the order of a cube file). Evaluated grids have axes along x, y and z.
struct Grid {
  std::array<double, 3> origin{};
  std::array<std::array<double, 3>, 3> axes{};
  std::array<int, 3> counts{};
  std::vector<float> values;

  size_t points() const
  {
    return static_cast<size_t>(counts[0]) * static_cast<size_t>(counts[1]) * static_cast<size_t>(counts[2]);
  }
  size_t index(int i, int j, int k) const
  {
    return (static_cast<size_t>(i) * static_cast<size_t>(counts[1]) + static_cast<size_t>(j)) *
               static_cast<size_t>(counts[2]) +
           static_cast<size_t>(k);
  }
  float value(int i, int j, int k) const { return values[index(i, j, k)]; }
  std::array<double, 3> point(int i, int j, int k) const;
  double voxelVolume() const; // |det axes|
};

// What to put on the grid: an orbital or the electron density.
struct OrbitalChoice {
  enum class Kind { Homo, Lumo, Number, Density };
  Kind kind = Kind::Homo;
  int offset = 0;           // homo-N: -N, lumo+N: +N; Number: the 1-based orbital
  std::optional<Spin> spin; // orbitals: alpha unless given; density: total unless given
};

// "homo", "lumo", "homo-N", "lumo+N", a 1-based orbital number or "density"
// (any case). False, with the reason in `error`, for anything else.
bool ParseOrbitalChoice(std::string_view text, OrbitalChoice& choice, std::string& error);

// One orbital as the window lists it.
struct OrbitalInfo {
  Spin spin = Spin::Alpha; // restricted wave functions list alpha only
  int number = 0;          // 1-based within its spin, in order of energy
  double energy = 0;       // hartree
  double energyEv = 0;
  double occupation = 0; // as the file gives it (up to 2 when restricted)
  std::string symmetry;
  bool homo = false, lumo = false;
};

// Alpha orbitals, then beta ones when the wave function is unrestricted.
std::vector<OrbitalInfo> ListOrbitals(const Wavefunction& w);

// Index (0-based in w.orbitals(spin)) of the HOMO of that spin: the highest
// orbital holding at least half an electron of it; -1 when none does.
int HomoIndex(const Wavefunction& w, Spin spin);

// Index of the orbital the (non-density) choice names, or -1 with a message
// saying which orbitals there are.
int ResolveOrbital(const Wavefunction& w, const OrbitalChoice& choice, std::string& error);

// The grid over the atoms' bounding box plus kGridMargin, at `spacing`
// (no values yet). False, with the reason, for a bad spacing or a grid of
// more than kMaxGridSide^3 points.
bool LayoutGrid(const Wavefunction& w, double spacing, Grid& grid, std::string& error);

// Called on the calling thread with the fraction done; returning false
// cancels the evaluation.
using Progress = std::function<bool(double)>;

struct GridResult {
  Grid grid;
  std::string description; // e.g. "alpha orbital 5 (HOMO), -0.4432 hartree, occupation 1"
  std::string error;       // empty on success
  bool ok() const { return error.empty(); }
};

// The orbital or density of the choice on the default layout at `spacing`,
// computed by `workers` threads over slabs of the grid.
GridResult EvaluateOrbital(const Wavefunction& w, const OrbitalChoice& choice, double spacing = kDefaultSpacing,
                           const Progress& progress = {}, int workers = 2);

// The same on a laid-out grid (axes along x, y, z): the sum over the given
// orbitals, or with `density`, the sum of weight * |orbital|^2. The grid's
// values are allocated here. False, with the reason, when cancelled or out of memory.
bool EvaluateOnGrid(const Wavefunction& w, const std::vector<const Orbital*>& orbitals,
                    const std::vector<double>& weights, bool density, Grid& grid, std::string& error,
                    const Progress& progress = {}, int workers = 2);

} // namespace orb
