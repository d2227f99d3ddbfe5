#include "search/file_lookup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "base/commit.h"
#include "fault_env.h"
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
  std::vector<std::string> Rows(std::string_view numbers) {
    return ListFilesOfEntry(dir_.path(), numbers, Env::Default());
  }
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

TEST_F(FileLookupTest, MissingFilesFileThrows) {
  EXPECT_THROW(Rows("1"), IoError);
  const std::string_view lists[] = {"1"};
  EXPECT_THROW(ListFilesOfEntries(dir_.path(), lists, Env::Default()), IoError);
}

TEST_F(FileLookupTest, FilesOfAllEntriesComeOnceInRecordOrder) {
  WriteFile(dir_ / "fls.txt", CrLf({"/d/a.htm", "0", "tag|/d/b.htm", "1", "/d/c.pdf", "2", "/d/a.htm", "3", "/d/e.htm",
                                    "4", "/d/late.htm", "2", "/d/z.htm", "07"}));
  struct Case {
    std::vector<std::string_view> lists;
    std::vector<std::string> rows;
  } cases[] = {
      {{"4,1", "2,0"}, {"/d/a.htm", "/d/b.htm", "/d/c.pdf", "/d/e.htm"}},
      {{"2"}, {"/d/c.pdf"}},       // the first record of a number, as the lookup of one entry
      {{"3", "0"}, {"/d/a.htm"}},  // two records of one path: one row
      {{"7", "9", ""}, {}},        // numbers compared as texts; unknown ones give nothing
      {{"07,,1,"}, {"/d/b.htm", "/d/z.htm"}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ListFilesOfEntries(dir_.path(), c.lists, Env::Default()), c.rows) << ::testing::PrintToString(c.lists);
  }
}

// Differential: the rows of every entry looked up one by one, merged in the
// order of their records and each row kept once.
TEST_F(FileLookupTest, FilesOfAllEntriesAreTheUnionOfEachEntrysFiles) {
  std::mt19937 rng(3);
  // Mostly numbers as a scan writes them; some that only compare as texts
  // ("07", a blank, more digits than fit a small table, an empty one).
  auto number = [&rng] {
    const std::string n = std::to_string(rng() % 25);
    switch (rng() % 12) {
      case 0:
        return "0" + n;
      case 1:
        return n + " ";
      case 2:
        return "12345678" + n;
      case 3:
        return std::string();
      default:
        return n;
    }
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> records;  // path, number, path, number, ...
    for (size_t r = rng() % 30; r > 0; --r) {
      records.push_back("/d/" + std::to_string(rng() % 20) + ".htm");
      records.push_back(number());
    }
    std::string bytes;
    for (const std::string& line : records) bytes += line + "\r\n";
    WriteFile(dir_ / "fls.txt", bytes);
    std::vector<std::string> list_texts;
    for (size_t l = rng() % 6; l > 0; --l) {
      std::string list;
      for (size_t n = 1 + rng() % 5; n > 0; --n) list += number() + (n > 1 ? "," : "");
      if (rng() % 8 == 0) list += ",";
      list_texts.push_back(list);
    }
    const std::vector<std::string_view> lists(list_texts.begin(), list_texts.end());
    // The first record of each number, as a one-entry lookup finds it.
    std::vector<size_t> record_of_rows;
    std::vector<std::string> union_of_rows;
    for (std::string_view list : lists) {
      for (std::string_view n : SplitNumberList(list)) {
        for (size_t r = 0; r + 1 < records.size(); r += 2) {
          if (records[r + 1] == n) {
            record_of_rows.push_back(r);
            break;
          }
        }
      }
      for (std::string& row : ListFilesOfEntry(dir_.path(), list, Env::Default()))
        union_of_rows.push_back(std::move(row));
    }
    std::sort(record_of_rows.begin(), record_of_rows.end());
    std::vector<std::string> expected;
    for (size_t r : record_of_rows) {
      if (std::find(expected.begin(), expected.end(), records[r]) == expected.end()) expected.push_back(records[r]);
    }
    ASSERT_EQ(ListFilesOfEntries(dir_.path(), lists, Env::Default()), expected) << "round " << round;
    std::sort(union_of_rows.begin(), union_of_rows.end());
    union_of_rows.erase(std::unique(union_of_rows.begin(), union_of_rows.end()), union_of_rows.end());
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(union_of_rows, expected) << "round " << round;
  }
}

TEST_F(FileLookupTest, FindListsTheFilesOfWhatTheSearchFinds) {
  WriteFile(dir_ / "wrds.txt", CrLf({"CAT", "2,0", "COW", "1", "DOG", "0,9"}));
  WriteFile(dir_ / "fls.txt", CrLf({"/d/a.htm", "0", "/d/b.htm", "1", "/d/c.htm", "2"}));
  struct Case {
    const char* query;
    SearchOutcome::Status status;
    std::vector<std::string> rows;
  } cases[] = {
      {"c", SearchOutcome::Status::kDone, {"/d/a.htm", "/d/b.htm", "/d/c.htm"}},
      {"cat dog", SearchOutcome::Status::kDone, {"/d/a.htm"}},
      {"d", SearchOutcome::Status::kDone, {"/d/a.htm"}},  // 9 has no record
      {"zebra", SearchOutcome::Status::kDone, {}},
      {"***", SearchOutcome::Status::kNothingToDo, {}},
  };
  for (const Case& c : cases) {
    FoundFiles found = FindFiles(dir_.path(), c.query, SearchOptions{}, Env::Default());
    EXPECT_EQ(found.search.status, c.status) << c.query;
    EXPECT_EQ(found.rows, c.rows) << c.query;
  }
  // Nothing found: fls.txt is not needed.
  std::filesystem::remove(dir_ / "fls.txt");
  EXPECT_TRUE(FindFiles(dir_.path(), "zebra", SearchOptions{}, Env::Default()).rows.empty());
  EXPECT_THROW(FindFiles(dir_.path(), "cat", SearchOptions{}, Env::Default()), IoError);
}

// "-WORD" pieces leave files out; a "-" inside a piece separates words as
// the written search has it.
TEST(SplitLeftOutWordsTest, PiecesThatBeginWithADash) {
  struct Case {
    const char* typed;
    const char* searched;
    std::vector<std::string> left_out;
  } cases[] = {
      {"apple", "apple", {}},
      {"apple -banana pie", "apple pie", {"BANANA"}},
      {"  -ban\t apple-pie ", "apple-pie", {"BAN"}},
      {"-a-b c", "c", {"A", "B"}},
      {"x - -- y", "x y", {}},
      {"-only", "", {"ONLY"}},
      {"\xd0\xbe\xd1\x82 -\xd1\x91\xd0\xb6", "\xEE\xF2", {"\xA8\xC6"}},  // от -ёж, UTF-8 in, Windows-1251 out
      {"a\xe2\x98\x83-b", "a -b", {}},  // a character without a form separates, but makes no piece
  };
  for (const Case& c : cases) {
    const SplitQuery split = SplitLeftOutWords(c.typed);
    EXPECT_EQ(split.searched, c.searched) << c.typed;
    EXPECT_EQ(split.left_out, c.left_out) << c.typed;
  }
}

// A left-out word leaves out every file whose number stands in the list of
// a word that begins with it (Ё as Е when folded); the entries are those of
// the search of the other words.
TEST_F(FileLookupTest, FindLeavesOutTheFilesOfLeftOutWords) {
  // CAT, COW, DOG, ЁЖИК, ЕЛЬ
  WriteFile(dir_ / "wrds.txt",
            CrLf({"CAT", "0,1,2", "COW", "1,3", "DOG", "0,2", "\xA8\xC6\xC8\xCA", "2", "\xC5\xCB\xDC", "3"}));
  WriteFile(dir_ / "fls.txt", CrLf({"/d/a.htm", "0", "/d/b.htm", "1", "/d/c.htm", "2", "/d/d.htm", "3"}));
  struct Case {
    const char* typed;
    bool fold;
    std::vector<std::string> rows;
    size_t entries;
  } cases[] = {
      {"c", false, {"/d/a.htm", "/d/b.htm", "/d/c.htm", "/d/d.htm"}, 2},
      {"c -dog", false, {"/d/b.htm", "/d/d.htm"}, 2},
      {"c -do -cow", false, {}, 2},
      {"c -c", false, {}, 2},
      {"cat -\xd0\xb5", false, {"/d/a.htm", "/d/b.htm", "/d/c.htm"}, 1},  // -е: only ЕЛЬ, in file 3
      {"cat -\xd0\xb5", true, {"/d/a.htm", "/d/b.htm"}, 1},               // folded, ЁЖИК too
      {"c -zebra", false, {"/d/a.htm", "/d/b.htm", "/d/c.htm", "/d/d.htm"}, 2},
  };
  for (const Case& c : cases) {
    const FoundFiles found =
        FindFiles(dir_.path(), SplitLeftOutWords(c.typed), SearchOptions{.fold_yo = c.fold}, Env::Default());
    EXPECT_EQ(found.search.status, SearchOutcome::Status::kDone) << c.typed;
    EXPECT_EQ(found.search.entries.size(), c.entries) << c.typed;
    EXPECT_EQ(found.rows, c.rows) << c.typed << (c.fold ? " folded" : "");
    EXPECT_FALSE(found.only_left_out);
  }
  // Only left-out words: nothing is read at all.
  std::filesystem::remove(dir_ / "wrds.txt");
  const FoundFiles only = FindFiles(dir_.path(), SplitLeftOutWords("-cat -dog"), SearchOptions{}, Env::Default());
  EXPECT_TRUE(only.only_left_out);
  EXPECT_EQ(only.search.status, SearchOutcome::Status::kNothingToDo);
  EXPECT_FALSE(FindFiles(dir_.path(), SplitLeftOutWords("***"), SearchOptions{}, Env::Default()).only_left_out);
}

// Regression: find read wrds.txt whole before it opened fls.txt; an update
// committing in between paired the old words with the new paths (files of
// neither base, with exit 0).
TEST(FindFilesTest, OneBaseWhenACommitLandsBetweenTheReads) {
  // The update drops b and adds c; WORD stands in all three.
  const std::vector<std::string> before{"/d/a.htm", "/d/b.htm"};
  const std::vector<std::string> after{"/d/a.htm", "/d/c.htm"};
  const struct {
    EnvOp op;
    const char* file;
    std::vector<std::string> rows;
  } cases[] = {
      {EnvOp::kOpenRead, "/wrds.txt", after},  // before anything is open
      {EnvOp::kOpenRead, "/fls.txt", after},   // between the opens: both are opened again
      {EnvOp::kRead, "/wrds.txt", before},     // both are open: the old pair is read to the end
      {EnvOp::kRead, "/fls.txt", before},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile(dir / "wrds.txt", CrLf({"WORD", "0,1"}));
    WriteFile(dir / "fls.txt", CrLf({"/d/a.htm", "0", "/d/b.htm", "1"}));
    // The temporaries of the update, for a real commit to swap in.
    WriteFile(dir / "wrds.txt.new", CrLf({"WORD", "0,2"}));
    WriteFile(dir / "fls.txt.new", CrLf({"/d/a.htm", "0", "/d/c.htm", "2"}));
    WriteFile(dir / "fls.txt.all", CrLf({"/d/a.htm", "0", "/d/b.htm", "1", "/d/c.htm", "2"}));
    FaultInjectionEnv env;
    bool committed = false;
    env.SetHook([&](EnvOp op, const std::string& path, int) {
      if (op == c.op && path.ends_with(c.file) && !committed) {
        committed = true;
        CommitBase(*TryLockBase(dir.path(), Env::Default()), Env::Default());
      }
      return 0;
    });
    const FoundFiles found = FindFiles(dir.path(), "WORD", {}, env);
    EXPECT_TRUE(committed) << EnvOpName(c.op) << " " << c.file;
    EXPECT_EQ(found.rows, c.rows) << EnvOpName(c.op) << " " << c.file;
  }
}

// A base whose files change between every two opens gives no result at
// all rather than a mixed one.
TEST(FindFilesTest, ABaseThatNeverRestsIsAFailure) {
  TempDir dir;
  WriteFile(dir / "wrds.txt", CrLf({"WORD", "0"}));
  WriteFile(dir / "fls.txt", CrLf({"/d/a.htm", "0"}));
  WriteFile(dir / "fls.other", CrLf({"/d/b.htm", "0"}));
  FaultInjectionEnv env;
  env.SetHook([&](EnvOp op, const std::string& path, int) {
    if (op == EnvOp::kStat && path.ends_with("/fls.txt")) {
      std::filesystem::rename(dir / "fls.txt", dir / "fls.swap");
      std::filesystem::rename(dir / "fls.other", dir / "fls.txt");
      std::filesystem::rename(dir / "fls.swap", dir / "fls.other");
    }
    return 0;
  });
  EXPECT_THROW(FindFiles(dir.path(), "WORD", {}, env), IoError);
}

}  // namespace
}  // namespace veskara
