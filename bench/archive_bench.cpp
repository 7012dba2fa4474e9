// Writing and reading a .mwr of about a million vertices and a million quadrilaterals, beside a
// plain fwrite/fread of the same number of bytes as the floor, and a read like `cat` (small
// reused buffer) as the figure the document read is held to.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_scene.h"
#include "scene/archive.h"

namespace {

// range(0): the grid's side, 1001 (1,002,001 vertices, 1,000,000 quadrilaterals) or 2001 (4M).
const mw::CMeshwright& Scene(int side) {
  static const mw::CMeshwright scene = mw::bench::GridScene(1001);
  if (side == 1001) return scene;
  static const mw::CMeshwright large = mw::bench::GridScene(2001);
  return large;
}

std::string TempPath(const char* name) { return "/tmp/mw-bench-" + std::to_string(getpid()) + "-" + name; }

// The size of the grid's .mwr.
std::size_t FileBytes(int side) {
  std::size_t n = 0;
  mw::WriteScene(Scene(side), [&n](const void*, std::size_t bytes) {
    n += bytes;
    return true;
  });
  return n;
}

void BM_WriteScene(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const std::string path = TempPath("w.mwr");
  for (auto _ : state) {
    mw::ArchiveResult r = mw::SaveSceneFile(Scene(side), path);
    if (!r.ok()) state.SkipWithError(r.detail.c_str());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileBytes(side)));
  std::remove(path.c_str());
}

void BM_ReadScene(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const std::string path = TempPath("r.mwr");
  mw::SaveSceneFile(Scene(side), path);
  for (auto _ : state) {
    auto s = std::make_unique<mw::CMeshwright>();
    s->ResetScene();
    mw::ArchiveResult r = mw::OpenSceneFile(*s, path);
    if (!r.ok()) state.SkipWithError(r.detail.c_str());
    benchmark::DoNotOptimize(s->models[0].vertices.data());
    // Opening ends with the scene in memory; letting go of it is no part of the read.
    state.PauseTiming();
    s.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileBytes(side)));
  std::remove(path.c_str());
}

// The floor: the same number of bytes through stdio, with an fsync like the atomic save.
void BM_PlainWrite(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const std::string path = TempPath("pw.bin");
  std::vector<char> data(FileBytes(side), 1);
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fflush(f);
    fsync(fileno(f));
    std::fclose(f);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
  std::remove(path.c_str());
}

void BM_PlainRead(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const std::string path = TempPath("pr.bin");
  {
    std::vector<char> data(FileBytes(side), 1);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  }
  const std::size_t bytes = FileBytes(side);
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::vector<char> data(bytes);
    benchmark::DoNotOptimize(std::fread(data.data(), 1, data.size(), f));
    std::fclose(f);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileBytes(side)));
  std::remove(path.c_str());
}

// What `cat` does: the same bytes through a small reused buffer, nothing kept. Reading the
// document should cost a small multiple of this.
void BM_CatRead(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const std::string path = TempPath("cr.bin");
  {
    std::vector<char> data(FileBytes(side), 1);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  }
  std::vector<char> buffer(128 * 1024);
  for (auto _ : state) {
    const int fd = open(path.c_str(), O_RDONLY);
    std::size_t total = 0;
    for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;) total += static_cast<std::size_t>(n);
    close(fd);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileBytes(side)));
  std::remove(path.c_str());
}

BENCHMARK(BM_WriteScene)->Arg(1001)->Arg(2001)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainWrite)->Arg(1001)->Arg(2001)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadScene)->Arg(1001)->Arg(2001)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainRead)->Arg(1001)->Arg(2001)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CatRead)->Arg(1001)->Arg(2001)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
