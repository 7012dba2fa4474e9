// One perspective frame (the immediate-mode reference and the pane's buffers) and one
// orthographic pane (800 x 600) of a grid model of 100,000, 1,000,000 and 4,000,000
// quadrilaterals, the frame of the same areas in concave hexagons, and a select drag, on
// whatever OpenGL the display offers (software here). Run under a display:
// xvfb-run -a build/release/bin/bench_render
#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QPainter>
#include <memory>

#include "bench/bench_scene.h"
#include "render/gl_frame.h"
#include "render/ortho_painter.h"
#include "render/frame_arrays.h"
#include "render/surface_format.h"
#include "view/pane_input.h"

namespace {

mw::CMeshwright& SceneOf(int side) {
  static mw::CMeshwright small = [] {
    mw::CMeshwright s = mw::bench::GridScene(317);  // 99,856 quadrilaterals
    s.ComputeNormals();
    return s;
  }();
  static mw::CMeshwright large = [] {
    mw::CMeshwright s = mw::bench::GridScene(1001);
    s.ComputeNormals();
    return s;
  }();
  if (side == 2001) {
    static mw::CMeshwright huge = [] {
      mw::CMeshwright s = mw::bench::GridScene(2001);
      s.ComputeNormals();
      return s;
    }();
    return huge;
  }
  return side == 1001 ? large : small;
}

mw::CMeshwright& HexagonSceneOf(int side) {
  static mw::CMeshwright small = [] {
    mw::CMeshwright s = mw::bench::GridScene(317);
    s.models[0] = mw::bench::HexagonGridModel(317);  // 49,928 hexagons over the same area
    s.ComputeNormals();
    return s;
  }();
  static mw::CMeshwright large = [] {
    mw::CMeshwright s = mw::bench::GridScene(1001);
    s.models[0] = mw::bench::HexagonGridModel(1001);
    s.ComputeNormals();
    return s;
  }();
  return side == 1001 ? large : small;
}

// The grid lies in the XZ plane, 316 or 1000 units wide: zoom so it fills the views.
void Frame(mw::CMeshwright& s, int side) { s.zoom = side == 2001 ? 10.0f : side == 1001 ? 20.0f : 60.0f; }

// range(1): 0 quadrilaterals, 1 the same area in hexagons (their triangles kept from the first
// frame on, as in the program). range(2): 0 the immediate-mode reference, 1 the pane's buffer
// renderer (its first frame, which lays the arrays out, is left out of the timing).
void BM_PerspectiveFrame(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const bool hexagons = state.range(1) != 0;
  const bool buffered = state.range(2) != 0;
  QOffscreenSurface surface;
  surface.setFormat(QSurfaceFormat::defaultFormat());
  surface.create();
  QOpenGLContext context;
  context.setFormat(QSurfaceFormat::defaultFormat());
  if (!context.create() || !context.makeCurrent(&surface)) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  QOpenGLFramebufferObjectFormat format;
  format.setAttachment(QOpenGLFramebufferObject::Depth);
  QOpenGLFramebufferObject fbo(800, 600, format);
  fbo.bind();
  mw::SetupGlState();
  mw::CMeshwright& s = hexagons ? HexagonSceneOf(side) : SceneOf(side);
  Frame(s, side);
  s.camera.translation = mw::CVector(-150.0f * (side == 317 ? 0.3f : 1.0f), 0, -2000);
  mw::SetViewport(s, 800, 600, 800, 600);
  std::vector<mw::PolygonTriangleCache> caches;
  mw::PerspectiveRenderer renderer;
  auto frame = [&] {
    if (buffered) {
      renderer.DrawFrame(s, nullptr);
    } else {
      mw::DrawPerspectiveFrame(s, nullptr, &caches);
    }
    glFinish();
  };
  frame();
  for (auto _ : state) frame();
  state.counters[hexagons ? "hexagons" : "quads"] = static_cast<double>(s.models[0].faces.size());
  renderer.Release();
}

// Splitting every hexagon of the grid once, as the first frame after opening a document does.
void BM_SplitHexagons(benchmark::State& state) {
  const mw::CModel& m = HexagonSceneOf(static_cast<int>(state.range(0))).models[0];
  for (auto _ : state) {
    mw::PolygonTriangleCache cache;
    std::size_t triangles = 0;
    for (std::size_t f = 0; f < m.faces.size(); ++f) triangles += cache.Triangles(m, f).size();
    benchmark::DoNotOptimize(triangles);
  }
  state.counters["hexagons"] = static_cast<double>(m.faces.size());
}

void BM_OrthoPane(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  mw::CMeshwright& s = SceneOf(side);
  Frame(s, side);
  QImage image(800, 600, QImage::Format_RGB32);
  for (auto _ : state) {
    image.fill(Qt::white);
    mw::DrawOrthoPane(image, s, mw::kPlaneTop, mw::PanOffsets{-400, 0, -300}, mw::OrthoOverlay());
  }
  state.counters["quads"] = static_cast<double>(s.models[0].faces.size());
}

// A select drag in the Top pane (400 x 300) over the middle of the grid: 30 pointer motions, each
// handled as the window handles it today, with the selection run over the rectangle and the three
// orthographic panes and the perspective frame (the pane's buffers) painted again.
// range(1): 1 paints the orthographic panes only, the least a rubber band needs.
void BM_SelectDrag(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const bool orthoOnly = state.range(1) != 0;
  QOffscreenSurface surface;
  surface.setFormat(QSurfaceFormat::defaultFormat());
  surface.create();
  QOpenGLContext context;
  context.setFormat(QSurfaceFormat::defaultFormat());
  if (!context.create() || !context.makeCurrent(&surface)) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  QOpenGLFramebufferObjectFormat format;
  format.setAttachment(QOpenGLFramebufferObject::Depth);
  QOpenGLFramebufferObject fbo(400, 300, format);
  fbo.bind();
  mw::SetupGlState();
  mw::CMeshwright& s = SceneOf(side);
  Frame(s, side);
  s.editMode = mw::kModeSelect;
  mw::SetViewport(s, 400, 300, 400, 300);
  mw::PerspectiveRenderer renderer;
  renderer.DrawFrame(s, nullptr);
  mw::PanOffsets pan{-200, 0, -150};
  mw::PaneInput input(s, pan, mw::PaneRole::kTop);
  QImage panes[3] = {QImage(400, 300, QImage::Format_RGB32), QImage(400, 300, QImage::Format_RGB32),
                     QImage(400, 300, QImage::Format_RGB32)};
  const QSize size(400, 300);
  for (auto _ : state) {
    input.ButtonDown(mw::MouseButton::kLeft, QPoint(150, 100), size);
    for (int step = 1; step <= 30; ++step) {
      const mw::PaneResult r = input.Move(QPoint(150 + 3 * step, 100 + 2 * step), size);
      if (!r.refresh3D) continue;
      const mw::Plane planes[3] = {mw::kPlaneTop, mw::kPlaneFace, mw::kPlaneLeft};
      for (int i = 0; i < 3; ++i) {
        panes[i].fill(Qt::white);
        mw::OrthoOverlay overlay = i == 0 ? input.Overlay() : mw::OrthoOverlay();
        overlay.edgesVisible = false;  // a button is held
        mw::DrawOrthoPane(panes[i], s, planes[i], pan, overlay);
      }
      if (!orthoOnly) {
        renderer.DrawFrame(s, nullptr);
        glFinish();
      }
    }
    input.ButtonUp(mw::MouseButton::kLeft, QPoint(240, 160), size);
  }
  state.counters["quads"] = static_cast<double>(s.models[0].faces.size());
  renderer.Release();
}

BENCHMARK(BM_PerspectiveFrame)
    ->ArgsProduct({{317, 1001}, {0, 1}, {0, 1}})
    ->Args({2001, 0, 0})
    ->Args({2001, 0, 1})
    ->ArgNames({"side", "hexagons", "buffered"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SplitHexagons)->Arg(317)->Arg(1001)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrthoPane)->Arg(317)->Arg(1001)->Arg(2001)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SelectDrag)
    ->ArgsProduct({{317, 1001, 2001}, {0, 1}})
    ->ArgNames({"side", "orthoOnly"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  mw::SetDefaultSurfaceFormat();
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
