// The consistency check of a base, in the core and as `veskara-cli check`.
#include "search/base_check.h"

#include <gtest/gtest.h>

#include <string>

#include "base/base_files.h"
#include "cli_run.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::CrLf;
using testing::RunCli;
using testing::TempDir;
using testing::WriteFile;

struct Case {
  const char* name;
  std::string words;  // lines joined with "|" and ended with CR LF each
  std::string files;
  BaseCheck::Status status;
  const char* problem;  // the whole message, or "" for a consistent base
};

std::string Lines(const std::string& joined) {
  if (joined.empty()) return "";
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t bar = joined.find('|', start);
    out += joined.substr(start, bar == std::string::npos ? std::string::npos : bar - start) + "\r\n";
    if (bar == std::string::npos) return out;
    start = bar + 1;
  }
}

const BaseCheck::Status kOk = BaseCheck::Status::kConsistent;
const BaseCheck::Status kBad = BaseCheck::Status::kInconsistent;
const std::string kFiles = "/a|0|/b|2|/c|7";

TEST(BaseCheckTest, FindsTheFirstBrokenRule) {
  const Case cases[] = {
      {"consistent", "AB|0,7|CD|2|\xC0\xC1|7,2,0", kFiles, kOk, ""},
      {"empty base", "", "", kOk, ""},
      {"words of the old base before the new files", "AB|0", kFiles, kOk, ""},
      {"far-apart numbers", "AB|2000000000,0", "/a|0|/b|2000000000", kOk, ""},
      {"far-apart numbers, one unknown", "AB|2000000000,5", "/a|0|/b|2000000000", kBad,
       "wrds.txt line 2: the number \"5\" is not a number line of fls.txt"},
      {"far-apart numbers, one twice", "AB|2000000000,0,2000000000", "/a|0|/b|2000000000", kBad,
       "wrds.txt line 2: the number \"2000000000\" stands twice in the list"},
      {"odd wrds.txt", "AB|0|CD", kFiles, kBad, "wrds.txt line 3: a word without its number list"},
      {"odd fls.txt", "AB|0", "/a|0|/b", kBad, "fls.txt line 3: a path without its number line"},
      {"unsorted", "CD|0|AB|2", kFiles, kBad, "wrds.txt line 3: the word \"AB\" does not come after \"CD\""},
      {"twice", "AB|0|AB|2", kFiles, kBad, "wrds.txt line 3: the word \"AB\" does not come after \"AB\""},
      {"small letters", "Ab|0", kFiles, kBad,
       "wrds.txt line 1: the word \"Ab\" holds a byte that is not a word character"},
      {"empty word", "|0", kFiles, kBad, "wrds.txt line 1: an empty word line"},
      {"unknown number", "AB|0,3", kFiles, kBad, "wrds.txt line 2: the number \"3\" is not a number line of fls.txt"},
      {"number in another form", "AB|07", kFiles, kBad,
       "wrds.txt line 2: the number \"07\" is not a number line of fls.txt"},
      {"number twice", "AB|2,0,2", kFiles, kBad, "wrds.txt line 2: the number \"2\" stands twice in the list"},
      {"empty piece", "AB|0,,2", kFiles, kBad, "wrds.txt line 2: an empty piece in the number list \"0,,2\""},
      {"trailing comma", "AB|0,", kFiles, kBad, "wrds.txt line 2: an empty piece in the number list \"0,\""},
      {"empty list", "AB|", kFiles, kBad, "wrds.txt line 2: an empty piece in the number list \"\""},
      {"numbers going down", "AB|0", "/a|5|/b|3", kBad,
       "fls.txt line 4: the number 3 is not greater than the one before it"},
      {"number repeated", "AB|0", "/a|5|/b|5", kBad,
       "fls.txt line 4: the number 5 is not greater than the one before it"},
      {"leading zero", "AB|0", "/a|05", kBad, "fls.txt line 2: \"05\" is not a file number"},
      {"beyond 32 bits", "AB|0", "/a|2147483648", kBad, "fls.txt line 2: \"2147483648\" is not a file number"},
      {"path in the number's place", "AB|0", "/a|/b|0", kBad, "fls.txt line 2: \"/b\" is not a file number"},
      // Regression guard: bytes of a hostile file reached the terminal as they were.
      {"escape sequence", "A\x1b[31mB|0", kFiles, kBad,
       "wrds.txt line 1: the word \"A\\x1b[31mB\" holds a byte that is not a word character"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteFile(WordsFilePath(dir.path()), Lines(c.words));
    WriteFile(FilesFilePath(dir.path()), Lines(c.files));
    const BaseCheck check = CheckBase(dir.path(), Env::Default());
    EXPECT_EQ(check.status, c.status);
    EXPECT_EQ(check.problem, c.problem);
  }
}

TEST(BaseCheckTest, LineRulesApplyAsEveryReaderSeesThem) {
  TempDir dir;
  // LF alone, a last line without its end, and a Ctrl-Z that ends the file
  // before a damaged tail: all as the search and the lookup read them.
  WriteFile(WordsFilePath(dir.path()), "AB\n0\r\nCD\r\n2\x1A\r\n\x1Ajunk\r\n");
  WriteFile(FilesFilePath(dir.path()), "/a\r\n0\n/b\r\n2");
  EXPECT_EQ(CheckBase(dir.path(), Env::Default()).status, kOk);
}

// Regression: a 1 GB line in stamps.txt cost 3.1 GB and 13 to 25 seconds
// per command, and check called it consistent: it is damage, named.
TEST(BaseCheckTest, RememberedLinesLongerThanAnyRecordAreDamage) {
  const std::string huge(100'000, 'x');
  const struct {
    std::string folders, stamps;
    std::string problem;
  } cases[] = {
      {"", CrLf({"7", "0\tf\t1\t1\t" + huge}),
       "stamps.txt line 2: longer than 65536 bytes, more than any record; remove the file to go on without what it "
       "remembers"},
      {"", huge + "\r\n",
       "stamps.txt line 1: longer than 65536 bytes, more than any record; remove the file to go "
       "on without what it remembers"},
      {CrLf({"/a", "1", "/" + huge, "1"}), "",
       "folders.txt line 3: longer than 65536 bytes, more than any record; remove the file to go on without what it "
       "remembers"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile(WordsFilePath(dir.path()), Lines("AB|0"));
    WriteFile(FilesFilePath(dir.path()), Lines("/a|0"));
    if (!c.folders.empty()) WriteFile(dir / "folders.txt", c.folders);
    if (!c.stamps.empty()) WriteFile(dir / "stamps.txt", c.stamps);
    const BaseCheck check = CheckBase(dir.path(), Env::Default());
    EXPECT_EQ(check.status, kBad);
    EXPECT_EQ(check.problem, c.problem);
  }
}

TEST(BaseCheckTest, MissingFilesAreNamed) {
  TempDir dir;
  EXPECT_EQ(CheckBase(dir.path(), Env::Default()).status, BaseCheck::Status::kMissing);
  EXPECT_EQ(CheckBase(dir.path(), Env::Default()).problem, WordsFilePath(dir.path()) + " is not found");
  WriteFile(WordsFilePath(dir.path()), "");
  EXPECT_EQ(CheckBase(dir.path(), Env::Default()).problem, FilesFilePath(dir.path()) + " is not found");
}

TEST(CheckCommandTest, ExitCodesAndMessages) {
  TempDir dir;
  const std::string base = dir / "base";
  auto check = [&] { return RunCli(dir.path(), {"--base", base, "check"}); };

  WriteFile(WordsFilePath(base), CrLf({"AB", "0"}));
  testing::CliOutcome missing = check();
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_EQ(missing.err, "veskara-cli: " + FilesFilePath(base) + " is not found\n");

  WriteFile(FilesFilePath(base), CrLf({"/a", "0"}));
  testing::CliOutcome good = check();
  EXPECT_EQ(good.exit_code, 0);
  EXPECT_EQ(good.out, "The base is consistent.\n");
  EXPECT_EQ(good.err, "");

  WriteFile(WordsFilePath(base), CrLf({"\xCF\xD0", "0", "AB", "0"}));
  testing::CliOutcome bad = check();
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_EQ(bad.err, "veskara-cli: wrds.txt line 3: the word \"AB\" does not come after \"ПР\"\n");

  EXPECT_EQ(RunCli(dir.path(), {"--base", base, "check", "extra"}).exit_code, 2);
}

}  // namespace
}  // namespace veskara
