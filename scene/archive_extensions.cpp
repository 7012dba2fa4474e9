#include "scene/archive_extensions.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "scene/edge_index.h"

namespace mw {
namespace {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Reads u32s from a payload; any read past its end makes the payload damaged.
class Payload {
 public:
  Payload(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}
  bool U32(std::uint32_t& v) {
    if (left_ < 4) return false;
    std::memcpy(&v, p_, 4);
    p_ += 4, left_ -= 4;
    return true;
  }
  bool F32(float& v) {
    std::uint32_t bits = 0;
    if (!U32(bits)) return false;
    std::memcpy(&v, &bits, 4);
    return true;
  }
  // A count of u32s that must fit in what is left.
  bool Count(std::uint32_t& n) { return U32(n) && static_cast<std::uint64_t>(n) * 4 <= left_; }
  bool AtEnd() const { return left_ == 0; }
  bool Text(std::string& s) {
    std::uint32_t n = 0;
    if (!U32(n) || n > left_) return false;
    s.assign(reinterpret_cast<const char*>(p_), n);
    p_ += n, left_ -= n;
    return true;
  }

 private:
  const std::uint8_t* p_;
  std::size_t left_;
};

// Hidden vertices and faces: the model count, then for each model the hidden vertex numbers and
// the hidden face numbers, each list after its count.
void WriteHidden(const CMeshwright& scene, std::vector<std::uint8_t>& out) {
  bool any = false;
  for (const CModel& m : scene.models) {
    for (const CVertex& v : m.vertices) any = any || v.hidden;
    for (const CFace& f : m.faces) any = any || f.hidden;
  }
  if (!any) return;
  PutU32(out, static_cast<std::uint32_t>(scene.models.size()));
  std::vector<std::uint32_t> list;
  for (const CModel& m : scene.models) {
    list.clear();
    for (std::size_t i = 0; i < m.vertices.size(); ++i)
      if (m.vertices[i].hidden) list.push_back(static_cast<std::uint32_t>(i));
    PutU32(out, static_cast<std::uint32_t>(list.size()));
    for (std::uint32_t i : list) PutU32(out, i);
    list.clear();
    for (std::size_t i = 0; i < m.faces.size(); ++i)
      if (m.faces[i].hidden) list.push_back(static_cast<std::uint32_t>(i));
    PutU32(out, static_cast<std::uint32_t>(list.size()));
    for (std::uint32_t i : list) PutU32(out, i);
  }
}

bool ReadHidden(std::vector<CModel>& models, const std::uint8_t* data, std::size_t size) {
  Payload p(data, size);
  std::uint32_t count = 0;
  if (!p.U32(count) || count != models.size()) return false;
  // Checked whole before anything is marked, so a damaged section changes nothing.
  std::vector<std::vector<std::uint32_t>> vertices(count), faces(count);
  for (std::uint32_t m = 0; m < count; ++m) {
    for (auto* list : {&vertices[m], &faces[m]}) {
      std::uint32_t n = 0;
      if (!p.Count(n)) return false;
      const std::size_t limit = list == &vertices[m] ? models[m].vertices.size() : models[m].faces.size();
      list->resize(n);
      for (std::uint32_t& i : *list)
        if (!p.U32(i) || i >= limit) return false;
    }
  }
  if (!p.AtEnd()) return false;
  for (std::uint32_t m = 0; m < count; ++m) {
    for (std::uint32_t i : vertices[m]) models[m].vertices[i].hidden = 1, models[m].vertices[i].selected = 0;
    for (std::uint32_t i : faces[m]) models[m].faces[i].hidden = 1;
  }
  return true;
}

void PutF32(std::vector<std::uint8_t>& out, float v) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &v, 4);
  PutU32(out, bits);
}

// A section of two whole numbers per model: the model count, then each model's pair. Written
// only when some model's pair differs from a new model's.
using ModelField = std::int32_t CModel::*;

void WriteFieldPairs(const CMeshwright& scene, ModelField first, ModelField second, std::vector<std::uint8_t>& out) {
  const CModel fresh;
  const bool any = std::any_of(scene.models.begin(), scene.models.end(),
                               [&](const CModel& m) { return m.*first != fresh.*first || m.*second != fresh.*second; });
  if (!any) return;
  PutU32(out, static_cast<std::uint32_t>(scene.models.size()));
  for (const CModel& m : scene.models) {
    PutU32(out, static_cast<std::uint32_t>(m.*first));
    PutU32(out, static_cast<std::uint32_t>(m.*second));
  }
}

// Applies the pairs only when there is one for each model and every one is `valid`.
template <typename Valid>
bool ReadFieldPairs(std::vector<CModel>& models, const std::uint8_t* data, std::size_t size, ModelField first,
                    ModelField second, Valid valid) {
  Payload p(data, size);
  std::uint32_t count = 0;
  if (!p.U32(count) || count != models.size()) return false;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> values(count);
  for (auto& [a, b] : values)
    if (!p.U32(a) || !p.U32(b) || !valid(a, b)) return false;
  if (!p.AtEnd()) return false;
  for (std::uint32_t m = 0; m < count; ++m) {
    models[m].*first = static_cast<std::int32_t>(values[m].first);
    models[m].*second = static_cast<std::int32_t>(values[m].second);
  }
  return true;
}

// Display state (1 to 3) and mirror axes (0 to 7), which the fixed layout does not carry.
void WriteModelStates(const CMeshwright& scene, std::vector<std::uint8_t>& out) {
  WriteFieldPairs(scene, &CModel::state, &CModel::mirrorAxis, out);
}

bool ReadModelStates(std::vector<CModel>& models, const std::uint8_t* data, std::size_t size) {
  return ReadFieldPairs(models, data, size, &CModel::state, &CModel::mirrorAxis,
                        [](std::uint32_t state, std::uint32_t mirror) {
                          return state >= kStateNormal && state <= kStateHidden && mirror <= 7;
                        });
}

// Subdivision: scheme (0 none, 1 Catmull-Clark, 2 Loop) and level (1 to 4).
void WriteSubdivision(const CMeshwright& scene, std::vector<std::uint8_t>& out) {
  WriteFieldPairs(scene, &CModel::subdivisionScheme, &CModel::subdivisionLevel, out);
}

bool ReadSubdivision(std::vector<CModel>& models, const std::uint8_t* data, std::size_t size) {
  return ReadFieldPairs(models, data, size, &CModel::subdivisionScheme, &CModel::subdivisionLevel,
                        [](std::uint32_t scheme, std::uint32_t level) {
                          return scheme <= kSubdivisionLoop && level >= kSubdivisionMinLevel &&
                                 level <= kSubdivisionMaxLevel;
                        });
}

// Creases: the model count, then for each model its sharp edges (count, then two vertex numbers
// and a sharpness each) and its sharp vertices (count, then a vertex number and a sharpness each).
void WriteCreases(const CMeshwright& scene, std::vector<std::uint8_t>& out) {
  const bool any = std::any_of(scene.models.begin(), scene.models.end(),
                               [](const CModel& m) { return !m.creases.empty() || !m.sharpVertices.empty(); });
  if (!any) return;
  PutU32(out, static_cast<std::uint32_t>(scene.models.size()));
  for (const CModel& m : scene.models) {
    PutU32(out, static_cast<std::uint32_t>(m.creases.size()));
    for (const EdgeCrease& c : m.creases) {
      PutU32(out, static_cast<std::uint32_t>(c.edge >> 32));
      PutU32(out, static_cast<std::uint32_t>(c.edge));
      PutF32(out, c.sharpness);
    }
    PutU32(out, static_cast<std::uint32_t>(m.sharpVertices.size()));
    for (const VertexCorner& c : m.sharpVertices) {
      PutU32(out, static_cast<std::uint32_t>(c.vertex));
      PutF32(out, c.sharpness);
    }
  }
}

bool Sharpness(float s) { return std::isfinite(s) && s > 0.0f && s <= kMaxSharpness; }

bool ReadCreases(std::vector<CModel>& models, const std::uint8_t* data, std::size_t size) {
  Payload p(data, size);
  std::uint32_t count = 0;
  if (!p.U32(count) || count != models.size()) return false;
  std::vector<std::vector<EdgeCrease>> creases(count);
  std::vector<std::vector<VertexCorner>> corners(count);
  for (std::uint32_t m = 0; m < count; ++m) {
    const std::size_t vertices = models[m].vertices.size();
    std::uint32_t n = 0;
    if (!p.Count(n)) return false;
    creases[m].resize(n);
    for (EdgeCrease& c : creases[m]) {
      std::uint32_t a = 0, b = 0;
      if (!p.U32(a) || !p.U32(b) || !p.F32(c.sharpness) || a >= vertices || b >= vertices || a == b ||
          !Sharpness(c.sharpness))
        return false;
      c.edge = EdgeKey(static_cast<std::int32_t>(a), static_cast<std::int32_t>(b));
    }
    if (!p.Count(n)) return false;
    corners[m].resize(n);
    for (VertexCorner& c : corners[m]) {
      std::uint32_t v = 0;
      if (!p.U32(v) || !p.F32(c.sharpness) || v >= vertices || !Sharpness(c.sharpness)) return false;
      c.vertex = static_cast<std::int32_t>(v);
    }
  }
  if (!p.AtEnd()) return false;
  for (std::uint32_t m = 0; m < count; ++m) {
    // Kept sorted and once each, as the editing code expects; the last of a repeated one wins.
    auto& e = creases[m];
    std::stable_sort(e.begin(), e.end(), [](const EdgeCrease& a, const EdgeCrease& b) { return a.edge < b.edge; });
    for (std::size_t i = 0; i + 1 < e.size(); ++i)
      if (e[i].edge == e[i + 1].edge) e[i].sharpness = -1.0f;
    std::erase_if(e, [](const EdgeCrease& c) { return c.sharpness < 0.0f; });
    auto& v = corners[m];
    std::stable_sort(v.begin(), v.end(),
                     [](const VertexCorner& a, const VertexCorner& b) { return a.vertex < b.vertex; });
    for (std::size_t i = 0; i + 1 < v.size(); ++i)
      if (v[i].vertex == v[i + 1].vertex) v[i].sharpness = -1.0f;
    std::erase_if(v, [](const VertexCorner& c) { return c.sharpness < 0.0f; });
    models[m].creases = std::move(e);
    models[m].sharpVertices = std::move(v);
  }
  return true;
}

// Seams: the model count, then for each model its seam edges (count, then two vertex numbers each).
void WriteSeams(const CMeshwright& scene, std::vector<std::uint8_t>& out) {
  if (std::all_of(scene.models.begin(), scene.models.end(), [](const CModel& m) { return m.seamEdges.empty(); })) return;
  PutU32(out, static_cast<std::uint32_t>(scene.models.size()));
  for (const CModel& m : scene.models) {
    PutU32(out, static_cast<std::uint32_t>(m.seamEdges.size()));
    for (const std::uint64_t key : m.seamEdges) {
      PutU32(out, static_cast<std::uint32_t>(key >> 32));
      PutU32(out, static_cast<std::uint32_t>(key));
    }
  }
}

bool ReadSeams(std::vector<CModel>& models, const std::uint8_t* data, std::size_t size) {
  Payload p(data, size);
  std::uint32_t count = 0;
  if (!p.U32(count) || count != models.size()) return false;
  std::vector<std::vector<std::uint64_t>> seams(count);
  for (std::uint32_t m = 0; m < count; ++m) {
    const std::size_t vertices = models[m].vertices.size();
    std::uint32_t n = 0;
    if (!p.Count(n)) return false;
    seams[m].resize(n);
    for (std::uint64_t& key : seams[m]) {
      std::uint32_t a = 0, b = 0;
      if (!p.U32(a) || !p.U32(b) || a >= vertices || b >= vertices || a == b) return false;
      key = EdgeKey(static_cast<std::int32_t>(a), static_cast<std::int32_t>(b));
    }
  }
  if (!p.AtEnd()) return false;
  for (std::uint32_t m = 0; m < count; ++m) {
    // Kept sorted and once each, as the editing code expects.
    std::sort(seams[m].begin(), seams[m].end());
    seams[m].erase(std::unique(seams[m].begin(), seams[m].end()), seams[m].end());
    models[m].seamEdges = std::move(seams[m]);
  }
  return true;
}

// Reference pictures: their count, then for each the plane, whether it is shown, the centre (u,
// v), the scale, the opacity, and the file name (UTF-8) after its length.
void WriteReferences(const CMeshwright& scene, std::vector<std::uint8_t>& out) {
  if (scene.referencePictures.empty()) return;
  PutU32(out, static_cast<std::uint32_t>(scene.referencePictures.size()));
  for (const ReferencePicture& r : scene.referencePictures) {
    PutU32(out, static_cast<std::uint32_t>(r.plane));
    PutU32(out, r.visible ? 1u : 0u);
    for (float v : {r.centreU, r.centreV, r.unitsPerPixel, r.opacity}) PutF32(out, v);
    PutU32(out, static_cast<std::uint32_t>(r.path.size()));
    out.insert(out.end(), r.path.begin(), r.path.end());
  }
}

bool ReadReferences(DocumentExtensions& document, const std::uint8_t* data, std::size_t size) {
  Payload p(data, size);
  std::uint32_t count = 0;
  if (!p.U32(count) || count > 3) return false;
  std::vector<ReferencePicture> pictures;
  for (std::uint32_t i = 0; i < count; ++i) {
    ReferencePicture r;
    std::uint32_t plane = 0, visible = 0;
    if (!p.U32(plane) || !p.U32(visible) || plane > 2 || visible > 1) return false;
    r.plane = static_cast<Plane>(plane);
    r.visible = visible != 0;
    if (!p.F32(r.centreU) || !p.F32(r.centreV) || !p.F32(r.unitsPerPixel) || !p.F32(r.opacity) || !p.Text(r.path))
      return false;
    if (!ValidReference(r) || ReferenceFor(pictures, r.plane)) return false;
    pictures.push_back(std::move(r));
  }
  if (!p.AtEnd()) return false;
  document.referencePictures = std::move(pictures);
  return true;
}

struct Section {
  std::uint32_t tag;
  const char* name;  // for the warnings
  std::function<void(const CMeshwright&, std::vector<std::uint8_t>&)> write;
  std::function<bool(std::vector<CModel>&, const std::uint8_t*, std::size_t)> read;
};

const std::vector<Section>& Sections() {
  static const std::vector<Section> sections = {
      {kHiddenSectionTag, "隠した頂点と面", WriteHidden, ReadHidden},
      {kModelStateSectionTag, "モデルの表示状態と鏡面", WriteModelStates, ReadModelStates},
      {kSubdivisionSectionTag, "曲面化の設定", WriteSubdivision, ReadSubdivision},
      {kCreaseSectionTag, "折り目", WriteCreases, ReadCreases},
      {kSeamSectionTag, "UVの継ぎ目", WriteSeams, ReadSeams},
  };
  return sections;
}

// Sections that belong to the document rather than to its models.
struct DocumentSection {
  std::uint32_t tag;
  const char* name;
  std::function<void(const CMeshwright&, std::vector<std::uint8_t>&)> write;
  std::function<bool(DocumentExtensions&, const std::uint8_t*, std::size_t)> read;
};

const std::vector<DocumentSection>& DocumentSections() {
  static const std::vector<DocumentSection> sections = {
      {kReferenceSectionTag, "下絵", WriteReferences, ReadReferences},
  };
  return sections;
}

std::string TagText(std::uint32_t tag) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(tag >> (8 * i));
    s += c >= 0x20 && c < 0x7F ? c : '?';
  }
  return s;
}

}  // namespace

void AppendExtensionBlock(const CMeshwright& scene, std::vector<std::uint8_t>& out) {
  std::vector<std::uint8_t> block, payload;
  for (const Section& s : Sections()) {
    payload.clear();
    s.write(scene, payload);
    if (payload.empty()) continue;
    PutU32(block, s.tag);
    PutU32(block, static_cast<std::uint32_t>(payload.size()));
    block.insert(block.end(), payload.begin(), payload.end());
  }
  for (const DocumentSection& s : DocumentSections()) {
    payload.clear();
    s.write(scene, payload);
    if (payload.empty()) continue;
    PutU32(block, s.tag);
    PutU32(block, static_cast<std::uint32_t>(payload.size()));
    block.insert(block.end(), payload.begin(), payload.end());
  }
  if (block.empty()) return;
  PutU32(out, kExtensionTag);
  PutU32(out, kExtensionVersion);
  out.insert(out.end(), block.begin(), block.end());
}

void ReadExtensionBlock(std::vector<CModel>& models, const std::uint8_t* data, std::size_t size,
                        std::vector<std::string>& warnings) {
  DocumentExtensions ignored;
  ReadExtensionBlock(models, ignored, data, size, warnings);
}

void ReadExtensionBlock(std::vector<CModel>& models, DocumentExtensions& document, const std::uint8_t* data,
                        std::size_t size, std::vector<std::string>& warnings) {
  std::uint32_t tag = 0, version = 0;
  if (size < 8) return;
  std::memcpy(&tag, data, 4);
  std::memcpy(&version, data + 4, 4);
  if (tag != kExtensionTag) return;
  std::size_t at = 8;
  while (at < size) {
    if (size - at < 8) {
      warnings.push_back("文書の最後の追加情報が途中で切れていたため、読み飛ばしました。");
      return;
    }
    std::uint32_t sectionTag = 0, length = 0;
    std::memcpy(&sectionTag, data + at, 4);
    std::memcpy(&length, data + at + 4, 4);
    at += 8;
    if (length > size - at) {
      warnings.push_back("文書の追加情報「" + TagText(sectionTag) + "」が途中で切れていたため、読み飛ばしました。");
      return;
    }
    const Section* known = nullptr;
    for (const Section& s : Sections())
      if (s.tag == sectionTag) known = &s;
    const DocumentSection* documentSection = nullptr;
    for (const DocumentSection& s : DocumentSections())
      if (s.tag == sectionTag) documentSection = &s;
    if (documentSection) {
      if (!documentSection->read(document, data + at, length))
        warnings.push_back(std::string("文書の追加情報 (") + documentSection->name +
                           ") が壊れていたため、読み飛ばしました。");
    } else if (!known) {
      warnings.push_back("文書の追加情報「" + TagText(sectionTag) +
                         "」はこのバージョンでは使えないため、読み飛ばしました。");
    } else if (!known->read(models, data + at, length)) {
      warnings.push_back(std::string("文書の追加情報 (") + known->name + ") が壊れていたため、読み飛ばしました。");
    }
    at += length;
  }
}

}  // namespace mw
