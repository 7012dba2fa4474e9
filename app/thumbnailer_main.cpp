// meshwright-thumbnailer: the file manager's thumbnails of Meshwright and Metasequoia documents.
//
//   meshwright-thumbnailer -s SIZE INPUT OUTPUT.png
//
// INPUT is a file: URI (the desktop's %u) or a path (%i); the picture is SIZE x SIZE. It needs no
// display. Exit status: 0 written, 1 the document could not be read, 2 usage, 3 the picture could
// not be drawn or written; only a complete picture is ever written.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/document_picture.h"
#include "platform/message.h"
#include "render/offscreen_frame.h"

namespace {

constexpr const char* kProgram = "meshwright-thumbnailer";

int Usage() {
  std::fprintf(stderr, "usage: %s -s SIZE INPUT-URI-OR-PATH OUTPUT.png\n", kProgram);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string size, input, output;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-s" || args[i] == "--size") {
      if (i + 1 >= args.size() || !size.empty()) return Usage();
      size = args[++i];
    } else if (input.empty()) {
      input = args[i];
    } else if (output.empty()) {
      output = args[i];
    } else {
      return Usage();
    }
  }
  if (size.empty() || input.empty() || output.empty()) return Usage();
  const auto side = mw::ParsePictureSize(size + "x" + size);
  if (!side) {
    std::fprintf(stderr, "%s: the size must be a number of pixels from 1 to %d: %s\n", kProgram, mw::kMaxPictureSide,
                 size.c_str());
    return 2;
  }
  const auto path = mw::LocalFileOfArgument(input);
  if (!path) {
    std::fprintf(stderr, "%s: not a local file: %s\n", kProgram, input.c_str());
    return 1;
  }
  // Whatever the readers have to say goes to stderr: a thumbnailer has no window to show it in.
  mw::SetMessageSink([](std::string_view text, mw::MessageIcon) {
    while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    std::fprintf(stderr, "%s: %.*s\n", kProgram, static_cast<int>(text.size()), text.data());
  });
  return mw::WriteDocumentPicture(kProgram, *path, output, *side);
}
