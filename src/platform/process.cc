#include "platform/process.h"

#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

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

int64_t ProcessId() { return static_cast<int64_t>(::getpid()); }

bool ProcessIsAlive(int64_t pid) {
  if (pid <= 0) return false;
  // EPERM: it exists, under another user.
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace veskara
