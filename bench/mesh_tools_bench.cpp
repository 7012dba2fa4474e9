// The mesh tools on a million vertices: weld of a triangle-soup import (every grid point there
// four times) and of a mesh with nothing to weld, flipping and triangulating a million-face grid.
// The model is copied outside the timed part of each iteration.
#include <benchmark/benchmark.h>

#include "bench/bench_scene.h"
#include "scene/mesh_tools.h"

namespace {

// 500 x 500 quadrilaterals sharing no vertex: 1,000,000 vertices, welding to 251,001. Copies are
// a hundredth of a unit apart in z, as a careless export leaves them.
const mw::CModel& Soup() {
  static const mw::CModel model = [] {
    mw::CModel m;
    constexpr int kQuads = 500;
    m.vertices.reserve(4u * kQuads * kQuads);
    m.faces.reserve(kQuads * kQuads);
    for (int z = 0; z < kQuads; ++z)
      for (int x = 0; x < kQuads; ++x) {
        mw::CFace f;
        const int corner[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
        for (const auto& c : corner) {
          f.AddIndex(static_cast<std::int32_t>(m.vertices.size()));
          f.AddUV(mw::CUV(static_cast<float>(c[0]), static_cast<float>(c[1])));
          m.vertices.emplace_back(static_cast<float>(x + c[0]) * 0.37f, 0.0f,
                                  static_cast<float>(z + c[1]) * 0.37f + 0.0001f * static_cast<float>(c[0]));
        }
        m.faces.push_back(f);
      }
    m.RebuildFaceRefs();
    for (mw::CVertex& v : m.vertices) v.selected = 1;
    return m;
  }();
  return model;
}

// The same with one stray vertex far away, as imports sometimes carry: the cells must not grow.
const mw::CModel& SoupWithAStray() {
  static const mw::CModel model = [] {
    mw::CModel m = Soup();
    m.vertices.emplace_back(3.0e7f, -2.5e7f, 1.0e7f);
    m.vertices.back().selected = 1;
    return m;
  }();
  return model;
}

// 1000 x 1000 vertices already shared: the weld finds nothing.
const mw::CModel& Grid() {
  static const mw::CModel model = [] {
    mw::CModel m = mw::bench::GridModel(1000);
    for (mw::CVertex& v : m.vertices) v.selected = 1;
    return m;
  }();
  return model;
}

void Weld(benchmark::State& state, const mw::CModel& source, double distance) {
  std::size_t removed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    mw::CModel m = source;
    state.ResumeTiming();
    removed = mw::WeldVertices(m, distance, true, 1).verticesRemoved;
    benchmark::DoNotOptimize(m.vertices.data());
    state.PauseTiming();
    { mw::CModel gone = std::move(m); }
    state.ResumeTiming();
  }
  state.counters["removed"] = static_cast<double>(removed);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * source.vertices.size()));
}

void BM_WeldSoupOfAMillionVertices(benchmark::State& state) { Weld(state, Soup(), 0.001); }
void BM_WeldSoupWithAStrayFarVertex(benchmark::State& state) { Weld(state, SoupWithAStray(), 0.001); }
void BM_WeldMillionVerticesNothingToWeld(benchmark::State& state) { Weld(state, Grid(), 0.001); }
// A distance as large as the grid step: every cell of the grid holds a whole group.
void BM_WeldSoupAtTheGridStep(benchmark::State& state) { Weld(state, Soup(), 0.3); }

void BM_FlipMillionFaces(benchmark::State& state) {
  mw::CModel m = Grid();
  for (auto _ : state) {
    benchmark::DoNotOptimize(mw::FlipFaces(m, false, 1));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * m.faces.size()));
}

void BM_TriangulateMillionQuads(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    mw::CModel m = Grid();
    state.ResumeTiming();
    benchmark::DoNotOptimize(mw::TriangulateFaces(m, 1));
    state.PauseTiming();
    { mw::CModel gone = std::move(m); }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * Grid().faces.size()));
}

}  // namespace

BENCHMARK(BM_WeldSoupOfAMillionVertices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WeldSoupWithAStrayFarVertex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WeldMillionVerticesNothingToWeld)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WeldSoupAtTheGridStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipMillionFaces)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TriangulateMillionQuads)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
