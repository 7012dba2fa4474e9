// Reading Metasequoia text documents (Format Text Ver 1.0 and 1.1) into the scene.
//
// The import appends: models after the scene's models, materials after its materials, with
// identifiers from nextMaterialId; a face's material number is offset by the identifier the
// first material of this document gets. Only the header, material lines, and in objects facet,
// visible, locking, mirror, mirror_axis, mirror_dis, patch, patchtri, segment, vertex, BVertex
// and face chunks are read;
// every other chunk is skipped by counting braces, binary blocks by their byte count.
//
// Faces keep every corner they have in the file. In version 1.1 the groups after a face's V(...)
// may come in any order and unknown ones (UID, COL, CRS, ...) are passed over; version 1.0 reads
// M(...) then UV(...) as it always has.
//
// Names arrive as CP932 bytes: a document with "CodePage utf8", or without a CodePage line whose
// text is valid UTF-8 with non-ASCII characters, is read as UTF-8 and its names converted, a
// character CP932 cannot hold becoming '?' (reported as a warning). A number that is not finite
// (nan, inf, out of range) becomes 0 and is reported as a warning too.
//
// Faces naming a vertex their object does not have are dropped when the object is complete (or
// when reading stops inside it), before anything indexes with them.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "io/string_separator.h"
#include "scene/meshwright.h"

namespace mw {

enum MqoError : int {
  kMqoOk = 0,
  kMqoSyntaxError = -1,
  kMqoUnexpectedEnd = -2,
  kMqoNotMetasequoia = -3,
  kMqoUnsupportedFormat = -4,
  kMqoDamagedArchive = -5,   // a compressed document whose contents cannot be extracted
  kMqoArchiveTooLarge = -6,  // a compressed document of too many entries or bytes
  kMqoCancelled = -7,        // stopped through the thread's ReadProgress (platform/read_progress.h)
  kMqoTooManyMaterials = -8, // more material lines than the bytes read so far can justify
  kMqoCannotOpen = -100,     // the file could not be opened; nothing was read
};

// "SyntaxError", "UnexpectedEnd", "NotMetasequoia", "UnsupportedFormat", "DamagedArchive",
// "ArchiveTooLarge", "CannotOpen", or "".
const char* MqoErrorName(int code);

enum class MqoEncoding { kCp932, kUtf8 };

// True when the n bytes at `p` are well-formed UTF-8 (no overlong forms, surrogates or values
// past U+10FFFF); `nonAscii` is set when a byte of 0x80 or more was seen.
bool ValidUtf8(const unsigned char* p, std::size_t n, bool& nonAscii);

// What one import found besides the scene's contents.
struct MqoReadInfo {
  int code = kMqoOk;
  int version = 0;  // 10 or 11 once the header was read, else 0
  MqoEncoding encoding = MqoEncoding::kCp932;
  bool codePageDeclared = false;      // a CodePage line chose the encoding (else it was detected)
  std::size_t ngonFaces = 0;          // faces of more than four corners read (before mirroring)
  std::vector<std::string> warnings;  // UTF-8, each kind at most once per document
  std::string detail;                 // UTF-8: what exactly was refused, when the code alone does not say
};

// A material record costs a few hundred bytes, a material line can be two: a document may hold
// kMqoFreeMaterials materials, and one more for every kMqoBytesPerMaterial bytes read up to it
// (real material lines are a hundred bytes and more), so its materials cost about what its size
// allows. Beyond, the document is refused (kMqoTooManyMaterials).
inline constexpr std::size_t kMqoFreeMaterials = 256;
inline constexpr long kMqoBytesPerMaterial = 64;

class LoaderMQO {
 public:
  LoaderMQO(CMeshwright* scene, std::FILE* file);
  virtual ~LoaderMQO() = default;

  int Load();  // 0, or the error code that stopped reading

  std::int32_t materialBase = 0;
  MqoReadInfo info;  // filled by Load (its code too)

 private:
  void ReadHeader();
  void ReadChunks();
  void ReadMaterials();
  void ReadObjectChunk();
  bool ReadObject(CModel& model);
  void ReadVertices(CModel& model);
  void ReadFaces(CModel& model);
  void SkipChunk(int tokenCount);
  void SkipBinary(int byteCountToken);
  void ReadMaterialLine();
  void ReadBinaryVertices(CModel& model);
  void DetectEncoding();
  void SetEncoding(MqoEncoding encoding);
  void FinishObject(CModel& model);
  float Real(int token);        // GetFloat, non-finite values becoming 0 (counted)
  std::string Name(int token);  // the token as CP932 bytes
  void AddWarnings();
  int Next();  // reads a line, raising UnexpectedEnd at the end of input
  template <typename List>
  void Reserve(List& list, int announced, long bytesEach);

  CMeshwright* scene_;
  std::FILE* file_;
  std::unique_ptr<AsciiFileString> lines_;
  long fileSize_ = -1;
  unsigned linesSinceReport_ = 0;
  std::size_t nonFinite_ = 0;
  long firstNonFiniteLine_ = 0;
  std::size_t unmappable_ = 0;
  std::size_t materialsRead_ = 0;
  long startOffset_ = 0;
  // The object attributes being read.
  int mirror_ = 0;
  int mirrorAxis_ = -1;           // -1: none given
  float mirrorDistance_ = -1.0f;  // < 0: none given
  int visible_ = 15;
  int locking_ = 0;
  int patch_ = 0;      // 0 flat, 1 and 2 the format's older spline patches, 3 and up Catmull-Clark
  int patchTri_ = 0;   // non-zero: triangles (Loop)
  int segment_ = -1;   // -1: none given
  std::size_t splinePatches_ = 0;
};

// Imports the document at `path` (UTF-8 file name) into `scene`. Returns true when the whole
// document was read. Whatever was read before an error stays; a default material is added when
// the scene has none, then material colours and normals are updated. `errorCode` receives the
// MqoError. A file that cannot be opened changes nothing.
bool ImportMetasequoia(CMeshwright& scene, const std::string& path, int* errorCode = nullptr);
bool ImportMetasequoia(CMeshwright& scene, const std::string& path, MqoReadInfo* info);
// The same from an open stream (fuzzing and tests read from memory).
bool ImportMetasequoia(CMeshwright& scene, std::FILE* file, int* errorCode = nullptr);
bool ImportMetasequoia(CMeshwright& scene, std::FILE* file, MqoReadInfo* info);

// What an export writes beyond the geometry as it is.
struct MqoWriteOptions {
  // 「鏡面をファイルに残す」: a model with symmetric modelling on is written as its kept half
  // (scene/symmetry.h KeptHalf) with a connected mirror over its axis, which a reader rebuilds.
  bool keepMirror = false;
};

// What an export wrote.
struct MqoWriteInfo {
  int version = 10;                   // 10, or 11 when a face has more than four corners
  std::size_t droppedFaces = 0;       // faces of fewer than two corners, which the format cannot hold
  std::vector<std::string> warnings;  // UTF-8
};

// Writes the scene as a Metasequoia document with CR LF line ends, atomically: the target is
// replaced only when every byte was written. Returns false (and sets `error`) otherwise.
// Version 1.0 when every face has at most four corners, else 1.1.
bool ExportMetasequoia(const CMeshwright& scene, const std::string& path, std::string* error = nullptr,
                       MqoWriteInfo* info = nullptr);
// Receives the document text block by block, in order; returning false stops the export.
using MqoTextSink = std::function<bool(const char* data, std::size_t size)>;
// Streams the document text to `sink` through a small fixed buffer (no copy of the whole text).
// False when the sink refused a block; nothing is sent after that.
bool WriteMetasequoia(const CMeshwright& scene, const MqoTextSink& sink, MqoWriteInfo* info = nullptr);
bool WriteMetasequoia(const CMeshwright& scene, const MqoTextSink& sink, const MqoWriteOptions& options,
                      MqoWriteInfo* info = nullptr);
// The document text itself, in one string (tests and small documents).
std::string MetasequoiaText(const CMeshwright& scene, MqoWriteInfo* info = nullptr);

}  // namespace mw
