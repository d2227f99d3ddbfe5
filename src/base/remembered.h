// What a base remembers beyond wrds.txt and fls.txt, so that it can be kept
// current: the folders added, the paths in them a person removed, what each
// file was like when it was read, the highest file number ever given, and
// the kinds it reads (docs/base-format.md). A base written without these
// files works as before; its files have no stamp, and it reads the written
// kinds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/kind_choice.h"
#include "platform/env.h"

namespace veskara {

struct RememberedFolder {
  std::string path;        // absolute, as the folder was added
  int64_t scanned_ns = 0;  // its last scan or update, nanoseconds since the epoch
  // The file system it was on then (its device number); none for a folder
  // remembered before devices were kept, until a scan of it is written.
  std::optional<uint64_t> device = std::nullopt;
  bool operator==(const RememberedFolder&) const = default;
};

// What a file was like when a scan read it.
struct FileStamp {
  PathKind kind = PathKind::kFile;  // a candidate may also be a folder, a FIFO or a broken link
  uint64_t size = 0;
  int64_t mtime_ns = 0;
  std::string unread_reason;  // why it could not be read; "" when it was
  bool operator==(const FileStamp&) const = default;
};

struct Remembered {
  // False for a base written before these files existed: no folder is
  // remembered and no file has a stamp.
  bool present = false;
  std::vector<RememberedFolder> folders;  // in the order first added
  // By the number line of the file's record in fls.txt.
  std::unordered_map<std::string, FileStamp> stamps;
  // The highest file number ever given; -1 when none was. Numbers are never
  // given twice, also after their records left the base.
  int64_t highest_number = -1;
  // Paths in remembered folders that a person removed: no walk takes or
  // enters them until an add of the path itself. Absolute, normalised, in
  // the order removed.
  std::vector<std::string> excluded;
  // True when excluded.txt was read: it is written again, also empty.
  bool excluded_file = false;
  // The groups of kinds read beyond the written ones; kinds_recorded when
  // kinds.txt holds them (a commit then writes it again).
  KindChoice kinds;
  bool kinds_recorded = false;

  // Adds `path` at the end, or refreshes its time and device when it is
  // remembered.
  void RememberFolder(const std::string& path, int64_t now_ns, uint64_t device);
  // The remembered folder nearest above `path` (`path` itself when it is
  // one), or null when none holds it.
  const RememberedFolder* FolderHolding(std::string_view path) const;
  // True when `path` is excluded: at or under an exclusion that lies nearer
  // to it than every remembered folder holding it (a folder added inside an
  // excluded one is kept current as its own).
  bool Excludes(std::string_view path) const;
};

// A stamp of what `info` found.
FileStamp StampOf(const PathInfo& info, std::string unread_reason);

// True when what is at a stamped path now is no longer what was read: gone,
// of another kind, or a file of another size or modification time.
bool Changed(const FileStamp& stamp, const PathInfo& now);

// Reads the files of the base in `base_directory`; both missing gives a
// Remembered that is not present. Throws IoError when a file exists but
// cannot be read, and std::runtime_error (naming the file and line) when
// one is damaged: also a folders.txt holding a byte the program never
// writes there (a byte 26, or a CR anywhere but before an LF), which would hide
// folders or change their names, so that no scan writes it again without
// them.
Remembered LoadRemembered(const std::string& base_directory, Env& env);

// The kinds of the base in `base_directory` alone (kinds.txt); none when
// the file is missing. Throws as LoadRemembered.
KindChoice LoadKindChoice(const std::string& base_directory, Env& env);

// Writes folders.txt and stamps.txt, kinds.txt when kinds_recorded, and
// excluded.txt when there are exclusions or the file was there, under their
// temporary names (for CommitBase), and forces them to the disk. Throws std::runtime_error, writing nothing, for a
// folder whose path does not fit one line (FitsOneLine).
void WriteRememberedTemporaries(const std::string& base_directory, const Remembered& remembered, Env& env);

// True when `path` is `folder` or lies under it, compared at a separator
// boundary ("/a/bc" is not under "/a/b").
bool IsAtOrUnder(std::string_view path, std::string_view folder);

}  // namespace veskara
