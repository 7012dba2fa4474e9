// Writing the scene as a Metasequoia document.
//
// The text goes out through a fixed buffer in blocks, so an export of millions of faces holds no
// copy of the document. Numbers are formatted without the process locale (Qt sets it from the
// environment): integers by to_chars, floats by FormatFixed6, both exactly what printf's "%d" and
// "%f" give in the classic locale.
// Version 1.0 unless a face has more than four corners, which only version 1.1 may hold. Faces of
// fewer than two corners have no form in the format: they are left out of the face lines and
// the face count, and reported.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "io/fixed_format.h"
#include "io/loader_mqo.h"
#include "platform/atomic_file.h"
#include "scene/symmetry.h"

namespace mw {
namespace {

class Text {
 public:
  explicit Text(const MqoTextSink& sink) : sink_(sink), buffer_(new char[kBlock]), p_(buffer_.get()) {}

  // Sends what is left; false when the sink refused any block.
  bool Finish() {
    Flush();
    return ok_;
  }
  bool ok() const { return ok_; }

  Text& operator<<(std::string_view s) {
    if (s.size() > Room()) {
      Flush();
      if (s.size() > kBlock) {  // a name longer than the buffer goes out as it stands
        Send(s.data(), s.size());
        return *this;
      }
    }
    std::memcpy(p_, s.data(), s.size());
    p_ += s.size();
    return *this;
  }
  Text& operator<<(char c) {
    Reserve(1);
    *p_++ = c;
    return *this;
  }
  Text& Int(long long v) {
    Reserve(24);
    p_ = std::to_chars(p_, p_ + 24, v).ptr;
    return *this;
  }
  std::size_t nonFinite = 0;

  // printf("%f"): six decimals. A value without digits (nan, inf), which no reader accepts, is
  // written as 0 and counted.
  Text& Float(float f) {
    Reserve(kFixedFloatChars);
    if (!std::isfinite(f)) {
      ++nonFinite;
      f = 0.0f;
    }
    p_ = FormatFixed6(f, p_);
    return *this;
  }
  // The shortest text that reads back as the same float ("89.5", "30", "0").
  Text& Short(float f) {
    Reserve(64);
    if (!std::isfinite(f)) {
      ++nonFinite;
      f = 0.0f;
    }
    p_ = std::to_chars(p_, p_ + 64, f).ptr;
    return *this;
  }

 private:
  static constexpr std::size_t kBlock = 256 * 1024;
  std::size_t Room() const { return static_cast<std::size_t>(buffer_.get() + kBlock - p_); }
  void Reserve(std::size_t n) {
    if (n > Room()) Flush();
  }
  void Flush() {
    Send(buffer_.get(), static_cast<std::size_t>(p_ - buffer_.get()));
    p_ = buffer_.get();
  }
  void Send(const char* data, std::size_t n) {
    if (n && ok_) ok_ = sink_(data, n);
  }

  const MqoTextSink& sink_;
  std::unique_ptr<char[]> buffer_;
  char* p_;
  bool ok_ = true;
};

bool Written(const CFace& f) { return f.indices.size() >= 2; }

}  // namespace

bool WriteMetasequoia(const CMeshwright& scene, const MqoTextSink& sink, MqoWriteInfo* info) {
  return WriteMetasequoia(scene, sink, MqoWriteOptions{}, info);
}

bool WriteMetasequoia(const CMeshwright& scene, const MqoTextSink& sink, const MqoWriteOptions& options,
                      MqoWriteInfo* info) {
  MqoWriteInfo written;
  // The halves that go out with a mirror, made first: the version depends on their faces only.
  std::vector<CModel> halves(scene.models.size());
  std::vector<std::uint8_t> mirrored(scene.models.size(), 0);
  std::size_t crossing = 0;
  for (std::size_t i = 0; i < scene.models.size(); ++i) {
    const std::int32_t axis = scene.models[i].symmetryAxis;
    if (!options.keepMirror || axis < 1 || axis > 3) continue;
    std::size_t across = 0;
    halves[i] = KeptHalf(scene.models[i], &across);
    crossing += across;
    mirrored[i] = 1;
  }
  const auto modelAt = [&](std::size_t i) -> const CModel& { return mirrored[i] ? halves[i] : scene.models[i]; };
  for (std::size_t i = 0; i < scene.models.size(); ++i)
    for (const CFace& f : modelAt(i).faces) {
      if (!Written(f)) ++written.droppedFaces;
      else if (f.indices.size() > 4) written.version = 11;
    }
  Text t(sink);
  t << "Metasequoia Document"
    << "\r\n";
  // Names are CP932; version 1.1 says so, so that no reader takes them for UTF-8.
  if (written.version == 11) t << "Format Text Ver 1.1\r\nCodePage 932\r\n\r\n";
  else
    t << "Format Text Ver 1.0"
      << "\r\n"
      << "\r\n";
  t << "Scene {\r\n";
  for (const char* line : {"pos 0.0000 0.0000 1500.0000", "lookat 0.0000 0.0000 0.0000", "head -0.3800", "pich 0.2300",
                           "ortho 0", "zoom2 5.0000", "amb 0.250 0.250 0.250"})
    t << "\t" << line << "\r\n";
  t << "}\r\n";

  t << "Material ";
  t.Int(static_cast<long long>(scene.materials.size())) << " {\r\n";
  for (const CMaterial& m : scene.materials) {
    t << "\t\"" << m.name << "\" shader(3) col(";
    t.Float(m.color[0]) << " ";
    t.Float(m.color[1]) << " ";
    t.Float(m.color[2]) << " ";
    t.Float(m.color[3]) << ") dif(";
    t.Float(m.diffuse) << ") amb(";
    t.Float(m.ambient) << ") emi(";
    t.Float(m.emissive) << ") spc(";
    t.Float(m.specular) << ") power(";
    t.Float(m.power) << ")";
    if (!m.texture.empty()) t << " tex(\"" << m.texture << "\")";
    t << "\r\n";
  }
  t << "}\r\n";

  for (std::size_t index = 0; index < scene.models.size(); ++index) {
    const CModel& model = modelAt(index);
    if (!t.ok()) break;  // the sink failed: nothing more can reach it
    t << "Object \"" << model.name << "\" {\r\n";
    if (model.subdivisionScheme != kSubdivisionNone) {
      t << "\tpatch 3\r\n";
      if (model.subdivisionScheme == kSubdivisionLoop) t << "\tpatchtri 1\r\n";
      t << "\tsegment ";
      t.Int(std::clamp(model.subdivisionLevel, kSubdivisionMinLevel, kSubdivisionMaxLevel)) << "\r\n";
    }
    t << (model.state == kStateHidden ? "\tvisible 0\r\n" : "\tvisible 15\r\n");
    t << (model.state == kStateLocked ? "\tlocking 1\r\n" : "\tlocking 0\r\n");
    t << (scene.smoothing ? "\tshading 1\r\n" : "\tshading 0\r\n");
    // 0 is the record's default, not a choice: to other programs it would mean every edge sharp.
    t << "\tfacet ";
    if (model.facet == 0.0f) t << "89.5";
    else t.Short(model.facet);
    t << "\r\n";
    t << "\tcolor 0.898 0.498 0.698\r\n\tcolor_type 0\r\n";
    if (mirrored[index]) {
      // Connected (2): the halves share the vertices on the plane, as the model does.
      t << "\tmirror 2\r\n\tmirror_axis ";
      t.Int(1 << (model.symmetryAxis - 1)) << "\r\n";
    }
    t << "\tvertex ";
    t.Int(static_cast<long long>(model.vertices.size())) << " {\r\n";
    for (const CVertex& v : model.vertices) {
      t << "\t\t";
      t.Float(v.position.x) << " ";
      t.Float(v.position.y) << " ";
      t.Float(v.position.z) << "\r\n";
    }
    t << "\t}\r\n\tface ";
    t.Int(static_cast<long long>(std::count_if(model.faces.begin(), model.faces.end(), Written))) << " {\r\n";
    for (const CFace& f : model.faces) {
      const std::size_t corners = f.indices.size();
      if (!Written(f)) continue;
      t << "\t\t";
      t.Int(static_cast<long long>(corners)) << " V(";
      for (std::size_t k = 0; k < corners; ++k) {
        if (k) t << " ";
        t.Int(f.indices[k]);
      }
      t << ") M(";
      t.Int(f.material) << ")";
      // UVs only for faces of three corners or more with one per corner; a face whose list is
      // shorter than its corners (never made by the program) writes none rather than reading past it.
      if (corners >= 3 && !f.uvs.empty() && f.uvs.size() >= corners) {
        t << " UV(";
        for (std::size_t k = 0; k < corners; ++k) {
          if (k) t << " ";
          t.Float(f.uvs[k].u) << " ";
          t.Float(f.uvs[k].v);
        }
        t << ")";
      }
      t << "\r\n";
    }
    t << "\t}\r\n}\r\n";
  }
  t << "Eof\r\n";
  char text[256];
  if (written.droppedFaces) {
    std::snprintf(text, sizeof text, "頂点が 1 つ以下の面 %zu 個は Metasequoia 形式で表せないため書き出していません。",
                  written.droppedFaces);
    written.warnings.emplace_back(text);
  }
  if (crossing) {
    std::snprintf(text, sizeof text, "対称面をまたぐ面 %zu 個は鏡面付きでは表せないため書き出していません。", crossing);
    written.warnings.emplace_back(text);
  }
  if (t.nonFinite) {
    std::snprintf(text, sizeof text, "数値でない値 (nan, inf など) %zu 個を 0 として書き出しました。", t.nonFinite);
    written.warnings.emplace_back(text);
  }
  if (info) *info = std::move(written);
  return t.Finish();
}

std::string MetasequoiaText(const CMeshwright& scene, MqoWriteInfo* info) {
  std::string out;
  WriteMetasequoia(
      scene,
      [&out](const char* data, std::size_t n) {
        out.append(data, n);
        return true;
      },
      info);
  return out;
}

bool ExportMetasequoia(const CMeshwright& scene, const std::string& path, std::string* error, MqoWriteInfo* info) {
  AtomicFileWriter out(path);
  if (!out.ok()) {
    if (error) *error = out.error();
    return false;
  }
  const bool written =
      WriteMetasequoia(scene, [&out](const char* data, std::size_t n) { return out.Write(data, n); }, info);
  if (!written || !out.Commit()) {
    if (error) *error = out.error();
    return false;
  }
  return true;
}

}  // namespace mw
