// Helpers shared by the test programs.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/message.h"

namespace mw::test {

// Built with AddressSanitizer: its redzones, shadow and quarantine make resident memory larger.
constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif

inline std::filesystem::path TestData(const std::string& relative) {
  return std::filesystem::path(MW_TESTDATA_DIR) / relative;
}

// Skips when the shared test files are absent on a user's machine; fails in CI.
#define MW_REQUIRE_TESTDATA()                                                           \
  do {                                                                                  \
    if (!std::filesystem::is_directory(MW_TESTDATA_DIR)) {                              \
      if (std::getenv("CI")) FAIL() << "test data folder missing: " << MW_TESTDATA_DIR; \
      GTEST_SKIP() << "test data folder missing: " << MW_TESTDATA_DIR;                  \
    }                                                                                   \
  } while (0)

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "mwtest-XXXXXX").string();
    path_ = mkdtemp(templ.data()) ? std::filesystem::path(templ) : std::filesystem::path();
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// For its lifetime, messages to the user go nowhere (a test that opens files known to warn).
class QuietMessages {
 public:
  QuietMessages() { previous_ = SetMessageSink([](std::string_view, MessageIcon) {}); }
  ~QuietMessages() { SetMessageSink(previous_); }
  QuietMessages(const QuietMessages&) = delete;
  QuietMessages& operator=(const QuietMessages&) = delete;

 private:
  MessageSink previous_;
};

}  // namespace mw::test
