// Text encodings at the edges of the program.
//
// Names (models, materials, textures) are kept as CP932 bytes in std::string, exactly as they come
// from documents. They are converted only where they leave the program: to UTF-8 for the screen,
// the console and file paths, and back from UTF-8/UTF-16 when the user types them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mw {

// First byte of a CP932 double-byte character.
inline bool IsCp932LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// CP932 -> UTF-8. Bytes that do not form a valid CP932 character become U+FFFD; never fails.
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 -> CP932. Characters CP932 cannot hold (and invalid UTF-8) become '?'; never fails.
std::string Utf8ToCp932(std::string_view utf8);

// UTF-16LE (`units` code units at `data`) -> CP932, unmappable characters becoming '?'.
std::string Utf16leToCp932(const unsigned char* data, std::size_t units);

}  // namespace mw
