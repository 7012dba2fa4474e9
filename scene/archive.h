// The .mwr document: the scene as one flat little-endian stream, no header, no tags.
//
// Reading is strict where the layout itself is silent: counts must fit in the bytes that are left
// (so no file can make the reader allocate much more than its own size), every face corner must
// name a vertex of its model and every face reference a face of it. A failed read leaves the
// scene exactly as it was; the new content is taken over only once the whole stream was read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scene/meshwright.h"

namespace mw {

enum class ArchiveError {
  kNone,
  kUnexpectedFormat,  // the stream is short or inconsistent
  kOpenFailed,        // a text longer than 0x7FFFFFFF bytes
  kFileError,         // the file could not be opened, read or written (systemError says why)
  kCancelled,         // the read was cancelled through its ReadProgress (platform/read_progress.h)
};

// What the user is told is decided above the scene, in io/document_io.cpp.
struct ArchiveResult {
  ArchiveError error = ArchiveError::kNone;
  std::string detail;   // English, for diagnostics: what exactly was wrong
  int systemError = 0;  // errno of a kFileError, 0 when the system gave none
  // Sections of the block after the last material that were skipped (archive_extensions.h), in
  // the user's words (UTF-8); the document was read all the same.
  std::vector<std::string> warnings = {};
  bool ok() const { return error == ArchiveError::kNone; }
};

// Replaces models, materials, camera, reservedWord, nextMaterialId and smoothing from `data`.
// Other fields keep their values. On success the old materials' textures are released first.
ArchiveResult ReadScene(CMeshwright& scene, const std::uint8_t* data, std::size_t size);

// Appends the stream of `scene` to `out`.
void WriteScene(const CMeshwright& scene, std::vector<std::uint8_t>& out);
// Streams the scene in blocks to `sink`; stops and returns false as soon as the sink does.
bool WriteScene(const CMeshwright& scene, const std::function<bool(const void*, std::size_t)>& sink);

// Reads a whole file. A 0-byte file is a successful open that changes nothing. Progress is
// reported (and cancelling honoured) through this thread's ReadProgress, once per buffer.
ArchiveResult OpenSceneFile(CMeshwright& scene, const std::string& path);
// Writes atomically: the old file stays intact unless the new one was written completely.
ArchiveResult SaveSceneFile(const CMeshwright& scene, const std::string& path);

// Text length prefix as the writer produces it (exposed for tests).
void AppendTextPrefix(std::vector<std::uint8_t>& out, std::uint64_t length);

}  // namespace mw
