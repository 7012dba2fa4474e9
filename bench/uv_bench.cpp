// Unwrapping about 100k triangles (a sphere of 250 x 200 quadrilaterals cut at its equator and one
// meridian into two islands, solved and packed) and packing 1000 islands of small grids.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "scene/meshwright.h"
#include "scene/primitives.h"
#include "scene/uv_ops.h"

namespace {

std::vector<std::int32_t> AllFaces(const mw::CModel& m) {
  std::vector<std::int32_t> out(m.faces.size());
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::int32_t>(i);
  return out;
}

const mw::CModel& CutSphere() {
  static const mw::CModel model = [] {
    mw::PrimitiveParams ball;
    ball.kind = mw::PrimitiveKind::kSphere;
    ball.segments = 250;
    ball.rings = 200;
    mw::CModel m = mw::BuildPrimitive(ball, mw::CVector(0, 0, 0), 0);
    mw::CVector first;
    for (const mw::CVertex& v : m.vertices)
      if (std::hypot(v.position.x, v.position.z) > 1e-3) {
        first = v.position;
        break;
      }
    const double meridian = std::atan2(first.z, first.x);
    const auto onMeridian = [&](const mw::CVector& p) {
      return std::hypot(p.x, p.z) < 1e-4 || std::abs(std::atan2(p.z, p.x) - meridian) < 1e-6;
    };
    for (const mw::CFace& f : m.faces)
      for (std::size_t k = 0; k < f.indices.size(); ++k) {
        const std::int32_t a = f.indices[k], b = f.indices[(k + 1) % f.indices.size()];
        const mw::CVector &p = m.vertices[static_cast<std::size_t>(a)].position,
                          &q = m.vertices[static_cast<std::size_t>(b)].position;
        if ((std::abs(p.y) < 1e-4 && std::abs(q.y) < 1e-4) || (onMeridian(p) && onMeridian(q))) mw::SetSeam(m, a, b, true);
      }
    return m;
  }();
  return model;
}

void BM_Unwrap100kTriangles(benchmark::State& state) {
  const mw::CModel& source = CutSphere();
  const std::vector<std::int32_t> faces = AllFaces(source);
  std::size_t triangles = 0;
  for (const mw::CFace& f : source.faces) triangles += f.indices.size() - 2;
  std::size_t islands = 0;
  for (auto _ : state) {
    state.PauseTiming();
    mw::CModel m = source;
    state.ResumeTiming();
    islands = mw::UnwrapUVs(m, faces);
    benchmark::DoNotOptimize(m.faces.data());
  }
  state.counters["triangles"] = static_cast<double>(triangles);
  state.counters["islands"] = static_cast<double>(islands);
}
BENCHMARK(BM_Unwrap100kTriangles)->Unit(benchmark::kMillisecond);

void BM_Pack1000Islands(benchmark::State& state) {
  mw::CModel m;
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int island = 0; island < 1000; ++island) {
    // A 3 x 3 grid of quadrilaterals with UVs of its own shape, turned and moved anyhow.
    const auto base = static_cast<std::int32_t>(m.vertices.size());
    const float sx = 0.2f + unit(rng) * 3, sz = 0.2f + unit(rng) * 3, turn = unit(rng) * 6.3f;
    const float ox = unit(rng) * 100, oz = unit(rng) * 100;
    for (int z = 0; z < 4; ++z)
      for (int x = 0; x < 4; ++x) m.vertices.emplace_back(ox + x * sx, 0.0f, oz + z * sz);
    for (int z = 0; z < 3; ++z)
      for (int x = 0; x < 3; ++x) {
        mw::CFace f;
        const std::int32_t i = base + z * 4 + x;
        f.indices = {i, i + 4, i + 5, i + 1};
        for (std::int32_t v : f.indices) {
          const mw::CVector& p = m.vertices[static_cast<std::size_t>(v)].position;
          f.uvs.push_back(mw::CUV((p.z - oz) * std::cos(turn) - (p.x - ox) * std::sin(turn),
                                  (p.z - oz) * std::sin(turn) + (p.x - ox) * std::cos(turn)));
        }
        m.faces.push_back(f);
      }
  }
  m.RebuildFaceRefs();
  const std::vector<std::int32_t> faces = AllFaces(m);
  std::size_t islands = 0;
  for (auto _ : state) {
    islands = mw::PackUVIslands(m, faces);
    benchmark::DoNotOptimize(m.faces.data());
  }
  state.counters["islands"] = static_cast<double>(islands);
}
BENCHMARK(BM_Pack1000Islands)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
