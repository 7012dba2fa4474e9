// Importing and exporting a Metasequoia document of about a million vertices and a million
// textured quadrilaterals, beside tinyobjloader loading the same mesh as a Wavefront OBJ.
#include <benchmark/benchmark.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "bench/bench_scene.h"
#include "io/loader_mqo.h"

namespace {

constexpr int kSide = 1001;

std::string TempPath(const char* name) { return "/tmp/mw-bench-" + std::to_string(getpid()) + "-" + name; }

const mw::CMeshwright& Scene() {
  static const mw::CMeshwright scene = mw::bench::GridScene(kSide);
  return scene;
}

const std::string& MqoPath() {
  static const std::string path = [] {
    std::string p = TempPath("grid.mqo");
    mw::ExportMetasequoia(Scene(), p);
    return p;
  }();
  return path;
}

const std::string& ObjPath() {
  static const std::string path = [] {
    std::string p = TempPath("grid.obj");
    std::FILE* f = std::fopen(p.c_str(), "wb");
    for (const mw::CVertex& v : Scene().models[0].vertices)
      std::fprintf(f, "v %f %f %f\n", v.position.x, v.position.y, v.position.z);
    std::fputs("vt 0.000000 0.000000\nvt 0.000000 1.000000\nvt 1.000000 1.000000\nvt 1.000000 0.000000\n", f);
    for (const mw::CFace& face : Scene().models[0].faces)
      std::fprintf(f, "f %d/1 %d/2 %d/3 %d/4\n", face.indices[0] + 1, face.indices[1] + 1, face.indices[2] + 1,
                   face.indices[3] + 1);
    std::fclose(f);
    return p;
  }();
  return path;
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

BENCHMARK(BM_ImportMqo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TinyObjLoader)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportMqo)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // Make both files before anything is timed.
  MqoPath();
  ObjPath();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::remove(MqoPath().c_str());
  std::remove(ObjPath().c_str());
  return 0;
}
