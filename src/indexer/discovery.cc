#include "indexer/discovery.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <utility>

#include "base/messages.h"
#include "base/records.h"
#include "base/remembered.h"
#include "extract/document_kind.h"
#include "platform/paths.h"
#include "platform/wildcard.h"

namespace veskara {
namespace {

// A folder the walk enters; fls.txt holds one path per line, so a name with
// a line break or an end-of-file byte in it (FitsOneLine) is neither walked
// nor recorded: it would shift every record after it.
bool IsWalked(const DirectoryEntry& entry) { return entry.is_directory && entry.name[0] != '.'; }

// The path of a folder the walk reports: without its closing separator.
std::string FolderPath(const std::string& dir) {
  if (dir.size() > 1 && dir.back() == kPathSeparator) return dir.substr(0, dir.size() - 1);
  return dir;
}

bool NameOrder(const DirectoryEntry& a, const DirectoryEntry& b) {
  return a.name < b.name;  // char_traits<char> compares as unsigned bytes
}

struct IdLess {
  bool operator()(const FileId& a, const FileId& b) const {
    return std::pair(a.device, a.inode) < std::pair(b.device, b.inode);
  }
};

// One directory on the path from the start: its subdirectories still to walk.
struct Frame {
  std::string dir;  // ends with the separator, or empty for the current directory
  std::optional<FileId> id;
  std::vector<DirectoryEntry> subdirs;
  size_t next = 0;
};

}  // namespace

std::optional<std::string> FolderToScan(std::string_view directory_text, Env& env) {
  bool blank = std::all_of(directory_text.begin(), directory_text.end(),
                           [](char c) { return static_cast<unsigned char>(c) <= 32; });
  if (blank) return std::nullopt;
  std::optional<std::string> folder = AbsolutePathFromCurrentFolder(ExpandHome(directory_text, env), env);
  if (!folder) throw std::runtime_error(UnknownCurrentFolderText(directory_text) + "; nothing was added");
  return folder;
}

std::string StartMask(std::string_view folder) {
  std::string mask(folder);
  if (mask.empty() || mask.back() != kPathSeparator) mask += kPathSeparator;
  mask += "*.*";
  return mask;
}

void WalkFolders(const std::string& folder, const std::unordered_set<std::string>* excluded, Env& env,
                 const std::function<bool(const std::string&)>& visit) {
  const PathInfo start = env.Stat(folder);
  if (start.kind != PathKind::kDirectory) return;
  std::set<FileId, IdLess> walked = {start.id};
  // An explicit stack, as in ScanDirectory.
  std::vector<std::string> to_visit = {FolderPath(folder)};
  std::vector<DirectoryEntry> entries;
  while (!to_visit.empty()) {
    const std::string dir = std::move(to_visit.back());
    to_visit.pop_back();
    if (!FitsOneLine(dir) || !visit(dir)) continue;
    entries.clear();
    if (!env.ListDirectory(dir, &entries)) continue;
    for (const DirectoryEntry& entry : entries) {
      if (!IsWalked(entry)) continue;
      std::string path = dir == "/" ? dir + entry.name : dir + kPathSeparator + entry.name;
      if (excluded != nullptr && excluded->count(path) != 0) continue;
      if (walked.insert(entry.id).second) to_visit.push_back(std::move(path));
    }
  }
}

bool IsCandidateName(std::string_view name, const KindChoice& kinds) { return FitsOneLine(name) && Takes(name, kinds); }

bool IsWalkedFolderName(std::string_view name) { return !name.empty() && name[0] != '.' && FitsOneLine(name); }

bool WalkReaches(std::string_view folder, std::string_view path) {
  while (folder.size() > 1 && folder.back() == kPathSeparator) folder.remove_suffix(1);
  if (!FitsOneLine(folder) || !IsAtOrUnder(path, folder)) return false;
  std::string_view rest = path.substr(folder.size());
  // The folders between: every component but the last.
  while (!rest.empty() && rest.front() == kPathSeparator) rest.remove_prefix(1);
  for (size_t slash; (slash = rest.find(kPathSeparator)) != std::string_view::npos; rest.remove_prefix(slash + 1)) {
    if (!IsWalkedFolderName(rest.substr(0, slash))) return false;
  }
  return FitsOneLine(rest);
}

void ScanDirectory(const std::string& mask, const KindChoice& kinds, std::vector<std::string>& NewFiles,
                   const std::function<void()>& entered, Env& env, std::vector<UnreadDocument>* unread,
                   const std::unordered_set<std::string>* excluded) {
  if (excluded != nullptr && excluded->empty()) excluded = nullptr;
  std::string entry_path;
  const size_t cut = mask.rfind(kPathSeparator);
  const std::string start_dir = cut == std::string::npos ? std::string() : mask.substr(0, cut + 1);
  const std::string pattern = cut == std::string::npos ? mask : mask.substr(cut + 1);

  // An explicit stack instead of recursion: a tree thousands of levels deep
  // must not exhaust the thread's stack.
  std::vector<Frame> path;
  // Every folder walked so far: links that fan out (two links to one
  // folder on every level) would otherwise multiply the tree, and a link to
  // a folder being walked would never end.
  std::set<FileId, IdLess> walked;
  std::vector<DirectoryEntry> entries;

  // Visits one directory: the file pass, then a frame for its directory pass.
  auto visit = [&](std::string dir, std::optional<FileId> id) {
    if (entered) entered();
    entries.clear();
    if (!FitsOneLine(dir)) return;
    if (!env.ListDirectory(dir, &entries)) {
      if (unread != nullptr) unread->push_back({FolderPath(dir), kUnlistedFolderReason});
      return;
    }
    std::sort(entries.begin(), entries.end(), NameOrder);
    Frame frame;
    for (DirectoryEntry& entry : entries) {
      const bool candidate = MatchesWildcard(pattern, entry.name) && Takes(entry.name, kinds);
      if (!FitsOneLine(entry.name)) {
        // Left out, but named: a page or a folder of pages is not lost in silence.
        if ((candidate || IsWalked(entry)) && unread != nullptr) {
          unread->push_back({dir + entry.name, kUnfitNameReason});
        }
        continue;
      }
      if (excluded != nullptr) {
        entry_path.assign(dir).append(entry.name);
        if (excluded->count(entry_path) != 0) continue;
      }
      if (candidate) NewFiles.push_back(dir + entry.name);
      if (IsWalked(entry)) frame.subdirs.push_back(std::move(entry));
    }
    if (frame.subdirs.empty()) return;
    frame.dir = std::move(dir);
    frame.id = id;
    path.push_back(std::move(frame));
  };

  const PathInfo start = env.Stat(start_dir);
  if (start.kind == PathKind::kDirectory) walked.insert(start.id);
  visit(start_dir, start.kind == PathKind::kDirectory ? std::optional<FileId>(start.id) : std::nullopt);
  while (!path.empty()) {
    Frame& top = path.back();
    if (top.next == top.subdirs.size()) {
      path.pop_back();
      continue;
    }
    const DirectoryEntry& sub = top.subdirs[top.next++];
    if (!walked.insert(sub.id).second) continue;
    std::string dir = top.dir + sub.name + kPathSeparator;
    visit(std::move(dir), sub.id);  // may grow `path`: `top` is not used after this
  }
}

}  // namespace veskara
