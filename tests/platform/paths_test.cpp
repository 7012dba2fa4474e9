#include "platform/paths.h"

#include <gtest/gtest.h>

namespace mw {
namespace {

TEST(PathExtension, TakesTheTextAfterTheLastDotOfTheLastComponent) {
  EXPECT_EQ(PathExtension("/home/u/cube.mwr"), "mwr");
  EXPECT_EQ(PathExtension("cube.tar.MQO"), "MQO");
  EXPECT_EQ(PathExtension("/home/u.v/cube"), "");
  EXPECT_EQ(PathExtension("C:\\dir.x\\cube"), "");
  EXPECT_EQ(PathExtension("cube."), "");
  EXPECT_EQ(PathExtension(""), "");
  EXPECT_EQ(PathExtension("/tmp/ぁ.mwr"), "mwr");  // UTF-8 bytes 0x81 do not swallow the dot
}

TEST(PathExtension, ComparisonIgnoresAsciiCase) {
  EXPECT_TRUE(EqualsIgnoreCase("MwR", "mwr"));
  EXPECT_FALSE(EqualsIgnoreCase("mw", "mwr"));
  EXPECT_FALSE(EqualsIgnoreCase("mqo", "mwr"));
}

TEST(ProgramFolder, EndsWithASlash) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
}

}  // namespace
}  // namespace mw
