// Writing the scene as a Metasequoia document.
//
// Numbers are formatted with to_chars, which gives exactly what printf's "%f" and "%d" give in the
// classic locale without depending on the process locale (Qt sets it from the environment).
#include <charconv>
#include <cmath>
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
  // printf("%f"): six decimals; "inf", "-inf", "nan" and "-nan" for the values without digits.
  Text& Float(float f) {
    const double v = f;
    if (std::isnan(v)) {
      out += std::signbit(v) ? "-nan" : "nan";
      return *this;
    }
    if (std::isinf(v)) {
      out += v < 0 ? "-inf" : "inf";
      return *this;
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    out.append(buf, r.ptr);
    return *this;
  }
  Text& Line() {
    out += "\r\n";
    return *this;
  }
};

}  // namespace

std::string MetasequoiaText(const CMeshwright& scene) {
  Text t;
  t << "Metasequoia Document" << "\r\n" << "Format Text Ver 1.0" << "\r\n" << "\r\n";
  t << "Scene {\r\n";
  for (const char* line : {"pos 0.0000 0.0000 1500.0000", "lookat 0.0000 0.0000 0.0000", "head -0.3800",
                           "pich 0.2300", "ortho 0", "zoom2 5.0000", "amb 0.250 0.250 0.250"})
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
    for (const char* line : {"visible 15", "locking 0", "shading 1", "facet 89.5", "color 0.898 0.498 0.698",
                             "color_type 0"})
      t << "\t" << line << "\r\n";
    t << "\tvertex ";
    t.Int(static_cast<long long>(model.vertices.size())) << " {\r\n";
    for (const CVertex& v : model.vertices) {
      t << "\t\t";
      t.Float(v.position.x) << " ";
      t.Float(v.position.y) << " ";
      t.Float(v.position.z) << "\r\n";
    }
    t << "\t}\r\n\tface ";
    t.Int(static_cast<long long>(model.faces.size())) << " {\r\n";
    for (const CFace& f : model.faces) {
      const std::size_t corners = f.indices.size();
      if (corners < 2 || corners > 4) continue;
      t << "\t\t";
      t.Int(static_cast<long long>(corners)) << " V(";
      for (std::size_t k = 0; k < corners; ++k) {
        if (k) t << " ";
        t.Int(f.indices[k]);
      }
      t << ") M(";
      t.Int(f.material) << ")";
      // UVs only for triangles and quadrilaterals with one per corner; a face whose list is
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
  return std::move(t.out);
}

bool ExportMetasequoia(const CMeshwright& scene, const std::string& path, std::string* error) {
  AtomicFileWriter out(path);
  if (!out.ok()) {
    if (error) *error = out.error();
    return false;
  }
  const std::string text = MetasequoiaText(scene);
  if (!out.Write(text.data(), text.size()) || !out.Commit()) {
    if (error) *error = out.error();
    return false;
  }
  return true;
}

}  // namespace mw
