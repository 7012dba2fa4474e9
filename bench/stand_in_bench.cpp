// The stand-in the perspective pane draws while the camera moves: taking its source from the
// scene (on the interface thread) and simplifying it (on a worker), for grids of 100,000,
// 1,000,000 and 4,000,000 quadrilaterals (twice as many triangles). The target is a second per
// million faces on one core, for both together.
#include <benchmark/benchmark.h>

#include <cmath>

#include "bench/bench_scene.h"
#include "scene/stand_in.h"

namespace {

mw::CMeshwright& SceneOf(int side) {
  static mw::CMeshwright scenes[3] = {mw::bench::GridScene(317), mw::bench::GridScene(1001),
                                      mw::bench::GridScene(2001)};
  // A grid is flat: give it hills, so that the error bound has something to keep.
  static const bool shaped = [] {
    for (mw::CMeshwright& s : scenes)
      for (mw::CVertex& v : s.models[0].vertices)
        v.position.y = 20.0f * std::sin(v.position.x / 37.0f) * std::cos(v.position.z / 53.0f);
    return true;
  }();
  (void)shaped;
  return scenes[side == 317 ? 0 : side == 1001 ? 1 : 2];
}

void BM_TakeStandInSource(benchmark::State& state) {
  const mw::CMeshwright& s = SceneOf(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(mw::TakeStandInSource(s));
  state.counters["faces"] = static_cast<double>(s.models[0].faces.size());
}

void BM_BuildStandIn(benchmark::State& state) {
  const mw::CMeshwright& s = SceneOf(static_cast<int>(state.range(0)));
  const mw::StandInSource source = mw::TakeStandInSource(s);
  std::size_t triangles = 0;
  for (auto _ : state) triangles = mw::BuildStandIn(source, mw::StandInLimits{}).triangles;
  state.counters["faces"] = static_cast<double>(s.models[0].faces.size());
  state.counters["triangles"] = static_cast<double>(triangles);
}

BENCHMARK(BM_TakeStandInSource)->Arg(317)->Arg(1001)->Arg(2001)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildStandIn)->Arg(317)->Arg(1001)->Arg(2001)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
