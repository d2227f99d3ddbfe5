// Runs a piece of work in a disposable child process, so that whatever the
// work does (crash, loop, exhaust memory, print) cannot harm the caller.
#pragma once

#include <functional>

namespace veskara::wpdf {

// Forks; the child passes its copy of `data_fd` (moved above the standard
// descriptors if need be) to `work`, reports the value `work` returns
// (0 to 255) and exits. The child dies with the calling thread, leaves no
// core file, has its stderr pointed at /dev/null and its address space
// capped at what it inherits plus 4 GiB.
//
// Returns the value reported, or `failure_code` when the child could not be
// started, died without reporting, or was still running `limit_ms` after the
// start (it is then killed). Blocks until the child has been reaped. Safe to
// call from several threads at once.
int RunInChild(int data_fd, const std::function<int(int data_fd)>& work, long long limit_ms, int failure_code);

}  // namespace veskara::wpdf
