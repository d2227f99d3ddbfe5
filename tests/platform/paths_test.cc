#include "platform/paths.h"

#include <gtest/gtest.h>

namespace veskara {
namespace {

TEST(PathsTest, BaseDirectoryIsTheExecutablesFolder) {
  EXPECT_EQ(BaseDirectoryFromExecutable("/usr/local/bin/app"), "/usr/local/bin");
  EXPECT_EQ(BaseDirectoryFromExecutable("/app"), "");
  EXPECT_EQ(BaseDirectoryFromExecutable("app"), "");
  const std::string executable = Env::Default().ExecutablePath();
  EXPECT_FALSE(executable.empty());
  EXPECT_EQ(DefaultBaseDirectory(), BaseDirectoryFromExecutable(executable));
}

}  // namespace
}  // namespace veskara
