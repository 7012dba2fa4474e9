// How the scene reaches texture loading without depending on images or OpenGL.
//
// The image layer decodes, the render layer uploads; the application installs a service that
// does both, tools install one that only decodes, and tests install recorders. With no service
// installed, loading and releasing do nothing.
#pragma once

#include <string>

namespace mw {

class CMaterial;

class TextureService {
 public:
  virtual ~TextureService() = default;
  virtual void Load(CMaterial& material) = 0;
  virtual void Release(CMaterial& material) = 0;

  // The document whose folder texture names are looked up in first (a UTF-8 path; empty: none).
  virtual void SetDocumentPath(const std::string& path) { (void)path; }
  virtual std::string DocumentPath() const { return std::string(); }
  // Between the two, loads that fail are gathered and reported in one message at EndBatch, so a
  // document with many missing textures says so once.
  virtual void BeginBatch() {}
  virtual void EndBatch() {}
  // The file a texture name stands for now (UTF-8), and the folder textures are picked from;
  // empty when the service reads no files.
  virtual std::string PathOf(const std::string& cp932Name) const {
    (void)cp932Name;
    return std::string();
  }
  virtual std::string Folder() const { return std::string(); }
  // A folder the user brought textures from by their own act (pasting from another document), read
  // from as well as the document's and the texture folder until the program ends. Files a
  // document names never add one.
  virtual void AllowFolder(const std::string& folder) { (void)folder; }
};

// Installs `service` (not owned; may be null) and returns the previous one.
TextureService* SetTextureService(TextureService* service);
TextureService* GetTextureService();

// For the length of the scope, this thread sees `service` (not owned; null: none) instead of the
// installed one; other threads are unaffected. A read on a worker thread leaves textures to the
// thread that owns the GL context this way, and loads them there after taking the scene over.
class ThreadTextureServiceScope {
 public:
  explicit ThreadTextureServiceScope(TextureService* service);
  ~ThreadTextureServiceScope();
  ThreadTextureServiceScope(const ThreadTextureServiceScope&) = delete;
  ThreadTextureServiceScope& operator=(const ThreadTextureServiceScope&) = delete;

 private:
  TextureService* previous_;
  bool hadOverride_;
};

// Makes `path` the document of the installed service, if any.
inline void SetTextureDocument(const std::string& path) {
  if (TextureService* s = GetTextureService()) s->SetDocumentPath(path);
}

// For the length of one document load: names are looked up beside `documentPath` and the
// textures that fail are reported together when the scope ends. The service's document is then
// what it was before (the caller decides whether the file it read becomes the document).
class DocumentTextureScope {
 public:
  explicit DocumentTextureScope(const std::string& documentPath) : service_(GetTextureService()) {
    if (!service_) return;
    previous_ = service_->DocumentPath();
    service_->SetDocumentPath(documentPath);
    service_->BeginBatch();
  }
  ~DocumentTextureScope() {
    if (!service_) return;
    service_->EndBatch();
    service_->SetDocumentPath(previous_);
  }
  DocumentTextureScope(const DocumentTextureScope&) = delete;
  DocumentTextureScope& operator=(const DocumentTextureScope&) = delete;

 private:
  TextureService* service_;
  std::string previous_;
};

}  // namespace mw
