// Runs a program in a disposable child process, so that whatever it does
// with a hostile document (crash, loop, exhaust memory, print) cannot harm
// the caller.
//
// The child is a fresh process: the fork does nothing but rewire
// descriptors, set limits and exec the program. A fork of a threaded
// process that ran more than that could inherit a lock another thread held
// at that moment (the loader's, stdio's, a sanitizer's) and hang until its
// time limit.
#pragma once

#include <string>
#include <vector>

namespace veskara::wpdf {

// What a child may use.
struct ChildLimits {
  long long time_ms = 0;  // wall-clock time from the start
  // Address space beyond what the program maps at its start: passed to the
  // program, which caps itself (CapOwnMemory), as a sanitizer's runtime
  // must reserve its own before any cap.
  unsigned long long memory_bytes = 0;
  // The largest file the child may write; 0: no limit.
  unsigned long long output_bytes = 0;
  // When this descriptor becomes readable the child is killed at once; -1:
  // never.
  int cancel_fd = -1;
};

// The child could not be started (no pipe, no process): errno says why.
inline constexpr int kChildNotStarted = -1;
// limits.cancel_fd became readable and the child was killed.
inline constexpr int kChildCancelled = -2;

// The descriptors the program gets: the data descriptor, and the one it
// reports its result on.
inline constexpr int kChildDataFd = 3;
inline constexpr int kChildResultFd = 4;

// Forks and execs argv[0] with `argv`. The program gets `data_fd` as
// kChildDataFd (none when negative), a pipe as kChildResultFd, /dev/null as
// its standard three, and no other descriptor; it dies with the calling
// thread, leaves no core file, gets no more CPU time than its time limit,
// and may write no file beyond limits.output_bytes.
//
// Returns the value the program reported (0 to 255, ReportAndExit);
// `failure_code` when it died without reporting, or was still running
// limits.time_ms after the start (it is then killed); kChildCancelled when
// cancelled; kChildNotStarted, with errno set, when it could not be
// started. Blocks until the child has been reaped. Safe to call from
// several threads at once.
int RunProgram(const std::vector<std::string>& argv, int data_fd, const ChildLimits& limits, int failure_code);

// The program's side. Caps this process's address space at what it maps
// now plus `allowance` (0: no cap).
void CapOwnMemory(unsigned long long allowance);
// Reports `code` (0 to 255) on kChildResultFd and ends the process.
[[noreturn]] void ReportAndExit(int code);

}  // namespace veskara::wpdf
