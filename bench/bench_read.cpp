// Reading speed of the simple formats: a large single structure (water box)
// and long trajectories of a small molecule, each read with bond perception.
// The inputs are generated into a scratch folder on first use.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <unistd.h>

#include "core/export/export.h"
#include "core/formats/format.h"

namespace {

std::string& scratchDir()
{
  static std::string dir;
  if (dir.empty()) {
    char tmpl[] = "/tmp/orbisk-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    dir = tmpl;
  }
  return dir;
}

std::map<std::string, std::string>& createdFiles()
{
  static std::map<std::string, std::string> files;
  return files;
}

std::FILE* createFile(const std::string& name)
{
  const std::string path = scratchDir() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) {
    std::perror(path.c_str());
    std::exit(1);
  }
  createdFiles()[name] = path;
  return f;
}

// 33,333 randomly oriented waters on a 3.1 A lattice plus one sodium ion:
// 100,000 atoms at about the density of liquid water.
const std::string& waterBox()
{
  static const std::string path = [] {
    std::FILE* f = createFile("waterbox.xyz");
    const int waters = 33333, side = 33;
    std::fprintf(f, "%d\nwater box\n", 3 * waters + 1);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> angle(0.0, 2.0 * M_PI), cosine(-1.0, 1.0);
    for (int w = 0; w < waters; ++w) {
      const double ox = 3.1 * (w % side), oy = 3.1 * (w / side % side), oz = 3.1 * (w / (side * side));
      // Random orientation: the bisector along a random unit vector u, the
      // molecular plane fixed by a second vector v perpendicular to it.
      const double ct = cosine(rng), st = std::sqrt(1 - ct * ct), ph = angle(rng);
      const double u[3] = {st * std::cos(ph), st * std::sin(ph), ct};
      double v[3] = {-u[1], u[0], 0.0};
      const double vl = std::hypot(v[0], v[1]);
      if (vl < 1e-6) {
        v[0] = 1;
        v[1] = 0;
      } else {
        v[0] /= vl;
        v[1] /= vl;
      }
      std::fprintf(f, "O %.6f %.6f %.6f\n", ox, oy, oz);
      for (int s = -1; s <= 1; s += 2)
        std::fprintf(f, "H %.6f %.6f %.6f\n", ox + 0.586 * u[0] + s * 0.757 * v[0], oy + 0.586 * u[1] + s * 0.757 * v[1],
                     oz + 0.586 * u[2] + s * 0.757 * v[2]);
    }
    std::fprintf(f, "Na %.6f %.6f %.6f\n", 3.1 * side + 1.0, 0.0, 0.0);
    std::fclose(f);
    return createdFiles()["waterbox.xyz"];
  }();
  return path;
}

// Cyclodecane (C10H20, 30 atoms) with every atom vibrating a little per frame.
std::string trajectory(int frames)
{
  const std::string name = "cyclodecane-" + std::to_string(frames) + ".trj";
  auto& files = createdFiles();
  if (files.count(name))
    return files[name];
  std::FILE* f = createFile(name);
  // Puckered ring: carbons alternately 0.25 A above and below the plane, C-C 1.54 A.
  const double ring = std::sqrt(1.54 * 1.54 - 0.5 * 0.5) / (2 * std::sin(M_PI / 10));
  const double ch = 1.09, tilt = 54.75 * M_PI / 180;
  double base[30][3];
  const char* symbol[30];
  for (int c = 0; c < 10; ++c) {
    const double a = 2 * M_PI * c / 10, cx = std::cos(a), cy = std::sin(a), cz = (c % 2 ? 0.25 : -0.25);
    base[c][0] = ring * cx;
    base[c][1] = ring * cy;
    base[c][2] = cz;
    symbol[c] = "C";
    for (int h = 0; h < 2; ++h) {
      const double s = h ? 1 : -1;
      double* p = base[10 + 2 * c + h];
      p[0] = base[c][0] + ch * std::sin(tilt) * cx;
      p[1] = base[c][1] + ch * std::sin(tilt) * cy;
      p[2] = cz + s * ch * std::cos(tilt);
      symbol[10 + 2 * c + h] = "H";
    }
  }
  for (int k = 0; k < frames; ++k) {
    std::fprintf(f, "30\nframe %d\n", k + 1);
    for (int i = 0; i < 30; ++i) {
      const double d = 0.02 * std::sin(0.1 * k + i);
      std::fprintf(f, "%s %12.6f %12.6f %12.6f\n", symbol[i], base[i][0] + d, base[i][1] - d, base[i][2] + 0.5 * d);
    }
  }
  std::fclose(f);
  return files[name];
}

void readBenchmark(benchmark::State& state, const std::string& path, size_t expectStructures)
{
  for (auto _ : state) {
    StructureList list;
    vl::BufferLog log;
    const int rc = FindFormat(FT_Xyz)->read(path, FT_Xyz, list, log);
    state.PauseTiming(); // freeing the structures is not part of reading
    if (rc != 0 || list.size() != expectStructures) {
      state.SkipWithError("unexpected reading result");
      break;
    }
    size_t bonds = 0;
    for (const auto& m : list)
      bonds += static_cast<size_t>(m->bonds());
    state.counters["bonds"] = static_cast<double>(bonds);
    list.clear();
    state.ResumeTiming();
  }
}

void BM_ReadWaterBox100k(benchmark::State& state) { readBenchmark(state, waterBox(), 1); }
BENCHMARK(BM_ReadWaterBox100k)->Unit(benchmark::kMillisecond);

void BM_ReadTrajectory30Atoms(benchmark::State& state)
{
  const int frames = static_cast<int>(state.range(0));
  readBenchmark(state, trajectory(frames), static_cast<size_t>(frames));
  state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(BM_ReadTrajectory30Atoms)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Detection of a large trajectory reads only its first three lines.
void BM_CheckFileTypeLargeTrajectory(benchmark::State& state)
{
  const std::string path = trajectory(100000);
  for (auto _ : state)
    benchmark::DoNotOptimize(CheckFileType(path));
}
BENCHMARK(BM_CheckFileTypeLargeTrajectory)->Unit(benchmark::kMicrosecond);

// Writing the 10,000-frame trajectory back out (export path), to /dev/null.
void BM_WriteTrajectory(benchmark::State& state)
{
  StructureList list;
  vl::BufferLog log;
  FindFormat(FT_Xyz)->read(trajectory(10000), FT_Xyz, list, log);
  std::FILE* sink = std::fopen("/dev/null", "w");
  const bool sdf = state.range(0) != 0;
  for (auto _ : state) {
    if (sdf)
      FindFormat(FT_MdlMol)->write(sink, list, "cyclodecane.trj");
    else
      FindFormat(FT_Xyz)->write(sink, list, "cyclodecane.trj");
    std::fflush(sink);
  }
  std::fclose(sink);
  state.SetLabel(sdf ? "sdf" : "xyz");
}
BENCHMARK(BM_WriteTrajectory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const auto& [name, path] : createdFiles())
    std::remove(path.c_str());
  if (!scratchDir().empty())
    rmdir(scratchDir().c_str());
  return 0;
}
