// The block the .mwr document may carry after its last material, for what the fixed layout cannot
// hold: hidden elements, display states and mirror axes, subdivision settings, creases, seams.
//
// Layout, little-endian: the tag "MWX1", a version (u32, 1), then sections to the end of the
// stream, each a four-byte tag, a length (u32) and that many bytes. A reader skips a section it does
// not know, and one it cannot make sense of, by its length, with a warning; a block whose own tag is
// missing is no block (the bytes are ignored, as a reader of the fixed layout ignores them). A
// document using none of it writes none: a new document stays 89 bytes.
//
// A feature adds one entry to the section table (archive_extensions.cpp): how it writes its payload
// (nothing when the scene has nothing to keep) and how it reads one back onto the models just read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scene/meshwright.h"

namespace mw {

inline constexpr std::uint32_t kExtensionTag = 0x3158574Du;  // "MWX1"
inline constexpr std::uint32_t kExtensionVersion = 1;
inline constexpr std::uint32_t kHiddenSectionTag = 0x45444948u;  // "HIDE"
inline constexpr std::uint32_t kModelStateSectionTag = 0x4154534Du;   // "MSTA"
inline constexpr std::uint32_t kSubdivisionSectionTag = 0x44425553u;  // "SUBD"
inline constexpr std::uint32_t kCreaseSectionTag = 0x45535243u;       // "CRSE"
inline constexpr std::uint32_t kReferenceSectionTag = 0x46455242u;  // "BREF"
inline constexpr std::uint32_t kSeamSectionTag = 0x4D414553u;       // "SEAM"

// Appends the block for `scene` to `out`, or nothing when no section has anything to keep.
void AppendExtensionBlock(const CMeshwright& scene, std::vector<std::uint8_t>& out);

// Reads a block from the bytes after the last material onto `models` (those the stream just gave).
// Each section is applied whole or not at all; `warnings` (UTF-8) gets a line for each section
// skipped. Bytes that do not begin with the block's tag are ignored without a word.
void ReadExtensionBlock(std::vector<CModel>& models, const std::uint8_t* data, std::size_t size,
                        std::vector<std::string>& warnings);

// What the block keeps for the document as a whole rather than for one of its models.
struct DocumentExtensions {
  std::vector<ReferencePicture> referencePictures;
};
// The same, also reading the document's own sections into `document`.
void ReadExtensionBlock(std::vector<CModel>& models, DocumentExtensions& document, const std::uint8_t* data,
                        std::size_t size, std::vector<std::string>& warnings);

}  // namespace mw
