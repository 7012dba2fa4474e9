// Writing the scene as a Metasequoia document.
//
// Numbers are formatted with to_chars, which gives exactly what printf's "%f" and "%d" give in the
// classic locale without depending on the process locale (Qt sets it from the environment).
// Version 1.0 unless a face has more than four corners, which only version 1.1 may hold. Faces of
// fewer than two corners have no form in the format: they are left out of the face lines and
// the face count, and reported.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "io/loader_mqo.h"
#include "platform/atomic_file.h"

namespace mw {
namespace {

class Text {
 public:
  std::string out;

  Text& operator<<(const char* s) {
    out += s;
    return *this;
  }
  Text& operator<<(const std::string& s) {
    out += s;
    return *this;
  }
  Text& Int(long long v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
    return *this;
  }
  std::size_t nonFinite = 0;

  // printf("%f"): six decimals. A value without digits (nan, inf), which no reader accepts, is
  // written as 0 and counted.
  Text& Float(float f) {
    double v = f;
    if (!std::isfinite(v)) {
      ++nonFinite;
      v = 0.0;
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    out.append(buf, r.ptr);
    return *this;
  }
  // The shortest text that reads back as the same float ("89.5", "30", "0").
  Text& Short(float f) {
    if (!std::isfinite(f)) {
      ++nonFinite;
      f = 0.0f;
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, f);
    out.append(buf, r.ptr);
    return *this;
  }
};

bool Written(const CFace& f) { return f.indices.size() >= 2; }

}  // namespace

std::string MetasequoiaText(const CMeshwright& scene, MqoWriteInfo* info) {
  MqoWriteInfo written;
  for (const CModel& model : scene.models)
    for (const CFace& f : model.faces) {
      if (!Written(f)) ++written.droppedFaces;
      else if (f.indices.size() > 4) written.version = 11;
    }
  Text t;
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

  for (const CModel& model : scene.models) {
    t << "Object \"" << model.name << "\" {\r\n";
    t << (model.state == kStateHidden ? "\tvisible 0\r\n" : "\tvisible 15\r\n");
    t << (model.state == kStateLocked ? "\tlocking 1\r\n" : "\tlocking 0\r\n");
    t << (scene.smoothing ? "\tshading 1\r\n" : "\tshading 0\r\n");
    t << "\tfacet ";
    t.Short(model.facet) << "\r\n";
    t << "\tcolor 0.898 0.498 0.698\r\n\tcolor_type 0\r\n";
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
  if (t.nonFinite) {
    std::snprintf(text, sizeof text, "数値でない値 (nan, inf など) %zu 個を 0 として書き出しました。", t.nonFinite);
    written.warnings.emplace_back(text);
  }
  if (info) *info = std::move(written);
  return std::move(t.out);
}

bool ExportMetasequoia(const CMeshwright& scene, const std::string& path, std::string* error, MqoWriteInfo* info) {
  AtomicFileWriter out(path);
  if (!out.ok()) {
    if (error) *error = out.error();
    return false;
  }
  const std::string text = MetasequoiaText(scene, info);
  if (!out.Write(text.data(), text.size()) || !out.Commit()) {
    if (error) *error = out.error();
    return false;
  }
  return true;
}

}  // namespace mw
