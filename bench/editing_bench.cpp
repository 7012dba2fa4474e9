// Selection, transforms and topology edits on a model of a million vertices and a million
// quadrilaterals, each beside a bare loop over the same vertex positions as the floor.
#include <benchmark/benchmark.h>

#include "bench/bench_scene.h"
#include "scene/primitives.h"

namespace {

constexpr int kSide = 1001;

mw::CMeshwright& Scene() {
  static mw::CMeshwright scene = mw::bench::GridScene(kSide);
  return scene;
}

// The floor: touch every vertex position once, reading and writing it.
void BM_BareLoop(benchmark::State& state) {
  auto& vertices = Scene().models[0].vertices;
  for (auto _ : state) {
    for (mw::CVertex& v : vertices) v.position.x += 0.0f;
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * vertices.size()));
}

void BM_SelectInRect(benchmark::State& state) {
  mw::CMeshwright& s = Scene();
  for (auto _ : state) {
    s.SelectInRect(-1, -1, 501, 1001, mw::kPlaneTop, 1, 0, 0);  // about half the grid
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * s.models[0].vertices.size()));
}

void BM_MoveSelected(benchmark::State& state) {
  mw::CMeshwright& s = Scene();
  s.SetAllSelected(1);
  for (auto _ : state) {
    s.MoveSelected(0.0f, 0.0f, 0.0f);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * s.models[0].vertices.size()));
}

void BM_RotateSelected(benchmark::State& state) {
  mw::CMeshwright& s = Scene();
  s.SetAllSelected(1);
  for (auto _ : state) {
    s.RotateSelected(mw::kPlaneTop, 0.0f, 0, 0);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * s.models[0].vertices.size()));
}

void BM_ComputeNormals(benchmark::State& state) {
  mw::CMeshwright& s = Scene();
  for (auto _ : state) {
    s.ComputeNormals();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * s.models[0].vertices.size()));
}

void BM_DeleteSelectionHalf(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    mw::CMeshwright s = mw::bench::GridScene(kSide);
    auto& vertices = s.models[0].vertices;
    for (std::size_t i = 0; i < vertices.size() / 2; ++i) vertices[i].selected = 1;
    s.models[0].UpdateFaceSelection();
    state.ResumeTiming();
    s.DeleteSelection();
    benchmark::DoNotOptimize(s.models[0].vertices.size());
    state.PauseTiming();
    { mw::CMeshwright dispose = std::move(s); }
    state.ResumeTiming();
  }
}

void BM_MergeCurrentModelUp(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    mw::CMeshwright s = mw::bench::GridScene(kSide);
    s.models.insert(s.models.begin(), mw::bench::GridModel(10));
    s.currentModel = 1;
    state.ResumeTiming();
    s.MergeCurrentModelUp();
    benchmark::DoNotOptimize(s.models[0].vertices.size());
    state.PauseTiming();
    { mw::CMeshwright dispose = std::move(s); }
    state.ResumeTiming();
  }
}

// The largest shapes the 基本図形 dialog builds again at each change of a field while it previews:
// a UV sphere of 1000 x 1000 segments (a million faces), an icosphere of 6 subdivisions, a box of
// 100 segments on each axis.
void BM_BuildPrimitive(benchmark::State& state) {
  mw::PrimitiveParams params;
  switch (state.range(0)) {
    case 0: params.segments = params.rings = mw::kMaxSegments; break;
    case 1:
      params.kind = mw::PrimitiveKind::kIcosphere;
      params.subdivisions = mw::kMaxSubdivisions;
      break;
    default: params.kind = mw::PrimitiveKind::kBox; params.xSegments = params.ySegments = params.zSegments = 100;
  }
  std::size_t faces = 0;
  for (auto _ : state) {
    const mw::CModel m = mw::BuildPrimitive(params, mw::CVector(), 0);
    faces = m.faces.size();
    benchmark::DoNotOptimize(m.vertices.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * faces));
}

BENCHMARK(BM_BareLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectInRect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveSelected)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateSelected)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComputeNormals)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteSelectionHalf)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MergeCurrentModelUp)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BuildPrimitive)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
