#include "base/base_location.h"

#include "base/base_files.h"
#include "platform/paths.h"

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
    if (!home || home->empty()) return {beside, "the program's folder"};
    data = WithoutTrailingSeparators(*home) + "/.local/share";
  }
  return {WithoutTrailingSeparators(*data) + "/veskara", "the user's data folder"};
}

}  // namespace veskara
