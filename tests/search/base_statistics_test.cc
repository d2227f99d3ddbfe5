#include "search/base_statistics.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

#include "base/messages.h"
#include "fault_env.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::TempDir;
using testing::WriteFile;
using Reason = BaseFileFault::Reason;

TEST(CountBaseTest, CountsHalfTheLinesOfEachFile) {
  using Text = std::optional<std::string>;
  using Count = std::optional<size_t>;
  struct Case {
    const char* name;
    Text fls;  // nullopt: the file is missing
    Text wrds;
    Count files;
    Count words;
    std::optional<BaseFileFault> fault;
  } cases[] = {
      {"no base", {}, {}, {}, {}, BaseFileFault{kFilesFileName, Reason::kMissing, {}}},
      {"empty files", "", "", 0, 0, {}},
      {"one record each", "a\r\n0\r\n", "AB\r\n0\r\n", 1, 1, {}},
      {"nine lines", "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n", "", 4, 0, {}},
      {"words missing", "a\r\n0\r\n", {}, 1, {}, BaseFileFault{kWordsFileName, Reason::kMissing, {}}},
      {"files missing", {}, "AB\r\n0\r\n", {}, {}, BaseFileFault{kFilesFileName, Reason::kMissing, {}}},
      {"last line without end", "a\r\n0", "AB\r\n0\r\nCD\r\n1", 1, 2, {}},
      {"ctrl-z opening a line ends the file",
       "a\r\n0\r\n\x1a"
       "b\r\n1\r\n",
       "",
       1,
       0,
       {}},
      {"ctrl-z inside a line ends its text only", "a\x1a\r\n0\r\nb\r\n1\r\n", "", 2, 0, {}},
      {"lone cr ends no line", "a\rb\r\n0\r\n", "", 1, 0, {}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.fls) WriteFile(dir / "fls.txt", *c.fls);
    if (c.wrds) WriteFile(dir / "wrds.txt", *c.wrds);
    BaseStatistics stats = CountBase(dir.path(), Env::Default());
    EXPECT_EQ(stats.files, c.files) << c.name;
    EXPECT_EQ(stats.words, c.words) << c.name;
    EXPECT_EQ(stats.fault, c.fault) << c.name;
  }
}

// Why a count is missing is a fact of its own, so that a front end words it
// without looking at the disk again.
TEST(CountBaseTest, SaysWhyACountIsMissing) {
  TempDir dir;
  std::filesystem::create_directory(dir / "fls.txt");
  WriteFile(dir / "wrds.txt", "AB\r\n0\r\n");
  BaseStatistics stats = CountBase(dir.path(), Env::Default());
  EXPECT_FALSE(stats.files);
  EXPECT_FALSE(stats.words);
  ASSERT_TRUE(stats.fault);
  EXPECT_EQ(stats.fault->reason, Reason::kFolder);
  EXPECT_EQ(
      BaseFileFaultText(dir.path(), *stats.fault),
      "Database file " + dir.path() + "/fls.txt is not found. You should add to base one or more directory first.");

  std::filesystem::remove(dir / "fls.txt");
  WriteFile(dir / "fls.txt", "a\r\n0\r\n");
  FaultInjectionEnv env;
  env.FailAll(EnvOp::kOpenRead, "wrds.txt", EACCES);
  stats = CountBase(dir.path(), env);
  EXPECT_EQ(stats.files, 1u);
  EXPECT_FALSE(stats.words);
  ASSERT_TRUE(stats.fault);
  EXPECT_EQ(stats.fault->name, kWordsFileName);
  EXPECT_EQ(stats.fault->reason, Reason::kCannotOpen);
  EXPECT_NE(stats.fault->error, "");
  EXPECT_EQ(BaseFileFaultText(dir.path(), *stats.fault), "Can't open file wrds.txt");
}

}  // namespace
}  // namespace veskara
