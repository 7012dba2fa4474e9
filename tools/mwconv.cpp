// mwconv: converts and inspects Meshwright documents from the command line.
//
//   mwconv --new OUT.mwr
//   mwconv IN... OUT          open each IN in turn as the program's open command does, save OUT
//   mwconv --info [--summary] IN...
//   mwconv --formats           the formats it reads and writes, one line each
//   --textures DIR before any of these: look for textures in DIR instead of TEXTURE beside mwconv
//   operations, applied in the order given after the inputs are read and before the output is
//   written (or --info prints): --frame  (the camera and zoom as the program's 全体を表示 sets them)
//
// Exit status: 0 success, 1 an input could not be read, 2 usage, 3 the output could not be written.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image/material_texture.h"
#include "io/document_formats.h"
#include "io/document_io.h"
#include "platform/message.h"
#include "platform/paths.h"
#include "scene/frame_view.h"
#include "tools/scene_json.h"

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
               "       --frame    camera and zoom framing every visible vertex\n",
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
  enum Kind { kFrame } kind;
};

// Takes the operations out of `args`, in order; false for one missing its value.
bool TakeOperations(std::vector<std::string>& args, std::vector<Operation>& ops) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--frame") ops.push_back(Operation{Operation::kFrame});
    else rest.push_back(args[i]);
  }
  args = std::move(rest);
  return true;
}

void Apply(mw::CMeshwright& scene, const std::vector<Operation>& ops) {
  for (const Operation& op : ops) {
    switch (op.kind) {
      case Operation::kFrame: {
        mw::PanOffsets pan;  // the panes' scroll is not part of a document
        mw::FrameScene(scene, pan, mw::DefaultViewports(), false);
        break;
      }
    }
  }
}

// Opens the inputs in order into a new document; returns false at the first failure.
bool OpenAll(mw::CMeshwright& scene, const std::vector<std::string>& inputs, mw::DocumentResult& result) {
  for (const std::string& in : inputs) {
    result = mw::OpenDocumentFile(scene, in);
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

  if (args[0] == "--formats") return args.size() == 1 ? ListFormats() : Usage();

  if (args[0] == "--new") {
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
    if (inputs.empty()) return Usage();
    mw::DocumentResult result;
    bool ok = OpenAll(scene, inputs, result);
    if (ok) Apply(scene, ops);
    std::string json = mw::SceneToJson(scene, summary, result);
    std::fwrite(json.data(), 1, json.size(), stdout);
    return ok ? 0 : 1;
  }

  for (const std::string& a : args)
    if (a.size() > 1 && a[0] == '-' && a[1] == '-') return Usage();
  if (args.size() < 2) return Usage();
  const std::string out = args.back();
  if (const mw::DocumentFormat* format = mw::FindDocumentFormat(out); !format || !format->CanSave()) {
    Report(mw::DocumentFailure(mw::DocumentError::kUnsupportedExtension), out);
    return 2;
  }
  std::vector<std::string> inputs(args.begin(), args.end() - 1);
  mw::DocumentResult result;
  if (!OpenAll(scene, inputs, result)) return 1;
  Apply(scene, ops);
  mw::DocumentResult saved = mw::SaveDocumentFile(scene, out);
  if (!saved.ok()) {
    Report(saved, out);
    return 3;
  }
  return 0;
}
