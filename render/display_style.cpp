#include "render/display_style.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

namespace mw {

std::optional<DisplayStyle> ParseDisplayStyle(const std::string& text) {
  DisplayStyle style;
  std::string word;
  bool any = false;
  auto take = [&]() {
    if (word.empty()) return false;
    any = true;
    if (word == "shaded") style.shading = Shading::kShaded;
    else if (word == "edges") style.shading = Shading::kShadedEdges;
    else if (word == "wire" || word == "wireframe") style.shading = Shading::kWireframe, style.hiddenLines = false;
    else if (word == "hidden") style.shading = Shading::kWireframe, style.hiddenLines = true;
    else if (word == "textured") style.textured = true;
    else if (word == "untextured") style.textured = false;
    else if (word == "backfaces") style.backFaces = true;
    else if (word == "culled") style.backFaces = false;
    else if (word == "perspective") style.parallel = false;
    else if (word == "parallel") style.parallel = true;
    else return false;
    word.clear();
    return true;
  };
  for (char c : text) {
    if (c == ',') {
      if (!take()) return std::nullopt;
    } else {
      word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  if (!take() || !any) return std::nullopt;
  return style;
}

std::string DisplayStyleWords(const DisplayStyle& style) {
  std::string words = style.shading == Shading::kShaded        ? "shaded"
                      : style.shading == Shading::kShadedEdges ? "edges"
                      : style.hiddenLines                      ? "hidden"
                                                               : "wire";
  words += style.textured ? ",textured" : ",untextured";
  words += style.backFaces ? ",backfaces" : ",culled";
  words += style.parallel ? ",parallel" : ",perspective";
  return words;
}

}  // namespace mw
