// veskara-cli as scripts see it: the built program run on real base files,
// its stdout, stderr and exit code.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "cli/commands.h"
#include "cli_run.h"
#include "fault_env.h"
#include "pdf_maker.h"
#include "platform/paths.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::CliOutcome;
using testing::CrLf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class CliTest : public ::testing::Test {
 protected:
  CliOutcome Cli(const std::vector<std::string>& args, const std::string& program = VESKARA_CLI_PATH) {
    CliOutcome run = testing::RunCli(scratch_.path(), args, program);
    EXPECT_NE(run.exit_code, -1) << program << " did not exit normally";
    return run;
  }
  // veskara-cli --base <base> args...
  CliOutcome OnBase(std::vector<std::string> args) {
    args.insert(args.begin(), {"--base", base_.path()});
    return Cli(args);
  }
  void Words(const std::string& bytes) { WriteFile(base_ / "wrds.txt", bytes); }
  void Files(const std::string& bytes) { WriteFile(base_ / "fls.txt", bytes); }
  // What search and stats say of a base file that is not there.
  std::string Missing(const std::string& name) {
    return "Database file " + base_.path() + "/" + name +
           " is not found. You should add to base one or more directory first.\n";
  }

  TempDir base_;
  TempDir scratch_;
};

TEST_F(CliTest, SearchPrintsEntriesWithTheirNumbers) {
  // ДОМ and ДОЖДЬ in Windows-1251.
  Words(CrLf({"CAT", "0,1", "COW", "1", "DOG", "0", "\xC4\xCE\xC6\xC4\xDC", "2", "\xC4\xCE\xCC", "1"}));
  CliOutcome run = OnBase({"search", "c", "dog"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "CAT ... DOG\t0\n");
  EXPECT_EQ(run.err, "");
  // The UTF-8 query is encoded to Windows-1251 and the words decoded back.
  run = OnBase({"search", "до"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "ДОЖДЬ\t2\nДОМ\t1\n");
  // A character without a Windows-1251 form separates words.
  run = OnBase({"search", "c☃d"});
  EXPECT_EQ(run.out, "CAT ... DOG\t0\n");
}

TEST_F(CliTest, SearchExitCodes) {
  Words(CrLf({"CAT", "0"}));
  struct Case {
    std::vector<std::string> query;
    int code;
    std::string err;
  } cases[] = {
      {{"zebra"}, 1, "Nothing was found...\n"},
      {{"***", "--"}, 2, "no word to search for\n"},
      {{"☃"}, 2, "no word to search for\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"search"};
    args.insert(args.end(), c.query.begin(), c.query.end());
    CliOutcome run = OnBase(args);
    EXPECT_EQ(run.exit_code, c.code) << c.query[0];
    EXPECT_EQ(run.err, c.err) << c.query[0];
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(CliTest, SearchWithoutBaseSaysWhereItLooked) {
  CliOutcome run = OnBase({"search", "cat"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.err, Missing("wrds.txt"));
  EXPECT_EQ(run.out, "");
}

TEST_F(CliTest, TooManyEntriesAreReportedOnceAndShown) {
  std::vector<std::string> lines;
  for (int i = 0; i < 30; ++i) lines.insert(lines.end(), {"A" + std::to_string(100 + i), "1"});
  for (int i = 0; i < 30; ++i) lines.insert(lines.end(), {"B" + std::to_string(100 + i), "1"});
  std::string bytes;
  for (const std::string& l : lines) bytes += l + "\r\n";
  Words(bytes);
  Files(CrLf({"/d/a.htm", "1"}));
  CliOutcome run = OnBase({"search", "a", "b", "b"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "Too many words found! Please define more exact search criteria!\n");
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 501);
  // find: the files of the entries kept, then the same message.
  run = OnBase({"find", "a", "b", "b"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "/d/a.htm\n");
  EXPECT_EQ(run.err, "Too many words found! Please define more exact search criteria!\n");
  // In one stream, such as a terminal, the message follows the paths.
  run = Cli({"-c", "exec \"$0\" \"$@\" 2>&1", VESKARA_CLI_PATH, "--base", base_.path(), "find", "a", "b", "b"},
            "/bin/sh");
  EXPECT_EQ(run.out, "/d/a.htm\nToo many words found! Please define more exact search criteria!\n");
}

TEST_F(CliTest, FindListsTheFilesOfAllEntriesInBaseOrder) {
  // ОТЧЁТ and ОТЧЕТ in Windows-1251.
  Words(CrLf({"CAT", "2,0", "COW", "1,0", "DOG", "0,3", "\xCE\xD2\xD7\xA8\xD2", "3", "\xCE\xD2\xD7\xC5\xD2", "1"}));
  Files(CrLf({"/d/a.htm", "0", "tag|/d/b.htm", "1", "/d/c.pdf", "2", "/d/d.htm", "3"}));
  const struct {
    std::vector<std::string> args;
    int code;
    std::string out;
    std::string err;
  } cases[] = {
      {{"c"}, 0, "/d/a.htm\n/d/b.htm\n/d/c.pdf\n", ""},
      {{"cow", "dog"}, 0, "/d/a.htm\n", ""},
      {{"d-c"}, 0, "/d/a.htm\n", ""},
      {{"отчет"}, 0, "/d/b.htm\n", ""},
      {{"--fold-yo", "отчет"}, 0, "/d/b.htm\n/d/d.htm\n", ""},
      {{"zebra"}, 1, "", "Nothing was found...\n"},
      {{"***"}, 2, "", "no word to search for\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"find"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliOutcome run = OnBase(args);
    EXPECT_EQ(run.exit_code, c.code) << c.args.back();
    EXPECT_EQ(run.out, c.out) << c.args.back();
    EXPECT_EQ(run.err, c.err) << c.args.back();
  }
  // Words whose numbers have no record in fls.txt.
  Files(CrLf({"/d/z.htm", "9"}));
  const CliOutcome none = OnBase({"find", "cat"});
  EXPECT_EQ(none.exit_code, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "No file of the base has the numbers of the found words\n");
}

// find's options: filters by folder, kind and time, orders, the --long and
// --line columns, NUL-ended rows and left-out words, computed by the core.
TEST_F(CliTest, FindFiltersSortsAndShowsColumns) {
  TempDir docs;
  const std::string a = docs / "a/one.htm";
  const std::string b = docs / "b/Two.pdf";
  const std::string c = docs / "a/three.php";
  const std::string gone = docs / "b/gone.htm";
  WriteFile(a, "<p>apple pie</p>\n<p>banana</p>\n");
  WriteFile(b, "not really a PDF");
  WriteFile(c, "nothing\nan apple and a banana\n");
  auto set_time = [](const std::string& path, time_t seconds, size_t size) {
    std::filesystem::resize_file(path, size);
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  };
  set_time(a, 1700000000, 40);  // 2023-11-14T22:13:20Z
  set_time(b, 1710000000, 16);  // 2024-03-09T16:00:00Z
  set_time(c, 1705000000, 30);  // 2024-01-11T19:06:40Z
  // APPLE in every file, BANANA in a and c.
  Words(CrLf({"APPLE", "0,1,2,3", "BANANA", "0,2", "PIE", "0"}));
  Files(CrLf({a, "0", b, "1", c, "2", gone, "3"}));
  auto local = [](time_t seconds) { return LocalTimeText(int64_t{seconds} * 1'000'000'000); };
  const struct {
    std::vector<std::string> args;
    int code;
    std::string out;
    std::string err = "";
  } cases[] = {
      {{"apple"}, 0, a + "\n" + b + "\n" + c + "\n" + gone + "\n"},
      {{"--sort", "name", "apple"}, 0, gone + "\n" + a + "\n" + c + "\n" + b + "\n"},
      {{"--sort=path", "--reverse", "apple"}, 0, gone + "\n" + b + "\n" + c + "\n" + a + "\n"},
      {{"--sort", "modified", "apple"}, 0, a + "\n" + c + "\n" + b + "\n" + gone + "\n"},
      {{"--sort", "modified", "--reverse", "apple"}, 0, b + "\n" + c + "\n" + a + "\n" + gone + "\n"},
      {{"--sort", "size", "apple"}, 0, b + "\n" + c + "\n" + a + "\n" + gone + "\n"},
      {{"--under", docs / "a", "apple"}, 0, a + "\n" + c + "\n"},
      {{"--under", docs / "a/", "--under", docs / "b/gone.htm", "apple"}, 0, a + "\n" + c + "\n" + gone + "\n"},
      {{"--kind", "pdf", "apple"}, 0, b + "\n"},
      {{"--kind", "pdf", "--kind", "page", "apple"}, 0, a + "\n" + b + "\n" + c + "\n" + gone + "\n"},
      {{"--newer", "2024-01-01T00:00Z", "apple"}, 0, b + "\n" + c + "\n"},
      {{"--older", "2024-01-11T19:06:40Z", "apple"}, 0, a + "\n"},
      {{"--newer", "2023-11-14T22:13:20Z", "--older", "2024-03-09T16:00Z", "apple"}, 0, a + "\n" + c + "\n"},
      {{"--long", "--kind", "page", "apple"},
       0,
       a + "\t40\t" + local(1700000000) + "\tpage\n" + c + "\t30\t" + local(1705000000) + "\tpage\n" + gone +
           "\t-\t-\tpage\n"},
      {{"--line", "banana"}, 0, a + "\t2:banana\n" + c + "\t2:an apple and a banana\n"},
      {{"--long", "--line", "--under", docs / "a", "pie"},
       0,
       a + "\t40\t" + local(1700000000) + "\tpage\t1:apple pie\n"},
      {{"--line", "--sort", "size", "apple"},
       0,
       b + "\t\n" + c + "\t2:an apple and a banana\n" + a + "\t1:apple pie\n" + gone + "\t\n"},
      {{"-0", "banana"}, 0, a + std::string(1, '\0') + c + std::string(1, '\0')},
      // Left-out words.
      {{"apple", "-banana"}, 0, b + "\n" + gone + "\n"},
      {{"apple", "-ban", "-pi"}, 0, b + "\n" + gone + "\n"},
      {{"apple", "-apple"}, 1, "", "No file is left after the filters\n"},
      {{"--", "-apple"}, 2, "", "veskara-cli: the query only leaves words out (-WORD); name a word to search for\n"},
      // Nothing left.
      {{"--kind", "pdf", "banana"}, 1, "", "No file is left after the filters\n"},
      {{"--newer", "2030-01-01", "apple"}, 1, "", "No file is left after the filters\n"},
      // Values it cannot take.
      {{"--sort", "date", "apple"}, 2, "", "veskara-cli: --sort takes path, name, modified or size, not 'date'\n"},
      {{"--kind", "doc", "apple"},
       2,
       "",
       "veskara-cli: --kind takes page, pdf, text, docx, xlsx, pptx, odt, ods, odp or epub, not 'doc'\n"},
      {{"--newer", "31.05.2024", "apple"},
       2,
       "",
       "veskara-cli: --newer takes a date (2024-05-31) or a date and time (2024-05-31T14:30), not '31.05.2024'\n"},
  };
  for (const auto& t : cases) {
    std::vector<std::string> args{"find"};
    args.insert(args.end(), t.args.begin(), t.args.end());
    const CliOutcome run = OnBase(args);
    std::string line;
    for (const std::string& arg : t.args) line += arg + " ";
    EXPECT_EQ(run.exit_code, t.code) << line;
    EXPECT_EQ(run.out, t.out) << line;
    EXPECT_EQ(run.err, t.err) << line;
  }
}

// "~" on the command line, unexpanded by a shell (quoted, or from a
// script), is the home folder.
TEST_F(CliTest, FindUnderTheHomeFolder) {
  TempDir home;
  WriteFile(home / "docs/a.htm", "apple");
  Words(CrLf({"APPLE", "0,1"}));
  Files(CrLf({home / "docs/a.htm", "0", "/elsewhere/b.htm", "1"}));
  const CliOutcome run = Cli({"-c", "HOME=\"$0\" exec \"$1\" --base \"$2\" find --under '~/docs' apple", home.path(),
                              VESKARA_CLI_PATH, base_.path()},
                             "/bin/sh");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, home / "docs/a.htm" + "\n");
}

TEST_F(CliTest, SearchFoldsYoOnlyWhenAsked) {
  // ЁЖИК and ЕЖ in Windows-1251.
  Words(CrLf({"\xC5\xC6", "0", "\xA8\xC6\xC8\xCA", "1"}));
  EXPECT_EQ(OnBase({"search", "еж"}).out, "ЕЖ\t0\n");
  EXPECT_EQ(OnBase({"search", "--fold-yo", "еж"}).out, "ЕЖ\t0\nЁЖИК\t1\n");
  EXPECT_EQ(OnBase({"search", "--fold-yo", "ЁЖ"}).out, "ЕЖ\t0\nЁЖИК\t1\n");
}

TEST_F(CliTest, ShowPrintsTheMatchingLines) {
  TempDir docs;
  WriteFile(docs / "page.htm", "<h1>Отчёт</h1>\n<p>Planting <b>plans</b>, planted.</p>\nnothing\n\x1b]0;x\x07plan\n");
  WriteFile(docs / "doc.pdf", testing::MakePdfPages({{"first page"}, {"plans here"}}));
  WriteFile(docs / "bad.pdf", "no document");
  const std::string red = "\x1b[01;31m";
  const std::string off = "\x1b[m";
  const struct {
    std::vector<std::string> args;
    int code;
    std::string out;
    std::string err;
  } cases[] = {
      {{docs / "page.htm", "plan"}, 0, "2:Planting plans, planted.\n4:]0;x plan\n", ""},
      {{"--color=never", docs / "page.htm", "PLANS"}, 0, "2:Planting plans, planted.\n", ""},
      {{"--color", "always", docs / "page.htm", "plans"},
       0,
       "\x1b[32m2" + off + "\x1b[36m:" + off + "Planting " + red + "plans" + off + ", planted.\n",
       ""},
      {{docs / "page.htm", "отчет"}, 1, "", "Nothing was found...\n"},
      {{"--fold-yo", docs / "page.htm", "отчет"}, 0, "1:Отчёт\n", ""},
      {{docs / "doc.pdf", "plan", "first"}, 0, "p.1:first page\np.2:plans here\n", ""},
      {{docs / "page.htm", "***"}, 2, "", "no word to search for\n"},
      {{docs / "bad.pdf", "x"},
       2,
       "",
       "veskara-cli: " + docs / "bad.pdf" + ": not a PDF document, or damaged beyond repair\n"},
      {{docs / "none.htm", "x"}, 2, "", "veskara-cli: " + docs / "none.htm" + ": File not found\n"},
      {{"--color=sometimes", docs / "page.htm", "x"}, 2, "", "veskara-cli: --color takes auto, always or never\n"},
      // --color alone is auto: no colour into a file.
      {{"--color", docs / "page.htm", "PLANS"}, 0, "2:Planting plans, planted.\n", ""},
      {{"-H", docs / "page.htm", "plans"}, 0, docs / "page.htm" + ":2:Planting plans, planted.\n", ""},
      {{"-H", "--color=always", docs / "doc.pdf", "first"},
       0,
       "\x1b[35m" + docs / "doc.pdf" + off + "\x1b[36m:" + off + "\x1b[32mp.1" + off + "\x1b[36m:" + off + red +
           "first" + off + " page\n",
       ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"show"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliOutcome run = OnBase(args);
    EXPECT_EQ(run.exit_code, c.code) << c.args[c.args.size() - 1];
    EXPECT_EQ(run.out, c.out) << c.args[c.args.size() - 1];
    EXPECT_EQ(run.err, c.err) << c.args[c.args.size() - 1];
  }
}

// Regression: show of a 200 MB one-line page took 6.8 GB. A long line is
// read in bounded memory and printed cut around its first match, marked.
TEST_F(CliTest, ShowCutsALongLineAndSaysSo) {
  TempDir docs;
  std::string words;
  for (int i = 0; i < 3000; ++i) words += "word ";
  WriteFile(docs / "long.htm", words + "plan " + words + "\nshort plan\n");
  const CliOutcome run = OnBase({"show", docs / "long.htm", "plan"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_TRUE(run.out.starts_with("1:\u2026word word ")) << run.out.substr(0, 40);
  EXPECT_TRUE(run.out.ends_with(" word\u2026\n2:short plan\n")) << run.out.substr(run.out.size() - 40);
  EXPECT_NE(run.out.find(" word plan word "), std::string::npos);
  EXPECT_LT(run.out.size(), 4096u + 40u);
  EXPECT_EQ(run.err,
            "veskara-cli: 1 line is longer than 4096 characters: shown cut around the first match, \u2026 where "
            "characters were left out\n");
}

// show reads no base: an interrupted commit is left for the commands that do.
TEST_F(CliTest, ShowLeavesTheBaseAlone) {
  TempDir docs;
  WriteFile(docs / "page.htm", "words");
  WriteFile(base_ / "wrds.txt.new", "CA");
  const CliOutcome run = OnBase({"show", docs / "page.htm", "words"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "1:words\n");
  EXPECT_TRUE(std::filesystem::exists(base_ / "wrds.txt.new"));
}

// Regression guard: a list that is not integers, or numbers the base does
// not hold, printed nothing and exited 0.
TEST_F(CliTest, FilesListsPathsInListOrder) {
  Files(CrLf({"/d/a.htm", "0", "tag|/d/b.htm", "1", "/d/c.pdf", "2"}));
  const struct {
    const char* list;
    int code;
    std::string out;
    std::string err;
  } cases[] = {
      {"2,0,9,1", 0, "/d/c.pdf\n/d/a.htm\n/d/b.htm\n", ""},
      {"7,9", 1, "", "No file of the base has these numbers\n"},
      {"abc", 2, "", "veskara-cli: 'abc' in NUMBERLIST is not a valid integer value\n"},
      {"1,99999999999", 2, "", "veskara-cli: '99999999999' in NUMBERLIST is not a valid integer value\n"},
      {",3,,5,", 2, "", "veskara-cli: '' in NUMBERLIST is not a valid integer value\n"},
  };
  for (const auto& c : cases) {
    const CliOutcome run = OnBase({"files", c.list});
    EXPECT_EQ(run.exit_code, c.code) << c.list;
    EXPECT_EQ(run.out, c.out) << c.list;
    EXPECT_EQ(run.err, c.err) << c.list;
  }
}

TEST_F(CliTest, FilesWithoutFilesFileFails) {
  CliOutcome run = OnBase({"files", "1"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.err, "veskara-cli: File not found.\n");
}

// Base files that are not plain readable files: a folder is no base file;
// a FIFO is refused without blocking the program.
TEST_F(CliTest, BaseFilesThatAreNoPlainFiles) {
  struct Case {
    const char* kind;
    std::vector<std::string> args;
    int code;
    std::string out;
    std::string err;
  } cases[] = {
      {"folder", {"search", "cat"}, 2, "", Missing("wrds.txt")},
      {"folder", {"files", "0"}, 2, "", "veskara-cli: File access denied.\n"},
      {"folder", {"stats"}, 2, "", Missing("fls.txt")},
      {"fifo", {"search", "cat"}, 2, "", "Can't open file wrds.txt\n"},
      {"fifo", {"stats"}, 2, "", "Can't open file fls.txt\n"},
  };
  for (const Case& c : cases) {
    for (const char* name : {"wrds.txt", "fls.txt"}) {
      std::filesystem::remove_all(base_ / name);
      if (std::string(c.kind) == "folder") {
        std::filesystem::create_directory(base_ / name);
      } else {
        ASSERT_EQ(mkfifo((base_ / name).c_str(), 0644), 0);
      }
    }
    CliOutcome run = OnBase(c.args);
    EXPECT_EQ(run.exit_code, c.code) << c.kind << " " << c.args[0];
    EXPECT_EQ(run.out, c.out) << c.kind << " " << c.args[0];
    EXPECT_EQ(run.err, c.err) << c.kind << " " << c.args[0];
  }
}

// Base files without read permission. Root reads them anyway, so as root the
// program runs as an unprivileged user, where setpriv is at hand.
TEST_F(CliTest, BaseFilesWithoutReadPermission) {
  std::vector<std::string> prefix;
  if (geteuid() == 0) {
    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "as root without setpriv";
    prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", VESKARA_CLI_PATH};
  }
  Words(CrLf({"CAT", "0"}));
  Files(CrLf({"/d/a.htm", "0"}));
  ASSERT_EQ(chmod((base_ / "wrds.txt").c_str(), 0), 0);
  ASSERT_EQ(chmod((base_ / "fls.txt").c_str(), 0), 0);
  ASSERT_EQ(chmod(base_.path().c_str(), 0755), 0);  // the folder itself stays searchable
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"--base", base_.path()});
    if (prefix.empty()) return Cli(args);
    args.insert(args.begin(), prefix.begin() + 1, prefix.end());
    return Cli(args, prefix[0]);
  };
  CliOutcome search = run({"search", "cat"});
  EXPECT_EQ(search.exit_code, 2);
  EXPECT_EQ(search.err, "Can't open file wrds.txt\n");
  CliOutcome files = run({"files", "0"});
  EXPECT_EQ(files.exit_code, 2);
  EXPECT_EQ(files.err, "veskara-cli: File access denied.\n");
  CliOutcome stats = run({"stats"});
  EXPECT_EQ(stats.exit_code, 2);
  EXPECT_EQ(stats.err, "Can't open file fls.txt\n");
  EXPECT_EQ(stats.out, "");
}

// A scan that crashed left a temporary file in a base folder that this user
// may read but not write, so the leftover cannot be cleared: the live files
// are still a whole base, and the reading commands read them.
TEST_F(CliTest, ReadOnlyBaseWithALeftoverOfACrashedScan) {
  if (geteuid() == 0 && access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "as root without setpriv";
  Words(CrLf({"CAT", "0"}));
  Files(CrLf({"/d/a.htm", "0"}));
  WriteFile(base_ / "wrds.txt.new", "CA");
  ASSERT_EQ(chmod(base_.path().c_str(), 0555), 0);
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"--base", base_.path()});
    if (geteuid() != 0) return Cli(args);
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", VESKARA_CLI_PATH});
    return Cli(args, "/usr/bin/setpriv");
  };
  CliOutcome search = run({"search", "cat"});
  EXPECT_EQ(search.exit_code, 0) << search.err;
  EXPECT_EQ(search.out, "CAT\t0\n");
  EXPECT_NE(search.err.find("File access denied"), std::string::npos) << search.err;
  CliOutcome files = run({"files", "0"});
  EXPECT_EQ(files.exit_code, 0) << files.err;
  EXPECT_EQ(files.out, "/d/a.htm\n");
  CliOutcome stats = run({"stats"});
  EXPECT_EQ(stats.exit_code, 0) << stats.err;
  EXPECT_EQ(stats.out, "1 files in the base\n1 words in the base\nbase folder: " + base_.path() + "\n");
  EXPECT_TRUE(std::filesystem::exists(base_ / "wrds.txt.new"));
}

// A base that cannot be counted is a failure naming the file: two empty
// lines and exit 0 once looked like a count to scripts.
TEST_F(CliTest, StatsCountsOrNamesTheMissingFile) {
  const std::optional<std::string> none;
  struct Case {
    std::optional<std::string> files, words;
    int code;
    std::string out;
    std::string err;
  } cases[] = {
      {none, none, 2, "", Missing("fls.txt")},
      {CrLf({"/d/a.htm", "0", "/d/b.htm", "1"}), none, 2, "", Missing("wrds.txt")},
      {none, CrLf({"AB", "0"}), 2, "", Missing("fls.txt")},
      {"", "", 0, "0 files in the base\n0 words in the base\n", ""},
      {CrLf({"/d/a.htm", "0", "/d/b.htm", "1"}), CrLf({"AB", "0"}), 0, "2 files in the base\n1 words in the base\n",
       ""},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(base_ / "fls.txt");
    std::filesystem::remove(base_ / "wrds.txt");
    if (c.files) Files(*c.files);
    if (c.words) Words(*c.words);
    CliOutcome run = OnBase({"stats"});
    const std::string which = std::string(c.files ? "fls.txt" : "-") + " " + (c.words ? "wrds.txt" : "-");
    EXPECT_EQ(run.exit_code, c.code) << which;
    EXPECT_EQ(run.out, c.out.empty() ? c.out : c.out + "base folder: " + base_.path() + "\n") << which;
    EXPECT_EQ(run.err, c.err) << which;
  }
}

// Regression: folders and unread on a missing base printed nothing with
// exit 0, as for a base that remembers nothing.
TEST_F(CliTest, FoldersAndUnreadNameAMissingBase) {
  for (const char* command : {"folders", "unread"}) {
    std::filesystem::remove(base_ / "fls.txt");
    std::filesystem::remove(base_ / "wrds.txt");
    CliOutcome run = OnBase({command});
    EXPECT_EQ(run.exit_code, 2) << command;
    EXPECT_EQ(run.err, Missing("fls.txt")) << command;
    Files(CrLf({"/d/a.htm", "0"}));
    run = OnBase({command});
    EXPECT_EQ(run.exit_code, 2) << command;
    EXPECT_EQ(run.err, Missing("wrds.txt")) << command;
    Words(CrLf({"AB", "0"}));
    run = OnBase({command});
    EXPECT_EQ(run.exit_code, 0) << command;
    EXPECT_EQ(run.out + run.err, "") << command;
  }
}

// Regression: messages that named no file. "File access denied." for a
// FIFO in place of stamps.txt, "File not found." for an update of a base
// that does not exist, "Invalid filename." when VESKARA_BASE names a file;
// and without HOME the base went beside the program.
TEST_F(CliTest, FailuresNameTheFileAndWhatIsWrong) {
  Words(CrLf({"CAT", "0"}));
  Files(CrLf({"/d/a.htm", "0"}));
  ASSERT_EQ(mkfifo((base_ / "stamps.txt").c_str(), 0600), 0);
  WriteFile(scratch_ / "file", "");
  const std::string env = "/usr/bin/env";
  const std::string cli = VESKARA_CLI_PATH;
  const struct {
    std::vector<std::string> args;
    std::string program;
    std::string err;
  } cases[] = {
      {{"--base", base_.path(), "unread"},
       cli,
       "veskara-cli: " + base_ / "stamps.txt" +
           " is a FIFO, socket or device, not a file; remove it to go on without what it remembers.\n"},
      {{"--base", base_ / "missing", "update"},
       cli,
       "veskara-cli: There is no base in " + base_ / "missing" +
           " (the folder does not exist): add a folder to it first; nothing was updated.\n"},
      {{"VESKARA_BASE=" + scratch_ / "file", cli, "update"},
       env,
       "veskara-cli: The base folder " + scratch_ / "file" + " (VESKARA_BASE) is a file, not a folder.\n"},
      {{"-u", "HOME", "-u", "XDG_DATA_HOME", "-u", "VESKARA_BASE", cli, "add", scratch_.path()},
       env,
       "veskara-cli: No folder is named for the base: HOME and XDG_DATA_HOME are not set to absolute paths; name one "
       "with VESKARA_BASE (or --base DIR)\n"},
  };
  for (const auto& c : cases) {
    const CliOutcome run = Cli(c.args, c.program);
    EXPECT_EQ(run.exit_code, 2) << c.args.back();
    EXPECT_EQ(run.err, c.err) << c.args.back();
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(cli).parent_path() / "wrds.txt"));
}

TEST_F(CliTest, UsageErrors) {
  struct Case {
    std::vector<std::string> args;
    std::string problem;
  } cases[] = {
      {{}, "no command given"},
      {{"frob"}, "unknown command frob"},
      {{"--base"}, "--base needs DIR"},
      {{"--bogus", "stats"}, "unknown option --bogus"},
      // Options of the program come before the command.
      {{"stats", "--base", "/tmp"}, "stats takes no operand"},
      {{"search"}, "search needs QUERY..."},
      {{"find", "--fold-yo"}, "find needs QUERY..."},
      {{"show", "page.htm"}, "show needs PATH QUERY..."},
      {{"show", "--color"}, "show needs PATH QUERY..."},  // --color alone is auto
      {{"show", "--color=", "p", "q"}, "--color needs WHEN"},
      {{"find", "--fold-yo=yes", "x"}, "--fold-yo takes no value"},
      {{"files"}, "files takes one NUMBERLIST"},
      {{"files", "1", "2"}, "files takes one NUMBERLIST"},
      {{"stats", "x"}, "stats takes no operand"},
      {{"check", "x"}, "check takes no operand"},
      {{"add"}, "add takes one DIRECTORY"},
      {{"add", "a", "b"}, "add takes one DIRECTORY"},
      // An empty folder name (an unset variable in a script, say) must not
      // mean the root folder.
      {{"--base", "", "stats"}, "--base needs DIR"},
      {{"--base=", "stats"}, "--base needs DIR"},
  };
  for (const Case& c : cases) {
    CliOutcome run = Cli(c.args);
    const std::string first_line = run.err.substr(0, run.err.find('\n') + 1);
    EXPECT_EQ(run.exit_code, 2) << c.problem;
    EXPECT_EQ(first_line, "veskara-cli: " + c.problem + "\n");
    EXPECT_TRUE(run.err.substr(first_line.size()).starts_with("usage: veskara-cli")) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(CliTest, HelpAndVersion) {
  CliOutcome help = Cli({"--help", "frob"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_TRUE(help.out.starts_with("usage: veskara-cli [--base DIR] add [--jobs N] [--quiet] DIRECTORY\n")) << help.out;
  EXPECT_NE(help.out.find("\nExit status: 0 done, 1 nothing was found, 2 a failure or a usage error.\n\n"
                          "The base folder: "),
            std::string::npos);
  CliOutcome version = Cli({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out, "veskara-cli 1.0\n");
}

// The program's options reach the command; after the command everything is
// an operand, so a query may begin with "-".
TEST_F(CliTest, OptionsAndOperands) {
  Words(CrLf({"CAT", "0,1", "DOG", "0"}));
  const std::string base = base_.path();
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--base=" + base, "search", "cat", "dog"},
           {"--base", base + "//", "--", "search", "cat", "dog"},
           {"--base", base, "search", "-cat", "--", "dog"},
       }) {
    CliOutcome run = Cli(args);
    EXPECT_EQ(run.exit_code, 0) << args[0] << " " << args[2] << run.err;
    EXPECT_EQ(run.out, "CAT ... DOG\t0\n") << args[0] << " " << args[2];
  }
}

// Output that cannot be written is a failure, whatever the command.
TEST_F(CliTest, UnwritableOutputFails) {
  Words(CrLf({"CAT", "0"}));
  Files(CrLf({"/d/a.htm", "0"}));
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"--help"}, {"--base", base_.path(), "search", "cat"}, {"--base", base_.path(), "check"}}) {
    args.insert(args.begin(), {"-c", "exec \"$0\" \"$@\" >/dev/full", VESKARA_CLI_PATH});
    CliOutcome run = Cli(args, "/bin/sh");
    EXPECT_EQ(run.exit_code, 2) << args[3];
    EXPECT_EQ(run.err, "veskara-cli: cannot write the output\n") << args[3];
  }
}

TEST_F(CliTest, BaseDefaultsToTheProgramsFolder) {
  std::filesystem::copy_file(VESKARA_CLI_PATH, base_ / "veskara-cli");
  Words(CrLf({"CAT", "0"}));
  CliOutcome run = Cli({"search", "cat"}, base_ / "veskara-cli");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "CAT\t0\n");
}

TEST_F(CliTest, AddThenSearchAndList) {
  TempDir tree;
  WriteFile(tree / "docs/a.htm", "<p>Hello <b>World</b></p>\n");
  CliOutcome add = OnBase({"add", tree.path()});
  ASSERT_EQ(add.exit_code, 0) << add.err;
  CliOutcome search = OnBase({"search", "wor"});
  EXPECT_EQ(search.exit_code, 0);
  EXPECT_EQ(search.out, "WORLD\t0\n");
  CliOutcome files = OnBase({"files", "0"});
  EXPECT_EQ(files.out, tree.path() + "/docs/a.htm\n");
  EXPECT_EQ(OnBase({"stats"}).out, "1 files in the base\n2 words in the base\nbase folder: " + base_.path() + "\n");
}

// Regression: unread printed the reasons of stamps.txt as they were, so a
// crafted one wrote to the clipboard of the terminal (OSC 52).
TEST_F(CliTest, UnreadEscapesReasonsOnATerminal) {
  Words(CrLf({"CAT", "0"}));
  Files(CrLf({"/d/a\x1b.pdf", "0"}));
  const std::string reason = "damaged \x1b]52;c;aGk=\x07";
  WriteFile(base_ / "stamps.txt", CrLf({"0", "0\tf\t1\t1\t" + reason}));
  if (!testing::CanMakeTerminal()) GTEST_SKIP() << "no pseudo-terminal can be made here";
  const std::string shown = testing::RunCliOnTerminal({"--base", base_.path(), "unread"});
  EXPECT_EQ(shown, "/d/a\\x1b.pdf\tdamaged \\x1b]52;c;aGk=\\x07\r\n");
  // A pipe gets the bytes, for scripts.
  EXPECT_EQ(OnBase({"unread"}).out, "/d/a\x1b.pdf\t" + reason + "\n");
}

// A base kept current from the command line: update, remove, folders and
// Regression guard: a folder that does not exist was "Done!..." with exit
// 0 and a rewritten base; under a file-size limit the program died of
// SIGXFSZ without a word; a folder whose name holds a line break was added
// and broke folders.txt. Each is a failure with its reason now.
TEST_F(CliTest, AddFailuresSayWhy) {
  TempDir tree;
  for (int i = 0; i < 200; ++i)
    WriteFile(tree / ("docs/p" + std::to_string(i) + ".htm"), "page words " + std::to_string(i));
  WriteFile(tree / "docs/line\nbreak/a.htm", "words");
  const struct {
    std::vector<std::string> args;
    std::string program;
    std::string err_ends;
  } cases[] = {
      {{"--base", base_.path(), "add", tree / "missing"},
       VESKARA_CLI_PATH,
       "veskara-cli: The folder " + tree / "missing" + " does not exist; nothing was added.\n"},
      {{"-c", "ulimit -f 1 && exec \"$0\" \"$@\"", VESKARA_CLI_PATH, "--base", base_.path(), "add", tree / "docs"},
       "/bin/sh",
       "veskara-cli: Disk full.\n"},
      {{"--base", base_.path(), "add", tree / "docs/line\nbreak"},
       VESKARA_CLI_PATH,
       "veskara-cli: The folder " + tree / "docs/line\\x0abreak" +
           " holds a line break or the byte 26, which the base cannot keep; nothing was added.\n"},
  };
  for (const auto& c : cases) {
    const CliOutcome run = Cli(c.args, c.program);
    EXPECT_EQ(run.exit_code, 2) << run.err;
    EXPECT_TRUE(run.err.ends_with(c.err_ends)) << run.err;
    EXPECT_FALSE(std::filesystem::exists(base_ / "wrds.txt"));
  }
}

// unread, end to end on the real program.
TEST_F(CliTest, UpdateRemoveFoldersAndUnread) {
  TempDir tree;
  WriteFile(tree / "docs/a.htm", "<p>alpha</p>");
  WriteFile(tree / "docs/b.pdf", "%PDF-1.4 damaged");
  ASSERT_EQ(OnBase({"add", tree / "docs"}).exit_code, 0);

  const CliOutcome folders = OnBase({"folders"});
  EXPECT_EQ(folders.exit_code, 0);
  EXPECT_TRUE(folders.out.starts_with(tree / "docs" + "\t2\t20")) << folders.out;  // a year in ISO 8601
  EXPECT_EQ(OnBase({"unread"}).out, tree / "docs/b.pdf" + "\tnot a PDF document, or damaged beyond repair\n");

  WriteFile(tree / "docs/c.htm", "<p>gamma</p>");
  const struct {
    std::vector<std::string> args;
    int code;
    std::string out;
  } steps[] = {
      {{"update"}, 0, "1 added, 0 updated, 0 removed, 0 could not be read\n"},
      {{"update"}, 0, "0 added, 0 updated, 0 removed, 0 could not be read\n"},
      // Read again and still unreadable: not read, not updated.
      {{"update", "--retry", tree / "docs"}, 0, "0 added, 0 updated, 0 removed, 1 could not be read\n"},
      {{"remove", tree / "elsewhere"}, 1, ""},
      {{"remove", tree / "docs/c.htm"}, 0, "0 added, 0 updated, 1 removed, 0 could not be read\n"},
  };
  for (const auto& step : steps) {
    const CliOutcome run = OnBase(step.args);
    EXPECT_EQ(run.exit_code, step.code) << step.args.back() << run.err;
    EXPECT_EQ(run.out, step.out) << step.args.back();
  }
  EXPECT_EQ(OnBase({"search", "gamma"}).exit_code, 1);
  EXPECT_EQ(OnBase({"check"}).exit_code, 0);
  // The removed page stays out of its folder, and folders says so.
  EXPECT_TRUE(OnBase({"folders"}).out.ends_with("\tonline\n\texcluded\t" + tree / "docs/c.htm" + "\n"));
}

// veskara-cli watch as a child whose output is read line by line as it is
// printed: the test waits on what the watcher says, never on time.
class WatchProcess {
 public:
  WatchProcess(const std::vector<std::string>& args, const std::string& scratch) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("no pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], STDOUT_FILENO);
      ::close(fds[0]);
      ::close(fds[1]);
      if (!std::freopen("/dev/null", "r", stdin) || !std::freopen((scratch + "/watch-stderr.txt").c_str(), "w", stderr))
        ::_exit(126);
      std::vector<char*> argv = {const_cast<char*>(VESKARA_CLI_PATH)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    out_ = ::fdopen(fds[0], "r");
  }
  ~WatchProcess() {
    if (pid_ > 0) Stop();
  }
  // The next line printed, without its LF; "" once the program has ended.
  std::string Line() {
    std::string line;
    for (int c; (c = std::fgetc(out_)) != EOF && c != '\n';) line.push_back(static_cast<char>(c));
    return line;
  }
  // SIGTERM, then the exit code (-1: it did not exit normally).
  int Stop() {
    ::kill(pid_, SIGTERM);
    while (std::fgetc(out_) != EOF) {
    }
    std::fclose(out_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
};

// watch end to end: it catches up, follows a new page and a deleted one
// into the base, and ends with exit 0 on SIGTERM, the base whole.
TEST_F(CliTest, WatchFollowsTheFoldersUntilStopped) {
  TempDir tree;
  WriteFile(tree / "docs/a.htm", "<p>alpha</p>");
  WriteFile(tree / "docs/sub/b.htm", "<p>beta</p>");
  ASSERT_EQ(OnBase({"add", tree / "docs"}).exit_code, 0);
  WatchProcess watch({"--base", base_.path(), "watch"}, scratch_.path());
  EXPECT_EQ(watch.Line(), "Watching 2 folders");
  EXPECT_EQ(watch.Line(), "0 added, 0 updated, 0 removed, 0 could not be read");

  WriteFile(tree / "docs/sub/new.htm", "<p>zebra</p>");
  std::filesystem::remove(tree / "docs/a.htm");
  size_t added = 0, removed = 0;
  while (added < 1 || removed < 1) {
    const std::string line = watch.Line();
    ASSERT_NE(line, "") << ReadFile(scratch_ / "watch-stderr.txt");
    size_t a = 0, u = 0, r = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%zu added, %zu updated, %zu removed", &a, &u, &r), 3) << line;
    added += a;
    removed += r;
  }
  EXPECT_EQ(added, 1u);
  EXPECT_EQ(removed, 1u);
  EXPECT_EQ(OnBase({"find", "zebra"}).out, tree / "docs/sub/new.htm" + "\n");
  EXPECT_EQ(OnBase({"search", "alpha"}).exit_code, 1);

  EXPECT_EQ(watch.Stop(), 0);
  EXPECT_EQ(ReadFile(scratch_ / "watch-stderr.txt"), "");
  EXPECT_EQ(OnBase({"check"}).exit_code, 0);
}

// An offline folder from the command line: `folders` says so, `update`
// keeps its files and names it, and an update that names it fails with
// exit 1, writing nothing.
TEST_F(CliTest, OfflineFolderIsKeptAndNamed) {
  TempDir tree;
  WriteFile(tree / "stick/a.htm", "<p>alpha</p>");
  WriteFile(tree / "stick/b.htm", "<p>beta</p>");
  ASSERT_EQ(OnBase({"add", tree / "stick"}).exit_code, 0);
  EXPECT_TRUE(OnBase({"folders"}).out.ends_with("\tonline\n"));
  std::filesystem::rename(tree / "stick", tree / "pulled out");
  const std::string files = ReadFile(base_ / "fls.txt");

  const CliOutcome folders = OnBase({"folders"});
  EXPECT_TRUE(folders.out.starts_with(tree / "stick" + "\t2\t")) << folders.out;
  EXPECT_TRUE(folders.out.ends_with("\toffline: missing\n")) << folders.out;
  const CliOutcome update = OnBase({"update"});
  EXPECT_EQ(update.exit_code, 0) << update.err;
  EXPECT_EQ(update.out,
            "0 added, 0 updated, 0 removed, 0 could not be read\n" + tree / "stick" + ": offline, 2 files kept\n");
  for (const std::string& named : {tree / "stick", tree / "no/such"}) {
    const CliOutcome refused = OnBase({"update", named});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "veskara-cli: The folder " + named + " is offline (missing); nothing was updated.\n");
  }
  EXPECT_EQ(ReadFile(base_ / "fls.txt"), files);
  // Remove is the one way to drop it.
  EXPECT_EQ(OnBase({"remove", tree / "stick"}).out, "0 added, 0 updated, 2 removed, 0 could not be read\n");
}

// Runs the command `name` of the table in this process, on `env`; its
// stderr comes back in *err.
ExitStatus RunCommand(std::string_view name, const std::string& base, std::vector<std::string> operands, Env& env,
                      std::string* err) {
  const auto commands = Commands();
  const auto command = std::find_if(commands.begin(), commands.end(), [&](const Command& c) { return c.name == name; });
  Invocation invocation{
      .env = &env, .base_directory = base, .options = {}, .option_lists = {}, .operands = std::move(operands)};
  ::testing::internal::CaptureStderr();
  const ExitStatus status = command->run(invocation);
  *err = ::testing::internal::GetCapturedStderr();
  return status;
}

// Regression: in a deleted current folder relative operands were taken from
// "/": `remove .` dropped every file of the base with exit 0 (and `update .`
// walked the whole machine, as `add .` did: FolderToScanTest). And
// `remove ''` and `update ''` took the current folder.
TEST_F(CliTest, OperandsThatNameNoFolderChangeNothing) {
  TempDir tree;
  WriteFile(tree / "docs/a.htm", "<p>alpha</p>");
  ASSERT_EQ(OnBase({"add", tree / "docs"}).exit_code, 0);
  const std::string words = ReadFile(base_ / "wrds.txt");
  const std::string files = ReadFile(base_ / "fls.txt");
  const std::string unknown = "The current folder cannot be read (it may have been deleted), so the relative path";
  const std::string empty = "veskara-cli: an empty operand names no folder";
  const struct {
    std::string current;  // "" as in a deleted folder
    std::string command;
    std::vector<std::string> operands;
    std::string err;
  } cases[] = {
      {"", "remove", {"."}, unknown},         {"", "remove", {tree / "docs/x.htm", "docs"}, unknown},
      {"", "update", {"docs"}, unknown},      {tree / "docs", "remove", {""}, empty},
      {tree / "docs", "update", {""}, empty},
  };
  for (const auto& c : cases) {
    FaultInjectionEnv env;
    env.SetCurrentDirectory(c.current);
    std::string err;
    EXPECT_EQ(RunCommand(c.command, base_.path(), c.operands, env, &err), ExitStatus::kFailure) << c.command;
    EXPECT_NE(err.find(c.err), std::string::npos) << err;
    EXPECT_EQ(ReadFile(base_ / "wrds.txt"), words) << c.command;
    EXPECT_EQ(ReadFile(base_ / "fls.txt"), files) << c.command;
  }
}

}  // namespace
}  // namespace veskara
