#include "base/base_files.h"

#include "platform/errors.h"
#include "platform/paths.h"

namespace veskara {

std::string BaseFilePath(std::string_view base_directory, std::string_view name) {
  std::string path(base_directory);
  path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

std::unique_ptr<ReadableFile> OpenBaseFile(std::string_view base_directory, std::string_view name, Env& env,
                                           BaseFileFault* fault) {
  const std::string path = BaseFilePath(base_directory, name);
  *fault = {name, BaseFileFault::Reason::kMissing, {}};
  switch (env.Stat(path).kind) {
    case PathKind::kMissing:
      return nullptr;
    case PathKind::kDirectory:
      fault->reason = BaseFileFault::Reason::kFolder;
      return nullptr;
    default:
      break;
  }
  try {
    return env.OpenForReading(path);
  } catch (const IoError& error) {
    fault->reason = BaseFileFault::Reason::kCannotOpen;
    fault->error = error.what();
    return nullptr;
  }
}

}  // namespace veskara
