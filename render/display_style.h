// How the perspective pane draws the models: shaded, shaded with its edges, or wireframe (with the
// lines behind faces left out or not); textures on or off; back faces shown or culled; and a
// perspective or a parallel camera. The picture commands take the same choices (--style).
#pragma once

#include <optional>
#include <string>

#include "scene/meshwright.h"

namespace mw {

enum class Shading { kShaded, kShadedEdges, kWireframe };

struct DisplayStyle {
  Shading shading = Shading::kShaded;
  bool hiddenLines = false;  // wireframe: leave out the lines that faces hide
  bool textured = true;
  bool backFaces = false;  // draw the back faces instead of culling them
  bool parallel = false;   // the parallel camera (the pane keeps it in scene.parallelCamera)
  bool operator==(const DisplayStyle&) const = default;
};

// The colour of the lines in the edge and wireframe styles (0x00BBGGRR).
inline constexpr std::uint32_t kWireColour = 0xE0E0E0;

// A comma-separated list of words, each setting one choice: shaded, edges, wire, hidden (wire with
// hidden lines left out), textured, untextured, backfaces, culled, perspective, parallel. Case is
// ignored; nothing for an empty list or an unknown word.
std::optional<DisplayStyle> ParseDisplayStyle(const std::string& text);
// The words ParseDisplayStyle takes back to the same style.
std::string DisplayStyleWords(const DisplayStyle& style);

}  // namespace mw
