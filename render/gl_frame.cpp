#include "render/gl_frame.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "scene/frame_view.h"

namespace mw {

void SetTextureParameters() {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
}

void SetupGlState() {
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  glEnable(GL_NORMALIZE);
  glEnable(GL_LIGHT0);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  SetTextureParameters();
}

void SetClearColor(const CMeshwright& scene) {
  float c[3];
  ColorToFloats(scene.backgroundColor, c);
  glClearColor(c[0], c[1], c[2], 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void SetViewport(CMeshwright& scene, int width, int height, int framebufferWidth, int framebufferHeight) {
  scene.viewportWidth = static_cast<float>(width);
  scene.viewportHeight = static_cast<float>(height);
  if (height > 0) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double aspect = static_cast<double>(width) / height;
    if (scene.parallelCamera) {
      const double h = ParallelHalfHeight(scene);
      glOrtho(-h * aspect, h * aspect, -h, h, 100.0, 10000.0);
    } else {
      gluPerspective(scene.fieldOfView, aspect, 100.0, 10000.0);
    }
  }
  glViewport(0, 0, framebufferWidth, framebufferHeight);
}

void SetLights(const GlLight& light) {
  const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
  glLightfv(GL_LIGHT0, GL_POSITION, light.position);
  glLightfv(GL_LIGHT0, GL_AMBIENT, light.ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightfv(GL_LIGHT0, GL_SPECULAR, white);
}

void ApplyMaterial(const CMaterial& m) {
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m.diffuseRGBA);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m.ambientRGBA);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m.specularRGBA);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, m.emissionRGBA);
  // OpenGL refuses a shininess above 128 and would then keep the previous material's.
  const float shininess = m.power < 0.0f ? 0.0f : (m.power > 128.0f ? 128.0f : m.power);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
  if (m.texture.empty() || m.textureObject == 0) {
    glDisable(GL_TEXTURE_2D);
  } else {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, m.textureObject);
  }
}

namespace {

// One corner of a triangle or quadrilateral: texture coordinate when the face has one for it,
// the vertex normal negated, the position.
void Corner(const CModel& model, const CFace& f, std::size_t k) {
  const CVertex& v = model.vertices[static_cast<std::size_t>(f.indices[k])];
  if (f.uvs.size() > k) glTexCoord2f(f.uvs[k].u, -f.uvs[k].v);
  glNormal3f(-v.normal.x, -v.normal.y, -v.normal.z);
  glVertex3f(v.position.x, v.position.y, v.position.z);
}

}  // namespace

void DrawModelGl(const CModel& model, std::int32_t smoothing, const std::vector<CMaterial>& materials,
                 PolygonTriangleCache* triangles) {
  if (model.state == kStateHidden) return;
  PolygonTriangleCache local;
  PolygonTriangleCache& cache = triangles ? *triangles : local;
  glShadeModel(smoothing ? GL_SMOOTH : GL_FLAT);
  glEnable(GL_LIGHTING);
  glPolygonMode(GL_FRONT, GL_FILL);
  const std::size_t vertexCount = model.vertices.size();
  const std::size_t faceCount = model.faces.size();
  bool anyPolygon = false;
  for (const CMaterial& material : materials) {
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
        split = cache.Triangles(model, fi);
        if (split.empty()) continue;
      }
      if (!applied) {
        ApplyMaterial(material);
        applied = true;
      }
      if (n == 2) {
        glBegin(GL_LINES);
        for (std::size_t k = 0; k < 2; ++k) {
          const CVector& p = model.vertices[static_cast<std::size_t>(f.indices[k])].position;
          glVertex3f(p.x, p.y, p.z);
        }
        glEnd();
        continue;
      }
      if (n > 4) {
        glBegin(GL_TRIANGLES);
        for (std::uint32_t k : split) Corner(model, f, k);
        glEnd();
        continue;
      }
      glBegin(n == 3 ? GL_TRIANGLES : GL_QUADS);
      for (std::size_t k = 0; k < n; ++k) Corner(model, f, k);
      glEnd();
    }
  }
  // A model that no longer draws such faces (another document in its place, say) lets go of them.
  if (!anyPolygon) cache.Clear();
}

void BeginPerspectiveFrame(CMeshwright& scene, TextureUploader* uploader) {
  // Textures decoded before there was a context to upload them to.
  if (uploader) {
    for (CMaterial& m : scene.materials)
      if (m.textureObject == 0 && TextureLoaded(m))
        m.textureObject = UploadTexture(*m.textureImage, m.textureComponents, m.texturePixelFormat);
  }
  SetClearColor(scene);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  SetLights();
  const CAnimation& cam = scene.camera;
  glTranslatef(cam.translation.x, cam.translation.y, cam.translation.z);
  glRotatef(cam.rotation.x, 1.0f, 0.0f, 0.0f);
  glRotatef(cam.rotation.y, 0.0f, 1.0f, 0.0f);
  glRotatef(cam.rotation.z, 0.0f, 0.0f, 1.0f);
  const float s = scene.zoom / 100.0f;
  glScalef(s, s, s);
}

void DrawPerspectiveFrame(CMeshwright& scene, TextureUploader* uploader, std::vector<PolygonTriangleCache>* caches) {
  BeginPerspectiveFrame(scene, uploader);
  if (caches) caches->resize(scene.models.size());
  for (std::size_t i = 0; i < scene.models.size(); ++i)
    DrawModelGl(scene.models[i], scene.smoothing, scene.materials, caches ? &(*caches)[i] : nullptr);
}

std::uint32_t UploadTexture(const DibStream& image, std::int32_t components, std::uint32_t format) {
  if (image.IsEmpty()) return 0;
  // The rows are padded to four bytes; telling OpenGL so keeps widths that are not a multiple of
  // four from skewing.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  SetTextureParameters();
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glTexImage2D(GL_TEXTURE_2D, 0, components, image.Width(), image.Height(), 0, format, GL_UNSIGNED_BYTE,
               image.Pixels());
  glEnable(GL_TEXTURE_2D);
  return name;
}

std::uint32_t GlTextureUploader::Upload(const DibStream& image, std::int32_t components, std::uint32_t format) {
  if (!makeCurrent_ || !makeCurrent_(owner_)) return 0;
  return UploadTexture(image, components, format);
}

void GlTextureUploader::Delete(std::uint32_t textureObject) {
  if (!makeCurrent_ || !makeCurrent_(owner_)) return;
  const GLuint name = textureObject;
  glDeleteTextures(1, &name);
}

}  // namespace mw
