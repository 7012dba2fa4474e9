// The benchmark grid written to files once per benchmark program, for the readers to time: as a
// .mqo document and as the same mesh in OBJ text. The files go to /tmp under the process id; the
// program removes them before it ends.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench/bench_scene.h"
#include "io/loader_mqo.h"

namespace mw::bench {

inline constexpr int kGridSide = 1001;

inline std::string TempPath(const char* name) {
  return "/tmp/mw-bench-" + std::to_string(getpid()) + "-" + name;
}

inline const CMeshwright& GridDocument() {
  static const CMeshwright scene = GridScene(kGridSide);
  return scene;
}

inline const std::string& GridMqoPath() {
  static const std::string path = [] {
    std::string p = TempPath("grid.mqo");
    ExportMetasequoia(GridDocument(), p);
    return p;
  }();
  return path;
}

// Positions, four shared UVs and quads, as tinyobjloader and Assimp both read them.
inline const std::string& GridObjPath() {
  static const std::string path = [] {
    std::string p = TempPath("grid.obj");
    std::FILE* f = std::fopen(p.c_str(), "wb");
    for (const CVertex& v : GridDocument().models[0].vertices)
      std::fprintf(f, "v %f %f %f\n", v.position.x, v.position.y, v.position.z);
    std::fputs("vt 0.000000 0.000000\nvt 0.000000 1.000000\nvt 1.000000 1.000000\nvt 1.000000 0.000000\n", f);
    for (const CFace& face : GridDocument().models[0].faces)
      std::fprintf(f, "f %d/1 %d/2 %d/3 %d/4\n", face.indices[0] + 1, face.indices[1] + 1, face.indices[2] + 1,
                   face.indices[3] + 1);
    std::fclose(f);
    return p;
  }();
  return path;
}

}  // namespace mw::bench
