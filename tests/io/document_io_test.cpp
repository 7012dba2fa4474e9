// The table of document formats, the texts of failures, and opening and saving through both.
#include "io/document_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "io/document_formats.h"
#include "platform/message.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

TEST(DocumentFormats, EachRowSaysWhatItIsAndHowItOpensAndSaves) {
  const DocumentFormat* mwr = FindDocumentFormat("scene.mwr");
  ASSERT_NE(mwr, nullptr);
  EXPECT_EQ(mwr->extensions, std::vector<std::string>{"mwr"});
  EXPECT_EQ(mwr->DialogFilter(), "Meshwrightファイル(*.mwr)");
  EXPECT_EQ(mwr->opening, OpenEffect::kReplaces);
  EXPECT_EQ(mwr->saving, SaveEffect::kDocument);
  EXPECT_TRUE(mwr->CanOpen());
  EXPECT_TRUE(mwr->CanSave());
  EXPECT_EQ(&NativeDocumentFormat(), mwr);

  const DocumentFormat* mqo = FindDocumentFormat("scene.mqo");
  ASSERT_NE(mqo, nullptr);
  EXPECT_EQ(mqo->extensions, std::vector<std::string>{"mqo"});
  EXPECT_EQ(mqo->DialogFilter(), "Metasequoiaファイル(*.mqo)");
  EXPECT_EQ(mqo->opening, OpenEffect::kAppends);
  EXPECT_EQ(mqo->saving, SaveEffect::kExport);
  EXPECT_TRUE(mqo->CanOpen());
  EXPECT_TRUE(mqo->CanSave());

  const DocumentFormat* mqoz = FindDocumentFormat("scene.MQOZ");
  ASSERT_NE(mqoz, nullptr);
  EXPECT_EQ(mqoz->extensions, std::vector<std::string>{"mqoz"});
  EXPECT_EQ(mqoz->opening, OpenEffect::kAppends);
  EXPECT_TRUE(mqoz->CanOpen());
  EXPECT_FALSE(mqoz->CanSave());  // opening only
}

TEST(DocumentFormats, EveryExtensionIsFoundInAnyCaseAndBelongsToOneRow) {
  std::set<std::string> seen;
  ASSERT_FALSE(DocumentFormats().empty());
  for (const DocumentFormat& format : DocumentFormats()) {
    ASSERT_FALSE(format.extensions.empty()) << format.name;
    for (const std::string& ext : format.extensions) {
      EXPECT_TRUE(seen.insert(ext).second) << "two rows claim ." << ext;
      EXPECT_EQ(ext.find('.'), std::string::npos) << ext;
      EXPECT_EQ(ext, [&] {
        std::string lower = ext;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return lower;
      }()) << "extensions are stored lower case";
      EXPECT_EQ(FindDocumentFormat("/home/u/a." + ext), &format);
      EXPECT_EQ(FindDocumentFormat("/home/u/A." + Upper(ext)), &format);
      EXPECT_EQ(FindDocumentFormat("C:\\dir\\a." + ext), &format);
      EXPECT_EQ(FindDocumentFormat("/home/u/a." + ext + ".bak"), nullptr);
      // The dot of a folder is no extension of the file in it.
      EXPECT_EQ(FindDocumentFormat("/home/u/dir." + ext + "/a"), nullptr);
    }
  }
  EXPECT_EQ(FindDocumentFormat("a.MwR"), FindDocumentFormat("a.mwr"));
  for (const char* path : {"", "a", "a.", ".", "a.txt", "a.mw", "a.mwrx", "/x.mqo/"})
    EXPECT_EQ(FindDocumentFormat(path), nullptr) << path;
}

TEST(DocumentFormats, DialogFiltersAreBuiltFromTheRows) {
  EXPECT_EQ(OpenDialogFilter(),
            "全ての形式(*.mwr *.mqo *.mqoz *.obj *.ply *.stl *.glb *.gltf *.fbx *.3ds *.dae *.off *.lwo);;"
            "Meshwrightファイル(*.mwr);;Metasequoiaファイル(*.mqo);;Metasequoia 圧縮ファイル(*.mqoz);;"
            "Wavefront OBJファイル(*.obj);;PLYファイル(*.ply);;"
            "STLファイル(*.stl);;glTF 2.0ファイル(*.glb *.gltf);;FBXファイル(*.fbx);;3DSファイル(*.3ds);;"
            "COLLADAファイル(*.dae);;OFFファイル(*.off);;LightWaveファイル(*.lwo)");
  EXPECT_EQ(SaveDialogFilter(),
            "Meshwrightファイル(*.mwr);;Metasequoiaファイル(*.mqo);;Wavefront OBJファイル(*.obj);;PLYファイル(*.ply);;"
            "STLファイル(*.stl);;glTF 2.0ファイル(*.glb *.gltf)");
  // Whatever rows come later: each openable one is offered on its own and inside "all", each
  // savable one in the save dialog.
  const std::string open = OpenDialogFilter(), save = SaveDialogFilter();
  const std::string all = open.substr(0, open.find(";;"));
  for (const DocumentFormat& format : DocumentFormats()) {
    EXPECT_EQ(open.find(";;" + format.DialogFilter()) != std::string::npos, format.CanOpen()) << format.name;
    EXPECT_EQ(save.find(format.DialogFilter()) != std::string::npos, format.CanSave()) << format.name;
    for (const std::string& ext : format.extensions)
      EXPECT_EQ(all.find("*." + ext) != std::string::npos, format.CanOpen()) << ext;
  }
}

TEST(DocumentFormats, OnlyTheDocumentFormatIsSavedWhereItStands) {
  EXPECT_TRUE(IsDocumentFile("/home/u/a.mwr"));
  EXPECT_TRUE(IsDocumentFile("/home/u/a.MWR"));
  EXPECT_FALSE(IsDocumentFile("/home/u/a.mqo"));  // an export: Save asks where
  EXPECT_FALSE(IsDocumentFile(""));               // untitled
  EXPECT_FALSE(IsDocumentFile("/home/u/a.txt"));
}

TEST(DocumentFormats, TheChosenSaveTypeGivesTheExtensionOnlyWhenNoneIsTyped) {
  const std::string mqo = "Metasequoiaファイル(*.mqo)", gltf = "glTF 2.0ファイル(*.glb *.gltf)";
  EXPECT_EQ(SavePathWithChosenType("/d/name", mqo), "/d/name.mqo");
  EXPECT_EQ(SavePathWithChosenType("/d/name.", mqo), "/d/name.mqo");
  EXPECT_EQ(SavePathWithChosenType("/d/name", gltf), "/d/name.glb");  // a type's first extension
  EXPECT_EQ(SavePathWithChosenType("/d/name", "Meshwrightファイル(*.mwr)"), "/d/name.mwr");
  // A typed extension wins over the chosen type, whatever it is; the save then decides.
  EXPECT_EQ(SavePathWithChosenType("/d/name.MWR", mqo), "/d/name.MWR");
  EXPECT_EQ(SavePathWithChosenType("/d/name.txt", mqo), "/d/name.txt");
  // A dot in a folder is no extension of the file.
  EXPECT_EQ(SavePathWithChosenType("/d/v1.2/name", mqo), "/d/v1.2/name.mqo");
  // No entry chosen, or one only the open dialog offers: the program's own format.
  EXPECT_EQ(SavePathWithChosenType("/d/name", ""), "/d/name.mwr");
  EXPECT_EQ(SavePathWithChosenType("/d/name", "FBXファイル(*.fbx)"), "/d/name.mwr");
  EXPECT_EQ(SavePathWithChosenType("", mqo), "");  // cancelled
}

TEST(DocumentErrors, EachKindHasItsTextAndName) {
  struct Case {
    DocumentError error;
    const char* name;
    const char* text;
  };
  const Case cases[] = {
      {DocumentError::kCannotOpen, "CannotOpen", "ファイルを開けません。"},
      {DocumentError::kUnexpectedFormat, "UnexpectedFormat", "予期しないファイル形式です。"},
      {DocumentError::kNotThisFormat, "NotThisFormat", "Metasequoia の文書ではありません。"},
      {DocumentError::kUnsupportedVersion, "UnsupportedVersion",
       "この版の形式には対応していません (Format Text Ver 1.0 と 1.1 のみ)。"},
      {DocumentError::kTruncated, "Truncated", "文書が途中で終わっています。"},
      {DocumentError::kSyntaxError, "SyntaxError", "文書の書式に誤りがあります。"},
      {DocumentError::kTooLarge, "TooLarge", "ドキュメントを開くことに失敗しました。"},
      {DocumentError::kWriteFailed, "WriteFailed", "保存できませんでした。"},
      {DocumentError::kUnsupportedExtension, "UnsupportedExtension", "対応していない種類のファイルです。"},
  };
  std::set<std::string> names;
  for (const Case& c : cases) {
    DocumentResult r = DocumentFailure(c.error);
    r.formatName = "Metasequoia";
    EXPECT_EQ(DocumentErrorText(r), c.text) << c.name;
    EXPECT_STREQ(DocumentErrorName(c.error), c.name);
    EXPECT_TRUE(names.insert(c.name).second);
  }
  EXPECT_EQ(names.size(), static_cast<std::size_t>(DocumentError::kUnsupportedExtension)) << "a kind without a case";
  EXPECT_EQ(DocumentErrorText(DocumentResult{}), "");
  EXPECT_STREQ(DocumentErrorName(DocumentError::kNone), "");
}

TEST(DocumentErrors, SystemErrorsSpeakJapaneseAndNameTheFileOnce) {
  EXPECT_EQ(DocumentMessage(DocumentFailure(DocumentError::kCannotOpen, ENOENT), "missing.mqo"),
            "missing.mqo\nファイルを開けません。ファイルまたはフォルダーが見つかりません。");
  EXPECT_EQ(DocumentMessage(DocumentFailure(DocumentError::kWriteFailed, ENOSPC), "/tmp/a.mwr", ": "),
            "/tmp/a.mwr: 保存できませんでした。ディスクの空き容量が足りません。");
  // The common ones have the program's own words: none falls back to the C library's English.
  for (int e : {ENOENT, EACCES, EPERM, EISDIR, ENOTDIR, ENOSPC, EDQUOT, EROFS, ENAMETOOLONG, EEXIST, EIO, EMFILE,
                ENFILE, ENOMEM, EFBIG, ELOOP, EBUSY, ETXTBSY}) {
    const std::string text = SystemErrorText(e);
    ASSERT_FALSE(text.empty()) << e;
    EXPECT_GE(static_cast<unsigned char>(text[0]), 0x80u) << e << " " << text;
    EXPECT_EQ(text.find(std::strerror(e)), std::string::npos) << e;
  }
  EXPECT_EQ(SystemErrorText(ESTALE), std::string("(") + std::strerror(ESTALE) + ")");
  EXPECT_EQ(SystemErrorText(0), "");
  // No reason given: the kind's sentence alone.
  EXPECT_EQ(DocumentErrorText(DocumentFailure(DocumentError::kWriteFailed)), "保存できませんでした。");
}

CMeshwright Scene(const char* name) {
  CMeshwright s;
  s.ResetScene();
  s.models[0].name = name;
  CModel& m = s.models[0];
  m.vertices.emplace_back(1.5f, -2.25f, 37.0f);
  m.vertices.emplace_back(0.0f, 1.0f, 0.0f);
  m.vertices.emplace_back(1.0f, 0.0f, 0.0f);
  m.faces.emplace_back();
  for (std::int32_t i : {0, 1, 2}) m.faces[0].AddIndex(i);
  m.RebuildFaceRefs();
  return s;
}

TEST(DocumentFiles, EachFormatSavesAndOpensThroughItsRow) {
  test::TempDir dir;
  const mode_t old = umask(022);
  const CMeshwright saved = Scene("Saved");
  for (const char* name : {"a.mwr", "a.MQO"}) {
    ASSERT_TRUE(SaveDocumentFile(saved, (dir / name).string()).ok()) << name;
    struct stat info {};
    ASSERT_EQ(stat((dir / name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u) << name << ": an ordinary new file, not the temporary file's 0600";
  }
  umask(old);

  // .mwr replaces the scene; .mqo appends to it.
  CMeshwright s = Scene("Mine");
  ASSERT_TRUE(OpenDocumentFile(s, (dir / "a.mwr").string()).ok());
  ASSERT_EQ(s.models.size(), 1u);
  EXPECT_EQ(s.models[0].name, "Saved");
  ASSERT_TRUE(OpenDocumentFile(s, (dir / "a.MQO").string()).ok());
  ASSERT_EQ(s.models.size(), 2u);
  EXPECT_EQ(s.models[1].name, "Saved");
  ASSERT_EQ(s.models[1].vertices.size(), 3u);
  EXPECT_EQ(s.models[1].vertices[0].position.z, 37.0f);
}

TEST(DocumentFiles, FilesThatCannotBeReadKeepTheSystemsReason) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "folder.mwr");
  std::filesystem::create_directory(dir / "folder.mqo");
  const std::string longName = (dir / (std::string(300, 'n') + ".mqo")).string();
  struct Case {
    std::string path;
    int error;
  };
  for (const Case& c : {Case{(dir / "missing.mwr").string(), ENOENT}, Case{(dir / "missing.mqo").string(), ENOENT},
                        Case{(dir / "missing.mqoz").string(), ENOENT}, Case{(dir / "folder.mwr").string(), EISDIR},
                        Case{(dir / "folder.mqo").string(), EISDIR}, Case{longName, ENAMETOOLONG}}) {
    CMeshwright s = Scene("Kept");
    const DocumentResult r = OpenDocumentFile(s, c.path);
    EXPECT_EQ(r.error, DocumentError::kCannotOpen) << c.path;
    EXPECT_EQ(r.systemError, c.error) << c.path;
    // Nothing was read, so nothing changed, not even the default material an import adds.
    EXPECT_EQ(s.models.size(), 1u);
    EXPECT_EQ(s.models[0].name, "Kept");
    EXPECT_TRUE(s.materials.empty());
  }
  CMeshwright s = Scene("Kept");
  const DocumentResult r = OpenDocumentFile(s, (dir / "missing.mwr").string());
  EXPECT_EQ(r.formatName, "Meshwright");
}

TEST(DocumentFiles, FailedSavesSayWhyAndLeaveNothingBehind) {
  test::TempDir dir;
  const CMeshwright s = Scene("S");
  for (const char* ext : {".mwr", ".mqo"}) {
    DocumentResult r = SaveDocumentFile(s, (dir / "no" / "such" / (std::string("x") + ext)).string());
    EXPECT_EQ(r.error, DocumentError::kWriteFailed) << ext;
    EXPECT_EQ(r.systemError, ENOENT) << ext;
    r = SaveDocumentFile(s, (dir / (std::string(300, 'n') + ext)).string());
    EXPECT_EQ(r.error, DocumentError::kWriteFailed) << ext;
    EXPECT_EQ(r.systemError, ENAMETOOLONG) << ext;
    // A folder in the way: the rename fails, and the temporary file goes.
    std::filesystem::create_directory(dir / (std::string("busy") + ext));
    test::WriteBytes(dir / (std::string("busy") + ext) / "keep", {1});
    r = SaveDocumentFile(s, (dir / (std::string("busy") + ext)).string());
    EXPECT_EQ(r.error, DocumentError::kWriteFailed) << ext;
    EXPECT_EQ(r.systemError, EISDIR) << ext;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 2);

  EXPECT_EQ(SaveDocumentFile(s, (dir / "x.txt").string()).error, DocumentError::kUnsupportedExtension);
  EXPECT_EQ(SaveDocumentFile(s, (dir / "x").string()).error, DocumentError::kUnsupportedExtension);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "x"));
}

// Reading and writing tell how a Metasequoia document was taken, and show their warnings as one
// message per file.
TEST(DocumentFiles, MetasequoiaVersionEncodingAndWarnings) {
  std::vector<std::string> shown;
  MessageSink old = SetMessageSink([&shown](std::string_view text, MessageIcon) { shown.emplace_back(text); });
  test::TempDir dir;
  const std::string text =
      "Metasequoia Document\nFormat Text Ver 1.1\nCodePage utf8\nMaterial 1 {\n\"\xF0\x9F\x98\x80\" dif(nan)\n}\n"
      "Object \"o\" {\nvertex 2 {\n0 0 inf\n1 0 0\n}\nface 1 {\n2 V(0 1)\n}\n}\n";
  test::WriteBytes(dir / "w.mqo", std::vector<std::uint8_t>(text.begin(), text.end()));
  CMeshwright s = Scene("S");
  DocumentResult r = OpenDocumentFile(s, (dir / "w.mqo").string());
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.version, "1.1");
  EXPECT_EQ(r.encoding, "utf8");
  EXPECT_EQ(r.warnings.size(), 2u);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind((dir / "w.mqo").string() + ":\n", 0), 0u) << shown[0];
  EXPECT_NE(shown[0].find("2 個"), std::string::npos) << shown[0];

  // Saving: a one-corner face is left out and said so; a plain document says nothing.
  shown.clear();
  CFace one;
  one.indices = {0};
  s.models[0].faces.push_back(one);
  r = SaveDocumentFile(s, (dir / "out.mqo").string());
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.version, "1.0");
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_EQ(shown.size(), 1u);
  shown.clear();
  r = SaveDocumentFile(Scene("T"), (dir / "plain.mqo").string());
  EXPECT_TRUE(r.warnings.empty());
  r = SaveDocumentFile(Scene("T"), (dir / "plain.mwr").string());
  EXPECT_TRUE(r.version.empty());
  EXPECT_TRUE(shown.empty());
  SetMessageSink(old);
}

TEST(DocumentFiles, EachReadersFailuresBecomeTheirKinds) {
  test::TempDir dir;
  auto write = [&dir](const std::string& name, const std::string& text) {
    test::WriteBytes(dir / name, std::vector<std::uint8_t>(text.begin(), text.end()));
    return (dir / name).string();
  };
  struct Case {
    std::string path;
    DocumentError error;
  };
  const std::string header = "Metasequoia Document\nFormat Text Ver 1.0\n";
  for (const Case& c : {
           Case{write("short.mwr", std::string("\x01\x00\x00\x00\x00\x00", 6)), DocumentError::kUnexpectedFormat},
           Case{write("other.mqo", "ply\nformat ascii 1.0\n"), DocumentError::kNotThisFormat},
           Case{write("plain.mqoz", header), DocumentError::kNotThisFormat},
           Case{write("v2.mqo", "Metasequoia Document\r\nFormat Text Ver 2.0\r\n"), DocumentError::kUnsupportedVersion},
           Case{write("cut.mqo", header + "Object \"o\" {\n"), DocumentError::kTruncated},
           Case{write("bad.mqo", header + "Object \"o\"\n"), DocumentError::kSyntaxError},
           Case{write("x.xyz", "v 0 0 0\n"), DocumentError::kUnsupportedExtension},
       }) {
    CMeshwright s = Scene("S");
    const DocumentResult r = OpenDocumentFile(s, c.path);
    EXPECT_EQ(r.error, c.error) << c.path << " gave " << DocumentErrorName(r.error);
    EXPECT_EQ(r.systemError, 0) << c.path;
  }
  CMeshwright s = Scene("S");
  const DocumentResult r = OpenDocumentFile(s, (dir / "other.mqo").string());
  EXPECT_EQ(DocumentMessage(r, "other.mqo"), "other.mqo\nMetasequoia の文書ではありません。");
}

}  // namespace
}  // namespace mw
