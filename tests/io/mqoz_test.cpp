// Compressed Metasequoia documents: archives made here with libzip, as other programs make them.
#include <gtest/gtest.h>
#include <zip.h>

#include <cstdlib>
#include <filesystem>

#include "io/document_io.h"
#include "io/loader_mqoz.h"
#include "scene/texture_service.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

namespace fs = std::filesystem;

const std::string kDocument =
    "Metasequoia Document\r\nFormat Text Ver 1.1\r\nMaterial 1 {\r\n\t\"wood\" col(1 1 1 1) "
    "tex(\"tex\\wood.bmp\")\r\n}\r\n"
    "Object \"box\" {\r\n\tvertex 5 {\r\n\t\t0 0 0\r\n\t\t1 0 0\r\n\t\t1 1 0\r\n\t\t0.5 1.5 0\r\n\t\t0 1 0\r\n\t}\r\n"
    "\tface 1 {\r\n\t\t5 V(0 1 2 3 4) M(0)\r\n\t}\r\n}\r\nEof\r\n";

// Writes an archive of (name, contents) entries; a name ending in '/' is a folder.
void MakeZip(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& entries,
             bool deflated = false) {
  int error = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(z, nullptr);
  for (const auto& [name, data] : entries) {
    if (!name.empty() && name.back() == '/') {
      ASSERT_GE(zip_dir_add(z, name.c_str(), ZIP_FL_ENC_RAW), 0);
      continue;
    }
    zip_source_t* src = zip_source_buffer(z, data.data(), data.size(), 0);
    ASSERT_NE(src, nullptr);
    const zip_int64_t index = zip_file_add(z, name.c_str(), src, ZIP_FL_ENC_RAW);
    ASSERT_GE(index, 0);
    // Stored, not compressed, so that a test can change a byte of the contents.
    ASSERT_EQ(zip_set_file_compression(z, static_cast<zip_uint64_t>(index), deflated ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                                       deflated ? 9 : 0),
              0);
  }
  ASSERT_EQ(zip_close(z), 0);
}

// Records, for each texture loaded, whether a file of that name was present in a folder the
// import extracted under the temporary folder.
struct Recorder : TextureService {
  fs::path temp;
  std::vector<std::string> names;
  std::vector<bool> present;
  std::string document;
  std::vector<std::string> documentsAtLoad;
  void SetDocumentPath(const std::string& path) override { document = path; }
  std::string DocumentPath() const override { return document; }
  void Load(CMaterial& m) override {
    names.push_back(m.texture);
    documentsAtLoad.push_back(document);
    bool found = false;
    for (const auto& e : fs::recursive_directory_iterator(temp)) {
      const std::string p = e.path().generic_string();
      found = found || (p.size() >= 13 && p.compare(p.size() - 13, 13, "/tex/wood.bmp") == 0);
    }
    present.push_back(found);
  }
  void Release(CMaterial&) override {}
};

class Mqoz : public ::testing::Test {
 protected:
  void SetUp() override {
    // The import's temporary folders go to a folder of this test, to see that they are removed.
    oldTmp_ = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    fs::create_directory(dir_ / "tmp");
    setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
    recorder_.temp = dir_ / "tmp";
    old_ = SetTextureService(&recorder_);
  }
  void TearDown() override {
    SetTextureService(old_);
    if (oldTmp_.empty()) unsetenv("TMPDIR");
    else setenv("TMPDIR", oldTmp_.c_str(), 1);
  }
  bool TempIsEmpty() const { return fs::is_empty(dir_ / "tmp"); }
  MqoReadInfo Open(const std::vector<std::pair<std::string, std::string>>& entries, CMeshwright& s,
                   const MqozLimits& limits = MqozLimits()) {
    MakeZip(dir_ / "a.mqoz", entries);
    MqoReadInfo info;
    ImportCompressedMetasequoia(s, (dir_ / "a.mqoz").string(), &info, limits);
    return info;
  }

  test::TempDir dir_;
  Recorder recorder_;
  TextureService* old_ = nullptr;
  std::string oldTmp_;
};

CMeshwright Empty() {
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  return s;
}

TEST_F(Mqoz, DocumentAndTextureInsideTheArchive) {
  CMeshwright s = Empty();
  MqoReadInfo info = Open({{"readme.txt", "hello"},
                           {"doc/", ""},
                           {"doc/box.MQO", kDocument},
                           {"doc/tex/wood.bmp", std::string("BM\0\0", 4)}},
                          s);
  ASSERT_EQ(info.code, kMqoOk) << MqoErrorName(info.code);
  EXPECT_EQ(info.version, 11);
  ASSERT_EQ(s.models.size(), 1u);
  EXPECT_EQ(s.models[0].name, "box");
  EXPECT_EQ(s.models[0].faces.at(0).CornerCount(), 5u);
  ASSERT_EQ(recorder_.names, std::vector<std::string>{"tex\\wood.bmp"});
  EXPECT_TRUE(recorder_.present.at(0)) << "the texture was extracted before the document was read";
  // Names are looked up beside the extracted document, and the service's document is then restored.
  const std::string atLoad = fs::path(recorder_.documentsAtLoad.at(0)).generic_string();
  EXPECT_EQ(atLoad.compare(0, (dir_ / "tmp").generic_string().size(), (dir_ / "tmp").generic_string()), 0) << atLoad;
  EXPECT_TRUE(atLoad.ends_with("/doc/box.MQO")) << atLoad;
  EXPECT_EQ(recorder_.document, "");
  EXPECT_TRUE(TempIsEmpty()) << "the extracted files are removed afterwards";
}

TEST_F(Mqoz, OpensThroughTheTableOfFormats) {
  MakeZip(dir_ / "b.mqoz", {{"box.mqo", kDocument}, {"tex/wood.bmp", "BM"}});
  CMeshwright s = Empty();
  const DocumentResult r = OpenDocumentFile(s, (dir_ / "b.mqoz").string());
  EXPECT_TRUE(r.ok()) << DocumentErrorName(r.error);
  EXPECT_EQ(r.version, "1.1");
  EXPECT_EQ(s.models.size(), 1u);
  // Appends, as a plain document does.
  EXPECT_TRUE(OpenDocumentFile(s, (dir_ / "b.mqoz").string()).ok());
  EXPECT_EQ(s.models.size(), 2u);
  // Opening only.
  EXPECT_EQ(SaveDocumentFile(s, (dir_ / "c.mqoz").string()).error, DocumentError::kUnsupportedExtension);
  EXPECT_FALSE(fs::exists(dir_ / "c.mqoz"));
  MakeZip(dir_ / "big.mqoz", {{"box.mqo", kDocument}});
  EXPECT_TRUE(TempIsEmpty());
}

TEST_F(Mqoz, EntriesLeavingTheFolderAreNotExtracted) {
  CMeshwright s = Empty();
  MqoReadInfo info = Open({{"../escaped.txt", "x"},
                           {"/abs.txt", "x"},
                           {"a/../../up.txt", "x"},
                           {"C:\\win.txt", "x"},
                           {"box.mqo", kDocument}},
                          s);
  EXPECT_EQ(info.code, kMqoOk);
  EXPECT_EQ(s.models.size(), 1u);
  EXPECT_FALSE(fs::exists(dir_ / "escaped.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "up.txt"));
  EXPECT_FALSE(fs::exists("/abs.txt"));
  EXPECT_TRUE(TempIsEmpty());
}

TEST_F(Mqoz, RefusalsLeaveTheSceneAlone) {
  {
    CMeshwright s = Empty();
    EXPECT_EQ(Open({{"readme.txt", "no document"}}, s).code, kMqoNotMetasequoia);
    EXPECT_TRUE(s.models.empty());
    EXPECT_TRUE(s.materials.empty());
  }
  {
    // Too many entries, too many bytes: refused before anything is written.
    CMeshwright s = Empty();
    EXPECT_EQ(Open({{"box.mqo", kDocument}, {"b", "1"}, {"c", "2"}}, s, MqozLimits{2, 1u << 20}).code,
              kMqoArchiveTooLarge);
    EXPECT_EQ(Open({{"box.mqo", kDocument}, {"big", std::string(5000, 'z')}}, s, MqozLimits{10, 5000}).code,
              kMqoArchiveTooLarge);
    EXPECT_EQ(
        Open({{"box.mqo", kDocument}, {"big", std::string(5000, 'z')}}, s, MqozLimits{10, 5000 + kDocument.size()})
            .code,
        kMqoOk);
    EXPECT_EQ(s.models.size(), 1u);
  }
  CMeshwright s = Empty();
  // Not an archive at all, an empty file, a missing file.
  test::WriteBytes(dir_ / "plain.mqoz", std::vector<std::uint8_t>(kDocument.begin(), kDocument.end()));
  MqoReadInfo info;
  EXPECT_FALSE(ImportCompressedMetasequoia(s, (dir_ / "plain.mqoz").string(), &info));
  EXPECT_EQ(info.code, kMqoNotMetasequoia);
  test::WriteBytes(dir_ / "empty.mqoz", {});
  EXPECT_FALSE(ImportCompressedMetasequoia(s, (dir_ / "empty.mqoz").string(), &info));
  EXPECT_EQ(info.code, kMqoNotMetasequoia);
  EXPECT_FALSE(ImportCompressedMetasequoia(s, (dir_ / "missing.mqoz").string(), &info));
  EXPECT_EQ(info.code, kMqoCannotOpen);
  EXPECT_TRUE(s.models.empty());
  EXPECT_TRUE(TempIsEmpty());
}

// What an archive may hold is bounded by its own size: the extracted bytes beyond the allowance
// may be at most `ratio` times the archive's; one byte more is refused, with a reason.
TEST_F(Mqoz, ArchivesThatExpandBeyondTheRatioAreRefused) {
  const std::string padding(2'000'000, 'z');
  MakeZip(dir_ / "a.mqoz", {{"box.mqo", kDocument}, {"pad.txt", padding}}, true);
  const std::uint64_t archive = fs::file_size(dir_ / "a.mqoz");
  const std::uint64_t total = kDocument.size() + padding.size();
  ASSERT_GT(total - kMqozRatioAllowance, kMqozMaxRatio * archive) << "2 MB of one letter must deflate beyond 100x";
  auto open = [&](std::uint64_t ratio) {
    CMeshwright s = Empty();
    MqoReadInfo info;
    ImportCompressedMetasequoia(s, (dir_ / "a.mqoz").string(), &info, MqozLimits{kMqozMaxEntries, kMqozMaxBytes, ratio});
    EXPECT_EQ(s.models.size(), info.code == kMqoOk ? 1u : 0u);
    return info;
  };
  // The default refuses it and says why.
  const MqoReadInfo refused = open(kMqozMaxRatio);
  EXPECT_EQ(refused.code, kMqoArchiveTooLarge);
  EXPECT_NE(refused.detail.find("100"), std::string::npos) << refused.detail;
  // At the ratio it has exactly, it is read; just below, refused.
  const std::uint64_t exact = (total - kMqozRatioAllowance + archive - 1) / archive;
  EXPECT_EQ(open(exact).code, kMqoOk);
  EXPECT_EQ(open(exact - 1).code, kMqoArchiveTooLarge);
  EXPECT_TRUE(TempIsEmpty());
}

TEST_F(Mqoz, DamagedContentsAndEveryPrefix) {
  // A stored (uncompressed) document with one byte of it changed fails its checksum.
  MakeZip(dir_ / "good.mqoz", {{"box.mqo", kDocument}});
  auto bytes = test::ReadBytes(dir_ / "good.mqoz");
  std::string text(bytes.begin(), bytes.end());
  const std::size_t at = text.find("Eof");
  ASSERT_NE(at, std::string::npos);
  {
    bytes[at] = 'X';
    test::WriteBytes(dir_ / "bad.mqoz", bytes);
    CMeshwright s = Empty();
    MqoReadInfo info;
    EXPECT_FALSE(ImportCompressedMetasequoia(s, (dir_ / "bad.mqoz").string(), &info));
    EXPECT_EQ(info.code, kMqoDamagedArchive);
    EXPECT_TRUE(s.models.empty());
  }
  bytes = test::ReadBytes(dir_ / "good.mqoz");
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    test::WriteBytes(dir_ / "cut.mqoz", std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
    CMeshwright s = Empty();
    MqoReadInfo info;
    EXPECT_FALSE(ImportCompressedMetasequoia(s, (dir_ / "cut.mqoz").string(), &info)) << n;
    EXPECT_TRUE(s.models.empty()) << n;
  }
  EXPECT_TRUE(TempIsEmpty());
}

}  // namespace
}  // namespace mw
