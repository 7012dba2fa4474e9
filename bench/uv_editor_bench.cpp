// The UV window's frame: 100k shown faces painted into a window-sized picture, as a drag of the
// whole selection redraws it at every motion (the move applied, then the paint), with and without
// the stretch colours; and building the layout, done once when the selection or the scene changes.
#include <benchmark/benchmark.h>

#include <QImage>

#include "bench/bench_scene.h"
#include "render/uv_painter.h"
#include "scene/uv_edit.h"

namespace mw {
namespace {

// side x side vertices, (side - 1)^2 quads whose UVs follow the lattice over 0..1, all selected.
CMeshwright UVGridScene(int side) {
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  CModel m = bench::GridModel(side);
  for (CFace& f : m.faces) {
    for (std::size_t k = 0; k < f.indices.size(); ++k) {
      const CVector& p = m.vertices[static_cast<std::size_t>(f.indices[k])].position;
      f.uvs[k] = CUV(p.x / static_cast<float>(side - 1), p.z / static_cast<float>(side - 1));
    }
    f.allSelected = 1;
  }
  for (CVertex& v : m.vertices) v.selected = 1;
  s.models.push_back(std::move(m));
  return s;
}

constexpr int kSide = 318;  // 100,489 faces

void BM_UVLayoutBuild(benchmark::State& state) {
  const CMeshwright s = UVGridScene(kSide);
  for (auto _ : state) benchmark::DoNotOptimize(UVLayout::Build(s));
  state.counters["faces"] = static_cast<double>(s.models[0].faces.size());
}
BENCHMARK(BM_UVLayoutBuild)->Unit(benchmark::kMillisecond);

// One motion of a drag of every UV vertex: the move into layout and scene, then the frame.
void BM_UVDragFrame(benchmark::State& state) {
  CMeshwright s = UVGridScene(kSide);
  UVLayout l = UVLayout::Build(s);
  const std::vector<std::uint8_t> selected(l.GroupCount(), state.range(0) ? 1 : 0);
  const std::vector<UVPoint> from = SelectedPositions(l, selected);
  std::vector<QRgb> colours;
  if (state.range(1)) colours.assign(l.faces.size(), StretchColour(0.3));
  QImage image(800, 800, QImage::Format_RGB32);
  UVViewport view = UVViewport::Fit(image.size());
  UVPaintInput in;
  in.layout = &l;
  in.selected = selected;
  in.faceColours = colours;
  int step = 0;
  for (auto _ : state) {
    TransformSelected(s, l, selected, from, UVAffine::Translate(0.001 * (++step % 50), 0.0));
    PaintUVView(image, view, in);
    benchmark::ClobberMemory();
  }
  state.counters["faces"] = static_cast<double>(l.faces.size());
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
// Arguments: everything selected (0/1), the stretch colours shown (0/1).
BENCHMARK(BM_UVDragFrame)->Args({1, 0})->Args({0, 0})->Args({1, 1})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mw

BENCHMARK_MAIN();
