#include "search/file_lookup.h"

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::CrLf;
using testing::TempDir;
using testing::WriteFile;

using Pieces = std::vector<std::string_view>;

TEST(SplitNumberListTest, OnlyTheCommaSeparates) {
  struct Case {
    const char* list;
    Pieces pieces;
  } cases[] = {
      {"3", {"3"}},
      {"0,7,12", {"0", "7", "12"}},
      {",3,,5,", {"", "3", "", "5"}},  // empty pieces stay; nothing after the last comma
      {"", {""}},
      {",", {""}},
      {",,", {"", ""}},
      {"1 ,2", {"1 ", "2"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitNumberList(c.list), c.pieces) << c.list;
}

class FileLookupTest : public ::testing::Test {
 protected:
  std::vector<std::string> Rows(std::string_view numbers) { return ListFilesOfEntry(dir_.path(), numbers); }
  TempDir dir_;
};

TEST_F(FileLookupTest, RowsFollowTheNumberList) {
  WriteFile(dir_ / "fls.txt", CrLf({"/docs/a.htm", "0", "  /docs/b.htm\t", "1", "/docs/c.pdf", "3", "/docs/dup.htm",
                                    "3", "/docs/e.htm", "07"}));
  EXPECT_EQ(Rows("3,0,9,1"), (std::vector<std::string>{"/docs/c.pdf", "/docs/a.htm", "/docs/b.htm"}));
  EXPECT_EQ(Rows("7"), std::vector<std::string>{});  // compared as text
  EXPECT_EQ(Rows("1,1"), (std::vector<std::string>{"/docs/b.htm", "/docs/b.htm"}));
  EXPECT_EQ(Rows(",3,,5,"), std::vector<std::string>{"/docs/c.pdf"});
  EXPECT_EQ(Rows(""), std::vector<std::string>{});
  EXPECT_EQ(Rows("3 "), std::vector<std::string>{});
}

TEST_F(FileLookupTest, BarCutsThePathUnlessTheWholeLineExists) {
  WriteFile(dir_ / "odd|name.htm", "x");
  std::string existing = dir_ / "odd|name.htm";
  WriteFile(dir_ / "fls.txt",
            CrLf({"label| /docs/a.htm ", "1", "x|y|z", "2", existing, "3", " " + existing + " ", "4"}));
  EXPECT_EQ(Rows("1,2,3,4"), (std::vector<std::string>{"/docs/a.htm", "y|z", existing, existing}));
}

TEST_F(FileLookupTest, OddLinesArePathsAndEvenLinesNumbers) {
  // A path line that reads like a number is never taken for one; a last
  // path without a number line gives nothing.
  WriteFile(dir_ / "fls.txt", "5\r\n6\r\n/x\r\n5\r\n/last");
  EXPECT_EQ(Rows("5,6"), (std::vector<std::string>{"/x", "5"}));
  EXPECT_EQ(Rows("/last"), std::vector<std::string>{});
}

TEST_F(FileLookupTest, MissingFilesFileThrows) { EXPECT_THROW(Rows("1"), IoError); }

}  // namespace
}  // namespace veskara
