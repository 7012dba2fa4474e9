// One perspective frame (the immediate-mode reference and the pane's buffers) and one
// orthographic pane (800 x 600, with and without the shared projection) of a grid model of 100,000, 1,000,000 and 4,000,000
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

#include <sys/resource.h>

#include "bench/bench_scene.h"
#include "render/gl_frame.h"
#include "render/ortho_painter.h"
#include "render/frame_arrays.h"
#include "render/surface_format.h"
#include "scene/stand_in.h"
#include "view/pane_input.h"

namespace {

// Page faults of the whole process so far: a frame that allocates and frees large blocks pays
// for fresh zeroed pages every time.
long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

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

// A current context drawing into a framebuffer of the given size with a depth buffer, set up as
// the perspective pane sets its own up.
class GlTarget {
 public:
  GlTarget(int width, int height) {
    surface_.setFormat(QSurfaceFormat::defaultFormat());
    surface_.create();
    context_.setFormat(QSurfaceFormat::defaultFormat());
    if (!context_.create() || !context_.makeCurrent(&surface_)) return;
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::Depth);
    fbo_ = std::make_unique<QOpenGLFramebufferObject>(width, height, format);
    fbo_->bind();
    mw::SetupGlState();
  }
  bool ok() const { return fbo_ != nullptr; }
  QImage Image() const { return fbo_->toImage(); }

 private:
  QOffscreenSurface surface_;
  QOpenGLContext context_;
  std::unique_ptr<QOpenGLFramebufferObject> fbo_;
};

// The grid lies in the XZ plane, 316 or 1000 units wide: zoom so it fills the views.
void Frame(mw::CMeshwright& s, int side) { s.zoom = side == 2001 ? 10.0f : side == 1001 ? 20.0f : 60.0f; }

// range(1): 0 quadrilaterals, 1 the same area in hexagons (their triangles kept from the first
// frame on, as in the program). range(2): 0 the immediate-mode reference, 1 the pane's buffer
// renderer (its first frame, which lays the arrays out, is left out of the timing), 2 the same
// during a rotate drag: the camera turns a degree a frame and the models are not gone over.
// 3 is not a frame the program draws but its floor: the turning frame with both sides of every
// face culled, so that OpenGL transforms and lights every corner and assembles every triangle but
// sets up and rasterises none. No arrangement of the same primitives costs less than that.
void BM_PerspectiveFrame(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const bool hexagons = state.range(1) != 0;
  const bool buffered = state.range(2) != 0;
  const bool turning = state.range(2) >= 2;
  const bool culled = state.range(2) == 3;
  GlTarget target(800, 600);
  if (!target.ok()) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  mw::CMeshwright& s = hexagons ? HexagonSceneOf(side) : SceneOf(side);
  Frame(s, side);
  s.camera.translation = mw::CVector(-150.0f * (side == 317 ? 0.3f : 1.0f), 0, -2000);
  // From below: the grid's faces turn their front (which is culled) upward, and a frame of culled
  // faces would measure the vertices alone.
  const mw::CVector rotation = s.camera.rotation;
  s.camera.rotation = mw::CVector(-20.0f, 10.0f, 0.0f);
  mw::SetViewport(s, 800, 600, 800, 600);
  std::vector<mw::PolygonTriangleCache> caches;
  mw::PerspectiveRenderer renderer;
  auto frame = [&] {
    if (turning) {
      s.camera.rotation.y += 1.0f;
      renderer.DrawFrame(s, nullptr, false);
    } else if (buffered) {
      renderer.DrawFrame(s, nullptr);
    } else {
      mw::DrawPerspectiveFrame(s, nullptr, &caches);
    }
    glFinish();
  };
  renderer.DrawFrame(s, nullptr);
  glFinish();
  // How much of the frame the grid covers, to show the faces are drawn, not culled.
  const QImage first = target.Image();
  int covered = 0;
  for (int y = 0; y < first.height(); y += 4)
    for (int x = 0; x < first.width(); x += 4) covered += first.pixel(x, y) != first.pixel(0, 0);
  state.counters["covered%"] = 100.0 * covered / ((first.width() / 4) * (first.height() / 4));
  if (culled) glCullFace(GL_FRONT_AND_BACK);
  const long faultsBefore = MinorFaults();
  for (auto _ : state) frame();
  state.counters["faults/frame"] =
      static_cast<double>(MinorFaults() - faultsBefore) / static_cast<double>(state.iterations());
  glCullFace(GL_FRONT);
  s.camera.rotation = rotation;
  state.counters[hexagons ? "hexagons" : "quads"] = static_cast<double>(s.models[0].faces.size());
  renderer.Release();
}

// The turning frame of BM_PerspectiveFrame (buffered:2) drawn from the stand-in the pane shows
// while the camera moves (scene/stand_in.h), made once before the timing.
void BM_StandInFrame(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  GlTarget target(800, 600);
  if (!target.ok()) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  mw::CMeshwright& s = SceneOf(side);
  Frame(s, side);
  s.camera.translation = mw::CVector(-150.0f, 0, -2000);
  const mw::CVector rotation = s.camera.rotation;
  s.camera.rotation = mw::CVector(-20.0f, 10.0f, 0.0f);
  mw::SetViewport(s, 800, 600, 800, 600);
  const mw::StandIn standIn = mw::BuildStandIn(mw::TakeStandInSource(s), mw::StandInLimits{});
  mw::PerspectiveRenderer renderer;
  renderer.DrawFrame(s, standIn.models, nullptr, true);
  glFinish();
  for (auto _ : state) {
    s.camera.rotation.y += 1.0f;
    renderer.DrawFrame(s, standIn.models, nullptr, false);
    glFinish();
  }
  s.camera.rotation = rotation;
  state.counters["triangles"] = static_cast<double>(standIn.triangles);
  renderer.Release();
}

// The first frame of a new renderer: the grid laid out, uploaded and drawn, as after an edit (a
// renderer that already drew the model keeps the hexagons' triangles, which a new one splits
// again). range(1): 0 quadrilaterals, 1 hexagons.
void BM_PerspectiveLayout(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const bool hexagons = state.range(1) != 0;
  GlTarget target(800, 600);
  if (!target.ok()) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  mw::CMeshwright& s = hexagons ? HexagonSceneOf(side) : SceneOf(side);
  Frame(s, side);
  mw::SetViewport(s, 800, 600, 800, 600);
  for (auto _ : state) {
    mw::PerspectiveRenderer renderer;
    renderer.DrawFrame(s, nullptr);
    glFinish();
    state.PauseTiming();
    renderer.Release();
    state.ResumeTiming();
  }
  state.counters[hexagons ? "hexagons" : "quads"] = static_cast<double>(s.models[0].faces.size());
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

// range(1): 0 every corner projected where it is drawn, 1 each vertex projected once into the
// pane's projection (as the pane draws). range(2): 1 vertices only, as while a button is held.
void BM_OrthoPane(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const bool projected = state.range(1) != 0;
  mw::CMeshwright& s = SceneOf(side);
  Frame(s, side);
  mw::OrthoOverlay overlay;
  overlay.edgesVisible = state.range(2) == 0;
  QImage image(800, 600, QImage::Format_RGB32);
  mw::OrthoProjection projection;
  for (auto _ : state) {
    image.fill(Qt::white);
    mw::DrawOrthoPane(image, s, mw::kPlaneTop, mw::PanOffsets{-400, 0, -300}, overlay,
                      projected ? &projection : nullptr);
  }
  state.counters["quads"] = static_cast<double>(s.models[0].faces.size());
}

// A select drag in the Top pane (400 x 300) over the middle of the grid: 30 pointer motions.
// range(1) 0: as the window handles them now: the selection followed incrementally, and only the
// panes the result names painted (the orthographic ones when the selection changed, the Top pane
// alone when only the band moved, the perspective pane never), each vertex projected once.
// range(1) 1: as the window handled them before: the selection run over the whole scene and all
// four panes painted at every motion, every corner projected where drawn.
void BM_SelectDrag(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const bool before = state.range(1) != 0;
  GlTarget target(400, 300);
  if (!target.ok()) {
    state.SkipWithError("no OpenGL context");
    return;
  }
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
  mw::OrthoProjection projections[3];
  const QSize size(400, 300);
  const mw::Plane planes[3] = {mw::kPlaneTop, mw::kPlaneFace, mw::kPlaneLeft};
  auto paint = [&](int i) {
    panes[i].fill(Qt::white);
    mw::OrthoOverlay overlay = i == 0 ? input.Overlay() : mw::OrthoOverlay();
    overlay.edgesVisible = false;  // a button is held
    mw::DrawOrthoPane(panes[i], s, planes[i], pan, overlay, before ? nullptr : &projections[i]);
  };
  std::int64_t frames = 0, perspectiveFrames = 0;
  for (auto _ : state) {
    s.SetAllSelected(0);
    input.ButtonDown(mw::MouseButton::kLeft, QPoint(150, 100), size);
    for (int step = 1; step <= 30; ++step) {
      const QPoint to(150 + 3 * step, 100 + 2 * step);
      if (before) {
        const QPoint from = input.dragCurrent();
        const QPoint c = mw::PaneCentre(mw::kPlaneTop, 400, 300, pan);
        s.SelectInRect(150, 100, from.x(), from.y(), mw::kPlaneTop, 1, c.x(), c.y());
        // Only the pointer's bookkeeping: a mode whose left drag changes nothing.
        s.editMode = mw::kModeCreateFace;
        input.Move(to, size);
        s.editMode = mw::kModeSelect;
        for (int i = 0; i < 3; ++i) paint(i);
        renderer.DrawFrame(s, nullptr);
        glFinish();
        frames += 4, perspectiveFrames += 1;
        continue;
      }
      const mw::PaneResult r = input.Move(to, size);
      if (r.refresh3D) {
        for (int i = 0; i < 3; ++i) paint(i);
        frames += 3;
        if (!r.orthoOnly) {
          renderer.DrawFrame(s, nullptr);
          glFinish();
          ++perspectiveFrames;
        }
      } else if (r.repaintSelf) {
        paint(0);
        ++frames;
      }
    }
    input.ButtonUp(mw::MouseButton::kLeft, QPoint(240, 160), size);
  }
  state.counters["quads"] = static_cast<double>(s.models[0].faces.size());
  state.counters["panesPerDrag"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
  state.counters["perspectivePerDrag"] = static_cast<double>(perspectiveFrames) / static_cast<double>(state.iterations());
  s.SetAllSelected(0);
  renderer.Release();
}

BENCHMARK(BM_PerspectiveFrame)
    ->ArgsProduct({{317, 1001}, {0, 1}, {0, 1, 2}})
    ->Args({1001, 0, 3})
    ->Args({2001, 0, 0})
    ->Args({2001, 0, 1})
    ->Args({2001, 0, 2})
    ->Args({2001, 0, 3})
    ->ArgNames({"side", "hexagons", "buffered"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()  // software OpenGL rasterises on threads of its own
    ->UseRealTime();
BENCHMARK(BM_StandInFrame)
    ->Arg(1001)
    ->Arg(2001)
    ->ArgName("side")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_PerspectiveLayout)
    ->ArgsProduct({{1001}, {0, 1}})
    ->ArgNames({"side", "hexagons"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_SplitHexagons)->Arg(317)->Arg(1001)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrthoPane)
    ->ArgsProduct({{317, 1001, 2001}, {0, 1}, {0, 1}})
    ->ArgNames({"side", "projected", "verticesOnly"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SelectDrag)
    ->ArgsProduct({{317, 1001, 2001}, {0, 1}})
    ->ArgNames({"side", "before"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
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
