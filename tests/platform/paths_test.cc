#include "platform/paths.h"

#include <gtest/gtest.h>

namespace veskara {
namespace {

TEST(PathsTest, BaseDirectoryIsTheExecutablesFolder) {
  EXPECT_EQ(BaseDirectoryFromExecutable("/usr/local/bin/app"), "/usr/local/bin");
  EXPECT_EQ(BaseDirectoryFromExecutable("/app"), "");
  EXPECT_EQ(BaseDirectoryFromExecutable("app"), "");
  EXPECT_EQ(WordsFilePath(""), "/wrds.txt");
  EXPECT_EQ(FilesFilePath("/opt/v"), "/opt/v/fls.txt");
  EXPECT_FALSE(ExecutablePath().empty());
  EXPECT_EQ(DefaultBaseDirectory(), BaseDirectoryFromExecutable(ExecutablePath()));
}

}  // namespace
}  // namespace veskara
