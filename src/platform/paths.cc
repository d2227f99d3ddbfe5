#include "platform/paths.h"

#include <unistd.h>

#include <vector>

namespace veskara {

std::string BaseDirectoryFromExecutable(std::string_view executable_path) {
  size_t cut = executable_path.rfind(kPathSeparator);
  if (cut == std::string_view::npos) return std::string();
  // Everything before the last separator: the folder without its trailing one.
  return std::string(executable_path.substr(0, cut));
}

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}

std::string DefaultBaseDirectory() { return BaseDirectoryFromExecutable(ExecutablePath()); }

static std::string Join(std::string_view dir, std::string_view name) {
  std::string path(dir);
  path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

std::string WordsFilePath(std::string_view base_directory) { return Join(base_directory, kWordsFileName); }
std::string FilesFilePath(std::string_view base_directory) { return Join(base_directory, kFilesFileName); }

}  // namespace veskara
