#include "view/material_preview.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QOpenGLContext>

#include "image/dib_stream.h"
#include "platform/message.h"
#include "render/gl_frame.h"

namespace mw {
namespace {

// A point light above, left of and in front of the sphere, with a half-strength ambient.
constexpr GlLight kPreviewLight = {{-10.0f, 10.0f, 10.0f, 1.0f}, {0.5f, 0.5f, 0.5f, 1.0f}};

bool HasPixels(const CMaterial& m) {
  return !m.texture.empty() && m.textureImage && !m.textureImage->IsEmpty() && m.textureImage->Pixels();
}

}  // namespace

MaterialPreview::MaterialPreview(QWidget* parent) : QOpenGLWidget(parent) {}

MaterialPreview::~MaterialPreview() {
  if (textureObject_ && context()) {
    makeCurrent();
    DeleteTexture();
    doneCurrent();
  }
}

void MaterialPreview::SetMaterial(const CMaterial& material) {
  material_ = material;
  update();
}

void MaterialPreview::DeleteTexture() {
  if (textureObject_) {
    const GLuint name = textureObject_;
    glDeleteTextures(1, &name);
  }
  textureObject_ = 0;
  uploaded_.reset();
}

void MaterialPreview::initializeGL() {
  QOpenGLContext* ctx = context();
  const char* failure = nullptr;
  if (!ctx || !ctx->isValid()) failure = "wglCreateLayerContext::Error";
  else if (QOpenGLContext::currentContext() != ctx) failure = "wglMakeCurrent::Error";
  if (failure) {
    ShowMessage(failure, MessageIcon::Error);
    return;
  }
  ready_ = true;
  // A new context has none of the old one's texture objects.
  textureObject_ = 0;
  uploaded_.reset();
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  SetTextureParameters();
  glClearColor(30.0f / 255.0f, 65.0f / 255.0f, 90.0f / 255.0f, 0.0f);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, 1.0, 2.0, 200.0);
  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  SetLights(kPreviewLight);
}

void MaterialPreview::paintGL() {
  if (!ready_) return;
  // The projection is square, so the sphere is drawn in a square of its own rather than across
  // the whole (wider than high) frame.
  const qreal ratio = devicePixelRatioF();
  const int side = static_cast<int>(kSphereViewport * ratio);
  glViewport(0, 0, side, side);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(0, 0, -30, 0, 0, 0, 0, -1, 0);

  CMaterial shown = material_;
  shown.UpdateMaterialColors();
  for (int i = 0; i < 3; ++i) shown.specularRGBA[i] = shown.color[i] * shown.specular;
  shown.textureObject = 0;
  if (HasPixels(material_)) {
    if (uploaded_ != material_.textureImage) {
      DeleteTexture();
      textureObject_ =
          UploadTexture(*material_.textureImage, material_.textureComponents, material_.texturePixelFormat);
      uploaded_ = material_.textureImage;
      ++uploads_;
    }
    shown.textureObject = textureObject_;
  }
  ApplyMaterial(shown);
  GLUquadric* sphere = gluNewQuadric();
  gluQuadricTexture(sphere, GL_TRUE);
  gluSphere(sphere, 10.0, 30, 30);
  gluDeleteQuadric(sphere);
}

}  // namespace mw
