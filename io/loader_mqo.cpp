#include "io/loader_mqo.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/encoding.h"
#include "platform/read_progress.h"

namespace mw {

bool ValidUtf8(const unsigned char* p, std::size_t n, bool& nonAscii) {
  std::size_t i = 0;
  while (i < n) {
    // Plain ASCII goes eight bytes at a time.
    while (i + 8 <= n) {
      std::uint64_t w;
      std::memcpy(&w, p + i, 8);
      if (w & 0x8080808080808080ull) break;
      i += 8;
    }
    if (i >= n) break;
    const unsigned c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    nonAscii = true;
    unsigned need, cp, min;
    if ((c & 0xE0) == 0xC0) need = 1, cp = c & 0x1F, min = 0x80;
    else if ((c & 0xF0) == 0xE0) need = 2, cp = c & 0x0F, min = 0x800;
    else if ((c & 0xF8) == 0xF0) need = 3, cp = c & 0x07, min = 0x10000;
    else return false;
    if (n - i <= need) return false;
    for (unsigned k = 1; k <= need; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += need + 1;
  }
  return true;
}

namespace {

// For a line ending in "[ N ]", N (at least 0); else -1.
long BinaryBlockLength(const char* line, std::size_t n) {
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r' || line[n - 1] == ' ' || line[n - 1] == '\t')) --n;
  if (n == 0 || line[n - 1] != ']') return -1;
  std::size_t open = n - 1;
  while (open > 0 && line[open - 1] != '[') --open;
  if (open == 0) return -1;
  const std::string inside(line + open, n - 1 - open);
  const long v = std::strtol(inside.c_str(), nullptr, 10);
  return v < 0 ? -1 : v;
}

// A connected mirror: each pass copies the geometry across the plane, but a vertex on the plane
// (within `distance`, or exactly on it when no distance was given) is shared with its original,
// so the two halves form one surface. Every face is copied, as for separate halves.
void MirrorConnected(CModel& model, int axes, float distance) {
  for (int axis = 0; axis < 3; ++axis) {
    if (!(axes & (1 << axis))) continue;
    const std::size_t v = model.vertices.size();
    const std::size_t f = model.faces.size();
    std::vector<std::int32_t> map(v);
    model.vertices.reserve(2 * v);
    model.faces.reserve(2 * f);
    for (std::size_t i = 0; i < v; ++i) {
      CVector p = model.vertices[i].position;
      float& c = axis == 0 ? p.x : (axis == 1 ? p.y : p.z);
      const bool onPlane = distance >= 0 ? std::fabs(c) <= distance : c == 0.0f;
      if (onPlane) {
        map[i] = static_cast<std::int32_t>(i);
        continue;
      }
      c = -c;
      map[i] = static_cast<std::int32_t>(model.vertices.size());
      model.vertices.emplace_back(p.x, p.y, p.z);
    }
    for (std::size_t j = 0; j < f; ++j) {
      const CFace& src = model.faces[j];
      CFace copy;
      for (std::size_t k = src.indices.size(); k-- > 0;)
        copy.indices.push_back(map[static_cast<std::size_t>(src.indices[k])]);
      for (std::size_t k = src.uvs.size(); k-- > 0;) copy.uvs.push_back(src.uvs[k]);
      copy.material = src.material;
      copy.normal = src.normal;
      model.faces.push_back(std::move(copy));
    }
  }
}

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
    case kMqoDamagedArchive: return "DamagedArchive";
    case kMqoArchiveTooLarge: return "ArchiveTooLarge";
    case kMqoCannotOpen: return "CannotOpen";
    case kMqoCancelled: return "Cancelled";
    case kMqoTooManyMaterials: return "TooManyMaterials";
  }
  return "Unknown";
}

LoaderMQO::LoaderMQO(CMeshwright* scene, std::FILE* file)
    : scene_(scene), file_(file), lines_(std::make_unique<AsciiFileString>(file)) {}

int LoaderMQO::Load() {
  const long start = std::ftell(file_);
  startOffset_ = start > 0 ? start : 0;
  if (start >= 0 && std::fseek(file_, 0, SEEK_END) == 0) {
    fileSize_ = std::ftell(file_);
    if (std::fseek(file_, start, SEEK_SET) != 0) fileSize_ = -1;
  }
  info.code = kMqoOk;
  // Until a CodePage line says otherwise, the encoding is decided when the first byte beyond ASCII
  // turns up: documents without any (most) are never scanned.
  lines_->beforeFirstHighByte = [this] { DetectEncoding(); };
  try {
    ReadHeader();
    ReadChunks();
  } catch (int code) {
    info.code = code;
  }
  AddWarnings();
  return info.code;
}

void LoaderMQO::AddWarnings() {
  char text[256];
  if (unmappable_) {
    std::snprintf(text, sizeof text, "名前の %zu 文字は CP932 で表せないため「?」に置き換えました。", unmappable_);
    info.warnings.emplace_back(text);
  }
  if (splinePatches_) {
    std::snprintf(text, sizeof text,
                  "スプライン曲面のオブジェクト %zu 個は Catmull-Clark の曲面として読みました。", splinePatches_);
    info.warnings.emplace_back(text);
  }
  if (nonFinite_) {
    std::snprintf(text, sizeof text, "数値でない値 (nan, inf など) %zu 個を 0 として読みました (最初は %ld 行目)。",
                  nonFinite_, firstNonFiniteLine_);
    info.warnings.emplace_back(text);
  }
}

void LoaderMQO::SetEncoding(MqoEncoding encoding) {
  info.encoding = encoding;
  lines_->SetCp932(encoding == MqoEncoding::kCp932);
}

void LoaderMQO::DetectEncoding() {
  // Every line so far was ASCII. From the start of this one, the document is UTF-8 when all its
  // text (binary blocks aside) is valid UTF-8, else CP932. The rest of the text is scanned once,
  // through a buffer of its own, line by line without copying lines, and the stream is put back.
  const long resume = std::ftell(file_);
  const long from = lines_->LineStart();
  if (resume < 0 || from < 0 || std::fseek(file_, from, SEEK_SET) != 0) return;
  std::vector<char> buffer(1 << 16);
  std::size_t have = 0, pos = 0;
  bool end = false, nonAscii = false, valid = true;
  while (valid) {
    const char* start = buffer.data() + pos;
    const char* newline = static_cast<const char*>(std::memchr(start, '\n', have - pos));
    if (!newline && !end) {
      // Keep the unfinished line, make room (a line longer than the buffer doubles it), refill.
      std::memmove(buffer.data(), start, have - pos);
      have -= pos;
      pos = 0;
      if (have == buffer.size()) buffer.resize(2 * buffer.size());
      const std::size_t got = std::fread(buffer.data() + have, 1, buffer.size() - have, file_);
      have += got;
      end = got == 0;
      continue;
    }
    const std::size_t n = newline ? static_cast<std::size_t>(newline + 1 - start) : have - pos;
    if (n == 0) break;
    pos += n;
    valid = ValidUtf8(reinterpret_cast<const unsigned char*>(start), n, nonAscii);
    const long block = BinaryBlockLength(start, n);
    if (block > 0) {
      const auto inBuffer = static_cast<long>(have - pos);
      if (block <= inBuffer) {
        pos += static_cast<std::size_t>(block);
      } else {
        pos = have;
        if (std::fseek(file_, block - inBuffer, SEEK_CUR) != 0) break;
      }
    }
  }
  if (std::fseek(file_, resume, SEEK_SET) != 0) throw static_cast<int>(kMqoSyntaxError);
  SetEncoding(valid && nonAscii ? MqoEncoding::kUtf8 : MqoEncoding::kCp932);
}

float LoaderMQO::Real(int token) {
  const float v = lines_->GetFloat(token);
  if (std::isfinite(v)) return v;
  if (nonFinite_++ == 0) firstNonFiniteLine_ = lines_->LineNumber();
  return 0.0f;
}

std::string LoaderMQO::Name(int token) {
  if (info.encoding == MqoEncoding::kCp932) return lines_->Token(token);
  const std::string utf8 = lines_->Token(token);
  std::string cp932 = Utf8ToCp932(utf8);
  // Every character CP932 cannot hold (and every malformed sequence) became one '?'.
  const auto before = std::count(utf8.begin(), utf8.end(), '?');
  const auto after = std::count(cp932.begin(), cp932.end(), '?');
  if (after > before) unmappable_ += static_cast<std::size_t>(after - before);
  return cp932;
}

int LoaderMQO::Next() {
  // Every few thousand lines: cheap against the lines themselves, often enough to look live.
  if (++linesSinceReport_ == 8192) {
    linesSinceReport_ = 0;
    const long at = lines_->Tell();
    if (!ReportReadProgress(at < 0 ? 0 : static_cast<std::uint64_t>(at), fileSize_ < 0 ? 0 : static_cast<std::uint64_t>(fileSize_)))
      throw static_cast<int>(kMqoCancelled);
  }
  int n = lines_->ReadLine();
  if (n < 0) throw static_cast<int>(kMqoUnexpectedEnd);
  return n;
}

void LoaderMQO::ReadHeader() {
  AsciiFileString& l = *lines_;
  if (l.ReadLine() < 2 || !l.IsToken(0, "Metasequoia") || !l.IsToken(1, "Document"))
    throw static_cast<int>(kMqoNotMetasequoia);
  if (l.ReadLine() < 4 || !l.IsToken(0, "Format") || !l.IsToken(1, "Text") || !l.IsToken(2, "Ver"))
    throw static_cast<int>(kMqoUnsupportedFormat);
  const double version = l.GetDouble(3);
  if (version == 1.0) info.version = 10;
  else if (version == 1.1) info.version = 11;
  else throw static_cast<int>(kMqoUnsupportedFormat);
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
    } else if (l.IsCommand("CodePage", 2)) {
      // "CodePage 932" or "CodePage utf8": names from here on (the line comes before any).
      const std::string value = l.Token(1);
      lines_->beforeFirstHighByte = nullptr;
      info.codePageDeclared = true;
      SetEncoding(l.IsToken(1, "utf8") || l.IsToken(1, "utf-8") || value == "65001" ? MqoEncoding::kUtf8
                                                                                    : MqoEncoding::kCp932);
    } else {
      SkipChunk(n);
    }
  }
}

void LoaderMQO::ReadObjectChunk() {
  AsciiFileString& l = *lines_;
  scene_->models.emplace_back();
  const std::size_t index = scene_->models.size() - 1;
  mirror_ = 0;
  mirrorAxis_ = -1;
  mirrorDistance_ = -1.0f;
  visible_ = 15;
  locking_ = 0;
  patch_ = 0;
  patchTri_ = 0;
  segment_ = -1;
  try {
    if (l.Count() >= 3) scene_->models[index].name = Name(1);
    if (!ReadObject(scene_->models[index])) throw static_cast<int>(kMqoSyntaxError);
  } catch (int) {
    // The partly read model stays, but never with a face that indexes outside it.
    DropFacesWithoutVertices(scene_->models[index]);
    throw;
  }
  CModel& model = scene_->models[index];
  DropFacesWithoutVertices(model);
  FinishObject(model);
  if (model.faces.empty()) {
    scene_->models.pop_back();
    return;
  }
  model.RebuildFaceRefs();
}

void LoaderMQO::FinishObject(CModel& model) {
  // "mirror" says whether (0 none, 1 separate halves, 2 connected) and "mirror_axis" over which
  // axes; a mirror without axes is over X, and axes without a mirror mean nothing.
  const int axes = (mirror_ == 1 || mirror_ == 2) ? (mirrorAxis_ < 0 ? 1 : mirrorAxis_) : 0;
  model.mirrorAxis = axes;
  if (mirror_ == 2 && axes >= 1 && axes <= 7) MirrorConnected(model, axes, mirrorDistance_);
  else model.ApplyMirror();
  if (visible_ == 0) model.state = kStateHidden;
  else if (locking_ != 0) model.state = kStateLocked;
  if (patch_ > 0) {
    // The older spline patches have no counterpart here; Catmull-Clark is the nearest surface.
    if (patch_ < 3) ++splinePatches_;
    model.subdivisionScheme = patchTri_ != 0 ? kSubdivisionLoop : kSubdivisionCatmullClark;
    if (segment_ >= 0) model.subdivisionLevel = std::clamp(segment_, kSubdivisionMinLevel, kSubdivisionMaxLevel);
  }
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
  const long read = lines_->Tell() - startOffset_;
  if (++materialsRead_ > kMqoFreeMaterials + static_cast<std::size_t>(std::max(read, 0L) / kMqoBytesPerMaterial))
    throw static_cast<int>(kMqoTooManyMaterials);
  CMaterial m;
  m.name = Name(0);
  int i = 1;
  // A keyword counts only with enough tokens after it; "(" and ")" must then stand where its
  // value's parentheses belong, or reading attributes stops for this line.
  auto keyword = [&](const char* word, int span) { return l.IsToken(i, word) && n - i >= span; };
  auto closed = [&](int span) { return l.IsToken(i + 1, "(") && l.IsToken(i + span - 1, ")"); };
  while (i < n) {
    if (keyword("col", 7)) {
      if (!closed(7)) break;
      for (int k = 0; k < 4; ++k) m.color[k] = Real(i + 2 + k);
      i += 7;
      continue;
    }
    struct Attr {
      const char* word;
      float* value;
    };
    const Attr floats[] = {
        {"dif", &m.diffuse}, {"amb", &m.ambient}, {"spc", &m.specular}, {"emi", &m.emissive}, {"power", &m.power}};
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
      *a.value = Real(i + 2);
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
      *a.value = Name(i + 2);
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
      model.facet = Real(1);
    } else if (l.IsCommand("mirror", 2)) {
      mirror_ = l.GetInt(1);
    } else if (l.IsCommand("mirror_axis", 2)) {
      mirrorAxis_ = l.GetInt(1);
    } else if (l.IsCommand("mirror_dis", 2)) {
      mirrorDistance_ = std::fabs(Real(1));
    } else if (l.IsCommand("visible", 2)) {
      visible_ = l.GetInt(1);
    } else if (l.IsCommand("locking", 2)) {
      locking_ = l.GetInt(1);
    } else if (l.IsCommand("patch", 2)) {
      patch_ = l.GetInt(1);
    } else if (l.IsCommand("patchtri", 2)) {
      patchTri_ = l.GetInt(1);
    } else if (l.IsCommand("segment", 2)) {
      segment_ = l.GetInt(1);
    } else if (l.IsCommand("BVertex", 2) && l.IsToken(n - 1, "{")) {
      ReadBinaryVertices(model);
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
    if (n >= 3) {
      const float x = Real(0), y = Real(1), z = Real(2);
      model.vertices.emplace_back(x, y, z);
    }
  }
}

void LoaderMQO::ReadBinaryVertices(CModel& model) {
  // "BVertex N {" holds "Vector N [B]" followed by B bytes: N little-endian float32 triples.
  AsciiFileString& l = *lines_;
  for (;;) {
    const int n = Next();
    if (n == 0) continue;
    if (l.IsToken(0, "}")) return;
    const bool block = n >= 3 && l.IsToken(n - 3, "[") && l.IsToken(n - 1, "]");
    if (!(l.IsCommand("Vector", 5) && block && static_cast<long long>(l.GetInt(1)) * 12 == l.GetInt(n - 2))) {
      SkipChunk(n);
      continue;
    }
    const int count = l.GetInt(1);
    const long before = l.Tell();
    if (count < 0 || before < 0 || !l.Seek(before)) throw static_cast<int>(kMqoSyntaxError);
    // Reserved only as far as the file can fill; the bytes are read in slices.
    if (fileSize_ > before) {
      const long most = (fileSize_ - before) / 12;
      model.vertices.reserve(model.vertices.size() + static_cast<std::size_t>(std::min<long>(count, most)));
    }
    unsigned char slice[12 * 256];
    for (int done = 0; done < count;) {
      const int take = std::min(count - done, 256);
      if (std::fread(slice, 12, static_cast<std::size_t>(take), file_) != static_cast<std::size_t>(take))
        throw static_cast<int>(kMqoUnexpectedEnd);
      for (int k = 0; k < take; ++k) {
        float xyz[3];
        for (int c = 0; c < 3; ++c) {
          const unsigned char* b = slice + 12 * k + 4 * c;
          const std::uint32_t bits = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                                     static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
          std::memcpy(&xyz[c], &bits, 4);
          if (!std::isfinite(xyz[c])) {
            if (nonFinite_++ == 0) firstNonFiniteLine_ = l.LineNumber();
            xyz[c] = 0.0f;
          }
        }
        model.vertices.emplace_back(xyz[0], xyz[1], xyz[2]);
      }
      done += take;
    }
  }
}

void LoaderMQO::ReadFaces(CModel& model) {
  AsciiFileString& l = *lines_;
  // Version 1.1 face lines are read whole: an n-gon of a few thousand corners (our own export
  // writes them) is longer than a version 1.0 line piece.
  struct WholeLines {
    AsciiFileString& lines;
    WholeLines(AsciiFileString& l, bool whole) : lines(l) { lines.SetWholeLines(whole); }
    ~WholeLines() { lines.SetWholeLines(false); }
  } whole(l, info.version == 11);
  for (;;) {
    const int count = Next();
    if (count == 0) continue;
    if (l.IsToken(0, "}")) return;
    const int n = l.GetInt(0);
    if (!l.IsToken(1, "V") || static_cast<long long>(count) < static_cast<long long>(n) + 4)
      throw static_cast<int>(kMqoSyntaxError);
    // A face without corners (or a negative count, which passes the test above) is no face.
    if (n <= 0 || !l.IsToken(2, "(") || !l.IsToken(n + 3, ")")) continue;
    // The optional groups are checked before the face is made: a malformed one drops the line.
    int material = -1, uv = -1;  // the tokens holding the material number and the first u
    if (info.version == 11) {
      // Groups in any order; unknown ones (UID, COL, CRS, ...) passed over.
      bool bad = false;
      for (int p = n + 4; p + 1 < count && l.IsToken(p + 1, "(");) {
        int close = p + 2;
        while (close < count && !l.IsToken(close, ")")) ++close;
        if (close >= count) break;
        if (l.IsToken(p, "M")) {
          bad = close != p + 3;
          material = p + 2;
        } else if (l.IsToken(p, "UV")) {
          bad = static_cast<long long>(close) != p + 2LL + 2LL * n;
          uv = p + 2;
        }
        if (bad) break;
        p = close + 1;
      }
      if (bad) continue;
    } else {
      const int m = n + 4;
      const bool hasMaterial = l.IsToken(m, "M") && count >= m + 4;
      if (hasMaterial && (!l.IsToken(m + 1, "(") || !l.IsToken(m + 3, ")"))) continue;
      const int u = hasMaterial ? m + 4 : m;
      const bool hasUVs = l.IsToken(u, "UV") && static_cast<long long>(count) >= u + 3LL + 2LL * n;
      if (hasUVs && (!l.IsToken(u + 1, "(") || !l.IsToken(u + 2 + 2 * n, ")"))) continue;
      if (hasMaterial) material = m + 2;
      if (hasUVs) uv = u + 2;
    }
    CFace& face = model.faces.emplace_back();
    if (n > 4) {
      ++info.ngonFaces;
      face.indices.reserve(static_cast<std::size_t>(n));
    }
    for (int k = 0; k < n; ++k) face.indices.push_back(l.GetInt(3 + k));
    face.material = material >= 0 ? static_cast<std::int32_t>(static_cast<std::uint32_t>(materialBase) +
                                                              static_cast<std::uint32_t>(l.GetInt(material)))
                                  : materialBase;
    if (uv >= 0) {
      if (n > 4) face.uvs.reserve(static_cast<std::size_t>(n));
      for (int k = 0; k < n; ++k) {
        const float u = Real(uv + 2 * k), v = Real(uv + 1 + 2 * k);
        face.uvs.push_back(CUV(u, v));
      }
    }
  }
}

void LoaderMQO::SkipChunk(int t) {
  AsciiFileString& l = *lines_;
  auto binaryBlock = [&l](int count) { return count >= 3 && l.IsToken(count - 3, "[") && l.IsToken(count - 1, "]"); };
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
  MqoReadInfo info;
  const bool ok = ImportMetasequoia(scene, file, &info);
  if (errorCode) *errorCode = info.code;
  return ok;
}

bool ImportMetasequoia(CMeshwright& scene, std::FILE* file, MqoReadInfo* info) {
  int result;
  {
    LoaderMQO loader(&scene, file);
    loader.materialBase = scene.nextMaterialId;
    result = loader.Load();
    if (info) *info = std::move(loader.info);
  }
  if (scene.materials.empty()) {
    scene.materials.emplace_back(scene.nextMaterialId);
    scene.nextMaterialId = static_cast<std::int32_t>(static_cast<std::uint32_t>(scene.nextMaterialId) + 1u);
  }
  scene.UpdateMaterialColors();
  scene.ComputeNormals();
  return result == kMqoOk;
}

bool ImportMetasequoia(CMeshwright& scene, const std::string& path, int* errorCode) {
  MqoReadInfo info;
  const bool ok = ImportMetasequoia(scene, path, &info);
  if (errorCode) *errorCode = info.code;
  return ok;
}

bool ImportMetasequoia(CMeshwright& scene, const std::string& path, MqoReadInfo* info) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    if (info) info->code = kMqoCannotOpen;
    return false;
  }
  bool ok = ImportMetasequoia(scene, f, info);
  std::fclose(f);
  return ok;
}

}  // namespace mw
