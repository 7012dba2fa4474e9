// Importing and exporting a Metasequoia document of about a million vertices and a million
// textured quadrilaterals, beside tinyobjloader loading the same mesh as a Wavefront OBJ; and a
// version 1.1 document of a million faces mixing hexagons and quadrilaterals beside the same
// geometry written as version 1.0 (each hexagon as two quadrilaterals).
#include <benchmark/benchmark.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_scene.h"
#include "bench/grid_files.h"
#include "io/fixed_format.h"
#include "io/loader_mqo.h"

namespace {

using mw::bench::TempPath;
const mw::CMeshwright& Scene() { return mw::bench::GridDocument(); }
const std::string& MqoPath() { return mw::bench::GridMqoPath(); }
const std::string& ObjPath() { return mw::bench::GridObjPath(); }

// Rows of cells; in each row a hexagon over two cells, then a quadrilateral, and again: a
// thousand rows of a thousand faces. With `split`, each hexagon becomes two quadrilaterals.
mw::CMeshwright HexagonScene(bool split) {
  constexpr int kRows = 1000, kCells = 1500, kRowLength = kCells + 1;
  mw::CMeshwright s;
  s.ResetScene();
  s.materials.emplace_back(0);
  mw::CModel& m = s.models[0];
  for (int z = 0; z <= kRows; ++z)
    for (int x = 0; x < kRowLength; ++x)
      m.vertices.emplace_back(static_cast<float>(x), 0.0f, static_cast<float>(z) * 1.25f);
  for (int z = 0; z < kRows; ++z)
    for (int x = 0; x + 3 <= kCells; x += 3) {
      const int i = z * kRowLength + x;
      mw::CFace hex;
      hex.indices = {i, i + 1, i + 2, i + 2 + kRowLength, i + 1 + kRowLength, i + kRowLength};
      hex.uvs = {mw::CUV(0, 0), mw::CUV(0.5f, 0), mw::CUV(1, 0), mw::CUV(1, 1), mw::CUV(0.5f, 1), mw::CUV(0, 1)};
      if (split) {
        mw::CFace a, b;
        a.indices = {i, i + 1, i + 1 + kRowLength, i + kRowLength};
        a.uvs = {mw::CUV(0, 0), mw::CUV(0.5f, 0), mw::CUV(0.5f, 1), mw::CUV(0, 1)};
        b.indices = {i + 1, i + 2, i + 2 + kRowLength, i + 1 + kRowLength};
        b.uvs = {mw::CUV(0.5f, 0), mw::CUV(1, 0), mw::CUV(1, 1), mw::CUV(0.5f, 1)};
        m.faces.push_back(a);
        m.faces.push_back(b);
      } else {
        m.faces.push_back(hex);
      }
      mw::CFace quad;
      quad.indices = {i + 2, i + 3, i + 3 + kRowLength, i + 2 + kRowLength};
      quad.uvs = {mw::CUV(0, 0), mw::CUV(1, 0), mw::CUV(1, 1), mw::CUV(0, 1)};
      m.faces.push_back(quad);
    }
  return s;
}

const std::string& HexagonPath(bool split) {
  static const std::string paths[2] = {[] {
                                         std::string p = TempPath("hexagons-1.1.mqo");
                                         mw::ExportMetasequoia(HexagonScene(false), p);
                                         return p;
                                       }(),
                                       [] {
                                         std::string p = TempPath("hexagons-1.0.mqo");
                                         mw::ExportMetasequoia(HexagonScene(true), p);
                                         return p;
                                       }()};
  return paths[split ? 1 : 0];
}

long FileSize(const std::string& p) {
  std::ifstream in(p, std::ios::binary | std::ios::ate);
  return static_cast<long>(in.tellg());
}

void BM_ImportMqo(benchmark::State& state) {
  for (auto _ : state) {
    mw::CMeshwright s;
    s.ResetScene();
    if (!mw::ImportMetasequoia(s, MqoPath())) state.SkipWithError("import failed");
    benchmark::DoNotOptimize(s.models.back().faces.size());
  }
  state.SetBytesProcessed(state.iterations() * FileSize(MqoPath()));
}

// Arg 0: version 1.1 with hexagons; arg 1: version 1.0 with the hexagons split.
void BM_ImportHexagons(benchmark::State& state) {
  const std::string& path = HexagonPath(state.range(0) != 0);
  for (auto _ : state) {
    mw::CMeshwright s;
    s.ResetScene();
    if (!mw::ImportMetasequoia(s, path)) state.SkipWithError("import failed");
    benchmark::DoNotOptimize(s.models.back().faces.size());
  }
  state.SetBytesProcessed(state.iterations() * FileSize(path));
}

void BM_TinyObjLoader(benchmark::State& state) {
  for (auto _ : state) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, ObjPath().c_str(), nullptr, false))
      state.SkipWithError("tinyobjloader failed");
    benchmark::DoNotOptimize(attrib.vertices.size());
  }
  state.SetBytesProcessed(state.iterations() * FileSize(ObjPath()));
}

void BM_ExportMqo(benchmark::State& state) {
  const std::string out = TempPath("out.mqo");
  for (auto _ : state)
    if (!mw::ExportMetasequoia(Scene(), out)) state.SkipWithError("export failed");
  state.SetBytesProcessed(state.iterations() * FileSize(out));
  std::remove(out.c_str());
}

// The exporter's number formatting alone: a million coordinates, exact fast path against the
// standard library's fixed formatting (both give printf's "%f").
const std::vector<float>& Coordinates() {
  static const std::vector<float> values = [] {
    std::vector<float> v;
    for (const mw::CVertex& x : Scene().models[0].vertices) v.push_back(x.position.x * 1.37f - 0.0123f * x.position.z);
    return v;
  }();
  return values;
}

void BM_FormatFixed6(benchmark::State& state) {
  char buf[mw::kFixedFloatChars];
  for (auto _ : state) {
    std::size_t n = 0;
    for (float f : Coordinates()) n += static_cast<std::size_t>(mw::FormatFixed6(f, buf) - buf);
    benchmark::DoNotOptimize(n);
  }
}

void BM_ToCharsFixed6(benchmark::State& state) {
  char buf[64];
  for (auto _ : state) {
    std::size_t n = 0;
    for (float f : Coordinates())
      n += static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, static_cast<double>(f), std::chars_format::fixed, 6).ptr - buf);
    benchmark::DoNotOptimize(n);
  }
}

BENCHMARK(BM_FormatFixed6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToCharsFixed6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportMqo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportHexagons)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TinyObjLoader)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportMqo)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // Make both files before anything is timed.
  MqoPath();
  ObjPath();
  HexagonPath(false);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::remove(MqoPath().c_str());
  std::remove(ObjPath().c_str());
  std::remove(HexagonPath(false).c_str());
  std::remove(HexagonPath(true).c_str());
  return 0;
}
