#include "base/base_location.h"

#include "base/base_files.h"
#include "platform/paths.h"
#include "platform/strings.h"

namespace veskara {
namespace {

std::string WithoutTrailingSeparators(std::string dir) {
  while (!dir.empty() && dir.back() == kPathSeparator) dir.pop_back();  // "" is the root
  return dir;
}

bool HoldsABase(Env& env, const std::string& dir) {
  for (std::string_view name : {kWordsFileName, kFilesFileName}) {
    if (env.Stat(BaseFilePath(dir, name)).kind != PathKind::kMissing) return true;
  }
  return false;
}

}  // namespace

BaseLocation LocateBase(const std::optional<std::string>& given, Env& env) {
  if (given) return {WithoutTrailingSeparators(*given), "--base"};
  if (std::optional<std::string> named = env.Variable("VESKARA_BASE"); named && !named->empty()) {
    return {WithoutTrailingSeparators(*named), "VESKARA_BASE"};
  }
  const std::string beside = BaseDirectoryFromExecutable(env.ExecutablePath());
  if (HoldsABase(env, beside)) return {beside, "the program's folder"};
  // Relative values are to be ignored, as for every program that reads them.
  std::optional<std::string> data = env.Variable("XDG_DATA_HOME");
  if (!data || data->empty() || data->front() != kPathSeparator) {
    const std::optional<std::string> home = env.Variable("HOME");
    if (!home || home->empty() || home->front() != kPathSeparator) throw NoBaseFolderError();
    data = WithoutTrailingSeparators(*home) + "/.local/share";
  }
  return {WithoutTrailingSeparators(*data) + "/veskara", "the user's data folder"};
}

NoBaseFolderError::NoBaseFolderError()
    : std::runtime_error(
          "No folder is named for the base: HOME and XDG_DATA_HOME are not set to absolute paths; name one with "
          "VESKARA_BASE (or --base DIR)") {}

std::string BaseFolderProblem(const BaseLocation& location, Env& env) {
  const std::string shown = "The base folder " + EscapeControlBytes(location.directory) + " (" + location.reason + ")";
  switch (env.Stat(location.directory).kind) {
    case PathKind::kDirectory:
      return "";
    case PathKind::kFile:
      return shown + " is a file, not a folder";
    case PathKind::kOther:
      return shown + " is a FIFO, socket or device, not a folder";
    case PathKind::kMissing:
      break;
  }
  // The first scan makes it with the folders on its way.
  std::string above = location.directory;
  while (true) {
    const size_t cut = above.rfind(kPathSeparator);
    if (cut == std::string::npos || cut == 0) return "";
    above.resize(cut);
    const PathKind kind = env.Stat(above).kind;
    if (kind == PathKind::kDirectory) return "";
    if (kind != PathKind::kMissing) {
      return shown + " cannot be made: " + EscapeControlBytes(above) + " is not a folder";
    }
  }
}

}  // namespace veskara
