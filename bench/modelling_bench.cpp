// The modelling verbs on large grids: ten loop cuts across a ring of a million-quad grid, one
// subdivision of a million quads, and a knife stroke across ten thousand faces. The edge index is
// built inside the timed part (the commands build it when the model changed); the model is copied
// outside it.
#include <benchmark/benchmark.h>

#include "bench/bench_scene.h"
#include "scene/edge_index.h"
#include "scene/mesh_cut.h"

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
}

void BM_KnifeAcrossTenThousandFaces(benchmark::State& state) {
  mw::KnifeStroke k;
  k.plane = mw::kPlaneTop;  // the grid lies in y = 0: Top shows x right and z down
  k.points = {{-0.5, 0.25}, {100.5, 99.75}, {0.3, 99.7}};
  Run(state, Grid(101), [&k](mw::CModel& m) { benchmark::DoNotOptimize(mw::KnifeCut(m, k, 0)); });
}

}  // namespace

BENCHMARK(BM_LoopCutTenAcrossMillionQuadRing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SubdivideMillionQuads)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KnifeAcrossTenThousandFaces)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
