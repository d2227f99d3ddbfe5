#include "watch/watch_loop.h"

#include <algorithm>
#include <chrono>

#include "platform/folder_watch.h"

namespace veskara {
namespace {

// A scan of the watcher: quiet, stopped by the stop.
class StopObserver : public ScanObserver {
 public:
  explicit StopObserver(const StopSignal& stop) : stop_(stop) {}
  void SetStep(const std::string&) override {}
  void SetStatus(const std::string&) override {}
  bool StopRequested() override { return stop_.Raised(); }

 private:
  const StopSignal& stop_;
};

}  // namespace

int64_t SteadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void RunWatchLoop(Watcher& watcher, const StopSignal& stop, const WatchReporter& report) {
  StopObserver observer(stop);
  while (!stop.Raised()) {
    watcher.RunDue(SteadyNow(), observer, report);
    if (stop.Raised()) return;
    const int64_t due = watcher.NextDue();
    const int64_t wait = due < 0 ? -1 : std::max<int64_t>(0, due - SteadyNow());
    WaitForInput({watcher.Descriptor(), stop.fd()}, wait);
    watcher.TakeEvents(SteadyNow());
  }
}

}  // namespace veskara
