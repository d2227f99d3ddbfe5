// What the base remembers, as the front ends list it: the folders added and
// the documents that could not be read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/folder_presence.h"
#include "platform/env.h"

namespace veskara {

struct FolderRow {
  std::string path;
  size_t files = 0;        // files of the base at or under it
  int64_t scanned_ns = 0;  // its last scan or update
  // Why it is offline now (LookAtFolder); none when it is online.
  std::optional<OfflineReason> offline = std::nullopt;
  // The paths in it that are excluded, in the order removed.
  std::vector<std::string> excluded = {};
};

// The remembered folders in the order first added, each with the number of
// files of the base under it, whether it is there now, and its exclusions
// (each with the nearest remembered folder above it). None for a base that
// remembers no folder.
// Throws IoError or std::runtime_error (a damaged file, named) as
// LoadRemembered does.
std::vector<FolderRow> ListFolders(const std::string& base_directory, Env& env);

// How many files of the base lie under `folders` (rows of ListFolders)
// together: a folder inside another one of them adds none of its own.
size_t FilesUnder(const std::vector<FolderRow>& folders);

struct UnreadRow {
  std::string path;
  std::string reason;
  bool operator==(const UnreadRow&) const = default;
};

// The files of the base that could not be read, in the order of fls.txt.
std::vector<UnreadRow> ListUnread(const std::string& base_directory, Env& env);

}  // namespace veskara
