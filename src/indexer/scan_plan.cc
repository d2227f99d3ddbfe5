#include "indexer/scan_plan.h"

#include <algorithm>

#include "base/base.h"
#include "base/base_files.h"
#include "base/folder_presence.h"
#include "base/messages.h"
#include "base/records.h"
#include "extract/document_kind.h"
#include "indexer/scan.h"
#include "platform/strings.h"

namespace veskara {
namespace {

bool IsUnderAny(std::string_view path, const std::vector<std::string>& folders) {
  return std::any_of(folders.begin(), folders.end(),
                     [&](const std::string& folder) { return IsAtOrUnder(path, folder); });
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
  remembered.RememberFolder(folder_, now_ns, device_);
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
        const PathInfo now = env.Stat(record.path);
        // Out of reach is not gone: a folder on the way that may not be searched
        // keeps its files as an offline folder does.
        if (now.kind == PathKind::kMissing && !now.Gone()) return Verdict{};
        Verdict verdict{.still_there = now.kind != PathKind::kMissing};
        const auto stamp = remembered.stamps.find(record.number);
        if (stamp != remembered.stamps.end()) {
          verdict.drop = Changed(stamp->second, now) || (retry_ && !stamp->second.unread_reason.empty());
        } else {
          // Without a stamp only the time of the last write of fls.txt tells.
          verdict.drop =
              now.kind == PathKind::kMissing || (now.kind == PathKind::kFile && now.mtime_ns > files_written);
        }
        return verdict;
      });
  dropped.offline = std::move(offline);
  return dropped;
}

std::vector<std::string> UpdatePlan::FoldersToWalk(const Remembered&) const { return online_; }

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
    // A part of a remembered folder was updated, not the folder.
    std::vector<std::string> others;
    for (const RememberedFolder& folder : remembered.folders) {
      if (folder.path != named) others.push_back(folder.path);
    }
    if (!IsUnderAny(named, others)) remembered.RememberFolder(named, now_ns, devices_.at(named));
  }
}

void RemovePlan::Prepare(const std::string& base_directory, Env& env) const {
  RequireBase(env, base_directory, "removed");
}

Dropped RemovePlan::Drop(const std::string& base_directory, const Remembered& remembered, Env& env) {
  Dropped dropped = DropRecords(base_directory, remembered, env, paths_, false,
                                [](const FileRecord&) { return Verdict{.drop = true}; });
  // A remove that matches nothing writes nothing (exit 1); the orphans go
  // with the next change.
  if (dropped.numbers.empty() && !WritesAnyway(remembered)) dropped.orphan_stamps.clear();
  return dropped;
}

std::vector<std::string> RemovePlan::FoldersToWalk(const Remembered&) const { return {}; }

bool RemovePlan::WritesAnyway(const Remembered& remembered) const {
  return std::any_of(remembered.folders.begin(), remembered.folders.end(),
                     [&](const RememberedFolder& folder) { return IsUnderAny(folder.path, paths_); });
}

void RemovePlan::RememberFolders(Remembered& remembered, int64_t) const {
  std::erase_if(remembered.folders, [&](const RememberedFolder& folder) { return IsUnderAny(folder.path, paths_); });
}

}  // namespace veskara
