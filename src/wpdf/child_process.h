// Runs a piece of work in a disposable child process, so that whatever the
// work does (crash, loop, exhaust memory, print) cannot harm the caller.
#pragma once

#include <functional>

namespace veskara::wpdf {

// What a child may use.
struct ChildLimits {
  long long time_ms = 0;                // wall-clock time from the start
  unsigned long long memory_bytes = 0;  // address space beyond what it inherits
  // When this descriptor becomes readable the child is killed at once; -1:
  // never.
  int cancel_fd = -1;
};

// The child could not be started (no pipe, no process): errno says why.
inline constexpr int kChildNotStarted = -1;
// limits.cancel_fd became readable and the child was killed.
inline constexpr int kChildCancelled = -2;

// Forks; the child passes its copy of `data_fd` (moved above the standard
// descriptors if need be) to `work`, reports the value `work` returns
// (0 to 255) and exits. The child dies with the calling thread, leaves no
// core file, has its stderr pointed at /dev/null and its address space
// capped at what it inherits plus limits.memory_bytes.
//
// Returns the value reported; `failure_code` when the child died without
// reporting or was still running limits.time_ms after the start (it is then
// killed); kChildCancelled when cancelled; kChildNotStarted, with errno set,
// when it could not be started.
// Blocks until the child has been reaped. Safe to call from several threads
// at once.
int RunInChild(int data_fd, const std::function<int(int data_fd)>& work, const ChildLimits& limits, int failure_code);

}  // namespace veskara::wpdf
