#include "io/fragment_obj.h"

#include <cstdio>
#include <unordered_map>

#include "platform/encoding.h"

namespace mw {
namespace {

// Nine significant digits give every float32 back exactly.
void AppendNumbers(std::string& out, const char* tag, std::initializer_list<float> values) {
  out += tag;
  char buffer[32];
  for (float v : values) {
    std::snprintf(buffer, sizeof buffer, " %.9g", static_cast<double>(v));
    out += buffer;
  }
  out += '\n';
}

}  // namespace

std::string FragmentObjText(const SceneFragment& fragment) {
  const CModel& m = fragment.model;
  std::string out = "# Meshwright\n";
  std::unordered_map<std::int32_t, std::string> names;
  for (const CMaterial& material : fragment.materials) names.try_emplace(material.id, Cp932ToUtf8(material.name));
  out += "o " + Cp932ToUtf8(m.name) + "\n";
  for (const CVertex& v : m.vertices) AppendNumbers(out, "v", {v.position.x, v.position.y, v.position.z});
  // Texture coordinates are numbered in the order the faces use them, one per corner.
  std::size_t uvCount = 0;
  for (const CFace& f : m.faces) {
    if (f.uvs.size() != f.indices.size()) continue;
    for (const CUV& uv : f.uvs) AppendNumbers(out, "vt", {uv.u, 1.0f - uv.v});
  }
  bool first = true;
  std::int32_t material = 0;
  for (const CFace& f : m.faces) {
    if (f.indices.empty()) continue;
    if (first || f.material != material) {
      auto it = names.find(f.material);
      out += "usemtl " + (it != names.end() ? it->second : std::string("NoMaterial")) + "\n";
      material = f.material;
      first = false;
    }
    const bool uvs = f.uvs.size() == f.indices.size() && f.indices.size() > 2;
    out += f.indices.size() == 1 ? "p" : f.indices.size() == 2 ? "l" : "f";
    // OBJ's front is counter-clockwise, ours clockwise: polygons go out with their corners reversed.
    const std::size_t n = f.indices.size();
    for (std::size_t j = 0; j < n; ++j) {
      const std::size_t k = n > 2 ? n - 1 - j : j;
      out += ' ';
      out += std::to_string(static_cast<long long>(f.indices[k]) + 1);
      if (uvs) out += '/' + std::to_string(uvCount + k + 1);
    }
    if (f.uvs.size() == f.indices.size()) uvCount += f.uvs.size();
    out += '\n';
  }
  return out;
}

}  // namespace mw
