// Plain Wavefront OBJ files read with tinyobjloader, at that library's speed, in the import
// helper (io/assimp_child.h, under the same limits as Assimp): positions, texture coordinates on
// every corner or on none, and polygons of three corners or more, in one unnamed object without
// materials, the kind a scanner or another modeller writes for a large mesh. Such a file reads
// exactly as Assimp's reader makes it (one model named after the file, corners reversed, corners
// at one position one vertex, V flipped, Assimp's made-up material); anything more (materials,
// groups, objects, lines, points, vertex colours, a face naming no vertex, anything the library
// warns of) is left to Assimp, which reads it as before.
#pragma once

#include <string>

#include "io/document_io.h"
#include "scene/meshwright.h"

namespace mw {

// True when the file was plain and has been appended to `scene` (`result` says how it went);
// false leaves `scene` and `result` alone.
bool ReadPlainObj(CMeshwright& scene, const std::string& path, DocumentResult& result);

}  // namespace mw
