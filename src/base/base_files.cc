#include "base/base_files.h"

#include "platform/paths.h"

namespace veskara {

std::string BaseFilePath(std::string_view base_directory, std::string_view name) {
  std::string path(base_directory);
  path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

}  // namespace veskara
