// Loading long program outputs: a Gaussian optimisation log (input and
// standard orientations each step, and one with standard orientations only,
// which takes the two-pass fallback) and a 50 MB GAMESS output.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/formats/loader.h"
#include "core/model/log.h"

namespace {

namespace fs = std::filesystem;

struct Atom {
  int z;
  double x, y, z_;
};

// A 100-atom saturated chain, C33H67, in a zig-zag conformation; `step`
// nudges the geometry as an optimiser would.
std::vector<Atom> Chain(int step)
{
  std::vector<Atom> atoms;
  const double shift = 0.002 * std::sin(step * 0.37);
  for (int i = 0; i < 33; ++i) {
    const double x = 1.26 * i + shift, y = (i % 2 ? 0.89 : 0.0) - shift;
    atoms.push_back({6, x, y, 0.0});
  }
  for (int i = 0; i < 33; ++i) {
    const double x = 1.26 * i, y = (i % 2 ? 1.52 : -0.63);
    atoms.push_back({1, x + shift, y, 0.89});
    if (atoms.size() < 100)
      atoms.push_back({1, x - shift, y, -0.89});
  }
  atoms.resize(100, {1, 41.0, 0.0, 0.0});
  return atoms;
}

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...)
{
  char buf[256];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, args);
  va_end(args);
  return buf;
}

const std::string kRule69 = " " + std::string(69, '-') + "\n";

void GaussianOrientation(std::string& out, const char* title, const std::vector<Atom>& atoms)
{
  out += title;
  out += kRule69;
  out += " Center     Atomic      Atomic             Coordinates (Angstroms)\n";
  out += " Number     Number       Type             X           Y           Z\n";
  out += kRule69;
  for (size_t i = 0; i < atoms.size(); ++i)
    out += Format(" %6zu %10d %11d %15.6f %11.6f %11.6f\n", i + 1, atoms[i].z, 0, atoms[i].x, atoms[i].y, atoms[i].z_);
  out += kRule69;
}

std::string GaussianLog(int steps, bool withInput)
{
  std::string out;
  out += " Entering Gaussian System, Link 0=g16\n #p opt b3lyp/6-31g(d)\n Charge =  0 Multiplicity = 2\n";
  for (int s = 0; s < steps; ++s) {
    const auto atoms = Chain(s);
    if (withInput)
      GaussianOrientation(out, "                          Input orientation:                          \n", atoms);
    out += " Stoichiometry    C33H67(2)\n Framework group  C1[X(C33H67)]\n Deg. of freedom   294\n";
    GaussianOrientation(out, "                         Standard orientation:                         \n", atoms);
    out += " Rotational constants (GHZ):      0.0301542      0.0029871      0.0027644\n";
    out += " Requested convergence on RMS density matrix=1.00D-08 within 128 cycles.\n";
    for (int c = 1; c <= 14; ++c)
      out += Format(" Cycle %3d  Pass 1  IDiag  1:\n E= -1276.%010d Delta-E=       -0.%09d Rises=F Damp=F\n", c, 1234567 + c, 99 / c);
    out += Format(" SCF Done:  E(UB3LYP) =  -1276.%010d     A.U. after   14 cycles\n", 4321 + s);
    out += " Mulliken charges and spin densities:\n               1          2\n";
    for (size_t i = 0; i < atoms.size(); ++i)
      out += Format(" %5zu  %-2s  %10.6f   %10.6f\n", i + 1, atoms[i].z == 6 ? "C" : "H", atoms[i].z == 6 ? -0.21 : 0.07, 0.0);
    out += " -------------------------------------------------------------------\n";
    out += " Center     Atomic                   Forces (Hartrees/Bohr)\n";
    out += " Number     Number              X              Y              Z\n";
    out += " -------------------------------------------------------------------\n";
    for (size_t i = 0; i < atoms.size(); ++i)
      out += Format(" %6zu %8d        %14.9f %14.9f %14.9f\n", i + 1, atoms[i].z, 1e-4, -2e-4, 3e-5);
    out += " -------------------------------------------------------------------\n";
    out += "         Item               Value     Threshold  Converged?\n";
    out += " Maximum Force            0.000212     0.000450     YES\n RMS     Force            0.000051     0.000300     YES\n";
    out += Format(" Step number %3d out of a maximum of  600\n", s + 1);
  }
  out += " Normal termination of Gaussian 16.\n";
  return out;
}

// A Bohr table and then one angstrom table per step; `tables` counts them.
std::string GamessOutput(size_t targetBytes, size_t& tables)
{
  std::string out;
  out += "          *         GAMESS VERSION = 30 SEP 2018 (R3)          *\n\n";
  out += " ATOM      ATOMIC                      COORDINATES (BOHR)\n";
  out += "           CHARGE         X                   Y                   Z\n";
  for (const Atom& a : Chain(0))
    out += Format(" %-2s %12.1f %16.10f %19.10f %19.10f\n", a.z == 6 ? "C" : "H", double(a.z), a.x / 0.52917721067,
                  a.y / 0.52917721067, a.z_ / 0.52917721067);
  out += "\n";
  tables = 1;
  for (int s = 0; out.size() < targetBytes; ++s, ++tables) {
    const auto atoms = Chain(s);
    out += Format("\n BEGINNING GEOMETRY SEARCH POINT NSERCH= %4d ...\n\n", s);
    out += " COORDINATES OF ALL ATOMS ARE (ANGS)\n";
    out += "   ATOM   CHARGE       X              Y              Z\n";
    out += " ------------------------------------------------------------\n";
    for (const Atom& a : atoms)
      out += Format(" %-2s %14.1f %14.10f %14.10f %14.10f\n", a.z == 6 ? "C" : "H", double(a.z), a.x, a.y, a.z_);
    out += "\n          INTERNAL COORDINATES\n\n";
    out += " ITER EX DEM     TOTAL ENERGY        E CHANGE  DENSITY CHANGE    DIIS ERROR\n";
    for (int c = 0; c < 18; ++c)
      out += Format("   %d  0  0    -1267.%09d  -0.%09d   0.%09d   0.%09d\n", c + 1, 123456789 - c, 5000 / (c + 1), 70 / (c + 1), 9 + c);
    out += Format("\n FINAL UB3LYP ENERGY IS    -1267.%010d AFTER  18 ITERATIONS\n\n", 987654 + s);
    out += " ----------------------\n GRADIENT OF THE ENERGY\n ----------------------\n\n";
    out += " UNITS ARE HARTREE/BOHR    E'X               E'Y               E'Z \n";
    for (size_t i = 0; i < atoms.size(); ++i)
      out += Format(" %4zu %-2s  %18.9f %17.9f %17.9f\n", i + 1, atoms[i].z == 6 ? "C" : "H", 1e-4, -2e-4, 3e-5);
    out += "\n          MULLIKEN AND LOWDIN POPULATION ANALYSES\n\n";
    for (size_t i = 0; i < atoms.size(); ++i)
      out += Format("   %3zu %-2s   %12.6f  %10.6f  %12.6f  %10.6f\n", i + 1, atoms[i].z == 6 ? "C" : "H", 6.2, -0.2, 6.1, -0.1);
    out += "\n NSERCH:  STEP  ENERGY  GRAD(MAX)  GRAD(RMS)\n";
  }
  out += "\n EXECUTION OF GAMESS TERMINATED NORMALLY\n";
  return out;
}

class Inputs {
public:
  Inputs() : mDir(fs::temp_directory_path() / ("orbisk-bench-qcout-" + std::to_string(::getpid())))
  {
    fs::create_directories(mDir);
    write("opt.log", GaussianLog(200, true));
    write("standard.log", GaussianLog(200, false));
    write("opt.gamout", GamessOutput(50u << 20, mGamessTables));
  }
  ~Inputs()
  {
    std::error_code ec;
    fs::remove_all(mDir, ec);
  }
  std::string path(const char* name) const { return (mDir / name).string(); }
  size_t gamessTables() const { return mGamessTables; }

private:
  void write(const char* name, const std::string& text) { std::ofstream(mDir / name, std::ios::binary) << text; }
  fs::path mDir;
  size_t mGamessTables = 0;
};

const Inputs& TheInputs()
{
  static Inputs inputs;
  return inputs;
}

void Load(benchmark::State& state, const char* name, size_t expected)
{
  const std::string path = TheInputs().path(name);
  vl::BufferLog sink;
  size_t count = 0;
  int bonds = 0;
  for (auto _ : state) {
    StructureList list;
    LoadStructureFile(path, list, sink);
    count = list.size();
    bonds = list.empty() ? 0 : list.back()->bonds();
    benchmark::DoNotOptimize(list.data());
  }
  if (count != expected)
    state.SkipWithError(("wrong structure count: " + std::to_string(count)).c_str());
  state.counters["MB"] = double(fs::file_size(path)) / (1 << 20);
  state.counters["structures"] = double(count);
  state.counters["bonds_last"] = bonds;
}

void BM_GaussianOpt200x100(benchmark::State& state) { Load(state, "opt.log", 200); }
void BM_GaussianStandardOnly200x100(benchmark::State& state) { Load(state, "standard.log", 200); }
void BM_Gamess50MB(benchmark::State& state) { Load(state, "opt.gamout", TheInputs().gamessTables()); }

} // namespace

BENCHMARK(BM_GaussianOpt200x100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GaussianStandardOnly200x100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gamess50MB)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
