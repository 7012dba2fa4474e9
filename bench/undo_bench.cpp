// Undo and redo against the edits they take back, on a model of a million vertices and a million
// quadrilaterals: a move of every vertex, deleting half of the model, merging two half models;
// and how many bytes the history keeps for the delete (per removed vertex, at 1M and 4M) and the
// merge.
// "Edit" is what the program does without a history; "Step" adds capturing the delta; "UndoRedo"
// takes the step back and makes it again (two operations per iteration). The recovery snapshot
// (the only part of an autosave the interface waits for) is measured on the same scene.
#include <benchmark/benchmark.h>

#include "bench/bench_scene.h"
#include "scene/archive.h"
#include "scene/scene_delta.h"

namespace {

constexpr int kSide = 1001;

const mw::CMeshwright& Grid() {
  static const mw::CMeshwright scene = [] {
    mw::CMeshwright s = mw::bench::GridScene(kSide);
    s.ComputeNormals();
    return s;
  }();
  return scene;
}

void Move(mw::CMeshwright& s) {
  s.MoveSelected(3.0f, 0.0f, -1.0f);
  s.ComputeNormals();
}

void BM_MoveEdit(benchmark::State& state) {
  mw::CMeshwright s = Grid();
  s.SetAllSelected(1);
  for (auto _ : state) {
    Move(s);
    benchmark::ClobberMemory();
  }
}

void BM_MoveStep(benchmark::State& state) {
  mw::CMeshwright s = Grid();
  s.SetAllSelected(1);
  std::size_t bytes = 0;
  for (auto _ : state) {
    mw::SceneDelta d = mw::SceneDelta::Capture(mw::EditKind::kMove, s);
    Move(s);
    d.Finish(s);
    bytes = d.Bytes();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["step_bytes_per_vertex"] =
      static_cast<double>(bytes) / static_cast<double>(s.models[0].vertices.size());
}

void BM_MoveUndoRedo(benchmark::State& state) {
  mw::CMeshwright s = Grid();
  s.SetAllSelected(1);
  mw::SceneDelta d = mw::SceneDelta::Capture(mw::EditKind::kMove, s);
  Move(s);
  d.Finish(s);
  for (auto _ : state) {
    d.Undo(s);
    d.Redo(s);
    benchmark::ClobberMemory();
  }
}

// Edits that change the scene's shape are timed on a fresh copy of `start` each iteration; the
// copy and its release are left out of the time.
template <class Op>
void TimeEdit(benchmark::State& state, const mw::CMeshwright& start, Op op) {
  for (auto _ : state) {
    state.PauseTiming();
    mw::CMeshwright s = start;
    state.ResumeTiming();
    op(s);
    benchmark::ClobberMemory();
    state.PauseTiming();
    s = mw::CMeshwright();
    state.ResumeTiming();
  }
}

template <class Op>
void TimeStep(benchmark::State& state, const mw::CMeshwright& start, mw::EditKind kind, Op op) {
  for (auto _ : state) {
    state.PauseTiming();
    mw::CMeshwright s = start;
    state.ResumeTiming();
    mw::SceneDelta d = mw::SceneDelta::Capture(kind, s);
    op(s);
    d.Finish(s);
    benchmark::ClobberMemory();
    state.PauseTiming();
    s = mw::CMeshwright();
    d = mw::SceneDelta();
    state.ResumeTiming();
  }
}

template <class Op>
void TimeUndoRedo(benchmark::State& state, mw::CMeshwright s, mw::EditKind kind, Op op) {
  mw::SceneDelta d = mw::SceneDelta::Capture(kind, s);
  op(s);
  d.Finish(s);
  for (auto _ : state) {
    d.Undo(s);
    d.Redo(s);
    benchmark::ClobberMemory();
  }
}

// Half of the grid selected: every face in the left half goes, with the vertices only it used.
mw::CMeshwright HalfSelected() {
  mw::CMeshwright s = Grid();
  for (mw::CVertex& v : s.models[0].vertices) v.selected = v.position.x < kSide / 2 ? 1 : 0;
  s.models[0].UpdateFaceSelection();
  return s;
}

void DeleteHalf(mw::CMeshwright& s) { s.DeleteSelection(); }

void BM_DeleteHalfEdit(benchmark::State& state) { TimeEdit(state, HalfSelected(), DeleteHalf); }
void BM_DeleteHalfStep(benchmark::State& state) {
  TimeStep(state, HalfSelected(), mw::EditKind::kDelete, DeleteHalf);
}
void BM_DeleteHalfUndoRedo(benchmark::State& state) {
  TimeUndoRedo(state, HalfSelected(), mw::EditKind::kDelete, DeleteHalf);
}

// Two models of half a million vertices each; the second is merged up into the first.
mw::CMeshwright TwoHalves() {
  mw::CMeshwright s = mw::bench::GridScene(kSide);
  s.models.push_back(mw::bench::GridModel(kSide));
  for (mw::CModel& m : s.models) {
    m.vertices.resize(m.vertices.size() / 2);
    std::erase_if(m.faces, [&m](const mw::CFace& f) {
      for (std::int32_t i : f.indices)
        if (!m.HasVertex(i)) return true;
      return false;
    });
    m.RebuildFaceRefs();
  }
  s.currentModel = 1;
  return s;
}

void MergeUp(mw::CMeshwright& s) { s.MergeCurrentModelUp(); }

void BM_MergeEdit(benchmark::State& state) { TimeEdit(state, TwoHalves(), MergeUp); }
void BM_MergeStep(benchmark::State& state) { TimeStep(state, TwoHalves(), mw::EditKind::kModelMergeUp, MergeUp); }
void BM_MergeUndoRedo(benchmark::State& state) {
  TimeUndoRedo(state, TwoHalves(), mw::EditKind::kModelMergeUp, MergeUp);
}

// The size of the step itself, on the 1M grid and the 4M one (side 2001): what the history keeps
// for deleting the left half, per vertex removed, and for merging two halves, per vertex merged.
mw::CMeshwright HalfSelectedGrid(int side) {
  mw::CMeshwright s = mw::bench::GridScene(side);
  s.ComputeNormals();
  for (mw::CVertex& v : s.models[0].vertices) v.selected = v.position.x < side / 2 ? 1 : 0;
  s.models[0].UpdateFaceSelection();
  return s;
}

void BM_DeleteHalfStepBytes(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  std::size_t bytes = 0, removed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    mw::CMeshwright s = HalfSelectedGrid(side);
    const std::size_t before = s.models[0].vertices.size();
    state.ResumeTiming();
    mw::SceneDelta d = mw::SceneDelta::Capture(mw::EditKind::kDelete, s);
    s.DeleteSelection();
    d.Finish(s);
    bytes = d.Bytes();
    removed = before - s.models[0].vertices.size();
    state.PauseTiming();
    s = mw::CMeshwright();
    d = mw::SceneDelta();
    state.ResumeTiming();
  }
  state.counters["step_MB"] = static_cast<double>(bytes) / 1048576.0;
  state.counters["bytes_per_removed_vertex"] = static_cast<double>(bytes) / static_cast<double>(removed);
}

void BM_MergeStepBytes(benchmark::State& state) {
  const mw::CMeshwright start = TwoHalves();
  std::size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    mw::CMeshwright s = start;
    state.ResumeTiming();
    mw::SceneDelta d = mw::SceneDelta::Capture(mw::EditKind::kModelMergeUp, s);
    s.MergeCurrentModelUp();
    d.Finish(s);
    bytes = d.Bytes();
    state.PauseTiming();
    s = mw::CMeshwright();
    d = mw::SceneDelta();
    state.ResumeTiming();
  }
  state.counters["step_bytes"] = static_cast<double>(bytes);
}

// What the interface waits for when an autosave starts: copying the scene.
void BM_AutosaveSnapshot(benchmark::State& state) {
  const mw::CMeshwright& s = Grid();
  for (auto _ : state) {
    mw::CMeshwright copy = s;
    benchmark::DoNotOptimize(copy.models.data());
  }
}

// What the worker then does with the copy (without the disk).
void BM_AutosaveWrite(benchmark::State& state) {
  const mw::CMeshwright& s = Grid();
  std::vector<std::uint8_t> out;
  for (auto _ : state) {
    out.clear();
    mw::WriteScene(s, out);
    benchmark::DoNotOptimize(out.data());
  }
}

// A script that moves every vertex (through NumPy, in place): the step keeps the whole document,
// since a script may change anything, and the normals are recomputed after it.
void MoveEveryVertex(mw::CMeshwright& s) {
  for (mw::CModel& m : s.models)
    for (mw::CVertex& v : m.vertices) v.position.y += 1.0f;
  s.ComputeNormals();
}
void BM_ScriptStep(benchmark::State& state) { TimeStep(state, Grid(), mw::EditKind::kScript, MoveEveryVertex); }

BENCHMARK(BM_MoveEdit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveUndoRedo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteHalfEdit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteHalfStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteHalfUndoRedo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeEdit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeUndoRedo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteHalfStepBytes)->Arg(1001)->Arg(2001)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_MergeStepBytes)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_AutosaveSnapshot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutosaveWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptStep)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
