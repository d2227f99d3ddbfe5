// Faults of the disk, the documents and the process: after each the base
// loads, passes the consistency check, is the old or the new one, and the
// program said what went wrong.
//
// Built twice: as part of the normal tests with small sizes, and with
// VESKARA_HEAVY as veskara_hardening_heavy (200,000 files in one folder,
// many more kills), which only tools/hardening.sh heavy runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/base.h"
#include "cli_run.h"
#include "fault_env.h"
#include "indexer/scan_test_util.h"
#include "platform/errors.h"
#include "platform/text_file.h"
#include "search/base_check.h"
#include "search/file_lookup.h"
#include "search/search.h"
#include "test_util.h"

#ifndef VESKARA_HEAVY
#define VESKARA_HEAVY 0
#endif

namespace veskara {
namespace {

using testing::CrLf;
using testing::ReadFile;
using testing::RunCli;
using testing::TempDir;
using testing::WriteFile;

constexpr size_t kFilesInOneFolder = VESKARA_HEAVY ? 200000 : 5000;
constexpr int kKillRuns = VESKARA_HEAVY ? 300 : 25;

// The base loads and passes the check.
void ExpectSound(const std::string& base) {
  EXPECT_TRUE(BaseIsClean(base));
  const BaseCheck check = CheckBase(base, Env::Default());
  EXPECT_EQ(check.status, BaseCheck::Status::kConsistent) << check.problem;
  BaseState state;
  EXPECT_NO_THROW(LoadBase(base, state, Env::Default()));
}

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = dir_ / "base";
    docs_ = dir_ / "docs";
    WriteFile(WordsFilePath(base_), CrLf({"OLD", "0"}));
    WriteFile(FilesFilePath(base_), CrLf({"/old.htm", "0"}));
    old_ = ReadBase(base_);
  }

  BaseFiles Scan(ScanObserver& observer) {
    RunScan(base_, docs_, observer);
    return ReadBase(base_);
  }

  TempDir dir_;
  std::string base_;
  std::string docs_;
  BaseFiles old_;
};

// Denied the base folder, a scan changes nothing and says why.
TEST_F(FaultTest, BaseDirectoryNotWritable) {
  WriteFile(docs_ + "/a.htm", "alpha");
  for (const EnvOp denied : {EnvOp::kLock, EnvOp::kOpenWrite}) {
    SCOPED_TRACE(EnvOpName(denied));
    FaultInjectionEnv env;
    env.FailAll(denied, "", EACCES);
    RecordingObserver observer;
    try {
      RunScan(base_, docs_, observer, env);
      ADD_FAILURE() << "the scan wrote into a folder it may not write";
    } catch (const IoError& failure) {
      EXPECT_STREQ(failure.what(), "File access denied");
    }
    EXPECT_EQ(ReadBase(base_), old_);
    ExpectSound(base_);
  }
}

// A folder in the place of a base file: every command says so, nothing is
// changed, and the folder is left alone.
TEST_F(FaultTest, BaseFileReplacedByFolder) {
  WriteFile(docs_ + "/a.htm", "alpha");
  for (const std::string& live : {WordsFilePath(base_), FilesFilePath(base_)}) {
    SCOPED_TRACE(live);
    const std::string kept = live + ".kept";
    std::filesystem::rename(live, kept);
    std::filesystem::create_directory(live);
    WriteFile(live + "/inside", "x");
    for (const std::vector<std::string>& command :
         std::vector<std::vector<std::string>>{{"add", docs_}, {"search", "old"}, {"files", "0"}, {"check"}}) {
      std::vector<std::string> args = {"--base", base_};
      args.insert(args.end(), command.begin(), command.end());
      const testing::CliOutcome outcome = RunCli(dir_.path(), args);
      const bool wrds_lookup = command[0] == "files" && live == WordsFilePath(base_);
      const bool fls_search = command[0] == "search" && live == FilesFilePath(base_);
      if (wrds_lookup || fls_search) {
        // These read only the other file, which is whole.
        EXPECT_EQ(outcome.exit_code, 0) << command[0];
      } else {
        EXPECT_EQ(outcome.exit_code, 2) << command[0];
        EXPECT_NE(outcome.err, "") << command[0];
      }
    }
    EXPECT_EQ(ReadFile(live + "/inside"), "x");
    std::filesystem::remove_all(live);
    std::filesystem::rename(kept, live);
    EXPECT_EQ(ReadBase(base_), old_);
    ExpectSound(base_);
  }
}

// Changes the documents the moment step 2 begins, after the walk found them.
class ChangingObserver : public RecordingObserver {
 public:
  explicit ChangingObserver(std::function<void()> change) : change_(std::move(change)) {}
  void SetProgress(size_t done, size_t total) override {
    if (done == 0 && change_) std::exchange(change_, nullptr)();
    RecordingObserver::SetProgress(done, total);
  }

 private:
  std::function<void()> change_;
};

// Files that vanish or turn into folders or FIFOs after discovery give no
// words, are still recorded (as the files that could not be read always
// are), and the scan finishes.
TEST_F(FaultTest, DocumentsChangeBetweenDiscoveryAndReading) {
  WriteFile(docs_ + "/a.htm", "alpha");
  WriteFile(docs_ + "/b.htm", "beta");
  WriteFile(docs_ + "/c.htm", "gamma");
  WriteFile(docs_ + "/d.pdf", "%PDF-1.4 not really");
  WriteFile(docs_ + "/e.htm", "epsilon");
  ChangingObserver observer([&] {
    std::filesystem::remove(docs_ + "/b.htm");
    std::filesystem::remove(docs_ + "/c.htm");
    std::filesystem::create_directory(docs_ + "/c.htm");
    std::filesystem::remove(docs_ + "/d.pdf");
    ASSERT_EQ(::mkfifo((docs_ + "/d.pdf").c_str(), 0644), 0);
  });
  const BaseFiles after = Scan(observer);
  EXPECT_EQ(*after.words, CrLf({"ALPHA", "1", "EPSILON", "5", "OLD", "0"}));
  EXPECT_EQ(*after.files, *old_.files + CrLf({docs_ + "/a.htm", "1", docs_ + "/b.htm", "2", docs_ + "/c.htm", "3",
                                              docs_ + "/d.pdf", "4", docs_ + "/e.htm", "5"}));
  ExpectSound(base_);
}

// Regression guard: a page that grows while it is read (a log someone
// writes to) kept the scan reading for as long as the writer wrote. It is
// read up to the size it had when opened: the words that were there are
// found, the growth is not read, and the scan ends.
TEST_F(FaultTest, DocumentGrowsWhileRead) {
  std::string page = "<p>start</p>\r\n";
  for (int i = 0; i < 100000; ++i) page += "filler words on a line\r\n";  // several reads
  const std::string path = docs_ + "/grows.htm";
  WriteFile(path, page);
  FaultInjectionEnv env;
  env.SetHook([&](EnvOp op, const std::string& at, int) {
    if (op == EnvOp::kRead && at == path) {
      std::ofstream(path, std::ios::app | std::ios::binary) << std::string(1 << 20, 'x') << " appended text\r\n";
    }
    return 0;
  });
  RecordingObserver observer;
  EXPECT_NO_THROW(RunScan(base_, docs_, observer, env));
  const SearchOutcome found = RunSearch(base_, "start", Env::Default());
  ASSERT_EQ(found.entries.size(), 1u);
  EXPECT_EQ(found.entries[0].numbers, "1");
  EXPECT_TRUE(RunSearch(base_, "appended", Env::Default()).entries.empty());
  ExpectSound(base_);
}

// A tree 2,000 levels deep is walked to its bottom without running out of
// stack, and the file there is indexed.
TEST_F(FaultTest, TreeTwoThousandLevelsDeep) {
  constexpr int kLevels = 2000;
  std::filesystem::create_directories(docs_);
  // One level at a time, relative to the one above (as deep as this, tools
  // that take whole paths give up).
  int fd = ::open(docs_.c_str(), O_RDONLY | O_DIRECTORY);
  for (int level = 0; level < kLevels && fd >= 0; ++level) {
    ASSERT_EQ(::mkdirat(fd, "d", 0755), 0) << "level " << level;
    const int below = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = below;
  }
  ASSERT_GE(fd, 0);
  const int file = ::openat(fd, "deep.htm", O_WRONLY | O_CREAT, 0644);
  ASSERT_EQ(::write(file, "bottom", 6), 6);
  ::close(file);
  ::close(fd);
  WriteFile(docs_ + "/top.htm", "top");

  RecordingObserver observer;
  RunScan(base_, docs_, observer);
  std::string deep = docs_;
  for (int level = 0; level < kLevels; ++level) deep += "/d";
  deep += "/deep.htm";
  const SearchOutcome found = RunSearch(base_, "bottom", Env::Default());
  ASSERT_EQ(found.entries.size(), 1u);
  EXPECT_TRUE(ListFilesOfEntry(base_, found.entries[0].numbers, Env::Default()) == std::vector<std::string>{deep});
  EXPECT_EQ(RunSearch(base_, "top", Env::Default()).entries.size(), 1u);
  ExpectSound(base_);
}

// Many files in one folder, each with its own word and one shared word.
TEST_F(FaultTest, ManyFilesInOneFolder) {
  std::filesystem::create_directories(docs_);
  for (size_t i = 0; i < kFilesInOneFolder; ++i) {
    WriteFile(docs_ + "/f" + std::to_string(i) + ".htm", "shared w" + std::to_string(i));
  }
  RecordingObserver observer;
  RunScan(base_, docs_, observer);
  EXPECT_EQ(CountLines(FilesFilePath(base_), Env::Default()), 2 * (kFilesInOneFolder + 1));
  const SearchOutcome shared = RunSearch(base_, "shared", Env::Default());
  ASSERT_EQ(shared.entries.size(), 1u);
  EXPECT_EQ(SplitNumberList(shared.entries[0].numbers).size(), kFilesInOneFolder);
  ExpectSound(base_);
}

// Names that are not UTF-8 are recorded as their bytes and found again.
TEST_F(FaultTest, NamesWithInvalidUtf8) {
  const std::vector<std::string> names = {"/\xFF\xFE.htm", "/\xC3(/\x80.htm", "/ok\xE2\x82.htm", "/\xED\xA0\x80.htm"};
  for (size_t i = 0; i < names.size(); ++i) WriteFile(docs_ + names[i], "word" + std::to_string(i));
  RecordingObserver observer;
  RunScan(base_, docs_, observer);
  for (size_t i = 0; i < names.size(); ++i) {
    const SearchOutcome found = RunSearch(base_, "word" + std::to_string(i), Env::Default());
    ASSERT_EQ(found.entries.size(), 1u) << i;
    EXPECT_EQ(ListFilesOfEntry(base_, found.entries[0].numbers, Env::Default()),
              std::vector<std::string>{docs_ + names[i]});
  }
  const testing::CliOutcome listed = RunCli(dir_.path(), {"--base", base_, "files", "1,2,3,4"});
  EXPECT_EQ(listed.exit_code, 0);
  EXPECT_NE(listed.out.find(docs_ + "/\xFF\xFE.htm\n"), std::string::npos);
  ExpectSound(base_);
}

// `veskara-cli add` killed at random moments, over many runs: the next
// command (here `check`, which recovers first) finds the old or the new
// base, whole.
TEST_F(FaultTest, KilledScanAtRandomMoments) {
  for (int i = 0; i < 300; ++i) {
    WriteFile(docs_ + "/p" + std::to_string(i) + ".htm", "page" + std::to_string(i) + " common text");
  }
  // The new base, from an undisturbed scan of a copy.
  const std::string reference = dir_ / "reference";
  std::filesystem::copy(base_, reference);
  ASSERT_EQ(RunCli(dir_.path(), {"--base", reference, "add", docs_}).exit_code, 0);
  const BaseFiles new_base = ReadBase(reference);

  // Kill times spread over the length of an undisturbed run.
  std::filesystem::remove_all(reference);
  std::filesystem::copy(base_, reference);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(RunCli(dir_.path(), {"--base", reference, "add", docs_}).exit_code, 0);
  const auto length = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);

  std::mt19937 random(6);
  std::uniform_int_distribution<int64_t> moment(0, length.count() * 3 / 2);
  int old_seen = 0;
  int new_seen = 0;
  for (int run = 0; run < kKillRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    std::filesystem::remove_all(base_);
    WriteFile(WordsFilePath(base_), *old_.words);
    WriteFile(FilesFilePath(base_), *old_.files);
    const pid_t child = ::fork();
    if (child == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      ::execl(VESKARA_CLI_PATH, VESKARA_CLI_PATH, "--base", base_.c_str(), "add", docs_.c_str(), nullptr);
      ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);

    const testing::CliOutcome check = RunCli(dir_.path(), {"--base", base_, "check"});
    ASSERT_EQ(check.exit_code, 0) << check.err;
    const BaseFiles after = ReadBase(base_);
    ASSERT_TRUE(after == old_ || after == new_base);
    (after == old_ ? old_seen : new_seen)++;
    ExpectSound(base_);
  }
  // Which outcomes occur depends on the machine's speed; both are whole.
  std::printf("killed scans: %d left the old base, %d the new one\n", old_seen, new_seen);
}

}  // namespace
}  // namespace veskara
