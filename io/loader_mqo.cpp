#include "io/loader_mqo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace mw {
namespace {

// Keeps only the faces whose corners all name vertices of the model.
void DropFacesWithoutVertices(CModel& model) {
  const auto n = static_cast<std::int64_t>(model.vertices.size());
  auto bad = [n](const CFace& f) {
    for (std::int32_t i : f.indices)
      if (i < 0 || i >= n) return true;
    return false;
  };
  model.faces.erase(std::remove_if(model.faces.begin(), model.faces.end(), bad), model.faces.end());
}

}  // namespace

const char* MqoErrorName(int code) {
  switch (code) {
    case kMqoOk: return "";
    case kMqoSyntaxError: return "SyntaxError";
    case kMqoUnexpectedEnd: return "UnexpectedEnd";
    case kMqoNotMetasequoia: return "NotMetasequoia";
    case kMqoUnsupportedFormat: return "UnsupportedFormat";
    case kMqoCannotOpen: return "CannotOpen";
  }
  return "Unknown";
}

LoaderMQO::LoaderMQO(CMeshwright* scene, std::FILE* file)
    : scene_(scene), file_(file), lines_(std::make_unique<AsciiFileString>(file)) {}

int LoaderMQO::Load() {
  const long start = std::ftell(file_);
  if (start >= 0 && std::fseek(file_, 0, SEEK_END) == 0) {
    fileSize_ = std::ftell(file_);
    if (std::fseek(file_, start, SEEK_SET) != 0) fileSize_ = -1;
  }
  try {
    ReadHeader();
    ReadChunks();
  } catch (int code) {
    return code;
  }
  return kMqoOk;
}

int LoaderMQO::Next() {
  int n = lines_->ReadLine();
  if (n < 0) throw static_cast<int>(kMqoUnexpectedEnd);
  return n;
}

void LoaderMQO::ReadHeader() {
  AsciiFileString& l = *lines_;
  if (l.ReadLine() < 2 || !l.IsToken(0, "Metasequoia") || !l.IsToken(1, "Document"))
    throw static_cast<int>(kMqoNotMetasequoia);
  if (l.ReadLine() < 4 || !l.IsToken(0, "Format") || !l.IsToken(1, "Text") || !l.IsToken(2, "Ver") ||
      l.GetDouble(3) != 1.0)
    throw static_cast<int>(kMqoUnsupportedFormat);
}

void LoaderMQO::ReadChunks() {
  AsciiFileString& l = *lines_;
  for (;;) {
    const int n = l.ReadLine();
    if (n < 0) return;
    if (n == 0) continue;
    if (l.IsCommand("Material", 2)) {
      if (!l.IsToken(n - 1, "{")) throw static_cast<int>(kMqoSyntaxError);
      // Sized up front like the vertex and face lists: a material line has 2 bytes at least.
      if (n >= 3) Reserve(scene_->materials, l.GetInt(1), 2);
      ReadMaterials();
    } else if (l.IsCommand("Object", 2)) {
      if (!l.IsToken(n - 1, "{")) throw static_cast<int>(kMqoSyntaxError);
      ReadObjectChunk();
    } else {
      SkipChunk(n);
    }
  }
}

void LoaderMQO::ReadObjectChunk() {
  AsciiFileString& l = *lines_;
  scene_->models.emplace_back();
  const std::size_t index = scene_->models.size() - 1;
  try {
    if (l.Count() >= 3) scene_->models[index].name = l.Token(1);
    if (!ReadObject(scene_->models[index])) throw static_cast<int>(kMqoSyntaxError);
  } catch (int) {
    // The partly read model stays, but never with a face that indexes outside it.
    DropFacesWithoutVertices(scene_->models[index]);
    throw;
  }
  CModel& model = scene_->models[index];
  DropFacesWithoutVertices(model);
  if (!model.ApplyMirror()) {
    scene_->models.pop_back();
    return;
  }
  model.RebuildFaceRefs();
}

void LoaderMQO::ReadMaterials() {
  AsciiFileString& l = *lines_;
  for (;;) {
    const int n = Next();
    if (n == 0) continue;
    if (l.IsToken(0, "}")) return;
    ReadMaterialLine();
  }
}

void LoaderMQO::ReadMaterialLine() {
  AsciiFileString& l = *lines_;
  const int n = l.Count();
  CMaterial m;
  m.name = l.Token(0);
  int i = 1;
  // A keyword counts only with enough tokens after it; "(" and ")" must then stand where its
  // value's parentheses belong, or reading attributes stops for this line.
  auto keyword = [&](const char* word, int span) { return l.IsToken(i, word) && n - i >= span; };
  auto closed = [&](int span) { return l.IsToken(i + 1, "(") && l.IsToken(i + span - 1, ")"); };
  while (i < n) {
    if (keyword("col", 7)) {
      if (!closed(7)) break;
      for (int k = 0; k < 4; ++k) m.color[k] = l.GetFloat(i + 2 + k);
      i += 7;
      continue;
    }
    struct Attr {
      const char* word;
      float* value;
    };
    const Attr floats[] = {{"dif", &m.diffuse}, {"amb", &m.ambient}, {"spc", &m.specular},
                           {"emi", &m.emissive}, {"power", &m.power}};
    if (keyword("shader", 4)) {
      if (!closed(4)) break;
      (void)l.GetInt(i + 2);
      i += 4;
      continue;
    }
    bool matched = false, stop = false;
    for (const Attr& a : floats) {
      if (!keyword(a.word, 4)) continue;
      matched = true;
      if (!closed(4)) {
        stop = true;
        break;
      }
      *a.value = l.GetFloat(i + 2);
      i += 4;
      break;
    }
    if (stop) break;
    if (matched) continue;
    struct TextAttr {
      const char* word;
      std::string* value;
    };
    const TextAttr texts[] = {{"tex", &m.texture}, {"aplane", &m.alphaPlane}, {"bump", &m.bump}};
    for (const TextAttr& a : texts) {
      if (!keyword(a.word, 4)) continue;
      matched = true;
      if (!closed(4)) {
        stop = true;
        break;
      }
      *a.value = l.Token(i + 2);
      if (a.value == &m.texture) m.LoadTexture();
      i += 4;
      break;
    }
    if (stop) break;
    if (matched) continue;
    // Unrecognised attribute: skip to the token after its closing parenthesis.
    if (!l.IsToken(i + 1, "(")) break;
    int close = i + 2;
    while (close < n && !l.IsToken(close, ")")) ++close;
    if (close >= n) break;
    i = close + 1;
  }
  m.id = scene_->nextMaterialId;
  scene_->nextMaterialId = static_cast<std::int32_t>(static_cast<std::uint32_t>(scene_->nextMaterialId) + 1u);
  m.UpdateMaterialColors();
  scene_->materials.push_back(std::move(m));
}

template <typename List>
void LoaderMQO::Reserve(List& list, int announced, long bytesEach) {
  if (announced <= 0 || fileSize_ <= 0) return;
  const long here = lines_->Tell();
  if (here < 0 || here >= fileSize_) return;
  const long most = (fileSize_ - here) / bytesEach;
  list.reserve(list.size() + static_cast<std::size_t>(std::min<long>(announced, most)));
}

bool LoaderMQO::ReadObject(CModel& model) {
  AsciiFileString& l = *lines_;
  for (;;) {
    const int n = Next();
    if (n >= 1 && l.IsToken(0, "}")) return true;
    if (l.IsCommand("facet", 2)) {
      model.facet = l.GetFloat(1);
    } else if (l.IsCommand("mirror_axis", 2)) {
      model.mirrorAxis = l.GetInt(1);
    } else if (l.IsCommand("vertex", 3)) {
      if (!l.IsToken(n - 1, "{")) return false;
      // The announced count only sizes the list up front (a vertex line has 6 bytes at least, so
      // a false count cannot make it reserve more than the file could fill).
      Reserve(model.vertices, l.GetInt(1), 6);
      ReadVertices(model);
    } else if (l.IsCommand("face", 2)) {
      if (!l.IsToken(n - 1, "{")) return false;
      if (n >= 3) Reserve(model.faces, l.GetInt(1), 10);
      ReadFaces(model);
    } else {
      SkipChunk(n);
    }
  }
}

void LoaderMQO::ReadVertices(CModel& model) {
  AsciiFileString& l = *lines_;
  for (;;) {
    const int n = Next();
    if (n >= 1 && l.IsToken(0, "}")) return;
    if (n >= 3) model.vertices.emplace_back(l.GetFloat(0), l.GetFloat(1), l.GetFloat(2));
  }
}

void LoaderMQO::ReadFaces(CModel& model) {
  AsciiFileString& l = *lines_;
  for (;;) {
    const int count = Next();
    if (count == 0) continue;
    if (l.IsToken(0, "}")) return;
    const int n = l.GetInt(0);
    if (!l.IsToken(1, "V") || static_cast<long long>(count) < static_cast<long long>(n) + 4)
      throw static_cast<int>(kMqoSyntaxError);
    // A negative n passes the count test but never has its "(" and ")" in place: dropped below.
    if (!l.IsToken(2, "(") || !l.IsToken(n + 3, ")")) continue;
    // The optional groups are checked before the face is made: a malformed one drops the line.
    const int m = n + 4;
    const bool hasMaterial = l.IsToken(m, "M") && count >= m + 4;
    if (hasMaterial && (!l.IsToken(m + 1, "(") || !l.IsToken(m + 3, ")"))) continue;
    const int uv = hasMaterial ? m + 4 : m;
    const bool hasUVs = l.IsToken(uv, "UV") && static_cast<long long>(count) >= uv + 3LL + 2LL * n;
    if (hasUVs && (!l.IsToken(uv + 1, "(") || !l.IsToken(uv + 2 + 2 * n, ")"))) continue;
    CFace& face = model.faces.emplace_back();
    const int corners = n < 0 ? 0 : (n < 4 ? n : 4);
    for (int k = 0; k < corners; ++k) face.indices.push_back(l.GetInt(3 + k));
    face.material = hasMaterial ? static_cast<std::int32_t>(static_cast<std::uint32_t>(materialBase) +
                                                             static_cast<std::uint32_t>(l.GetInt(m + 2)))
                                : materialBase;
    if (hasUVs)
      for (int k = 0; k < corners; ++k) face.uvs.push_back(CUV(l.GetFloat(uv + 2 + 2 * k), l.GetFloat(uv + 3 + 2 * k)));
  }
}

void LoaderMQO::SkipChunk(int t) {
  AsciiFileString& l = *lines_;
  auto binaryBlock = [&l](int count) {
    return count >= 3 && l.IsToken(count - 3, "[") && l.IsToken(count - 1, "]");
  };
  if (t >= 1 && l.IsToken(t - 1, "{")) {
    int depth = 1;
    while (depth > 0) {
      const int n = Next();
      if (n == 0) continue;
      if (l.IsToken(n - 1, "{")) ++depth;
      else if (l.IsToken(n - 1, "}")) --depth;
      else if (binaryBlock(n)) SkipBinary(n - 2);
    }
    return;
  }
  if (binaryBlock(t)) SkipBinary(t - 2);
}

void LoaderMQO::SkipBinary(int byteCountToken) {
  const int bytes = lines_->GetInt(byteCountToken);
  // A negative count would move backwards and read the same line again for ever.
  if (bytes < 0) throw static_cast<int>(kMqoSyntaxError);
  const long before = lines_->Tell();
  if (before < 0 || !lines_->Seek(before + bytes)) throw static_cast<int>(kMqoSyntaxError);
  if (std::ftell(file_) != before + bytes) throw static_cast<int>(kMqoSyntaxError);
}

bool ImportMetasequoia(CMeshwright& scene, std::FILE* file, int* errorCode) {
  int result;
  {
    LoaderMQO loader(&scene, file);
    loader.materialBase = scene.nextMaterialId;
    result = loader.Load();
  }
  if (scene.materials.empty()) {
    scene.materials.emplace_back(scene.nextMaterialId);
    scene.nextMaterialId = static_cast<std::int32_t>(static_cast<std::uint32_t>(scene.nextMaterialId) + 1u);
  }
  scene.UpdateMaterialColors();
  scene.ComputeNormals();
  if (errorCode) *errorCode = result;
  return result == kMqoOk;
}

bool ImportMetasequoia(CMeshwright& scene, const std::string& path, int* errorCode) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    if (errorCode) *errorCode = kMqoCannotOpen;
    return false;
  }
  bool ok = ImportMetasequoia(scene, f, errorCode);
  std::fclose(f);
  return ok;
}

}  // namespace mw
