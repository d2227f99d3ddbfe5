// `veskara-cli add`, run as the real program.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "base/commit.h"
#include "cli_run.h"
#include "scan_test_util.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::CrLf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

using Outcome = testing::CliOutcome;
using testing::RunCli;

// The steps are for a person watching a terminal; a log or a pipe gets the
// summary line that update prints, and --quiet silences the steps anywhere.
TEST(AddCommandTest, StepsOnATerminalOnlyAndTheSummaryAlways) {
  TempDir tmp;
  WriteFile(tmp / "docs/a.htm", "<p>hello</p>");
  WriteFile(tmp / "docs/sub/b.htm", "world");
  const std::string summary = "2 added, 0 updated, 0 removed, 0 could not be read";
  const std::string steps = "Step 1 of 4\r\nGetting files list...\r\nStep 2 of 4\r\nFiles processing...\r\n";
  const struct {
    bool terminal;
    bool quiet;
  } cases[] = {{false, false}, {false, true}, {true, false}, {true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.terminal ? "terminal" : "pipe") + (c.quiet ? ", quiet" : ""));
    const std::string base = tmp / (std::string("base") + (c.terminal ? "t" : "p") + (c.quiet ? "q" : ""));
    std::filesystem::create_directory(base);
    std::vector<std::string> args{"--base", base, "add"};
    if (c.quiet) args.push_back("--quiet");
    args.push_back(tmp / "docs");
    Outcome out;
    if (c.terminal) {
      if (!testing::CanMakeTerminal()) GTEST_SKIP() << "no pseudo-terminal can be made here";
      // script(1) gives the program a terminal for stdout and stderr alike.
      std::string command = VESKARA_CLI_PATH;
      for (const std::string& a : args) command += " '" + a + "'";
      out = RunCli(tmp.path(), {"-qec", command, "/dev/null"}, "/usr/bin/script");
      EXPECT_EQ(out.out.find(steps) == 0, !c.quiet) << out.out;
      EXPECT_EQ(out.out.find("Step") == std::string::npos, c.quiet) << out.out;
      EXPECT_TRUE(out.out.ends_with(summary + "\r\n")) << out.out;
    } else {
      out = RunCli(tmp.path(), args);
      EXPECT_EQ(out.err, "");
      EXPECT_EQ(out.out, summary + "\n");
    }
    EXPECT_EQ(out.exit_code, 0) << out.err;
    EXPECT_EQ(ReadFile(FilesFilePath(base)), CrLf({tmp / "docs/a.htm", "0", tmp / "docs/sub/b.htm", "1"}));
    EXPECT_EQ(ReadFile(WordsFilePath(base)), CrLf({"HELLO", "0", "WORLD", "1"}));
  }
}

TEST(AddCommandTest, JobsMustBeANumberOfConversions) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(tmp / "docs/a.htm", "hello");
  std::filesystem::create_directory(base);
  const struct {
    const char* value;
    int exit_code;
  } cases[] = {{"0", 2}, {"-1", 2}, {"many", 2}, {"65", 2}, {"", 2}, {"1", 0}, {"3", 0}, {"64", 0}};
  for (const auto& c : cases) {
    const Outcome out = RunCli(tmp.path(), {"--base", base, "add", "--jobs", c.value, tmp / "docs"});
    EXPECT_EQ(out.exit_code, c.exit_code) << "--jobs '" << c.value << "': " << out.err;
    if (c.exit_code == 2 && *c.value != '\0') {
      EXPECT_NE(out.err.find("--jobs takes a number from 1 to 64"), std::string::npos) << out.err;
    }
  }
  EXPECT_EQ(ReadFile(FilesFilePath(base)), CrLf({tmp / "docs/a.htm", "0"}));
}

TEST(AddCommandTest, BlankDirectoryTextDoesNothing) {
  TempDir tmp;
  const std::string base = tmp / "base";
  std::filesystem::create_directory(base);

  const Outcome out = RunCli(tmp.path(), {"--base", base, "add", " \t "});

  EXPECT_EQ(out.exit_code, 2);
  EXPECT_NE(out.err.find("blank"), std::string::npos) << out.err;
  EXPECT_TRUE(std::filesystem::is_empty(base));
}

TEST(AddCommandTest, RefusedWhileAnotherScanHoldsTheBase) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(tmp / "docs/a.htm", "hello");
  WriteFile(FilesFilePath(base), CrLf({"/x.htm", "0"}));
  WriteFile(WordsFilePath(base), CrLf({"XX", "0"}));
  const BaseFiles before = ReadBase(base);
  std::unique_ptr<BaseLock> other_scan = TryLockBase(base, Env::Default());

  const Outcome out = RunCli(tmp.path(), {"--base", base, "add", tmp / "docs"});

  EXPECT_EQ(out.exit_code, 2);
  EXPECT_EQ(out.err, "veskara-cli: Another scan is adding to this base; try again when it has finished.\n");
  EXPECT_EQ(ReadBase(base), before);
}

TEST(AddCommandTest, FailureGivesItsMessageAndExitCode2) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(FilesFilePath(base), CrLf({"/x.htm", "forty-one"}));
  WriteFile(WordsFilePath(base), CrLf({"XX", "0"}));

  const Outcome out = RunCli(tmp.path(), {"--base", base, "add", tmp.path()});

  EXPECT_EQ(out.exit_code, 2);
  EXPECT_EQ(out.err, "veskara-cli: 'forty-one' is not a valid integer value.\n");
}

// A commit that a crash interrupted is finished before the scan loads the
// base, so the new file takes the number after the committed ones.
TEST(AddCommandTest, FinishesAnInterruptedCommitFirst) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(tmp / "docs/a.htm", "hello");
  WriteFile(FilesFilePath(base), CrLf({"/old.htm", "0"}));
  WriteFile(WordsFilePath(base), CrLf({"OLD", "0"}));
  WriteFile(BaseFilePath(base, kFilesTempName), CrLf({"/old.htm", "0", "/mid.htm", "1"}));
  WriteFile(BaseFilePath(base, kWordsTempName), CrLf({"MID", "1", "OLD", "0"}));
  WriteFile(BaseFilePath(base, kCommitRecordName),
            "VESKARA COMMIT 1\r\nwrds.txt.new\r\nwrds.txt\r\nfls.txt.new\r\nfls.txt\r\nEND\r\n");

  const Outcome out = RunCli(tmp.path(), {"--base", base, "add", tmp / "docs"});

  EXPECT_EQ(out.exit_code, 0) << out.err;
  EXPECT_TRUE(BaseIsClean(base));
  EXPECT_EQ(ReadFile(FilesFilePath(base)), CrLf({"/old.htm", "0", "/mid.htm", "1", tmp / "docs/a.htm", "2"}));
  EXPECT_EQ(ReadFile(WordsFilePath(base)), CrLf({"HELLO", "2", "MID", "1", "OLD", "0"}));
}

// The real program killed at random moments: the next run finds a whole base.
TEST(AddCommandTest, KilledProgramLeavesTheOldOrTheNewBase) {
  TempDir tmp;
  const std::string base = tmp / "base";
  const std::string docs = tmp / "docs";
  for (int i = 0; i < 200; ++i) WriteFile(docs + "/f" + std::to_string(i) + ".htm", "w" + std::to_string(i) + " all");
  auto write_old = [&] { WriteLegacyBase(base, CrLf({"ALL", "0"}), CrLf({"/old.htm", "0"})); };
  write_old();
  const BaseFiles old_base = ReadBase(base);
  ASSERT_EQ(RunCli(tmp.path(), {"--base", base, "add", docs}).exit_code, 0);
  const BaseFiles new_base = ReadBase(base);

  std::mt19937 random(7);
  for (int round = 0; round < 15; ++round) {
    write_old();
    pid_t child = fork();
    if (child == 0) {
      freopen("/dev/null", "w", stderr);
      execl(VESKARA_CLI_PATH, VESKARA_CLI_PATH, "--base", base.c_str(), "add", docs.c_str(), nullptr);
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    // Any command of the program recovers first.
    RunCli(tmp.path(), {"--base", base, "stats"});
    EXPECT_TRUE(BaseIsClean(base));
    const BaseFiles now = ReadBase(base);
    EXPECT_TRUE(now == old_base || now == new_base);
  }
}

}  // namespace
}  // namespace veskara
