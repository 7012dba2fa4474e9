// What a save asks beyond the file's name: for a Metasequoia document of a scene with symmetric
// modelling on, whether the mirror stays in the file (「鏡面をファイルに残す」), the last answer
// kept in the settings (app/settings.h LoadKeepMirror).
#pragma once

#include <functional>
#include <optional>

class QDialog;
class QWidget;

namespace mw {

class CMeshwright;
struct DocumentFormat;
struct SaveOptions;

// The choices for saving `scene` as `format`: asked through `run` only when the format has any
// use for one; nothing when the user cancelled.
std::optional<SaveOptions> AskSaveOptions(const CMeshwright& scene, const DocumentFormat& format, QWidget* parent,
                                          const std::function<int(QDialog&)>& run);

}  // namespace mw
