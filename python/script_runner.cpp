#include "python/script_runner.h"

#include <pybind11/embed.h>
#include <pybind11/eval.h>
#include <frameobject.h>

#include <chrono>
#include <memory>

#include "python/bindings.h"
#include "scene/meshwright.h"

namespace py = pybind11;

PYBIND11_EMBEDDED_MODULE(meshwright, m) {
  mw::python::DefineModule(m);
  m.attr("document") = py::none();
}

namespace mw {

namespace {

// The hooks of the script now running, for the trace function (Python runs one script at a time).
const ScriptHooks* gHooks = nullptr;
bool gCancelled = false;
std::chrono::steady_clock::time_point gNextPoll;

int PollCancel(PyObject*, PyFrameObject*, int what, PyObject*) {
  if (what != PyTrace_LINE && what != PyTrace_CALL) return 0;
  const auto now = std::chrono::steady_clock::now();
  if (now < gNextPoll) return 0;
  gNextPoll = now + std::chrono::milliseconds(50);
  if (gHooks && gHooks->cancelRequested && gHooks->cancelRequested()) {
    gCancelled = true;
    PyErr_SetString(PyExc_KeyboardInterrupt, "スクリプトをキャンセルしました。");
    return -1;
  }
  return 0;
}

void EnsureInterpreter() {
  // Kept to the end of the process: finalising and starting again is not safe with NumPy loaded.
  // Python's signal handlers stay out of the program's way.
  static py::scoped_interpreter* interpreter = Py_IsInitialized() ? nullptr : new py::scoped_interpreter(false);
  (void)interpreter;
}

// What a failed script says: the traceback as Python prints it.
std::string Traceback(py::error_already_set& e) {
  try {
    py::object lines = py::module_::import("traceback").attr("format_exception")(e.type(), e.value(), e.trace());
    return py::str("").attr("join")(lines).cast<std::string>();
  } catch (...) {
    return e.what();
  }
}

}  // namespace

ScriptResult RunScript(CMeshwright& scene, const std::string& scriptPath, const std::string& documentPath,
                       const ScriptHooks& hooks) {
  EnsureInterpreter();
  py::gil_scoped_acquire gil;
  ScriptResult result;
  py::module_ sys = py::module_::import("sys");
  py::module_ module = py::module_::import("meshwright");
  py::object oldOut = sys.attr("stdout"), oldErr = sys.attr("stderr");
  py::object document = python::WrapDocument(scene, documentPath);
  {
    py::object write = py::cpp_function([&hooks](const std::string& text) {
      if (hooks.output) hooks.output(text);
      return text.size();
    });
    py::object stream = py::module_::import("types").attr("SimpleNamespace")(
        py::arg("write") = write, py::arg("flush") = py::cpp_function([]() {}));
    sys.attr("stdout") = stream;
    sys.attr("stderr") = stream;
    module.attr("document") = document;
    gHooks = &hooks;
    gCancelled = false;
    gNextPoll = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    PyEval_SetTrace(PollCancel, nullptr);
    try {
      py::dict globals;
      globals["__builtins__"] = py::module_::import("builtins");
      globals["__name__"] = "__main__";
      globals["__file__"] = scriptPath;
      globals["doc"] = document;
      globals["meshwright"] = module;
      py::eval_file(py::str(scriptPath), globals);
      result.ok = true;
    } catch (py::error_already_set& e) {
      if (e.matches(PyExc_SystemExit)) {
        py::object code = e.value().attr("code");
        result.ok = code.is_none() || (py::isinstance<py::int_>(code) && code.cast<long>() == 0);
      }
      if (!result.ok) {
        result.cancelled = gCancelled && e.matches(PyExc_KeyboardInterrupt);
        result.error = Traceback(e);
      }
    } catch (const std::exception& e) {
      result.error = e.what();
    }
    PyEval_SetTrace(nullptr, nullptr);
    gHooks = nullptr;
    sys.attr("stdout") = oldOut;
    sys.attr("stderr") = oldErr;
    module.attr("document") = py::none();
  }
  python::ReleaseDocument(document);
  if (result.ok) scene.ComputeNormals();
  return result;
}

}  // namespace mw
