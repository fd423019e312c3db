// Frame time of the molecule renderer at the window's default size, 512 x 512,
// for synthetic structures of 1k to 100k atoms. A frame is clear + draw +
// glFinish, the instance data already uploaded; "Update" adds prepare() and
// the upload, as after a style or structure change. "Window" is the whole
// rendering of an 800 x 600 window (occlusion, edge smoothing, outlines as
// the argument says); "Capture" a 5000 x 3000 off-screen picture, drawn at
// twice the size and averaged down, read back.
//
// Built by bench/render/CMakeLists.txt; run build/bench/render/bench_render.
#include <benchmark/benchmark.h>

#include <QMatrix4x4>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "core/model/molecule.h"
#include "test_renderer_gl.h"
#include "view/capture.h"
#include "view/moleculerenderer.h"
#include "view/rendering.h"
#include "view/scenemanager.h"

namespace {

constexpr int kSize = 512;

// Roughly organic: chains of carbons 1.5 A apart on a jittered lattice, every
// third carbon with a hydrogen; about one bond per atom.
std::unique_ptr<vl::Molecule> makeMolecule(int atoms, vl::EMoleculeStyle style)
{
  auto m = std::make_unique<vl::Molecule>();
  m->setMoleculeStyle(style);
  m->setLineWidth(2.0f);
  m->setSmoothLines(true);
  m->reserveAtoms(static_cast<size_t>(atoms));
  const int side = std::max(1, static_cast<int>(std::cbrt(atoms / 1.33)));
  unsigned seed = 12345;
  auto jitter = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return static_cast<float>((seed >> 16) & 0x7fff) / 32767.0f * 0.2f - 0.1f;
  };
  vl::Atom* prev = nullptr;
  auto add = [&](vl::EAtomType type, vl::fvec3 p) {
    auto a = vl::make_ref<vl::Atom>();
    a->setAtomType(type);
    a->setCoordinates(p);
    a->setColor(vl::atomInfo(type).cpkColor());
    a->setRadius(type == vl::AT_Hydrogen ? 0.15f : 0.26f);
    m->addAtom(a);
    return a.get();
  };
  auto bond = [&](vl::Atom* a, vl::Atom* b, float r) {
    auto x = vl::make_ref<vl::Bond>();
    x->setAtom1(a);
    x->setAtom2(b);
    x->setRadius(style == vl::MS_Sticks ? 0.1f : r);
    m->addBond(x);
  };
  for (int i = 0; m->atoms() < atoms; ++i) {
    const int x = i % side, y = (i / side) % side, z = i / (side * side);
    vl::Atom* c = add(vl::AT_Carbon, {x * 1.5f + jitter(), y * 1.5f + jitter(), z * 1.5f + jitter()});
    if (prev && x != 0)
      bond(prev, c, 0.126088f);
    prev = c;
    if (i % 3 == 0 && m->atoms() < atoms)
      bond(c, add(vl::AT_Hydrogen, c->coordinates() + vl::fvec3(0.3f, 0.6f, 0.75f)), 0.0795349f);
  }
  if (style == vl::MS_AtomsOnly)
    m->setVanDerWaalsAtomRadii(1.0f);
  return m;
}

double processCpuMs()
{
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) * 1e-6;
}

// Perspective camera fitted to the drawn box, as the trackball fits a load.
void fitCamera(const vl::MoleculeRenderer& r, QMatrix4x4& view, QMatrix4x4& projection)
{
  vl::fvec3 lo, hi;
  r.bounds(lo, hi);
  const vl::fvec3 c = (lo + hi) * 0.5f;
  const float radius = (hi - lo).length() * 0.5f;
  const float dist = radius / std::sin(15.0f * 3.14159265f / 180.0f);
  view.setToIdentity();
  view.lookAt(QVector3D(c.x, c.y, c.z + dist), QVector3D(c.x, c.y, c.z), QVector3D(0, 1, 0));
  projection.setToIdentity();
  projection.perspective(30.0f, 1.0f, std::max(dist - radius, dist * 0.001f), dist + radius);
}

void frames(benchmark::State& state, vl::EMoleculeStyle style, bool update)
{
  auto& env = orbisk_test::GLEnvironment::instance();
  if (!env.problem().empty() || !env.makeCurrent()) {
    state.SkipWithError(env.problem().c_str());
    return;
  }
  auto mol = makeMolecule(static_cast<int>(state.range(0)), style);
  orbisk_test::OffscreenTarget target(kSize, kSize);
  vl::MoleculeRenderer renderer;
  renderer.prepare(*mol);
  renderer.setDepthCue(vl::black, 0.5f); // as the window draws
  QMatrix4x4 view, projection;
  fitCamera(renderer, view, projection);
  auto* f = QOpenGLContext::currentContext()->extraFunctions();
  target.begin();
  renderer.render(view, projection, kSize, kSize); // first upload, shader build
  f->glFinish();
  const double cpu0 = processCpuMs();
  for (auto _ : state) {
    if (update)
      renderer.prepare(*mol);
    target.begin();
    renderer.render(view, projection, kSize, kSize);
    f->glFinish();
  }
  // llvmpipe shades on worker threads: their CPU time per frame says what a
  // frame costs whatever else the machine is doing.
  state.counters["all_threads_cpu_ms"] = (processCpuMs() - cpu0) / static_cast<double>(state.iterations());
  state.counters["atoms"] = static_cast<double>(mol->atoms());
  state.counters["bonds"] = static_cast<double>(mol->bonds());
  renderer.releaseGL();
}

void Prepare(benchmark::State& state)
{
  auto mol = makeMolecule(static_cast<int>(state.range(0)), vl::MS_BallAndStick);
  vl::MoleculeRenderer renderer;
  for (auto _ : state)
    renderer.prepare(*mol);
  state.SetComplexityN(state.range(0));
}

void FrameBallAndStick(benchmark::State& s)
{
  frames(s, vl::MS_BallAndStick, false);
}
void FrameSticks(benchmark::State& s)
{
  frames(s, vl::MS_Sticks, false);
}
void FrameSpaceFilling(benchmark::State& s)
{
  frames(s, vl::MS_AtomsOnly, false);
}
void FrameWireframe(benchmark::State& s)
{
  frames(s, vl::MS_Wireframe, false);
}
void UpdateBallAndStick(benchmark::State& s)
{
  frames(s, vl::MS_BallAndStick, true);
}

// The scene as the viewer draws it, the camera fitted to the molecule.
struct Viewer {
  vl::SceneManager scene;
  vl::Rendering rendering;
  explicit Viewer(const vl::Molecule& molecule, int width, int height)
  {
    scene.showMolecule(molecule);
    rendering.setSceneManager(&scene);
    vl::fvec3 lo, hi;
    scene.bounds(lo, hi);
    const vl::fvec3 c = (lo + hi) * 0.5f;
    const float dist = (hi - lo).length() * 0.5f / std::sin(vl::Camera::kFieldOfView * 0.5f * 3.14159265f / 180.0f);
    rendering.camera()->setViewMatrix(vl::Camera::lookAt(c + vl::fvec3(0, 0, dist), c, {0, 1, 0}));
    rendering.camera()->viewport()->setSize(width, height);
  }
  ~Viewer()
  {
    scene.releaseGL();
    rendering.releaseGL();
  }
};

// Argument: 0 drawn straight, 1 smoothed, 2 smoothed and outlined.
void Window(benchmark::State& state)
{
  auto& env = orbisk_test::GLEnvironment::instance();
  if (!env.problem().empty() || !env.makeCurrent()) {
    state.SkipWithError(env.problem().c_str());
    return;
  }
  constexpr int kWidth = 800, kHeight = 600;
  auto mol = makeMolecule(1000, vl::MS_BallAndStick);
  Viewer viewer(*mol, kWidth, kHeight);
  viewer.rendering.setAntialiasing(state.range(0) >= 1);
  viewer.rendering.setOutlines(state.range(0) >= 2);
  orbisk_test::OffscreenTarget target(kWidth, kHeight);
  auto* f = QOpenGLContext::currentContext()->extraFunctions();
  target.begin();
  viewer.rendering.render(kWidth, kHeight, true);
  f->glFinish();
  const double cpu0 = processCpuMs();
  for (auto _ : state) {
    target.begin();
    viewer.rendering.render(kWidth, kHeight, true);
    f->glFinish();
  }
  state.counters["all_threads_cpu_ms"] = (processCpuMs() - cpu0) / static_cast<double>(state.iterations());
}

// Argument: outlines (0 or 1).
void Capture(benchmark::State& state)
{
  auto& env = orbisk_test::GLEnvironment::instance();
  if (!env.problem().empty() || !env.makeCurrent()) {
    state.SkipWithError(env.problem().c_str());
    return;
  }
  auto mol = makeMolecule(10000, vl::MS_BallAndStick);
  Viewer viewer(*mol, 800, 600);
  viewer.rendering.setOutlines(state.range(0) != 0);
  std::string error;
  const double cpu0 = processCpuMs();
  for (auto _ : state)
    if (vl::renderOffscreen(&viewer.rendering, 5000, 3000, &error).isNull())
      state.SkipWithError(error.c_str());
  state.counters["all_threads_cpu_ms"] = (processCpuMs() - cpu0) / static_cast<double>(state.iterations());
}

// A frame of a normal mode playing, as the window draws it at 800 x 600:
// the atoms moved, the drawing prepared again with an arrow per atom (and
// its occlusion), then drawn.
void ModeFrameWithArrows(benchmark::State& state)
{
  auto& env = orbisk_test::GLEnvironment::instance();
  if (!env.problem().empty() || !env.makeCurrent()) {
    state.SkipWithError(env.problem().c_str());
    return;
  }
  constexpr int kWidth = 800, kHeight = 600;
  auto mol = makeMolecule(static_cast<int>(state.range(0)), vl::MS_BallAndStick);
  std::vector<vl::fvec3> rest;
  for (const auto& a : mol->atomList())
    rest.push_back(a->coordinates());
  orbisk_test::OffscreenTarget target(kWidth, kHeight);
  vl::MoleculeRenderer renderer;
  renderer.setDepthCue(vl::black, 0.5f);
  renderer.setOcclusion(0.4f);
  renderer.prepare(*mol);
  QMatrix4x4 view, projection;
  fitCamera(renderer, view, projection);
  projection.setToIdentity();
  projection.perspective(30.0f, static_cast<float>(kWidth) / kHeight, 1.0f, 1000.0f);
  auto* f = QOpenGLContext::currentContext()->extraFunctions();
  int frame = 0;
  const double cpu0 = processCpuMs();
  for (auto _ : state) {
    const float s = 0.3f * std::sin(0.2f * static_cast<float>(++frame));
    std::vector<vl::Arrow> arrows;
    for (int i = 0; i < mol->atoms(); ++i) {
      const vl::fvec3 d(0.6f, 0.3f * static_cast<float>(i % 3), 0.2f);
      mol->atom(i)->setCoordinates(rest[static_cast<size_t>(i)] + d * s);
      arrows.push_back({mol->atom(i)->coordinates(), mol->atom(i)->coordinates() + d * 1.2f, 0.04f, vl::white});
    }
    renderer.prepare(*mol, arrows);
    target.begin();
    renderer.render(view, projection, kWidth, kHeight);
    f->glFinish();
  }
  state.counters["all_threads_cpu_ms"] = (processCpuMs() - cpu0) / static_cast<double>(state.iterations());
  renderer.releaseGL();
}

} // namespace

BENCHMARK(Window)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Capture)->DenseRange(0, 1)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Prepare)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(FrameBallAndStick)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(UpdateBallAndStick)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FrameSticks)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FrameSpaceFilling)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FrameWireframe)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK(ModeFrameWithArrows)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
