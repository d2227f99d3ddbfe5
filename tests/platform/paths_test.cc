#include "platform/paths.h"

#include <gtest/gtest.h>

namespace veskara {
namespace {

TEST(PathsTest, BaseDirectoryIsTheExecutablesFolder) {
  EXPECT_EQ(BaseDirectoryFromExecutable("/usr/local/bin/app"), "/usr/local/bin");
  EXPECT_EQ(BaseDirectoryFromExecutable("/app"), "");
  EXPECT_EQ(BaseDirectoryFromExecutable("app"), "");
  EXPECT_FALSE(Env::Default().ExecutablePath().empty());
}

}  // namespace
}  // namespace veskara
