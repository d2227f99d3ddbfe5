#include "base/folder_presence.h"

#include <vector>

#include "platform/paths.h"

namespace veskara {
namespace {

OfflineReason Unreached(MissingReason reason) {
  switch (reason) {
    case MissingReason::kNotThere:
      return OfflineReason::kMissing;
    case MissingReason::kLinkLoop:
      return OfflineReason::kLinkLoop;
    case MissingReason::kDenied:
    case MissingReason::kFailed:
      break;
  }
  return OfflineReason::kUnreachable;
}

}  // namespace

FolderPresence LookAtFolder(const std::string& path, std::optional<uint64_t> device, Env& env) {
  const PathInfo info = env.Stat(path);
  switch (info.kind) {
    case PathKind::kMissing:
      return {Unreached(info.missing)};
    case PathKind::kDirectory:
      break;
    case PathKind::kFile:
    case PathKind::kOther:
      return {OfflineReason::kNotAFolder};
  }
  // The mount point of a disk that is not there is an empty folder of the
  // disk above it: only the device tells it from a folder emptied.
  if (device && *device != info.id.device) return {OfflineReason::kOtherFileSystem};
  std::vector<DirectoryEntry> entries;
  if (!env.ListDirectory(path, &entries)) return {OfflineReason::kUnreadable};
  return {std::nullopt, info.id.device};
}

bool HoldsAMount(const std::string& path, Env& env) {
  const PathInfo folder = env.Stat(path);
  const PathInfo above = env.Stat(AbsolutePath(path + kPathSeparator + "..", std::string(1, kPathSeparator)));
  return folder.kind == PathKind::kDirectory && above.kind == PathKind::kDirectory &&
         folder.id.device != above.id.device;
}

}  // namespace veskara
