#include "platform/paths.h"

namespace veskara {

std::string BaseDirectoryFromExecutable(std::string_view executable_path) {
  size_t cut = executable_path.rfind(kPathSeparator);
  if (cut == std::string_view::npos) return std::string();
  // Everything before the last separator: the folder without its trailing one.
  return std::string(executable_path.substr(0, cut));
}

std::string DefaultBaseDirectory(Env& env) { return BaseDirectoryFromExecutable(env.ExecutablePath()); }

}  // namespace veskara
