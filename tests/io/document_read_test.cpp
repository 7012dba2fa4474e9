// Opening in steps (prepare, read on a worker thread, apply): the scene that results is the one a
// plain open gives, the read reports its progress, and a cancelled or failed read leaves the scene
// exactly as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <thread>

#include "io/document_io.h"
#include "io/loader_mqo.h"
#include "scene/archive.h"
#include "scene/texture_service.h"
#include "tests/support/scene_samples.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

// Everything the archive holds, plus the settings it does not, as one comparable value.
std::string Snapshot(const CMeshwright& s) {
  std::vector<std::uint8_t> bytes;
  WriteScene(s, bytes);
  char extra[256];
  std::snprintf(extra, sizeof extra, "|%g %g %g %g %u %g %d %d %d", s.fieldOfView, s.viewportWidth, s.viewportHeight,
                s.zoom, s.backgroundColor, s.zoom, s.editMode, s.currentModel, s.currentMaterial);
  std::string out(bytes.begin(), bytes.end());
  out += extra;
  for (const CMaterial& m : s.materials) out += "|" + std::to_string(m.textureObject) + m.textureFile;
  return out;
}

// A scene that is not a new document: two models, two materials, odd settings.
CMeshwright Busy() {
  CMeshwright s;
  s.ResetScene();
  s.models[0].vertices.emplace_back(1.0f, 2.0f, 3.0f);
  s.models.emplace_back();
  s.models[1].name = "second";
  s.AddMaterial();
  s.AddMaterial();
  s.materials[1].name = "wood";
  s.zoom = 37.0f;
  s.editMode = kModeMove;
  s.currentModel = 1;
  s.currentMaterial = 1;
  s.smoothing = 0;
  s.nextMaterialId = 5;
  return s;
}

// A grid of side x side vertices and textured quadrilaterals in one model, with a textured material.
CMeshwright Grid(int side) {
  CMeshwright s;
  s.ResetScene();
  s.AddMaterial();
  s.materials[0].texture = "grid.png";
  test::FillGrid(s.models[0], side, 0.37f, -1.3f);
  return s;
}

// Textures as the window's service sees them: which names were loaded, on which thread.
class RecordingTextures : public TextureService {
 public:
  void Load(CMaterial& m) override {
    std::lock_guard<std::mutex> lock(mutex);
    loads.push_back(m.texture);
    threads.push_back(std::this_thread::get_id());
    m.textureObject = 7;
  }
  void Release(CMaterial& m) override { m.textureObject = 0; }
  std::mutex mutex;
  std::vector<std::string> loads;
  std::vector<std::thread::id> threads;
};

struct Files {
  test::TempDir dir;
  std::string mwr, mqo, emptyMwr;
  Files() {
    const CMeshwright grid = Grid(150);  // about 1.6 MB as .mwr, 45,000 lines as .mqo
    mwr = (dir / "grid.mwr").string();
    mqo = (dir / "grid.mqo").string();
    emptyMwr = (dir / "empty.mwr").string();
    EXPECT_TRUE(SaveSceneFile(grid, mwr).ok());
    EXPECT_TRUE(ExportMetasequoia(grid, mqo));
    test::WriteBytes(emptyMwr, {});
  }
};

DocumentRead ReadOnWorker(const CMeshwright& scene, const std::string& path, ReadProgress* progress) {
  DocumentRead read = PrepareDocumentRead(scene, path);
  std::thread worker([&] { RunDocumentRead(read, progress); });
  worker.join();
  return read;
}

TEST(DocumentRead, AReadOnAWorkerGivesWhatOpeningGives) {
  Files files;
  RecordingTextures textures;
  TextureService* previous = SetTextureService(&textures);
  std::vector<std::string> paths = {files.mwr, files.mqo, files.emptyMwr};
  if (std::filesystem::is_directory(MW_TESTDATA_DIR)) {
    paths.push_back(test::TestData("mqo/gvc_am_kobra.mqo").string());
    paths.push_back(test::TestData("mqo/vastspace_ReZEL.mqo").string());
    paths.push_back(test::TestData("obj/tinyobj_catmark_torus_creases0.obj").string());
  }
  for (const std::string& path : paths) {
    CMeshwright opened = Busy();
    ASSERT_TRUE(OpenDocumentFile(opened, path).ok()) << path;
    const std::size_t plainLoads = textures.loads.size();

    CMeshwright stepped = Busy();
    ReadProgress progress;
    DocumentRead read = ReadOnWorker(stepped, path, &progress);
    ASSERT_TRUE(read.result.ok()) << path;
    EXPECT_EQ(textures.loads.size(), plainLoads) << path << ": no texture loads on the worker";
    EXPECT_EQ(Snapshot(stepped), Snapshot(Busy())) << path << ": the scene is untouched until applied";
    ASSERT_TRUE(ApplyDocumentRead(stepped, read)) << path;
    EXPECT_EQ(Snapshot(stepped), Snapshot(opened)) << path;
    for (std::thread::id id : textures.threads) EXPECT_EQ(id, std::this_thread::get_id()) << path;
    textures.loads.clear();
    textures.threads.clear();
  }
  SetTextureService(previous);
}

TEST(DocumentRead, TheSameTexturesLoadAsWhenOpening) {
  Files files;
  RecordingTextures textures;
  TextureService* previous = SetTextureService(&textures);
  for (const std::string& path : {files.mwr, files.mqo}) {
    CMeshwright opened = Busy();
    ASSERT_TRUE(OpenDocumentFile(opened, path).ok());
    const std::vector<std::string> plain = textures.loads;
    textures.loads.clear();
    CMeshwright stepped = Busy();
    DocumentRead read = ReadOnWorker(stepped, path, nullptr);
    EXPECT_TRUE(textures.loads.empty());
    ASSERT_TRUE(ApplyDocumentRead(stepped, read));
    EXPECT_EQ(textures.loads, plain) << path;
    EXPECT_FALSE(plain.empty()) << path;
    textures.loads.clear();
  }
  SetTextureService(previous);
}

TEST(DocumentRead, ProgressCountsTheFilesBytes) {
  Files files;
  for (const std::string& path : {files.mwr, files.mqo}) {
    CMeshwright s = Busy();
    ReadProgress progress;
    DocumentRead read = ReadOnWorker(s, path, &progress);
    ASSERT_TRUE(read.result.ok());
    const auto size = static_cast<std::uint64_t>(std::filesystem::file_size(path));
    EXPECT_EQ(progress.total(), size) << path;
    EXPECT_GT(progress.done(), size / 2) << path;  // the text reader reports every few thousand lines
    EXPECT_LE(progress.done(), size) << path;
  }
  // A thread without a progress reads as before.
  CMeshwright s = Busy();
  DocumentRead read = ReadOnWorker(s, files.mwr, nullptr);
  EXPECT_TRUE(read.result.ok());
}

// Cancelled before it starts (stops at the first report), and cancelled after the reader finished
// (the user's click came last): either way nothing is taken over.
TEST(DocumentRead, ACancelledReadChangesNothing) {
  Files files;
  RecordingTextures textures;
  TextureService* previous = SetTextureService(&textures);
  for (const std::string& path : {files.mwr, files.mqo}) {
    CMeshwright s = Busy();
    const std::string before = Snapshot(s);
    ReadProgress progress;
    progress.Cancel();
    DocumentRead read = ReadOnWorker(s, path, &progress);
    EXPECT_EQ(read.result.error, DocumentError::kCancelled) << path;
    EXPECT_LT(progress.done(), progress.total()) << path << ": stopped early";
    EXPECT_FALSE(ApplyDocumentRead(s, read));
    EXPECT_EQ(Snapshot(s), before) << path;

  }
  // A small document never reports before it ends: the click is seen when the reader is done.
  const std::string small = (files.dir / "small.mqo").string();
  ASSERT_TRUE(ExportMetasequoia(Busy(), small));
  CMeshwright s = Busy();
  const std::string before = Snapshot(s);
  ReadProgress progress;
  progress.Cancel();
  DocumentRead read = ReadOnWorker(s, small, &progress);
  EXPECT_EQ(read.result.error, DocumentError::kCancelled);
  EXPECT_FALSE(ApplyDocumentRead(s, read));
  EXPECT_EQ(Snapshot(s), before);
  EXPECT_TRUE(textures.loads.empty());
  SetTextureService(previous);
}

// A plain open of a text document keeps what it read before the error; a read in steps does not:
// the document stays as it was.
TEST(DocumentRead, AFailedReadChangesNothing) {
  Files files;
  const auto mwr = test::ReadBytes(files.mwr);
  const auto mqo = test::ReadBytes(files.mqo);
  const std::string cutMwr = (files.dir / "cut.mwr").string(), cutMqo = (files.dir / "cut.mqo").string();
  test::WriteBytes(cutMwr, std::vector<std::uint8_t>(mwr.begin(), mwr.begin() + static_cast<long>(mwr.size() / 2)));
  test::WriteBytes(cutMqo, std::vector<std::uint8_t>(mqo.begin(), mqo.begin() + static_cast<long>(mqo.size() / 2)));
  const std::string missing = (files.dir / "missing.mwr").string();
  const std::string unknown = (files.dir / "grid.xyz").string();
  for (const std::string& path : {cutMwr, cutMqo, missing, unknown, files.dir.path().string() + "/"}) {
    CMeshwright s = Busy();
    const std::string before = Snapshot(s);
    DocumentRead read = ReadOnWorker(s, path, nullptr);
    EXPECT_FALSE(read.result.ok()) << path;
    EXPECT_FALSE(ApplyDocumentRead(s, read)) << path;
    EXPECT_EQ(Snapshot(s), before) << path;
  }
  CMeshwright s = Busy();
  const DocumentError cut = ReadOnWorker(s, cutMqo, nullptr).result.error;  // cut inside a line, or after one
  EXPECT_TRUE(cut == DocumentError::kSyntaxError || cut == DocumentError::kTruncated) << DocumentErrorName(cut);
  EXPECT_EQ(ReadOnWorker(s, cutMwr, nullptr).result.error, DocumentError::kUnexpectedFormat);
  EXPECT_EQ(ReadOnWorker(s, missing, nullptr).result.error, DocumentError::kCannotOpen);
  EXPECT_EQ(ReadOnWorker(s, unknown, nullptr).result.error, DocumentError::kUnsupportedExtension);
  EXPECT_EQ(ReadOnWorker(s, cutMwr, nullptr).result.formatName, "Meshwright");
}

TEST(DocumentRead, CancellingHasItsOwnMessage) {
  EXPECT_EQ(DocumentErrorText(DocumentFailure(DocumentError::kCancelled)), "読み込みを中止しました。");
  EXPECT_STREQ(DocumentErrorName(DocumentError::kCancelled), "Cancelled");
}

}  // namespace
}  // namespace mw
