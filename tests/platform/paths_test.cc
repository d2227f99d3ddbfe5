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

TEST(PathsTest, ExpandHome) {
  FaultInjectionEnv env;
  env.SetVariable("HOME", "/home/ann");
  const struct {
    const char* path;
    const char* expanded;
  } cases[] = {
      {"~", "/home/ann"},   {"~/", "/home/ann/"}, {"~/Documents", "/home/ann/Documents"},
      {"~ann/x", "~ann/x"}, {"a/~/b", "a/~/b"},   {"", ""},
      {"/abs/~", "/abs/~"}, {"~~", "~~"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandHome(c.path, env), c.expanded) << c.path;
  // Without a home folder nothing is guessed.
  for (const std::optional<std::string>& home : {std::optional<std::string>(), std::optional<std::string>("")}) {
    env.SetVariable("HOME", home);
    EXPECT_EQ(ExpandHome("~/x", env), "~/x");
  }
}

TEST(PathsTest, IsoTimes) {
  constexpr int64_t kSecond = 1'000'000'000;
  // With a zone the instant is fixed, whatever the machine's.
  const struct {
    const char* text;
    std::optional<int64_t> seconds;
  } zoned[] = {
      {"1970-01-01T00:00Z", 0},
      {"2024-02-29T12:30:15Z", 1709209815},
      {"2024-02-29T13:30:15+01:00", 1709209815},
      {"2024-02-29T13:30:15+0100", 1709209815},
      {"2024-02-29T07:30:15-05", 1709209815},
      {"2024-02-29 12:30Z", 1709209800},
      {"1969-12-31T23:59:59Z", -1},
      {"2023-02-29", std::nullopt},  // no such day
      {"2024-13-01", std::nullopt},
      {"2024-1-01", std::nullopt},
      {"2024-01-01T24:00", std::nullopt},
      {"2024-01-01T10", std::nullopt},
      {"2024-01-01T10:00:00.5", std::nullopt},
      {"2024-01-01T10:00+25:00", std::nullopt},
      {"2024-01-01T10:00Zx", std::nullopt},
      {"yesterday", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : zoned) {
    const std::optional<int64_t> parsed = ParseIsoTime(c.text);
    EXPECT_EQ(parsed, c.seconds ? std::optional<int64_t>(*c.seconds * kSecond) : std::nullopt) << c.text;
  }
  // Without one, the machine's local time: it reads back as written.
  for (const char* local : {"2024-05-31T14:30:00", "1999-12-31T23:59:59", "2024-07-01T00:00:00"}) {
    const std::optional<int64_t> parsed = ParseIsoTime(local);
    ASSERT_TRUE(parsed.has_value()) << local;
    EXPECT_EQ(LocalTimeText(*parsed).substr(0, 19), local);
    EXPECT_EQ(LocalMinuteText(*parsed), std::string(local).substr(0, 16).replace(10, 1, " "));
  }
  EXPECT_EQ(ParseIsoTime("2024-05-31"), ParseIsoTime("2024-05-31T00:00"));
  EXPECT_EQ(ParseIsoTime("2024-05-31 00:00:00"), ParseIsoTime("2024-05-31T00:00"));
}

}  // namespace
}  // namespace veskara
