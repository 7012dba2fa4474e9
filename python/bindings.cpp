#include "python/bindings.h"

#include <pybind11/eval.h>
#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <vector>

#include "io/document_formats.h"
#include "io/document_io.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "scene/element_selection.h"
#include "scene/frame_view.h"
#include "scene/grow_ops.h"
#include "scene/mesh_cut.h"
#include "scene/mesh_reduce.h"
#include "scene/mesh_tools.h"
#include "scene/meshwright.h"
#include "scene/primitives.h"
#include "scene/smoothing.h"
#include "scene/subdivision.h"
#include "scene/symmetry.h"

namespace py = pybind11;

namespace mw::python {

// A failure the user is told about: the kind names the Python class (KIND + "Error"), the message
// is the program's own text.
struct ModuleError {
  std::string kind;
  std::string message;
};

class PositionLease;

struct DocState {
  CMeshwright* scene = nullptr;  // null once the program has taken its document back
  std::unique_ptr<CMeshwright> owned;
  std::string path;
  std::vector<PositionLease*> leases;

  CMeshwright& Scene() {
    if (!scene) throw ModuleError{"Closed", "スクリプトの終わったドキュメントには触れられません。"};
    return *scene;
  }
  // The views of model `index` (of every model for npos) let go of its records; `removed`: the
  // model itself goes, so its records move into the views instead of being copied.
  void Detach(std::size_t index, bool removed = false);
  void DetachAll() {
    if (!scene) return;
    for (std::size_t i = 0; i < scene->models.size(); ++i) Detach(i);
  }
};

// The base object of a position array: keeps the document (or, once detached, the old records)
// alive for as long as any view of the array exists.
class PositionLease {
 public:
  PositionLease(std::shared_ptr<DocState> doc, std::size_t model) : doc_(std::move(doc)), model_(model) {
    doc_->leases.push_back(this);
  }
  ~PositionLease() { std::erase(doc_->leases, this); }
  PositionLease(const PositionLease&) = delete;
  PositionLease& operator=(const PositionLease&) = delete;

  std::size_t model() const { return model_; }
  bool attached() const { return !orphan_; }
  void SetModel(std::size_t m) { model_ = m; }
  void SetArray(const py::object& array) { array_ = py::weakref(array); }
  void Orphan(std::shared_ptr<std::vector<CVertex>> records) {
    orphan_ = std::move(records);
    py::object a = array_ ? array_() : py::none();
    if (!a.is_none()) a.attr("setflags")(py::arg("write") = false);
  }

 private:
  std::shared_ptr<DocState> doc_;
  std::size_t model_;
  std::shared_ptr<std::vector<CVertex>> orphan_;
  py::weakref array_;
};

void DocState::Detach(std::size_t index, bool removed) {
  if (!scene || index >= scene->models.size()) return;
  std::shared_ptr<std::vector<CVertex>> records;
  for (PositionLease* lease : leases) {
    if (!lease->attached() || lease->model() != index) continue;
    if (!records) {
      std::vector<CVertex>& live = scene->models[index].vertices;
      records = std::make_shared<std::vector<CVertex>>(std::move(live));
      if (!removed) live = *records;  // the model takes a copy; the views keep the storage they see
    }
    lease->Orphan(records);
  }
  if (removed) {
    for (PositionLease* lease : leases)
      if (lease->attached() && lease->model() > index) lease->SetModel(lease->model() - 1);
  }
}

namespace {

std::string ToUtf8(const std::string& cp932) { return Cp932ToUtf8(cp932); }
std::string ToCp932(const std::string& utf8) { return Utf8ToCp932(utf8); }

// A model of a document, by its place in the list.
struct ModelRef {
  std::shared_ptr<DocState> doc;
  std::size_t index;
  CModel& Get() const {
    CMeshwright& s = doc->Scene();
    if (index >= s.models.size()) throw ModuleError{"Closed", "このモデルはもうありません。"};
    return s.models[index];
  }
  std::int32_t Smooth() const { return doc->Scene().smoothing; }
};

struct MaterialRef {
  std::shared_ptr<DocState> doc;
  std::size_t index;
  CMaterial& Get() const {
    CMeshwright& s = doc->Scene();
    if (index >= s.materials.size()) throw ModuleError{"Closed", "このマテリアルはもうありません。"};
    return s.materials[index];
  }
};

struct CameraRef {
  std::shared_ptr<DocState> doc;
};

struct Document {
  std::shared_ptr<DocState> state;
};

void ThrowDocument(const DocumentResult& r, const std::string& path) {
  throw ModuleError{DocumentErrorName(r.error), DocumentMessage(r, path, ": ")};
}

std::size_t CheckedIndex(std::int64_t i, std::size_t size, const char* what) {
  if (i < 0) i += static_cast<std::int64_t>(size);
  if (i < 0 || static_cast<std::size_t>(i) >= size) throw py::index_error(std::string(what) + " index out of range");
  return static_cast<std::size_t>(i);
}

// A word the caller chose among `names` (the enum's order), or a ValueError naming them.
template <typename E, std::size_t N>
E Choice(const std::string& word, const char* const (&names)[N], const char* what) {
  for (std::size_t i = 0; i < N; ++i)
    if (word == names[i]) return static_cast<E>(i);
  std::string known;
  for (const char* n : names) known += std::string(known.empty() ? "" : ", ") + n;
  throw py::value_error(std::string(what) + " must be one of: " + known);
}

void InRange(double value, double lo, double hi, const char* what) {
  if (!(value >= lo && value <= hi))
    throw py::value_error(std::string(what) + " must be from " + std::to_string(lo) + " to " + std::to_string(hi));
}

py::tuple Vec(const CVector& v) { return py::make_tuple(v.x, v.y, v.z); }
CVector ToVec(const std::vector<float>& v) {
  if (v.size() != 3) throw py::value_error("expected three numbers (x, y, z)");
  return CVector(v[0], v[1], v[2]);
}

// The views of every model that the change can move lose their aliasing first.
template <typename F>
auto Mutating(const ModelRef& r, F&& change) {
  r.Get();
  r.doc->Detach(r.index);
  return change(r.Get());
}

// A verb of the whole scene: every model's views lose their aliasing first.
template <typename F>
std::size_t SceneVerb(Document& d, F&& verb) {
  d.state->DetachAll();
  return verb(d.state->Scene());
}

py::array_t<float> Positions(const ModelRef& r) {
  CModel& m = r.Get();
  const py::ssize_t n = static_cast<py::ssize_t>(m.vertices.size());
  if (n == 0) return py::array_t<float>(std::vector<py::ssize_t>{0, 3});
  auto lease = std::make_unique<PositionLease>(r.doc, r.index);
  PositionLease* raw = lease.get();
  py::object base = py::cast(std::move(lease));
  py::array_t<float> a({n, py::ssize_t{3}},
                       {static_cast<py::ssize_t>(sizeof(CVertex)), static_cast<py::ssize_t>(sizeof(float))},
                       &m.vertices[0].position.x, base);
  raw->SetArray(a);
  return a;
}

// A contiguous copy: one pass over the records, faster than NumPy's copy of the strided view.
py::array_t<float> CopyPositions(const ModelRef& r) {
  const CModel& m = r.Get();
  py::array_t<float> a({static_cast<py::ssize_t>(m.vertices.size()), py::ssize_t{3}});
  float* out = a.mutable_data();
  for (const CVertex& v : m.vertices) {
    out[0] = v.position.x, out[1] = v.position.y, out[2] = v.position.z;
    out += 3;
  }
  return a;
}

void SetPositions(const ModelRef& r, const py::array_t<float, py::array::c_style | py::array::forcecast>& a) {
  CModel& m = r.Get();
  if (a.ndim() != 2 || a.shape(1) != 3 || static_cast<std::size_t>(a.shape(0)) != m.vertices.size())
    throw py::value_error("positions must have shape (" + std::to_string(m.vertices.size()) + ", 3)");
  const float* p = a.data();
  for (CVertex& v : m.vertices) {
    v.position = CVector(p[0], p[1], p[2]);
    p += 3;
  }
}

py::array_t<std::int32_t> FaceIndices(const ModelRef& r) {
  const CModel& m = r.Get();
  std::size_t n = 0;
  for (const CFace& f : m.faces) n += f.indices.size();
  py::array_t<std::int32_t> a(static_cast<py::ssize_t>(n));
  std::int32_t* out = a.mutable_data();
  for (const CFace& f : m.faces) out = std::copy(f.indices.begin(), f.indices.end(), out);
  return a;
}

py::array_t<std::int64_t> FaceOffsets(const ModelRef& r) {
  const CModel& m = r.Get();
  py::array_t<std::int64_t> a(static_cast<py::ssize_t>(m.faces.size() + 1));
  std::int64_t* out = a.mutable_data();
  std::int64_t at = 0;
  *out++ = 0;
  for (const CFace& f : m.faces) *out++ = at += static_cast<std::int64_t>(f.indices.size());
  return a;
}

py::array_t<float> Uvs(const ModelRef& r) {
  const CModel& m = r.Get();
  std::size_t n = 0;
  for (const CFace& f : m.faces) n += f.indices.size();
  py::array_t<float> a({static_cast<py::ssize_t>(n), py::ssize_t{2}});
  float* out = a.mutable_data();
  for (const CFace& f : m.faces) {
    const bool has = f.uvs.size() == f.indices.size();
    for (std::size_t i = 0; i < f.indices.size(); ++i) {
      *out++ = has ? f.uvs[i].u : NAN;
      *out++ = has ? f.uvs[i].v : NAN;
    }
  }
  return a;
}

void SetUvs(const ModelRef& r, const py::array_t<float, py::array::c_style | py::array::forcecast>& a) {
  CModel& m = r.Get();
  std::size_t n = 0;
  for (const CFace& f : m.faces) n += f.indices.size();
  if (a.ndim() != 2 || a.shape(1) != 2 || static_cast<std::size_t>(a.shape(0)) != n)
    throw py::value_error("uvs must have shape (" + std::to_string(n) + ", 2), one row per corner");
  const float* p = a.data();
  for (CFace& f : m.faces) {
    const float* first = p;
    bool has = true;
    for (std::size_t i = 0; i < f.indices.size(); ++i, p += 2) has = has && !std::isnan(p[0]) && !std::isnan(p[1]);
    f.uvs.clear();
    if (!has) continue;
    for (std::size_t i = 0; i < f.indices.size(); ++i) f.AddUV(CUV(first[2 * i], first[2 * i + 1]));
  }
}

py::array_t<std::int32_t> FaceMaterials(const ModelRef& r) {
  const CModel& m = r.Get();
  py::array_t<std::int32_t> a(static_cast<py::ssize_t>(m.faces.size()));
  std::int32_t* out = a.mutable_data();
  for (const CFace& f : m.faces) *out++ = f.material;
  return a;
}

std::int64_t AddVertices(const ModelRef& r, const py::array_t<float, py::array::c_style | py::array::forcecast>& a) {
  if (a.ndim() != 2 || a.shape(1) != 3) throw py::value_error("vertices must have shape (n, 3)");
  return Mutating(r, [&](CModel& m) {
    const std::int64_t first = static_cast<std::int64_t>(m.vertices.size());
    const float* p = a.data();
    m.vertices.reserve(m.vertices.size() + static_cast<std::size_t>(a.shape(0)));
    for (py::ssize_t i = 0; i < a.shape(0); ++i, p += 3) m.vertices.emplace_back(p[0], p[1], p[2]);
    return first;
  });
}

// Faces as lists of corners, or as flat corners with offsets (CSR), all in `material`.
std::int64_t AddFaces(const ModelRef& r, const std::vector<std::vector<std::int32_t>>& faces, std::int32_t material,
                      bool hasMaterial) {
  return Mutating(r, [&](CModel& m) {
    const std::int32_t id = hasMaterial ? material : r.doc->Scene().CurrentMaterialId();
    for (const auto& corners : faces) {
      if (corners.empty()) throw py::value_error("a face needs at least one corner");
      for (std::int32_t c : corners)
        if (!m.HasVertex(c)) throw py::index_error("corner " + std::to_string(c) + " names no vertex");
    }
    const std::int64_t first = static_cast<std::int64_t>(m.faces.size());
    for (const auto& corners : faces) {
      CFace f;
      f.material = id;
      for (std::int32_t c : corners) f.AddIndex(c);
      m.faces.push_back(std::move(f));
    }
    m.RebuildFaceRefs();
    m.ComputeNormals(r.Smooth());
    return first;
  });
}

std::vector<std::vector<std::int32_t>> CsrFaces(const py::array_t<std::int32_t, py::array::forcecast>& indices,
                                                const py::array_t<std::int64_t, py::array::forcecast>& offsets) {
  auto ix = indices.unchecked<1>();
  auto of = offsets.unchecked<1>();
  std::vector<std::vector<std::int32_t>> faces;
  for (py::ssize_t f = 0; f + 1 < of.shape(0); ++f) {
    if (of(f) < 0 || of(f + 1) < of(f) || of(f + 1) > ix.shape(0)) throw py::value_error("offsets out of order");
    auto& c = faces.emplace_back();
    for (std::int64_t k = of(f); k < of(f + 1); ++k) c.push_back(ix(static_cast<py::ssize_t>(k)));
  }
  return faces;
}

std::vector<std::int32_t> Indices(const py::object& o) {
  if (o.is_none()) return {};
  return py::cast<std::vector<std::int32_t>>(py::module_::import("numpy").attr("asarray")(o).attr("ravel")().attr("tolist")());
}

// Selects exactly the given elements of the model (added to what is selected with `add`); hidden
// elements are passed over, as a click passes over them.
void Select(const ModelRef& r, const py::object& vertices, const py::object& edges, const py::object& faces, bool add) {
  CModel& m = r.Get();
  const std::vector<std::int32_t> vs = Indices(vertices), es = Indices(edges), fs = Indices(faces);
  for (std::int32_t v : vs)
    if (!m.HasVertex(v)) throw py::index_error("vertex " + std::to_string(v) + " out of range");
  if (es.size() % 2) throw py::value_error("edges are pairs of vertices");
  for (std::int32_t v : es)
    if (!m.HasVertex(v)) throw py::index_error("edge end " + std::to_string(v) + " out of range");
  for (std::int32_t f : fs)
    if (f < 0 || static_cast<std::size_t>(f) >= m.faces.size()) throw py::index_error("face " + std::to_string(f) + " out of range");
  if (!add) {
    for (CVertex& v : m.vertices) v.selected = 0;
    for (CFace& f : m.faces) f.selected = 0;
    m.selectedEdges.clear();
  }
  for (std::int32_t v : vs)
    if (!m.vertices[static_cast<std::size_t>(v)].hidden) m.vertices[static_cast<std::size_t>(v)].selected = 1;
  for (std::size_t k = 0; k < es.size(); k += 2) {
    CVertex& a = m.vertices[static_cast<std::size_t>(es[k])];
    CVertex& b = m.vertices[static_cast<std::size_t>(es[k + 1])];
    if (a.hidden || b.hidden || es[k] == es[k + 1]) continue;
    MarkEdge(m, es[k], es[k + 1], true);
    a.selected = b.selected = 1;
  }
  for (std::int32_t fi : fs) {
    CFace& f = m.faces[static_cast<std::size_t>(fi)];
    if (f.hidden) continue;
    f.selected = 1;
    for (std::int32_t c : f.indices)
      if (m.HasVertex(c)) m.vertices[static_cast<std::size_t>(c)].selected = 1;
  }
  m.UpdateFaceSelection();
}

py::array_t<std::int32_t> SelectedVertices(const ModelRef& r) {
  const CModel& m = r.Get();
  std::vector<std::int32_t> out;
  for (std::size_t i = 0; i < m.vertices.size(); ++i)
    if (m.vertices[i].selected) out.push_back(static_cast<std::int32_t>(i));
  return py::array_t<std::int32_t>(static_cast<py::ssize_t>(out.size()), out.data());
}

py::array_t<std::int32_t> SelectedFaces(const ModelRef& r) {
  const CModel& m = r.Get();
  std::vector<std::int32_t> out;
  for (std::size_t i = 0; i < m.faces.size(); ++i)
    if (m.faces[i].selected || m.faces[i].allSelected) out.push_back(static_cast<std::int32_t>(i));
  return py::array_t<std::int32_t>(static_cast<py::ssize_t>(out.size()), out.data());
}

ModelRef AddShape(Document& d, const std::string& shape, const py::kwargs& keys) {
  std::string text = shape;
  char sep = ':';
  for (auto item : keys) {
    std::string value;
    if (py::isinstance<py::bool_>(item.second)) throw py::type_error("shape settings are numbers or names");
    if (py::isinstance<py::float_>(item.second)) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.17g", item.second.cast<double>());
      value = buf;
    } else {
      value = py::str(item.second).cast<std::string>();
    }
    text += sep + item.first.cast<std::string>() + "=" + value;
    sep = ',';
  }
  PrimitiveParams params;
  CVector centre;
  std::string error;
  if (!ParsePrimitive(text, params, centre, error)) throw py::value_error(shape + ": " + error);
  CMeshwright& s = d.state->Scene();
  AddPrimitive(s, params, centre, true);
  return ModelRef{d.state, s.models.size() - 1};
}

void Save(Document& d, const std::string& path) {
  CMeshwright& s = d.state->Scene();
  s.ComputeNormals();  // positions written through the arrays leave the normals behind
  const DocumentResult r = SaveDocumentFile(s, path);
  if (!r.ok()) ThrowDocument(r, path);
  if (IsDocumentFile(path)) d.state->path = path;
}

Document Open(const std::string& path) {
  Document d{std::make_shared<DocState>()};
  d.state->owned = std::make_unique<CMeshwright>();
  d.state->scene = d.state->owned.get();
  d.state->scene->ResetScene();
  const DocumentResult r = OpenDocumentFile(*d.state->scene, path);
  if (!r.ok()) ThrowDocument(r, path);
  d.state->path = path;
  return d;
}

Document New() {
  Document d{std::make_shared<DocState>()};
  d.state->owned = std::make_unique<CMeshwright>();
  d.state->scene = d.state->owned.get();
  d.state->scene->ResetScene();
  return d;
}

// The program draws pictures with OpenGL, which the core does not link: the document is written
// beside the file it came from (so its textures are found as they were) and drawn by
// `meshwright --render`.
void Render(Document& d, const std::string& picture, std::pair<int, int> size) {
  if (size.first <= 0 || size.second <= 0) throw py::value_error("size must be two whole numbers above 0");
  namespace fs = std::filesystem;
  const std::string program = ProgramFolder() + "meshwright";
  if (access(program.c_str(), X_OK) != 0)
    throw ModuleError{"RenderFailed", program + ": 絵を描くプログラムがありません。"};
  fs::path folder = d.state->path.empty() ? fs::temp_directory_path() : fs::path(d.state->path).parent_path();
  if (folder.empty()) folder = ".";
  if (access(folder.c_str(), W_OK) != 0) folder = fs::temp_directory_path();
  const std::string temp =
      (folder / (".meshwright-render-" + std::to_string(getpid()) + "-" + std::to_string(reinterpret_cast<std::uintptr_t>(&d)) + ".mwr"))
          .string();
  CMeshwright& s = d.state->Scene();
  s.ComputeNormals();
  const DocumentResult saved = SaveDocumentFile(s, temp);
  if (!saved.ok()) ThrowDocument(saved, temp);
  const std::string sizeText = std::to_string(size.first) + "x" + std::to_string(size.second);
  int status = -1;
  {
    py::gil_scoped_release unlocked;
    const pid_t child = fork();
    if (child == 0) {
      execl(program.c_str(), program.c_str(), "--render", picture.c_str(), "--size", sizeText.c_str(), temp.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    if (child > 0) waitpid(child, &status, 0);
  }
  std::error_code ignored;
  fs::remove(temp, ignored);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw ModuleError{"RenderFailed", picture + ": 絵を描けませんでした。"};
}

}  // namespace

py::object WrapDocument(CMeshwright& scene, const std::string& path) {
  Document d{std::make_shared<DocState>()};
  d.state->scene = &scene;
  d.state->path = path;
  return py::cast(d);
}

void ReleaseDocument(const py::object& document) {
  Document& d = document.cast<Document&>();
  d.state->DetachAll();
  d.state->scene = nullptr;
}

void DefineModule(py::module_& m) {
  m.doc() =
      "Meshwright documents from Python: open and save every format the program reads and writes,\n"
      "the models' geometry as NumPy arrays, materials, the camera, and the program's operations.\n\n"
      "    import meshwright\n"
      "    doc = meshwright.open('scene.mqo')\n"
      "    for model in doc.models:\n"
      "        model.weld(0.001)\n"
      "    doc.save('scene.glb')\n\n"
      "Failures raise a subclass of meshwright.Error (CannotOpenError, WriteFailedError, ...) whose\n"
      "`kind` names the failure and `message` is the program's own text.";

  // The error classes: one per kind of failure the program tells, under one base.
  py::dict scope;
  py::exec(R"(
class Error(Exception):
    """A failure as the program tells it: `kind` names what went wrong, `message` says it."""
    def __init__(self, message, kind):
        super().__init__(message)
        self.message = message
        self.kind = kind
)", scope);
  py::object base = scope["Error"];
  base.attr("__module__") = "meshwright";
  m.attr("Error") = base;
  std::vector<std::string> kinds{"Closed", "RenderFailed"};
  for (int e = static_cast<int>(DocumentError::kCannotOpen); e <= static_cast<int>(DocumentError::kCancelled); ++e)
    kinds.push_back(DocumentErrorName(static_cast<DocumentError>(e)));
  py::object type = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyType_Type));
  for (const std::string& k : kinds) {
    py::dict body;
    body["__module__"] = "meshwright";
    body["__doc__"] = "meshwright.Error of kind '" + k + "'.";
    m.attr((k + "Error").c_str()) = type(k + "Error", py::make_tuple(base), body);
  }
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const ModuleError& e) {
      py::module_ mod = py::module_::import("meshwright");
      const std::string name = e.kind + "Error";
      py::object cls = py::hasattr(mod, name.c_str()) ? mod.attr(name.c_str()) : mod.attr("Error");
      PyErr_SetObject(cls.ptr(), cls(e.message, e.kind).ptr());
    }
  });

  py::class_<PositionLease>(m, "_PositionLease");

  py::class_<CameraRef>(m, "Camera", "The perspective camera of a document (degrees about X, then Y, then Z).")
      .def_property(
          "translation", [](const CameraRef& c) { return Vec(c.doc->Scene().camera.translation); },
          [](const CameraRef& c, const std::vector<float>& v) { c.doc->Scene().camera.translation = ToVec(v); })
      .def_property(
          "rotation", [](const CameraRef& c) { return Vec(c.doc->Scene().camera.rotation); },
          [](const CameraRef& c, const std::vector<float>& v) { c.doc->Scene().camera.rotation = ToVec(v); })
      .def_property(
          "scale", [](const CameraRef& c) { return Vec(c.doc->Scene().camera.scale); },
          [](const CameraRef& c, const std::vector<float>& v) { c.doc->Scene().camera.scale = ToVec(v); })
      .def_property(
          "zoom", [](const CameraRef& c) { return c.doc->Scene().zoom; },
          [](const CameraRef& c, float z) { c.doc->Scene().zoom = z; });

  auto material = py::class_<MaterialRef>(m, "Material", "A material of a document; faces name it by `id`.");
  material.def_property_readonly("id", [](const MaterialRef& r) { return r.Get().id; })
      .def_property(
          "name", [](const MaterialRef& r) { return ToUtf8(r.Get().name); },
          [](const MaterialRef& r, const std::string& v) { r.Get().name = ToCp932(v); })
      .def_property(
          "color", [](const MaterialRef& r) { const float* c = r.Get().color; return py::make_tuple(c[0], c[1], c[2], c[3]); },
          [](const MaterialRef& r, const std::vector<float>& v) {
            if (v.size() != 4) throw py::value_error("color is (red, green, blue, alpha), each 0 to 1");
            std::copy(v.begin(), v.end(), r.Get().color);
            r.Get().UpdateMaterialColors();
          },
          "(red, green, blue, alpha), each 0 to 1");
  // The lighting factors: each a number, the drawing colours follow.
  for (auto [name, field] : {std::pair{"diffuse", &CMaterial::diffuse}, std::pair{"ambient", &CMaterial::ambient},
                             std::pair{"emissive", &CMaterial::emissive}, std::pair{"specular", &CMaterial::specular},
                             std::pair{"power", &CMaterial::power}}) {
    material.def_property(
        name, [field](const MaterialRef& r) { return r.Get().*field; },
        [field](const MaterialRef& r, float v) {
          r.Get().*field = v;
          r.Get().UpdateMaterialColors();
        });
  }
  for (auto [name, field] : {std::pair{"texture", &CMaterial::texture}, std::pair{"alpha_plane", &CMaterial::alphaPlane},
                             std::pair{"bump", &CMaterial::bump}}) {
    material.def_property(
        name, [field](const MaterialRef& r) { return ToUtf8(r.Get().*field); },
        [field](const MaterialRef& r, const std::string& v) { r.Get().*field = ToCp932(v); },
        "a file name beside the document or in the texture folder");
  }
  material.def("__repr__", [](const MaterialRef& r) { return "<meshwright.Material " + std::to_string(r.Get().id) + " '" + ToUtf8(r.Get().name) + "'>"; });

  py::class_<ModelRef>(m, "Model", "A polygon model of a document, by its place in the list.")
      .def_property(
          "name", [](const ModelRef& r) { return ToUtf8(r.Get().name); },
          [](const ModelRef& r, const std::string& v) { r.Get().name = ToCp932(v); })
      .def_property(
          "state", [](const ModelRef& r) { return r.Get().state; },
          [](const ModelRef& r, int v) {
            if (v < kStateNormal || v > kStateHidden) throw py::value_error("state is 1 (normal), 2 (locked) or 3 (hidden)");
            r.Get().state = v;
          },
          "1 normal, 2 locked, 3 hidden")
      .def_property(
          "facet", [](const ModelRef& r) { return r.Get().facet; }, [](const ModelRef& r, float v) { r.Get().facet = v; },
          "the smoothing angle, in degrees")
      .def_property(
          "mirror", [](const ModelRef& r) { return r.Get().mirrorAxis; },
          [](const ModelRef& r, int v) {
            if (v < 0 || v > 7) throw py::value_error("mirror is a sum of 1 (X), 2 (Y) and 4 (Z)");
            r.Get().mirrorAxis = v;
          },
          "the mirror axes: a sum of 1 (X), 2 (Y) and 4 (Z)")
      .def_property_readonly("vertex_count", [](const ModelRef& r) { return r.Get().vertices.size(); })
      .def_property_readonly("face_count", [](const ModelRef& r) { return r.Get().faces.size(); })
      .def_property_readonly("positions", &Positions,
                             "(n, 3) float32 view of the vertex positions: writing it changes the model.\n"
                             "It stops aliasing the model (and turns read-only) once the model's vertices are\n"
                             "rebuilt by an operation.")
      .def("get_positions", &CopyPositions, "A contiguous (n, 3) float32 copy of the positions.")
      .def("set_positions", &SetPositions, py::arg("positions"), "Copies an (n, 3) array into the positions.")
      .def_property_readonly("face_indices", &FaceIndices, "every face's corners (vertex indices), one after another")
      .def_property_readonly("face_offsets", &FaceOffsets,
                             "face f's corners are face_indices[face_offsets[f]:face_offsets[f + 1]]")
      .def_property_readonly("face_materials", &FaceMaterials, "the material id of each face")
      .def_property_readonly("uvs", &Uvs, "(corners, 2) texture coordinates beside face_indices; NaN where a face has none")
      .def("set_uvs", &SetUvs, py::arg("uvs"), "Sets every corner's texture coordinates; a face with a NaN gets none.")
      .def("add_vertices", &AddVertices, py::arg("positions"), "Appends (n, 3) vertices; returns the first one's index.")
      .def(
          "add_faces",
          [](const ModelRef& r, const std::vector<std::vector<std::int32_t>>& faces, std::optional<std::int32_t> mat) {
            return AddFaces(r, faces, mat.value_or(0), mat.has_value());
          },
          py::arg("faces"), py::arg("material") = py::none(),
          "Appends faces given as lists of corners (in the current material unless one is named);\n"
          "returns the first one's index.")
      .def(
          "add_faces_csr",
          [](const ModelRef& r, const py::array_t<std::int32_t, py::array::forcecast>& indices,
             const py::array_t<std::int64_t, py::array::forcecast>& offsets, std::optional<std::int32_t> mat) {
            return AddFaces(r, CsrFaces(indices, offsets), mat.value_or(0), mat.has_value());
          },
          py::arg("indices"), py::arg("offsets"), py::arg("material") = py::none(),
          "add_faces with the corners as face_indices / face_offsets give them")
      .def("select", &Select, py::arg("vertices") = py::none(), py::arg("edges") = py::none(),
           py::arg("faces") = py::none(), py::arg("add") = false,
           "Selects the vertices, edges (pairs of vertices) and faces given by index, deselecting the\n"
           "rest unless `add`. The operations with selected_only act on the selected vertices.")
      .def_property_readonly("selected_vertices", &SelectedVertices)
      .def_property_readonly("selected_faces", &SelectedFaces)
      .def("update_normals", [](const ModelRef& r) { r.Get().ComputeNormals(r.Smooth()); })
      // The program's operations. A new verb is one .def here over its free function in scene/.
      .def(
          "weld",
          [](const ModelRef& r, double distance, bool selectedOnly) {
            const WeldResult w = Mutating(r, [&](CModel& mm) { return WeldVertices(mm, distance, selectedOnly, r.Smooth()); });
            return py::make_tuple(w.verticesRemoved, w.facesRemoved);
          },
          py::arg("distance"), py::arg("selected_only") = false,
          "Welds vertices closer together than `distance` (as 近接頂点を結合); returns\n"
          "(vertices removed, faces removed).")
      .def(
          "flip",
          [](const ModelRef& r, bool selectedOnly) { return FlipFaces(r.Get(), selectedOnly, r.Smooth()); },
          py::arg("selected_only") = false, "Reverses the corner order of the faces; returns how many.")
      .def(
          "triangulate", [](const ModelRef& r) { return Mutating(r, [&](CModel& mm) { return TriangulateFaces(mm, r.Smooth()); }); },
          "Splits faces of more than three corners into triangles; returns how many were split.")
      .def_property(
          "subdivision",
          [](const ModelRef& r) {
            const CModel& model = r.Get();
            const char* scheme = model.subdivisionScheme == kSubdivisionCatmullClark ? "catmull-clark"
                                 : model.subdivisionScheme == kSubdivisionLoop       ? "loop"
                                                                                     : "none";
            return py::make_tuple(scheme, model.subdivisionLevel);
          },
          [](const ModelRef& r, const std::pair<std::string, int>& v) {
            static const char* const names[] = {"none", "catmull-clark", "loop"};
            const int scheme = Choice<int>(v.first, names, "scheme");
            InRange(v.second, kSubdivisionMinLevel, kSubdivisionMaxLevel, "level");
            r.Get().subdivisionScheme = scheme;
            r.Get().subdivisionLevel = v.second;
          },
          "(scheme, level): 曲面化 as ('none' | 'catmull-clark' | 'loop', 1..4).")
      .def(
          "apply_subdivision",
          [](const ModelRef& r) {
            Mutating(r, [](CModel& model) {
              CModel baked = SubdividedCopy(model);
              baked.pendingFace = model.pendingFace;
              baked.pendingVertices = model.pendingVertices;
              model = std::move(baked);
              return 0;
            });
          },
          "曲面化を確定: the refined surface replaces the cage.")
      .def("__repr__", [](const ModelRef& r) {
        return "<meshwright.Model '" + ToUtf8(r.Get().name) + "' " + std::to_string(r.Get().vertices.size()) +
               " vertices, " + std::to_string(r.Get().faces.size()) + " faces>";
      });

  py::class_<Document>(m, "Document", "A Meshwright document: models, materials and the camera.")
      .def_property_readonly("models",
                             [](const Document& d) {
                               std::vector<ModelRef> out;
                               for (std::size_t i = 0; i < d.state->Scene().models.size(); ++i) out.push_back({d.state, i});
                               return out;
                             })
      .def_property_readonly("materials",
                             [](const Document& d) {
                               std::vector<MaterialRef> out;
                               for (std::size_t i = 0; i < d.state->Scene().materials.size(); ++i) out.push_back({d.state, i});
                               return out;
                             })
      .def_property_readonly("camera", [](const Document& d) { return CameraRef{d.state}; })
      .def_property_readonly("path", [](const Document& d) { return d.state->path; },
                             "the file the document was opened from or last saved as (empty for a new one)")
      .def_property(
          "current_model", [](const Document& d) { return d.state->Scene().currentModel; },
          [](const Document& d, std::int64_t i) {
            d.state->Scene().currentModel = static_cast<std::int32_t>(CheckedIndex(i, d.state->Scene().models.size(), "model"));
          })
      .def("save", &Save, py::arg("path"), "Saves in the format of the path's extension (as the program's save does).")
      .def(
          "add_model",
          [](Document& d, const std::string& name) {
            CMeshwright& s = d.state->Scene();
            CModel model;
            model.name = ToCp932(name);
            s.models.push_back(std::move(model));
            return ModelRef{d.state, s.models.size() - 1};
          },
          py::arg("name") = "Model", "Appends an empty model.")
      .def(
          "remove_model",
          [](Document& d, std::int64_t i) {
            CMeshwright& s = d.state->Scene();
            const std::size_t at = CheckedIndex(i, s.models.size(), "model");
            d.state->Detach(at, true);
            s.models.erase(s.models.begin() + static_cast<std::ptrdiff_t>(at));
            if (s.currentModel >= static_cast<std::int32_t>(s.models.size()))
              s.currentModel = static_cast<std::int32_t>(s.models.size()) - 1;
          },
          py::arg("index"))
      .def(
          "add_material",
          [](Document& d, const std::string& name) {
            CMeshwright& s = d.state->Scene();
            s.AddMaterial();
            s.materials.back().name = ToCp932(name);
            return MaterialRef{d.state, s.materials.size() - 1};
          },
          py::arg("name") = "mat", "Appends a material with a new id (as マテリアルの追加).")
      .def("add_shape", &AddShape, py::arg("shape"),
           "Adds a shape as a model of its own (as the 基本図形 dialog makes it), e.g.\n"
           "add_shape('sphere', radius=50, segments=32, rings=16, x=0, y=0, z=0).\n"
           "Shapes: plane grid box sphere icosphere cylinder cone torus disk.")
      .def(
          "frame",
          [](Document& d, bool selectedOnly) {
            PanOffsets pan;
            return FrameScene(d.state->Scene(), pan, DefaultViewports(), selectedOnly);
          },
          py::arg("selected_only") = false, "Sets the camera and zoom to frame every visible vertex (全体を表示).")
      .def("update_normals", [](Document& d) { d.state->Scene().ComputeNormals(); })
      .def("invert_selection", [](Document& d) { InvertSelection(d.state->Scene()); },
           "Every vertex of the editable models changes its selection (選択の反転).")
      .def("select_connected", [](Document& d) { SelectConnected(d.state->Scene()); },
           "Grows the selection across faces to whole connected parts (接続部分を選択).")
      // The modelling verbs of the 面/辺 and 選択部処理 menus, on the selection of the editable
      // models in the document's selection mode; each returns how many models (or elements) changed.
      .def_property(
          "select_mode",
          [](const Document& d) {
            const SelectMode mode = SelectModeOf(d.state->Scene());
            return std::string(mode == kSelectFaces ? "faces" : mode == kSelectEdges ? "edges" : "vertices");
          },
          [](Document& d, const std::string& mode) {
            static const char* const names[] = {"vertices", "edges", "faces"};
            const int chosen = Choice<int>(mode, names, "select_mode");
            SetSelectMode(d.state->Scene(), chosen == 2 ? kSelectFaces : chosen == 1 ? kSelectEdges : kSelectVertices);
          },
          "What clicks and the verbs take: 'vertices', 'edges' or 'faces'.")
      .def(
          "extrude",
          [](Document& d, double distance, bool individual, const std::vector<float>& offset) {
            ExtrudeParams p;
            p.distance = distance;
            p.individual = individual;
            p.offset = ToVec(offset);
            return SceneVerb(d, [&](CMeshwright& s) { return ExtrudeSelected(s, p); });
          },
          py::arg("distance") = 10.0, py::arg("individual") = false, py::arg("offset") = std::vector<float>{0, 10, 0},
          "押し出し: faces along their normal by `distance`, else edges and vertices by `offset`.")
      .def(
          "inset",
          [](Document& d, double thickness, double depth, bool individual) {
            InRange(thickness, 0, 1e7, "thickness");
            return SceneVerb(d, [&](CMeshwright& s) { return InsetSelected(s, {thickness, depth, individual}); });
          },
          py::arg("thickness"), py::arg("depth") = 0.0, py::arg("individual") = false, "インセット")
      .def(
          "bevel",
          [](Document& d, double width, int segments, double profile) {
            InRange(width, 0, 1e7, "width");
            InRange(segments, 1, 10, "segments");
            InRange(profile, 0, 1, "profile");
            return SceneVerb(d, [&](CMeshwright& s) { return BevelSelected(s, {width, segments, profile}); });
          },
          py::arg("width"), py::arg("segments") = 1, py::arg("profile") = 0.5, "面取り: edges, else vertices.")
      .def("bridge", [](Document& d) { return SceneVerb(d, [](CMeshwright& s) { return BridgeSelected(s); }); },
           "ブリッジ: joins two selected edge loops.")
      .def(
          "fill", [](Document& d, bool quads) { return SceneVerb(d, [&](CMeshwright& s) { return FillSelected(s, quads); }); },
          py::arg("quads") = false, "面を張る: closes selected borders, else a face through the selected vertices.")
      .def(
          "solidify",
          [](Document& d, double thickness) {
            return SceneVerb(d, [&](CMeshwright& s) { return SolidifySelected(s, thickness); });
          },
          py::arg("thickness"), "厚み付け")
      .def(
          "spin",
          [](Document& d, double degrees, int steps, const std::string& pane, const std::vector<float>& centre) {
            static const char* const names[] = {"top", "face", "left"};
            InRange(degrees, -360, 360, "degrees");
            InRange(steps, 1, 360, "steps");
            SpinParams p{degrees, steps, Choice<Plane>(pane, names, "pane"), ToVec(centre)};
            return SceneVerb(d, [&](CMeshwright& s) { return SpinSelected(s, p); });
          },
          py::arg("degrees") = 360.0, py::arg("steps") = 12, py::arg("pane") = "top",
          py::arg("centre") = std::vector<float>{0, 0, 0}, "回転体: about the depth axis of the pane through `centre`.")
      .def(
          "loop_cut",
          [](Document& d, int cuts, double slide) {
            InRange(cuts, 1, kMaxLoopCuts, "cuts");
            InRange(slide, -1, 1, "slide");
            return SceneVerb(d, [&](CMeshwright& s) { return LoopCutSelected(s, cuts, slide); });
          },
          py::arg("cuts") = 1, py::arg("slide") = 0.0, "ループスライス: across the ring of each selected edge.")
      .def("connect", [](Document& d) { return SceneVerb(d, [](CMeshwright& s) { return ConnectSelected(s); }); },
           "頂点を接続")
      .def(
          "subdivide",
          [](Document& d, int n, bool triangles) {
            InRange(n, 2, kMaxLoopCuts, "n");
            return SceneVerb(d, [&](CMeshwright& s) {
              return SubdivideSelected(s, n, triangles ? Neighbours::kTriangles : Neighbours::kPolygons);
            });
          },
          py::arg("n") = 2, py::arg("triangles") = false, "細分化: the selected faces into n x n.")
      .def(
          "dissolve",
          [](Document& d, const std::string& what) {
            static const char* const names[] = {"vertices", "edges", "faces"};
            const auto w = Choice<DissolveWhat>(what, names, "what");
            return SceneVerb(d, [&](CMeshwright& s) { return DissolveSelected(s, w); });
          },
          py::arg("what") = "edges", "溶解")
      .def(
          "collapse",
          [](Document& d, const std::string& at, const std::string& groups) {
            static const char* const ats[] = {"centre", "first", "last"};
            static const char* const sets[] = {"all", "edges", "faces"};
            const auto a = Choice<CollapseAt>(at, ats, "at");
            const auto g = Choice<CollapseGroups>(groups, sets, "groups");
            return SceneVerb(d, [&](CMeshwright& s) { return CollapseSelected(s, a, g); });
          },
          py::arg("at") = "centre", py::arg("groups") = "all", "結合")
      .def(
          "separate",
          [](Document& d, const std::string& by) {
            static const char* const names[] = {"selection", "material", "parts"};
            const auto b = Choice<SeparateBy>(by, names, "by");
            return SceneVerb(d, [&](CMeshwright& s) { return Separate(s, b); });
          },
          py::arg("by") = "selection", "分離: into new models; returns how many were made.")
      .def("triangulate_selected",
           [](Document& d) { return SceneVerb(d, [](CMeshwright& s) { return TriangulateSelected(s); }); },
           "三角形に分割 (the selected faces)")
      .def(
          "tris_to_quads",
          [](Document& d, double angle) {
            InRange(angle, 0, 180, "angle");
            return SceneVerb(d, [&](CMeshwright& s) { return TrisToQuadsSelected(s, angle); });
          },
          py::arg("angle") = 40.0, "三角形を四角形に")
      .def(
          "smooth",
          [](Document& d, int iterations, double factor, const std::string& method, bool keepBorders) {
            static const char* const names[] = {"laplacian", "taubin"};
            InRange(iterations, 1, kMaxSmoothIterations, "iterations");
            InRange(factor, 0, 1, "factor");
            SmoothOptions o{Choice<SmoothMethod>(method, names, "method"), iterations, factor, keepBorders};
            return SceneVerb(d, [&](CMeshwright& s) { return SmoothSelected(s, o); });
          },
          py::arg("iterations") = 5, py::arg("factor") = 0.5, py::arg("method") = "laplacian",
          py::arg("keep_borders") = true, "スムーズ: the selected vertices.")
      .def("mirror_copy", [](Document& d) { return SceneVerb(d, [](CMeshwright& s) { return MirrorCopySelected(s); }); },
           "鏡像コピー: the selected faces across the symmetry plane of their model.")
      .def("render", &Render, py::arg("path"), py::arg("size") = std::pair<int, int>{640, 480},
           "Draws the document into a PNG as `meshwright --render` does (needs the program).")
      .def("__repr__", [](const Document& d) {
        return "<meshwright.Document '" + d.state->path + "' " + std::to_string(d.state->Scene().models.size()) + " models>";
      });

  m.def("open", &Open, py::arg("path"), "Opens a document of any format the program opens.");
  m.def("new", &New, "A new, empty document.");
  m.def(
      "formats",
      []() {
        py::list out;
        for (const DocumentFormat& f : DocumentFormats()) {
          py::dict row;
          row["name"] = f.name;
          row["extensions"] = f.extensions;
          row["open"] = f.CanOpen();
          row["save"] = f.CanSave();
          out.append(row);
        }
        return out;
      },
      "The formats the program reads and writes.");
}

}  // namespace mw::python
