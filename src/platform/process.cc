#include "platform/process.h"

#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"

namespace veskara {

bool StdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }
bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void IgnoreFileSizeLimitSignal() { ::signal(SIGXFSZ, SIG_IGN); }

unsigned ProcessorCount() {
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return static_cast<unsigned>(n);
  }
  const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<unsigned>(n) : 1;
}

uint64_t PhysicalMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page_size = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

void ReleaseFreeMemory() { ::malloc_trim(0); }

int64_t ProcessId() { return static_cast<int64_t>(::getpid()); }

bool ProcessIsAlive(int64_t pid) {
  if (pid <= 0) return false;
  // EPERM: it exists, under another user.
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

namespace {

// Moves a descriptor above the standard three.
int AboveStandard(int fd) {
  if (fd > STDERR_FILENO) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  ::close(fd);
  return moved;
}

}  // namespace

StopSignal::StopSignal() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw IoError(errno, "No stop signal can be made: " + IoErrorMessage(errno));
  read_fd_ = AboveStandard(fds[0]);
  write_fd_ = AboveStandard(fds[1]);
  if (read_fd_ < 0 || write_fd_ < 0) {
    const int error = errno;
    if (read_fd_ >= 0) ::close(read_fd_);
    if (write_fd_ >= 0) ::close(write_fd_);
    throw IoError(error, "No stop signal can be made: " + IoErrorMessage(error));
  }
}

StopSignal::~StopSignal() {
  ::close(read_fd_);
  ::close(write_fd_);
}

void StopSignal::Raise() {
  if (raised_.exchange(true)) return;
  // One byte that nobody reads keeps the pipe readable; closing the writer
  // here would race with the destructor.
  ssize_t n;
  do {
    n = ::write(write_fd_, "x", 1);
  } while (n < 0 && errno == EINTR);
}

namespace {

std::atomic<StopSignal*> termination_stop{nullptr};

void RaiseTerminationStop(int) {
  const int saved = errno;  // a handler must leave errno as it found it
  if (StopSignal* stop = termination_stop.load()) stop->Raise();
  errno = saved;
}

}  // namespace

void RaiseOnTerminationSignals(StopSignal& stop) {
  termination_stop.store(&stop);
  struct sigaction action {};
  action.sa_handler = RaiseTerminationStop;
  ::sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace veskara
