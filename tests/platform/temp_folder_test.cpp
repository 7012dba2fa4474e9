// Temporary folders of the import helper and of .mqoz archives: removed with their object, and
// those a killed process left behind removed at the next start, never one still in use.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "platform/child_process.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

namespace fs = std::filesystem;

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) out.insert(e.path().filename().string());
  return out;
}

TEST(TempFolder, StaleFoldersGoAtTheNextStartButLiveOnesAndLookalikesStay) {
  test::TempDir tmp;
  const char* old = std::getenv("TMPDIR");
  const std::string previous = old ? old : "";
  setenv("TMPDIR", tmp.path().c_str(), 1);
  {
    // A killed process's folder: its lock file is there, nobody holds it.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      TempFolder killed(kImportTempPrefix);
      if (killed.path().empty()) _exit(1);
      std::FILE* f = std::fopen((killed.path() + "/scene.mwr").c_str(), "wb");
      if (f) std::fclose(f);
      _exit(0);  // no destructors: as a kill -9 would leave it
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ASSERT_EQ(Names(tmp.path()).size(), 1u);
  const std::string killed = tmp.path() / *Names(tmp.path()).begin();
  fs::create_directories(killed + "/sub/deeper");  // an extracted archive's folders
  // Without a lock file: an hour old goes, a fresh one (being made right now) stays.
  fs::create_directory(tmp / "meshwright-mqoz-OldOne");
  fs::last_write_time(tmp / "meshwright-mqoz-OldOne", fs::file_time_type::clock::now() - std::chrono::hours(1));
  fs::create_directory(tmp / "meshwright-mqoz-NewOne");
  // Lookalikes: another name, a plain file, a link to a folder of ours elsewhere.
  fs::create_directory(tmp / "meshwright-importer-1");
  test::WriteBytes(tmp / "meshwright-import-Plain1", {1});
  test::TempDir elsewhere;
  fs::create_directory_symlink(elsewhere.path(), tmp / "meshwright-import-Link01");
  {
    TempFolder live(kMqozTempPrefix);
    ASSERT_FALSE(live.path().empty());
    EXPECT_TRUE(fs::exists(live.path() + "/.lock"));
    RemoveStaleTempFolders();
    const std::set<std::string> left = Names(tmp.path());
    EXPECT_EQ(left.count(fs::path(killed).filename().string()), 0u);
    EXPECT_EQ(left.count("meshwright-mqoz-OldOne"), 0u);
    EXPECT_EQ(left.count(fs::path(live.path()).filename().string()), 1u);
    for (const char* stays : {"meshwright-mqoz-NewOne", "meshwright-importer-1", "meshwright-import-Plain1",
                              "meshwright-import-Link01"})
      EXPECT_EQ(left.count(stays), 1u) << stays;
    EXPECT_TRUE(fs::exists(elsewhere.path()));
  }
  // Removed with its object, everything inside.
  EXPECT_EQ(Names(tmp.path()).size(), 5u);
  if (previous.empty()) unsetenv("TMPDIR");
  else setenv("TMPDIR", previous.c_str(), 1);
}

}  // namespace
}  // namespace mw
