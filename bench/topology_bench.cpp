// The edge index of a million quadrilaterals (1001 x 1001 vertices), its key alone (what a cache hit
// costs), and the selection work that walks it: converting a face selection to edges, growing it,
// and a band in the perspective pane with its depth raster.
#include <benchmark/benchmark.h>

#include "bench/bench_scene.h"
#include "scene/edge_index.h"
#include "scene/element_selection.h"
#include "scene/picking.h"

namespace {

const mw::CModel& Grid() {
  static const mw::CModel model = mw::bench::GridModel(1001);
  return model;
}

void BM_EdgeIndexMillionQuads(benchmark::State& state) {
  const mw::CModel& m = Grid();
  std::size_t bytes = 0, edges = 0;
  for (auto _ : state) {
    mw::EdgeIndex ix(m);
    bytes = ix.Bytes();
    edges = ix.EdgeCount();
    benchmark::DoNotOptimize(ix);
  }
  state.counters["edges"] = static_cast<double>(edges);
  state.counters["bytes_per_edge"] = static_cast<double>(bytes) / static_cast<double>(edges);
}
BENCHMARK(BM_EdgeIndexMillionQuads)->Unit(benchmark::kMillisecond);

void BM_TopologyKeyMillionQuads(benchmark::State& state) {
  const mw::CModel& m = Grid();
  for (auto _ : state) benchmark::DoNotOptimize(mw::TopologyKey(m));
}
BENCHMARK(BM_TopologyKeyMillionQuads)->Unit(benchmark::kMillisecond);

mw::CMeshwright FaceSelectedScene() {
  mw::CMeshwright s;
  s.ResetScene();
  s.models[0] = Grid();
  mw::SetSelectMode(s, mw::kSelectFaces);
  for (std::size_t f = 0; f < s.models[0].faces.size(); f += 3) s.models[0].faces[f].selected = 1;
  mw::SelectVerticesOfElements(s.models[0], mw::kSelectFaces);
  return s;
}

void BM_FacesToEdgesMillionQuads(benchmark::State& state) {
  const mw::CMeshwright start = FaceSelectedScene();
  for (auto _ : state) {
    state.PauseTiming();
    mw::CMeshwright s = start;
    state.ResumeTiming();
    mw::SetSelectMode(s, mw::kSelectEdges);
    benchmark::DoNotOptimize(s.models[0].selectedEdges.data());
  }
}
BENCHMARK(BM_FacesToEdgesMillionQuads)->Unit(benchmark::kMillisecond);

void BM_GrowFacesMillionQuads(benchmark::State& state) {
  const mw::CMeshwright start = FaceSelectedScene();
  for (auto _ : state) {
    state.PauseTiming();
    mw::CMeshwright s = start;
    state.ResumeTiming();
    mw::GrowSelection(s);
  }
}
BENCHMARK(BM_GrowFacesMillionQuads)->Unit(benchmark::kMillisecond);

void BM_PerspectiveBandMillionQuads(benchmark::State& state) {
  mw::CMeshwright s;
  s.ResetScene();
  s.models[0] = Grid();
  s.viewportWidth = 640.0f, s.viewportHeight = 480.0f;
  s.zoom = 10.0f;
  s.camera.translation = mw::CVector(-50.0f, -20.0f, -400.0f);
  s.camera.rotation = mw::CVector(30.0f, 0.0f, 0.0f);
  mw::SetSelectMode(s, mw::kSelectFaces);
  for (auto _ : state) {
    const mw::PaneProjection view = mw::PaneProjection::Perspective(s, 640, 480);
    const mw::DepthRaster raster(s, view);
    mw::SelectInBand(s, view, &raster, 100, 100, 500, 400, 1, false);
  }
}
BENCHMARK(BM_PerspectiveBandMillionQuads)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
