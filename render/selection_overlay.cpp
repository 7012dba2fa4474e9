#include "render/selection_overlay.h"

#include <GL/gl.h>

namespace mw {
namespace {

void Push(std::vector<float>& out, const CVector& p) {
  out.push_back(p.x);
  out.push_back(p.y);
  out.push_back(p.z);
}

}  // namespace

void SelectionOverlay::Build(const CMeshwright& scene) {
  triangles_.clear();
  lines_.clear();
  seams_.clear();
  for (const CModel& m : scene.models) {
    if (m.state == kStateHidden) continue;
    for (const std::uint64_t key : m.seamEdges) {
      const auto a = static_cast<std::int32_t>(key >> 32), b = static_cast<std::int32_t>(key & 0xffffffffu);
      if (!m.HasVertex(a) || !m.HasVertex(b)) continue;
      const CVertex &va = m.vertices[static_cast<std::size_t>(a)], &vb = m.vertices[static_cast<std::size_t>(b)];
      if (va.hidden || vb.hidden) continue;
      Push(seams_, va.position);
      Push(seams_, vb.position);
    }
  }
  if (scene.selectMode != 1 && scene.selectMode != 2) return;
  for (const CModel& m : scene.models) {
    if (m.state == kStateHidden) continue;
    const auto vertex = [&m](std::int32_t i) -> const CVector& { return m.vertices[static_cast<std::size_t>(i)].position; };
    if (scene.selectMode == 1) {
      for (const std::uint64_t key : m.selectedEdges) {
        const auto a = static_cast<std::int32_t>(key >> 32), b = static_cast<std::int32_t>(key & 0xffffffffu);
        if (!m.HasVertex(a) || !m.HasVertex(b)) continue;
        Push(lines_, vertex(a));
        Push(lines_, vertex(b));
      }
      continue;
    }
    for (const CFace& f : m.faces) {
      if (!f.selected || f.hidden) continue;
      const std::size_t n = f.indices.size();
      bool valid = n >= 2;
      for (std::int32_t i : f.indices) valid = valid && m.HasVertex(i);
      if (!valid) continue;
      for (std::size_t k = 0; k < n; ++k) {
        Push(lines_, vertex(f.indices[k]));
        Push(lines_, vertex(f.indices[(k + 1) % n]));
      }
      // A fan: exact for the convex faces the program builds, near enough as a tint for the rest.
      for (std::size_t k = 1; k + 1 < n; ++k) {
        Push(triangles_, vertex(f.indices[0]));
        Push(triangles_, vertex(f.indices[k]));
        Push(triangles_, vertex(f.indices[k + 1]));
      }
    }
  }
}

void SelectionOverlay::Draw() const {
  if (Empty()) return;
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT | GL_LINE_BIT |
               GL_COLOR_BUFFER_BIT);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_FALSE);
  glEnableClientState(GL_VERTEX_ARRAY);
  if (!triangles_.empty()) {
    // Pulled toward the eye so the tint wins the depth test against its own face.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1.0f, -1.0f);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColor4f(1.0f, 0.0f, 0.0f, 0.35f);
    glVertexPointer(3, GL_FLOAT, 0, triangles_.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(triangles_.size() / 3));
    glDisable(GL_POLYGON_OFFSET_FILL);
  }
  if (!seams_.empty()) {
    glLineWidth(3.0f);
    glColor4f(1.0f, 0.55f, 0.0f, 1.0f);
    glVertexPointer(3, GL_FLOAT, 0, seams_.data());
    glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(seams_.size() / 3));
  }
  if (!lines_.empty()) {
    glLineWidth(2.0f);
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    glVertexPointer(3, GL_FLOAT, 0, lines_.data());
    glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(lines_.size() / 3));
  }
  glDisableClientState(GL_VERTEX_ARRAY);
  glPopAttrib();
}

}  // namespace mw
