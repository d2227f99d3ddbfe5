// A fault-injecting Env for tests: it passes every call to another Env and
// can make a chosen call fail with a chosen errno, or end the process right
// before it, to test full disks, denied files and crashes at that point.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/env.h"
#include "platform/folder_watch.h"

namespace veskara {

// The kinds of calls a FaultInjectionEnv counts. Calls on the files it
// returns count too (kRead, kWrite, kSync, kClose), and so do calls on the
// folders it opens: listing (kList), opening a folder in one (kOpenDir),
// its owner (kStat), removing a name in one (kRemove), locking one (kLock).
// Each folder a watch is asked to watch is a kWatch: ENOSPC refuses it as
// the kernel does at its limit, another error fails it.
enum class EnvOp {
  kOpenRead,
  kOpenWrite,
  kOpenAppend,
  kRead,
  kWrite,
  kSync,
  kClose,
  kList,
  kStat,
  kRename,
  kRemove,
  kSyncDir,
  kCreateDir,
  kMakePrivateDir,
  kLock,
  kOpenDir,
  kWatch,
};
inline constexpr size_t kEnvOpCount = 17;

// A short name of each kind, for test traces: "open-read", "write", ...
const char* EnvOpName(EnvOp op);

class FaultInjectionEnv : public Env {
 public:
  // What to do before a call: run it (0), fail it with an errno (> 0), end
  // the process with SIGKILL (kKill), or act as if the process died there
  // (kCrash): this call and every later one fails with EIO without touching
  // anything, so whatever the code under test does after it (its clean-up
  // included) never reaches the disk. A test then looks at the disk with
  // another env, as the next process would.
  static constexpr int kKill = -1;
  static constexpr int kCrash = -2;
  // Called before each call with its kind and path (for a call on a file,
  // the path it was opened with) and how many calls of that kind came
  // before it, this one included (1 for the first). Runs under the env's
  // lock: it must not call the env.
  using Hook = std::function<int(EnvOp op, const std::string& path, int count)>;

  explicit FaultInjectionEnv(Env& target = Env::Default());

  // Replaces the hook (none: every call runs).
  void SetHook(Hook hook);
  // The n-th call of `op` from now on fails with `error` (or kKill); the
  // others run. Replaces the hook and restarts the counts.
  void FailNth(EnvOp op, int n, int error);
  // Every call of `op` on a path that ends with `suffix` fails with `error`.
  // Replaces the hook.
  void FailAll(EnvOp op, const std::string& suffix, int error);
  // The n-th call of `op` from now on crashes (kCrash above).
  void CrashAtNth(EnvOp op, int n) { FailNth(op, n, kCrash); }
  // True once a kCrash was reached.
  bool crashed() const;
  // How many calls of `op` were made since the counts were last restarted.
  int Count(EnvOp op) const;
  void ResetCounts();

  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) override;
  std::unique_ptr<WritableFile> OpenForWriting(const std::string& path) override;
  std::unique_ptr<WritableFile> OpenForAppending(const std::string& path) override;
  bool ListDirectory(const std::string& path, std::vector<DirectoryEntry>* entries) override;
  PathInfo Stat(const std::string& path, bool follow_links = true) override;
  void Rename(const std::string& from, const std::string& to) override;
  void Remove(const std::string& path) override;
  void SyncDirectory(const std::string& path) override;
  void CreateDirectories(const std::string& path, unsigned mode) override;
  std::string MakePrivateDirectory(const std::string& parent, std::string_view prefix) override;
  std::unique_ptr<DirectoryHandle> OpenDirectory(const std::string& path) override;
  std::unique_ptr<FileLock> TryLock(const std::string& path) override;
  // The system's watch, each Add a kWatch; the events fed by FeedEvent come
  // before the system's.
  std::unique_ptr<FolderWatch> WatchFolders() override;
  std::string CurrentDirectory() override;
  std::string ExecutablePath() override;
  std::optional<std::string> Variable(const std::string& name) override;
  int64_t Now() override;
  uint32_t UserId() override;

  // What the process's surroundings look like to the code under test:
  // a variable set (or unset, with no value), the executable's path, the
  // clock (0: the real one).
  void SetVariable(const std::string& name, std::optional<std::string> value);
  void SetExecutablePath(std::string path) { executable_ = std::move(path); }
  // The current folder as CurrentDirectory gives it; "" as when it cannot
  // be read (deleted while the process stood in it).
  void SetCurrentDirectory(std::string path) { current_ = std::move(path); }
  void SetNow(int64_t now) { now_ = now; }
  // Acts as another user: every file and folder then belongs to someone else.
  void SetUserId(uint32_t user) { user_ = user; }
  // What stands at or under `folder` looks as if it were on the file system
  // `device` (a disk mounted there, or one taken away); "" ends it.
  void SetDeviceOf(std::string folder, uint64_t device) {
    std::lock_guard<std::mutex> hold(mutex_);
    device_folder_ = std::move(folder);
    device_ = device;
  }

  // The next Read of a watch this env made returns `event` (first those fed
  // before it): a disk unmounted, events lost, without doing it.
  void FeedEvent(FolderEvent event) {
    std::lock_guard<std::mutex> hold(mutex_);
    fed_.push_back(std::move(event));
  }
  std::vector<FolderEvent> TakeFedEvents() {
    std::lock_guard<std::mutex> hold(mutex_);
    return std::exchange(fed_, {});
  }

  // Counts the call and applies the hook: throws IoError for a fault, ends
  // the process for kKill, and returns the errno otherwise (0). Listing and
  // stat report their faults as results, so they use the returned errno.
  int Before(EnvOp op, const std::string& path, bool throws = true);

 private:
  Env& target_;
  mutable std::mutex mutex_;
  Hook hook_;
  std::array<int, kEnvOpCount> counts_{};
  bool crashed_ = false;
  std::map<std::string, std::optional<std::string>> variables_;
  std::string executable_;
  std::optional<std::string> current_;
  int64_t now_ = 0;
  std::optional<uint32_t> user_;
  std::string device_folder_;
  uint64_t device_ = 0;
  std::vector<FolderEvent> fed_;
};

}  // namespace veskara
