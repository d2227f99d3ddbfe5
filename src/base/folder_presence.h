// Whether a remembered folder is there to be scanned. A folder that is not
// (a stick pulled out, a share not mounted, a folder made unreadable) is
// offline: its files stay in the base as they are, unread, until it comes
// back or is removed. Anything that keeps the base current asks this before
// it drops a file under a remembered folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/remembered.h"
#include "platform/env.h"

namespace veskara {

// Why a folder is offline.
enum class OfflineReason {
  kMissing,          // nothing stands at its path
  kNotAFolder,       // a file, a FIFO or a device stands there
  kUnreachable,      // a folder on the way may not be searched, or looking failed
  kLinkLoop,         // its path goes round through links
  kUnreadable,       // a folder whose entries cannot be listed
  kOtherFileSystem,  // on another file system than when last scanned: an empty mount point
};

struct FolderPresence {
  std::optional<OfflineReason> offline;  // none: online
  uint64_t device = 0;                   // online: the file system it is on now

  bool online() const { return !offline; }
};

// Looks at the folder `path` itself, never at its files: what stands there
// (links followed), and whether it can be listed; with `device`, the file
// system it was on when last scanned, whether it still is (a folder
// remembered before devices were kept has none, and is not compared). One
// look of the path and one listing of the folder; never throws.
FolderPresence LookAtFolder(const std::string& path, std::optional<uint64_t> device, Env& env);

inline FolderPresence LookAtFolder(const RememberedFolder& folder, Env& env) {
  return LookAtFolder(folder.path, folder.device, env);
}

// True when the folder `path` (absolute) stands on another file system
// than the folder above it: a disk is mounted there now. An empty mount
// point whose disk is absent is not.
bool HoldsAMount(const std::string& path, Env& env);

}  // namespace veskara
