// The extension module that `import meshwright` loads from build/release/python.
#include <pybind11/pybind11.h>

#include <cstdlib>
#include <string>

#include "image/material_texture.h"
#include "platform/message.h"
#include "platform/paths.h"
#include "python/bindings.h"

namespace py = pybind11;

PYBIND11_MODULE(meshwright, m) {
  // Inside the interpreter the executable is python3: the import helper, the plugins and the
  // TEXTURE folder are those of the build the module came from, unless MESHWRIGHT_BIN says where.
  const char* bin = std::getenv("MESHWRIGHT_BIN");
  std::string folder = bin && *bin ? bin : MW_PROGRAM_FOLDER;
  if (folder.back() != '/') folder += '/';
  mw::SetProgramFolder(folder);
  static mw::MaterialTextures textures(nullptr, mw::DefaultTextureFolder());
  mw::SetTextureService(&textures);
  // What the program would show in a message box (a texture not found) goes to Python's stderr.
  mw::SetMessageSink([](std::string_view text, mw::MessageIcon icon) {
    py::gil_scoped_acquire gil;
    std::string line = std::string(icon == mw::MessageIcon::Warning ? "meshwright: warning: " : "meshwright: ") +
                       std::string(text);
    while (!line.empty() && line.back() == '\n') line.pop_back();
    py::module_::import("sys").attr("stderr").attr("write")(line + "\n");
  });
  mw::python::DefineModule(m);
}
