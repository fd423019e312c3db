// Isosurfaces of an orbital-like field, x exp(-r^2) on a 100^3 grid: the
// extraction of its lobes at +iso and -iso, and a frame drawing the two at
// 800 x 600 (clear + draw + glFinish, the meshes already uploaded), opaque or
// see-through.
//
// Built by bench/render/CMakeLists.txt; run build/bench/render/bench_surface.
#include <benchmark/benchmark.h>

#include <QMatrix4x4>

#include <cmath>
#include <ctime>

#include "core/chemistry/isosurface.h"
#include "test_renderer_gl.h"
#include "view/surfacerenderer.h"

namespace {

constexpr int kPoints = 100;
constexpr float kIso = 0.02f;

const chem::ScalarGrid& grid()
{
  static const chem::ScalarGrid g = [] {
    const float step = 8.0f / (kPoints - 1);
    chem::ScalarGrid s{{-4, -4, -4}, {step, step, step}, kPoints, kPoints, kPoints, {}};
    s.values.reserve(s.points());
    for (int ix = 0; ix < kPoints; ++ix)
      for (int iy = 0; iy < kPoints; ++iy)
        for (int iz = 0; iz < kPoints; ++iz) {
          const float x = -4 + ix * step, y = -4 + iy * step, z = -4 + iz * step;
          s.values.push_back(x * std::exp(-(x * x + y * y + z * z)));
        }
    return s;
  }();
  return g;
}

double processCpuMs()
{
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) * 1e-6;
}

// Arg: how many lobes, 1 (+iso) or 2 (+iso and -iso).
void Extract(benchmark::State& state)
{
  const chem::ScalarGrid& g = grid();
  size_t triangles = 0;
  for (auto _ : state) {
    triangles = chem::ExtractIsosurface(g, kIso).triangles();
    if (state.range(0) == 2)
      triangles += chem::ExtractIsosurface(g, -kIso).triangles();
  }
  state.counters["triangles"] = static_cast<double>(triangles);
}

// Arg: opacity in percent; 0 draws nothing, which leaves the clear alone.
void Frame(benchmark::State& state)
{
  auto& env = orbisk_test::GLEnvironment::instance();
  if (!env.problem().empty() || !env.makeCurrent()) {
    state.SkipWithError(env.problem().c_str());
    return;
  }
  const int w = 800, h = 600;
  const float opacity = static_cast<float>(state.range(0)) / 100.0f;
  vl::SurfaceRenderer renderer;
  renderer.prepare({{chem::ExtractIsosurface(grid(), kIso), {0.2f, 0.4f, 1.0f, 1.0f}, opacity},
                    {chem::ExtractIsosurface(grid(), -kIso), {1.0f, 0.25f, 0.2f, 1.0f}, opacity}});
  vl::fvec3 lo(-4, -4, -4), hi(4, 4, 4);
  renderer.bounds(lo, hi);
  renderer.setDepthCue(vl::black, 0.5f, lo, hi); // as the window draws
  // Fitted to the lobes from up front and to the side, as the trackball fits a load.
  const float radius = (hi - lo).length() * 0.5f, dist = radius / std::sin(25.0f * 3.14159265f / 180.0f);
  QMatrix4x4 view, projection;
  view.lookAt(QVector3D(0.5f, 0.4f, 0.77f) * dist, QVector3D(0, 0, 0), QVector3D(0, 1, 0));
  projection.perspective(60.0f, float(w) / h, dist - radius, dist + radius);
  orbisk_test::OffscreenTarget target(w, h);
  auto* f = QOpenGLContext::currentContext()->extraFunctions();
  target.begin();
  renderer.render(view, projection, w, h); // upload, shader build
  f->glFinish();
  const double cpu0 = processCpuMs();
  for (auto _ : state) {
    target.begin();
    renderer.render(view, projection, w, h);
    f->glFinish();
  }
  // llvmpipe shades on worker threads: their CPU time says what a frame costs.
  state.counters["all_threads_cpu_ms"] = (processCpuMs() - cpu0) / static_cast<double>(state.iterations());
  size_t triangles = 0;
  for (const vl::Surface& s : renderer.surfaces())
    triangles += s.mesh.triangles();
  state.counters["triangles"] = static_cast<double>(triangles);
  renderer.releaseGL();
}

} // namespace

BENCHMARK(Extract)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Frame)->Arg(0)->Arg(100)->Arg(60)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
