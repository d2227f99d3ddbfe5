// Keeping a base current while the program runs: the remembered folders
// are watched (platform/folder_watch.h), the changes gathered, and after a
// quiet moment one update limited to what changed is run
// (Scan::PrepareChanges), under the base's lock only while it runs.
//
// The watcher is driven from outside: TakeEvents when its descriptor is
// readable, RunDue when NextDue has come. Every decision over time is taken
// on the times it is given (a steady clock's nanoseconds), so a front end
// waits in the kernel between them (RunWatchLoop) and a test moves time on
// by hand. One thread uses a watcher.
//
// What it does:
// - The first RunDue catches up: the watches are set on every online
//   remembered folder's tree (as its walk enters it: no hidden or excluded
//   folder), then one update of every remembered folder runs.
// - A name that changes in a watched folder (a candidate by its name, or a
//   folder) is gathered; a new folder is watched at once. The update runs
//   `quiet_ns` after the last change, or `longest_wait_ns` after the first
//   one gathered while changes keep coming.
// - A remembered folder that goes away, or that an update finds offline
//   (base/folder_presence.h), is left as it is, its files kept, and looked
//   at every `offline_every_ns`; when it is back it is watched and updated.
// - When the kernel refuses more watches, the remembered folders whose tree
//   is not wholly watched are updated whole every `unwatched_every_ns`
//   (their watches tried again first).
// - Events lost by the kernel: everything is caught up again.
// - A change of the remembered folders or exclusions (an add or a remove,
//   by this process or another) is followed: the watches are set or ended
//   to match. The base folder's own files are never taken for changes.
// - When another scan holds the base's lock, the update is tried again
//   `retry_ns` later, nothing lost; a failed update `failed_retry_ns` later.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/remembered.h"
#include "base/scan_summary.h"
#include "indexer/scan.h"
#include "platform/env.h"
#include "platform/folder_watch.h"

namespace veskara {

inline constexpr int64_t kSecondNs = 1'000'000'000;

struct WatchOptions {
  int64_t quiet_ns = 2 * kSecondNs;
  int64_t longest_wait_ns = 30 * kSecondNs;
  int64_t unwatched_every_ns = 600 * kSecondNs;
  int64_t offline_every_ns = 60 * kSecondNs;
  int64_t retry_ns = kSecondNs;
  int64_t failed_retry_ns = 30 * kSecondNs;
  ScanOptions scan;
};

// What the watcher did, as facts for a front end to word.
struct WatchReport {
  enum class Kind {
    kWatching,  // the watches are set (at the start, and when the kernel's refusal begins or ends)
    kUpdated,   // an update ran (written or not): `summary`
    kFailed,    // an update failed, the base unchanged: `failure`; tried again later
  };
  Kind kind = Kind::kUpdated;
  size_t watched = 0;                       // kWatching: folders watched
  std::vector<std::string> unwatched = {};  // kWatching: remembered folders updated every unwatched_every_ns
  ScanSummary summary = {};                 // kUpdated
  std::string failure = {};                 // kFailed
};

using WatchReporter = std::function<void(const WatchReport&)>;

class Watcher {
 public:
  // Nothing happens before the first RunDue, which is due at once.
  // `base_directory` is made absolute; it is made (private) when missing.
  Watcher(std::string base_directory, Env& env, WatchOptions options = {});
  ~Watcher();
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

  // The descriptor that is readable when events wait; -1 before the first
  // RunDue.
  int Descriptor() const;
  // Reads the events that wait (never waits) and gathers their changes at
  // `now_ns`. Throws IoError when they cannot be read.
  void TakeEvents(int64_t now_ns);
  // When RunDue has something to do next; -1 when nothing is due until an
  // event.
  int64_t NextDue() const;
  // Runs what is due at `now_ns` and reports it. `observer` is each scan's:
  // its StopRequested abandons a running update (the base stays as it was,
  // the changes are kept). Throws IoError when folders cannot be watched at
  // all (the first call).
  void RunDue(int64_t now_ns, ScanObserver& observer, const WatchReporter& report);

  // What is watched now: folders, remembered folders whose tree is not
  // wholly watched, remembered folders offline; changes gathered.
  size_t WatchedCount() const { return watched_.size(); }
  std::vector<std::string> Unwatched() const { return {incomplete_.begin(), incomplete_.end()}; }
  std::vector<std::string> Offline() const { return {offline_.begin(), offline_.end()}; }
  size_t PendingCount() const { return pending_.size(); }

 private:
  enum class Outcome { kDone, kRetry, kFailed, kStopped };

  void Start(int64_t now_ns, const WatchReporter& report);
  // The remembered folder `path`, or null.
  const RememberedFolder* Root(const std::string& path) const;
  void Reload(const WatchReporter& report);
  // Sets the watches of the tree of `folder`, as the walk of `root` enters
  // it; false when the kernel refused one (`root` is then incomplete).
  bool WatchTree(const std::string& folder, const std::string& root);
  // Ends the watches at or under `path`.
  void Unwatch(const std::string& path);
  // Looks at a remembered folder: online, it is watched; offline, it is
  // left alone until it is back. True when online.
  bool LookAt(const RememberedFolder& folder);
  void Gather(const std::string& path, int64_t now_ns);
  void Take(const FolderEvent& event, int64_t now_ns);
  // Runs one prepared update; what it found offline is left alone from now.
  template <typename Prepare>
  Outcome RunUpdate(int64_t now_ns, ScanObserver& observer, const WatchReporter& report, Prepare&& prepare);
  void ReportWatching(const WatchReporter& report, bool always);

  std::string base_directory_;
  Env& env_;
  WatchOptions options_;
  std::unique_ptr<FolderWatch> watch_;
  Remembered remembered_;
  bool started_ = false;
  bool reload_ = false;   // folders.txt or excluded.txt changed
  bool catch_up_ = true;  // an update of everything is due
  bool refused_shown_ = false;
  std::set<std::string> watched_;     // folders
  std::set<std::string> incomplete_;  // remembered folders whose tree is not wholly watched
  std::set<std::string> offline_;     // remembered folders
  std::set<std::string> look_at_;     // remembered folders that went away: online or offline?
  std::set<std::string> to_update_;   // remembered folders to update whole (back, or not wholly watched)
  std::set<std::string> pending_;     // changed paths
  int64_t first_change_ns_ = 0;
  int64_t last_change_ns_ = 0;
  int64_t retry_at_ns_ = -1;  // the gathered changes or the catch-up wait until then
  int64_t next_offline_look_ns_ = 0;
  int64_t next_unwatched_ns_ = 0;
};

}  // namespace veskara
