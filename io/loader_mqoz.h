// Compressed Metasequoia documents (.mqoz): a zip archive holding one .mqo document and the files
// it names, such as its textures. Opening only.
//
// The archive's files are extracted into a private temporary folder, removed again afterwards,
// and the document is imported from there, so its texture names resolve beside it just as for a
// plain .mqo (textures are decoded while the document is read). The first .mqo entry is the
// document. Entries whose names would leave that folder (absolute, "..") are not extracted. An
// archive of more than kMqozMaxEntries entries, or whose files together would take more than
// kMqozMaxBytes, is refused before anything is written.
#pragma once

#include <cstdint>
#include <string>

#include "io/loader_mqo.h"

namespace mw {

inline constexpr std::int64_t kMqozMaxEntries = 65536;
inline constexpr std::uint64_t kMqozMaxBytes = 1ull << 30;

struct MqozLimits {
  std::int64_t entries = kMqozMaxEntries;
  std::uint64_t bytes = kMqozMaxBytes;
};

// Imports the document inside the archive at `path` (UTF-8) as ImportMetasequoia does. Besides
// the reader's codes, `info->code` is kMqoCannotOpen when the file cannot be read or the
// temporary folder cannot be made, kMqoNotMetasequoia when it is no zip archive or holds no .mqo,
// kMqoArchiveTooLarge beyond the limits, and kMqoDamagedArchive when its contents cannot be
// extracted (a damaged entry or checksum); in those cases the scene is untouched.
bool ImportCompressedMetasequoia(CMeshwright& scene, const std::string& path, MqoReadInfo* info,
                                 const MqozLimits& limits = MqozLimits());

}  // namespace mw
