// Bond perception: the cell-grid CreateBonds against the all-pairs reference,
// on liquid-water boxes and a random cloud, plus the memory a large molecule
// with bonds and adjacency costs per atom.
//
//   bench_bonds                                   all benchmarks
//   bench_bonds --benchmark_filter=Memory         only the 1,000,000-atom memory figure
//   bench_bonds --benchmark_filter=PiledUp        20,000 atoms at one point
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "core/chemistry/bonds.h"
#include "core/chemistry/bonds_reference.h"

namespace {

// Waters on a jittered cubic lattice at liquid density (0.0334 molecules per
// cubic angstrom), O-H 0.96 A, H-O-H 104.5 degrees, random orientations.
// Atoms come as O, H, H per molecule, as in a file.
vl::ref<vl::Molecule> waterBox(int atoms, unsigned seed = 1)
{
  const int waters = atoms / 3;
  const double spacing = std::cbrt(1.0 / 0.0334);
  int side = 1;
  while (side * side * side < waters)
    ++side;
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  const double oh = 0.96, half = 104.5 / 2 * 3.14159265358979 / 180;
  const double c = std::cos(half) * oh, s = std::sin(half) * oh;

  auto m = vl::make_ref<vl::Molecule>();
  m->reserveAtoms(static_cast<size_t>(3 * waters));
  auto add = [&](vl::EAtomType t, double x, double y, double z, const char* name) {
    auto a = vl::make_ref<vl::Atom>();
    a->setAtomType(t);
    a->setCoordinates(vl::fvec3(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)));
    a->setAtomName(name);
    m->addAtom(a);
  };
  for (int w = 0; w < waters; ++w) {
    const int i = w % side, j = (w / side) % side, k = w / side / side;
    const double ox = spacing * i + 0.25 * u(rng), oy = spacing * j + 0.25 * u(rng), oz = spacing * k + 0.25 * u(rng);
    double a[3], b[3], len;
    do {
      for (double& v : a)
        v = u(rng);
      len = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    } while (len < 0.1 || len > 1);
    for (double& v : a)
      v /= len;
    do {
      for (double& v : b)
        v = u(rng);
      const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
      for (int q = 0; q < 3; ++q)
        b[q] -= dot * a[q];
      len = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
    } while (len < 0.1);
    for (double& v : b)
      v /= len;
    add(vl::AT_Oxygen, ox, oy, oz, "O");
    add(vl::AT_Hydrogen, ox + c * a[0] + s * b[0], oy + c * a[1] + s * b[1], oz + c * a[2] + s * b[2], "H");
    add(vl::AT_Hydrogen, ox + c * a[0] - s * b[0], oy + c * a[1] - s * b[1], oz + c * a[2] - s * b[2], "H");
  }
  return m;
}

// Uniform random cloud of mixed elements at 0.1 atoms per cubic angstrom.
vl::ref<vl::Molecule> randomCloud(int atoms, unsigned seed = 2)
{
  static const vl::EAtomType types[] = {vl::AT_Hydrogen, vl::AT_Hydrogen, vl::AT_Hydrogen, vl::AT_Carbon,
                                        vl::AT_Carbon,   vl::AT_Nitrogen, vl::AT_Oxygen,   vl::AT_Sulfur};
  const double box = std::cbrt(atoms / 0.1);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(0, static_cast<float>(box));
  std::uniform_int_distribution<size_t> pick(0, std::size(types) - 1);
  auto m = vl::make_ref<vl::Molecule>();
  for (int i = 0; i < atoms; ++i) {
    auto a = vl::make_ref<vl::Atom>();
    a->setAtomType(types[pick(rng)]);
    a->setCoordinates(vl::fvec3(u(rng), u(rng), u(rng)));
    m->addAtom(a);
  }
  return m;
}

// A molecule without bonds that shares the atoms of `m`.
vl::ref<vl::Molecule> sameAtoms(const vl::Molecule& m)
{
  auto copy = vl::make_ref<vl::Molecule>();
  copy->reserveAtoms(m.atomList().size());
  for (const auto& a : m.atomList())
    copy->addAtom(a);
  return copy;
}

// Time per atom (seconds, shown with an SI prefix: 95n = 95 ns).
benchmark::Counter perAtom(int atoms)
{
  return benchmark::Counter(static_cast<double>(atoms),
                            benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Repetitions with their minimum: this machine is shared, and the minimum is
// the figure least disturbed by other load.
double minimum(const std::vector<double>& v)
{
  return *std::min_element(v.begin(), v.end());
}
#define REPEATED Repetitions(5)->ComputeStatistics("min", minimum)->ReportAggregatesOnly(true)

template <class Build, class Run> void runBonds(benchmark::State& state, Build build, Run run)
{
  const auto source = build(static_cast<int>(state.range(0)));
  int bonds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto m = sameAtoms(*source);
    state.ResumeTiming();
    run(m);
    state.PauseTiming();
    bonds = m->bonds();
    m.reset(); // freeing the bonds is not part of the measurement
    state.ResumeTiming();
  }
  state.counters["atoms"] = source->atoms();
  state.counters["bonds"] = bonds;
  state.counters["per_atom"] = perAtom(source->atoms());
}

void BM_CreateBonds_WaterBox(benchmark::State& state)
{
  runBonds(
      state, [](int n) { return waterBox(n); }, [](const vl::ref<vl::Molecule>& m) { CreateBonds(m); });
}
BENCHMARK(BM_CreateBonds_WaterBox)
    ->Arg(999)
    ->Arg(9999)
    ->Arg(99999)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->REPEATED;

void BM_AllPairs_WaterBox(benchmark::State& state)
{
  runBonds(
      state, [](int n) { return waterBox(n); }, [](const vl::ref<vl::Molecule>& m) { CreateBondsAllPairs(m); });
}
BENCHMARK(BM_AllPairs_WaterBox)->Arg(999)->Arg(9999)->Unit(benchmark::kMillisecond)->UseRealTime()->REPEATED;

void BM_CreateBonds_RandomCloud(benchmark::State& state)
{
  runBonds(
      state, [](int n) { return randomCloud(n); }, [](const vl::ref<vl::Molecule>& m) { CreateBonds(m); });
}
BENCHMARK(BM_CreateBonds_RandomCloud)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime()->REPEATED;

void BM_AllPairs_RandomCloud(benchmark::State& state)
{
  runBonds(
      state, [](int n) { return randomCloud(n); }, [](const vl::ref<vl::Molecule>& m) { CreateBondsAllPairs(m); });
}
BENCHMARK(BM_AllPairs_RandomCloud)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime()->REPEATED;

// The search alone (index pairs, no Bond objects), each strategy.
void BM_FindBondPairs_WaterBox(benchmark::State& state)
{
  const auto m = waterBox(static_cast<int>(state.range(0)));
  const auto search = static_cast<chem::BondSearch>(state.range(1));
  size_t pairs = 0;
  for (auto _ : state) {
    auto p = chem::FindBondPairs(*m, search);
    pairs = p.size();
    benchmark::DoNotOptimize(p.data());
  }
  state.counters["bonds"] = static_cast<double>(pairs);
  state.counters["per_atom"] = perAtom(m->atoms());
  state.SetLabel(search == chem::BondSearch::DenseGrid  ? "dense"
                 : search == chem::BondSearch::HashGrid ? "hash"
                                                        : "auto");
}
BENCHMARK(BM_FindBondPairs_WaterBox)
    ->Args({999, static_cast<int>(chem::BondSearch::Auto)})
    ->Args({9999, static_cast<int>(chem::BondSearch::Auto)})
    ->Args({99999, static_cast<int>(chem::BondSearch::Auto)})
    ->Args({999999, static_cast<int>(chem::BondSearch::Auto)})
    ->Args({99999, static_cast<int>(chem::BondSearch::DenseGrid)})
    ->Args({99999, static_cast<int>(chem::BondSearch::HashGrid)})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->REPEATED;

// A spread cloud: 10 clusters of 1,000 atoms, 1e6 angstrom apart (hashed grid).
void BM_CreateBonds_SpreadClusters(benchmark::State& state)
{
  auto build = [](int) {
    auto m = vl::make_ref<vl::Molecule>();
    for (int c = 0; c < 10; ++c) {
      auto part = waterBox(999, 10 + c);
      for (const auto& a : part->atomList()) {
        vl::fvec3 p = a->coordinates();
        p.x += 1e6f * (c % 3);
        p.y += 1e6f * (c / 3 % 3);
        p.z += 1e6f * (c / 9);
        a->setCoordinates(p);
        m->addAtom(a);
      }
    }
    return m;
  };
  runBonds(state, build, [](const vl::ref<vl::Molecule>& m) { CreateBonds(m); });
}
BENCHMARK(BM_CreateBonds_SpreadClusters)->Arg(9990)->Unit(benchmark::kMillisecond)->UseRealTime()->REPEATED;

long vmRssKiB()
{
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f)
    return -1;
  char line[256];
  long kib = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, "VmRSS:", 6) == 0)
      kib = std::strtol(line + 6, nullptr, 10);
  std::fclose(f);
  return kib;
}

double heapInUse()
{
  const struct mallinfo2 mi = mallinfo2();
  return static_cast<double>(mi.uordblks + mi.hblkhd); // small chunks in use + mmapped chunks
}

// Memory per atom of a 1,000,000-atom water box: the molecule with its atoms,
// then CreateBonds, then computeAtomAdjacency. Heap figures come from
// mallinfo2 (bytes in use), RSS from /proc/self/status.
void BM_Memory_WaterBox(benchmark::State& state)
{
  const int n = static_cast<int>(state.range(0));
  double heapAtoms = 0, heapBonds = 0, heapAdjacency = 0, rssTotal = 0, msBonds = 0;
  int bonds = 0;
  for (auto _ : state) {
    chem::ReleaseBondScratch(); // what earlier benchmarks left behind
    malloc_trim(0);
    const double heap0 = heapInUse();
    const long rss0 = vmRssKiB();
    auto m = waterBox(n);
    const double heap1 = heapInUse();
    const auto t0 = std::chrono::steady_clock::now();
    CreateBonds(m);
    const auto t1 = std::chrono::steady_clock::now();
    const double heap2 = heapInUse();
    m->computeAtomAdjacency();
    const double heap3 = heapInUse();
    const long rss3 = vmRssKiB();
    heapAtoms = (heap1 - heap0) / n;
    heapBonds = (heap2 - heap1) / n;
    heapAdjacency = (heap3 - heap2) / n;
    rssTotal = static_cast<double>(rss3 - rss0) * 1024.0 / n;
    msBonds = std::chrono::duration<double, std::milli>(t1 - t0).count();
    bonds = m->bonds();
  }
  state.counters["atoms"] = n;
  state.counters["bonds"] = bonds;
  state.counters["B_per_atom_atoms"] = heapAtoms;
  state.counters["B_per_atom_bonds"] = heapBonds;
  state.counters["B_per_atom_adjacency"] = heapAdjacency;
  state.counters["B_per_atom_heap_total"] = heapAtoms + heapBonds + heapAdjacency;
  state.counters["B_per_atom_rss_total"] = rssTotal;
  state.counters["CreateBonds_ms"] = msBonds;
}
BENCHMARK(BM_Memory_WaterBox)->Arg(999999)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Atoms piled onto one point (a broken file): perception must give up early
// instead of making n^2 bonds. Time per CreateBonds and the heap it leaves.
void BM_CreateBonds_PiledUp(benchmark::State& state)
{
  const int n = static_cast<int>(state.range(0));
  auto m = vl::make_ref<vl::Molecule>();
  for (int i = 0; i < n; ++i) {
    auto a = vl::make_ref<vl::Atom>();
    a->setAtomType(vl::AT_Oxygen);
    m->addAtom(a);
  }
  chem::ReleaseBondScratch();
  malloc_trim(0);
  const double heap0 = heapInUse();
  double peakHeap = 0;
  bool complete = true;
  for (auto _ : state) {
    complete = CreateBonds(m);
    peakHeap = std::max(peakHeap, heapInUse() - heap0);
  }
  state.counters["bonds"] = m->bonds();
  state.counters["gave_up"] = complete ? 0 : 1;
  state.counters["heap_MB"] = peakHeap / (1 << 20);
}
BENCHMARK(BM_CreateBonds_PiledUp)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

// Ambient occlusion of a 10,000-atom box of waters (ball-and-stick radii):
// computed once per drawing, it must stay well under 200 ms.
#include "core/chemistry/occlusion.h"
static void BM_Openness10k(benchmark::State& state)
{
  std::vector<vl::fvec3> centres;
  std::vector<float> radii;
  for (int i = 0; centres.size() < 10000; ++i) {
    const vl::fvec3 o(3.1f * static_cast<float>(i % 15), 3.1f * static_cast<float>(i / 15 % 15),
                      3.1f * static_cast<float>(i / 225));
    for (const vl::fvec3& d : {vl::fvec3(0, 0, 0), vl::fvec3(0.757f, 0.586f, 0), vl::fvec3(-0.757f, 0.586f, 0)}) {
      centres.push_back(o + d);
      radii.push_back(d.x == 0 ? 0.32f : 0.15f);
    }
  }
  for (auto _ : state)
    benchmark::DoNotOptimize(BallOpenness(centres, radii));
}
BENCHMARK(BM_Openness10k)->Unit(benchmark::kMillisecond);
