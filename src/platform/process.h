// The process and the machine it runs on: what a front end or a scan asks of
// them beyond files (see env.h for those).
#pragma once

#include <atomic>
#include <cstdint>

namespace veskara {

// True when standard output / standard error is a terminal.
bool StdoutIsTerminal();
bool StderrIsTerminal();

// A write past a file-size limit (ulimit -f) then fails with EFBIG ("Disk
// full") instead of ending the process with SIGXFSZ.
void IgnoreFileSizeLimitSignal();

// The processors this process may run on (at least 1).
unsigned ProcessorCount();

// The machine's physical memory in bytes (0 when unknown).
uint64_t PhysicalMemoryBytes();

// Gives the memory freed since back to the system, where the allocator
// keeps it (after a large table is freed, in a process that lives on).
void ReleaseFreeMemory();

// This process's id, and whether the process `pid` is alive.
int64_t ProcessId();
bool ProcessIsAlive(int64_t pid);

// A stop that code blocked in poll() can see: once Raise() has been called,
// fd() is readable for good. fd() is never one of the standard three, so a
// zeroed options struct (descriptor 0) cannot be mistaken for it. Raise() is
// safe from any thread, and more than once.
class StopSignal {
 public:
  // Throws IoError when no descriptor is left.
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  int fd() const { return read_fd_; }
  void Raise();
  // True once Raise() was called.
  bool Raised() const { return raised_.load(); }

 private:
  int read_fd_ = -1;
  int write_fd_ = -1;
  std::atomic<bool> raised_{false};
};

// From now on SIGINT and SIGTERM raise `stop` instead of ending the process;
// `stop` must live until the process ends. Calls that a signal interrupts
// go on, except a wait (WaitForInput), which the stop ends anyway.
void RaiseOnTerminationSignals(StopSignal& stop);

}  // namespace veskara
