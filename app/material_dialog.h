// The material dialog "材質設定": name, colour, opacity, the five lighting factors and the
// texture of one material, with a lit, textured sphere as a live preview.
#pragma once

#include <QDialog>
#include <array>

#include "image/material_texture.h"
#include "view/dialog_units.h"
#include "view/material_preview.h"

class QLineEdit;
class QSlider;
class QPushButton;

namespace mw {

class CMaterial;
class CMeshwright;

// The values the dialog edits, in the order of its sliders.
enum MaterialValue { kRed, kGreen, kBlue, kOpacity, kDiffuse, kEmissive, kSpecular, kPower, kAmbient, kValueCount };

struct MaterialFields {
  std::string name;     // CP932
  std::string texture;  // CP932
  std::array<float, kValueCount> values{};
};

// Slider position for a value: value x 100 (power: x 1), computed in double and truncated.
int SliderPosition(MaterialValue which, float value);

class CDlgMaterial : public QDialog {
  Q_OBJECT
 public:
  CDlgMaterial(const CMaterial& material, QWidget* parent = nullptr);

  const MaterialFields& fields() const { return fields_; }
  QLineEdit* edit(MaterialValue which) const { return edits_[which]; }
  QSlider* slider(MaterialValue which) const { return sliders_[which]; }
  QLineEdit* nameEdit() const { return nameEdit_; }
  QLineEdit* textureEdit() const { return textureEdit_; }
  QPushButton* browseButton() const { return browse_; }
  MaterialPreview* preview() const { return preview_; }
  // The preview's texture image, 256 x 256 once loaded.
  const DibStream& previewImage() const;

  // Loads the named texture (beside the document or in the texture folder) for the preview,
  // resampled to 256 x 256; on failure says so and empties the texture edit.
  void LoadPreviewTexture(const std::string& cp932Name);
  // The material the preview shows: the fields, with the preview's texture image.
  CMaterial PreviewMaterial() const;
  // Takes the edits into the fields; on a text that is not a number says so, focuses that edit
  // and returns false.
  bool TakeValues();
  // The OK path: release the texture, write the fields, derive colours, load the texture, give
  // the material's untextured faces default coordinates.
  void WriteBack(CMeshwright& scene, std::size_t index) const;

  void accept() override;

 private:
  void OnSlider(MaterialValue which, int position);
  void OnBrowse();
  void UpdatePreview();
  // The name, values and texture name of the fields into `m`; nothing else of it changes.
  void CopyFieldsTo(CMaterial& m) const;

  MaterialFields fields_;
  DecodedTexture previewTexture_;
  std::array<QLineEdit*, kValueCount> edits_{};
  std::array<QSlider*, kValueCount> sliders_{};
  QLineEdit* nameEdit_ = nullptr;
  QLineEdit* textureEdit_ = nullptr;
  QPushButton* browse_ = nullptr;
  MaterialPreview* preview_ = nullptr;
  DialogUnits dlu_;
};

}  // namespace mw
