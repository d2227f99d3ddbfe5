// The disposable child: whatever the work does, the caller gets a code back
// in bounded time and stays untouched.
#include "wpdf/child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "test_util.h"

namespace veskara::wpdf {
namespace {

using testing::ReadFile;
using testing::TempDir;

constexpr int kFailed = 99;
// Long enough that no loaded machine reaches it with the honest works below.
constexpr long long kLimitMs = 120'000;
constexpr unsigned long long kMemory = 4ULL << 30;

int Isolated(const std::function<int(int)>& work, long long limit_ms = kLimitMs) {
  return RunInChild(-1, work, ChildLimits{limit_ms, kMemory}, kFailed);
}

TEST(RunInChild, ReportsTheWorksCodeAndWritesThroughTheDescriptor) {
  TempDir dir;
  const int fd = open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  const int code = RunInChild(
      fd, [](int data_fd) { return write(data_fd, "text", 4) == 4 ? 7 : 0; }, ChildLimits{kLimitMs, kMemory}, kFailed);
  close(fd);
  EXPECT_EQ(code, 7);
  EXPECT_EQ(ReadFile(dir / "out"), "text");
}

struct Misbehaviour {
  const char* name;
  std::function<int(int)> work;
};

TEST(RunInChild, AWorkThatDiesOrThrowsGivesTheFailureCode) {
  const Misbehaviour cases[] = {
      {"abort", [](int) -> int { abort(); }},
      {"segmentation fault",
       [](int) {
         raise(SIGSEGV);
         return 0;
       }},
      {"exception", [](int) -> int { throw std::runtime_error("broken"); }},
      {"exit without a report", [](int) -> int { _exit(0); }},
  };
  for (const Misbehaviour& c : cases) EXPECT_EQ(Isolated(c.work), kFailed) << c.name;
}

TEST(RunInChild, AWorkThatNeverEndsIsKilledAtItsLimit) {
  EXPECT_EQ(Isolated(
                [](int) {
                  for (;;) pause();
                  return 0;
                },
                300),
            kFailed);
}

// A scan that stops must not wait for a conversion: a readable cancel
// descriptor ends the child at once, long before its time limit.
TEST(RunInChild, ACancelledWorkIsKilled) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  ChildLimits limits{kLimitMs, kMemory};
  limits.cancel_fd = fds[0];
  const int code = RunInChild(
      -1,
      [](int) {
        for (;;) pause();
        return 0;
      },
      limits, kFailed);
  close(fds[0]);
  close(fds[1]);
  EXPECT_EQ(code, kChildCancelled);
}

TEST(RunInChild, TheCallersCrashHandlerDoesNotRunInTheChild) {
  struct sigaction handler {
  }, old{};
  // Were it inherited, this handler would swallow the crash and the work
  // would report success.
  handler.sa_handler = [](int) {};
  sigaction(SIGSEGV, &handler, &old);
  const int code = Isolated([](int) { return raise(SIGSEGV) == 0 ? 5 : 0; });
  sigaction(SIGSEGV, &old, nullptr);
  EXPECT_EQ(code, kFailed);
}

TEST(RunInChild, TheChildsStderrGoesNowhere) {
  TempDir dir;
  fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  const int capture = open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(capture, STDERR_FILENO);
  close(capture);
  const int code = Isolated([](int) { return write(STDERR_FILENO, "noise", 5) == 5 ? 0 : 1; });
  dup2(saved, STDERR_FILENO);
  close(saved);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile(dir / "stderr"), "");
}

#if !defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator reserves its own address space and is exempt.
TEST(RunInChild, AWorkThatAsksForTooMuchMemoryIsRefusedIt) {
  const int code = Isolated([](int) {
    void* volatile block = malloc(size_t{6} << 30);
    const bool got = block != nullptr;
    free(block);
    return got ? 1 : 0;
  });
  EXPECT_EQ(code, 0);
}
#endif

}  // namespace
}  // namespace veskara::wpdf
