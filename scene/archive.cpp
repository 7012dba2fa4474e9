#include "scene/archive.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/atomic_file.h"
#include "platform/encoding.h"

namespace mw {
namespace {

// Smallest number of bytes each record can take; used to refuse counts before allocating.
constexpr std::uint64_t kMinModelBytes = 1 + 4 + 1 + 4 + 4 + 4;
constexpr std::uint64_t kMinVertexBytes = 12 + 4;
constexpr std::uint64_t kMinFaceBytes = 12 + 4 + 4 + 4;
constexpr std::uint64_t kCameraBytes = 9 * 4 + 4;
constexpr std::uint64_t kMinMaterialBytes = 4 + 1 + 16 + 20 + 1 + 1 + 1;

struct FormatError {
  ArchiveError error;
  const char* what;
};

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}

  std::size_t Left() const { return static_cast<std::size_t>(end_ - p_); }

  void Need(std::uint64_t n, const char* what) {
    if (n > Left()) throw FormatError{ArchiveError::kUnexpectedFormat, what};
  }
  std::uint8_t U8() {
    Need(1, "unexpected end of file");
    return *p_++;
  }
  std::uint16_t U16() {
    Need(2, "unexpected end of file");
    std::uint16_t v = static_cast<std::uint16_t>(p_[0] | (p_[1] << 8));
    p_ += 2;
    return v;
  }
  std::uint32_t U32() {
    Need(4, "unexpected end of file");
    std::uint32_t v;
    std::memcpy(&v, p_, 4);  // the formats here are little-endian, as is every target we build for
    p_ += 4;
    return v;
  }
  std::uint64_t U64() {
    Need(8, "unexpected end of file");
    std::uint64_t v;
    std::memcpy(&v, p_, 8);
    p_ += 8;
    return v;
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  float F32() {
    std::uint32_t bits = U32();
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  void Floats(float* out, std::size_t n) {
    Need(4 * n, "unexpected end of file");
    std::memcpy(out, p_, 4 * n);
    p_ += 4 * n;
  }
  void Ints(std::int32_t* out, std::size_t n) {
    Need(4 * static_cast<std::uint64_t>(n), "unexpected end of file");
    std::memcpy(out, p_, 4 * n);
    p_ += 4 * n;
  }
  // A count that must be non-negative and leave room for `minEach` bytes per element.
  std::int32_t Count(std::uint64_t minEach, const char* what) {
    std::int32_t n = I32();
    if (n < 0) throw FormatError{ArchiveError::kUnexpectedFormat, what};
    Need(static_cast<std::uint64_t>(n) * minEach, what);
    return n;
  }

  std::string Text() {
    std::uint64_t length;
    bool wide = false;
    std::uint8_t b = U8();
    if (b < 0xFF) {
      length = b;
    } else {
      std::uint16_t w = U16();
      if (w == 0xFFFE) {
        wide = true;
        b = U8();
        if (b < 0xFF) {
          length = b;
          return Finish(length, wide);
        }
        w = U16();
      }
      if (w < 0xFFFF) {
        length = w;
      } else {
        std::uint32_t d = U32();
        if (d < 0xFFFFFFFFu) {
          length = d;
        } else {
          length = U64();
          if (length > 0x7FFFFFFF) throw FormatError{ArchiveError::kOpenFailed, "text longer than 0x7FFFFFFF bytes"};
        }
      }
    }
    return Finish(length, wide);
  }

 private:
  std::string Finish(std::uint64_t length, bool wide) {
    std::uint64_t bytes = wide ? 2 * length : length;
    Need(bytes, "text runs past the end of the file");
    const std::uint8_t* start = p_;
    p_ += bytes;
    if (wide) return Utf16leToCp932(start, static_cast<std::size_t>(length));
    return std::string(reinterpret_cast<const char*>(start), static_cast<std::size_t>(length));
  }

  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

void ReadModel(Reader& r, CModel& m) {
  m.name = r.Text();
  m.reservedInt = r.I32();
  m.secondName = r.Text();
  const std::int32_t v = r.I32();
  const std::int32_t f = r.I32();
  if (v < 0 || f < 0) throw FormatError{ArchiveError::kUnexpectedFormat, "negative vertex or face count"};
  r.Need(4 + static_cast<std::uint64_t>(v) * kMinVertexBytes + static_cast<std::uint64_t>(f) * kMinFaceBytes,
         "vertex or face count larger than the file");
  m.facet = r.F32();
  m.vertices.resize(static_cast<std::size_t>(v));
  m.faces.resize(static_cast<std::size_t>(f));
  for (CVertex& vx : m.vertices) {
    r.Floats(&vx.position.x, 3);
    const std::int32_t refs = r.Count(4, "face reference count");
    vx.faceRefs.resize(static_cast<std::size_t>(refs));
    r.Ints(vx.faceRefs.data(), static_cast<std::size_t>(refs));
  }
  for (CFace& fc : m.faces) {
    r.Floats(&fc.normal.x, 3);
    fc.material = r.I32();
    const std::int32_t corners = r.Count(4, "corner count");
    fc.indices.resize(static_cast<std::size_t>(corners));
    r.Ints(fc.indices.data(), static_cast<std::size_t>(corners));
    const std::int32_t uvCount = r.Count(8, "texture coordinate count");
    fc.uvs.resize(static_cast<std::size_t>(uvCount));
    r.Floats(&fc.uvs.data()->u, 2 * static_cast<std::size_t>(uvCount));
  }
  // Everything that indexes with these numbers later trusts them.
  const auto vertexCount = static_cast<std::int64_t>(m.vertices.size());
  const auto faceCount = static_cast<std::int64_t>(m.faces.size());
  for (const CFace& fc : m.faces)
    for (std::int32_t i : fc.indices)
      if (i < 0 || i >= vertexCount) throw FormatError{ArchiveError::kUnexpectedFormat, "face corner names no vertex"};
  for (const CVertex& vx : m.vertices)
    for (std::int32_t i : vx.faceRefs)
      if (i < 0 || i >= faceCount) throw FormatError{ArchiveError::kUnexpectedFormat, "face reference names no face"};
}

void ReadMaterial(Reader& r, CMaterial& m) {
  m.id = r.I32();
  m.name = r.Text();
  r.Floats(m.color, 4);
  m.diffuse = r.F32();
  m.ambient = r.F32();
  m.emissive = r.F32();
  m.specular = r.F32();
  m.power = r.F32();
  m.texture = r.Text();
  m.alphaPlane = r.Text();
  m.bump = r.Text();
}

// Output in blocks; a failed sink stops all further output.
class Writer {
 public:
  explicit Writer(const std::function<bool(const void*, std::size_t)>& sink) : sink_(sink) { buf_.reserve(kBlock); }
  ~Writer() = default;

  bool Finish() {
    Flush();
    return ok_;
  }
  void Bytes(const void* data, std::size_t n) {
    if (buf_.size() + n > kBlock) Flush();
    if (n > kBlock) {
      if (ok_) ok_ = sink_(data, n);
      return;
    }
    const auto* b = static_cast<const std::uint8_t*>(data);
    buf_.insert(buf_.end(), b, b + n);
  }
  void I32(std::int32_t v) { Bytes(&v, 4); }
  void F32(float v) { Bytes(&v, 4); }
  void Text(const std::string& s) {
    std::vector<std::uint8_t> prefix;
    AppendTextPrefix(prefix, s.size());
    Bytes(prefix.data(), prefix.size());
    Bytes(s.data(), s.size());
  }

 private:
  static constexpr std::size_t kBlock = 1 << 20;
  void Flush() {
    if (!buf_.empty() && ok_) ok_ = sink_(buf_.data(), buf_.size());
    buf_.clear();
  }
  const std::function<bool(const void*, std::size_t)>& sink_;
  std::vector<std::uint8_t> buf_;
  bool ok_ = true;
};

std::int32_t Count32(std::size_t n) {
  // Lists this large cannot be built in memory anyway; the archive cannot express them.
  return n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) ? std::numeric_limits<std::int32_t>::max()
                                                                                : static_cast<std::int32_t>(n);
}

}  // namespace

void AppendTextPrefix(std::vector<std::uint8_t>& out, std::uint64_t length) {
  auto put16 = [&out](std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  if (length < 0xFF) {
    out.push_back(static_cast<std::uint8_t>(length));
    return;
  }
  out.push_back(0xFF);
  if (length < 0xFFFE) {
    put16(static_cast<std::uint16_t>(length));
    return;
  }
  put16(0xFFFF);
  if (length < 0xFFFFFFFFu) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    return;
  }
  for (int i = 0; i < 4; ++i) out.push_back(0xFF);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
}

ArchiveResult ReadScene(CMeshwright& scene, const std::uint8_t* data, std::size_t size) {
  Reader r(data, size);
  std::vector<CModel> models;
  std::vector<CMaterial> materials;
  CAnimation camera;
  std::int32_t reservedWord, nextMaterialId, smoothing;
  try {
    const std::int32_t m = r.I32();
    const std::int32_t n = r.I32();
    if (m < 0 || n < 0) throw FormatError{ArchiveError::kUnexpectedFormat, "negative model or material count"};
    r.Need(12 + static_cast<std::uint64_t>(m) * kMinModelBytes + kCameraBytes +
               static_cast<std::uint64_t>(n) * kMinMaterialBytes,
           "model or material count larger than the file");
    models.resize(static_cast<std::size_t>(m));
    materials.resize(static_cast<std::size_t>(n));
    reservedWord = r.I32();
    nextMaterialId = r.I32();
    smoothing = r.I32();
    for (CModel& model : models) ReadModel(r, model);
    r.Floats(&camera.translation.x, 3);
    r.Floats(&camera.rotation.x, 3);
    r.Floats(&camera.scale.x, 3);
    camera.frame = r.I32();
    for (CMaterial& material : materials) ReadMaterial(r, material);
  } catch (const FormatError& e) {
    return ArchiveResult{e.error, e.what};
  } catch (const std::bad_alloc&) {
    return ArchiveResult{ArchiveError::kUnexpectedFormat, "not enough memory for the document"};
  }
  for (CMaterial& material : materials) material.UpdateMaterialColors();
  scene.ReleaseTextures();
  scene.models = std::move(models);
  scene.materials = std::move(materials);
  scene.camera = camera;
  scene.reservedWord = reservedWord;
  scene.nextMaterialId = nextMaterialId;
  scene.smoothing = smoothing;
  return ArchiveResult{};
}

bool WriteScene(const CMeshwright& scene, const std::function<bool(const void*, std::size_t)>& sink) {
  Writer w(sink);
  w.I32(Count32(scene.models.size()));
  w.I32(Count32(scene.materials.size()));
  w.I32(scene.reservedWord);
  w.I32(scene.nextMaterialId);
  w.I32(scene.smoothing);
  std::vector<std::uint8_t> record;
  for (const CModel& m : scene.models) {
    w.Text(m.name);
    w.I32(m.reservedInt);
    w.Text(m.secondName);
    w.I32(Count32(m.vertices.size()));
    w.I32(Count32(m.faces.size()));
    w.F32(m.facet);
    for (const CVertex& v : m.vertices) {
      // One record at a time keeps the per-call overhead of the block writer off the hot path.
      const auto refs = static_cast<std::uint32_t>(v.faceRefs.size());
      record.resize(16 + 4 * static_cast<std::size_t>(refs));
      std::memcpy(record.data(), &v.position.x, 12);
      std::memcpy(record.data() + 12, &refs, 4);
      if (refs) std::memcpy(record.data() + 16, v.faceRefs.data(), 4 * static_cast<std::size_t>(refs));
      w.Bytes(record.data(), record.size());
    }
    for (const CFace& f : m.faces) {
      const auto corners = static_cast<std::uint32_t>(f.indices.size());
      const auto uvCount = static_cast<std::uint32_t>(f.uvs.size());
      record.resize(24 + 4 * static_cast<std::size_t>(corners) + 8 * static_cast<std::size_t>(uvCount));
      std::uint8_t* p = record.data();
      std::memcpy(p, &f.normal.x, 12);
      std::memcpy(p + 12, &f.material, 4);
      std::memcpy(p + 16, &corners, 4);
      p += 20;
      if (corners) std::memcpy(p, f.indices.data(), 4 * static_cast<std::size_t>(corners));
      p += 4 * static_cast<std::size_t>(corners);
      std::memcpy(p, &uvCount, 4);
      p += 4;
      if (uvCount) std::memcpy(p, f.uvs.data(), 8 * static_cast<std::size_t>(uvCount));
      w.Bytes(record.data(), record.size());
    }
  }
  const CAnimation& c = scene.camera;
  for (float v : {c.translation.x, c.translation.y, c.translation.z, c.rotation.x, c.rotation.y, c.rotation.z,
                  c.scale.x, c.scale.y, c.scale.z})
    w.F32(v);
  w.I32(c.frame);
  for (const CMaterial& m : scene.materials) {
    w.I32(m.id);
    w.Text(m.name);
    for (float v : m.color) w.F32(v);
    for (float v : {m.diffuse, m.ambient, m.emissive, m.specular, m.power}) w.F32(v);
    w.Text(m.texture);
    w.Text(m.alphaPlane);
    w.Text(m.bump);
  }
  return w.Finish();
}

void WriteScene(const CMeshwright& scene, std::vector<std::uint8_t>& out) {
  WriteScene(scene, [&out](const void* data, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(data);
    out.insert(out.end(), b, b + n);
    return true;
  });
}

ArchiveResult OpenSceneFile(CMeshwright& scene, const std::string& path) {
  auto fileError = [&path](int err, const char* what) {
    return ArchiveResult{ArchiveError::kFileError, path + ": " + what, err};
  };
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return fileError(errno, std::strerror(errno));
  // A folder opens for reading here; say so rather than reading its nonsense size.
  struct stat info;
  if (fstat(fileno(f), &info) == 0 && S_ISDIR(info.st_mode)) {
    std::fclose(f);
    return fileError(EISDIR, std::strerror(EISDIR));
  }
  std::vector<std::uint8_t> data;
  bool readOk = true;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    if (size > 0) {
      std::rewind(f);
      try {
        data.resize(static_cast<std::size_t>(size));
      } catch (const std::bad_alloc&) {
        std::fclose(f);
        return fileError(ENOMEM, "file too large");
      }
      readOk = std::fread(data.data(), 1, data.size(), f) == data.size();
    } else if (size < 0) {
      readOk = false;
    }
  } else {
    readOk = false;
  }
  int err = errno;
  std::fclose(f);
  if (!readOk) return fileError(err ? err : EIO, std::strerror(err ? err : EIO));
  if (data.empty()) return ArchiveResult{};
  return ReadScene(scene, data.data(), data.size());
}

ArchiveResult SaveSceneFile(const CMeshwright& scene, const std::string& path) {
  AtomicFileWriter out(path);
  if (!out.ok()) return ArchiveResult{ArchiveError::kFileError, out.error(), out.errorNumber()};
  WriteScene(scene, [&out](const void* data, std::size_t n) { return out.Write(data, n); });
  if (!out.Commit()) return ArchiveResult{ArchiveError::kFileError, out.error(), out.errorNumber()};
  return ArchiveResult{};
}

}  // namespace mw
