#include "extract/conversion_folder.h"

#include <optional>
#include <vector>

#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace veskara {
namespace {

constexpr std::string_view kPrefix = "veskara-pdf-";
constexpr unsigned kPrivateMode = 0700;

std::string Join(const std::string& dir, std::string_view name) {
  std::string path = dir;
  if (path.empty() || path.back() != kPathSeparator) path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

// Where the user's own parent may go, best first: the runtime folder is
// private to the user already; the others are shared, so the parent's name
// holds the user's id.
std::vector<std::pair<std::string, std::string>> ParentPlaces(Env& env, const std::string& base_directory) {
  std::vector<std::pair<std::string, std::string>> places;  // (root, parent)
  if (std::optional<std::string> run = env.Variable("XDG_RUNTIME_DIR"); run && !run->empty()) {
    places.emplace_back(*run, Join(*run, "veskara"));
  }
  const std::string own = "veskara-" + std::to_string(env.UserId());
  if (std::optional<std::string> tmp = env.Variable("TMPDIR"); tmp && !tmp->empty()) {
    places.emplace_back(*tmp, Join(*tmp, own));
  }
  places.emplace_back("/tmp", Join("/tmp", own));
  places.emplace_back(base_directory, Join(base_directory, own));
  return places;
}

bool IsPrivate(Env& env, DirectoryHandle& folder) {
  try {
    const Ownership owner = folder.Owner();
    return owner.user == env.UserId() && owner.mode == kPrivateMode;
  } catch (const IoError&) {
    return false;
  }
}

// The parent at `path` under `root`, made when missing; null, with the
// reason, when it is not this user's own.
std::unique_ptr<DirectoryHandle> OpenPrivateParent(Env& env, const std::string& root, const std::string& path,
                                                   std::string* reason) {
  // Only the parent itself is made: a missing root is not ours to create.
  if (env.Stat(root).kind != PathKind::kDirectory) {
    *reason = IoErrorMessage(ENOENT);
    return nullptr;
  }
  try {
    env.CreateDirectories(path, kPrivateMode);
  } catch (const IoError& e) {
    *reason = e.what();
    return nullptr;
  }
  std::unique_ptr<DirectoryHandle> parent = env.OpenDirectory(path);
  if (parent == nullptr || !IsPrivate(env, *parent)) {
    *reason = "not a folder of this user's own with mode 0700";
    return nullptr;
  }
  return parent;
}

// Removes what `folder` holds, `levels` deep; a name that is not a real
// folder (a link among them) is removed itself, never followed. What cannot
// be removed is left for a later scan.
void RemoveContents(DirectoryHandle& folder, int levels) noexcept {
  std::vector<DirectoryEntry> entries;
  if (!folder.List(&entries)) return;
  for (const DirectoryEntry& entry : entries) {
    try {
      if (entry.is_directory && levels > 1) {
        if (std::unique_ptr<DirectoryHandle> child = folder.OpenChild(entry.name)) RemoveContents(*child, levels - 1);
      }
      folder.RemoveChild(entry.name, entry.is_directory);
    } catch (const std::exception&) {
      // Left for the next scan.
    }
  }
}

// Removes the folders of scans that died. A folder counts only when it is a
// real folder of this user's own, mode 0700, whose process is gone and whose
// lock no live conversion holds: the lock guards a process id reused since.
void RemoveStale(Env& env, DirectoryHandle& parent) noexcept {
  std::vector<DirectoryEntry> entries;
  if (!parent.List(&entries)) return;
  for (const DirectoryEntry& entry : entries) {
    const int64_t owner = ConversionFolder::OwnerOf(entry.name);
    if (owner <= 0 || owner == ProcessId() || ProcessIsAlive(owner)) continue;
    try {
      std::unique_ptr<DirectoryHandle> stale = parent.OpenChild(entry.name);
      if (stale == nullptr || !IsPrivate(env, *stale) || !stale->TryLock()) continue;
      RemoveContents(*stale, 2);
      parent.RemoveChild(entry.name, /*folder=*/true);
    } catch (const std::exception&) {
      // Left for the next scan.
    }
  }
}

}  // namespace

std::string ConversionFolder::Prefix() { return std::string(kPrefix) + std::to_string(ProcessId()) + "-"; }

int64_t ConversionFolder::OwnerOf(std::string_view name) {
  if (!name.starts_with(kPrefix)) return -1;
  name.remove_prefix(kPrefix.size());
  int64_t pid = 0;
  size_t i = 0;
  for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && i < 18; ++i) pid = pid * 10 + (name[i] - '0');
  if (i == 0 || i >= name.size() || name[i] != '-') return -1;
  return pid;
}

std::string ConversionFolder::JobFolder(unsigned k) const { return Join(path_, std::to_string(k + 1)); }

ConversionFolder::ConversionFolder(Env& env, const std::string& base_directory, unsigned jobs) {
  std::string failures;
  auto failed = [&](const std::string& place, const std::string& reason) {
    if (!failures.empty()) failures += ", ";
    failures += place + ": " + reason;
  };
  for (const auto& [root, parent_path] : ParentPlaces(env, base_directory)) {
    std::string reason;
    std::unique_ptr<DirectoryHandle> parent = OpenPrivateParent(env, root, parent_path, &reason);
    if (parent == nullptr) {
      failed(parent_path, reason);
      continue;
    }
    RemoveStale(env, *parent);
    try {
      path_ = env.MakePrivateDirectory(parent_path, Prefix());
    } catch (const IoError& e) {
      failed(parent_path, e.what());
      continue;
    }
    name_ = path_.substr(path_.rfind(kPathSeparator) + 1);
    folder_ = parent->OpenChild(name_);
    parent_ = std::move(parent);
    try {
      // Locked before anything is converted in it, so no later scan takes it
      // for a dead one's.
      if (folder_ == nullptr || !IsPrivate(env, *folder_) || !folder_->TryLock()) {
        throw IoError(EACCES, "the new folder is not this user's own");
      }
      for (unsigned k = 0; k < jobs; ++k) env.CreateDirectories(JobFolder(k), kPrivateMode);
      return;
    } catch (const IoError& e) {
      failed(parent_path, e.what());
      RemoveOwn();
    }
  }
  path_.clear();
  throw IoError(EIO, "No folder can be made to convert PDF documents in (" + failures + ")");
}

ConversionFolder::~ConversionFolder() { RemoveOwn(); }

void ConversionFolder::RemoveOwn() noexcept {
  if (folder_ != nullptr) RemoveContents(*folder_, 2);
  try {
    if (parent_ != nullptr && !name_.empty()) parent_->RemoveChild(name_, /*folder=*/true);
  } catch (const std::exception&) {
    // Left for the next scan, which sees the lock free once this one ends.
  }
  folder_.reset();
  parent_.reset();
  name_.clear();
}

}  // namespace veskara
