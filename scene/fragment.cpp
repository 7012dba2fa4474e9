#include "scene/fragment.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "scene/texture_service.h"

namespace mw {
namespace {

constexpr char kMagic[6] = {'M', 'W', 'F', 'R', 'A', 'G'};
constexpr std::uint16_t kVersion = 1;
constexpr std::size_t kHeaderBytes = sizeof(kMagic) + 2;

bool FullySelected(const CModel& m, const CFace& f) {
  if (f.indices.empty()) return false;
  for (std::int32_t i : f.indices)
    if (!m.HasVertex(i) || !m.vertices[static_cast<std::size_t>(i)].selected) return false;
  return true;
}

// The fully selected faces of `m` and the vertices they use, appended to `out` (corners
// renumbered past out's vertices). Vertices come in the order of their first use.
void ExtractFrom(const CModel& m, CModel& out) {
  std::unordered_map<std::int32_t, std::int32_t> newIndex;
  for (const CFace& f : m.faces) {
    if (!FullySelected(m, f)) continue;
    CFace copy = f;
    copy.allSelected = 0;
    for (std::int32_t& i : copy.indices) {
      auto [it, added] = newIndex.try_emplace(i, static_cast<std::int32_t>(out.vertices.size()));
      if (added) {
        CVertex v = m.vertices[static_cast<std::size_t>(i)];
        v.selected = 0;
        v.faceRefs.clear();
        out.vertices.push_back(std::move(v));
      }
      i = it->second;
    }
    out.faces.push_back(std::move(copy));
  }
}

// Appends `piece` to `m` with its vertices selected.
void AppendSelected(CModel& m, CModel& piece) {
  for (CVertex& v : piece.vertices) v.selected = 1;
  for (CFace& f : piece.faces) f.allSelected = 1;
  AppendModel(m, piece);
}

void DeselectAll(CMeshwright& scene) {
  for (CModel& m : scene.models) {
    for (CVertex& v : m.vertices) v.selected = 0;
    for (CFace& f : m.faces) f.allSelected = 0;
  }
}

}  // namespace

bool HasSelectedFaces(const CMeshwright& scene) {
  for (const CModel& m : scene.models) {
    if (!m.IsEditable()) continue;
    for (const CFace& f : m.faces)
      if (FullySelected(m, f)) return true;
  }
  return false;
}

SceneFragment ExtractSelection(const CMeshwright& scene) {
  SceneFragment out;
  out.model.name = "Fragment";
  for (const CModel& m : scene.models)
    if (m.IsEditable()) ExtractFrom(m, out.model);
  out.model.RebuildFaceRefs();
  std::vector<std::int32_t> used;
  for (const CFace& f : out.model.faces) used.push_back(f.material);
  std::sort(used.begin(), used.end());
  // The first material of an identifier wins, as a face's material is looked up everywhere else.
  for (const CMaterial& material : scene.materials) {
    if (!std::binary_search(used.begin(), used.end(), material.id)) continue;
    const bool seen = std::any_of(out.materials.begin(), out.materials.end(),
                                  [&material](const CMaterial& m) { return m.id == material.id; });
    if (seen) continue;
    CMaterial copy = material;
    // The copy belongs to no GL context and holds no image: the pasting side loads its own.
    copy.textureObject = 0;
    copy.textureImage.reset();
    copy.textureFailed = false;
    copy.textureFile.clear();
    out.materials.push_back(std::move(copy));
  }
  return out;
}

std::size_t DuplicateSelection(CMeshwright& scene, const CVector& offset) {
  std::vector<CModel> pieces(scene.models.size());
  std::size_t faces = 0;
  for (std::size_t i = 0; i < scene.models.size(); ++i) {
    if (!scene.models[i].IsEditable()) continue;
    ExtractFrom(scene.models[i], pieces[i]);
    faces += pieces[i].faces.size();
  }
  if (faces == 0) return 0;
  DeselectAll(scene);
  for (std::size_t i = 0; i < scene.models.size(); ++i) {
    if (pieces[i].faces.empty()) continue;
    for (CVertex& v : pieces[i].vertices) v.position += offset;
    AppendSelected(scene.models[i], pieces[i]);
    scene.models[i].ComputeNormals(scene.smoothing);
  }
  return faces;
}

bool PasteFragment(CMeshwright& scene, SceneFragment fragment) {
  if (fragment.Empty() || !scene.HasCurrentModel()) return false;
  CModel& target = scene.models[static_cast<std::size_t>(scene.currentModel)];
  if (!target.IsEditable()) return false;

  // Fragment identifier -> scene identifier; the first fragment material of an identifier wins.
  // Textures that cannot be loaded are told about once, together.
  std::unordered_map<std::int32_t, std::int32_t> ids;
  TextureService* textures = GetTextureService();
  if (textures) textures->BeginBatch();
  for (const CMaterial& material : fragment.materials) {
    if (ids.count(material.id)) continue;
    auto same = std::find_if(scene.materials.begin(), scene.materials.end(),
                             [&material](const CMaterial& m) { return m.name == material.name; });
    if (same != scene.materials.end()) {
      ids[material.id] = same->id;
      continue;
    }
    CMaterial added = material;
    added.id = scene.nextMaterialId;
    scene.nextMaterialId = static_cast<std::int32_t>(static_cast<std::uint32_t>(scene.nextMaterialId) + 1u);
    added.textureObject = 0;
    added.textureImage.reset();
    added.textureFailed = false;
    added.textureFile.clear();
    added.UpdateMaterialColors();
    ids[material.id] = added.id;
    scene.materials.push_back(std::move(added));
    scene.materials.back().LoadTexture();
  }
  if (textures) textures->EndBatch();

  // Taken over, not copied: a pasted fragment is held once besides what it adds to the model.
  CModel piece;
  piece.vertices = std::move(fragment.model.vertices);
  piece.faces = std::move(fragment.model.faces);
  for (CFace& f : piece.faces) {
    auto it = ids.find(f.material);
    f.material = it != ids.end() ? it->second : CMeshwright::kNoMaterial;
  }
  DeselectAll(scene);
  AppendSelected(target, piece);
  target.ComputeNormals(scene.smoothing);
  return true;
}

std::vector<std::uint8_t> EncodeFragment(const SceneFragment& fragment) {
  std::vector<std::uint8_t> out(kMagic, kMagic + sizeof(kMagic));
  out.push_back(static_cast<std::uint8_t>(kVersion & 0xFF));
  out.push_back(static_cast<std::uint8_t>(kVersion >> 8));
  CMeshwright holder;
  holder.models.push_back(fragment.model);
  holder.materials = fragment.materials;
  WriteScene(holder, out);
  return out;
}

ArchiveResult DecodeFragment(const std::uint8_t* data, std::size_t size, SceneFragment& fragment) {
  auto refuse = [](const char* what) { return ArchiveResult{ArchiveError::kUnexpectedFormat, what}; };
  if (size > kMaxFragmentBytes) return refuse("fragment larger than the limit");
  if (size < kHeaderBytes || std::memcmp(data, kMagic, sizeof(kMagic)) != 0) return refuse("not a fragment");
  const auto version = static_cast<std::uint16_t>(data[6] | (data[7] << 8));
  if (version != kVersion) return refuse("fragment of another version");
  CMeshwright holder;
  ArchiveResult r = ReadScene(holder, data + kHeaderBytes, size - kHeaderBytes);
  if (!r.ok()) return r;
  if (holder.models.size() != 1) return refuse("fragment does not hold exactly one model");
  CModel& m = holder.models.front();
  // The stream's face references and selection are not trusted: the paste rebuilds them.
  for (CVertex& v : m.vertices) v.selected = 0;
  for (CFace& f : m.faces) f.allSelected = 0;
  m.RebuildFaceRefs();
  fragment.model = std::move(m);
  fragment.materials = std::move(holder.materials);
  return ArchiveResult{};
}

}  // namespace mw
