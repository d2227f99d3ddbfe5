// A base is never lost: crashes and failed calls at every point of a scan
// leave, after recovery, the whole old base or the whole new one. The faults
// come from the fault-injecting env; one real full disk of each kind stays.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

#include "base/commit.h"
#include "fault_env.h"
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

  static void WriteOldBase(const std::string& base) {
    WriteLegacyBase(base, CrLf({"COMMON", "1,0", "OLD", "0"}), CrLf({"/old/a.htm", "0", "/old/b.htm", "1"}));
  }

  // After recovery the base is clean, loads, and is the old or the new one.
  // Returns true for the new one.
  bool RecoveredBaseIsOldOrNew() {
    RecoverBase(base_, Env::Default());
    EXPECT_TRUE(BaseIsClean(base_));
    BaseState state;
    EXPECT_NO_THROW(LoadBase(base_, state, Env::Default()));
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

// Every call of these kinds in turn is where the process dies: the disk is
// left as it was at that call, and the next start recovers the old base or
// the new one. A crash at a read only ever leaves the old one.
TEST_F(DurabilityTest, CrashAtEveryCall) {
  for (EnvOp op : {EnvOp::kLock, EnvOp::kOpenRead, EnvOp::kRead, EnvOp::kOpenWrite, EnvOp::kOpenAppend, EnvOp::kWrite,
                   EnvOp::kSync, EnvOp::kClose, EnvOp::kRename, EnvOp::kRemove, EnvOp::kSyncDir}) {
    bool finished = false;
    for (int n = 1; !finished; ++n) {
      SCOPED_TRACE(std::string("crashed at ") + EnvOpName(op) + " " + std::to_string(n));
      FaultInjectionEnv env;
      env.CrashAtNth(op, n);
      try {
        RecordingObserver observer;
        RunScan(base_, docs_, observer, env);
      } catch (const IoError&) {
      }
      finished = !env.crashed();
      const bool is_new = RecoveredBaseIsOldOrNew();
      if (finished) {
        EXPECT_TRUE(is_new);
      } else if (op == EnvOp::kOpenRead || op == EnvOp::kRead || op == EnvOp::kLock) {
        EXPECT_FALSE(is_new);
      }
      WriteOldBase(base_);
      ASSERT_LT(n, 500) << "the scan never got past this kind of call";
    }
  }
}

// Every call on the base's files fails once, as on a full disk: the scan
// reports "Disk full" and the old base stays; once the record is written
// the commit is decided, and recovery completes it. (A failed read of a
// document only costs that document its words: see the fault tests.)
TEST_F(DurabilityTest, FullDiskAtEveryCall) {
  for (EnvOp op : {EnvOp::kLock, EnvOp::kOpenWrite, EnvOp::kOpenAppend, EnvOp::kWrite, EnvOp::kSync, EnvOp::kClose,
                   EnvOp::kRename, EnvOp::kRemove, EnvOp::kSyncDir}) {
    bool finished = false;
    for (int n = 1; !finished; ++n) {
      SCOPED_TRACE(std::string("failed at ") + EnvOpName(op) + " " + std::to_string(n));
      FaultInjectionEnv env;
      int calls = 0;
      env.SetHook([&, op, n](EnvOp o, const std::string& path, int) {
        return o == op && path.starts_with(base_) && ++calls == n ? ENOSPC : 0;
      });
      bool failed = false;
      try {
        RecordingObserver observer;
        RunScan(base_, docs_, observer, env);
      } catch (const IoError& e) {
        EXPECT_STREQ(e.what(), "Disk full");
        failed = true;
      }
      finished = calls < n;
      const bool is_new = RecoveredBaseIsOldOrNew();
      if (failed && (op == EnvOp::kLock || op == EnvOp::kOpenWrite || op == EnvOp::kOpenAppend)) {
        EXPECT_FALSE(is_new);
      }
      if (finished) {
        EXPECT_TRUE(is_new);
      }
      WriteOldBase(base_);
      ASSERT_LT(n, 500) << "the scan never got past this kind of call";
    }
  }
}

// Regression guard: when the record could neither be flushed nor removed,
// the temporaries were still removed one by one; a temporary that would not
// go then stood beside a complete record, and recovery made a base of the
// new wrds.txt and the old fls.txt.
TEST_F(DurabilityTest, RecordThatCannotBeRemovedKeepsTheTemporariesWhole) {
  FaultInjectionEnv env;
  env.SetHook([](EnvOp op, const std::string& path, int) {
    const bool record = path.ends_with(kCommitRecordName);
    if (op == EnvOp::kSync && record) return EIO;
    if (op == EnvOp::kRemove && (record || path.ends_with(kWordsTempName))) return EIO;
    return 0;
  });
  RecordingObserver observer;
  EXPECT_THROW(RunScan(base_, docs_, observer, env), IoError);
  RecoveredBaseIsOldOrNew();
}

// A search or a lookup in another process may read the live files at any
// moment of the commit, also between the two renames: every number it finds
// in wrds.txt must have its path in fls.txt.
TEST_F(DurabilityTest, EveryNumberHasItsPathAtEveryRename) {
  FaultInjectionEnv env;
  env.SetHook([&](EnvOp op, const std::string&, int count) {
    if (op == EnvOp::kRename) {
      EXPECT_EQ(NumbersWithoutPath(base_), std::vector<std::string>{}) << "before rename " << count;
    }
    return 0;
  });
  RecordingObserver observer;
  RunScan(base_, docs_, observer, env);
  EXPECT_EQ(env.Count(EnvOp::kRename), 4);  // the two base files, the stamps, the folders
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

constexpr const char* kCompleteRecord =
    "VESKARA COMMIT 1\r\nwrds.txt.new\r\nwrds.txt\r\nfls.txt.new\r\nfls.txt\r\nEND\r\n";

// How the commit record is damaged beyond its text.
enum class RecordKind { kFile, kFifo, kLinkToZeroes, kHugeSparseFile };

struct RecoveryCase {
  const char* name;
  const char* record;  // nullptr: no record
  bool words_temp;
  bool files_temp;
  bool rolled_forward;  // the temporaries' contents become the base
  RecordKind kind = RecordKind::kFile;
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
  const std::string record = BaseFilePath(base, kCommitRecordName);
  if (c.record) WriteFile(record, c.record);
  // A record that is not a small file is never waited on nor read whole.
  switch (c.kind) {
    case RecordKind::kFile:
      break;
    case RecordKind::kFifo:
      ASSERT_EQ(::mkfifo(record.c_str(), 0644), 0);
      break;
    case RecordKind::kLinkToZeroes:
      std::filesystem::create_symlink("/dev/zero", record);
      break;
    case RecordKind::kHugeSparseFile:
      WriteFile(record, kCompleteRecord);
      std::filesystem::resize_file(record, 3ull << 30);
      break;
  }

  RecoverBase(base, Env::Default());

  EXPECT_TRUE(BaseIsClean(base));
  EXPECT_EQ(ReadFile(WordsFilePath(base)), c.rolled_forward && c.words_temp ? "new words" : "old words");
  EXPECT_EQ(ReadFile(FilesFilePath(base)), c.rolled_forward && c.files_temp ? "new files" : "old files");
}

INSTANTIATE_TEST_SUITE_P(
    States, RecoveryTest,
    ::testing::Values(RecoveryCase{"CompleteRecordBothTemporaries", kCompleteRecord, true, true, true},
                      RecoveryCase{"CompleteRecordFilesAlreadyRenamed", kCompleteRecord, true, false, true},
                      RecoveryCase{"CompleteRecordBothRenamed", kCompleteRecord, false, false, true},
                      RecoveryCase{"TornRecord", "VESKARA COMMIT 1\r\nwrds.txt.new\r\nwr", true, true, false},
                      RecoveryCase{"EmptyRecord", "", true, true, false},
                      RecoveryCase{"NoRecordTemporariesLeft", nullptr, true, true, false},
                      RecoveryCase{"NoRecordOneTemporary", nullptr, false, true, false},
                      RecoveryCase{"RecordIsAFifo", nullptr, true, true, false, RecordKind::kFifo},
                      RecoveryCase{"RecordLinksToADevice", nullptr, true, true, false, RecordKind::kLinkToZeroes},
                      RecoveryCase{"RecordIsAHugeSparseFile", nullptr, true, true, false, RecordKind::kHugeSparseFile}),
    [](const ::testing::TestParamInfo<RecoveryCase>& info) { return std::string(info.param.name); });

TEST(RecoverBaseTest, CleanBaseIsNotTouched) {
  TempDir tmp;
  WriteFile(WordsFilePath(tmp.path()), "w");
  RecoverBase(tmp.path(), Env::Default());
  EXPECT_FALSE(PathExists(BaseFilePath(tmp.path(), kLockFileName)));
}

// Regression guard: recovery at start-up must not remove the temporaries of
// a scan that is running in another process.
TEST(RecoverBaseTest, LeavesARunningScansFilesAlone) {
  TempDir tmp;
  const std::string base = tmp.path();
  std::unique_ptr<BaseLock> running = TryLockBase(base, Env::Default());
  ASSERT_TRUE(running);
  WriteFile(BaseFilePath(base, kWordsTempName), "being written");
  RecoverBase(base, Env::Default());
  EXPECT_TRUE(PathExists(BaseFilePath(base, kWordsTempName)));
}

}  // namespace
}  // namespace veskara
