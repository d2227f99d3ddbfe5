// A base is never lost: crashes, kills and failed writes at every point of a
// scan leave, after recovery, the whole old base or the whole new one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "base/commit.h"
#include "platform/durable.h"
#include "platform/errors.h"
#include "scan_test_util.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::CrLf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// An old base of two files and a tree of new ones; `new_base` is what an
// undisturbed scan of the tree makes of the old base.
class DurabilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    docs_ = tmp_ / "docs";
    for (int i = 0; i < files_; ++i) {
      WriteFile(docs_ + "/d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".htm",
                "<p>word" + std::to_string(i) + " common <b>shared</b> w" + std::to_string(i % 13) + "</p>");
    }
    base_ = tmp_ / "base";
    WriteOldBase(base_);
    old_base_ = ReadBase(base_);
    const std::string reference = tmp_ / "reference";
    WriteOldBase(reference);
    RecordingObserver observer;
    RunScan(reference, docs_, observer);
    new_base_ = ReadBase(reference);
    ASSERT_NE(new_base_, old_base_);
  }

  void TearDown() override { SetDurableFaultHookForTesting(nullptr); }

  static void WriteOldBase(const std::string& base) {
    WriteFile(FilesFilePath(base), CrLf({"/old/a.htm", "0", "/old/b.htm", "1"}));
    WriteFile(WordsFilePath(base), CrLf({"COMMON", "1,0", "OLD", "0"}));
  }

  // After recovery the base is clean, loads, and is the old or the new one.
  // Returns true for the new one.
  bool RecoveredBaseIsOldOrNew() {
    RecoverBase(base_);
    EXPECT_TRUE(BaseIsClean(base_));
    BaseState state;
    EXPECT_NO_THROW(LoadBase(base_, state));
    const BaseFiles now = ReadBase(base_);
    EXPECT_TRUE(now == old_base_ || now == new_base_) << "a mixed or damaged base:\n"
                                                      << now.words.value_or("(none)") << "\n"
                                                      << now.files.value_or("(none)");
    return now == new_base_;
  }

  // Runs a scan in a child process that the hook may end; returns the
  // child's wait status.
  int ScanInChild(const std::function<void()>& in_child) {
    pid_t child = fork();
    if (child == 0) {
      in_child();
      try {
        RecordingObserver observer;
        RunScan(base_, docs_, observer);
      } catch (...) {
        _exit(1);
      }
      _exit(0);
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    return status;
  }

  TempDir tmp_;
  int files_ = 40;
  std::string docs_;
  std::string base_;
  BaseFiles old_base_;
  BaseFiles new_base_;
};

// The child is killed at its n-th operation on the disk (lock, copy, sync,
// directory sync, record, each rename, removal), before, during and after
// the commit.
TEST_F(DurabilityTest, KillAtEveryStepOfTheCommit) {
  bool finished = false;
  int kills = 0;
  for (int n = 1; n < 60 && !finished; ++n) {
    SCOPED_TRACE("killed at operation " + std::to_string(n));
    const int status = ScanInChild([n] {
      SetDurableFaultHookForTesting([n, count = 0](std::string_view, const std::string&) mutable {
        if (++count == n) raise(SIGKILL);
        return 0;
      });
    });
    if (WIFSIGNALED(status)) {
      ++kills;
    } else {
      ASSERT_TRUE(WIFEXITED(status));
      ASSERT_EQ(WEXITSTATUS(status), 0);
      finished = true;
    }
    const bool is_new = RecoveredBaseIsOldOrNew();
    if (finished) {
      EXPECT_TRUE(is_new);
    }
    // Back to the old base for the next round.
    WriteOldBase(base_);
  }
  EXPECT_TRUE(finished);
  EXPECT_GE(kills, 10);
}

TEST_F(DurabilityTest, KillWhileFilesAreRead) {
  for (size_t k : {size_t{0}, size_t{1}, size_t{20}, size_t{39}}) {
    SCOPED_TRACE("killed after file " + std::to_string(k));
    pid_t child = fork();
    if (child == 0) {
      struct Killer : RecordingObserver {
        size_t at = 0;
        void SetProgress(size_t done, size_t total) override {
          if (done == at + 1) raise(SIGKILL);
          RecordingObserver::SetProgress(done, total);
        }
      } observer;
      observer.at = k;
      RunScan(base_, docs_, observer);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_FALSE(RecoveredBaseIsOldOrNew());
  }
}

// Kills at random moments, with a fixed seed; each outcome must be whole.
TEST_F(DurabilityTest, KillAtRandomMoments) {
  std::mt19937 random(20261208);
  int olds = 0;
  int news = 0;
  for (int round = 0; round < 25; ++round) {
    pid_t child = fork();
    if (child == 0) {
      RecordingObserver observer;
      RunScan(base_, docs_, observer);
      _exit(0);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 15000));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    (RecoveredBaseIsOldOrNew() ? news : olds)++;
    WriteOldBase(base_);
  }
  // Which outcomes occur depends on the machine's speed; both are whole.
  EXPECT_EQ(olds + news, 25);
}

// Every operation on the disk fails once, as on a full disk: the scan reports
// "Disk full" and the old base stays; after the record is written the commit
// is decided, and recovery completes it.
TEST_F(DurabilityTest, FullDiskAtEveryOperation) {
  bool finished = false;
  for (int n = 1; n < 60 && !finished; ++n) {
    SCOPED_TRACE("failed at operation " + std::to_string(n));
    std::string failed_operation;
    SetDurableFaultHookForTesting([n, &failed_operation, count = 0](std::string_view op, const std::string&) mutable {
      if (++count != n) return 0;
      failed_operation = op;
      return ENOSPC;
    });
    try {
      RecordingObserver observer;
      RunScan(base_, docs_, observer);
      finished = failed_operation.empty();
    } catch (const IoError& e) {
      EXPECT_STREQ(e.what(), "Disk full");
    }
    SetDurableFaultHookForTesting(nullptr);
    const bool is_new = RecoveredBaseIsOldOrNew();
    if (failed_operation == "copy" || failed_operation == "lock") {
      EXPECT_FALSE(is_new);
    }
    if (finished) {
      EXPECT_TRUE(is_new);
    }
    WriteOldBase(base_);
  }
  EXPECT_TRUE(finished);
}

// Regression guard: when the record could neither be flushed nor removed,
// the temporaries were still removed one by one; a temporary that would not
// go then stood beside a complete record, and recovery made a base of the
// new wrds.txt and the old fls.txt.
TEST_F(DurabilityTest, RecordThatCannotBeRemovedKeepsTheTemporariesWhole) {
  SetDurableFaultHookForTesting([](std::string_view op, const std::string& path) {
    const bool record = path.ends_with(kCommitRecordName);
    if (op == "sync" && record) return EIO;
    if (op == "remove" && (record || path.ends_with(kWordsTempName))) return EIO;
    return 0;
  });
  RecordingObserver observer;
  EXPECT_THROW(RunScan(base_, docs_, observer), IoError);
  SetDurableFaultHookForTesting(nullptr);
  RecoveredBaseIsOldOrNew();
}

// The numbers of the live wrds.txt that the live fls.txt holds no record for.
std::vector<std::string> NumbersWithoutPath(const std::string& base) {
  auto lines = [](const std::string& text) {
    std::vector<std::string> out;
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
      end = text.find("\r\n", start);
      out.push_back(text.substr(start, end - start));
    }
    return out;
  };
  const std::vector<std::string> words = lines(ReadFile(WordsFilePath(base)));
  const std::vector<std::string> files = lines(ReadFile(FilesFilePath(base)));
  std::set<std::string> recorded;
  for (size_t i = 1; i < files.size(); i += 2) recorded.insert(files[i]);
  std::vector<std::string> missing;
  for (size_t i = 1; i < words.size(); i += 2) {
    for (size_t start = 0, comma; start <= words[i].size(); start = comma + 1) {
      comma = std::min(words[i].find(',', start), words[i].size());
      const std::string number = words[i].substr(start, comma - start);
      if (recorded.count(number) == 0) missing.push_back(number);
    }
  }
  return missing;
}

// A search or a lookup in another process may read the live files at any
// moment of the commit, also between the two renames: every number it finds
// in wrds.txt must have its path in fls.txt.
TEST_F(DurabilityTest, EveryNumberHasItsPathAtEveryRename) {
  int renames = 0;
  SetDurableFaultHookForTesting([&](std::string_view op, const std::string&) {
    if (op != "rename") return 0;
    ++renames;
    EXPECT_EQ(NumbersWithoutPath(base_), std::vector<std::string>{}) << "before rename " << renames;
    return 0;
  });
  RecordingObserver observer;
  RunScan(base_, docs_, observer);
  SetDurableFaultHookForTesting(nullptr);
  EXPECT_EQ(renames, 2);
  EXPECT_EQ(ReadBase(base_), new_base_);
  EXPECT_EQ(NumbersWithoutPath(base_), std::vector<std::string>{});
}

// A real write failure of the kernel: the file size limit makes write(2)
// fail with EFBIG, which the program reports as a full disk.
TEST_F(DurabilityTest, FailedWriteOfTheNewWordsKeepsTheOldBase) {
  const std::string message_file = tmp_ / "message";
  const int status = ScanInChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    // Room for the old files' copies, not for the new words file.
    struct rlimit limit = {static_cast<rlim_t>(new_base_.words->size() - 1),
                           static_cast<rlim_t>(new_base_.words->size() - 1)};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      RecordingObserver observer;
      RunScan(base_, docs_, observer);
    } catch (const std::exception& e) {
      limit = {RLIM_INFINITY, RLIM_INFINITY};
      setrlimit(RLIMIT_FSIZE, &limit);
      WriteFile(message_file, e.what());
      _exit(1);
    }
    _exit(0);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(ReadFile(message_file), "Disk full");
  EXPECT_TRUE(BaseIsClean(base_));
  EXPECT_EQ(ReadBase(base_), old_base_);
}

// A small file system that really fills up, where the sandbox lets us mount one.
TEST_F(DurabilityTest, FullFileSystemKeepsTheOldBase) {
  const std::string mount_point = tmp_ / "small";
  std::filesystem::create_directory(mount_point);
  const std::string command = "mount -t tmpfs -o size=12k tmpfs '" + mount_point + "' 2>/dev/null";
  if (geteuid() != 0 || std::system(command.c_str()) != 0) GTEST_SKIP() << "cannot mount a small file system here";
  struct Unmount {
    std::string at;
    ~Unmount() { std::system(("umount '" + at + "'").c_str()); }
  } unmount{mount_point};

  base_ = mount_point;
  WriteOldBase(base_);
  for (int i = 0; i < 300; ++i) WriteFile(docs_ + "/big/g" + std::to_string(i) + ".htm", "filler" + std::to_string(i));
  try {
    RecordingObserver observer;
    RunScan(base_, docs_, observer);
    ADD_FAILURE() << "the scan fitted into the small file system";
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), "Disk full");
  }
  EXPECT_TRUE(BaseIsClean(base_));
  EXPECT_EQ(ReadBase(base_), old_base_);
}

struct RecoveryCase {
  const char* name;
  const char* record;  // nullptr: no record
  bool words_temp;
  bool files_temp;
  bool rolled_forward;  // the temporaries' contents become the base
};

class RecoveryTest : public ::testing::TestWithParam<RecoveryCase> {};

TEST_P(RecoveryTest, FinishesOrRollsBack) {
  const RecoveryCase& c = GetParam();
  TempDir tmp;
  const std::string base = tmp.path();
  WriteFile(WordsFilePath(base), "old words");
  WriteFile(FilesFilePath(base), "old files");
  if (c.words_temp) WriteFile(BaseFilePath(base, kWordsTempName), "new words");
  if (c.files_temp) WriteFile(BaseFilePath(base, kFilesTempName), "new files");
  if (c.record) WriteFile(BaseFilePath(base, kCommitRecordName), c.record);

  RecoverBase(base);

  EXPECT_TRUE(BaseIsClean(base));
  EXPECT_EQ(ReadFile(WordsFilePath(base)), c.rolled_forward && c.words_temp ? "new words" : "old words");
  EXPECT_EQ(ReadFile(FilesFilePath(base)), c.rolled_forward && c.files_temp ? "new files" : "old files");
}

constexpr const char* kCompleteRecord =
    "VESKARA COMMIT 1\r\nwrds.txt.new\r\nwrds.txt\r\nfls.txt.new\r\nfls.txt\r\nEND\r\n";

INSTANTIATE_TEST_SUITE_P(
    States, RecoveryTest,
    ::testing::Values(RecoveryCase{"CompleteRecordBothTemporaries", kCompleteRecord, true, true, true},
                      RecoveryCase{"CompleteRecordFilesAlreadyRenamed", kCompleteRecord, true, false, true},
                      RecoveryCase{"CompleteRecordBothRenamed", kCompleteRecord, false, false, true},
                      RecoveryCase{"TornRecord", "VESKARA COMMIT 1\r\nwrds.txt.new\r\nwr", true, true, false},
                      RecoveryCase{"EmptyRecord", "", true, true, false},
                      RecoveryCase{"NoRecordTemporariesLeft", nullptr, true, true, false},
                      RecoveryCase{"NoRecordOneTemporary", nullptr, false, true, false}),
    [](const ::testing::TestParamInfo<RecoveryCase>& info) { return std::string(info.param.name); });

TEST(RecoverBaseTest, CleanBaseIsNotTouched) {
  TempDir tmp;
  WriteFile(WordsFilePath(tmp.path()), "w");
  RecoverBase(tmp.path());
  EXPECT_FALSE(PathExists(BaseFilePath(tmp.path(), kLockFileName)));
}

// Regression guard: recovery at start-up must not remove the temporaries of
// a scan that is running in another process.
TEST(RecoverBaseTest, LeavesARunningScansFilesAlone) {
  TempDir tmp;
  const std::string base = tmp.path();
  std::unique_ptr<FileLock> running = TryLockBase(base);
  ASSERT_TRUE(running);
  WriteFile(BaseFilePath(base, kWordsTempName), "being written");
  RecoverBase(base);
  EXPECT_TRUE(PathExists(BaseFilePath(base, kWordsTempName)));
}

}  // namespace
}  // namespace veskara
