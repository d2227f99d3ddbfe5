// Change notification of folders: the kernel tells which names in a watched
// folder were created, changed, removed or renamed, and when a watched
// folder itself went away. One folder per watch (not its subfolders): the
// caller watches each folder of a tree it follows. Env::WatchFolders hands
// out the system's; the tests' FaultInjectionEnv can refuse watches and
// feed events of its own.
//
// One object per thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace veskara {

enum class FolderChange {
  kEntry,       // a name in a watched folder was created, changed, removed or renamed
  kFolderGone,  // the watched folder itself was removed, renamed away or unmounted
  kOverflow,    // the kernel lost events: anything watched may have changed
};

struct FolderEvent {
  FolderChange change = FolderChange::kEntry;
  // kEntry: the folder's path + the separator + the name; kFolderGone: the
  // folder's path, as it was watched; kOverflow: empty.
  std::string path;
  bool is_folder = false;  // kEntry: the entry is, or was, a folder
  bool appeared = false;   // kEntry: created, or renamed into the folder
  bool vanished = false;   // kEntry: removed, or renamed out of the folder
  bool operator==(const FolderEvent&) const = default;
};

enum class WatchResult {
  kWatched,  // watched now (or already)
  kRefused,  // the kernel refuses more watches (its limit for this user)
  kFailed,   // the folder is not there, is no folder, or may not be read
};

class FolderWatch {
 public:
  virtual ~FolderWatch() = default;
  // Watches the folder `path` (absolute), its entries' changes and its own
  // end. A link to a folder is followed.
  virtual WatchResult Add(const std::string& path) = 0;
  // Stops watching `path`; a path not watched is no error. Events that
  // already wait for it may still be read.
  virtual void Remove(const std::string& path) = 0;
  // A descriptor that becomes readable when events wait, to wait on it with
  // others (WaitForInput); -1 when there is none.
  virtual int Descriptor() const = 0;
  // Appends the events that wait, in the order they happened; never waits.
  // Throws IoError when they cannot be read.
  virtual void Read(std::vector<FolderEvent>* events) = 0;
};

// The system's watch (inotify on Linux), as Env::Default hands it out.
// Throws IoError when no watch can be made.
std::unique_ptr<FolderWatch> SystemFolderWatch();

// Waits until one of `fds` (descriptors, -1 ignored) is readable or
// `timeout_ns` has passed (a negative timeout: no limit); a signal ends the
// wait early. Returns a flag per descriptor, true when readable.
std::vector<bool> WaitForInput(const std::vector<int>& fds, int64_t timeout_ns);

}  // namespace veskara
