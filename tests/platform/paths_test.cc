#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fault_env.h"
#include "test_util.h"

namespace veskara {
namespace {

TEST(PathsTest, BaseDirectoryIsTheExecutablesFolder) {
  EXPECT_EQ(BaseDirectoryFromExecutable("/usr/local/bin/app"), "/usr/local/bin");
  EXPECT_EQ(BaseDirectoryFromExecutable("/app"), "");
  EXPECT_EQ(BaseDirectoryFromExecutable("app"), "");
  EXPECT_FALSE(Env::Default().ExecutablePath().empty());
}

// An installed program finds its README from where it is; one run from its
// build folder, in the source tree; with neither, the installed path still
// says where the file belongs.
TEST(PathsTest, ShippedFileInstalledElseInTheSources) {
  struct Case {
    bool installed;
    bool in_sources;
    const char* expected;  // below the temporary folder
  };
  for (const Case& c : {Case{true, true, "/usr/share/doc/veskara/README.md"}, Case{false, true, "/src/README.md"},
                        Case{false, false, "/usr/share/doc/veskara/README.md"}}) {
    testing::TempDir dir;
    std::filesystem::create_directories(dir / "usr/share/doc/veskara");
    std::filesystem::create_directories(dir / "src");
    if (c.installed) testing::WriteFile(dir / "usr/share/doc/veskara/README.md", "installed");
    if (c.in_sources) testing::WriteFile(dir / "src/README.md", "sources");
    FaultInjectionEnv env;
    env.SetExecutablePath(dir / "usr/bin/veskara");
    EXPECT_EQ(ShippedFilePath("README.md", "../share/doc/veskara", dir / "src", env), dir.path() + c.expected)
        << c.installed << c.in_sources;
  }
}

}  // namespace
}  // namespace veskara
