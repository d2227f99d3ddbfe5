// The files of a base folder, by name, and the one way to name them.
#pragma once

#include <string>
#include <string_view>

namespace veskara {

// The two base files.
inline constexpr std::string_view kWordsFileName = "wrds.txt";
inline constexpr std::string_view kFilesFileName = "fls.txt";
// A scan's lock, held from its start to its end (also across processes).
inline constexpr std::string_view kLockFileName = "veskara.lock";
// A scan's new base files, until the commit renames them over the live ones.
inline constexpr std::string_view kWordsTempName = "wrds.txt.new";
inline constexpr std::string_view kFilesTempName = "fls.txt.new";
// The commit record (docs/base-format.md).
inline constexpr std::string_view kCommitRecordName = "commit.txt";

// base_directory + the separator + name.
std::string BaseFilePath(std::string_view base_directory, std::string_view name);

inline std::string WordsFilePath(std::string_view base_directory) {
  return BaseFilePath(base_directory, kWordsFileName);
}
inline std::string FilesFilePath(std::string_view base_directory) {
  return BaseFilePath(base_directory, kFilesFileName);
}

}  // namespace veskara
