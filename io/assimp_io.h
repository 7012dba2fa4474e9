// Other programs' 3D formats (OBJ, PLY, STL, glTF, FBX, 3DS, COLLADA, OFF, LightWave) read and
// written through Assimp.
//
// Import appends, as a Metasequoia import does: one model per node that holds meshes (Assimp splits
// a file's object into one mesh per material; the model gathers them again, its faces keeping their
// materials), named after the node, else its first mesh, else the file; the materials its faces use
// are added after the scene's with identifiers from nextMaterialId. Polygons keep their corners
// (nothing is triangulated; glTF's FB_ngon_encoding fans become their polygons again), in the
// reverse order: these formats show the side from which the corners run counter-clockwise, the
// document the other. Corners at the same position in one model become one vertex; texture
// coordinates come per corner from the first UV channel; node transforms are applied to the
// vertices. Lines become two-corner faces; points are skipped. Whatever the document cannot hold
// is counted and listed in one warning. The scene is changed only when the whole file was read:
// on any failure it is as it was.
//
// Textures embedded in the file (a .glb's) are written beside it as files of their own, named
// after it ("duck_0.png"). Materials Assimp makes up for a file without any (PLY, OFF, STL, an OBJ without a library) take
// the values of the program's own new material.
//
// Export writes the whole scene through a writer that keeps every file in memory until Assimp has
// finished, then replaces each target atomically: a failed export leaves every file as it was.
// Polygons go out with their corners reversed, as they came in. Textures go along: into a .glb
// (PNG and JPEG), else copied beside the output; the output names them by their file names.
#pragma once

#include <cstddef>
#include <string>

#include "io/document_io.h"
#include "scene/meshwright.h"

namespace mw {

// Reads the file at `path` (any format Assimp recognises) and appends it to `scene`.
DocumentResult ImportAssimp(CMeshwright& scene, const std::string& path);
// The same from memory; `extensionHint` ("obj", "ply", ...) tells Assimp the format. Companion
// files (an OBJ's .mtl, a glTF's .bin) are not found. For fuzzing and tests.
DocumentResult ImportAssimpMemory(CMeshwright& scene, const void* data, std::size_t size, const char* extensionHint);

// Writers for the format table: the path's own extension decides details (".gltf" writes a text
// glTF with its .bin, ".glb" one binary file).
DocumentResult ExportObj(const CMeshwright& scene, const std::string& path);
DocumentResult ExportPly(const CMeshwright& scene, const std::string& path);
DocumentResult ExportStl(const CMeshwright& scene, const std::string& path);
DocumentResult ExportGltf(const CMeshwright& scene, const std::string& path);

}  // namespace mw
