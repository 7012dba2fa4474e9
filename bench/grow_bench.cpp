// The verbs that add geometry on large selections: extruding every face of a million-quad grid as
// one region, and insetting a hundred thousand faces. Each iteration starts from a fresh copy of
// the grid (the copy is timed apart, with the clock paused) and includes the edge index build,
// face references and normals, as the command does.
#include <benchmark/benchmark.h>

#include "bench/bench_scene.h"
#include "scene/element_selection.h"
#include "scene/grow_ops.h"
#include "scene/scene_delta.h"

#include <optional>

namespace {

mw::CMeshwright SelectedGrid(int side) {
  mw::CMeshwright s = mw::bench::GridScene(side);
  mw::SetSelectMode(s, mw::kSelectFaces);
  for (mw::CFace& f : s.models[0].faces) f.selected = 1;
  mw::SelectVerticesOfElements(s.models[0], mw::kSelectFaces);
  return s;
}

template <typename Verb>
void Run(benchmark::State& state, int side, Verb&& verb) {
  const mw::CMeshwright start = SelectedGrid(side);
  for (auto _ : state) {
    state.PauseTiming();
    mw::CMeshwright s = start;
    state.ResumeTiming();
    benchmark::DoNotOptimize(verb(s));
    state.PauseTiming();
    s = mw::CMeshwright();  // freeing the copy is not the verb's time either
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * start.models[0].faces.size()));
}

// 1001 x 1001 vertices: a million quadrilaterals as one region.
void BM_ExtrudeRegionMillionQuads(benchmark::State& state) {
  Run(state, 1001, [](mw::CMeshwright& s) { return mw::ExtrudeSelected(s, {10.0, false, {}}); });
}

// 317 x 317 vertices: 99,856 quadrilaterals, each inset on its own.
void BM_InsetIndividualHundredThousand(benchmark::State& state) {
  Run(state, 317, [](mw::CMeshwright& s) { return mw::InsetSelected(s, {0.1, 0.0, true}); });
}

void BM_InsetRegionHundredThousand(benchmark::State& state) {
  Run(state, 317, [](mw::CMeshwright& s) { return mw::InsetSelected(s, {0.1, 0.0, false}); });
}

// One step of the live parameter box at ten thousand selected faces: the last preview taken back,
// the verb done again with the new value, kept for the next change (the frame rate it allows is
// one over this time, before drawing).
void BM_LiveExtrudeStepTenThousand(benchmark::State& state) {
  mw::CMeshwright s = SelectedGrid(101);
  std::optional<mw::SceneDelta> shown;
  double distance = 1.0;
  for (auto _ : state) {
    if (shown) shown->Undo(s);
    shown = mw::SceneDelta::Capture(mw::EditKind::kExtrude, s);
    shown->KeepWholeRecords();  // as view/live_parameter_dialog.cpp's preview keeps them
    mw::ExtrudeSelected(s, {distance, false, {}});
    shown->Finish(s);
    distance += 0.5;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 10000));
}

}  // namespace

BENCHMARK(BM_LiveExtrudeStepTenThousand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtrudeRegionMillionQuads)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_InsetIndividualHundredThousand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsetRegionHundredThousand)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
