#include "search/base_statistics.h"

#include <gtest/gtest.h>

#include <optional>

#include "test_util.h"

namespace veskara {
namespace {

using testing::TempDir;
using testing::WriteFile;

TEST(CountBaseTest, CountsHalfTheLinesOfEachFile) {
  using Text = std::optional<std::string>;
  struct Case {
    const char* name;
    Text fls;  // nullopt: the file is missing
    Text wrds;
    Text files_label;
    Text words_label;
  } cases[] = {
      {"no base", {}, {}, {}, {}},
      {"empty files", "", "", "0 files in the base", "0 words in the base"},
      {"one record each", "a\r\n0\r\n", "AB\r\n0\r\n", "1 files in the base", "1 words in the base"},
      {"nine lines", "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n", "", "4 files in the base", "0 words in the base"},
      {"words missing", "a\r\n0\r\n", {}, "1 files in the base", {}},
      {"files missing", {}, "AB\r\n0\r\n", {}, {}},
      {"last line without end", "a\r\n0", "AB\r\n0\r\nCD\r\n1", "1 files in the base", "2 words in the base"},
      {"ctrl-z opening a line ends the file",
       "a\r\n0\r\n\x1a"
       "b\r\n1\r\n",
       "", "1 files in the base", "0 words in the base"},
      {"ctrl-z inside a line ends its text only", "a\x1a\r\n0\r\nb\r\n1\r\n", "", "2 files in the base",
       "0 words in the base"},
      {"lone cr ends no line", "a\rb\r\n0\r\n", "", "1 files in the base", "0 words in the base"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.fls) WriteFile(dir / "fls.txt", *c.fls);
    if (c.wrds) WriteFile(dir / "wrds.txt", *c.wrds);
    BaseStatistics stats = CountBase(dir.path(), Env::Default());
    EXPECT_EQ(stats.files_label, c.files_label) << c.name;
    EXPECT_EQ(stats.words_label, c.words_label) << c.name;
  }
}

TEST(CountBaseTest, FolderNamedLikeABaseFileIsNoFile) {
  TempDir dir;
  std::filesystem::create_directory(dir / "fls.txt");
  WriteFile(dir / "wrds.txt", "AB\r\n0\r\n");
  BaseStatistics stats = CountBase(dir.path(), Env::Default());
  EXPECT_FALSE(stats.files_label);
  EXPECT_FALSE(stats.words_label);
}

}  // namespace
}  // namespace veskara
