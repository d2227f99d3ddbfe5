#include "wpdf/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
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

// Puts `fd` at `target`, without close-on-exec.
bool MoveTo(int fd, int target) {
  if (fd == target) return fcntl(fd, F_SETFD, 0) == 0;
  return dup2(fd, target) == target;
}

// Between fork and exec, in the copy of a threaded process: only calls that
// take no lock (no allocation, no stdio). Everything they use was made
// before the fork.
[[noreturn]] void ExecChild(char* const* argv, int data_fd, int result_fd, int null_fd, pid_t parent,
                            const ChildLimits& limits, int failure_code) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(failure_code);  // the waiter died before the death signal was set
  const rlimit no_core{0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  const rlim_t cpu_seconds = static_cast<rlim_t>(limits.time_ms / 1000 + 1);
  rlimit cpu{};
  if (getrlimit(RLIMIT_CPU, &cpu) == 0 && cpu.rlim_max > cpu_seconds + 1) {
    cpu = {cpu_seconds, cpu_seconds + 1};
    setrlimit(RLIMIT_CPU, &cpu);
  }
  if (limits.output_bytes > 0) {
    rlimit size{};
    if (getrlimit(RLIMIT_FSIZE, &size) == 0 && size.rlim_max > limits.output_bytes) {
      size = {limits.output_bytes, limits.output_bytes};
      setrlimit(RLIMIT_FSIZE, &size);
    }
  }
  // The caller's handlers and mask do not pass an exec, but ignored signals
  // do: a crash or a write past the limit must end the program.
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGPIPE, SIGXCPU, SIGXFSZ}) signal(sig, SIG_DFL);
  sigset_t all;
  sigfillset(&all);
  sigprocmask(SIG_UNBLOCK, &all, nullptr);
  // Above every target first, so that no move overwrites a source.
  const int high = 10;
  if (data_fd >= 0) data_fd = fcntl(data_fd, F_DUPFD, high);
  result_fd = fcntl(result_fd, F_DUPFD, high);
  null_fd = fcntl(null_fd, F_DUPFD, high);
  if (result_fd < 0 || null_fd < 0) _exit(failure_code);
  for (int standard = 0; standard <= 2; ++standard) {
    if (!MoveTo(null_fd, standard)) _exit(failure_code);
  }
  if (data_fd >= 0 && !MoveTo(data_fd, kChildDataFd)) _exit(failure_code);
  if (data_fd < 0 && !MoveTo(null_fd, kChildDataFd)) _exit(failure_code);
  if (!MoveTo(result_fd, kChildResultFd)) _exit(failure_code);
  // Whatever other threads opened without close-on-exec stays behind.
  syscall(SYS_close_range, kChildResultFd + 1, ~0U, 0);
  execv(argv[0], argv);
  _exit(failure_code);
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

int RunProgram(const std::vector<std::string>& argv, int data_fd, const ChildLimits& limits, int failure_code) {
  if (argv.empty()) {
    errno = EINVAL;
    return kChildNotStarted;
  }
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null_fd < 0) return kChildNotStarted;
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    const int error = errno;
    close(null_fd);
    errno = error;
    return kChildNotStarted;
  }
  const long long deadline = NowMs() + limits.time_ms;
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) ExecChild(args.data(), data_fd, pipe_fds[1], null_fd, parent, limits, failure_code);
  const int fork_error = errno;
  close(pipe_fds[1]);  // so that the pipe ends when the child does
  close(null_fd);
  if (pid < 0) {
    close(pipe_fds[0]);
    errno = fork_error;
    return kChildNotStarted;
  }
  const int code = AwaitChild(pid, pipe_fds[0], limits.cancel_fd, deadline, failure_code);
  close(pipe_fds[0]);
  return code;
}

void CapOwnMemory(unsigned long long allowance) {
  if (allowance == 0) return;
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

void ReportAndExit(int code) {
  const char byte = static_cast<char>(code & 0xFF);
  ssize_t n;
  do {
    n = write(kChildResultFd, &byte, 1);
  } while (n < 0 && errno == EINTR);
  _exit(code & 0xFF);
}

}  // namespace veskara::wpdf
