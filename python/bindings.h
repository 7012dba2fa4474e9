// The `meshwright` Python module over the core (scene, io, image): documents, models, materials,
// the camera, NumPy arrays of the geometry and the program's operations.
//
// The same definitions serve the extension module that `import meshwright` loads from
// build/release/python and the module built into the program and mwconv, where a script works
// on the open document (python/script_runner.h).
//
// Lifetime. A Document wrapper shares a DocState with every Model, Material and position array
// taken from it, so the document lives as long as any of them. A position array is a view into
// the model's vertex records; before anything the module does may move or free those records
// (welding, adding or removing vertices, faces or models, the end of a script in the program),
// the views of that model are detached: they keep the old records alive, become read-only (a
// write raises ValueError) and no longer alias the document. Access through a Model whose model
// is gone, or through a document the program has taken back, raises meshwright.ClosedError.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <string>

namespace mw {

class CMeshwright;

namespace python {

struct DocState;

// Defines everything in `m` (classes, functions, the Error classes).
void DefineModule(pybind11::module_& m);

// Wraps `scene`, which the caller owns, as a meshwright.Document. ReleaseDocument must be called
// before the scene is changed by anyone else or destroyed: it detaches every array still alive and
// makes further access through the wrapper raise.
pybind11::object WrapDocument(CMeshwright& scene, const std::string& path);
void ReleaseDocument(const pybind11::object& document);

}  // namespace python
}  // namespace mw
