#include "app/document_picture.h"

#include <QBuffer>
#include <QByteArray>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "image/material_texture.h"
#include "io/document_io.h"
#include "platform/atomic_file.h"
#include "render/offscreen_frame.h"
#include "scene/meshwright.h"

namespace mw {
namespace {

PictureResult Failure(PictureError error, std::string message) {
  PictureResult r;
  r.error = error;
  r.message = std::move(message);
  return r;
}

// Installs a texture service for the length of one picture and puts the previous one back.
class TextureServiceScope {
 public:
  explicit TextureServiceScope(TextureService* service) : previous_(SetTextureService(service)) {}
  ~TextureServiceScope() { SetTextureService(previous_); }
  TextureServiceScope(const TextureServiceScope&) = delete;
  TextureServiceScope& operator=(const TextureServiceScope&) = delete;

 private:
  TextureService* previous_;
};

// A decimal number of at most five digits, all of `text`.
std::optional<int> Side(const std::string& text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int n = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > kMaxPictureSide) return std::nullopt;
  return n;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

PictureResult DrawDocumentPicture(const std::string& documentPath, QSize size, QImage& picture,
                                  const DisplayStyle& style) {
  // Textures are only decoded while the document is read; the frame uploads them once there is a
  // context, so a file that cannot be read costs no OpenGL at all.
  MaterialTextures textures(nullptr, DefaultTextureFolder());
  TextureServiceScope service(&textures);
  CMeshwright scene;
  scene.ResetScene();
  const DocumentResult read = OpenDocumentFile(scene, documentPath);
  if (!read.ok()) return Failure(PictureError::kCannotRead, DocumentMessage(read, documentPath, ": "));

  OffscreenContext context;
  std::string error;
  if (!context.Create(&error)) return Failure(PictureError::kCannotDraw, error);
  scene.parallelCamera = style.parallel;
  if (const auto fit = FitCamera(scene, static_cast<double>(size.width()) / size.height())) {
    scene.camera.translation = fit->translation;
    scene.zoom = fit->zoom;
  }
  QImage drawn = DrawOffscreenFrame(scene, size.width(), size.height(), context.uploader(), &error, true, style);
  if (drawn.isNull()) return Failure(PictureError::kCannotDraw, error);
  picture = std::move(drawn);
  return PictureResult{};
}

PictureResult WritePicturePng(const QImage& picture, const std::string& path) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!picture.save(&buffer, "PNG")) return Failure(PictureError::kCannotWrite, path + ": cannot encode PNG");
  AtomicFileWriter out(path);
  if (!out.ok() || !out.Write(png.constData(), static_cast<std::size_t>(png.size())) || !out.Commit())
    return Failure(PictureError::kCannotWrite,
                   DocumentMessage(DocumentFailure(DocumentError::kWriteFailed, out.errorNumber()), path, ": "));
  return PictureResult{};
}

int WriteDocumentPicture(const char* program, const std::string& documentPath, const std::string& picturePath,
                         QSize size, const DisplayStyle& style) {
  QImage picture;
  PictureResult r = DrawDocumentPicture(documentPath, size, picture, style);
  if (r.ok()) r = WritePicturePng(picture, picturePath);
  if (r.ok()) return 0;
  std::fprintf(stderr, "%s: %s\n", program, r.message.c_str());
  return r.error == PictureError::kCannotRead ? 1 : 3;
}

std::optional<QSize> ParsePictureSize(const std::string& text) {
  static const char* const kSigns[] = {"x", "X", "\xC3\x97"};  // the last is U+00D7 in UTF-8
  for (const char* sign : kSigns) {
    const std::size_t at = text.find(sign);
    if (at == std::string::npos) continue;
    const auto w = Side(text.substr(0, at));
    const auto h = Side(text.substr(at + std::char_traits<char>::length(sign)));
    if (!w || !h) return std::nullopt;
    return QSize(*w, *h);
  }
  return std::nullopt;
}

std::optional<std::string> LocalFileOfArgument(const std::string& argument) {
  // A scheme is letters, digits, '+', '-' and '.' after a first letter, then ':'.
  std::size_t colon = 0;
  while (colon < argument.size() && (std::isalnum(static_cast<unsigned char>(argument[colon])) ||
                                     argument[colon] == '+' || argument[colon] == '-' || argument[colon] == '.'))
    ++colon;
  const bool uri = colon > 0 && colon < argument.size() && argument[colon] == ':' &&
                   std::isalpha(static_cast<unsigned char>(argument[0])) && argument.compare(colon + 1, 2, "//") == 0;
  std::string scheme = argument.substr(0, colon);
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // "file:/path" has no authority; every other form of a URI does.
  const bool fileUri = colon > 0 && colon < argument.size() && argument[colon] == ':' && scheme == "file";
  if (!fileUri) {
    if (uri) return std::nullopt;
    return argument;
  }
  std::string rest = argument.substr(colon + 1);
  if (rest.compare(0, 2, "//") == 0) {
    const std::size_t slash = rest.find('/', 2);
    const std::string host = rest.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
    if (!host.empty() && host != "localhost") return std::nullopt;
    rest = slash == std::string::npos ? std::string() : rest.substr(slash);
  }
  // A query or fragment is not part of the path; the characters themselves arrive percent-encoded.
  rest = rest.substr(0, rest.find_first_of("?#"));
  if (rest.empty() || rest[0] != '/') return std::nullopt;
  std::string path;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && HexDigit(rest[i + 1]) >= 0 && HexDigit(rest[i + 2]) >= 0) {
      path += static_cast<char>(HexDigit(rest[i + 1]) * 16 + HexDigit(rest[i + 2]));
      i += 2;
    } else {
      path += rest[i];
    }
  }
  // A NUL byte cannot be part of a file name.
  if (path.find('\0') != std::string::npos) return std::nullopt;
  return path;
}

}  // namespace mw
