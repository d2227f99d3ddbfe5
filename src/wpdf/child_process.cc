#include "wpdf/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace veskara::wpdf {
namespace {

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

// Caps the child's address space, so that work built to exhaust memory
// fails on its own instead of starving the machine.
void CapChildMemory(unsigned long long allowance) {
  const int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  char text[64] = {};
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return;
  unsigned long long pages = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) pages = pages * 10 + static_cast<unsigned>(*p - '0');
  const unsigned long long limit = pages * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE)) + allowance;
  rlimit current{};
  if (getrlimit(RLIMIT_AS, &current) != 0 || current.rlim_cur <= limit) return;
  current.rlim_cur = limit;
  setrlimit(RLIMIT_AS, &current);
}

// Moves a descriptor above the standard three, which the child rewires.
int AboveStandardFds(int fd) {
  if (fd > STDERR_FILENO) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  return moved >= 0 ? moved : fd;
}

// Makes the child disposable: it dies with the thread that waits for it,
// gets no more CPU time than its limit (should the waiter be gone), leaves
// no core file, and a crash ends it at once instead of running the caller's
// own crash handlers in a copy of the caller.
void PrepareChild(const ChildLimits& limits) {
  const long long limit_ms = limits.time_ms;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  const rlimit no_core{0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  const rlim_t cpu_seconds = static_cast<rlim_t>(limit_ms / 1000 + 1);
  rlimit cpu{};
  if (getrlimit(RLIMIT_CPU, &cpu) == 0 && cpu.rlim_max > cpu_seconds + 1) {
    cpu = {cpu_seconds, cpu_seconds + 1};
    setrlimit(RLIMIT_CPU, &cpu);
  }
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGPIPE, SIGXCPU}) signal(sig, SIG_DFL);
  sigset_t all;
  sigfillset(&all);
  sigprocmask(SIG_UNBLOCK, &all, nullptr);
  if (limits.memory_bytes > 0) CapChildMemory(limits.memory_bytes);
}

[[noreturn]] void RunChild(int data_fd, int result_fd, const std::function<int(int)>& work, pid_t parent,
                           const ChildLimits& limits, int failure_code) {
  PrepareChild(limits);
  if (getppid() != parent) _exit(failure_code);  // the waiter died before the death signal was set
  data_fd = data_fd >= 0 ? AboveStandardFds(data_fd) : data_fd;
  result_fd = AboveStandardFds(result_fd);
  // The caller's stderr stays clean whatever the work or its libraries print.
  const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null_fd >= 0) dup2(null_fd, STDERR_FILENO);
  int code = failure_code;
  try {
    code = work(data_fd) & 0xFF;
  } catch (...) {
  }
  const char byte = static_cast<char>(code);
  ssize_t n;
  do {
    n = write(result_fd, &byte, 1);
  } while (n < 0 && errno == EINTR);
  _exit(code);
}

// Waits for the child's result byte until `deadline_ms`. A child that dies
// without one, or is still busy at the deadline, has failed; one whose
// caller cancels is killed.
int AwaitChild(pid_t pid, int result_fd, int cancel_fd, long long deadline_ms, int failure_code) {
  int code = failure_code;
  bool killed = false;
  bool cancelled = false;
  for (;;) {
    const long long left = deadline_ms - NowMs();
    if (left <= 0) {
      killed = true;
      break;
    }
    pollfd p[2] = {{result_fd, POLLIN, 0}, {cancel_fd, POLLIN, 0}};
    const int r = poll(p, cancel_fd >= 0 ? 2 : 1, static_cast<int>(left > 60'000 ? 60'000 : left));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      killed = true;
      break;
    }
    if (r == 0) continue;
    if (cancel_fd >= 0 && p[1].revents != 0) {
      killed = cancelled = true;
      break;
    }
    char byte = 0;
    const ssize_t n = read(result_fd, &byte, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n == 1) code = static_cast<unsigned char>(byte);
    break;  // the byte, or the end of the pipe: the child is done or dead
  }
  if (killed) kill(pid, SIGKILL);
  int status = 0;
  pid_t w;
  do {
    w = waitpid(pid, &status, 0);
  } while (w < 0 && errno == EINTR);
  if (cancelled) return kChildCancelled;
  if (killed) return failure_code;
  // A child reaped by someone else (SIGCHLD ignored) leaves only its byte.
  if (w == pid && !(WIFEXITED(status) && WEXITSTATUS(status) == code)) return failure_code;
  return code;
}

}  // namespace

int RunInChild(int data_fd, const std::function<int(int)>& work, const ChildLimits& limits, int failure_code) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return kChildNotStarted;
  const long long deadline = NowMs() + limits.time_ms;
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_fds[0]);
    RunChild(data_fd, pipe_fds[1], work, parent, limits, failure_code);
  }
  const int fork_error = errno;
  close(pipe_fds[1]);  // so that the pipe ends when the child does
  if (pid < 0) {
    close(pipe_fds[0]);
    errno = fork_error;
    return kChildNotStarted;
  }
  const int code = AwaitChild(pid, pipe_fds[0], limits.cancel_fd, deadline, failure_code);
  close(pipe_fds[0]);
  return code;
}

}  // namespace veskara::wpdf
