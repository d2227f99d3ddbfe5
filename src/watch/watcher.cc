#include "watch/watcher.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "base/base_files.h"
#include "base/folder_presence.h"
#include "base/messages.h"
#include "extract/document_kind.h"
#include "indexer/discovery.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace veskara {
namespace {

// Erases the paths at or under `path` from `paths`, calling `erased` for
// each. A set orders "/a b" between "/a" and "/a/x": the folder itself and
// the range under "/a/" are taken apart.
template <typename Erased>
void EraseAtOrUnder(std::set<std::string>& paths, const std::string& path, Erased&& erased) {
  if (const auto self = paths.find(path); self != paths.end()) {
    erased(*self);
    paths.erase(self);
  }
  const std::string prefix = path.ends_with(kPathSeparator) ? path : path + kPathSeparator;
  for (auto it = paths.lower_bound(prefix); it != paths.end() && it->starts_with(prefix);) {
    erased(*it);
    it = paths.erase(it);
  }
}

void EraseAtOrUnder(std::set<std::string>& paths, const std::string& path) {
  EraseAtOrUnder(paths, path, [](const std::string&) {});
}

}  // namespace

Watcher::Watcher(std::string base_directory, Env& env, WatchOptions options)
    : base_directory_(AbsolutePath(base_directory, env.CurrentDirectory())), env_(env), options_(options) {}

Watcher::~Watcher() = default;

int Watcher::Descriptor() const { return watch_ ? watch_->Descriptor() : -1; }

void Watcher::TakeEvents(int64_t now_ns) {
  if (!watch_) return;
  std::vector<FolderEvent> events;
  watch_->Read(&events);
  for (const FolderEvent& event : events) Take(event, now_ns);
}

int64_t Watcher::NextDue() const {
  if (!started_ || reload_ || !look_at_.empty()) return 0;
  int64_t due = -1;
  auto consider = [&due](int64_t at) {
    if (due < 0 || at < due) due = at;
  };
  const int64_t allowed = std::max<int64_t>(retry_at_ns_, 0);
  if (catch_up_ || !to_update_.empty()) consider(allowed);
  if (!pending_.empty()) {
    consider(
        std::max(std::min(last_change_ns_ + options_.quiet_ns, first_change_ns_ + options_.longest_wait_ns), allowed));
  }
  if (!offline_.empty()) consider(next_offline_look_ns_);
  if (!incomplete_.empty()) consider(next_unwatched_ns_);
  return due;
}

void Watcher::RunDue(int64_t now_ns, ScanObserver& observer, const WatchReporter& report) {
  if (!started_) Start(now_ns, report);
  if (reload_) {
    reload_ = false;
    Reload(report);
  }
  // Remembered folders that went away: offline now, or something back in
  // their place, to be read whole.
  for (const std::string& path : std::exchange(look_at_, {})) {
    if (const RememberedFolder* folder = Root(path); folder != nullptr && LookAt(*folder)) to_update_.insert(path);
  }
  if (!offline_.empty() && now_ns >= next_offline_look_ns_) {
    next_offline_look_ns_ = now_ns + options_.offline_every_ns;
    for (const std::string& path : std::set<std::string>(offline_)) {
      const RememberedFolder* folder = Root(path);
      if (folder == nullptr) {
        offline_.erase(path);
      } else if (LookAt(*folder)) {
        to_update_.insert(path);
      }
    }
  }
  if (!incomplete_.empty() && now_ns >= next_unwatched_ns_) {
    next_unwatched_ns_ = now_ns + options_.unwatched_every_ns;
    for (const std::string& path : std::set<std::string>(incomplete_)) {
      if (Root(path) == nullptr) {
        incomplete_.erase(path);
        continue;
      }
      if (offline_.count(path) != 0) continue;
      // The kernel may have room again.
      if (WatchTree(path, path)) incomplete_.erase(path);
      to_update_.insert(path);
    }
    ReportWatching(report, false);
  }

  if (retry_at_ns_ >= 0 && now_ns < retry_at_ns_) return;
  retry_at_ns_ = -1;
  if (catch_up_) {
    // The update of everything covers what was gathered before it.
    pending_.clear();
    to_update_.clear();
    if (remembered_.folders.empty()) {
      catch_up_ = false;
    } else if (RunUpdate(now_ns, observer, report, [&](BaseState& state) {
                 return Scan::PrepareUpdate(base_directory_, {}, false, state, env_, options_.scan);
               }) != Outcome::kDone) {
      return;
    }
    catch_up_ = false;
  }
  if (!to_update_.empty()) {
    std::vector<std::string> folders;
    for (const std::string& path : to_update_) {
      if (Root(path) != nullptr && offline_.count(path) == 0) folders.push_back(path);
    }
    if (!folders.empty() && RunUpdate(now_ns, observer, report, [&](BaseState& state) {
                              return Scan::PrepareUpdate(base_directory_, folders, false, state, env_, options_.scan);
                            }) != Outcome::kDone) {
      return;
    }
    to_update_.clear();
  }
  const int64_t changes_due =
      std::min(last_change_ns_ + options_.quiet_ns, first_change_ns_ + options_.longest_wait_ns);
  if (!pending_.empty() && now_ns >= changes_due) {
    std::vector<std::string> paths(pending_.begin(), pending_.end());
    if (RunUpdate(now_ns, observer, report, [&](BaseState& state) {
          return Scan::PrepareChanges(base_directory_, std::move(paths), state, env_, options_.scan);
        }) != Outcome::kDone) {
      return;
    }
    pending_.clear();
  }
}

void Watcher::Start(int64_t now_ns, const WatchReporter& report) {
  // The base folder is watched for a change of what it remembers: made
  // now, as the first scan would make it, when it is not there yet.
  env_.CreateDirectories(base_directory_, 0700);
  watch_ = env_.WatchFolders();
  watch_->Add(base_directory_);
  remembered_ = LoadRemembered(base_directory_, env_);
  started_ = true;
  for (const RememberedFolder& folder : remembered_.folders) LookAt(folder);
  next_offline_look_ns_ = now_ns + options_.offline_every_ns;
  next_unwatched_ns_ = now_ns + options_.unwatched_every_ns;
  ReportWatching(report, true);
}

void Watcher::Reload(const WatchReporter& report) {
  Remembered fresh;
  try {
    fresh = LoadRemembered(base_directory_, env_);
  } catch (const std::exception& failure) {
    // A damaged file is named; the watches stay as they were until it is mended.
    report({.kind = WatchReport::Kind::kFailed, .failure = failure.what()});
    return;
  }
  const Remembered old = std::exchange(remembered_, std::move(fresh));
  auto unwanted = [this](const std::string& path) {
    return remembered_.FolderHolding(path) == nullptr || remembered_.Excludes(path);
  };
  for (auto it = watched_.begin(); it != watched_.end();) {
    if (!unwanted(*it)) {
      ++it;
      continue;
    }
    if (*it != base_directory_) watch_->Remove(*it);
    it = watched_.erase(it);
  }
  for (std::set<std::string>* roots : {&offline_, &incomplete_, &to_update_, &look_at_}) {
    std::erase_if(*roots, [this](const std::string& path) { return Root(path) == nullptr; });
  }
  std::erase_if(pending_, unwanted);
  // Folders added, and paths taken back from an exclusion.
  for (const RememberedFolder& folder : remembered_.folders) {
    if (old.FolderHolding(folder.path) == nullptr || old.FolderHolding(folder.path)->path != folder.path) {
      LookAt(folder);
    }
  }
  for (const std::string& path : old.excluded) {
    if (std::find(remembered_.excluded.begin(), remembered_.excluded.end(), path) != remembered_.excluded.end()) {
      continue;
    }
    const RememberedFolder* folder = remembered_.FolderHolding(path);
    if (folder != nullptr && !unwanted(path) && offline_.count(folder->path) == 0 && WalkReaches(folder->path, path)) {
      WatchTree(path, folder->path);
    }
  }
  ReportWatching(report, false);
}

const RememberedFolder* Watcher::Root(const std::string& path) const {
  const auto found = std::find_if(remembered_.folders.begin(), remembered_.folders.end(),
                                  [&](const RememberedFolder& folder) { return folder.path == path; });
  return found == remembered_.folders.end() ? nullptr : &*found;
}

bool Watcher::LookAt(const RememberedFolder& folder) {
  if (!LookAtFolder(folder, env_).online()) {
    // Its files stay as they are: nothing gathered under it is read.
    offline_.insert(folder.path);
    Unwatch(folder.path);
    EraseAtOrUnder(pending_, folder.path);
    return false;
  }
  offline_.erase(folder.path);
  if (WatchTree(folder.path, folder.path)) incomplete_.erase(folder.path);
  return true;
}

bool Watcher::WatchTree(const std::string& folder, const std::string& root) {
  const std::unordered_set<std::string> excluded(remembered_.excluded.begin(), remembered_.excluded.end());
  bool refused = false;
  WalkFolders(folder, &excluded, env_, [&](const std::string& path) {
    // The base folder's own changes are no documents' (its watch is set).
    if (refused || path == base_directory_) return false;
    if (watched_.count(path) != 0) return true;
    switch (watch_->Add(path)) {
      case WatchResult::kWatched:
        watched_.insert(path);
        return true;
      case WatchResult::kRefused:
        refused = true;
        return false;
      case WatchResult::kFailed:
        break;
    }
    return false;
  });
  if (refused) incomplete_.insert(root);
  return !refused;
}

void Watcher::Unwatch(const std::string& path) {
  EraseAtOrUnder(watched_, path, [this](const std::string& folder) {
    if (folder != base_directory_) watch_->Remove(folder);
  });
}

void Watcher::Gather(const std::string& path, int64_t now_ns) {
  if (pending_.empty()) first_change_ns_ = now_ns;
  last_change_ns_ = now_ns;
  pending_.insert(path);
}

void Watcher::Take(const FolderEvent& event, int64_t now_ns) {
  switch (event.change) {
    case FolderChange::kOverflow:
      catch_up_ = true;
      return;
    case FolderChange::kFolderGone:
      if (event.path == base_directory_) return;
      Unwatch(event.path);
      if (Root(event.path) != nullptr) {
        look_at_.insert(event.path);
        return;
      }
      break;
    case FolderChange::kEntry:
      if (IsAtOrUnder(event.path, base_directory_)) {
        const std::string_view name = OwnName(event.path);
        if (name == kFoldersFileName || name == kExcludedFileName || name == kKindsFileName) reload_ = true;
        return;
      }
      break;
  }
  const RememberedFolder* folder = remembered_.FolderHolding(event.path);
  if (folder == nullptr || offline_.count(folder->path) != 0 || remembered_.Excludes(event.path) ||
      !WalkReaches(folder->path, event.path)) {
    return;
  }
  const std::string_view name = OwnName(event.path);
  if (event.is_folder && event.vanished) Unwatch(event.path);
  if (event.is_folder && event.appeared && IsWalkedFolderName(name)) WatchTree(event.path, folder->path);
  // Only a name the walk takes, or a folder it enters, can hold files of the base.
  if (event.change == FolderChange::kFolderGone || IsCandidateName(name, remembered_.kinds) ||
      (event.is_folder && IsWalkedFolderName(name))) {
    Gather(event.path, now_ns);
  }
}

template <typename Prepare>
Watcher::Outcome Watcher::RunUpdate(int64_t now_ns, ScanObserver& observer, const WatchReporter& report,
                                    Prepare&& prepare) {
  ScanSummary summary;
  try {
    BaseState state;
    std::unique_ptr<Scan> scan = prepare(state);
    scan->Run(observer);
    summary = scan->Summary();
  } catch (const ScanLockedError&) {
    // Another scan writes the base: its turn first, nothing is lost.
    retry_at_ns_ = now_ns + options_.retry_ns;
    return Outcome::kRetry;
  } catch (const ScanFolderOffline&) {
    // A folder to update whole went away again since it was looked at.
    for (const std::string& path : std::set<std::string>(to_update_)) {
      if (const RememberedFolder* folder = Root(path); folder == nullptr || !LookAt(*folder)) to_update_.erase(path);
    }
    return Outcome::kRetry;
  } catch (const ScanStopped&) {
    return Outcome::kStopped;
  } catch (const std::exception& failure) {
    retry_at_ns_ = now_ns + options_.failed_retry_ns;
    report({.kind = WatchReport::Kind::kFailed, .failure = FailureText(failure, "update the base")});
    return Outcome::kFailed;
  }
  // The base's table is gone: its memory goes back while the watcher waits.
  ReleaseFreeMemory();
  for (const OfflineFolder& offline : summary.offline) {
    offline_.insert(offline.path);
    Unwatch(offline.path);
    EraseAtOrUnder(pending_, offline.path);
  }
  report({.kind = WatchReport::Kind::kUpdated, .summary = std::move(summary)});
  return Outcome::kDone;
}

void Watcher::ReportWatching(const WatchReporter& report, bool always) {
  const bool refused = !incomplete_.empty();
  if (!always && refused == refused_shown_) return;
  refused_shown_ = refused;
  report({.kind = WatchReport::Kind::kWatching, .watched = watched_.size(), .unwatched = Unwatched()});
}

}  // namespace veskara
