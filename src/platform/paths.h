// Where the base lives, and how paths are joined on this platform.
#pragma once

#include <string>
#include <string_view>

namespace veskara {

inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kWordsFileName = "wrds.txt";
inline constexpr std::string_view kFilesFileName = "fls.txt";

// The folder of an executable path, without a trailing separator:
// "/usr/local/bin/app" gives "/usr/local/bin", "/app" gives "".
std::string BaseDirectoryFromExecutable(std::string_view executable_path);

// The full path of the running executable (empty when it cannot be read).
std::string ExecutablePath();

// BaseDirectoryFromExecutable(ExecutablePath()).
std::string DefaultBaseDirectory();

// base_directory + "/wrds.txt" and base_directory + "/fls.txt".
std::string WordsFilePath(std::string_view base_directory);
std::string FilesFilePath(std::string_view base_directory);

}  // namespace veskara
