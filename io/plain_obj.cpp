#include "io/plain_obj.h"

#include <sys/stat.h>
#include <tiny_obj_loader.h>

#include <algorithm>
#include <bit>
#include <fstream>
#include <map>
#include <new>
#include <utility>

#include "io/position_weld.h"
#include "platform/encoding.h"

namespace mw {

namespace {

// A file naming a material library is not plain: nothing is read from it, and Assimp takes over.
class NoMaterials : public tinyobj::MaterialReader {
 public:
  bool operator()(const std::string&, std::vector<tinyobj::material_t>*, std::map<std::string, int>*, std::string*,
                  std::string*) override {
    named = true;
    return false;
  }
  bool named = false;
};

// For each position of the file, the first position at the same place (-0 being 0): the weld,
// done in the file's order so that each look-up's slot is fetched from memory well before it is
// needed, where welding in the faces' order waited on memory at every new corner.
std::vector<std::uint32_t> FirstAtSamePlace(const std::vector<float>& xyz) {
  const std::size_t n = xyz.size() / 3;
  struct Slot {
    PositionKey key;
    std::uint32_t first;
  };
  constexpr std::uint32_t kFree = UINT32_MAX;
  const std::size_t size = std::bit_ceil(std::max<std::size_t>(64, n * 2));
  const int shift = 64 - std::countr_zero(size);
  std::vector<Slot> slots(size, Slot{{}, kFree});
  std::vector<std::uint32_t> first(n);
  auto key = [&xyz](std::size_t i) { return KeyOf(CVector(xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2])); };
  constexpr std::size_t kAhead = 16;
  for (std::size_t i = 0; i < n; ++i) {
    if (i + kAhead < n) __builtin_prefetch(&slots[HashOf(key(i + kAhead)) >> shift]);
    const PositionKey k = key(i);
    for (std::size_t at = HashOf(k) >> shift;; at = (at + 1) & (size - 1)) {
      Slot& slot = slots[at];
      if (slot.first == kFree) {
        slot = Slot{k, static_cast<std::uint32_t>(i)};
        first[i] = static_cast<std::uint32_t>(i);
        break;
      }
      if (slot.key == k) {
        first[i] = slot.first;
        break;
      }
    }
  }
  return first;
}

std::string Stem(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name.empty() ? "Model" : name;
}

}  // namespace

bool ReadPlainObj(CMeshwright& scene, const std::string& path, DocumentResult& result) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  try {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    NoMaterials library;
    if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, &in, &library, false, false)) return false;
    if (library.named || !warn.empty() || !err.empty() || shapes.size() != 1 || !shapes[0].name.empty() ||
        !materials.empty() || !attrib.colors.empty())
      return false;
    const tinyobj::shape_t& shape = shapes[0];
    const tinyobj::mesh_t& mesh = shape.mesh;
    if (!shape.lines.indices.empty() || !shape.points.indices.empty() || mesh.num_face_vertices.empty()) return false;
    // Every face of three corners or more (the library counts corners in a byte: a larger face
    // shows as counts that do not add up), every corner naming a position, and texture
    // coordinates on all corners or none.
    std::size_t corners = 0;
    for (unsigned char n : mesh.num_face_vertices) {
      if (n < 3) return false;
      corners += n;
    }
    if (corners != mesh.indices.size()) return false;
    const std::size_t positions = attrib.vertices.size() / 3, uvCount = attrib.texcoords.size() / 2;
    const bool uvs = mesh.indices.front().texcoord_index >= 0;
    for (const tinyobj::index_t& c : mesh.indices) {
      if (c.vertex_index < 0 || static_cast<std::size_t>(c.vertex_index) >= positions) return false;
      if ((c.texcoord_index >= 0) != uvs) return false;
      if (uvs && static_cast<std::size_t>(c.texcoord_index) >= uvCount) return false;
    }

    // As Assimp's reader gives it and SceneReader takes it: the made-up material, one model.
    CMaterial material(scene.nextMaterialId);
    material.name = "DefaultMaterial";
    CModel model;
    model.name = Utf8ToCp932(Stem(path));
    model.faces.reserve(mesh.num_face_vertices.size());
    const std::vector<std::uint32_t> place = FirstAtSamePlace(attrib.vertices);
    std::vector<std::int32_t> vertexOf(positions, -1);
    std::size_t at = 0;
    for (unsigned char n : mesh.num_face_vertices) {
      CFace& face = model.faces.emplace_back();
      face.material = material.id;
      face.indices.reserve(n);
      if (uvs) face.uvs.reserve(n);
      // The file's front is counter-clockwise, the document's clockwise.
      for (std::size_t k = n; k-- > 0;) {
        const tinyobj::index_t& c = mesh.indices[at + k];
        // Numbered in the order first used, as the weld of Assimp's corners numbers them.
        std::int32_t& v = vertexOf[place[static_cast<std::size_t>(c.vertex_index)]];
        if (v < 0) {
          const float* p = &attrib.vertices[3 * static_cast<std::size_t>(c.vertex_index)];
          v = static_cast<std::int32_t>(model.vertices.size());
          model.vertices.emplace_back(p[0], p[1], p[2]);
        }
        face.indices.push_back(v);
        if (uvs) {
          const float* t = &attrib.texcoords[2 * static_cast<std::size_t>(c.texcoord_index)];
          face.uvs.push_back(CUV(t[0], 1.0f - t[1]));
        }
      }
      at += n;
    }
    model.RebuildFaceRefs();
    model.ComputeNormals(scene.smoothing);
    material.UpdateMaterialColors();
    scene.materials.push_back(std::move(material));
    scene.nextMaterialId = static_cast<std::int32_t>(static_cast<std::uint32_t>(scene.nextMaterialId) + 1u);
    scene.models.push_back(std::move(model));
    result = DocumentResult{};
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace mw
