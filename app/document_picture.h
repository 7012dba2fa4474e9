// Pictures of documents without a window: the file manager's thumbnails and `meshwright --render`.
//
// A document file (any format the program opens) is read into a scene of its own, with its
// textures looked up as the program looks them up, and drawn as the perspective pane draws it,
// seen from the document's camera angle and moved so that every visible vertex fits the picture.
// No display is needed: the drawing context is made off screen (render/offscreen_frame.h).
// A picture file is written completely or not at all.
#pragma once

#include <QImage>
#include <QSize>
#include <optional>
#include <string>

#include "render/display_style.h"

namespace mw {

enum class PictureError {
  kNone,
  kCannotRead,   // the document could not be read
  kCannotDraw,   // no off-screen OpenGL, or the picture is larger than it draws
  kCannotWrite,  // the picture file could not be written; what was there stays
};

struct PictureResult {
  PictureError error = PictureError::kNone;
  std::string message;  // what went wrong (UTF-8), naming the file; empty on success
  bool ok() const { return error == PictureError::kNone; }
};

// Reads `documentPath` (UTF-8) and draws it into a width x height picture. On failure `picture`
// is left as it was.
// `style` as the perspective pane's display style (shaded and perspective by default).
PictureResult DrawDocumentPicture(const std::string& documentPath, QSize size, QImage& picture,
                                  const DisplayStyle& style = {});

// Writes `picture` as PNG to `path` (UTF-8).
PictureResult WritePicturePng(const QImage& picture, const std::string& path);

// The process exit status of drawing `documentPath` into the PNG file `picturePath`: 0 written,
// 1 the document could not be read, 3 the picture could not be drawn or written. What went wrong
// goes to stderr after `program` and ": ".
int WriteDocumentPicture(const char* program, const std::string& documentPath, const std::string& picturePath,
                         QSize size, const DisplayStyle& style = {});

// "640x480" or "640×480" (the sign as UTF-8, or X; no spaces); each side 1 to the largest
// picture side. Nothing for anything else.
std::optional<QSize> ParsePictureSize(const std::string& text);

// The local file a command-line argument names: a file: URI (as the desktop's %u gives it,
// percent-encoded; the bytes it decodes to are the path) or a path as it stands (%i). Nothing for
// a URI of another scheme or of another host.
std::optional<std::string> LocalFileOfArgument(const std::string& argument);

}  // namespace mw
