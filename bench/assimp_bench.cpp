// Importing a grid of about a million vertices and a million quadrilaterals through Assimp, as a
// Wavefront OBJ and as a binary PLY, beside the Metasequoia reader on the same mesh and
// tinyobjloader on the same OBJ. The Assimp stages are timed apart as well (reading alone, reading
// with the vertex join the import once asked for) to show where an import's time goes, and the
// import as the program runs it: in the helper process, the scene handed back as a .mwr file.
//
// Peak memory is the process's (getrusage; for the helper, its children's): run one benchmark per
// process to read it, e.g.
//   bench_assimp --benchmark_filter=BM_AssimpObj/
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <tiny_obj_loader.h>
#include <unistd.h>
#include <assimp/Importer.hpp>

#include <cstdint>
#include <cstdio>
#include <string>

#include "bench/bench_scene.h"
#include "bench/grid_files.h"
#include "io/assimp_child.h"
#include "io/assimp_io.h"
#include "io/loader_mqo.h"

namespace {

using mw::bench::TempPath;
const mw::CMeshwright& Scene() { return mw::bench::GridDocument(); }
const std::string& MqoPath() { return mw::bench::GridMqoPath(); }
const std::string& ObjPath() { return mw::bench::GridObjPath(); }

// Binary little-endian PLY of the same positions and quads (no UVs: PLY keeps them per vertex).
const std::string& PlyPath() {
  static const std::string path = [] {
    std::string p = TempPath("grid.ply");
    std::FILE* f = std::fopen(p.c_str(), "wb");
    const mw::CModel& m = Scene().models[0];
    std::fprintf(f,
                 "ply\nformat binary_little_endian 1.0\nelement vertex %zu\nproperty float x\nproperty float y\n"
                 "property float z\nelement face %zu\nproperty list uchar int vertex_indices\nend_header\n",
                 m.vertices.size(), m.faces.size());
    for (const mw::CVertex& v : m.vertices) std::fwrite(&v.position, sizeof(float), 3, f);
    for (const mw::CFace& face : m.faces) {
      const std::uint8_t n = 4;
      std::fwrite(&n, 1, 1, f);
      const std::int32_t idx[4] = {face.indices[0], face.indices[1], face.indices[2], face.indices[3]};
      std::fwrite(idx, sizeof idx, 1, f);
    }
    std::fclose(f);
    return p;
  }();
  return path;
}

void PeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void Import(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    mw::CMeshwright s;
    s.ResetScene();
    if (!mw::ImportAssimp(s, path).ok()) state.SkipWithError("import failed");
    benchmark::DoNotOptimize(s.models.back().faces.size());
  }
  PeakMemory(state);
}

void BM_AssimpObj(benchmark::State& state) { Import(state, ObjPath()); }
void BM_AssimpPlyBinary(benchmark::State& state) { Import(state, PlyPath()); }

// The helper reads, writes the .mwr; this process reads that and appends. Peak memory: the
// helper's (the largest child's) and this process's own.
void ImportInChild(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    mw::CMeshwright s;
    s.ResetScene();
    if (!mw::ImportAssimpInChild(s, path).ok()) state.SkipWithError("import failed");
    benchmark::DoNotOptimize(s.models.back().faces.size());
  }
  PeakMemory(state);
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  state.counters["helper_peak_MB"] = static_cast<double>(children.ru_maxrss) / 1024.0;
}
void BM_AssimpObjInChild(benchmark::State& state) { ImportInChild(state, ObjPath()); }
void BM_AssimpPlyBinaryInChild(benchmark::State& state) { ImportInChild(state, PlyPath()); }

// Assimp's own part: its reader with validation, then with the vertex join our import asks for.
void AssimpOnly(benchmark::State& state, const std::string& path, unsigned steps) {
  for (auto _ : state) {
    Assimp::Importer importer;
    const aiScene* s = importer.ReadFile(path, steps);
    if (!s) state.SkipWithError("assimp failed");
    benchmark::DoNotOptimize(s);
  }
  PeakMemory(state);
}
void BM_AssimpObjReadOnly(benchmark::State& state) { AssimpOnly(state, ObjPath(), aiProcess_ValidateDataStructure); }
void BM_AssimpObjReadAndJoin(benchmark::State& state) {
  AssimpOnly(state, ObjPath(), aiProcess_ValidateDataStructure | aiProcess_JoinIdenticalVertices);
}
void BM_AssimpPlyReadAndJoin(benchmark::State& state) {
  AssimpOnly(state, PlyPath(), aiProcess_ValidateDataStructure | aiProcess_JoinIdenticalVertices);
}

void BM_ImportMqo(benchmark::State& state) {
  for (auto _ : state) {
    mw::CMeshwright s;
    s.ResetScene();
    if (!mw::ImportMetasequoia(s, MqoPath())) state.SkipWithError("import failed");
    benchmark::DoNotOptimize(s.models.back().faces.size());
  }
  PeakMemory(state);
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
  PeakMemory(state);
}

BENCHMARK(BM_AssimpObj)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_AssimpPlyBinary)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_AssimpObjInChild)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_AssimpPlyBinaryInChild)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_AssimpObjReadOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_AssimpObjReadAndJoin)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_AssimpPlyReadAndJoin)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ImportMqo)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_TinyObjLoader)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // Make the files before anything is timed.
  MqoPath();
  ObjPath();
  PlyPath();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::remove(MqoPath().c_str());
  std::remove(ObjPath().c_str());
  std::remove(PlyPath().c_str());
  return 0;
}
