// Pictures of documents from the command line, with no display: the thumbnailer the desktop runs
// (as its entry says), and `meshwright --render`.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <QSet>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/document_picture.h"
#include "app/icons.h"
#include "io/document_io.h"
#include "render/offscreen_frame.h"
#include "scene/meshwright.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace mw {
namespace {

namespace fs = std::filesystem;

struct ChildRun {
  int status = -1;  // the exit status; -1 when the program did not exit normally
  std::string err;  // what it wrote to stderr
};

// Runs a program of the build with DISPLAY and WAYLAND_DISPLAY removed from its environment and
// `extra` added, as a file manager without a display (or a script on a server) would.
ChildRun RunWithoutDisplay(const std::string& program, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& extra = {}) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('='));
    if (name == "DISPLAY" || name == "WAYLAND_DISPLAY" || extra.count(name)) continue;
    env.push_back(entry);
  }
  for (const auto& [name, value] : extra) env.push_back(name + "=" + value);
  std::vector<std::string> argv = {std::string(MW_BIN_DIR) + "/" + program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> argp, envp;
  for (std::string& a : argv) argp.push_back(a.data());
  argp.push_back(nullptr);
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  char errName[] = "/tmp/mwpicture-err-XXXXXX";
  const int errFd = mkstemp(errName);
  ChildRun run;
  if (errFd < 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, errFd, 2);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  }
  close(errFd);
  const auto bytes = test::ReadBytes(errName);
  run.err.assign(bytes.begin(), bytes.end());
  unlink(errName);
  return run;
}

ChildRun Thumbnail(const std::vector<std::string>& args) { return RunWithoutDisplay("meshwright-thumbnailer", args); }

// A picture worth showing: not one flat colour, and not a handful of them.
int Colours(const QImage& image) {
  QSet<QRgb> seen;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) seen.insert(image.pixel(x, y));
  return static_cast<int>(seen.size());
}

// A .mwr document of two boxes in two materials, written by the program's own writer.
void WriteBoxes(const fs::path& path) {
  CMeshwright scene;
  scene.ResetScene();
  scene.materials.emplace_back(0);
  scene.materials.emplace_back(1);
  scene.materials[1].color[0] = 0.95f;
  scene.materials[1].color[1] = 0.35f;
  scene.materials[1].color[2] = 0.05f;
  for (CMaterial& m : scene.materials) m.UpdateMaterialColors();
  auto box = [](CModel& m, CVector at, CVector size, std::int32_t material) {
    for (int i = 0; i < 8; ++i)
      m.vertices.emplace_back(at.x + (i & 1 ? size.x : 0.0f), at.y + (i & 2 ? size.y : 0.0f),
                              at.z + (i & 4 ? size.z : 0.0f));
    const std::int32_t quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                      {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : quads) {
      CFace f;
      f.indices = {q[0], q[1], q[2], q[3]};
      f.material = material;
      m.faces.push_back(f);
    }
    m.RebuildFaceRefs();
  };
  box(scene.models[0], CVector(-3700, -1200, -900), CVector(2900, 1700, 1300), 0);
  scene.models.emplace_back();
  box(scene.models[1], CVector(-300, 500, -100), CVector(800, 2300, 700), 1);
  scene.ComputeNormals();
  ASSERT_TRUE(SaveDocumentFile(scene, path.string()).ok());
}

// The files in a folder, by name.
std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

mode_t CurrentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

TEST(Thumbnailer, DrawsMetasequoiaDocumentsByPathAtTheRequestedSize) {
  MW_REQUIRE_TESTDATA();
  test::TempDir dir;
  // Edges (two-corner faces) among the faces, and a document whose texture cannot be found.
  for (const char* name : {"vastspace_ReZEL.mqo", "wanwan_miku01.mqo", "psc_torus.mqo"}) {
    const fs::path out = dir / (std::string(name) + ".png");
    const ChildRun run = Thumbnail({"-s", "128", test::TestData("mqo").string() + "/" + name, out.string()});
    ASSERT_EQ(run.status, 0) << name << ": " << run.err;
    const QImage picture(QString::fromStdString(out.string()));
    ASSERT_FALSE(picture.isNull()) << name;
    EXPECT_EQ(picture.size(), QSize(128, 128)) << name;
    EXPECT_GT(Colours(picture), 20) << name;
    // Fitted: the document lies inside the picture, the corners show the background.
    EXPECT_EQ(QColor(picture.pixel(0, 0)), QColor(30, 65, 90)) << name;
    EXPECT_EQ(QColor(picture.pixel(127, 127)), QColor(30, 65, 90)) << name;
    EXPECT_EQ(fs::status(out).permissions(), fs::perms(0666 & ~CurrentUmask())) << name;
  }
}

TEST(Thumbnailer, DrawsAMeshwrightDocumentNamedByAFileUri) {
  test::TempDir dir;
  // The desktop passes %u percent-encoded: a space and Japanese in the name must survive it.
  const fs::path doc = dir / "箱 two.mwr";
  WriteBoxes(doc);
  const std::string uri = QUrl::fromLocalFile(QString::fromStdString(doc.string())).toEncoded().toStdString();
  ASSERT_NE(uri.find("%20"), std::string::npos);
  const fs::path out = dir / "thumb.png";
  const ChildRun run = Thumbnail({"-s", "96", uri, out.string()});
  ASSERT_EQ(run.status, 0) << uri << ": " << run.err;
  const QImage picture(QString::fromStdString(out.string()));
  EXPECT_EQ(picture.size(), QSize(96, 96));
  EXPECT_GT(Colours(picture), 20);
  // Both materials are there: something grey-white and something orange.
  bool orange = false, grey = false;
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 96; ++x) {
      const QColor c(picture.pixel(x, y));
      orange = orange || (c.red() > 2 * c.blue() + 40 && c.red() > c.green() + 40);
      grey = grey || (std::abs(c.red() - c.blue()) < 8 && c.red() > 110);
    }
  EXPECT_TRUE(orange);
  EXPECT_TRUE(grey);
}

TEST(Thumbnailer, ShowsTexturesFoundBesideTheDocument) {
  MW_REQUIRE_TESTDATA();
  test::TempDir with, without;
  // The document names its texture "front.jpg"; the shared copy has a prefix.
  fs::copy_file(test::TestData("mqo/pymeshio_cube.mqo"), with / "cube.mqo");
  fs::copy_file(test::TestData("jpg/mqo-texture/pymeshio_front.jpg"), with / "front.jpg");
  fs::copy_file(test::TestData("mqo/pymeshio_cube.mqo"), without / "cube.mqo");
  const ChildRun textured = Thumbnail({"-s", "128", (with / "cube.mqo").string(), (with / "t.png").string()});
  const ChildRun plain = Thumbnail({"-s", "128", (without / "cube.mqo").string(), (without / "t.png").string()});
  ASSERT_EQ(textured.status, 0) << textured.err;
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(textured.err, "");
  EXPECT_NE(plain.err.find("テクスチャの読み込みに失敗しました"), std::string::npos) << plain.err;
  const QImage a(QString::fromStdString((with / "t.png").string()));
  const QImage b(QString::fromStdString((without / "t.png").string()));
  ASSERT_EQ(a.size(), b.size());
  int differing = 0;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) differing += a.pixel(x, y) != b.pixel(x, y);
  EXPECT_GT(differing, 128 * 128 / 20) << "the texture should show on the cube's faces";
}

TEST(Thumbnailer, AFileThatCannotBeReadExitsNonZeroAndWritesNothing) {
  test::TempDir dir;
  test::WriteBytes(dir / "broken.mwr", {'n', 'o', 't', ' ', 'a', ' ', 'd', 'o', 'c', 0, 0, 0, 7});
  test::WriteBytes(dir / "truncated.mqo", {'M', 'e', 't', 'a', 's', 'e', 'q', 'u', 'o', 'i', 'a', ' '});
  test::WriteBytes(dir / "notes.txt", {'h', 'i'});
  // A picture already there stays as it was.
  test::WriteBytes(dir / "kept.png", {'o', 'l', 'd'});
  for (const std::string& input :
       {(dir / "broken.mwr").string(), (dir / "truncated.mqo").string(), (dir / "notes.txt").string(),
        (dir / "missing.mwr").string(), dir.path().string(), std::string("sftp://example.org/home/u/a.mwr"),
        std::string("file://otherhost/tmp/a.mwr")}) {
    const ChildRun fresh = Thumbnail({"-s", "64", input, (dir / "new.png").string()});
    EXPECT_EQ(fresh.status, 1) << input << ": " << fresh.err;
    EXPECT_FALSE(fresh.err.empty()) << input;
    EXPECT_FALSE(fs::exists(dir / "new.png")) << input;
    const ChildRun kept = Thumbnail({"-s", "64", input, (dir / "kept.png").string()});
    EXPECT_EQ(kept.status, 1) << input;
    EXPECT_EQ(test::ReadBytes(dir / "kept.png"), (std::vector<std::uint8_t>{'o', 'l', 'd'})) << input;
  }
  // No temporaries are left behind either.
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"broken.mwr", "kept.png", "notes.txt", "truncated.mqo"}));
}

TEST(Thumbnailer, UsageErrorsAndAnUnwritablePictureHaveTheirOwnStatus) {
  test::TempDir dir;
  WriteBoxes(dir / "a.mwr");
  const std::string doc = (dir / "a.mwr").string(), out = (dir / "o.png").string();
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {doc, out},
                                               {"-s", "64", doc},
                                               {"-s", "0", doc, out},
                                               {"-s", "-5", doc, out},
                                               {"-s", "64x64", doc, out},
                                               {"-s", "99999999999", doc, out},
                                               {"-s", std::to_string(kMaxPictureSide + 1), doc, out},
                                               {"-s", "64", doc, out, "extra"},
                                               {"-s", "64", "-s", "32", doc, out}}) {
    const ChildRun run = Thumbnail(args);
    EXPECT_EQ(run.status, 2) << args.size();
    EXPECT_FALSE(fs::exists(out));
  }
  const ChildRun run = Thumbnail({"-s", "64", doc, (dir / "no such folder" / "o.png").string()});
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_NE(run.err.find("no such folder"), std::string::npos) << run.err;
}

TEST(Thumbnailer, WithoutOpenGLItSaysSoAndWritesNothing) {
  test::TempDir dir;
  WriteBoxes(dir / "a.mwr");
  // No EGL vendor library to be found: as on a machine without Mesa's EGL.
  const ChildRun run =
      RunWithoutDisplay("meshwright-thumbnailer", {"-s", "64", (dir / "a.mwr").string(), (dir / "a.png").string()},
                        {{"__EGL_VENDOR_LIBRARY_FILENAMES", (dir / "none.json").string()}});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("EGL"), std::string::npos) << run.err;
  EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"a.mwr"});
}

TEST(RenderCommand, WritesAPictureOfTheGivenSizeWithoutADisplayAndLeavesTheDesktopAlone) {
  test::TempDir dir, data;
  WriteBoxes(dir / "boxes.mwr");
  const std::map<std::string, std::string> env = {
      {"LANG", "C"}, {"LC_ALL", "C"}, {"XDG_DATA_HOME", data.path().string()}};
  struct Case {
    std::vector<std::string> sizeArgs;
    QSize size;
  };
  // Either sign between the sides; the multiplication sign arrives as UTF-8 bytes whatever the
  // locale says.
  for (const Case& c : {Case{{"--size", "320×200"}, QSize(320, 200)}, Case{{"--size", "33x250"}, QSize(33, 250)},
                        Case{{}, QSize(640, 480)}}) {
    const fs::path out = dir / "render.png";
    std::vector<std::string> args = {"--render", out.string()};
    args.insert(args.end(), c.sizeArgs.begin(), c.sizeArgs.end());
    args.push_back((dir / "boxes.mwr").string());
    const ChildRun run = RunWithoutDisplay("meshwright", args, env);
    ASSERT_EQ(run.status, 0) << run.err;
    const QImage picture(QString::fromStdString(out.string()));
    EXPECT_EQ(picture.size(), c.size);
    EXPECT_GT(Colours(picture), 20);
    fs::remove(out);
  }
  EXPECT_TRUE(Listing(data.path()).empty()) << "--render registers nothing with the desktop";
}

TEST(RenderCommand, FailuresExitNonZeroAndWriteNothing) {
  test::TempDir dir;
  WriteBoxes(dir / "boxes.mwr");
  test::WriteBytes(dir / "broken.mwr", {'M', 'W', 'R', 0, 1, 2});
  const std::string out = (dir / "out.png").string();
  EXPECT_EQ(RunWithoutDisplay("meshwright", {"--render", out, (dir / "broken.mwr").string()}).status, 1);
  EXPECT_EQ(RunWithoutDisplay("meshwright", {"--render", out, (dir / "missing.mqo").string()}).status, 1);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--render", out},
                                               {"--render"},
                                               {"--render", out, "--size", "320*200", "x.mwr"},
                                               {"--render", out, "--size", "0x5", "x.mwr"},
                                               {"--render", out, "--size", "5x", "x.mwr"},
                                               {"--render", out, "a.mwr", "b.mwr"},
                                               {"--render", out, "--register", "a.mwr"}})
    EXPECT_EQ(RunWithoutDisplay("meshwright", args).status, 2) << args.size();
  EXPECT_FALSE(fs::exists(out));
}

TEST(PictureArguments, SizesTakeEitherSignAndRefuseTheRest) {
  EXPECT_EQ(ParsePictureSize("640x480"), QSize(640, 480));
  EXPECT_EQ(ParsePictureSize("640X480"), QSize(640, 480));
  EXPECT_EQ(ParsePictureSize("37\xC3\x97"
                             "1"),
            QSize(37, 1));
  const std::string largest = std::to_string(kMaxPictureSide), tooLarge = std::to_string(kMaxPictureSide + 1);
  EXPECT_EQ(ParsePictureSize(largest + "x" + largest), QSize(kMaxPictureSide, kMaxPictureSide));
  EXPECT_FALSE(ParsePictureSize(tooLarge + "x1").has_value());
  EXPECT_FALSE(ParsePictureSize("1x" + tooLarge).has_value());
  for (const char* bad : {"", "x", "640", "640x", "x480", "0x480", "640x0", "-5x5", " 640x480", "640 x 480",
                          "640x480x2", "640×", "99999999999x1", "6.5x4", "640\xC3x480"})
    EXPECT_FALSE(ParsePictureSize(bad).has_value()) << bad;
}

TEST(PictureArguments, FileUrisBecomeTheirPathsAndOtherUrisAreRefused) {
  EXPECT_EQ(LocalFileOfArgument("/tmp/a b.mwr"), "/tmp/a b.mwr") << "a path stands as it is, %20 and all";
  EXPECT_EQ(LocalFileOfArgument("/tmp/a%20b.mwr"), "/tmp/a%20b.mwr");
  EXPECT_EQ(LocalFileOfArgument("rel/a.mqo"), "rel/a.mqo");
  EXPECT_EQ(LocalFileOfArgument("c:notes.mwr"), "c:notes.mwr") << "no // after the colon: a relative name";
  EXPECT_EQ(LocalFileOfArgument("file:///tmp/a%20b.mwr"), "/tmp/a b.mwr");
  EXPECT_EQ(LocalFileOfArgument("FILE:///tmp/x.mwr"), "/tmp/x.mwr");
  EXPECT_EQ(LocalFileOfArgument("file://localhost/tmp/x.mwr"), "/tmp/x.mwr");
  EXPECT_EQ(LocalFileOfArgument("file:/tmp/x.mwr"), "/tmp/x.mwr");
  EXPECT_EQ(LocalFileOfArgument("file:///tmp/%E7%AE%B1.mqo"), "/tmp/\xE7\xAE\xB1.mqo");
  EXPECT_EQ(LocalFileOfArgument("file:///tmp/%82%A0.mqo"), "/tmp/\x82\xA0.mqo") << "bytes that are not UTF-8";
  EXPECT_EQ(LocalFileOfArgument("file:///tmp/a%2.mwr"), "/tmp/a%2.mwr") << "a broken escape stays";
  EXPECT_EQ(LocalFileOfArgument("file:///tmp/100%25.mwr"), "/tmp/100%.mwr");
  EXPECT_EQ(LocalFileOfArgument("file:///tmp/x.mwr#frag"), "/tmp/x.mwr");
  EXPECT_EQ(LocalFileOfArgument("file:///tmp/x.mwr?q=1"), "/tmp/x.mwr");
  EXPECT_FALSE(LocalFileOfArgument("file://host/tmp/x.mwr").has_value());
  EXPECT_FALSE(LocalFileOfArgument("sftp://host/tmp/x.mwr").has_value());
  EXPECT_FALSE(LocalFileOfArgument("smb://host/share/x.mqo").has_value());
  EXPECT_FALSE(LocalFileOfArgument("file:///tmp/a%00b.mwr").has_value());
  EXPECT_FALSE(LocalFileOfArgument("file:relative.mwr").has_value());
}

TEST(Registration, InstallsTheThumbnailerEntryAndTheIconsAndTheEntryRuns) {
  test::TempDir data, work;
  qputenv("XDG_DATA_HOME", data.path().string().c_str());
  const std::string bin = MW_BIN_DIR;
  ASSERT_TRUE(RegisterFileTypes(QString::fromStdString(bin + "/meshwright")).isEmpty());
  const auto text = [](const fs::path& p) {
    const auto bytes = test::ReadBytes(p);
    return std::string(bytes.begin(), bytes.end());
  };
  const std::string desktop = text(data / "applications/meshwright.desktop");
  const std::string thumbnailer = text(data / "thumbnailers/meshwright.thumbnailer");
  const std::string mime = text(data / "mime/packages/meshwright.xml");
  EXPECT_NE(desktop.find("\nIcon=meshwright\n"), std::string::npos) << desktop;
  EXPECT_EQ(thumbnailer.rfind("[Thumbnailer Entry]\n", 0), 0u) << thumbnailer;
  EXPECT_NE(thumbnailer.find("\nTryExec=" + bin + "/meshwright-thumbnailer\n"), std::string::npos) << thumbnailer;
  EXPECT_NE(thumbnailer.find("\nMimeType=application/x-meshwright;model/x-mqo;\n"), std::string::npos) << thumbnailer;
  EXPECT_NE(mime.find("<mime-type type=\"model/x-mqo\">"), std::string::npos) << mime;
  EXPECT_NE(mime.find("<glob pattern=\"*.mqo\"/>"), std::string::npos) << mime;
  EXPECT_NE(mime.find("<glob pattern=\"*.mwr\"/>"), std::string::npos) << mime;
  for (int size : kProgramIconSizes) {
    const fs::path icon =
        data / ("icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps") / "meshwright.png";
    const QImage picture(QString::fromStdString(icon.string()));
    EXPECT_EQ(picture.size(), QSize(size, size)) << icon;
    EXPECT_TRUE(picture.hasAlphaChannel()) << icon;
    EXPECT_GT(Colours(picture), 3) << icon;
  }

  // Run the entry's Exec line as a file manager does: %s the size, %u the URI, %o the output.
  const std::size_t at = thumbnailer.find("\nExec=");
  ASSERT_NE(at, std::string::npos);
  std::string exec = thumbnailer.substr(at + 6, thumbnailer.find('\n', at + 1) - at - 6);
  ASSERT_EQ(exec.rfind("\"" + bin + "/meshwright-thumbnailer\" ", 0), 0u) << exec;
  exec = exec.substr(bin.size() + 26);
  WriteBoxes(work / "a.mwr");
  std::vector<std::string> args;
  for (std::size_t start = 0; start < exec.size();) {
    const std::size_t end = std::min(exec.find(' ', start), exec.size());
    const std::string token = exec.substr(start, end - start);
    if (token == "%s") args.push_back("48");
    else if (token == "%u") args.push_back("file://" + (work / "a.mwr").string());
    else if (token == "%o") args.push_back((work / "a.png").string());
    else args.push_back(token);
    start = end + 1;
  }
  const ChildRun run = Thumbnail(args);
  ASSERT_EQ(run.status, 0) << exec << ": " << run.err;
  EXPECT_EQ(QImage(QString::fromStdString((work / "a.png").string())).size(), QSize(48, 48));

  UnregisterFileTypes();
  EXPECT_FALSE(fs::exists(data / "thumbnailers/meshwright.thumbnailer"));
  for (int size : kProgramIconSizes)
    EXPECT_FALSE(fs::exists(
        data / ("icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/meshwright.png")));
  qunsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace mw
