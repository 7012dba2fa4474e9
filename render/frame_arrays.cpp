#include "render/frame_arrays.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <cstdio>
#include <cstring>
#include <span>

#include "render/gl_frame.h"
#include "scene/polygon_triangles.h"

namespace mw {
namespace {

// Interleaved as glInterleavedArrays' GL_T2F_N3F_V3F would have it.
struct Corner {
  float t[2];
  float n[3];
  float p[3];
};

class KeyHasher {
 public:
  void Add(std::uint64_t w) { h_ = ((h_ << 5 | h_ >> 59) ^ w) * 0x9E3779B97F4A7C15ull; }
  void Add2(std::uint32_t a, std::uint32_t b) {
    Add(static_cast<std::uint64_t>(a) | static_cast<std::uint64_t>(b) << 32);
  }
  void Floats(const float* f, std::size_t n) {
    std::uint32_t bits[2] = {0, 0};
    for (std::size_t i = 0; i < n; i += 2) {
      std::memcpy(&bits[0], f + i, 4);
      bits[1] = 0;
      if (i + 1 < n) std::memcpy(&bits[1], f + i + 1, 4);
      Add2(bits[0], bits[1]);
    }
  }
  std::uint64_t Value() const { return h_; }

 private:
  std::uint64_t h_ = 0x243F6A8885A308D3ull;
};

}  // namespace

std::uint64_t PerspectiveKey(const CModel& model, const std::vector<CMaterial>& materials) {
  KeyHasher h;
  h.Add(materials.size());
  for (const CMaterial& m : materials) h.Add(static_cast<std::uint32_t>(m.id));
  h.Add(model.vertices.size());
  for (const CVertex& v : model.vertices) {
    const float f[6] = {v.position.x, v.position.y, v.position.z, v.normal.x, v.normal.y, v.normal.z};
    h.Floats(f, 6);
  }
  h.Add(model.faces.size());
  for (const CFace& f : model.faces) {
    h.Add2(static_cast<std::uint32_t>(f.material),
           static_cast<std::uint32_t>(f.indices.size()) | static_cast<std::uint32_t>(f.uvs.size()) << 16 |
               static_cast<std::uint32_t>(f.hidden ? 1 : 0) << 31);
    const std::int32_t* idx = f.indices.data();
    for (std::size_t i = 0; i < f.indices.size(); i += 2)
      h.Add2(static_cast<std::uint32_t>(idx[i]),
             i + 1 < f.indices.size() ? static_cast<std::uint32_t>(idx[i + 1]) : 0u);
    if (!f.uvs.empty()) h.Floats(&f.uvs.data()->u, 2 * f.uvs.size());
  }
  return h.Value();
}

// Whether faces of `m` are drawn textured: what ApplyMaterial decides.
bool DrawsTextured(const CMaterial& m) { return !m.texture.empty() && m.textureObject != 0; }

// One model laid out for drawing.
struct PerspectiveRenderer::ModelArrays {
  // A run of faces drawn with one call. `material` >= 0: that material is applied first.
  // Triangles are drawn by index (`first` and `count` count indices, naming corners `lowest` to
  // `highest`), lines and quadrilaterals from consecutive corners.
  struct Step {
    std::int32_t material;
    GLenum mode;
    GLint first;
    GLsizei count;
    GLuint lowest, highest;
    bool normalFromBefore;    // the corners take the normal current when the model starts
    bool texCoordFromBefore;  // the same for the texture coordinate
  };
  bool built = false;
  std::uint64_t key = 0;
  // What the model's storage looked like when the key was taken: a model replaced, grown or
  // shrunk since is checked even when the caller says nothing changed.
  const void* vertexData = nullptr;
  const void* faceData = nullptr;
  std::size_t keptVertices = 0, keptFaces = 0, keptMaterials = 0;
  // Which materials drew textured when the triangles' corners were shared out (see Build), and
  // whether the model has triangles at all (only then does it matter).
  std::vector<bool> textured;
  bool sharesCorners = false;
  std::vector<Step> steps;
  // Kept only when the context has no buffer objects.
  std::vector<Corner> corners;
  std::vector<std::uint32_t> indices;
  GLuint buffer = 0, indexBuffer = 0;
  // What the model leaves current, when it sets it at all.
  bool setsNormal = false, setsTexCoord = false;
  float lastNormal[3] = {0, 0, 0};
  float lastTexCoord[2] = {0, 0};
  PolygonTriangleCache triangles;

  bool TexturedChanged(const std::vector<CMaterial>& materials) const {
    if (textured.size() != materials.size()) return true;
    for (std::size_t i = 0; i < materials.size(); ++i)
      if (textured[i] != DrawsTextured(materials[i])) return true;
    return false;
  }

  // Follows DrawModelGl face by face, so that the arrays hold exactly what it would send: the
  // same primitives in the same order, with the same values at every corner.
  //
  // The corners of triangles (and of the triangles larger faces are split into) whose values are
  // the same share one entry, so that OpenGL transforms and lights it once for the triangles that
  // meet there; texture coordinates count only for materials that draw textured, since nothing
  // else reads them. Quadrilaterals keep four corners of their own (see the header).
  void Build(const CModel& model, const std::vector<CMaterial>& materials) {
    steps.clear();
    corners.clear();
    indices.clear();
    textured.assign(materials.size(), false);
    for (std::size_t i = 0; i < materials.size(); ++i) textured[i] = DrawsTextured(materials[i]);
    setsNormal = setsTexCoord = false;
    const std::size_t vertexCount = model.vertices.size();
    const std::size_t faceCount = model.faces.size();
    constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    // Per vertex, the last shared corner made from it; per corner, the shared one made before it
    // from the same vertex. A vertex has few distinct corners, so finding a match is a short walk.
    // Laid out at the first triangle.
    std::vector<std::uint32_t> lastOf;
    std::vector<std::uint32_t> before;
    bool anyPolygon = false;
    float normal[3] = {0, 0, 0}, tex[2] = {0, 0};
    // Room for every corner at once: grown by doubling, the arrays of a million faces were copied
    // a dozen times over, and the memory each copy left behind stayed with the process.
    std::size_t ownCorners = 0, triangleCorners = 0;
    for (const CFace& f : model.faces) {
      if (f.hidden) continue;
      const std::size_t n = f.indices.size();
      if (n == 2 || n == 4) ownCorners += n;
      else if (n >= 3) triangleCorners += 3 * (n - 2);
    }
    corners.reserve(ownCorners + triangleCorners);
    indices.reserve(triangleCorners);
    for (std::size_t mi = 0; mi < materials.size(); ++mi) {
      const CMaterial& material = materials[mi];
      const bool compareTex = textured[mi];
      bool applied = false;
      for (std::size_t fi = 0; fi < faceCount; ++fi) {
        const CFace& f = model.faces[fi];
        if (f.material != material.id || f.hidden) continue;
        const std::size_t n = f.indices.size();
        if (n < 2) continue;
        bool valid = true;
        for (std::int32_t i : f.indices) valid = valid && i >= 0 && static_cast<std::size_t>(i) < vertexCount;
        if (!valid) continue;
        std::span<const std::uint32_t> split;
        if (n > 4) {
          anyPolygon = true;
          split = triangles.Triangles(model, fi);
          if (split.empty()) continue;
        }
        const GLenum mode = n == 2 ? GL_LINES : (n == 4 ? GL_QUADS : GL_TRIANGLES);
        const bool byIndex = mode == GL_TRIANGLES;
        if (byIndex && lastOf.empty()) {
          lastOf.assign(vertexCount, kNone);
          before.assign(corners.size(), kNone);
        }
        GLuint lowest = kNone, highest = 0;
        auto corner = [&](std::size_t k) {
          const auto vi = static_cast<std::size_t>(f.indices[k]);
          const CVertex& v = model.vertices[vi];
          if (n > 2) {
            if (f.uvs.size() > k) {
              tex[0] = f.uvs[k].u;
              tex[1] = -f.uvs[k].v;
              setsTexCoord = true;
            }
            normal[0] = -v.normal.x;
            normal[1] = -v.normal.y;
            normal[2] = -v.normal.z;
            setsNormal = true;
          }
          const Corner c{{tex[0], tex[1]}, {normal[0], normal[1], normal[2]}, {v.position.x, v.position.y, v.position.z}};
          if (!byIndex) {
            corners.push_back(c);
            if (!lastOf.empty()) before.push_back(kNone);
            return;
          }
          std::uint32_t at = lastOf[vi];
          for (; at != kNone; at = before[at]) {
            const Corner& o = corners[at];
            if (std::memcmp(o.n, c.n, sizeof c.n + sizeof c.p) == 0 &&
                (!compareTex || std::memcmp(o.t, c.t, sizeof c.t) == 0))
              break;
          }
          if (at == kNone) {
            at = static_cast<std::uint32_t>(corners.size());
            corners.push_back(c);
            before.push_back(lastOf[vi]);
            lastOf[vi] = at;
          }
          indices.push_back(at);
          lowest = std::min(lowest, at);
          highest = std::max(highest, at);
        };
        // A face sets its normal and texture coordinate (if any) at its first corner, so whether
        // it inherits them from before the model is one question per face.
        const bool normalBefore = !setsNormal && n == 2;
        const bool texBefore = !setsTexCoord && (n == 2 || f.uvs.empty());
        const auto first = static_cast<GLint>(byIndex ? indices.size() : corners.size());
        if (n > 4) {
          for (std::uint32_t k : split) corner(k);
        } else {
          for (std::size_t k = 0; k < n; ++k) corner(k);
        }
        const auto count = static_cast<GLsizei>(byIndex ? indices.size() : corners.size()) - first;
        Step* last = steps.empty() ? nullptr : &steps.back();
        if (!applied || !last || last->mode != mode || last->normalFromBefore != normalBefore ||
            last->texCoordFromBefore != texBefore) {
          steps.push_back(Step{applied ? -1 : static_cast<std::int32_t>(mi), mode, first, count, lowest, highest,
                               normalBefore, texBefore});
        } else {
          last->count += count;
          last->lowest = std::min(last->lowest, lowest);
          last->highest = std::max(last->highest, highest);
        }
        applied = true;
      }
    }
    sharesCorners = !lastOf.empty();
    std::memcpy(lastNormal, normal, sizeof normal);
    std::memcpy(lastTexCoord, tex, sizeof tex);
    // A model that no longer draws such faces (another document in its place, say) lets go of them.
    if (!anyPolygon) triangles.Clear();
  }
};

PerspectiveRenderer::PerspectiveRenderer() = default;
PerspectiveRenderer::~PerspectiveRenderer() = default;

void PerspectiveRenderer::DeleteBuffers(ModelArrays& a) {
  if (a.buffer) glDeleteBuffers(1, &a.buffer);
  if (a.indexBuffer) glDeleteBuffers(1, &a.indexBuffer);
  a.buffer = a.indexBuffer = 0;
}

void PerspectiveRenderer::Release() {
  for (auto& m : models_) DeleteBuffers(*m);
  models_.clear();
}

void PerspectiveRenderer::DrawFrame(CMeshwright& scene, TextureUploader* uploader, bool sceneMayHaveChanged) {
  DrawFrame(scene, scene.models, uploader, sceneMayHaveChanged);
}

std::uint64_t PerspectiveRenderer::ModelKey(std::size_t i) const {
  return i < models_.size() && models_[i]->built ? models_[i]->key : 0;
}

void PerspectiveRenderer::DrawFrame(CMeshwright& scene, const std::vector<CModel>& sceneModels,
                                    TextureUploader* uploader, bool sceneMayHaveChanged) {
  if (buffers_ < 0) {
    // Buffer objects came with OpenGL 1.5; without them the arrays stay in our memory.
    int major = 0, minor = 0;
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    buffers_ = version && std::sscanf(version, "%d.%d", &major, &minor) == 2 && (major > 1 || minor >= 5) ? 1 : 0;
  }
  BeginPerspectiveFrame(scene, uploader);
  while (models_.size() > sceneModels.size()) {
    DeleteBuffers(*models_.back());
    models_.pop_back();
  }
  while (models_.size() < sceneModels.size()) models_.push_back(std::make_unique<ModelArrays>());
  surfaces_.Truncate(sceneModels.size());
  surfaces_.BeginFrame();
  const std::size_t buildsBefore = builds_;
  for (std::size_t i = 0; i < sceneModels.size(); ++i) {
    const CModel& model = sceneModels[i];
    const CModel* surface =
        model.state == kStateHidden ? nullptr : surfaces_.Surface(model, i, sceneMayHaveChanged);
    if (surface) DrawModel(*surface, 1, scene.materials, *models_[i], sceneMayHaveChanged);
    else DrawModel(model, scene.smoothing, scene.materials, *models_[i], sceneMayHaveChanged);
  }
#ifdef __GLIBC__
  // The arrays just handed to OpenGL were freed into the heap, which glibc keeps (its trimming
  // threshold grows with the blocks freed): at a million faces some hundred megabytes that would
  // sit beside the buffer objects holding the same corners.
  if (builds_ != buildsBefore && buffers_ == 1) malloc_trim(0);
#endif
}

void PerspectiveRenderer::DrawModel(const CModel& model, std::int32_t smoothing,
                                    const std::vector<CMaterial>& materials, ModelArrays& a, bool mayHaveChanged) {
  if (model.state == kStateHidden) return;
  const bool sameStorage = a.built && a.vertexData == model.vertices.data() && a.faceData == model.faces.data() &&
                           a.keptVertices == model.vertices.size() && a.keptFaces == model.faces.size() &&
                           a.keptMaterials == materials.size();
  const std::uint64_t key = mayHaveChanged || !sameStorage ? PerspectiveKey(model, materials) : a.key;
  a.vertexData = model.vertices.data(), a.faceData = model.faces.data();
  a.keptVertices = model.vertices.size(), a.keptFaces = model.faces.size(), a.keptMaterials = materials.size();
  if (!a.built || a.key != key || (a.sharesCorners && a.TexturedChanged(materials))) {
    a.Build(model, materials);
    a.key = key;
    a.built = true;
    ++builds_;
    if (buffers_ != 1) {
      // Shared corners leave part of the room unused; arrays kept in our memory give it back.
      a.corners.shrink_to_fit();
      a.indices.shrink_to_fit();
    }
    if (buffers_ == 1) {
      if (!a.buffer) glGenBuffers(1, &a.buffer);
      glBindBuffer(GL_ARRAY_BUFFER, a.buffer);
      glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(a.corners.size() * sizeof(Corner)), a.corners.data(),
                   GL_STATIC_DRAW);
      glBindBuffer(GL_ARRAY_BUFFER, 0);
      std::vector<Corner>().swap(a.corners);
      if (!a.indices.empty() && !a.indexBuffer) glGenBuffers(1, &a.indexBuffer);
      if (a.indexBuffer) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, a.indexBuffer);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(a.indices.size() * sizeof(std::uint32_t)),
                     a.indices.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
      }
      std::vector<std::uint32_t>().swap(a.indices);
    }
  }
  glShadeModel(smoothing ? GL_SMOOTH : GL_FLAT);
  glEnable(GL_LIGHTING);
  glPolygonMode(GL_FRONT, GL_FILL);
  if (a.steps.empty()) return;
  const DisplayStyle& st = style_;
  const bool wire = st.shading == Shading::kWireframe;
  const bool lines = st.shading != Shading::kShaded;
  if (!lines && st.textured && !st.backFaces) {
    DrawSteps(a, materials, true);
  } else {
    if (!wire || st.hiddenLines) {
      // Faces push their depth back a little, so the lines over them win the depth test.
      if (lines) {
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(1.0f, 1.0f);
      }
      if (wire) glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
      if (st.backFaces || wire) {
        glDisable(GL_CULL_FACE);
        glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
      }
      DrawSteps(a, materials, !wire);
      glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
      glDisable(GL_POLYGON_OFFSET_FILL);
      glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
      glEnable(GL_CULL_FACE);
    }
    if (lines) {
      float c[3];
      ColorToFloats(kWireColour, c);
      glDisable(GL_LIGHTING);
      glDisable(GL_TEXTURE_2D);
      glDisable(GL_CULL_FACE);
      glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
      glDepthFunc(GL_LEQUAL);
      glColor3f(c[0], c[1], c[2]);
      DrawSteps(a, materials, false);
      glDepthFunc(GL_LESS);
      glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
      glEnable(GL_CULL_FACE);
      glEnable(GL_LIGHTING);
    }
  }
  if (a.setsNormal) std::memcpy(normal_, a.lastNormal, sizeof normal_);
  if (a.setsTexCoord) std::memcpy(texCoord_, a.lastTexCoord, sizeof texCoord_);
  // The arrays left the current values undefined; make them what the immediate path leaves.
  glNormal3fv(normal_);
  glTexCoord2fv(texCoord_);
}

void PerspectiveRenderer::DrawSteps(const ModelArrays& a, const std::vector<CMaterial>& materials,
                                    bool applyMaterials) {
  const char* base = nullptr;
  const char* indexBase = nullptr;
  if (buffers_ == 1) {
    glBindBuffer(GL_ARRAY_BUFFER, a.buffer);
    if (a.indexBuffer) glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, a.indexBuffer);
  } else {
    base = reinterpret_cast<const char*>(a.corners.data());
    indexBase = reinterpret_cast<const char*>(a.indices.data());
  }
  glTexCoordPointer(2, GL_FLOAT, sizeof(Corner), base + offsetof(Corner, t));
  glNormalPointer(GL_FLOAT, sizeof(Corner), base + offsetof(Corner, n));
  glVertexPointer(3, GL_FLOAT, sizeof(Corner), base + offsetof(Corner, p));
  glEnableClientState(GL_VERTEX_ARRAY);
  bool normals = false, texCoords = false;
  for (const ModelArrays::Step& s : a.steps) {
    if (applyMaterials && s.material >= 0) {
      ApplyMaterial(materials[static_cast<std::size_t>(s.material)]);
      if (!style_.textured) glDisable(GL_TEXTURE_2D);
    }
    // Corners that inherit take what the model found current, as the immediate path's would.
    if (s.normalFromBefore) {
      if (normals) glDisableClientState(GL_NORMAL_ARRAY);
      normals = false;
      glNormal3fv(normal_);
    } else if (!normals) {
      glEnableClientState(GL_NORMAL_ARRAY);
      normals = true;
    }
    if (s.texCoordFromBefore) {
      if (texCoords) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      texCoords = false;
      glTexCoord2fv(texCoord_);
    } else if (!texCoords) {
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      texCoords = true;
    }
    if (s.mode == GL_TRIANGLES) {
      glDrawRangeElements(s.mode, s.lowest, s.highest, s.count, GL_UNSIGNED_INT,
                          indexBase + static_cast<std::size_t>(s.first) * sizeof(std::uint32_t));
    } else {
      glDrawArrays(s.mode, s.first, s.count);
    }
  }
  if (normals) glDisableClientState(GL_NORMAL_ARRAY);
  if (texCoords) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  if (buffers_ == 1) {
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    if (a.indexBuffer) glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  }
}

}  // namespace mw
