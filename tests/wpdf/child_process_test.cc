// The disposable child: whatever the program does, the caller gets a code
// back in bounded time and stays untouched.
#include "wpdf/child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace veskara::wpdf {
namespace {

using testing::ReadFile;
using testing::TempDir;

constexpr int kFailed = 100;
// Long enough that no loaded machine reaches it with the honest programs below.
constexpr long long kLimitMs = 120'000;
constexpr unsigned long long kMemory = 4ULL << 30;

int Helper(const std::vector<std::string>& args, int data_fd = -1, ChildLimits limits = {kLimitMs, kMemory, 0, -1}) {
  std::vector<std::string> argv = {CHILD_HELPER_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv, data_fd, limits, kFailed);
}

TEST(RunProgram, ReportsTheProgramsCodeAndWritesThroughTheDescriptor) {
  TempDir dir;
  const int fd = open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  const int code = Helper({"write", "text"}, fd);
  close(fd);
  EXPECT_EQ(code, 7);
  EXPECT_EQ(ReadFile(dir / "out"), "text");
}

TEST(RunProgram, AProgramThatDiesOrNeverReportsGivesTheFailureCode) {
  for (const char* mode : {"abort", "segv", "throw", "exit"}) EXPECT_EQ(Helper({mode}), kFailed) << mode;
  EXPECT_EQ(RunProgram({"/no/such/program"}, -1, {kLimitMs, kMemory, 0, -1}, kFailed), kFailed);
}

TEST(RunProgram, AProgramThatNeverEndsIsKilledAtItsLimit) {
  EXPECT_EQ(Helper({"loop"}, -1, {300, kMemory, 0, -1}), kFailed);
}

// A scan that stops must not wait for a conversion: a readable cancel
// descriptor ends the child at once, long before its time limit.
TEST(RunProgram, ACancelledProgramIsKilled) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  const int code = Helper({"loop"}, -1, {kLimitMs, kMemory, 0, fds[0]});
  close(fds[0]);
  close(fds[1]);
  EXPECT_EQ(code, kChildCancelled);
}

// A handler does not pass an exec, but an ignored signal would: a crash
// must end the program whatever the caller ignores.
TEST(RunProgram, TheCallersIgnoredCrashSignalDoesNotReachTheProgram) {
  struct sigaction ignore {
  }, old{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGSEGV, &ignore, &old);
  const int code = Helper({"segv"});
  sigaction(SIGSEGV, &old, nullptr);
  EXPECT_EQ(code, kFailed);
}

TEST(RunProgram, TheProgramsStderrGoesNowhere) {
  TempDir dir;
  fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  const int capture = open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(capture, STDERR_FILENO);
  close(capture);
  const int code = Helper({"stderr"});
  dup2(saved, STDERR_FILENO);
  close(saved);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile(dir / "stderr"), "");
}

// Another thread's descriptor opened without close-on-exec (another job's
// converted text) must not leak into the program.
TEST(RunProgram, TheProgramGetsOnlyItsOwnDescriptors) {
  TempDir dir;
  const int stray = open((dir / "stray").c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(stray, 0);
  const int code = Helper({"descriptors"});
  close(stray);
  EXPECT_EQ(code, 2);  // the data descriptor and the result pipe
}

TEST(RunProgram, AProgramMayWriteNoFileBeyondTheOutputLimit) {
  TempDir dir;
  const int fd = open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int code = Helper({"big-file"}, fd, {kLimitMs, kMemory, 1 << 20, -1});
  close(fd);
  EXPECT_EQ(code, kFailed);
  EXPECT_EQ(ReadFile(dir / "out").size(), size_t{1} << 20);
}

#if !defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator reserves its own address space and is exempt.
TEST(RunProgram, AProgramThatAsksForTooMuchMemoryIsRefusedIt) {
  EXPECT_EQ(Helper({"memory", std::to_string(kMemory)}), 0);
}
#endif

}  // namespace
}  // namespace veskara::wpdf
