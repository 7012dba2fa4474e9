// Smooth surfaces: refining a 100,000-face cage (a sphere of 400 x 250) to level 2, about 1.6
// million faces, topology and positions; the refresh a move drag costs on a 5,000-face cage at
// level 3 (positions only, the topology kept: drawn one level coarser while the vertices move, and
// at the full level); smoothing 100,000 vertices ten times (Taubin: twenty passes).
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

#include "scene/primitives.h"
#include "scene/smoothing.h"
#include "scene/subdivision.h"

// Bytes held through operator new, and the most held since the last ResetPeak: the refine's own
// peak, apart from the process's (which the cage and the benchmark library add to).
static std::atomic<std::size_t> heldBytes{0}, peakBytes{0};

static void* Counted(std::size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  const std::size_t now = heldBytes += malloc_usable_size(p);
  std::size_t peak = peakBytes.load();
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
  }
  return p;
}
static void Uncounted(void* p) {
  if (!p) return;
  heldBytes -= malloc_usable_size(p);
  std::free(p);
}

void* operator new(std::size_t n) { return Counted(n); }
void* operator new[](std::size_t n) { return Counted(n); }
void operator delete(void* p) noexcept { Uncounted(p); }
void operator delete[](void* p) noexcept { Uncounted(p); }
void operator delete(void* p, std::size_t) noexcept { Uncounted(p); }
void operator delete[](void* p, std::size_t) noexcept { Uncounted(p); }

namespace {

double Megabytes(std::size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

mw::CModel Sphere(int segments, int rings, std::int32_t level) {
  mw::PrimitiveParams p;
  p.kind = mw::PrimitiveKind::kSphere;
  p.segments = segments;
  p.rings = rings;
  p.radius = 100;
  mw::CModel m = mw::BuildPrimitive(p, mw::CVector(), 0);
  m.subdivisionScheme = mw::kSubdivisionCatmullClark;
  m.subdivisionLevel = level;
  return m;
}

long PeakMegabytes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

// refinePeakMB: the most the refine held at once beyond the cage, the surface it hands back
// included; surfaceMB: that surface alone.
void RefineLargeCage(benchmark::State& state) {
  const mw::CModel cage = Sphere(400, 250, 2);
  std::size_t refinePeak = 0, surface = 0;
  for (auto _ : state) {
    const std::size_t before = heldBytes;
    peakBytes = before;
    mw::Subdivider s;
    mw::CModel out;
    s.Build(cage, out);
    s.Evaluate(cage, out);
    benchmark::DoNotOptimize(out.vertices.data());
    refinePeak = std::max(refinePeak, peakBytes - before);
    surface = out.vertices.capacity() * sizeof(mw::CVertex) + out.faces.capacity() * sizeof(mw::CFace);
    state.counters["faces"] = static_cast<double>(out.faces.size());
  }
  state.counters["cageFaces"] = static_cast<double>(cage.faces.size());
  state.counters["peakMB"] = static_cast<double>(PeakMegabytes());
  state.counters["refinePeakMB"] = Megabytes(refinePeak);
  state.counters["surfaceMB"] = Megabytes(surface);
}
BENCHMARK(RefineLargeCage)->Unit(benchmark::kMillisecond)->Iterations(3);

void DragRefresh(benchmark::State& state) {
  mw::CModel cage = Sphere(100, 50, 3);
  mw::SurfaceCache cache;
  cache.Surface(cage, 0);
  float dx = 0.0f;
  for (auto _ : state) {
    dx += 0.25f;
    cage.vertices[1234].position.x = dx;  // a move drag's step
    benchmark::DoNotOptimize(cache.Surface(cage, 0));
  }
  state.counters["cageFaces"] = static_cast<double>(cage.faces.size());
  state.counters["builds"] = static_cast<double>(cache.Builds());
}
BENCHMARK(DragRefresh)->Unit(benchmark::kMillisecond);

// The same step at the full level (what a paint costs once the vertices rest), positions only.
void EvaluateFullLevel(benchmark::State& state) {
  const mw::CModel cage = Sphere(100, 50, 3);
  mw::Subdivider s;
  mw::CModel out;
  s.Build(cage, out);
  for (auto _ : state) {
    s.Evaluate(cage, out);
    benchmark::DoNotOptimize(out.vertices.data());
  }
  state.counters["faces"] = static_cast<double>(out.faces.size());
}
BENCHMARK(EvaluateFullLevel)->Unit(benchmark::kMillisecond);

void Smooth100k(benchmark::State& state) {
  const mw::CModel sphere = Sphere(400, 250, 1);
  for (auto _ : state) {
    state.PauseTiming();
    mw::CModel m = sphere;
    for (mw::CVertex& v : m.vertices) v.selected = 1;
    state.ResumeTiming();
    mw::SmoothVertices(m, {mw::SmoothMethod::kTaubin, 10, 0.5, true}, true, 0);
    benchmark::DoNotOptimize(m.vertices.data());
  }
  state.counters["vertices"] = static_cast<double>(sphere.vertices.size());
}
BENCHMARK(Smooth100k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
