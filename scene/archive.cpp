#include "scene/archive.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/atomic_file.h"
#include "platform/encoding.h"
#include "platform/read_progress.h"
#include "scene/archive_extensions.h"

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
  int systemError = 0;
};

// Reads the stream either from one block in memory or from a file through a small window, so
// opening a document costs no copy of the whole file. Every count is still checked against the
// bytes left in the stream (the file's size, taken when it was opened), never against the window.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  // `size` bytes are read from `fd`'s current position through `window` (kWindow bytes).
  Reader(int fd, std::uint64_t size, std::uint8_t* window)
      : p_(window), end_(window), fd_(fd), window_(window), rest_(size), size_(size) {}

  static constexpr std::size_t kWindow = 256 * 1024;

  std::uint64_t Left() const { return static_cast<std::uint64_t>(end_ - p_) + rest_; }

  void Need(std::uint64_t n, const char* what) {
    if (n > Left()) throw FormatError{ArchiveError::kUnexpectedFormat, what};
  }
  std::uint8_t U8() {
    std::uint8_t v;
    Copy(&v, 1);
    return v;
  }
  std::uint16_t U16() {
    std::uint8_t b[2];
    Copy(b, 2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
  }
  std::uint32_t U32() {
    std::uint32_t v;
    Copy(&v, 4);  // the formats here are little-endian, as is every target we build for
    return v;
  }
  std::uint64_t U64() {
    std::uint64_t v;
    Copy(&v, 8);
    return v;
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  // The next n bytes when the window holds them all, else null; Skip(k <= n) then consumes them.
  const std::uint8_t* Window(std::size_t n) const { return static_cast<std::size_t>(end_ - p_) >= n ? p_ : nullptr; }
  void Skip(std::size_t n) { p_ += n; }
  float F32() {
    float f;
    Copy(&f, 4);
    return f;
  }
  void Floats(float* out, std::size_t n) { Copy(out, 4 * static_cast<std::uint64_t>(n)); }
  void Ints(std::int32_t* out, std::size_t n) { Copy(out, 4 * static_cast<std::uint64_t>(n)); }
  void Bytes(std::uint8_t* out, std::uint64_t n) { Copy(out, n); }
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
  // Copies the next n bytes out, refilling the window as often as it takes.
  void Copy(void* out, std::uint64_t n) {
    if (n <= static_cast<std::uint64_t>(end_ - p_)) {
      if (n) std::memcpy(out, p_, static_cast<std::size_t>(n));
      p_ += n;
      return;
    }
    Need(n, "unexpected end of file");
    auto* o = static_cast<std::uint8_t*>(out);
    while (n) {
      if (p_ == end_) Refill();
      const std::size_t chunk =
          static_cast<std::size_t>(std::min<std::uint64_t>(n, static_cast<std::uint64_t>(end_ - p_)));
      std::memcpy(o, p_, chunk);
      o += chunk;
      p_ += chunk;
      n -= chunk;
    }
  }

  // Only called with the window used up and bytes left in the file (Need came first).
  void Refill() {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(rest_, kWindow));
    std::size_t got = 0;
    while (got < want) {
      const ssize_t n = ::read(fd_, window_ + got, want - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw FormatError{ArchiveError::kFileError, std::strerror(errno), errno};
      // The file became shorter than it was when it was opened.
      if (n == 0) throw FormatError{ArchiveError::kFileError, "the file changed while it was read", EIO};
      got += static_cast<std::size_t>(n);
    }
    p_ = window_;
    end_ = window_ + got;
    rest_ -= got;
    if (!ReportReadProgress(size_ - rest_, size_)) throw FormatError{ArchiveError::kCancelled, "cancelled"};
  }

  std::string Finish(std::uint64_t length, bool wide) {
    const std::uint64_t bytes = wide ? 2 * length : length;
    Need(bytes, "text runs past the end of the file");
    if (wide) {
      std::vector<std::uint8_t> units(static_cast<std::size_t>(bytes));
      Copy(units.data(), bytes);
      return Utf16leToCp932(units.data(), static_cast<std::size_t>(length));
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    Copy(text.data(), bytes);
    return text;
  }

  const std::uint8_t* p_;
  const std::uint8_t* end_;
  int fd_ = -1;
  std::uint8_t* window_ = nullptr;
  std::uint64_t rest_ = 0;  // bytes of the file not yet in the window
  std::uint64_t size_ = 0;  // the file's size when it was opened
};

// Large arrays are filled front to back right away: huge pages spare the kernel most of the faults.
void AdviseLargeArray(void* data, std::size_t bytes) {
  constexpr std::uintptr_t kHuge = 2u << 20;
  if (bytes < 4 * kHuge) return;
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

[[noreturn]] void BadIndex(const char* what) { throw FormatError{ArchiveError::kUnexpectedFormat, what}; }

// Everything that indexes with these numbers later trusts them.
template <typename List>
void CheckIndices(const List& list, std::int32_t count, const char* what) {
  for (std::int32_t i : list)
    if (i < 0 || i >= count) BadIndex(what);
}

// Records of up to four corners (all the program builds) are taken straight from the window when
// it holds them; anything else, or a record split across two windows, goes field by field.
void ReadVertex(Reader& r, CVertex& vx, std::int32_t faceCount) {
  constexpr std::size_t kShort = 16 + 4 * 4;
  if (const std::uint8_t* q = r.Window(kShort)) {
    std::int32_t refs;
    std::memcpy(&refs, q + 12, 4);
    if (refs >= 0 && refs <= 4) {
      std::memcpy(&vx.position.x, q, 12);
      vx.faceRefs.resize(static_cast<std::size_t>(refs));
      // All four inline places at once, a fixed-size copy the compiler inlines; the places past
      // `refs` are not part of the list. The window holds kShort bytes, so the source is there.
      static_assert(FaceRefList::kInline == 4);
      std::memcpy(vx.faceRefs.data(), q + 16, 16);
      r.Skip(16 + 4 * static_cast<std::size_t>(refs));
      CheckIndices(vx.faceRefs, faceCount, "face reference names no face");
      return;
    }
  }
  r.Floats(&vx.position.x, 3);
  const std::int32_t refs = r.Count(4, "face reference count");
  vx.faceRefs.resize(static_cast<std::size_t>(refs));
  r.Ints(vx.faceRefs.data(), static_cast<std::size_t>(refs));
  CheckIndices(vx.faceRefs, faceCount, "face reference names no face");
}

void ReadFace(Reader& r, CFace& fc, std::int32_t vertexCount) {
  constexpr std::size_t kShort = 24 + 4 * 4 + 8 * 4;
  if (const std::uint8_t* q = r.Window(kShort)) {
    std::int32_t corners, uvCount;
    std::memcpy(&corners, q + 16, 4);
    if (corners >= 0 && corners <= 4) {
      std::memcpy(&uvCount, q + 20 + 4 * corners, 4);
      if (uvCount >= 0 && uvCount <= 4) {
        std::memcpy(&fc.normal.x, q, 12);
        std::memcpy(&fc.material, q + 12, 4);
        // As for vertices: whole inline storage in fixed-size copies, within the window's kShort.
        static_assert(IndexList::kInline == 4 && UVList::kInline == 4);
        fc.indices.resize(static_cast<std::size_t>(corners));
        std::memcpy(fc.indices.data(), q + 20, 16);
        fc.uvs.resize(static_cast<std::size_t>(uvCount));
        std::memcpy(&fc.uvs.data()->u, q + 24 + 4 * corners, 32);
        r.Skip(24 + 4 * static_cast<std::size_t>(corners) + 8 * static_cast<std::size_t>(uvCount));
        CheckIndices(fc.indices, vertexCount, "face corner names no vertex");
        return;
      }
    }
  }
  r.Floats(&fc.normal.x, 3);
  fc.material = r.I32();
  const std::int32_t corners = r.Count(4, "corner count");
  fc.indices.resize(static_cast<std::size_t>(corners));
  r.Ints(fc.indices.data(), static_cast<std::size_t>(corners));
  const std::int32_t uvCount = r.Count(8, "texture coordinate count");
  fc.uvs.resize(static_cast<std::size_t>(uvCount));
  r.Floats(&fc.uvs.data()->u, 2 * static_cast<std::size_t>(uvCount));
  CheckIndices(fc.indices, vertexCount, "face corner names no vertex");
}

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
  // Built record by record: each element is written once, while its record is at hand.
  m.vertices.reserve(static_cast<std::size_t>(v));
  m.faces.reserve(static_cast<std::size_t>(f));
  AdviseLargeArray(m.vertices.data(), m.vertices.capacity() * sizeof(CVertex));
  AdviseLargeArray(m.faces.data(), m.faces.capacity() * sizeof(CFace));
  for (std::int32_t i = 0; i < v; ++i) ReadVertex(r, m.vertices.emplace_back(), f);
  for (std::int32_t i = 0; i < f; ++i) ReadFace(r, m.faces.emplace_back(), v);
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
  return n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
             ? std::numeric_limits<std::int32_t>::max()
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

namespace {

// Decodes everything into locals first, so a failure anywhere leaves the scene as it was.
ArchiveResult Decode(CMeshwright& scene, Reader& r) {
  std::vector<CModel> models;
  std::vector<CMaterial> materials;
  CAnimation camera;
  std::int32_t reservedWord, nextMaterialId, smoothing;
  std::vector<std::string> warnings;
  DocumentExtensions extensions;
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
    if (r.Left() >= 8) {
      // The block after the last material, when the bytes there begin with its tag.
      std::uint8_t head[8];
      r.Bytes(head, 8);
      std::uint32_t tag;
      std::memcpy(&tag, head, 4);
      if (tag == kExtensionTag) {
        std::vector<std::uint8_t> block(static_cast<std::size_t>(8 + r.Left()));
        std::memcpy(block.data(), head, 8);
        r.Bytes(block.data() + 8, block.size() - 8);
        ReadExtensionBlock(models, extensions, block.data(), block.size(), warnings);
      }
    }
  } catch (const FormatError& e) {
    return ArchiveResult{e.error, e.what, e.systemError};
  } catch (const std::bad_alloc&) {
    return ArchiveResult{ArchiveError::kUnexpectedFormat, "not enough memory for the document"};
  }
  for (CMaterial& material : materials) material.UpdateMaterialColors();
  scene.ReleaseTextures();
  scene.models = std::move(models);
  scene.materials = std::move(materials);
  scene.camera = camera;
  scene.referencePictures = std::move(extensions.referencePictures);
  scene.reservedWord = reservedWord;
  scene.nextMaterialId = nextMaterialId;
  scene.smoothing = smoothing;
  ArchiveResult done;
  done.warnings = std::move(warnings);
  return done;
}

}  // namespace

ArchiveResult ReadScene(CMeshwright& scene, const std::uint8_t* data, std::size_t size) {
  Reader r(data, size);
  return Decode(scene, r);
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
  std::vector<std::uint8_t> extensions;
  AppendExtensionBlock(scene, extensions);
  if (!extensions.empty()) w.Bytes(extensions.data(), extensions.size());
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
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fileError(errno, std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  // A folder opens for reading here; say so rather than reading its nonsense size.
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) return fileError(EISDIR, std::strerror(EISDIR));
  // The size by seeking, as for any file that can seek; a pipe cannot and is refused.
  const off_t size = ::lseek(fd, 0, SEEK_END);
  if (size < 0 || ::lseek(fd, 0, SEEK_SET) != 0) return fileError(errno, std::strerror(errno));
  if (size == 0) return ArchiveResult{};
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  std::unique_ptr<std::uint8_t[]> window;
  try {
    window.reset(new std::uint8_t[Reader::kWindow]);
  } catch (const std::bad_alloc&) {
    return fileError(ENOMEM, std::strerror(ENOMEM));
  }
  Reader r(fd, static_cast<std::uint64_t>(size), window.get());
  ArchiveResult result = Decode(scene, r);
  if (result.error == ArchiveError::kFileError) result.detail = path + ": " + result.detail;
  return result;
}

ArchiveResult SaveSceneFile(const CMeshwright& scene, const std::string& path) {
  AtomicFileWriter out(path);
  if (!out.ok()) return ArchiveResult{ArchiveError::kFileError, out.error(), out.errorNumber()};
  WriteScene(scene, [&out](const void* data, std::size_t n) { return out.Write(data, n); });
  if (!out.Commit()) return ArchiveResult{ArchiveError::kFileError, out.error(), out.errorNumber()};
  return ArchiveResult{};
}

}  // namespace mw
