// The FolderWatch of Linux: one inotify instance, one watch per folder.
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <unordered_map>

#include "platform/errors.h"
#include "platform/file_handle.h"
#include "platform/folder_watch.h"

namespace veskara {
namespace {

// What changes a folder's entries or ends the folder. IN_EXCL_UNLINK: a file
// removed while still open elsewhere says nothing more.
constexpr uint32_t kMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_FROM |
                           IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

std::string Joined(const std::string& folder, const char* name) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

class InotifyWatch : public FolderWatch {
 public:
  InotifyWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (!fd_.valid()) {
      const int error = errno;
      throw IoError(error, "Folders cannot be watched: " + IoErrorMessage(error));
    }
  }

  WatchResult Add(const std::string& path) override {
    const int wd = ::inotify_add_watch(fd_.fd(), path.c_str(), kMask);
    if (wd < 0) return errno == ENOSPC || errno == ENOMEM ? WatchResult::kRefused : WatchResult::kFailed;
    // The same folder reached by two paths is one watch, named by the
    // first; its events come under that name.
    if (paths_.try_emplace(wd, path).second) wds_[path] = wd;
    return WatchResult::kWatched;
  }

  void Remove(const std::string& path) override {
    const auto found = wds_.find(path);
    if (found == wds_.end()) return;
    ::inotify_rm_watch(fd_.fd(), found->second);
    paths_.erase(found->second);
    wds_.erase(found);
  }

  int Descriptor() const override { return fd_.fd(); }

  void Read(std::vector<FolderEvent>* events) override {
    alignas(struct inotify_event) char buffer[64 * 1024];
    for (;;) {
      const ssize_t n = ::read(fd_.fd(), buffer, sizeof buffer);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN) return;
        ThrowLastIoError();
      }
      if (n == 0) return;
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
        Take(*event, events);
      }
    }
  }

 private:
  void Take(const struct inotify_event& event, std::vector<FolderEvent>* events) {
    if ((event.mask & IN_Q_OVERFLOW) != 0) {
      events->push_back({FolderChange::kOverflow, {}});
      return;
    }
    const auto found = paths_.find(event.wd);
    if (found == paths_.end()) return;  // a watch already removed
    const std::string folder = found->second;
    if ((event.mask & IN_IGNORED) != 0) {
      // The kernel ended the watch: the folder was removed or unmounted.
      wds_.erase(folder);
      paths_.erase(found);
      events->push_back({FolderChange::kFolderGone, folder});
      return;
    }
    if ((event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) != 0) {
      events->push_back({FolderChange::kFolderGone, folder});
      return;
    }
    if (event.len == 0) return;  // a change of the folder itself, such as its time
    events->push_back({.change = FolderChange::kEntry,
                       .path = Joined(folder, event.name),
                       .is_folder = (event.mask & IN_ISDIR) != 0,
                       .appeared = (event.mask & (IN_CREATE | IN_MOVED_TO)) != 0,
                       .vanished = (event.mask & (IN_DELETE | IN_MOVED_FROM)) != 0});
  }

  FileHandle fd_;
  std::unordered_map<int, std::string> paths_;
  std::unordered_map<std::string, int> wds_;
};

}  // namespace

std::unique_ptr<FolderWatch> SystemFolderWatch() { return std::make_unique<InotifyWatch>(); }

std::vector<bool> WaitForInput(const std::vector<int>& fds, int64_t timeout_ns) {
  std::vector<struct pollfd> polled;
  for (int fd : fds) polled.push_back({fd, POLLIN, 0});
  int timeout_ms = -1;
  if (timeout_ns >= 0) {
    // Rounded up: a wait cut short would only wake to wait again.
    const int64_t ms = (timeout_ns + 999'999) / 1'000'000;
    timeout_ms = ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
  }
  std::vector<bool> ready(fds.size(), false);
  if (::poll(polled.data(), polled.size(), timeout_ms) <= 0) return ready;
  for (size_t i = 0; i < polled.size(); ++i) ready[i] = (polled[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  return ready;
}

}  // namespace veskara
