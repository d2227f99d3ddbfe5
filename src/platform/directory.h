// Directory listing and the few file-system queries the walk and the readers
// need. Nothing here throws: a listing or a query that fails says so in its
// result, because a scan goes on past whatever it cannot see.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veskara {

// Identifies a directory on this machine (device and inode), so that a walk
// can tell when a link leads back into a directory it is already inside.
struct FileId {
  uint64_t device = 0;
  uint64_t inode = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
};

struct DirectoryEntry {
  std::string name;
  // True when the entry is a directory or a link that resolves to one.
  bool is_directory = false;
  // The resolved directory's identity; meaningful only when is_directory.
  FileId id;
};

// Appends the entries of the directory `path` ("" is the current directory)
// to *entries, without "." and "..", in the order the system returns them.
// Returns false, and leaves *entries as it was, when the directory cannot be
// opened or read to its end.
bool ListDirectory(const std::string& path, std::vector<DirectoryEntry>* entries);

// The identity of the directory `path` ("" is the current directory), links
// followed; no value when it is not a directory or cannot be reached.
std::optional<FileId> DirectoryId(const std::string& path);

// True when `pattern` (the last component of a walk's mask) matches `name`.
// "*" and "*.*" match every name, with or without a dot; any other pattern
// uses the shell's wildcards ("*", "?", "[...]").
bool MatchesWildcard(std::string_view pattern, std::string_view name);

// True when `path` names a regular file (links followed). A reader tests this
// before it opens anything, so FIFOs, sockets, devices and directories are
// never opened.
bool IsRegularFile(const std::string& path);

// Deletes the file `path`; false when it cannot be deleted.
bool RemoveFile(const std::string& path);

}  // namespace veskara
