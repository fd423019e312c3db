// Orbitals on a grid: the HOMO of a divinylbenzene-like molecule (C10H10,
// 20 atoms) in a made-up 6-31G-like double-zeta basis (110 functions) with
// random, normalised orbital coefficients, on the default grid (0.2 bohr) and
// on a grid of about 100^3 points, with two worker threads; also the total
// density and reading the Molden file. The input is generated on first use.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/orbitals/basis.h"
#include "core/orbitals/grid.h"
#include "core/orbitals/readers.h"

namespace {

struct Atom {
  const char* symbol;
  int z;
  double x, y; // angstrom, in the molecular plane
};

// A benzene ring with vinyl groups at para positions, centrosymmetric.
std::vector<Atom> Divinylbenzene()
{
  std::vector<Atom> atoms;
  const double d2r = M_PI / 180;
  for (int k = 0; k < 6; ++k)
    atoms.push_back({"C", 6, 1.39 * std::cos(60 * k * d2r), 1.39 * std::sin(60 * k * d2r)});
  for (int k : {1, 2, 4, 5})
    atoms.push_back({"H", 1, 2.48 * std::cos(60 * k * d2r), 2.48 * std::sin(60 * k * d2r)});
  for (int s : {1, -1}) {
    const double ax = s * (1.39 + 1.48), bx = ax + s * 1.34 * std::cos(60 * d2r), by = s * 1.34 * std::sin(60 * d2r);
    atoms.push_back({"C", 6, ax, 0});
    atoms.push_back({"C", 6, bx, by});
    atoms.push_back({"H", 1, ax + s * 1.09 * std::cos(60 * d2r), -s * 1.09 * std::sin(60 * d2r)});
    atoms.push_back({"H", 1, bx + s * 1.09, by});
    atoms.push_back({"H", 1, bx + s * 1.09 * std::cos(120 * d2r), by + s * 1.09 * std::sin(120 * d2r)});
  }
  return atoms;
}

struct ShellText {
  const char* label;
  std::vector<double> exponents, coefficients;
};

const std::vector<ShellText> kCarbon = {
    {"s", {3047.5, 457.37, 103.95, 29.21, 9.2867, 3.1639}, {0.00183, 0.01403, 0.06876, 0.23218, 0.46794, 0.36231}},
    {"s", {7.8683, 1.8813, 0.54425}, {-0.11933, -0.16085, 1.14346}},
    {"p", {7.8683, 1.8813, 0.54425}, {0.06900, 0.31642, 0.74431}},
    {"s", {0.16871}, {1.0}},
    {"p", {0.16871}, {1.0}}};
const std::vector<ShellText> kHydrogen = {{"s", {18.731, 2.8254, 0.64012}, {0.03349, 0.23473, 0.81376}},
                                          {"s", {0.16128}, {1.0}}};

std::string& ScratchDir()
{
  static std::string dir;
  return dir;
}

// The Molden file, its orbitals scaled to unit norm with the analytic overlaps.
const std::string& MoldenFile()
{
  static const std::string path = [] {
    char dir[] = "/tmp/orbisk-bench-orbitals-XXXXXX";
    if (!mkdtemp(dir)) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    ScratchDir() = dir;
    const std::vector<Atom> atoms = Divinylbenzene();
    orb::Wavefunction w;
    for (const Atom& a : atoms) {
      w.atoms.push_back({a.z, {a.x / 0.52917721067, a.y / 0.52917721067, 0.0}});
      for (const ShellText& s : a.z == 6 ? kCarbon : kHydrogen) {
        orb::Shell shell;
        shell.atom = static_cast<int>(w.atoms.size()) - 1;
        shell.l = s.label[0] == 'p' ? 1 : 0;
        shell.exponents = s.exponents;
        shell.coefficients = s.coefficients;
        w.shells.push_back(shell);
      }
    }
    const size_t n = w.basisSize();
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> value(-0.3, 0.3);
    std::vector<const orb::Orbital*> all;
    for (size_t k = 0; k < n; ++k) {
      orb::Orbital o;
      o.energy = -10.0 + 12.0 * static_cast<double>(k) / static_cast<double>(n);
      o.occupation = k < 35 ? 2 : 0;
      for (size_t f = 0; f < n; ++f)
        o.coefficients.push_back(value(rng));
      w.alpha.push_back(o);
    }
    for (const auto& o : w.alpha)
      all.push_back(&o);
    const std::vector<double> norms = orb::Norms(orb::Expand(w, all));
    const std::string file = std::string(dir) + "/dvb.molden";
    std::FILE* f = std::fopen(file.c_str(), "w");
    std::fprintf(f, "[Molden Format]\n[Atoms] Angs\n");
    for (size_t i = 0; i < atoms.size(); ++i)
      std::fprintf(f, "%s %zu %d %.6f %.6f 0.0\n", atoms[i].symbol, i + 1, atoms[i].z, atoms[i].x, atoms[i].y);
    std::fprintf(f, "[GTO]\n");
    for (size_t i = 0; i < atoms.size(); ++i) {
      std::fprintf(f, "%zu 0\n", i + 1);
      for (const ShellText& s : atoms[i].z == 6 ? kCarbon : kHydrogen) {
        std::fprintf(f, "%s %zu 1.00\n", s.label, s.exponents.size());
        for (size_t p = 0; p < s.exponents.size(); ++p)
          std::fprintf(f, "%.6f %.6f\n", s.exponents[p], s.coefficients[p]);
      }
      std::fprintf(f, "\n");
    }
    std::fprintf(f, "[MO]\n");
    for (size_t k = 0; k < n; ++k) {
      const orb::Orbital& o = w.alpha[k];
      std::fprintf(f, " Sym= A\n Ene= %.6f\n Spin= Alpha\n Occup= %.1f\n", o.energy, o.occupation);
      for (size_t c = 0; c < n; ++c)
        std::fprintf(f, "%4zu %.12f\n", c + 1, o.coefficients[c] / std::sqrt(norms[k]));
    }
    std::fclose(f);
    return file;
  }();
  return path;
}

const orb::Wavefunction& Molecule()
{
  static const orb::Wavefunction w = [] {
    orb::Wavefunction read;
    std::string error;
    if (!orb::ReadWavefunction(MoldenFile(), read, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::exit(1);
    }
    return read;
  }();
  return w;
}

void Evaluate(benchmark::State& state, orb::OrbitalChoice::Kind kind, double spacing)
{
  const orb::Wavefunction& w = Molecule();
  orb::OrbitalChoice choice;
  choice.kind = kind;
  size_t points = 0;
  for (auto _ : state) {
    const orb::GridResult r = orb::EvaluateOrbital(w, choice, spacing);
    if (!r.ok()) {
      state.SkipWithError(r.error.c_str());
      break;
    }
    points = r.grid.points();
    benchmark::DoNotOptimize(r.grid.values.data());
  }
  state.counters["points"] = static_cast<double>(points);
  state.counters["grid_MB"] = static_cast<double>(points * sizeof(float)) / 1e6;
  state.counters["basis"] = static_cast<double>(w.basisSize());
}

void BM_HomoDefaultGrid(benchmark::State& state)
{
  Evaluate(state, orb::OrbitalChoice::Kind::Homo, orb::kDefaultSpacing);
}
// About 100^3 points over the same box.
void BM_HomoMillionPoints(benchmark::State& state)
{
  Evaluate(state, orb::OrbitalChoice::Kind::Homo, 0.151);
}
void BM_DensityDefaultGrid(benchmark::State& state)
{
  Evaluate(state, orb::OrbitalChoice::Kind::Density, orb::kDefaultSpacing);
}
void BM_ReadMolden(benchmark::State& state)
{
  const std::string& file = MoldenFile();
  for (auto _ : state) {
    orb::Wavefunction w;
    std::string error;
    if (!orb::ReadWavefunction(file, w, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    benchmark::DoNotOptimize(w.alpha.data());
  }
}

} // namespace

BENCHMARK(BM_HomoDefaultGrid)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HomoMillionPoints)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DensityDefaultGrid)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadMolden)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!ScratchDir().empty()) {
    std::remove((ScratchDir() + "/dvb.molden").c_str());
    rmdir(ScratchDir().c_str());
  }
  return 0;
}
