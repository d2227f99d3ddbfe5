#include "indexer/scan_plan.h"

#include <algorithm>

#include "base/base.h"
#include "base/base_files.h"
#include "base/folder_presence.h"
#include "base/messages.h"
#include "base/records.h"
#include "extract/document_kind.h"
#include "indexer/discovery.h"
#include "indexer/scan.h"
#include "platform/paths.h"
#include "platform/strings.h"

namespace veskara {
namespace {

bool IsUnderAny(std::string_view path, const std::vector<std::string>& folders) {
  return std::any_of(folders.begin(), folders.end(),
                     [&](const std::string& folder) { return IsAtOrUnder(path, folder); });
}

// True when `path` or a folder above it is in `paths`: a few lookups for
// each level, whatever the number of paths.
bool AtOrUnderAny(std::string_view path, const std::unordered_set<std::string_view>& paths) {
  if (paths.count(path) != 0) return true;
  for (size_t i = path.size(); i-- > 0;) {
    if (path[i] == kPathSeparator && paths.count(path.substr(0, i == 0 ? 1 : i)) != 0) return true;
  }
  return false;
}

// What a plan says of one record in its scope.
struct Verdict {
  bool drop = false;
  bool still_there = false;  // its file is there to be read again
};

// Reads fls.txt once: `known` gets every path, `orphan_stamps` the stamps
// of no record, and each record at or under `scope` (every record when
// `everything`) goes as `judge` says.
template <typename Judge>
Dropped DropRecords(const std::string& base_directory, const Remembered& remembered, Env& env,
                    const std::vector<std::string>& scope, bool everything, Judge&& judge) {
  Dropped dropped;
  std::unordered_set<std::string> numbers;
  for (FileRecord& record : ReadFileRecords(base_directory, env)) {
    dropped.known.insert(record.path);
    numbers.insert(record.number);
    if (!everything && !IsUnderAny(record.path, scope)) continue;
    const Verdict verdict = judge(record);
    if (!verdict.drop) continue;
    dropped.numbers.insert(record.number);
    if (dropped.paths.insert(record.path).second && verdict.still_there) dropped.to_read.push_back(record.path);
  }
  for (const auto& [number, stamp] : remembered.stamps) {
    if (numbers.count(number) == 0) dropped.orphan_stamps.push_back(number);
  }
  return dropped;
}

// True when an exclusion lies between `outer` and `inner` (at or under
// `outer`, `inner` at or under it): a walk of `outer` does not reach `inner`.
bool ExclusionBetween(const Remembered& remembered, std::string_view outer, std::string_view inner) {
  return std::any_of(remembered.excluded.begin(), remembered.excluded.end(), [&](const std::string& exclusion) {
    return IsAtOrUnder(exclusion, outer) && IsAtOrUnder(inner, exclusion);
  });
}

// Remembers that `folder` was scanned, without nesting remembered folders:
// within a remembered folder whose walk reaches it, nothing changes (it was
// refreshed as a part of that one); otherwise it is remembered (in the place
// of the first it takes in) and takes in the remembered folders its walk
// reaches.
void RememberWithoutNesting(Remembered& remembered, const std::string& folder, int64_t now_ns, uint64_t device) {
  const RememberedFolder* holder = remembered.FolderHolding(folder);
  if (holder != nullptr && holder->path != folder && !remembered.Excludes(folder)) return;
  std::vector<RememberedFolder>& folders = remembered.folders;
  auto taken_in = [&](const RememberedFolder& inner) {
    return inner.path != folder && IsAtOrUnder(inner.path, folder) && !ExclusionBetween(remembered, folder, inner.path);
  };
  const auto first = std::find_if(folders.begin(), folders.end(), taken_in);
  const bool known = holder != nullptr && holder->path == folder;
  if (first == folders.end() || known) {
    remembered.RememberFolder(folder, now_ns, device);
  } else {
    *first = {folder, now_ns, device};
  }
  std::erase_if(folders, taken_in);
}

// Whether an update drops a record: its file is gone, of another kind, or (a
// file) of another size or time than its stamp (without a stamp: modified
// after fls.txt was last written, at `files_written`); with `retry`, also
// one that could not be read. A file in an excluded path is not read again.
Verdict JudgeRecord(const FileRecord& record, const Remembered& remembered, int64_t files_written, bool retry,
                    Env& env) {
  const PathInfo now = env.Stat(record.path);
  // Out of reach is not gone: a folder on the way that may not be searched
  // keeps its files as an offline folder does.
  if (now.kind == PathKind::kMissing && !now.Gone()) return Verdict{};
  Verdict verdict{.still_there = now.kind != PathKind::kMissing};
  const auto stamp = remembered.stamps.find(record.number);
  if (stamp != remembered.stamps.end()) {
    verdict.drop = Changed(stamp->second, now) || (retry && !stamp->second.unread_reason.empty());
  } else {
    // Without a stamp only the time of the last write of fls.txt tells.
    verdict.drop = now.kind == PathKind::kMissing || (now.kind == PathKind::kFile && now.mtime_ns > files_written);
  }
  if (verdict.still_there && !remembered.excluded.empty() && remembered.Excludes(record.path)) {
    verdict.still_there = false;
  }
  return verdict;
}

// A path with a line break or the byte 26 in it would cut folders.txt out
// of step (or lose a CR, or be cut short) when remembered.
void RefuseUnfitPath(const std::string& folder, const char* nothing_done) {
  if (FitsOneLine(folder)) return;
  throw ScanFolderError("The folder " + EscapeControlBytes(folder) +
                        " holds a line break or the byte 26, which the base cannot keep; " + nothing_done);
}

// A missing or unreadable folder is the user's mistake, not an empty tree:
// adding it would rewrite the base and say "Done!".
void CheckFolder(Env& env, const std::string& folder) {
  RefuseUnfitPath(folder, "nothing was added");
  const std::string shown = EscapeControlBytes(folder);
  const FolderPresence presence = LookAtFolder(folder, std::nullopt, env);
  if (presence.online()) return;
  switch (*presence.offline) {
    case OfflineReason::kMissing:
      throw ScanFolderError("The folder " + shown + " does not exist; nothing was added");
    case OfflineReason::kNotAFolder:
      throw ScanFolderError(shown + " is not a folder; nothing was added");
    case OfflineReason::kUnreadable:
      throw ScanFolderError("The folder " + shown + " cannot be read; nothing was added");
    case OfflineReason::kUnreachable:
    case OfflineReason::kLinkLoop:
    case OfflineReason::kOtherFileSystem:
      break;
  }
  throw ScanFolderError("The folder " + shown + " cannot be reached (" + OfflineReasonText(*presence.offline) +
                        "); nothing was added");
}

// Without it, taking the lock failed with a bare "File not found".
void RequireBase(Env& env, const std::string& base_directory, std::string_view unchanged) {
  if (env.Stat(base_directory).kind == PathKind::kMissing) {
    throw ScanFolderError("There is no base in " + EscapeControlBytes(base_directory) +
                          " (the folder does not exist): add a folder to it first; nothing was " +
                          std::string(unchanged));
  }
}

}  // namespace

void AddPlan::Prepare(const std::string& base_directory, Env& env) const {
  CheckFolder(env, folder_);
  // The first scan makes the base folder, private to the user.
  env.CreateDirectories(base_directory, 0700);
}

void AddPlan::LookAtFolders(const Remembered& remembered, Env& env) {
  for (const RememberedFolder& folder : remembered.folders) {
    if (folder.path != folder_) continue;
    const FolderPresence presence = LookAtFolder(folder, env);
    if (presence.offline == OfflineReason::kOtherFileSystem && !HoldsAMount(folder_, env)) {
      throw ScanFolderError("The folder " + EscapeControlBytes(folder_) +
                            " is on another file system than when last scanned, and no disk is mounted on it; "
                            "nothing was added");
    }
  }
}

Dropped AddPlan::Drop(const std::string&, const Remembered&, Env& env) {
  device_ = env.Stat(folder_).id.device;
  return {};
}

std::vector<std::string> AddPlan::FoldersToWalk(const Remembered&) const { return {folder_}; }

bool AddPlan::WritesAnyway(const Remembered&) const { return true; }

void AddPlan::RememberFolders(Remembered& remembered, int64_t now_ns) const {
  // An add of a path a person removed takes it back.
  std::erase(remembered.excluded, folder_);
  RememberWithoutNesting(remembered, folder_, now_ns, device_);
}

void UpdatePlan::Prepare(const std::string& base_directory, Env& env) const {
  for (const std::string& folder : folders_) RefuseUnfitPath(folder, "nothing was updated");
  if (kinds_) {
    env.CreateDirectories(base_directory, 0700);
  } else {
    RequireBase(env, base_directory, "updated");
  }
}

std::vector<std::string> UpdatePlan::Scope(const Remembered& remembered) const {
  if (!folders_.empty()) return folders_;
  std::vector<std::string> folders;
  for (const RememberedFolder& folder : remembered.folders) folders.push_back(folder.path);
  return folders;
}

void UpdatePlan::LookAtFolders(const Remembered& remembered, Env& env) {
  // The remembered folders in scope, and those that hold a named one.
  const std::vector<std::string> scope = Scope(remembered);
  std::unordered_map<std::string, FolderPresence> looked;
  for (const RememberedFolder& folder : remembered.folders) {
    const bool holds_named = std::any_of(folders_.begin(), folders_.end(),
                                         [&](const std::string& named) { return IsAtOrUnder(named, folder.path); });
    if (!holds_named && !IsUnderAny(folder.path, scope)) continue;
    const FolderPresence presence = LookAtFolder(folder, env);
    looked.emplace(folder.path, presence);
    if (presence.online()) continue;
    // Asked for by name, an offline folder is an error, not an empty tree.
    for (const std::string& named : folders_) {
      if (IsAtOrUnder(named, folder.path)) throw ScanFolderOffline(FolderOfflineText(named, *presence.offline));
    }
    offline_.push_back({folder.path, *presence.offline, 0});
  }
  for (const std::string& folder : scope) {
    const auto seen = looked.find(folder);
    const FolderPresence presence = seen != looked.end() ? seen->second : LookAtFolder(folder, std::nullopt, env);
    if (!presence.online()) {
      if (folders_.empty()) continue;
      throw ScanFolderOffline(FolderOfflineText(folder, *presence.offline));
    }
    online_.push_back(folder);
    devices_[folder] = presence.device;
  }
}

Dropped UpdatePlan::Drop(const std::string& base_directory, const Remembered& remembered, Env& env) {
  // The scope: the named folders, else the remembered ones, else (a base
  // that remembers none) every file.
  const std::vector<std::string> scope = Scope(remembered);
  std::vector<OfflineFolder> offline = offline_;
  const int64_t files_written = env.Stat(FilesFilePath(base_directory)).mtime_ns;
  const bool rechooses = Rechooses(remembered);
  // Another choice of kinds reaches every file of the base.
  Dropped dropped =
      DropRecords(base_directory, remembered, env, scope, scope.empty() || rechooses, [&](const FileRecord& record) {
        if (rechooses) {
          const DocumentKinds after = KindsOf(record.path, *kinds_);
          if (after != KindsOf(record.path, remembered.kinds)) {
            return Verdict{.drop = true,
                           .still_there = !after.empty() && env.Stat(record.path).kind != PathKind::kMissing};
          }
          if (!scope.empty() && !IsUnderAny(record.path, scope)) return Verdict{};
        }
        bool kept = false;
        for (OfflineFolder& folder : offline) {
          if (IsAtOrUnder(record.path, folder.path)) {
            ++folder.files_kept;
            kept = true;
          }
        }
        if (kept) return Verdict{};
        return JudgeRecord(record, remembered, files_written, retry_, env);
      });
  dropped.offline = std::move(offline);
  return dropped;
}

std::vector<std::string> UpdatePlan::FoldersToWalk(const Remembered& remembered) const {
  std::vector<std::string> folders;
  for (const std::string& folder : online_) {
    if (!remembered.Excludes(folder)) folders.push_back(folder);
  }
  return folders;
}

bool UpdatePlan::WritesAnyway(const Remembered& remembered) const { return Rechooses(remembered); }

KindChoice UpdatePlan::KindsToRead(const Remembered& remembered) const { return kinds_ ? *kinds_ : remembered.kinds; }

void UpdatePlan::RememberFolders(Remembered& remembered, int64_t now_ns) const {
  if (Rechooses(remembered)) {
    remembered.kinds = *kinds_;
    remembered.kinds_recorded = true;
  }
  if (folders_.empty()) {
    // An offline folder keeps its time: it was not scanned.
    for (RememberedFolder& folder : remembered.folders) {
      const auto device = devices_.find(folder.path);
      if (device == devices_.end()) continue;
      folder.scanned_ns = now_ns;
      folder.device = device->second;
    }
  }
  for (const std::string& named : folders_) {
    // A part of a remembered folder was updated, not the folder; an excluded
    // one was not updated at all.
    if (remembered.Excludes(named)) continue;
    RememberWithoutNesting(remembered, named, now_ns, devices_.at(named));
  }
}

ChangePlan::ChangePlan(std::vector<std::string> paths) : paths_(std::move(paths)) {
  std::sort(paths_.begin(), paths_.end());
  paths_.erase(std::unique(paths_.begin(), paths_.end()), paths_.end());
}

void ChangePlan::LookAtFolders(const Remembered& remembered, Env& env) {
  std::unordered_map<std::string, bool> online;  // by remembered folder, looked at once
  for (const std::string& path : paths_) {
    const RememberedFolder* folder = remembered.FolderHolding(path);
    if (folder == nullptr || remembered.Excludes(path) || !WalkReaches(folder->path, path)) continue;
    auto [seen, first] = online.try_emplace(folder->path, true);
    if (first) {
      const FolderPresence presence = LookAtFolder(*folder, env);
      seen->second = presence.online();
      if (!presence.online()) offline_.push_back({folder->path, *presence.offline, 0});
    }
    if (seen->second) in_scope_.push_back(path);
  }
}

Dropped ChangePlan::Drop(const std::string& base_directory, const Remembered& remembered, Env& env) {
  const int64_t files_written = env.Stat(FilesFilePath(base_directory)).mtime_ns;
  const std::unordered_set<std::string_view> changed(in_scope_.begin(), in_scope_.end());
  Dropped dropped;
  for (FileRecord& record : ReadFileRecords(base_directory, env)) {
    for (OfflineFolder& folder : offline_) {
      if (IsAtOrUnder(record.path, folder.path)) ++folder.files_kept;
    }
    if (!changed.empty() && AtOrUnderAny(record.path, changed)) {
      const Verdict verdict = JudgeRecord(record, remembered, files_written, false, env);
      if (verdict.drop) {
        dropped.numbers.insert(record.number);
        if (dropped.paths.insert(record.path).second && verdict.still_there) dropped.to_read.push_back(record.path);
      }
    }
    dropped.known.insert(std::move(record.path));
  }
  for (const std::string& path : in_scope_) {
    const PathInfo info = env.Stat(path);
    // A remembered folder is walked whatever its name, and is no candidate.
    const bool root = remembered.FolderHolding(path)->path == path;
    if (info.kind == PathKind::kDirectory && (root || IsWalkedFolderName(OwnName(path)))) walk_.push_back(path);
    if (root || dropped.known.count(path) != 0 || !IsCandidateName(OwnName(path), remembered.kinds)) continue;
    // A broken link is a candidate by its name, as in the walk.
    if (info.kind != PathKind::kMissing || env.Stat(path, /*follow_links=*/false).kind != PathKind::kMissing) {
      dropped.to_read.push_back(path);
    }
  }
  dropped.offline = offline_;
  return dropped;
}

std::vector<std::string> ChangePlan::FoldersToWalk(const Remembered&) const { return walk_; }

void RemovePlan::Prepare(const std::string& base_directory, Env& env) const {
  RequireBase(env, base_directory, "removed");
}

Dropped RemovePlan::Drop(const std::string& base_directory, const Remembered& remembered, Env& env) {
  std::unordered_set<std::string> matched;  // the paths that took a file
  Dropped dropped = DropRecords(base_directory, remembered, env, paths_, false, [&](const FileRecord& record) {
    for (const std::string& path : paths_) {
      if (IsAtOrUnder(record.path, path)) matched.insert(path);
    }
    return Verdict{.drop = true};
  });
  // The folders and exclusions after the remove: the folders at or under a
  // path forgotten, and their exclusions with them; a path left inside a
  // remembered folder excluded, so that no update reads it again (one that
  // took no file and names nothing on the disk is a slip, not a wish).
  after_.folders = remembered.folders;
  after_.excluded = remembered.excluded;
  std::erase_if(after_.folders, [&](const RememberedFolder& folder) { return IsUnderAny(folder.path, paths_); });
  std::erase_if(after_.excluded, [&](const std::string& exclusion) { return IsUnderAny(exclusion, paths_); });
  for (const std::string& path : paths_) {
    if (after_.FolderHolding(path) == nullptr || after_.Excludes(path) || !FitsOneLine(path)) continue;
    if (matched.count(path) != 0 || env.Stat(path, /*follow_links=*/false).kind != PathKind::kMissing) {
      after_.excluded.push_back(path);
    }
  }
  // A remove that matches nothing writes nothing (exit 1); the orphans go
  // with the next change.
  if (dropped.numbers.empty() && !WritesAnyway(remembered)) dropped.orphan_stamps.clear();
  return dropped;
}

std::vector<std::string> RemovePlan::FoldersToWalk(const Remembered&) const { return {}; }

bool RemovePlan::WritesAnyway(const Remembered& remembered) const {
  return after_.folders != remembered.folders || after_.excluded != remembered.excluded;
}

void RemovePlan::RememberFolders(Remembered& remembered, int64_t) const {
  remembered.folders = after_.folders;
  remembered.excluded = after_.excluded;
}

}  // namespace veskara
