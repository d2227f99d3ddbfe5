#include "search/remembered_lists.h"

#include <algorithm>

#include "base/base.h"
#include "base/folder_presence.h"
#include "base/remembered.h"

namespace veskara {

std::vector<FolderRow> ListFolders(const std::string& base_directory, Env& env) {
  const Remembered remembered = LoadRemembered(base_directory, env);
  std::vector<FolderRow> rows;
  for (const RememberedFolder& folder : remembered.folders) {
    rows.push_back({folder.path, 0, folder.scanned_ns, LookAtFolder(folder, env).offline});
  }
  for (const std::string& exclusion : remembered.excluded) {
    const RememberedFolder* holder = remembered.FolderHolding(exclusion);
    if (holder == nullptr) continue;
    rows[static_cast<size_t>(holder - remembered.folders.data())].excluded.push_back(exclusion);
  }
  if (rows.empty()) return rows;
  for (const FileRecord& record : ReadFileRecords(base_directory, env)) {
    for (FolderRow& row : rows) {
      if (IsAtOrUnder(record.path, row.path)) ++row.files;
    }
  }
  return rows;
}

size_t FilesUnder(const std::vector<FolderRow>& folders) {
  size_t files = 0;
  for (const FolderRow& folder : folders) {
    const bool inside = std::any_of(folders.begin(), folders.end(), [&](const FolderRow& other) {
      return other.path != folder.path && IsAtOrUnder(folder.path, other.path);
    });
    if (!inside) files += folder.files;
  }
  return files;
}

std::vector<UnreadRow> ListUnread(const std::string& base_directory, Env& env) {
  const Remembered remembered = LoadRemembered(base_directory, env);
  std::vector<UnreadRow> rows;
  if (remembered.stamps.empty()) return rows;
  for (FileRecord& record : ReadFileRecords(base_directory, env)) {
    const auto stamp = remembered.stamps.find(record.number);
    if (stamp != remembered.stamps.end() && !stamp->second.unread_reason.empty()) {
      rows.push_back({std::move(record.path), stamp->second.unread_reason});
    }
  }
  return rows;
}

}  // namespace veskara
