#include "indexer/scan_plan.h"

#include <algorithm>

#include "base/base.h"
#include "base/base_files.h"
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

// Reads fls.txt once: `known` gets every path, and each record at or under
// `scope` (every record when `everything`) goes as `judge` says.
template <typename Judge>
Dropped DropRecords(const std::string& base_directory, Env& env, const std::vector<std::string>& scope, bool everything,
                    Judge&& judge) {
  Dropped dropped;
  for (FileRecord& record : ReadFileRecords(base_directory, env)) {
    dropped.known.insert(record.path);
    if (!everything && !IsUnderAny(record.path, scope)) continue;
    const Verdict verdict = judge(record);
    if (!verdict.drop) continue;
    dropped.numbers.insert(record.number);
    if (dropped.paths.insert(record.path).second && verdict.still_there) dropped.to_read.push_back(record.path);
  }
  return dropped;
}

// A missing or unreadable folder is the user's mistake, not an empty tree:
// adding it would rewrite the base and say "Done!".
void CheckFolder(Env& env, const std::string& folder) {
  const std::string shown = EscapeControlBytes(folder);
  switch (env.Stat(folder).kind) {
    case PathKind::kMissing:
      throw ScanFolderError("The folder " + shown + " does not exist; nothing was added");
    case PathKind::kDirectory:
      break;
    default:
      throw ScanFolderError(shown + " is not a folder; nothing was added");
  }
  std::vector<DirectoryEntry> entries;
  if (!env.ListDirectory(folder, &entries)) {
    throw ScanFolderError("The folder " + shown + " cannot be read; nothing was added");
  }
}

}  // namespace

void AddPlan::Prepare(const std::string& base_directory, Env& env) const {
  CheckFolder(env, folder_);
  // The first scan makes the base folder, private to the user.
  env.CreateDirectories(base_directory, 0700);
}

Dropped AddPlan::Drop(const std::string&, const Remembered&, Env&) { return {}; }

std::vector<std::string> AddPlan::FoldersToWalk(const Remembered&) const { return {folder_}; }

bool AddPlan::WritesAnyway(const Remembered&) const { return true; }

void AddPlan::RememberFolders(Remembered& remembered, int64_t now_ns) const {
  remembered.RememberFolder(folder_, now_ns);
}

void UpdatePlan::Prepare(const std::string& base_directory, Env& env) const {
  if (kinds_) env.CreateDirectories(base_directory, 0700);
}

Dropped UpdatePlan::Drop(const std::string& base_directory, const Remembered& remembered, Env& env) {
  // The scope: the named folders, else the remembered ones, else (a base
  // that remembers none) every file.
  const std::vector<std::string> scope = FoldersToWalk(remembered);
  const int64_t files_written = env.Stat(FilesFilePath(base_directory)).mtime_ns;
  const bool rechooses = Rechooses(remembered);
  // Another choice of kinds reaches every file of the base.
  return DropRecords(base_directory, env, scope, scope.empty() || rechooses, [&](const FileRecord& record) {
    if (rechooses) {
      const DocumentKinds after = KindsOf(record.path, *kinds_);
      if (after != KindsOf(record.path, remembered.kinds)) {
        return Verdict{.drop = true, .still_there = !after.empty() && env.Stat(record.path).kind != PathKind::kMissing};
      }
      if (!scope.empty() && !IsUnderAny(record.path, scope)) return Verdict{};
    }
    const PathInfo now = env.Stat(record.path);
    Verdict verdict{.still_there = now.kind != PathKind::kMissing};
    const auto stamp = remembered.stamps.find(record.number);
    if (stamp != remembered.stamps.end()) {
      verdict.drop = Changed(stamp->second, now) || (retry_ && !stamp->second.unread_reason.empty());
    } else {
      // Without a stamp only the time of the last write of fls.txt tells.
      verdict.drop = now.kind == PathKind::kMissing || (now.kind == PathKind::kFile && now.mtime_ns > files_written);
    }
    return verdict;
  });
}

std::vector<std::string> UpdatePlan::FoldersToWalk(const Remembered& remembered) const {
  if (!folders_.empty()) return folders_;
  std::vector<std::string> folders;
  for (const RememberedFolder& folder : remembered.folders) folders.push_back(folder.path);
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
    for (RememberedFolder& folder : remembered.folders) folder.scanned_ns = now_ns;
  }
  for (const std::string& named : folders_) {
    // A part of a remembered folder was updated, not the folder.
    std::vector<std::string> others;
    for (const RememberedFolder& folder : remembered.folders) {
      if (folder.path != named) others.push_back(folder.path);
    }
    if (!IsUnderAny(named, others)) remembered.RememberFolder(named, now_ns);
  }
}

Dropped RemovePlan::Drop(const std::string& base_directory, const Remembered&, Env& env) {
  return DropRecords(base_directory, env, paths_, false, [](const FileRecord&) { return Verdict{.drop = true}; });
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
