#include "render/offscreen_frame.h"

#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "render/frame_arrays.h"

namespace mw {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Where the nearest point of a fitted document lies: twice the near plane, so nothing is clipped
// and the depth buffer keeps its precision.
constexpr double kFittedNearDepth = 200.0;
// Larger pictures are drawn at their own size: twice 4096 squared would be a quarter of a
// gigabyte of framebuffer.
constexpr int kSupersampledSideLimit = 4096;

// glRotatef's rotations, in the order the frame applies them: X, then Y, then Z (so a vertex is
// turned about Z first).
struct Rotation {
  double m[3][3];

  explicit Rotation(const CVector& degrees) {
    const double ax = degrees.x * kPi / 180.0, ay = degrees.y * kPi / 180.0, az = degrees.z * kPi / 180.0;
    const double cx = std::cos(ax), sx = std::sin(ax), cy = std::cos(ay), sy = std::sin(ay);
    const double cz = std::cos(az), sz = std::sin(az);
    const double rx[3][3] = {{1, 0, 0}, {0, cx, -sx}, {0, sx, cx}};
    const double ry[3][3] = {{cy, 0, sy}, {0, 1, 0}, {-sy, 0, cy}};
    const double rz[3][3] = {{cz, -sz, 0}, {sz, cz, 0}, {0, 0, 1}};
    double xy[3][3];
    Multiply(rx, ry, xy);
    Multiply(xy, rz, m);
  }

  void Apply(const CVector& p, double out[3]) const {
    for (int i = 0; i < 3; ++i) out[i] = m[i][0] * p.x + m[i][1] * p.y + m[i][2] * p.z;
  }

 private:
  static void Multiply(const double a[3][3], const double b[3][3], double out[3][3]) {
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) out[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
  }
};

bool Finite(const CVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Calls `visit` with every finite vertex of the visible models, turned as the camera turns it.
template <typename Visit>
void ForEachTurnedVertex(const CMeshwright& scene, const Rotation& rotation, Visit visit) {
  for (const CModel& model : scene.models) {
    if (model.state == kStateHidden) continue;
    for (const CVertex& v : model.vertices) {
      if (!Finite(v.position)) continue;
      double q[3];
      rotation.Apply(v.position, q);
      visit(q);
    }
  }
}

}  // namespace

std::optional<CameraFit> FitCamera(const CMeshwright& scene, double aspect, double fill) {
  const double fovy = scene.fieldOfView;
  if (!(fovy > 0.0 && fovy < 180.0) || !(aspect > 0.0) || !(fill > 0.0 && fill <= 1.0)) return std::nullopt;
  // Half the frame's height and width at unit distance, as much of it as the document may fill.
  const double ty = std::tan(fovy * kPi / 360.0) * fill;
  const double tx = ty * aspect;
  if (!std::isfinite(tx) || !(tx > 0.0) || !(ty > 0.0)) return std::nullopt;

  const Rotation rotation(scene.camera.rotation);
  double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  bool any = false;
  ForEachTurnedVertex(scene, rotation, [&](const double q[3]) {
    any = true;
    for (int i = 0; i < 3; ++i) {
      lo[i] = std::min(lo[i], q[i]);
      hi[i] = std::max(hi[i], q[i]);
    }
  });
  if (!any) return std::nullopt;
  double centre[3], extent = 0.0;
  for (int i = 0; i < 3; ++i) {
    centre[i] = (lo[i] + hi[i]) / 2.0;
    extent = std::max(extent, (hi[i] - lo[i]) / 2.0);
  }
  if (!(extent > 0.0)) extent = 1.0;  // a single point: any size shows it

  // The distance from the camera to the centre at which each turned vertex is just inside the
  // frame; the front stays a quarter of the document's size away, so that a point aimed at the
  // camera is not cut by the near plane.
  const double front = hi[2] - centre[2];
  double distance = front + extent / 4.0;
  ForEachTurnedVertex(scene, rotation, [&](const double q[3]) {
    const double x = std::fabs(q[0] - centre[0]), y = std::fabs(q[1] - centre[1]), z = q[2] - centre[2];
    distance = std::max({distance, z + x / tx, z + y / ty});
  });
  // Scaled so that the front lies at kFittedNearDepth; the back is then at most nine times as
  // far (the document is 2 * extent deep and its front at least extent / 4 away), well inside
  // the far plane.
  const double scale = kFittedNearDepth / (distance - front);
  CameraFit fit;
  fit.translation = CVector(static_cast<float>(-scale * centre[0]), static_cast<float>(-scale * centre[1]),
                            static_cast<float>(-scale * (centre[2] + distance)));
  fit.zoom = static_cast<float>(scale * 100.0);
  if (!Finite(fit.translation) || !std::isfinite(fit.zoom) || !(fit.zoom > 0.0f)) return std::nullopt;
  return fit;
}

struct OffscreenContext::Egl {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
};

OffscreenContext::OffscreenContext() : egl_(std::make_unique<Egl>()), uploader_(&MakeCurrentFor, this) {}

OffscreenContext::~OffscreenContext() {
  if (egl_->context == EGL_NO_CONTEXT) return;
  if (eglGetCurrentContext() == egl_->context)
    eglMakeCurrent(egl_->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(egl_->display, egl_->context);
  // The display stays initialised: EGL hands every caller the same one, and terminating it would
  // take the contexts of any other OffscreenContext with it.
}

bool OffscreenContext::MakeCurrentFor(void* self) { return static_cast<OffscreenContext*>(self)->MakeCurrent(); }

bool OffscreenContext::MakeCurrent() {
  if (egl_->context == EGL_NO_CONTEXT) return false;
  return eglMakeCurrent(egl_->display, EGL_NO_SURFACE, EGL_NO_SURFACE, egl_->context) == EGL_TRUE;
}

namespace {

bool HasExtension(const char* list, const char* name) {
  if (!list) return false;
  const std::size_t n = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n)
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  return false;
}

bool Fail(std::string* error, const char* text) {
  if (error) *error = text;
  return false;
}

}  // namespace

bool OffscreenContext::Create(std::string* error) {
  if (egl_->context != EGL_NO_CONTEXT) return MakeCurrent() || Fail(error, "cannot make the OpenGL context current");
  // The surfaceless platform is chosen explicitly: the default display would try X11 or Wayland.
  if (!HasExtension(eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS), "EGL_MESA_platform_surfaceless"))
    return Fail(error, "EGL has no surfaceless platform (Mesa's EGL is needed)");
  const auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) return Fail(error, "EGL cannot open a platform display");
  EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  EGLint major = 0, minor = 0;
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor))
    return Fail(error, "EGL cannot initialise the surfaceless display");
  egl_->display = display;
  const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
  if (!HasExtension(extensions, "EGL_KHR_surfaceless_context") ||
      !(HasExtension(extensions, "EGL_KHR_no_config_context") ||
        HasExtension(extensions, "EGL_MESA_configless_context")))
    return Fail(error, "EGL cannot make a context without a surface");
  if (!eglBindAPI(EGL_OPENGL_API)) return Fail(error, "EGL has no desktop OpenGL");
  // The drawing is fixed-function: a compatibility profile, whatever version it comes with.
  const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  egl_->context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
  if (egl_->context == EGL_NO_CONTEXT) return Fail(error, "EGL cannot create an OpenGL compatibility context");
  if (!MakeCurrent()) return Fail(error, "cannot make the OpenGL context current");
  // Framebuffer objects are core from 3.0; before that only the extension has them.
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (!version || std::atoi(version) < 3) return Fail(error, "OpenGL 3.0 or later is needed to draw off screen");
  return true;
}

QImage DrawOffscreenFrame(CMeshwright& scene, int width, int height, TextureUploader* uploader, std::string* error,
                          bool smooth, const DisplayStyle& style) {
  if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) {
    if (error) *error = "the picture size must be 1 to " + std::to_string(kMaxPictureSide) + " pixels each side";
    return QImage();
  }
  GLint renderbufferLimit = 0, viewportLimit[2] = {0, 0};
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbufferLimit);
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewportLimit);
  const int limit = std::min({renderbufferLimit, viewportLimit[0], viewportLimit[1]});
  const int side = std::max(width, height);
  if (side > limit) {
    if (error) *error = "OpenGL draws at most " + std::to_string(limit) + " pixels each side";
    return QImage();
  }
  const int factor = smooth && 2 * side <= std::min(limit, kSupersampledSideLimit) ? 2 : 1;
  const int fw = width * factor, fh = height * factor;

  GLuint framebuffer = 0, renderbuffers[2] = {0, 0};
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glGenRenderbuffers(2, renderbuffers);
  glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[0]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, fw, fh);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffers[0]);
  glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[1]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, fw, fh);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, renderbuffers[1]);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  QImage picture;
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    if (error) *error = "OpenGL cannot make a framebuffer of " + std::to_string(fw) + " x " + std::to_string(fh);
  } else {
    SetupGlState();
    scene.parallelCamera = style.parallel;
    SetViewport(scene, width, height, fw, fh);
    PerspectiveRenderer renderer;
    renderer.SetStyle(style);
    renderer.DrawFrame(scene, uploader);
    renderer.Release();
    glFinish();
    // The alpha the frame leaves is not part of the picture: the pane shows its background opaque.
    QImage drawn(fw, fh, QImage::Format_RGBX8888);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glReadPixels(0, 0, fw, fh, GL_RGBA, GL_UNSIGNED_BYTE, drawn.bits());
    drawn = drawn.mirrored();  // OpenGL's rows run bottom to top
    if (factor > 1) drawn = drawn.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    picture = drawn.convertToFormat(QImage::Format_RGB32);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteRenderbuffers(2, renderbuffers);
  glDeleteFramebuffers(1, &framebuffer);
  return picture;
}

}  // namespace mw
