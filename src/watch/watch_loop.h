// The loop of a front end that keeps a base current: it waits in the kernel
// for the watcher's events, its next due time or the stop, and does nothing
// in between.
#pragma once

#include "platform/process.h"
#include "watch/watcher.h"

namespace veskara {

// A steady clock's nanoseconds, as the watcher takes its times.
int64_t SteadyNow();

// Runs `watcher` until `stop` is raised: the first RunDue at once, then the
// events as they come and what falls due. A stop abandons a running update
// (the base stays as it was) and returns. Failures of the watch itself
// (Watcher::RunDue, TakeEvents) pass through.
void RunWatchLoop(Watcher& watcher, const StopSignal& stop, const WatchReporter& report);

}  // namespace veskara
