#include "indexer/conversion_folder.h"

#include <optional>
#include <vector>

#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace veskara {
namespace {

constexpr std::string_view kPrefix = "veskara-pdf-";

// Where a folder may go, best first.
std::vector<std::string> Parents(Env& env, const std::string& base_directory) {
  std::vector<std::string> parents;
  if (std::optional<std::string> tmp = env.Variable("TMPDIR"); tmp && !tmp->empty()) parents.push_back(*tmp);
  parents.push_back("/tmp");
  parents.push_back(base_directory);
  return parents;
}

std::string Join(const std::string& dir, std::string_view name) {
  std::string path = dir;
  if (path.empty() || path.back() != kPathSeparator) path.push_back(kPathSeparator);
  path.append(name);
  return path;
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

namespace {

// `levels` bounds the descent: a link to a folder is removed, never
// followed further than the job folders go.
void RemoveTree(Env& env, const std::string& folder, int levels) {
  std::vector<DirectoryEntry> entries;
  if (env.ListDirectory(folder, &entries)) {
    for (const DirectoryEntry& entry : entries) {
      const std::string path = Join(folder, entry.name);
      if (entry.is_directory && levels > 1 && env.Stat(path, /*follow_links=*/false).kind == PathKind::kDirectory) {
        RemoveTree(env, path, levels - 1);
      } else {
        env.Remove(path);
      }
    }
  }
  env.Remove(folder);
}

}  // namespace

void RemoveFolderQuietly(Env& env, const std::string& folder) noexcept {
  try {
    RemoveTree(env, folder, 2);
  } catch (const std::exception&) {
    // Left for the next scan to remove.
  }
}

std::string ConversionFolder::JobFolder(unsigned k) const { return Join(path_, std::to_string(k + 1)); }

ConversionFolder::ConversionFolder(Env& env, const std::string& base_directory, unsigned jobs) : env_(env) {
  const std::vector<std::string> parents = Parents(env, base_directory);
  for (const std::string& parent : parents) {
    std::vector<DirectoryEntry> entries;
    if (!env.ListDirectory(parent, &entries)) continue;
    for (const DirectoryEntry& entry : entries) {
      const int64_t owner = OwnerOf(entry.name);
      if (owner > 0 && entry.is_directory && owner != ProcessId() && !ProcessIsAlive(owner)) {
        RemoveFolderQuietly(env, Join(parent, entry.name));
      }
    }
  }
  std::string failures;
  for (const std::string& parent : parents) {
    try {
      path_ = env.MakePrivateDirectory(parent, Prefix());
    } catch (const IoError& e) {
      if (!failures.empty()) failures += ", ";
      failures += parent + ": " + e.what();
      continue;
    }
    try {
      for (unsigned k = 0; k < jobs; ++k) env.CreateDirectories(JobFolder(k), 0700);
      return;
    } catch (const IoError& e) {
      RemoveFolderQuietly(env, path_);
      if (!failures.empty()) failures += ", ";
      failures += parent + ": " + e.what();
    }
  }
  throw IoError(EIO, "No folder can be made to convert PDF documents in (" + failures + ")");
}

ConversionFolder::~ConversionFolder() { RemoveFolderQuietly(env_, path_); }

}  // namespace veskara
