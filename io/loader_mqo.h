// Reading Metasequoia text documents into the scene.
//
// The import appends: models after the scene's models, materials after its materials, with
// identifiers from nextMaterialId; a face's material number is offset by the identifier the
// first material of this document gets. Only the header, material lines, and in objects facet,
// mirror_axis, vertex and face chunks are read; every other chunk is skipped by counting braces,
// binary blocks by their byte count.
//
// Faces naming a vertex their object does not have are dropped when the object is complete (or
// when reading stops inside it), before anything indexes with them.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "io/string_separator.h"
#include "scene/meshwright.h"

namespace mw {

enum MqoError : int {
  kMqoOk = 0,
  kMqoSyntaxError = -1,
  kMqoUnexpectedEnd = -2,
  kMqoNotMetasequoia = -3,
  kMqoUnsupportedFormat = -4,
  kMqoCannotOpen = -100,  // the file could not be opened; nothing was read
};

// "SyntaxError", "UnexpectedEnd", "NotMetasequoia", "UnsupportedFormat", "CannotOpen", or "".
const char* MqoErrorName(int code);

class LoaderMQO {
 public:
  LoaderMQO(CMeshwright* scene, std::FILE* file);
  virtual ~LoaderMQO() = default;

  int Load();  // 0, or the error code that stopped reading

  std::int32_t materialBase = 0;

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
  int Next();  // reads a line, raising UnexpectedEnd at the end of input
  template <typename List>
  void Reserve(List& list, int announced, long bytesEach);

  CMeshwright* scene_;
  std::FILE* file_;
  std::unique_ptr<AsciiFileString> lines_;
  long fileSize_ = -1;
};

// Imports the document at `path` (UTF-8 file name) into `scene`. Returns true when the whole
// document was read. Whatever was read before an error stays; a default material is added when
// the scene has none, then material colours and normals are updated. `errorCode` receives the
// MqoError. A file that cannot be opened changes nothing.
bool ImportMetasequoia(CMeshwright& scene, const std::string& path, int* errorCode = nullptr);
// The same from an open stream (fuzzing and tests read from memory).
bool ImportMetasequoia(CMeshwright& scene, std::FILE* file, int* errorCode = nullptr);

// Writes the scene as a Metasequoia document with CR LF line ends, atomically: the target is
// replaced only when every byte was written. Returns false (and sets `error`) otherwise.
bool ExportMetasequoia(const CMeshwright& scene, const std::string& path, std::string* error = nullptr);
// The document text itself.
std::string MetasequoiaText(const CMeshwright& scene);

}  // namespace mw
