// The modelling verbs on large grids: ten loop cuts across a ring of a million-quad grid, one
// subdivision of a million quads, and a knife stroke across ten thousand faces (in an
// orthographic pane, and in the perspective pane with what hides what). The edge index is built
// inside the timed part (the commands build it when the model changed); the model is copied
// outside it. The subdivision also reports its peak heap against the heap its result holds,
// counted by the program's own operator new.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

#include "bench/bench_scene.h"
#include "scene/edge_index.h"
#include "scene/mesh_cut.h"

// The replaced operators pair malloc with free themselves; GCC, seeing only the inlined
// new and free, takes them for a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

std::atomic<std::size_t> heapInUse{0}, heapPeak{0};

void Count(void* p) {
  if (!p) return;
  const std::size_t now = heapInUse.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
  std::size_t peak = heapPeak.load();
  while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
  }
}

}  // namespace

void* operator new(std::size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  Count(p);
  return p;
}
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete(void* p) noexcept {
  if (p) heapInUse.fetch_sub(malloc_usable_size(p));
  std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace {

const mw::CModel& Grid(int side) {
  static const mw::CModel big = mw::bench::GridModel(1001);
  static const mw::CModel small = mw::bench::GridModel(101);
  return side == 1001 ? big : small;
}

template <class Verb>
void Run(benchmark::State& state, const mw::CModel& source, Verb verb) {
  std::size_t faces = 0;
  for (auto _ : state) {
    state.PauseTiming();
    mw::CModel m = source;
    state.ResumeTiming();
    verb(m);
    benchmark::DoNotOptimize(m.faces.data());
    faces = m.faces.size();
    state.PauseTiming();
    { mw::CModel gone = std::move(m); }
    state.ResumeTiming();
  }
  state.counters["faces"] = static_cast<double>(faces);
}

void BM_LoopCutTenAcrossMillionQuadRing(benchmark::State& state) {
  Run(state, Grid(1001), [](mw::CModel& m) {
    const mw::EdgeIndex ix(m);
    const std::int32_t e[] = {ix.Find(500, 501)};  // a side along x in the first row: the ring runs along z
    benchmark::DoNotOptimize(mw::LoopCut(m, ix, e, 10, 0.0, 0));
  });
}

void BM_SubdivideMillionQuads(benchmark::State& state) {
  Run(state, Grid(1001), [](mw::CModel& m) {
    const mw::EdgeIndex ix(m);
    benchmark::DoNotOptimize(mw::SubdivideFaces(m, ix, 2, false, mw::Neighbours::kPolygons, 0));
  });
  // Once more outside the timing: the peak heap from the copy of the grid to the end of the
  // verb, over the heap the subdivided model holds (what its records take, inline or not).
  const std::size_t base = heapInUse.load();
  mw::CModel m = Grid(1001);
  heapPeak.store(heapInUse.load());
  {
    const mw::EdgeIndex ix(m);
    mw::SubdivideFaces(m, ix, 2, false, mw::Neighbours::kPolygons, 0);
  }
  const double result = static_cast<double>(heapInUse.load() - base);
  state.counters["peak_over_result"] = static_cast<double>(heapPeak.load() - base) / result;
  state.counters["result_MB"] = result / 1e6;
}

void BM_KnifeAcrossTenThousandFaces(benchmark::State& state) {
  mw::KnifeStroke k;
  k.plane = mw::kPlaneTop;  // the grid lies in y = 0: Top shows x right and z down
  k.points = {{-0.5, 0.25}, {100.5, 99.75}, {0.3, 99.7}};
  Run(state, Grid(101), [&k](mw::CModel& m) { benchmark::DoNotOptimize(mw::KnifeCut(m, k, 0)); });
}

void BM_KnifeInPerspectiveAcrossTenThousandFaces(benchmark::State& state) {
  // The grid's lit side seen at a slant, whole in the pane; the stroke across it corner to corner
  // and back, as in the orthographic case.
  mw::CMeshwright scene;
  scene.ResetScene();
  scene.models = {Grid(101)};
  scene.SetCameraRotation(mw::CVector(-60.0f, 0.0f, 0.0f));
  scene.SetCameraTranslation(mw::CVector(-50.0f, 0.0f, -1500.0f));
  const mw::PaneProjection view = mw::PaneProjection::Perspective(scene, 800, 600);
  const mw::ScreenPoint a = view(mw::CVector(0.0f, 0.0f, 0.25f)), b = view(mw::CVector(100.0f, 0.0f, 99.75f)),
                        c = view(mw::CVector(0.3f, 0.0f, 99.7f));
  mw::ViewKnifeStroke k;
  k.points = {{a.x, a.y}, {b.x, b.y}, {c.x, c.y}};
  std::size_t faces = 0;
  for (auto _ : state) {
    state.PauseTiming();
    scene.models[0] = Grid(101);
    state.ResumeTiming();
    benchmark::DoNotOptimize(mw::KnifeSceneInView(scene, view, k));
    faces = scene.models[0].faces.size();
  }
  state.counters["faces"] = static_cast<double>(faces);
}

}  // namespace

BENCHMARK(BM_LoopCutTenAcrossMillionQuadRing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SubdivideMillionQuads)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KnifeAcrossTenThousandFaces)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KnifeInPerspectiveAcrossTenThousandFaces)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
