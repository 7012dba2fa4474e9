#include "tools/scene_json.h"

#include <cmath>
#include <cstdio>

#include "image/material_texture.h"
#include "platform/encoding.h"

namespace mw {
namespace {

class Json {
 public:
  std::string out;
  // Where the text goes as it grows (null: it is all kept in `out`).
  std::FILE* file = nullptr;
  bool failed = false;

  // Hands what was written so far to the file once it is worth a write: a large scene's JSON is
  // never held whole.
  void Spill(std::size_t atLeast = 1 << 16) {
    if (!file || out.size() < atLeast) return;
    failed = failed || std::fwrite(out.data(), 1, out.size(), file) != out.size();
    out.clear();
  }

  void Float(float v) {
    if (!std::isfinite(v)) {
      out += "null";
      return;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    out += buf;
  }
  void Int(long long v) { out += std::to_string(v); }
  void Bool(bool v) { out += v ? "true" : "false"; }
  void Str(const std::string& utf8) {
    out += '"';
    for (unsigned char c : utf8) {
      switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
          if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
          } else {
            out += static_cast<char>(c);
          }
      }
    }
    out += '"';
  }
  void Name(const std::string& cp932) { Str(Cp932ToUtf8(cp932)); }
  void Key(const char* k) {
    Str(k);
    out += ':';
  }
  void Vec(const CVector& v) {
    out += '[';
    Float(v.x);
    out += ',';
    Float(v.y);
    out += ',';
    Float(v.z);
    out += ']';
  }
  void Floats(const float* v, int n) {
    out += '[';
    for (int i = 0; i < n; ++i) {
      if (i) out += ',';
      Float(v[i]);
    }
    out += ']';
  }
};

}  // namespace

namespace {

void WriteJson(Json& j, const CMeshwright& scene, bool summary, const DocumentResult& open) {
  j.out += '{';
  j.Key("smoothing");
  j.Int(scene.smoothing);
  j.out += ',';
  j.Key("nextMaterialId");
  j.Int(scene.nextMaterialId);
  j.out += ',';
  // Faces of more than four corners in the whole scene.
  long long ngons = 0;
  for (const CModel& m : scene.models)
    for (const CFace& f : m.faces) ngons += f.indices.size() > 4;
  j.Key("ngonFaces");
  j.Int(ngons);
  j.out += ',';
  j.Key("reservedWord");
  j.Int(scene.reservedWord);
  j.out += ",\n";
  j.Key("camera");
  j.out += '{';
  j.Key("translation");
  j.Vec(scene.camera.translation);
  j.out += ',';
  j.Key("rotation");
  j.Vec(scene.camera.rotation);
  j.out += ',';
  j.Key("scale");
  j.Vec(scene.camera.scale);
  j.out += ',';
  j.Key("frame");
  j.Int(scene.camera.frame);
  j.out += "},\n";
  j.Key("models");
  j.out += '[';
  bool firstModel = true;
  for (const CModel& m : scene.models) {
    if (!firstModel) j.out += ',';
    firstModel = false;
    j.out += "\n{";
    j.Key("name");
    j.Name(m.name);
    j.out += ',';
    j.Key("state");
    j.Int(m.state);
    j.out += ',';
    j.Key("mirrorAxis");
    j.Int(m.mirrorAxis);
    j.out += ',';
    j.Key("facet");
    j.Float(m.facet);
    j.out += ',';
    if (summary) {
      j.Key("vertexCount");
      j.Int(static_cast<long long>(m.vertices.size()));
      j.out += ',';
      j.Key("faceCount");
      j.Int(static_cast<long long>(m.faces.size()));
      j.out += '}';
      continue;
    }
    j.Key("vertices");
    j.out += '[';
    for (std::size_t i = 0; i < m.vertices.size(); ++i) {
      if (i) j.out += ',';
      j.Vec(m.vertices[i].position);
      j.Spill();
    }
    j.out += "],";
    j.Key("faceRefs");
    j.out += '[';
    for (std::size_t i = 0; i < m.vertices.size(); ++i) {
      if (i) j.out += ',';
      j.out += '[';
      const FaceRefList& refs = m.vertices[i].faceRefs;
      for (std::size_t k = 0; k < refs.size(); ++k) {
        if (k) j.out += ',';
        j.Int(refs[k]);
      }
      j.out += ']';
      j.Spill();
    }
    j.out += "],";
    j.Key("faces");
    j.out += '[';
    for (std::size_t i = 0; i < m.faces.size(); ++i) {
      const CFace& f = m.faces[i];
      if (i) j.out += ',';
      j.out += '{';
      j.Key("indices");
      j.out += '[';
      for (std::size_t k = 0; k < f.indices.size(); ++k) {
        if (k) j.out += ',';
        j.Int(f.indices[k]);
      }
      j.out += "],";
      j.Key("material");
      j.Int(f.material);
      j.out += ',';
      j.Key("uvs");
      j.out += '[';
      for (std::size_t k = 0; k < f.uvs.size(); ++k) {
        if (k) j.out += ',';
        j.out += '[';
        j.Float(f.uvs[k].u);
        j.out += ',';
        j.Float(f.uvs[k].v);
        j.out += ']';
      }
      j.out += "],";
      j.Key("normal");
      j.Vec(f.normal);
      j.out += '}';
      j.Spill();
    }
    j.out += "]}";
  }
  j.out += "],\n";
  j.Key("materials");
  j.out += '[';
  bool firstMaterial = true;
  for (const CMaterial& m : scene.materials) {
    if (!firstMaterial) j.out += ',';
    firstMaterial = false;
    j.out += "\n{";
    j.Key("id");
    j.Int(m.id);
    j.out += ',';
    j.Key("name");
    j.Name(m.name);
    j.out += ',';
    j.Key("color");
    j.Floats(m.color, 4);
    j.out += ',';
    j.Key("diffuse");
    j.Float(m.diffuse);
    j.out += ',';
    j.Key("ambient");
    j.Float(m.ambient);
    j.out += ',';
    j.Key("emissive");
    j.Float(m.emissive);
    j.out += ',';
    j.Key("specular");
    j.Float(m.specular);
    j.out += ',';
    j.Key("power");
    j.Float(m.power);
    j.out += ',';
    j.Key("texture");
    j.Name(m.texture);
    j.out += ',';
    j.Key("alphaPlane");
    j.Name(m.alphaPlane);
    j.out += ',';
    j.Key("bump");
    j.Name(m.bump);
    j.out += ',';
    // The file the texture name was found as (beside the document or in the texture folder; null
    // when none was found), whether it could be read, and what it is.
    j.Key("texturePath");
    if (m.textureFile.empty()) j.out += "null";
    else j.Str(m.textureFile);
    j.out += ',';
    const bool loaded = TextureLoaded(m);
    j.Key("textureLoaded");
    j.Bool(loaded);
    if (loaded) {
      j.out += ',';
      j.Key("width");
      j.Int(m.textureImage->Width());
      j.out += ',';
      j.Key("height");
      j.Int(m.textureImage->Height());
      j.out += ',';
      j.Key("bits");
      j.Int(m.textureImage->BitCount());
    }
    j.out += '}';
    j.Spill();
  }
  j.out += "],\n";
  j.Key("open");
  j.out += '{';
  j.Key("ok");
  j.Bool(open.ok());
  j.out += ',';
  j.Key("error");
  if (open.ok()) j.out += "null";
  else j.Str(DocumentErrorName(open.error));
  // How the last document was read, when it says (a Metasequoia document's version and encoding).
  if (!open.version.empty()) {
    j.out += ',';
    j.Key("version");
    j.Str(open.version);
    j.out += ',';
    j.Key("encoding");
    j.Str(open.encoding);
  }
  if (!open.warnings.empty()) {
    j.out += ',';
    j.Key("warnings");
    j.out += '[';
    for (std::size_t i = 0; i < open.warnings.size(); ++i) {
      if (i) j.out += ',';
      j.Str(open.warnings[i]);
    }
    j.out += ']';
  }
  j.out += "}}\n";
}

}  // namespace

std::string SceneToJson(const CMeshwright& scene, bool summary, const DocumentResult& open) {
  Json j;
  WriteJson(j, scene, summary, open);
  return j.out;
}

bool WriteSceneJson(const CMeshwright& scene, bool summary, const DocumentResult& open, std::FILE* file) {
  Json j;
  j.file = file;
  WriteJson(j, scene, summary, open);
  j.Spill(0);
  return !j.failed;
}

}  // namespace mw
