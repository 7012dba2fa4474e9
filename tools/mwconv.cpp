// mwconv: converts and inspects Meshwright documents from the command line.
//
//   mwconv --new OUT.mwr
//   mwconv IN... OUT          open each IN in turn as the program's open command does, save OUT
//   mwconv --info [--summary] IN...
//   mwconv --formats           the formats it reads and writes, one line each
//   --textures DIR before any of these: look for textures in DIR instead of TEXTURE beside mwconv
//   operations, applied in the order given after the inputs are read and before the output is
//   written (or --info prints): --frame  (the camera and zoom as the program's 全体を表示 sets them),
//   --weld DIST, --flip, --triangulate (on every model, whatever its display state),
//   --add SHAPE[:key=value,...] (a shape as a model of its own; with it no input is needed),
//   --subdivide-smooth N (every model baked into its smooth surface, N levels)
//   --subdivide N, --tris-to-quads ANGLE (on every face in sight of every model)
//   --script FILE.py (a Python script on the document, as スクリプト → 実行… runs it)
//   --unwrap (every face in sight of every model unwrapped along its seams and packed into 0..1;
//   a model without seams is first cut where its faces meet at more than 60 degrees)
//
// Exit status: 0 success, 1 an input could not be read, 2 usage, 3 the output could not be written,
// 4 a script failed (nothing is written).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "image/material_texture.h"
#include "io/document_formats.h"
#include "io/document_io.h"
#include "platform/child_process.h"
#include "platform/message.h"
#include "platform/paths.h"
#include "platform/read_progress.h"
#include "scene/frame_view.h"
#include "scene/mesh_cut.h"
#include "scene/mesh_reduce.h"
#include "scene/mesh_tools.h"
#include "scene/primitives.h"
#include "scene/subdivision.h"
#include "scene/uv_ops.h"
#include "tools/scene_json.h"
#ifdef MW_HAVE_PYTHON
#include "python/script_runner.h"
#endif

namespace {

int Usage() {
  std::string formats;
  for (const mw::DocumentFormat& format : mw::DocumentFormats()) {
    if (!formats.empty()) formats += " / ";
    formats += "." + format.extensions.front();
  }
  std::fprintf(stderr,
               "usage: mwconv [--textures DIR] --new OUT.%s\n"
               "       mwconv [--textures DIR] IN [IN...] OUT        (%s by extension)\n"
               "       mwconv [--textures DIR] --info [--summary] IN [IN...]\n"
               "       mwconv --formats\n"
               "operations, in the order given, between reading and writing (or --info):\n"
               "       --frame          camera and zoom framing every visible vertex\n"
               "       --weld DIST      weld vertices closer together than DIST (a number above 0)\n"
               "       --flip           reverse the corner order of every face\n"
               "       --triangulate    split faces of more than three corners into triangles\n"
               "       --script FILE.py run a Python script on the document (doc)\n"
               "       --add SHAPE[:key=value,...]\n"
               "                        add a shape as a model named after it; SHAPE is plane, grid, box,\n"
               "                        sphere, icosphere, cylinder, cone, torus or disk, for example\n"
               "                        sphere:segments=32,rings=16,radius=50 (keys in the README)\n"
               "       --subdivide-smooth N\n"
               "                        replace every model by its smooth surface refined N times (1-4):\n"
               "                        Catmull-Clark, or the model's own scheme when it has one\n"
               "       --subdivide N    split every face into N x N (N from 2 to 32)\n"
               "       --tris-to-quads ANGLE\n"
               "                        join pairs of triangles whose normals differ by at most ANGLE degrees\n"
               "       --unwrap         unwrap every face along the seams and pack the UVs into 0..1\n"
               "                        (a model without seams is cut where faces meet at over 60 degrees)\n",
               mw::NativeDocumentFormat().extensions.front().c_str(), formats.c_str());
  return 2;
}

// One line per row of the format table: whether it reads and writes, its extensions, its name.
int ListFormats() {
  std::printf("read write extensions        format\n");
  for (const mw::DocumentFormat& format : mw::DocumentFormats()) {
    std::string extensions;
    for (const std::string& e : format.extensions) extensions += (extensions.empty() ? "." : " .") + e;
    std::printf("%-4s %-5s %-16s %s\n", format.CanOpen() ? "yes" : "no", format.CanSave() ? "yes" : "no",
                extensions.c_str(), format.name.c_str());
  }
  return 0;
}

// Every failure is told here, once: "mwconv: FILE: what went wrong".
void Report(const mw::DocumentResult& result, const std::string& path) {
  std::fprintf(stderr, "mwconv: %s\n", mw::DocumentMessage(result, path, ": ").c_str());
}

// An operation on the document read, in the order the command line gives them.
struct Operation {
  enum Kind { kFrame, kWeld, kFlip, kTriangulate, kAdd, kSubdivideSmooth, kSubdivide, kTrisToQuads, kScript, kUnwrap } kind;
  double distance = 0;
  mw::PrimitiveParams shape;
  mw::CVector centre;
  std::string script;
};

// Takes the operations out of `args`, in order; false for one missing its value or given a wrong
// one (the reason on stderr).
bool TakeOperations(std::vector<std::string>& args, std::vector<Operation>& ops) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--frame") {
      ops.push_back(Operation{Operation::kFrame, 0, {}, {}, {}});
    } else if (args[i] == "--flip") {
      ops.push_back(Operation{Operation::kFlip, 0, {}, {}, {}});
    } else if (args[i] == "--unwrap") {
      ops.push_back(Operation{Operation::kUnwrap, 0, {}, {}, {}});
    } else if (args[i] == "--triangulate") {
      ops.push_back(Operation{Operation::kTriangulate, 0, {}, {}, {}});
    } else if (args[i] == "--weld") {
      const char* text = i + 1 < args.size() ? args[i + 1].c_str() : "";
      char* end = nullptr;
      const double d = std::strtod(text, &end);
      if (!*text || *end || !std::isfinite(d) || !(d > 0)) {
        std::fprintf(stderr, "mwconv: --weld needs a distance, a number above 0 (got \"%s\")\n", text);
        return false;
      }
      ops.push_back(Operation{Operation::kWeld, d, {}, {}, {}});
      ++i;
    } else if (args[i] == "--script") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        std::fprintf(stderr, "mwconv: --script needs a Python file\n");
        return false;
      }
#ifndef MW_HAVE_PYTHON
      std::fprintf(stderr, "mwconv: --script: this mwconv was built without Python\n");
      return false;
#endif
      ops.push_back(Operation{Operation::kScript, 0, {}, {}, args[i + 1]});
      ++i;
    } else if (args[i] == "--subdivide-smooth") {
      const char* text = i + 1 < args.size() ? args[i + 1].c_str() : "";
      const bool ok = text[0] >= '1' && text[0] <= '4' && text[1] == '\0';
      if (!ok) {
        std::fprintf(stderr, "mwconv: --subdivide-smooth needs a level, 1 to 4 (got \"%s\")\n", text);
        return false;
      }
      ops.push_back(Operation{Operation::kSubdivideSmooth, double(text[0] - '0'), {}, {}, {}});
      ++i;
    } else if (args[i] == "--subdivide" || args[i] == "--tris-to-quads") {
      const bool subdivide = args[i] == "--subdivide";
      const char* text = i + 1 < args.size() ? args[i + 1].c_str() : "";
      char* end = nullptr;
      const double v = std::strtod(text, &end);
      const bool good = *text && !*end && std::isfinite(v) &&
                        (subdivide ? v >= 2 && v <= mw::kMaxLoopCuts && v == std::floor(v) : v >= 0 && v <= 180);
      if (!good) {
        std::fprintf(stderr, subdivide ? "mwconv: --subdivide needs a whole number from 2 to 32 (got \"%s\")\n"
                                       : "mwconv: --tris-to-quads needs an angle from 0 to 180 degrees (got \"%s\")\n",
                     text);
        return false;
      }
      ops.push_back(Operation{subdivide ? Operation::kSubdivide : Operation::kTrisToQuads, v, {}, {}, {}});
      ++i;
    } else if (args[i] == "--add") {
      Operation op{Operation::kAdd, 0, {}, {}, {}};
      std::string error;
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "mwconv: --add needs a shape, SHAPE[:key=value,...]\n");
        return false;
      }
      const std::string& text = args[i + 1];
      if (!mw::ParsePrimitive(text, op.shape, op.centre, error)) {
        std::fprintf(stderr, "mwconv: --add %s: %s\n", text.c_str(), error.c_str());
        return false;
      }
      ops.push_back(op);
      ++i;
    } else {
      rest.push_back(args[i]);
    }
  }
  args = std::move(rest);
  return true;
}

// False when a script failed (its traceback is on stderr).
bool Apply(mw::CMeshwright& scene, const std::vector<Operation>& ops, const std::string& documentPath) {
  for (const Operation& op : ops) {
    switch (op.kind) {
      case Operation::kFrame: {
        mw::PanOffsets pan;  // the panes' scroll is not part of a document
        mw::FrameScene(scene, pan, mw::DefaultViewports(), false);
        break;
      }
      case Operation::kWeld: mw::WeldAll(scene, op.distance); break;
      case Operation::kFlip: mw::FlipAll(scene); break;
      case Operation::kTriangulate: mw::TriangulateAll(scene); break;
      case Operation::kAdd: mw::AddPrimitive(scene, op.shape, op.centre, true); break;
      case Operation::kSubdivideSmooth:
        for (mw::CModel& m : scene.models) {
          if (m.subdivisionScheme == mw::kSubdivisionNone) m.subdivisionScheme = mw::kSubdivisionCatmullClark;
          m.subdivisionLevel = static_cast<std::int32_t>(op.distance);
          m = mw::SubdividedCopy(m);
          m.ComputeNormals(scene.smoothing);
        }
        break;
      case Operation::kSubdivide: mw::SubdivideAll(scene, static_cast<int>(op.distance)); break;
      case Operation::kTrisToQuads: mw::TrisToQuadsAll(scene, op.distance); break;
      case Operation::kUnwrap:
        for (mw::CModel& m : scene.models) {
          std::vector<std::int32_t> faces(m.faces.size());
          for (std::size_t f = 0; f < faces.size(); ++f) faces[f] = static_cast<std::int32_t>(f);
          if (m.seamEdges.empty()) mw::MarkSharpSeams(m, faces, 60.0);
          mw::UnwrapUVs(m, faces);
        }
        break;
      case Operation::kScript: {
#ifdef MW_HAVE_PYTHON
        mw::ScriptHooks hooks;
        hooks.output = [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); };
        const mw::ScriptResult r = mw::RunScript(scene, op.script, documentPath, hooks);
        if (!r.ok) {
          std::fflush(stdout);
          std::fprintf(stderr, "mwconv: %s: %s", op.script.c_str(), r.error.c_str());
          return false;
        }
        std::fflush(stdout);
#else
        (void)documentPath;  // refused when the operations were read
#endif
        break;
      }
    }
  }
  return true;
}

// A bar on stderr while a large file is read, when stderr is a terminal: the read reports its
// bytes here, a second thread redraws the line five times a second and clears it at the end.
class TerminalProgress {
 public:
  static constexpr long long kSmallestShown = 4 << 20;

  explicit TerminalProgress(const std::string& path) {
    struct stat info;
    if (!isatty(STDERR_FILENO) || stat(path.c_str(), &info) != 0 || info.st_size < kSmallestShown) return;
    name_ = path.substr(path.find_last_of('/') + 1);
    scope_.emplace(&progress_);
    drawer_ = std::thread([this]() { Draw(); });
  }
  ~TerminalProgress() {
    if (!drawer_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_one();
    drawer_.join();
    std::fputs("\r\033[K", stderr);  // the line goes; what follows starts clean
    std::fflush(stderr);
  }
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

 private:
  // At once (the bar says a long read has begun), then five times a second.
  void Draw() {
    std::unique_lock<std::mutex> lock(mutex_);
    do {
      const std::uint64_t total = progress_.total(), done = std::min(progress_.done(), progress_.total());
      constexpr int kWidth = 30;
      char bar[kWidth + 1];
      const int filled = total ? static_cast<int>(done * kWidth / total) : 0;
      for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '-';
      bar[kWidth] = '\0';
      std::fprintf(stderr, "\rmwconv: %s を読み込んでいます [%s] %3d%%", name_.c_str(), bar,
                   total ? static_cast<int>(done * 100 / total) : 0);
      std::fflush(stderr);
    } while (!wake_.wait_for(lock, std::chrono::milliseconds(200), [this]() { return done_; }));
  }

  mw::ReadProgress progress_;
  std::optional<mw::ReadProgressScope> scope_;
  std::string name_;
  std::thread drawer_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
};

// Opens the inputs in order into a new document; returns false at the first failure.
bool OpenAll(mw::CMeshwright& scene, const std::vector<std::string>& inputs, mw::DocumentResult& result) {
  for (const std::string& in : inputs) {
    {
      TerminalProgress bar(in);
      result = mw::OpenDocumentFile(scene, in);
    }
    if (!result.ok()) {
      Report(result, in);
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string textureFolder = mw::DefaultTextureFolder();
  if (!args.empty() && args[0] == "--textures") {
    if (args.size() < 2 || args[1].empty()) return Usage();
    textureFolder = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  std::vector<Operation> ops;
  if (!TakeOperations(args, ops)) return Usage();
  if (args.empty()) return Usage();
  // What a killed conversion left behind: the import helper's hand-over and extracted archives.
  mw::RemoveStaleTempFolders();
  // Shapes make a document of their own: inputs become optional.
  const bool adds = std::any_of(ops.begin(), ops.end(), [](const Operation& op) { return op.kind == Operation::kAdd; });

  // Textures are decoded (so --info can tell which ones load) but never uploaded anywhere; a
  // texture that is missing is reported on stderr and keeps its name in what is written.
  mw::MaterialTextures textures(nullptr, textureFolder);
  mw::SetTextureService(&textures);
  mw::SetMessageSink([](std::string_view text, mw::MessageIcon icon) {
    // One line ending per message, whether or not the text brings its own.
    while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    std::fprintf(stderr, "mwconv: %s%.*s\n", icon == mw::MessageIcon::Warning ? "warning: " : "",
                 static_cast<int>(text.size()), text.data());
  });
  mw::CMeshwright scene;
  scene.ResetScene();

  if (args[0] == "--formats") return args.size() == 1 && ops.empty() ? ListFormats() : Usage();

  if (args[0] == "--new") {
    if (!ops.empty()) return Usage();
    if (args.size() != 2) return Usage();
    mw::DocumentResult r = mw::SaveDocumentFile(scene, args[1]);
    if (!r.ok()) {
      Report(r, args[1]);
      return r.error == mw::DocumentError::kUnsupportedExtension ? 2 : 3;
    }
    return 0;
  }

  if (args[0] == "--info") {
    bool summary = false;
    std::size_t first = 1;
    if (first < args.size() && args[first] == "--summary") {
      summary = true;
      ++first;
    }
    std::vector<std::string> inputs(args.begin() + static_cast<long>(first), args.end());
    if (inputs.empty() && !adds) return Usage();
    mw::DocumentResult result;
    bool ok = OpenAll(scene, inputs, result);
    if (ok && !Apply(scene, ops, inputs.empty() ? std::string() : inputs.front())) return 4;
    // Streamed: the text of a large scene is many times its size.
    if (!mw::WriteSceneJson(scene, summary, result, stdout) || std::fflush(stdout) != 0) return 3;
    return ok ? 0 : 1;
  }

  for (const std::string& a : args)
    if (a.size() > 1 && a[0] == '-' && a[1] == '-') return Usage();
  if (args.size() < (adds ? 1u : 2u)) return Usage();
  const std::string out = args.back();
  if (const mw::DocumentFormat* format = mw::FindDocumentFormat(out); !format || !format->CanSave()) {
    Report(mw::DocumentFailure(mw::DocumentError::kUnsupportedExtension), out);
    return 2;
  }
  std::vector<std::string> inputs(args.begin(), args.end() - 1);
  mw::DocumentResult result;
  if (!OpenAll(scene, inputs, result)) return 1;
  if (!Apply(scene, ops, inputs.empty() ? std::string() : inputs.front())) return 4;
  mw::DocumentResult saved = mw::SaveDocumentFile(scene, out);
  if (!saved.ok()) {
    Report(saved, out);
    return 3;
  }
  return 0;
}
