// Compressed Metasequoia documents (.mqoz): a zip archive holding one .mqo document and the files
// it names, such as its textures. Opening only.
//
// The archive's files are extracted into a private temporary folder, removed again afterwards,
// and the document is imported from there, so its texture names resolve beside it just as for a
// plain .mqo (textures are decoded while the document is read). The first .mqo entry is the
// document. Entries whose names would leave that folder (absolute, "..") are not extracted. An
// archive of more than kMqozMaxEntries entries, or whose files together would take more than
// kMqozMaxBytes, or more than kMqozMaxRatio times the archive's own size, is refused before
// anything is written: a document costs the reader several bytes of memory per byte of text, and
// real archives compress text well under 20 times, so the ratio keeps what a small archive can
// cost near what a file of its size may.
#pragma once

#include <cstdint>
#include <string>

#include "io/loader_mqo.h"

namespace mw {

inline constexpr std::int64_t kMqozMaxEntries = 65536;
inline constexpr std::uint64_t kMqozMaxBytes = 1ull << 30;
inline constexpr std::uint64_t kMqozMaxRatio = 100;
// Extracted bytes any archive may have beyond the ratio: a tiny archive compresses little.
inline constexpr std::uint64_t kMqozRatioAllowance = 64 * 1024;

struct MqozLimits {
  std::int64_t entries = kMqozMaxEntries;
  std::uint64_t bytes = kMqozMaxBytes;
  std::uint64_t ratio = kMqozMaxRatio;
};

// Imports the document inside the archive at `path` (UTF-8) as ImportMetasequoia does. Besides
// the reader's codes, `info->code` is kMqoCannotOpen when the file cannot be read or the
// temporary folder cannot be made, kMqoNotMetasequoia when it is no zip archive or holds no .mqo,
// kMqoArchiveTooLarge beyond the limits, and kMqoDamagedArchive when its contents cannot be
// extracted (a damaged entry or checksum); in those cases the scene is untouched.
bool ImportCompressedMetasequoia(CMeshwright& scene, const std::string& path, MqoReadInfo* info,
                                 const MqozLimits& limits = MqozLimits());

}  // namespace mw
