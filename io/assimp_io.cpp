#include "io/assimp_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <assimp/config.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <algorithm>
#include <array>
#include <bit>
#include <assimp/Exporter.hpp>
#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>
#include <assimp/Importer.hpp>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "io/confined_io_system.h"
#include "io/position_weld.h"
#include "platform/atomic_file.h"
#include "platform/encoding.h"
#include "scene/polygon_triangles.h"
#include "scene/texture_service.h"

namespace mw {
namespace {

// ---------------------------------------------------------------------------------------------
// Materials, both ways. Assimp speaks in colours (diffuse Kd, ambient Ka, emissive Ke, specular
// Ks); a CMaterial holds one base colour and factors of it. Exporting writes the colours the
// program draws with; importing picks a base colour and expresses the others as factors of it,
// so a material that went out and came back draws the same.
//
//   CMaterial    from Assimp (import)                              to Assimp (export)
//   ----------   ------------------------------------------------  -------------------------------
//   name         AI_MATKEY_NAME, UTF-8 -> CP932 ('?' for the rest)  AI_MATKEY_NAME, CP932 -> UTF-8
//   color rgb    base B: Kd, else Ke, else Ka (the first not black)  -
//   diffuse      max(Kd) / max(B), clamped to 0..1                  COLOR_DIFFUSE  = color * diffuse
//   ambient      max(Ka) / max(B), clamped to 0..1                  COLOR_AMBIENT  = color * ambient
//   emissive     max(Ke) / max(B), clamped to 0..1                  COLOR_EMISSIVE = color * emissive
//   specular     mean of Ks                                         COLOR_SPECULAR = (s, s, s)
//   power        SHININESS                                          SHININESS
//   color alpha  OPACITY, else the diffuse colour's alpha           OPACITY (the diffuse alpha is 1)
//   texture      DIFFUSE texture 0, else BASE_COLOR texture 0       DIFFUSE texture 0
//   alphaPlane   OPACITY texture 0                                  OPACITY texture 0
//   bump         HEIGHT texture 0, else NORMALS texture 0           HEIGHT texture 0
//
// A material without any colour keeps CMaterial's defaults for the colour and factors. Texture
// names are kept as the file gives them (converted to CP932); an embedded texture ("*0") has no
// file name and is dropped (counted in the warning).
// ---------------------------------------------------------------------------------------------

float MaxOf(const aiColor4D& c) { return std::max({c.r, c.g, c.b}); }

float Clamp01(double v) { return static_cast<float>(std::clamp(v, 0.0, 1.0)); }

bool GetColor(const aiMaterial& m, const char* key, unsigned type, unsigned index, aiColor4D& out) {
  out = aiColor4D(0.0f, 0.0f, 0.0f, 1.0f);
  return m.Get(key, type, index, out) == AI_SUCCESS;
}

// The file name an embedded texture ("*3") was given, or "" when it could not be.
using EmbeddedTextureName = std::function<std::string(unsigned index)>;

// The texture file name of `type`, or "" (also for an embedded texture that could not be given a
// file, which sets `embedded`).
std::string TextureName(const aiMaterial& m, aiTextureType type, bool& embedded, const EmbeddedTextureName& extract) {
  aiString path;
  if (m.GetTextureCount(type) == 0 || m.GetTexture(type, 0, &path) != AI_SUCCESS) return std::string();
  if (path.length == 0) return std::string();
  if (path.data[0] == '*') {
    char* end = nullptr;
    const unsigned long index = std::strtoul(path.data + 1, &end, 10);
    std::string name = extract && end != path.data + 1 && *end == '\0' ? extract(static_cast<unsigned>(index)) : std::string();
    if (name.empty()) embedded = true;
    return name;
  }
  return Utf8ToCp932(std::string_view(path.data, path.length));
}

CMaterial ImportMaterial(const aiMaterial& m, std::int32_t id, int& embeddedTextures,
                         const EmbeddedTextureName& extract = nullptr) {
  CMaterial out(id);
  aiString name;
  if (m.Get(AI_MATKEY_NAME, name) == AI_SUCCESS && name.length > 0)
    out.name = Utf8ToCp932(std::string_view(name.data, name.length));

  aiColor4D kd, ka, ke, ks;
  const bool hasKd = GetColor(m, AI_MATKEY_COLOR_DIFFUSE, kd) || GetColor(m, AI_MATKEY_BASE_COLOR, kd);
  const bool hasKa = GetColor(m, AI_MATKEY_COLOR_AMBIENT, ka);
  const bool hasKe = GetColor(m, AI_MATKEY_COLOR_EMISSIVE, ke);
  const bool hasKs = GetColor(m, AI_MATKEY_COLOR_SPECULAR, ks);
  const aiColor4D* base = nullptr;
  for (const aiColor4D* c : {&kd, &ke, &ka})
    if (MaxOf(*c) > 0.0f) {
      base = c;
      break;
    }
  if (base) {
    const double top = MaxOf(*base);
    for (int k = 0; k < 3; ++k) out.color[k] = (&base->r)[k];
    out.diffuse = Clamp01(MaxOf(kd) / top);
    out.ambient = Clamp01(MaxOf(ka) / top);
    out.emissive = Clamp01(MaxOf(ke) / top);
  } else if (hasKd || hasKa || hasKe) {
    // Every colour given is black.
    for (int k = 0; k < 3; ++k) out.color[k] = 0.0f;
  }
  if (hasKs) out.specular = static_cast<float>((static_cast<double>(ks.r) + ks.g + ks.b) / 3.0);
  float value = 0.0f;
  if (m.Get(AI_MATKEY_SHININESS, value) == AI_SUCCESS) out.power = value;
  if (m.Get(AI_MATKEY_OPACITY, value) == AI_SUCCESS) out.color[3] = value;
  else if (hasKd) out.color[3] = kd.a;

  bool embedded = false;
  out.texture = TextureName(m, aiTextureType_DIFFUSE, embedded, extract);
  if (out.texture.empty()) out.texture = TextureName(m, aiTextureType_BASE_COLOR, embedded, extract);
  out.alphaPlane = TextureName(m, aiTextureType_OPACITY, embedded, extract);
  out.bump = TextureName(m, aiTextureType_HEIGHT, embedded, extract);
  if (out.bump.empty()) out.bump = TextureName(m, aiTextureType_NORMALS, embedded, extract);
  if (embedded) ++embeddedTextures;
  return out;
}

// Whether Assimp made the material up for a file that names none: its readers give such files
// one of their own (white or grey, lit by every term, named AI_DEFAULT_MATERIAL_NAME or not at
// all), where the document's own new material looks better and is what the user would get.
bool MadeUpMaterial(const aiMaterial& m, bool formatHasMaterials) {
  aiString name;
  const bool named = m.Get(AI_MATKEY_NAME, name) == AI_SUCCESS && name.length > 0;
  if (named && std::string_view(name.data, name.length) != AI_DEFAULT_MATERIAL_NAME && formatHasMaterials)
    return false;
  for (aiTextureType type : {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR, aiTextureType_OPACITY})
    if (m.GetTextureCount(type) > 0) return false;
  return !formatHasMaterials || named;
}

// The texture files an export takes along, and the names it writes for them.
struct ExportTextures {
  std::map<std::string, std::string> names;                 // the material's name (CP932) -> written (UTF-8)
  std::vector<std::pair<std::string, std::string>> copies;  // beside the output: path, bytes
  std::vector<std::pair<std::string, std::string>> embedded;  // into the output: bytes, format hint
};

aiMaterial* ExportMaterial(const CMaterial& m, const ExportTextures* textures = nullptr) {
  auto* out = new aiMaterial;
  const std::string utf8 = Cp932ToUtf8(m.name);
  const aiString name(utf8);
  out->AddProperty(&name, AI_MATKEY_NAME);
  auto scaled = [&m](float f) { return aiColor4D(m.color[0] * f, m.color[1] * f, m.color[2] * f, 1.0f); };
  // The alpha goes as OPACITY only: glTF's writer multiplies the two.
  const aiColor4D kd = scaled(m.diffuse);
  const aiColor4D ka = scaled(m.ambient), ke = scaled(m.emissive);
  const aiColor4D ks(m.specular, m.specular, m.specular, 1.0f);
  out->AddProperty(&kd, 1, AI_MATKEY_COLOR_DIFFUSE);
  out->AddProperty(&ka, 1, AI_MATKEY_COLOR_AMBIENT);
  out->AddProperty(&ke, 1, AI_MATKEY_COLOR_EMISSIVE);
  out->AddProperty(&ks, 1, AI_MATKEY_COLOR_SPECULAR);
  out->AddProperty(&m.power, 1, AI_MATKEY_SHININESS);
  out->AddProperty(&m.color[3], 1, AI_MATKEY_OPACITY);
  auto texture = [out, textures](const std::string& cp932, aiTextureType type) {
    if (cp932.empty()) return;
    const auto named = textures ? textures->names.find(cp932) : decltype(textures->names.end()){};
    const aiString path(textures && named != textures->names.end() ? named->second : Cp932ToUtf8(cp932));
    out->AddProperty(&path, AI_MATKEY_TEXTURE(type, 0));
  };
  texture(m.texture, aiTextureType_DIFFUSE);
  texture(m.alphaPlane, aiTextureType_OPACITY);
  texture(m.bump, aiTextureType_HEIGHT);
  return out;
}

// ---------------------------------------------------------------------------------------------
// Import.
// ---------------------------------------------------------------------------------------------

// A library's reason as one line of text.
std::string OneLine(const char* text) {
  std::string line;
  for (const char* p = text; p && *p; ++p) {
    const char c = (*p == '\n' || *p == '\r' || *p == '\t') ? ' ' : *p;
    if (c == ' ' && (line.empty() || line.back() == ' ')) continue;
    line += c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  if (line.size() > 300) line = line.substr(0, 300) + "...";
  return line;
}

struct Matrix {
  double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

  static Matrix From(const aiMatrix4x4& a) {
    Matrix r;
    const ai_real* row[3] = {&a.a1, &a.b1, &a.c1};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 4; ++j) r.m[i][j] = row[i][j];
    return r;
  }
  Matrix operator*(const Matrix& b) const {
    Matrix r;
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 4; ++j) {
        double v = m[i][0] * b.m[0][j] + m[i][1] * b.m[1][j] + m[i][2] * b.m[2][j];
        if (j == 3) v += m[i][3];
        r.m[i][j] = v;
      }
    }
    return r;
  }
  CVector Apply(const aiVector3D& p) const {
    double out[3];
    for (int i = 0; i < 3; ++i) out[i] = m[i][0] * p.x + m[i][1] * p.y + m[i][2] * p.z + m[i][3];
    return CVector(static_cast<float>(out[0]), static_cast<float>(out[1]), static_cast<float>(out[2]));
  }
  // A mirroring transform turns faces inside out unless their corners are reversed.
  bool Mirrors() const {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    return det < 0.0;
  }
};

// What the document cannot hold, counted while reading and told once.
struct Dropped {
  unsigned points = 0, animations = 0, cameras = 0, lights = 0, bones = 0, morphs = 0;
  unsigned colourMeshes = 0, extraUvMeshes = 0, embeddedTextures = 0;

  std::string Text() const {
    std::string list;
    auto add = [&list](unsigned n, const char* what) {
      if (n == 0) return;
      if (!list.empty()) list += "、";
      list += what;
      list += ' ';
      list += std::to_string(n);
    };
    add(points, "点");
    add(animations, "アニメーション");
    add(bones, "ボーン");
    add(morphs, "モーフ");
    add(cameras, "カメラ");
    add(lights, "ライト");
    add(colourMeshes, "頂点カラーのあるメッシュ");
    add(extraUvMeshes, "2組目以降のUVのあるメッシュ");
    add(embeddedTextures, "埋め込みテクスチャ");
    return list.empty() ? list : "読み込まなかったもの: " + list;
  }
};

class SceneReader {
 public:
  SceneReader(const aiScene& scene, std::string fallbackName, std::int32_t firstMaterialId, bool formatHasMaterials)
      : scene_(scene),
        fallbackName_(std::move(fallbackName)),
        formatHasMaterials_(formatHasMaterials),
        nextMaterialId_(firstMaterialId),
        materialIds_(scene.mNumMaterials, -1) {}

  // False with `result` set when the scene cannot be taken.
  bool Read(DocumentResult& result);

  // By Assimp's mesh: whether its triangles encode polygons as fans (glTF's FB_ngon_encoding).
  std::vector<char> ngonEncoded;
  // Where textures embedded in the file are written as files of their own (the file's folder,
  // ending in '/'), and the stem their names start with; empty: they are not.
  std::string textureFolder, textureStem;

  std::vector<CModel> models;
  std::vector<CMaterial> materials;
  Dropped dropped;

 private:
  bool ReadNode(const aiNode& node, const Matrix& transform, DocumentResult& result);
  std::int32_t MaterialId(unsigned index);
  std::string ExtractTexture(unsigned index);

  const aiScene& scene_;
  std::string fallbackName_;
  bool formatHasMaterials_;
  std::int32_t nextMaterialId_;
  std::vector<std::int32_t> materialIds_;  // Assimp's material index -> identifier, -1 until used
  std::map<unsigned, std::string> extracted_;  // embedded texture -> the name its file got
};

bool SceneReader::Read(DocumentResult& result) {
  dropped.animations = scene_.mNumAnimations;
  dropped.cameras = scene_.mNumCameras;
  dropped.lights = scene_.mNumLights;
  dropped.embeddedTextures = 0;
  for (unsigned i = 0; i < scene_.mNumMeshes; ++i) {
    const aiMesh* mesh = scene_.mMeshes[i];
    if (!mesh) continue;
    dropped.bones += mesh->mNumBones;
    dropped.morphs += mesh->mNumAnimMeshes;
    if (mesh->HasVertexColors(0)) ++dropped.colourMeshes;
    if (mesh->HasTextureCoords(1)) ++dropped.extraUvMeshes;
  }
  if (!scene_.mRootNode) return true;
  // Nodes are visited with an explicit stack: a hostile file's hierarchy can be deeper than the
  // call stack. An importer's own root ("<3DSRoot>", "<STL_BINARY>": Assimp's names start with
  // '<') carries the importer's turn to its Y-up convention, not the file's: it is not applied,
  // so coordinates come in as the file stores them.
  const aiNode* root = scene_.mRootNode;
  const bool synthetic = root->mName.length > 0 && root->mName.data[0] == '<';
  std::vector<std::pair<const aiNode*, Matrix>> stack;
  stack.emplace_back(root, synthetic ? Matrix() : Matrix::From(root->mTransformation));
  std::size_t visited = 0;
  while (!stack.empty()) {
    const auto [node, transform] = stack.back();
    stack.pop_back();
    if (++visited > 10'000'000) {
      result = DocumentFailure(DocumentError::kTooLarge);
      return false;
    }
    if (!ReadNode(*node, transform, result)) return false;
    // Children are pushed last to first so that models come out in the file's order.
    for (unsigned c = node->mNumChildren; c-- > 0;) {
      const aiNode* child = node->mChildren[c];
      if (child) stack.emplace_back(child, transform * Matrix::From(child->mTransformation));
    }
  }
  return true;
}

// A texture embedded in the file (a .glb's PNG or JPEG) becomes a file beside it, named after the
// file and the texture's number ("duck_0.png"), so that the document can name it like any other
// texture. A file already there under that name is used when it holds the same bytes and is
// otherwise left alone (the next free number is taken).
std::string SceneReader::ExtractTexture(unsigned index) {
  if (auto it = extracted_.find(index); it != extracted_.end()) return it->second;
  std::string& name = extracted_[index];
  if (textureFolder.empty() || index >= scene_.mNumTextures || !scene_.mTextures || !scene_.mTextures[index]) return name;
  const aiTexture& t = *scene_.mTextures[index];
  if (t.mHeight != 0 || t.mWidth == 0 || !t.pcData) return name;  // raw texels: no file format to write
  std::string extension;
  for (const char* c = t.achFormatHint; *c && c < t.achFormatHint + sizeof t.achFormatHint; ++c)
    extension += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  if (extension.empty() || extension.size() > 4 ||
      !std::all_of(extension.begin(), extension.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
    return name;
  const std::string_view bytes(reinterpret_cast<const char*>(t.pcData), t.mWidth);
  for (int n = 1; n < 100; ++n) {
    const std::string file = textureStem + "_" + std::to_string(index) + (n > 1 ? "_" + std::to_string(n) : "") + "." + extension;
    const std::string path = textureFolder + file;
    if (std::FILE* there = std::fopen(path.c_str(), "rb")) {
      std::string held(bytes.size() + 1, '\0');
      held.resize(std::fread(held.data(), 1, held.size(), there));
      std::fclose(there);
      if (held != bytes) continue;
    } else {
      AtomicFileWriter writer(path);
      if (!writer.Write(bytes.data(), bytes.size()) || !writer.Commit()) return name;
    }
    name = Utf8ToCp932(file);
    return name;
  }
  return name;
}

std::int32_t SceneReader::MaterialId(unsigned index) {
  if (materialIds_[index] < 0) {
    int embedded = 0;
    const aiMaterial& m = *scene_.mMaterials[index];
    if (MadeUpMaterial(m, formatHasMaterials_)) {
      CMaterial made(nextMaterialId_);
      aiString name;
      if (m.Get(AI_MATKEY_NAME, name) == AI_SUCCESS && name.length > 0)
        made.name = Utf8ToCp932(std::string_view(name.data, name.length));
      materials.push_back(std::move(made));
    } else {
      materials.push_back(ImportMaterial(m, nextMaterialId_, embedded, [this](unsigned i) { return ExtractTexture(i); }));
    }
    dropped.embeddedTextures += static_cast<unsigned>(embedded);
    materialIds_[index] = nextMaterialId_;
    nextMaterialId_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(nextMaterialId_) + 1u);
  }
  return materialIds_[index];
}

// The outline of a polygon written as `count` triangles (FB_ngon_encoding: they share their first
// corner, which is the polygon's): the edges no two triangles share, walked from that corner in
// the triangles' own direction. False when they do not make one simple outline.
bool PolygonOutline(const aiFace* triangles, unsigned count, std::vector<unsigned>& outline) {
  std::map<std::pair<unsigned, unsigned>, int> edges;
  for (unsigned t = 0; t < count; ++t)
    for (unsigned k = 0; k < 3; ++k) ++edges[{triangles[t].mIndices[k], triangles[t].mIndices[(k + 1) % 3]}];
  std::unordered_map<unsigned, unsigned> next;
  for (const auto& [edge, uses] : edges) {
    if (uses != 1) return false;
    if (edges.count({edge.second, edge.first})) continue;  // inside the polygon
    if (!next.emplace(edge.first, edge.second).second) return false;
  }
  if (next.size() != count + 2) return false;
  outline.clear();
  unsigned at = triangles[0].mIndices[0];
  do {
    const auto it = next.find(at);
    if (it == next.end() || outline.size() > next.size()) return false;
    outline.push_back(at);
    at = it->second;
  } while (at != triangles[0].mIndices[0]);
  return outline.size() == next.size();
}

// glTF's JSON: a .gltf file is all of it, a .glb holds it as its first chunk. Empty when it is
// neither (or the JSON is larger than any sound file's).
std::string GltfJson(std::string_view bytes) {
  if (bytes.size() < 20 || bytes.substr(0, 4) != "glTF") {
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && bytes[first] == '{' ? std::string(bytes) : std::string();
  }
  std::uint32_t length, type;
  std::memcpy(&length, bytes.data() + 12, 4);
  std::memcpy(&type, bytes.data() + 16, 4);
  if (type != 0x4E4F534Au || length > bytes.size() - 20) return std::string();
  return std::string(bytes.substr(20, length));
}

std::string ReadGltfJson(const std::string& path) {
  constexpr std::uint32_t kLargest = 256u << 20;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return std::string();
  std::string bytes(20, '\0');
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  std::uint32_t length = kLargest;
  if (bytes.size() == 20 && bytes.compare(0, 4, "glTF") == 0) {
    std::memcpy(&length, bytes.data() + 12, 4);
    length = std::min(length, kLargest) + 20;
  }
  if (length > bytes.size()) {
    const std::size_t had = bytes.size();
    bytes.resize(length);
    bytes.resize(had + std::fread(bytes.data() + had, 1, length - had, f));
  }
  std::fclose(f);
  return GltfJson(bytes);
}

// Which of Assimp's meshes hold FB_ngon_encoding's fans: its glTF reader makes one mesh of each
// primitive, in the file's order, and knows nothing of the extension. Nothing when the JSON and
// Assimp's meshes do not agree primitive for primitive.
std::vector<char> NgonEncodedMeshes(const aiScene& scene, const std::string& jsonText) {
  if (jsonText.find("FB_ngon_encoding") == std::string::npos) return {};
  try {
    const nlohmann::json json = nlohmann::json::parse(jsonText);
    const nlohmann::json& meshes = json.at("meshes");
    const nlohmann::json* accessors = json.contains("accessors") ? &json.at("accessors") : nullptr;
    std::vector<char> encoded;
    bool any = false;
    for (const nlohmann::json& mesh : meshes)
      for (const nlohmann::json& primitive : mesh.at("primitives")) {
        const std::size_t k = encoded.size();
        if (k >= scene.mNumMeshes || !scene.mMeshes[k]) return {};
        const aiMesh& m = *scene.mMeshes[k];
        const bool flagged = primitive.contains("extensions") && primitive.at("extensions").contains("FB_ngon_encoding");
        const int mode = primitive.value("mode", 4);
        std::uint64_t corners = m.mNumVertices;
        if (primitive.contains("indices"))
          corners = accessors ? accessors->at(primitive.at("indices").get<std::size_t>()).at("count").get<std::uint64_t>() : 0;
        if (flagged && (mode != 4 || m.mPrimitiveTypes != aiPrimitiveType_TRIANGLE || corners != std::uint64_t{m.mNumFaces} * 3))
          return {};
        encoded.push_back(flagged ? 1 : 0);
        any = any || flagged;
      }
    if (!any || encoded.size() != scene.mNumMeshes) return {};
    return encoded;
  } catch (const nlohmann::json::exception&) {
    return {};
  }
}

// Whether `name` is one Assimp makes up for what the file left unnamed: its importers' roots
// ("<STL_BINARY>"), the OBJ reader's "defaultobject", the glTF reader's "nodes[3]" and "meshes[0]".
bool MadeUpName(std::string_view name) {
  if (name.empty() || name[0] == '<' || name == "defaultobject") return true;
  for (std::string_view prefix : {"nodes[", "meshes["}) {
    if (!name.starts_with(prefix) || name.back() != ']' || name.size() == prefix.size() + 1) continue;
    const std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - 1);
    if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return true;
  }
  return false;
}

bool SceneReader::ReadNode(const aiNode& node, const Matrix& transform, DocumentResult& result) {
  if (node.mNumMeshes == 0) return true;
  auto damaged = [&result](const char* why) {
    result = DocumentFailure(DocumentError::kUnexpectedFormat);
    result.detail = why;
    return false;
  };
  CModel model;
  // Names Assimp makes up are not the file's: the mesh's name or the file's is better.
  const std::string_view nodeName(node.mName.data, node.mName.length);
  std::string name = MadeUpName(nodeName) ? std::string() : std::string(nodeName);
  const bool mirrors = transform.Mirrors();
  PositionWeld welded;
  std::vector<std::int32_t> vertexOf;
  std::vector<unsigned> outline;
  {
    // Sized once for the node's meshes (within what a sound file of that size holds).
    std::size_t vertices = 0, faces = 0;
    for (unsigned i = 0; i < node.mNumMeshes; ++i)
      if (node.mMeshes[i] < scene_.mNumMeshes && scene_.mMeshes[node.mMeshes[i]]) {
        vertices += scene_.mMeshes[node.mMeshes[i]]->mNumVertices;
        faces += scene_.mMeshes[node.mMeshes[i]]->mNumFaces;
      }
    vertices = std::min<std::size_t>(vertices, std::size_t{1} << 26);
    faces = std::min<std::size_t>(faces, std::size_t{1} << 26);
    // Not the model's vertex list: Assimp gives some formats a vertex per corner, which the weld joins.
    welded.Reserve(vertices);
    model.faces.reserve(faces);
  }
  for (unsigned i = 0; i < node.mNumMeshes; ++i) {
    if (node.mMeshes[i] >= scene_.mNumMeshes || !scene_.mMeshes[node.mMeshes[i]])
      return damaged("mesh index out of range");
    const unsigned meshIndex = node.mMeshes[i];
    const aiMesh& mesh = *scene_.mMeshes[meshIndex];
    const std::string_view meshName(mesh.mName.data, mesh.mName.length);
    if (name.empty() && !MadeUpName(meshName)) name = meshName;
    if (mesh.mMaterialIndex >= scene_.mNumMaterials) return damaged("material index out of range");
    if (mesh.mNumVertices > 0 && !mesh.mVertices) return damaged("mesh without positions");

    // Corners at one position become one vertex of the model.
    vertexOf.assign(mesh.mNumVertices, -1);
    std::int32_t materialId = 0;
    bool materialTaken = false;
    const aiVector3D* uvs = mesh.HasTextureCoords(0) ? mesh.mTextureCoords[0] : nullptr;
    // Appends one face of `n` corners (Assimp's vertex numbers, counter-clockwise-front).
    auto addFace = [&](const unsigned* corners, unsigned n) {
      if (!materialTaken) {
        materialId = MaterialId(mesh.mMaterialIndex);
        materialTaken = true;
      }
      CFace& out = model.faces.emplace_back();
      out.material = materialId;
      out.indices.reserve(n);
      if (uvs) out.uvs.reserve(n);
      // Assimp's front is counter-clockwise, the document's clockwise: a polygon's corners are
      // reversed, unless a mirroring transform has reversed them already.
      const bool reverse = n > 2 && !mirrors;
      for (unsigned k = 0; k < n; ++k) {
        const unsigned index = corners[reverse ? n - 1 - k : k];
        if (index >= mesh.mNumVertices) return damaged("face index out of range");
        std::int32_t& v = vertexOf[index];
        if (v < 0) {
          const CVector p = transform.Apply(mesh.mVertices[index]);
          if (model.vertices.size() >= static_cast<std::size_t>(INT32_MAX)) {
            result = DocumentFailure(DocumentError::kTooLarge);
            return false;
          }
          bool added = false;
          v = welded.Find(KeyOf(p), added);
          if (added) model.vertices.emplace_back(p.x, p.y, p.z);
        }
        out.indices.push_back(v);
        // Assimp's V grows upwards, the document's downwards, as Metasequoia's does.
        if (uvs) out.uvs.push_back(CUV(uvs[index].x, 1.0f - uvs[index].y));
      }
      return true;
    };
    const bool ngons = meshIndex < ngonEncoded.size() && ngonEncoded[meshIndex];
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
      const aiFace& face = mesh.mFaces[f];
      if (face.mNumIndices == 0) continue;
      if (face.mNumIndices == 1) {
        ++dropped.points;
        continue;
      }
      if (!face.mIndices) return damaged("face without indices");
      if (ngons && face.mNumIndices == 3) {
        // The triangles of one polygon follow each other and share their first corner.
        unsigned last = f;
        while (last + 1 < mesh.mNumFaces && mesh.mFaces[last + 1].mNumIndices == 3 && mesh.mFaces[last + 1].mIndices &&
               mesh.mFaces[last + 1].mIndices[0] == face.mIndices[0])
          ++last;
        if (last > f) {
          if (PolygonOutline(mesh.mFaces + f, last - f + 1, outline)) {
            if (!addFace(outline.data(), static_cast<unsigned>(outline.size()))) return false;
          } else {
            // Not one polygon after all: its triangles as they are, each looked at once.
            for (unsigned t = f; t <= last; ++t)
              if (!addFace(mesh.mFaces[t].mIndices, 3)) return false;
          }
          f = last;
          continue;
        }
      }
      if (!addFace(face.mIndices, face.mNumIndices)) return false;
    }
  }
  if (model.faces.empty()) return true;
  model.name = Utf8ToCp932(name.empty() ? fallbackName_ : name);
  model.RebuildFaceRefs();
  models.push_back(std::move(model));
  return true;
}

// Damage that makes this Assimp (5.2) crash rather than refuse, found by fuzzing and in real
// files: such files are refused here, before Assimp sees them. Returns the reason, or "".
std::string RefuseBeforeAssimp(std::string_view head, std::uint64_t fileSize, std::string_view extension,
                               bool inProcess) {
  auto is = [&extension](const char* e) {
    return extension.size() == std::strlen(e) && std::equal(extension.begin(), extension.end(), e, [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) == b;
           });
  };
  // Assimp's LWO3 reading crashes on some files: a crash costs the helper process, not the
  // program, so only a reading in this process refuses them.
  if (inProcess && is("lwo") && head.size() >= 12 && head.substr(0, 4) == "FORM" && head.substr(8, 4) == "LWO3")
    return "LWO3 objects (LightWave 2018 and later) are not supported";
  if (is("ply") || head.substr(0, 4) == "ply\n" || head.substr(0, 5) == "ply\r\n") {
    // The header must end, and every line of it must be one Assimp's header reader knows.
    const std::size_t end = head.find("end_header");
    if (end == std::string_view::npos) return "PLY header without end_header";
    // Its ASCII reader never finishes when the data starts on the end_header line.
    std::size_t after = end + 10;
    while (after < head.size() && (head[after] == ' ' || head[after] == '\r')) ++after;
    if (after < head.size() && head[after] != '\n') return "PLY data on the end_header line";
    std::size_t at = 0;
    while (at < end) {
      std::size_t eol = head.find('\n', at);
      if (eol == std::string_view::npos || eol > end) eol = end;
      std::string_view line = head.substr(at, eol - at);
      at = eol + 1;
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
      if (line.empty()) continue;
      bool known = false;
      for (const char* word : {"ply", "format ", "comment", "obj_info", "element ", "property "})
        known = known || line.substr(0, std::strlen(word)) == word;
      for (char c : line) known = known && (c == '\t' || (c >= ' ' && c < 127));
      if (!known) return "damaged PLY header";
      // Assimp sizes its lists by the announced counts: a count the file cannot hold (every
      // element takes a byte at least) would allocate without bound.
      if (line.substr(0, 8) == "element ") {
        const std::size_t space = line.rfind(' ');
        const std::string count(line.substr(space + 1));
        char* stop = nullptr;
        const unsigned long long n = std::strtoull(count.c_str(), &stop, 10);
        if (count.empty() || *stop != '\0' || n > fileSize) return "PLY element count larger than the file";
      }
    }
  }
  return std::string();
}

// An XML document in UTF-16 (COLLADA from some writers): it starts with a byte order mark.
bool IsUtf16Xml(std::string_view head) {
  return head.size() >= 4 && ((head.substr(0, 4) == std::string_view("\xFF\xFE<\0", 4)) ||
                              (head.substr(0, 4) == std::string_view("\xFE\xFF\0<", 4)));
}

bool ReadWholeFile(const std::string& path, std::uint64_t size, std::string& out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.resize(static_cast<std::size_t>(size));
  out.resize(std::fread(out.data(), 1, out.size(), f));
  std::fclose(f);
  return true;
}

// UTF-16 text after its byte order mark, as UTF-8, its declaration saying so. An unpaired
// surrogate becomes U+FFFD.
std::string XmlAsUtf8(std::string_view utf16) {
  const bool big = static_cast<unsigned char>(utf16[0]) == 0xFE;
  auto unit = [&](std::size_t i) {
    const auto a = static_cast<unsigned char>(utf16[i]), b = static_cast<unsigned char>(utf16[i + 1]);
    return static_cast<std::uint32_t>(big ? (a << 8 | b) : (b << 8 | a));
  };
  std::string out;
  out.reserve(utf16.size() / 2 + 16);
  for (std::size_t i = 2; i + 1 < utf16.size(); i += 2) {
    std::uint32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < utf16.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  // The declaration named the encoding the text is no longer in.
  const std::size_t end = out.find("?>");
  if (out.compare(0, 5, "<?xml") == 0 && end != std::string::npos) {
    std::string declaration = out.substr(0, end);
    for (char& ch : declaration) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const std::size_t at = declaration.find("utf-16");
    if (at != std::string::npos) out.replace(at, 6, "UTF-8");
  }
  return out;
}

// The import flags. No triangulation: polygons keep their corners. Validation checks every index
// Assimp hands over before anything here uses it (and this code checks them again). No vertex
// join: the model's vertices are welded by position in ReadNode, and Assimp's join (which also
// compares normals, UVs and colours) took four times as long as reading an OBJ, and five times the
// memory, for nothing that weld does not do.
constexpr unsigned kImportSteps = aiProcess_ValidateDataStructure;

void Configure(Assimp::Importer& importer) {
  // The file's coordinates as they are: no turn to Y up.
  importer.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_IGNORE_UP_DIRECTION, true);
}

std::string FileStem(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name.empty() ? "Model" : name;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// PLY, OFF and STL name no materials: what Assimp gives them it made up.
bool FormatHasMaterials(std::string_view extension) {
  return !SameText(extension, "ply") && !SameText(extension, "off") && !SameText(extension, "stl");
}

// Takes Assimp's scene into `scene`, or leaves `scene` as it was.
DocumentResult Take(CMeshwright& scene, const aiScene* imported, const Assimp::Importer& importer,
                    const std::string& fallbackName, std::string_view extension, const std::string& gltfJson,
                    const std::string& sourcePath) {
  if (!imported) {
    DocumentResult r = DocumentFailure(DocumentError::kReadFailed);
    r.detail = OneLine(importer.GetErrorString());
    return r;
  }
  DocumentResult result;
  SceneReader reader(*imported, fallbackName, scene.nextMaterialId, FormatHasMaterials(extension));
  if (!gltfJson.empty()) reader.ngonEncoded = NgonEncodedMeshes(*imported, gltfJson);
  if (!sourcePath.empty()) {
    const std::size_t slash = sourcePath.rfind('/');
    reader.textureFolder = slash == std::string::npos ? std::string("./") : sourcePath.substr(0, slash + 1);
    reader.textureStem = fallbackName;
  }
  if (!reader.Read(result)) return result;
  if (reader.models.empty()) return DocumentFailure(DocumentError::kNoPolygonMesh);

  const auto added = static_cast<std::int32_t>(reader.materials.size());
  for (CMaterial& m : reader.materials) {
    m.UpdateMaterialColors();
    if (!m.texture.empty()) m.LoadTexture();
    scene.materials.push_back(std::move(m));
  }
  scene.nextMaterialId =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(scene.nextMaterialId) + static_cast<std::uint32_t>(added));
  for (CModel& m : reader.models) {
    m.ComputeNormals(scene.smoothing);
    scene.models.push_back(std::move(m));
  }
  if (std::string text = reader.dropped.Text(); !text.empty()) result.warnings.push_back(std::move(text));
  return result;
}

// ---------------------------------------------------------------------------------------------
// Export.
// ---------------------------------------------------------------------------------------------

// Assimp's writers write through this: every file stays in memory until the export succeeded.
class MemoryStream : public Assimp::IOStream {
 public:
  explicit MemoryStream(std::string* bytes) : bytes_(bytes) {}
  size_t Read(void*, size_t, size_t) override { return 0; }
  size_t Write(const void* data, size_t size, size_t count) override {
    if (size == 0 || count == 0) return 0;
    const std::size_t n = size * count;
    if (position_ + n > bytes_->size()) bytes_->resize(position_ + n);
    std::memcpy(bytes_->data() + position_, data, n);
    position_ += n;
    return count;
  }
  aiReturn Seek(size_t offset, aiOrigin origin) override {
    std::size_t to = offset;
    if (origin == aiOrigin_CUR) to = position_ + offset;
    else if (origin == aiOrigin_END) to = bytes_->size() + offset;
    // Writers may seek past the end to leave room for a header they write last (glb does).
    position_ = to;
    return aiReturn_SUCCESS;
  }
  size_t Tell() const override { return position_; }
  size_t FileSize() const override { return bytes_->size(); }
  void Flush() override {}

 private:
  std::string* bytes_;
  std::size_t position_ = 0;
};

class MemoryFiles : public Assimp::IOSystem {
 public:
  struct File {
    std::string path;
    std::string bytes;
  };
  // In the order first opened; each file keeps its address, so open streams stay valid.
  std::vector<std::unique_ptr<File>> files;

  bool Exists(const char*) const override { return false; }
  char getOsSeparator() const override { return '/'; }
  Assimp::IOStream* Open(const char* path, const char* mode) override {
    if (!path || !mode || !std::strchr(mode, 'w')) return nullptr;  // nothing is read back
    for (auto& f : files)
      if (f->path == path) {
        f->bytes.clear();
        return new MemoryStream(&f->bytes);
      }
    files.push_back(std::make_unique<File>(File{path, std::string()}));
    return new MemoryStream(&files.back()->bytes);
  }
  void Close(Assimp::IOStream* stream) override { delete stream; }
};

struct ExportOptions {
  const char* formatId;  // Assimp's exporter
  unsigned steps;        // post-processing before writing
  bool keepsLines;       // the format holds two-corner faces as lines
  bool linesTakeUVs;     // lines with a textured material get texture coordinates
  bool fanPolygons;      // polygons go out as glTF's FB_ngon_encoding fans
  bool embedsTextures;   // PNG and JPEG textures go into the file
  // Mends what Assimp's writer gets wrong in the main file's bytes; false when they are not as
  // expected.
  bool (*finish)(std::string& bytes) = nullptr;
};

float LoadFloat(const char* p) {
  float f;
  std::memcpy(&f, p, 4);
  return f;
}

// Assimp's binary STL writer gives each facet the mean of its corners' smoothed normals; a
// facet normal is the triangle's own, of unit length (zero for a triangle without area).
bool FinishStl(std::string& bytes) {
  if (bytes.size() < 84) return false;
  std::uint32_t count;
  std::memcpy(&count, bytes.data() + 80, 4);
  if (bytes.size() != 84 + std::uint64_t{count} * 50) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    char* record = bytes.data() + 84 + std::size_t{i} * 50;
    double p[3][3];
    for (int v = 0; v < 3; ++v)
      for (int k = 0; k < 3; ++k) p[v][k] = LoadFloat(record + 12 + v * 12 + k * 4);
    const double a[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
    const double b[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
    double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double& c : n) c = length > 0.0 && std::isfinite(length) ? c / length : 0.0;
    for (int k = 0; k < 3; ++k) {
      const float f = static_cast<float>(n[k]);
      std::memcpy(record + k * 4, &f, 4);
    }
  }
  return true;
}

// Assimp's PLY writer names the face list "vertex_index"; the format's own examples and most
// readers say "vertex_indices" (Assimp reads both).
bool FinishPly(std::string& bytes) {
  const std::size_t end = bytes.find("end_header\n");
  const std::size_t at = bytes.rfind(" vertex_index\n", end);
  if (end == std::string::npos || at == std::string::npos) return false;
  bytes.replace(at, 14, " vertex_indices\n");
  return true;
}

// Corners of one mesh (a vertex and a texture coordinate) to Assimp vertex numbers, in the order
// first seen. Addressed by the vertex, each vertex's corners chained (one or two of them, mostly):
// faces come in the model's order, so neighbouring corners sit near each other in memory, where
// a node-based hash map, never reserved, took a third of a big export. The arrays are the
// model's, made once and cleared after each mesh only where used.
class CornerNumbers {
 public:
  explicit CornerNumbers(std::size_t vertices) : first_(vertices, kNone) {}
  void Start(std::size_t corners) {
    next_.clear();
    next_.reserve(corners);
  }
  // The number of the corner in `corners` (vertex, coordinate), added at its end when new.
  unsigned Find(std::int32_t vertex, const CUV& uv, std::vector<std::pair<std::int32_t, CUV>>& corners, bool& added) {
    unsigned& head = first_[static_cast<std::size_t>(vertex)];
    for (unsigned c = head; c != kNone; c = next_[c]) {
      const CUV& o = corners[c].second;
      if (std::memcmp(&o, &uv, sizeof(CUV)) == 0) {
        added = false;
        return c;
      }
    }
    added = true;
    const auto c = static_cast<unsigned>(corners.size());
    corners.emplace_back(vertex, uv);
    // Copies a fan adds for itself are not in the chains: keep next_ in step with the list.
    next_.resize(corners.size(), kNone);
    next_[c] = head;
    head = c;
    return c;
  }
  void Finish(const std::vector<std::pair<std::int32_t, CUV>>& corners) {
    for (const auto& c : corners) first_[static_cast<std::size_t>(c.first)] = kNone;
  }

 private:
  static constexpr unsigned kNone = UINT32_MAX;
  std::vector<unsigned> first_, next_;
};

// The built scene with the blocks its faces' corner lists point into: one block per mesh instead
// of Assimp's one allocation per face. Assimp's destructors free each face's list on their own,
// so the lists are let go of before the scene goes.
struct BuiltScene {
  std::unique_ptr<aiScene> scene;
  std::vector<std::unique_ptr<unsigned[]>> indexBlocks;
  BuiltScene() = default;
  BuiltScene(BuiltScene&&) = default;
  BuiltScene& operator=(BuiltScene&&) = default;
  ~BuiltScene() {
    if (!scene || indexBlocks.empty()) return;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m)
      if (aiMesh* mesh = scene->mMeshes[m])
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) mesh->mFaces[f].mIndices = nullptr;
  }
};

// Faces as one list of corners and where each starts: a big export makes millions of them.
struct FaceList {
  std::vector<unsigned> starts, corners;
  void Add(std::initializer_list<unsigned> face) { Add(face.begin(), face.size()); }
  void Add(const unsigned* face, std::size_t n) {
    starts.push_back(static_cast<unsigned>(corners.size()));
    corners.insert(corners.end(), face, face + n);
  }
  std::size_t size() const { return starts.size(); }
  std::size_t CornerCount(std::size_t i) const { return (i + 1 < starts.size() ? starts[i + 1] : corners.size()) - starts[i]; }
};

// Appends `face` (corner numbers, counter-clockwise-front) to `out` as glTF's FB_ngon_encoding
// writes a polygon: triangles in a fan from one corner, which comes first in each of them and
// differs from the first corner of the polygon before. The fan starts at a corner that sees the
// whole outline (every triangle turns the polygon's way); a polygon without one is cut into
// triangles that are told apart as polygons of their own. A corner is doubled where the polygon
// before started at the same one.
void AppendNgonTriangles(const CModel& model, std::vector<std::pair<std::int32_t, CUV>>& corners,
                         std::vector<unsigned>& face, std::vector<CVector>& outline, FaceList& out) {
  const std::size_t n = face.size();
  auto position = [&](unsigned c) { return model.vertices[static_cast<std::size_t>(corners[c].first)].position; };
  auto previousFirst = [&out]() { return out.starts.empty() ? UINT32_MAX : out.corners[out.starts.back()]; };
  auto startAnew = [&](unsigned& corner) {
    // A copy of the corner: the same vertex and coordinate under another number.
    if (corner != previousFirst()) return;
    corners.push_back(corners[corner]);
    corner = static_cast<unsigned>(corners.size() - 1);
  };
  outline.resize(n);
  for (std::size_t k = 0; k < n; ++k) outline[k] = position(face[k]);
  const CVector normal = PolygonNormal(outline);
  auto turnsRight = [&](const CVector& a, const CVector& b, const CVector& c) {
    const CVector x = Cross(b - a, c - a);
    return static_cast<double>(x.x) * normal.x + static_cast<double>(x.y) * normal.y +
               static_cast<double>(x.z) * normal.z > 0.0;
  };
  std::size_t pivot = n, seeing = n;
  // Looking for the corner costs n^2: a huge polygon is cut into triangles at once.
  for (std::size_t j = 0; j < n && pivot == n && n <= 256; ++j) {
    bool sees = true;
    for (std::size_t i = 1; i + 1 < n && sees; ++i)
      sees = turnsRight(outline[j], outline[(j + i) % n], outline[(j + i + 1) % n]);
    if (!sees) continue;
    if (face[j] != previousFirst()) pivot = j;
    else if (seeing == n) seeing = j;
  }
  if (pivot == n) pivot = seeing;
  if (n == 3 || pivot < n) {
    if (pivot == n) pivot = 0;
    std::rotate(face.begin(), face.begin() + static_cast<std::ptrdiff_t>(pivot), face.end());
    startAnew(face[0]);
    for (std::size_t i = 1; i + 1 < n; ++i) out.Add({face[0], face[i], face[i + 1]});
    return;
  }
  std::vector<std::uint32_t> triangles;
  TriangulatePolygon(outline, triangles);
  for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
    std::array<unsigned, 3> tri{face[triangles[t]], face[triangles[t + 1]], face[triangles[t + 2]]};
    if (tri[0] == previousFirst()) std::rotate(tri.begin(), tri.begin() + 1, tri.end());
    out.Add({tri[0], tri[1], tri[2]});
  }
}

// The scene as Assimp's, faces grouped by model, material and kind (polygon or line); the corners
// of a group share Assimp vertices where position and texture coordinate agree.
BuiltScene BuildScene(const CMeshwright& scene, const ExportOptions& options, const ExportTextures& textureFiles,
                      unsigned& droppedLines, unsigned& droppedPoints) {
  const bool keepLines = options.keepsLines;
  BuiltScene built;
  built.scene = std::make_unique<aiScene>();
  aiScene* out = built.scene.get();
  std::map<std::int32_t, unsigned> materialIndex;
  std::vector<aiMaterial*> materials;
  std::vector<char> textured;  // by Assimp's material
  for (const CMaterial& m : scene.materials) {
    if (materialIndex.count(m.id)) continue;
    materialIndex[m.id] = static_cast<unsigned>(materials.size());
    materials.push_back(ExportMaterial(m, &textureFiles));
    textured.push_back(!m.texture.empty() || !m.alphaPlane.empty() || !m.bump.empty());
  }
  unsigned fallbackMaterial = UINT32_MAX;  // for faces naming no material
  auto materialOf = [&](std::int32_t id) {
    if (auto it = materialIndex.find(id); it != materialIndex.end()) return it->second;
    if (fallbackMaterial == UINT32_MAX) {
      fallbackMaterial = static_cast<unsigned>(materials.size());
      materials.push_back(ExportMaterial(CMaterial()));
    }
    return fallbackMaterial;
  };

  std::vector<aiMesh*> meshes;
  std::vector<aiNode*> nodes;
  for (const CModel& model : scene.models) {
    std::map<std::pair<unsigned, bool>, std::vector<const CFace*>> groups;
    // Most models are one group: its list is made once at full size.
    if (!model.faces.empty())
      groups[{materialOf(model.faces.front().material), model.faces.front().indices.size() == 2}].reserve(model.faces.size());
    for (const CFace& face : model.faces) {
      bool valid = true;
      for (std::int32_t i : face.indices) valid = valid && model.HasVertex(i);
      if (!valid) continue;
      const std::size_t n = face.CornerCount();
      if (n < 2) {
        ++droppedPoints;
        continue;
      }
      if (n == 2 && !keepLines) {
        ++droppedLines;
        continue;
      }
      groups[{materialOf(face.material), n == 2}].push_back(&face);
    }
    if (groups.empty()) continue;
    const std::string name = Cp932ToUtf8(model.name);
    auto* node = new aiNode(name);
    std::vector<unsigned> nodeMeshes;
    CornerNumbers cornerIndex(model.vertices.size());
    for (const auto& [key, faces] : groups) {
      if (faces.empty()) continue;
      std::size_t cornerCount = 0, fanCorners = 0;
      for (const CFace* f : faces) {
        cornerCount += f->indices.size();
        fanCorners += f->indices.size() >= 3 ? 3 * (f->indices.size() - 2) : f->indices.size();
      }
      std::vector<std::pair<std::int32_t, CUV>> corners;
      corners.reserve(cornerCount);
      cornerIndex.Start(cornerCount);
      bool hasUVs = false;
      for (const CFace* f : faces) hasUVs = hasUVs || (f->uvs.size() == f->indices.size() && !f->uvs.empty());
      // glTF wants texture coordinates wherever its material has a texture, lines too.
      if (options.linesTakeUVs && key.second && key.first < textured.size() && textured[key.first]) hasUVs = true;
      auto* mesh = new aiMesh;
      mesh->mName = aiString(name);
      mesh->mMaterialIndex = key.first;
      unsigned types = 0;
      FaceList written;
      written.starts.reserve(options.fanPolygons ? cornerCount : faces.size());
      written.corners.reserve(options.fanPolygons ? fanCorners : cornerCount);
      std::vector<unsigned> face;
      std::vector<CVector> outline;
      for (const CFace* fp : faces) {
        const CFace& f = *fp;
        const bool faceUVs = f.uvs.size() == f.indices.size();
        // Out counter-clockwise, as every format written here winds its front.
        const std::size_t n = f.indices.size();
        face.clear();
        for (std::size_t j = 0; j < n; ++j) {
          const std::size_t k = n > 2 ? n - 1 - j : j;
          const CUV uv = faceUVs ? f.uvs[k] : CUV();
          bool added = false;
          face.push_back(cornerIndex.Find(f.indices[k], uv, corners, added));
        }
        if (options.fanPolygons && n >= 3) {
          AppendNgonTriangles(model, corners, face, outline, written);
          types |= aiPrimitiveType_TRIANGLE | aiPrimitiveType_NGONEncodingFlag;
          continue;
        }
        types |= n == 2 ? aiPrimitiveType_LINE : n == 3 ? aiPrimitiveType_TRIANGLE : aiPrimitiveType_POLYGON;
        written.Add(face.data(), face.size());
      }
      cornerIndex.Finish(corners);
      mesh->mNumFaces = static_cast<unsigned>(written.size());
      mesh->mFaces = new aiFace[written.size()];
      auto& block = built.indexBlocks.emplace_back(new unsigned[std::max<std::size_t>(written.corners.size(), 1)]);
      std::copy(written.corners.begin(), written.corners.end(), block.get());
      for (std::size_t fi = 0; fi < written.size(); ++fi) {
        mesh->mFaces[fi].mNumIndices = static_cast<unsigned>(written.CornerCount(fi));
        mesh->mFaces[fi].mIndices = block.get() + written.starts[fi];
      }
      mesh->mPrimitiveTypes = types;
      mesh->mNumVertices = static_cast<unsigned>(corners.size());
      mesh->mVertices = new aiVector3D[corners.size()];
      if (hasUVs) {
        mesh->mTextureCoords[0] = new aiVector3D[corners.size()];
        mesh->mNumUVComponents[0] = 2;
      }
      for (std::size_t c = 0; c < corners.size(); ++c) {
        const CVector& p = model.vertices[static_cast<std::size_t>(corners[c].first)].position;
        mesh->mVertices[c] = aiVector3D(p.x, p.y, p.z);
        if (hasUVs) mesh->mTextureCoords[0][c] = aiVector3D(corners[c].second.u, 1.0f - corners[c].second.v, 0.0f);
      }
      nodeMeshes.push_back(static_cast<unsigned>(meshes.size()));
      meshes.push_back(mesh);
    }
    node->mNumMeshes = static_cast<unsigned>(nodeMeshes.size());
    node->mMeshes = new unsigned[nodeMeshes.size()];
    std::copy(nodeMeshes.begin(), nodeMeshes.end(), node->mMeshes);
    nodes.push_back(node);
  }
  if (materials.empty()) materials.push_back(ExportMaterial(CMaterial()));
  if (!textureFiles.embedded.empty()) {
    out->mNumTextures = static_cast<unsigned>(textureFiles.embedded.size());
    out->mTextures = new aiTexture*[textureFiles.embedded.size()];
    for (std::size_t i = 0; i < textureFiles.embedded.size(); ++i) {
      const auto& [bytes, hint] = textureFiles.embedded[i];
      auto* t = new aiTexture;
      t->mWidth = static_cast<unsigned>(bytes.size());  // compressed: the file's bytes
      t->mHeight = 0;
      t->pcData = new aiTexel[(bytes.size() + sizeof(aiTexel) - 1) / sizeof(aiTexel)];
      std::memcpy(t->pcData, bytes.data(), bytes.size());
      std::snprintf(t->achFormatHint, sizeof t->achFormatHint, "%s", hint.c_str());
      out->mTextures[i] = t;
    }
  }

  out->mRootNode = new aiNode("Meshwright");
  out->mRootNode->mNumChildren = static_cast<unsigned>(nodes.size());
  out->mRootNode->mChildren = new aiNode*[std::max<std::size_t>(nodes.size(), 1)];
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    nodes[i]->mParent = out->mRootNode;
    out->mRootNode->mChildren[i] = nodes[i];
  }
  out->mNumMaterials = static_cast<unsigned>(materials.size());
  out->mMaterials = new aiMaterial*[materials.size()];
  std::copy(materials.begin(), materials.end(), out->mMaterials);
  out->mNumMeshes = static_cast<unsigned>(meshes.size());
  out->mMeshes = new aiMesh*[std::max<std::size_t>(meshes.size(), 1)];
  std::copy(meshes.begin(), meshes.end(), out->mMeshes);
  return built;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat x {}, y {};
  return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool ReadBytes(const std::string& path, std::string& out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) out.append(buffer, n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

// Where the textures of an export go: into a .glb (PNG and JPEG, which glTF holds), else as
// copies beside the output under their file names, which the output names relative to itself.
// A name from another machine ("C:\maps\wood.png") that is found nowhere is written by its file
// name, never as the path it was. A copy never replaces a different file of the same name.
ExportTextures PlanTextures(const CMeshwright& scene, const std::string& outputPath, bool embed) {
  ExportTextures plan;
  const std::size_t slash = outputPath.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : outputPath.substr(0, slash + 1);
  const TextureService* service = GetTextureService();
  std::map<std::string, std::string> takenBy;  // a name written beside -> the file it holds
  for (const CMaterial& m : scene.materials)
    for (const std::string* name : {&m.texture, &m.alphaPlane, &m.bump}) {
      if (name->empty() || plan.names.count(*name)) continue;
      std::string source = name == &m.texture ? m.textureFile : std::string();
      if (!IsRegularFile(source)) source = service ? service->PathOf(*name) : std::string();
      if (!IsRegularFile(source)) source.clear();
      std::string written = Cp932ToUtf8(*name);
      std::replace(written.begin(), written.end(), '\\', '/');
      const std::string& from = source.empty() ? written : source;
      written = from.substr(from.rfind('/') + 1);
      std::string bytes;
      if (!source.empty() && !ReadBytes(source, bytes)) source.clear();
      std::string extension = written.substr(std::min(written.size(), written.rfind('.') + 1));
      for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (embed && !source.empty() && (extension == "png" || extension == "jpg" || extension == "jpeg")) {
        plan.names[*name] = "*" + std::to_string(plan.embedded.size());
        plan.embedded.emplace_back(std::move(bytes), extension == "png" ? "png" : "jpg");
        continue;
      }
      if (!source.empty()) {
        // Another file already holds the name, beside the output or in this export: a number
        // before the extension tells them apart.
        const std::size_t dot = written.rfind('.');
        const std::string stem = dot == std::string::npos || dot == 0 ? written : written.substr(0, dot);
        const std::string tail = written.substr(stem.size());
        for (int n = 2;; ++n) {
          const std::string target = folder + written;
          const auto taken = takenBy.find(written);
          std::string there;
          const bool free = taken != takenBy.end() ? taken->second == source
                                                    : !IsRegularFile(target) || SameFile(target, source) ||
                                                          (ReadBytes(target, there) && there == bytes);
          if (free) break;
          written = stem + "_" + std::to_string(n) + tail;
        }
        if (!takenBy.count(written)) {
          takenBy[written] = source;
          const std::string target = folder + written;
          if (!SameFile(target, source)) plan.copies.emplace_back(target, std::move(bytes));
        }
      }
      plan.names[*name] = written;
    }
  return plan;
}

DocumentResult RunExport(const CMeshwright& scene, const std::string& path, const ExportOptions& options) {
  unsigned droppedLines = 0, droppedPoints = 0;
  BuiltScene built;
  ExportTextures textures;
  try {
    // PLY and STL carry no materials.
    if (options.keepsLines) textures = PlanTextures(scene, path, options.embedsTextures);
    built = BuildScene(scene, options, textures, droppedLines, droppedPoints);
  } catch (const std::bad_alloc&) {
    return DocumentFailure(DocumentError::kWriteFailed, ENOMEM);
  }
  if (built.scene->mNumMeshes == 0) {
    DocumentResult r = DocumentFailure(DocumentError::kWriteFailed);
    r.detail = "no faces to write";
    return r;
  }
  auto* files = new MemoryFiles;  // owned by the exporter
  Assimp::Exporter exporter;
  exporter.SetIOHandler(files);
  aiReturn status = aiReturn_FAILURE;
  try {
    status = exporter.Export(built.scene.get(), options.formatId, path, options.steps);
  } catch (const std::exception& e) {
    DocumentResult r = DocumentFailure(DocumentError::kWriteFailed);
    r.detail = OneLine(e.what());
    return r;
  }
  if (status != aiReturn_SUCCESS) {
    DocumentResult r = DocumentFailure(DocumentError::kWriteFailed);
    r.detail = OneLine(exporter.GetErrorString());
    return r;
  }
  if (options.finish) {
    for (auto& file : files->files)
      if (file->path == path && !options.finish(file->bytes)) {
        DocumentResult r = DocumentFailure(DocumentError::kWriteFailed);
        r.detail = "unexpected output from the library's writer";
        return r;
      }
  }
  // Every file is written to its temporary first; the targets are replaced only when all are
  // complete, companions (.mtl, .bin) before the file that names them.
  std::vector<std::unique_ptr<AtomicFileWriter>> writers;
  for (const auto& [target, bytes] : textures.copies) {
    auto& w = writers.emplace_back(std::make_unique<AtomicFileWriter>(target));
    if (!w->Write(bytes.data(), bytes.size())) return DocumentFailure(DocumentError::kWriteFailed, w->errorNumber());
  }
  for (std::size_t i = files->files.size(); i-- > 0;) {
    const MemoryFiles::File& file = *files->files[i];
    auto& w = writers.emplace_back(std::make_unique<AtomicFileWriter>(file.path));
    if (!w->Write(file.bytes.data(), file.bytes.size()))
      return DocumentFailure(DocumentError::kWriteFailed, w->errorNumber());
  }
  for (auto& w : writers)
    if (!w->Commit()) return DocumentFailure(DocumentError::kWriteFailed, w->errorNumber());

  DocumentResult result;
  std::string list;
  if (droppedLines) list += "線 (2頂点の面) " + std::to_string(droppedLines);
  if (droppedPoints) list += std::string(list.empty() ? "" : "、") + "1頂点の面 " + std::to_string(droppedPoints);
  if (!list.empty()) result.warnings.push_back("この形式に書き出せなかったもの: " + list);
  return result;
}

bool EndsWithIgnoreCase(const std::string& s, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) return false;
  return true;
}

}  // namespace

DocumentResult ImportAssimp(CMeshwright& scene, const std::string& path) {
  // Opened here first so that the system's reason is kept; Assimp only says it could not.
  // Not blocking: a FIFO or a device would hold the reader until someone writes to it, and only
  // a regular file is read at all.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return DocumentFailure(DocumentError::kCannotOpen, errno);
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int why = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    close(fd);
    return DocumentFailure(DocumentError::kCannotOpen, why);
  }
  std::string head(65536, '\0');
  const ssize_t got = read(fd, head.data(), head.size());
  close(fd);
  head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  const std::size_t dot = path.find_last_of("./");
  const std::string extension = dot != std::string::npos && path[dot] == '.' ? path.substr(dot + 1) : std::string();
  const auto fileSize = static_cast<std::uint64_t>(info.st_size);
  if (std::string why = RefuseBeforeAssimp(head, fileSize, extension, false); !why.empty()) {
    DocumentResult r = DocumentFailure(DocumentError::kReadFailed);
    r.detail = std::move(why);
    return r;
  }
  try {
    Assimp::Importer importer;
    Configure(importer);
    auto* files = new ConfinedIOSystem(path);  // owned by the importer
    importer.SetIOHandler(files);
    const auto withRefusals = [&](DocumentResult result) {
      if (std::string refused = RefusedReferencesWarning(files->Refused()); !refused.empty()) {
        if (result.ok()) result.warnings.push_back(std::move(refused));
        else result.detail = (result.detail.empty() ? std::string() : result.detail + " / ") + refused;
      }
      return result;
    };
    if (IsUtf16Xml(head)) {
      // Assimp's XML reader takes UTF-8 only. Files the document names still go through the
      // confined handler, which the memory reader wraps.
      std::string text;
      if (!ReadWholeFile(path, fileSize, text)) return DocumentFailure(DocumentError::kCannotOpen, errno);
      const std::string utf8 = XmlAsUtf8(text);
      const aiScene* imported = importer.ReadFileFromMemory(utf8.data(), utf8.size(), kImportSteps, extension.c_str());
      return withRefusals(Take(scene, imported, importer, FileStem(path), extension, std::string(), path));
    }
    const aiScene* imported = importer.ReadFile(path, kImportSteps);
    const std::string json = imported && (SameText(extension, "gltf") || SameText(extension, "glb")) ? ReadGltfJson(path) : std::string();
    return withRefusals(Take(scene, imported, importer, FileStem(path), extension, json, path));
  } catch (const std::bad_alloc&) {
    return DocumentFailure(DocumentError::kTooLarge);
  }
}

DocumentResult ImportAssimpMemory(CMeshwright& scene, const void* data, std::size_t size, const char* extensionHint) {
  const std::string_view bytes(static_cast<const char*>(data), size);
  if (std::string why = RefuseBeforeAssimp(bytes.substr(0, 65536), size, extensionHint ? extensionHint : "", true);
      !why.empty()) {
    DocumentResult r = DocumentFailure(DocumentError::kReadFailed);
    r.detail = std::move(why);
    return r;
  }
  try {
    Assimp::Importer importer;
    Configure(importer);
    // Bytes from memory have no folder: whatever they name is refused, never looked up beside
    // the working directory.
    importer.SetIOHandler(new ConfinedIOSystem(std::string()));
    const aiScene* imported = importer.ReadFileFromMemory(data, size, kImportSteps, extensionHint);
    const std::string json = imported ? GltfJson(bytes) : std::string();
    return Take(scene, imported, importer, "Model", extensionHint ? extensionHint : "", json, std::string());
  } catch (const std::bad_alloc&) {
    return DocumentFailure(DocumentError::kTooLarge);
  }
}

DocumentResult ExportObj(const CMeshwright& scene, const std::string& path) {
  return RunExport(scene, path, {"obj", 0, true, false, false, false});
}

DocumentResult ExportPly(const CMeshwright& scene, const std::string& path) {
  // Assimp's PLY writer has no edge element: lines would come out as two-corner faces.
  return RunExport(scene, path, {"plyb", 0, false, false, false, false, FinishPly});
}

DocumentResult ExportStl(const CMeshwright& scene, const std::string& path) {
  return RunExport(scene, path, {"stlb", aiProcess_Triangulate, false, false, false, false, FinishStl});
}

DocumentResult ExportGltf(const CMeshwright& scene, const std::string& path) {
  // glTF holds triangles and lines only: polygons go as FB_ngon_encoding's fans, made here, where
  // Assimp's own cutting of a concave polygon breaks the encoding it announces.
  const bool text = EndsWithIgnoreCase(path, ".gltf");
  return RunExport(scene, path, {text ? "gltf2" : "glb2", 0, true, true, true, !text});
}

}  // namespace mw
