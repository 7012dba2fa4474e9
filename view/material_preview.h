// The material dialog's preview: a lit, textured sphere drawn with OpenGL.
//
// It shows one CMaterial: its colours and factors, and the texture image the material holds
// (textureImage, textureComponents, texturePixelFormat; the dialog gives it a 256 x 256 copy).
// The highlight takes the material's colour, where the perspective pane's is white. The image is
// uploaded once, at the first paint after it changed, into a texture object of the preview's own.
#pragma once

#include <QOpenGLWidget>
#include <cstdint>
#include <memory>

#include "scene/material.h"

namespace mw {

class DibStream;

class MaterialPreview : public QOpenGLWidget {
  Q_OBJECT
 public:
  explicit MaterialPreview(QWidget* parent = nullptr);
  ~MaterialPreview() override;

  // Shows `material` from the next paint on. The texture is drawn when the material names one and
  // holds its image.
  void SetMaterial(const CMaterial& material);
  const CMaterial& material() const { return material_; }
  // The texture object now holding the preview's image (0: none uploaded).
  std::uint32_t textureObject() const { return textureObject_; }
  // How many times an image has been sent to OpenGL.
  int uploads() const { return uploads_; }
  // Size of the square the sphere is drawn in, at the lower left of the frame (logical pixels).
  static constexpr int kSphereViewport = 114;

 protected:
  void initializeGL() override;
  void paintGL() override;

 private:
  void DeleteTexture();

  CMaterial material_;
  bool ready_ = false;
  std::uint32_t textureObject_ = 0;
  int uploads_ = 0;
  std::shared_ptr<const DibStream> uploaded_;  // the image textureObject_ was made from
};

}  // namespace mw
