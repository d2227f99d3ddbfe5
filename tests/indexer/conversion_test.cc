// PDF documents during a scan: converted in a folder private to the scan,
// never in the current folder; a failure of the machine fails the scan; a
// document that cannot be read is recorded, counted and named.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_run.h"
#include "indexer/conversion_folder.h"
#include "pdf_maker.h"
#include "platform/errors.h"
#include "platform/fault_env.h"
#include "scan_test_util.h"
#include "search/search.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::MakePdf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Points TMPDIR at a folder of the test's own for its lifetime.
class ConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = getenv("TMPDIR");
    if (old != nullptr) old_tmpdir_ = old;
    std::filesystem::create_directories(tmp_ / "tmp");
    setenv("TMPDIR", (tmp_ / "tmp").c_str(), 1);
    base_ = tmp_ / "base";
    docs_ = tmp_ / "docs";
  }
  void TearDown() override {
    if (old_tmpdir_) {
      setenv("TMPDIR", old_tmpdir_->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  std::vector<std::string> TmpEntries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(tmp_ / "tmp")) names.push_back(e.path().filename());
    return names;
  }

  TempDir tmp_;
  std::optional<std::string> old_tmpdir_;
  std::string base_;
  std::string docs_;
};

// Regression guard: the text went to "temp___" in the current folder, which
// is "/" for a desktop launch (every PDF got no words) and removed a user's
// own file of that name.
TEST_F(ConversionTest, NeverTouchesTheCurrentFolder) {
  WriteFile(docs_ + "/a.pdf", MakePdf({"Hello converted world"}));
  WriteFile(tmp_ / "cwd/temp___", "the user's own file");
  const std::string cwd = Env::Default().CurrentDirectory();
  ASSERT_EQ(chdir((tmp_ / "cwd").c_str()), 0);
  RecordingObserver observer;
  RunScan(base_, docs_, observer);
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  EXPECT_EQ(ReadFile(tmp_ / "cwd/temp___"), "the user's own file");
  EXPECT_EQ(RunSearch(base_, "converted").entries.size(), 1u);
  EXPECT_TRUE(TmpEntries().empty()) << "the scan's folder stayed";
}

TEST_F(ConversionTest, FoldersOfScansThatDiedAreRemoved) {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);  // a process id that no longer runs
  const std::string dead = tmp_ / ("tmp/veskara-pdf-" + std::to_string(child) + "-abcdef");
  WriteFile(dead + "/temp___", "left by a killed scan");
  WriteFile(dead + "/.wpdf-1-0.tmp", "half a text");
  WriteFile(dead + "/2/temp___", "left by one of its jobs");
  WriteFile(tmp_ / "tmp/veskara-pdf-1-abcdef/temp___", "a live process's");  // pid 1 always runs
  WriteFile(docs_ + "/a.pdf", MakePdf({"Hello"}));
  RecordingObserver observer;
  RunScan(base_, docs_, observer);
  EXPECT_EQ(TmpEntries(), std::vector<std::string>{"veskara-pdf-1-abcdef"});
}

// No folder can be made anywhere: every PDF would fail the same way, so the
// scan fails, says why, and the old base stays.
TEST_F(ConversionTest, NoFolderForTheConversionFailsTheScan) {
  WriteFile(docs_ + "/a.pdf", MakePdf({"Hello"}));
  WriteFile(docs_ + "/b.htm", "page");
  FaultInjectionEnv env;
  env.FailAll(EnvOp::kMakePrivateDir, "", ENOSPC);
  RecordingObserver observer;
  try {
    RunScan(base_, docs_, observer, env);
    ADD_FAILURE() << "the scan went through";
  } catch (const IoError& e) {
    EXPECT_NE(std::string(e.what()).find("No folder can be made to convert PDF documents in"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("Disk full"), std::string::npos);
  }
  EXPECT_EQ(ReadBase(base_), BaseFiles{});
  // Pages alone need no folder.
  std::filesystem::remove(docs_ + "/a.pdf");
  EXPECT_NO_THROW(RunScan(base_, docs_, observer, env));
}

TEST_F(ConversionTest, DocumentsThatCannotBeReadAreCountedAndNamed) {
  WriteFile(docs_ + "/1 good.pdf", MakePdf({"Hello"}));
  WriteFile(docs_ + "/2 damaged.pdf", "%PDF-1.4 and nothing a parser can use");
  std::filesystem::copy_file(std::string(WPDF_TEST_DATA) + "/locked.pdf", docs_ + "/3 locked.pdf");
  ASSERT_EQ(mkfifo((docs_ + "/4 pipe.htm").c_str(), 0644), 0);
  std::filesystem::create_directories(docs_ + "/5 folder.htm");  // no document: not counted
  std::filesystem::create_symlink("nowhere", docs_ + "/6 gone.htm");
  WriteFile(docs_ + "/7 page.htm", "fine");
  const std::vector<UnreadDocument> expected = {
      {docs_ + "/2 damaged.pdf", "not a PDF document, or damaged beyond repair"},
      {docs_ + "/3 locked.pdf", "encrypted with a password"},
      {docs_ + "/4 pipe.htm", "not a regular file (a FIFO, socket or device)"},
      {docs_ + "/6 gone.htm", "File not found"},
  };

  std::filesystem::create_directories(base_);
  BaseState state;
  std::unique_ptr<Scan> scan = Scan::Prepare(base_, *StartMaskFor(docs_), state);
  RecordingObserver observer;
  scan->Run(observer);
  EXPECT_EQ(scan->Summary().added, 7u);
  EXPECT_EQ(scan->Summary().unread, expected);
  scan.reset();

  // The command line names them after its steps, and still exits 0.
  std::filesystem::remove_all(base_);
  const testing::CliOutcome add = testing::RunCli(tmp_.path(), {"--base", base_, "add", docs_});
  EXPECT_EQ(add.exit_code, 0);
  std::string listed = "4 files could not be read:\n";
  for (const UnreadDocument& d : expected) listed += d.path + "\t" + d.reason + "\n";
  EXPECT_TRUE(add.err.ends_with(listed)) << add.err;
}

// Conversions run side by side and finish in any order, but the base is the
// one a serial scan writes, byte for byte, and the unread documents are
// named in candidate order.
TEST_F(ConversionTest, ManyJobsWriteTheBaseOfOne) {
  const std::string locked = ReadFile(std::string(WPDF_TEST_DATA) + "/locked.pdf");
  for (int i = 0; i < 40; ++i) {
    const std::string stem = docs_ + "/d" + std::to_string(i / 10) + "/f" + std::to_string(i);
    const std::string word = "w" + std::to_string(i % 7) + " шаг" + std::to_string(i);
    switch (i % 5) {
      case 0:
        WriteFile(stem + ".htm", "<p>" + word + " page</p>");
        break;
      case 1:
        WriteFile(stem + ".pdf", "%PDF-1.4 damaged " + word);
        break;
      case 2:
        WriteFile(stem + ".pdf", locked);
        break;
      default: {
        // Longer and shorter documents, so that the children end out of order.
        std::vector<std::string> lines(1 + (i * 37) % 60, "Line of " + std::to_string(i) + " text");
        lines.push_back("Shared Words " + std::to_string(i % 3));
        WriteFile(stem + ".pdf", MakePdf(lines));
      }
    }
  }
  std::vector<UnreadDocument> unread[2];
  BaseFiles bases[2];
  const unsigned jobs[2] = {1, 4};
  for (int run = 0; run < 2; ++run) {
    std::filesystem::remove_all(base_);
    std::filesystem::create_directories(base_);
    BaseState state;
    std::unique_ptr<Scan> scan = Scan::Prepare(base_, *StartMaskFor(docs_), state, Env::Default(), {jobs[run]});
    RecordingObserver observer;
    scan->Run(observer);
    unread[run] = scan->Summary().unread;
    bases[run] = ReadBase(base_);
  }
  EXPECT_EQ(unread[0].size(), 16u);
  EXPECT_EQ(unread[1], unread[0]);
  EXPECT_EQ(bases[1], bases[0]);
  ASSERT_TRUE(bases[0].words.has_value());
  EXPECT_NE(bases[0].words->find("SHARED\r\n"), std::string::npos);
  EXPECT_TRUE(TmpEntries().empty()) << "a job's folder stayed";
}

}  // namespace
}  // namespace veskara
