#include "platform/directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace veskara {
namespace {

const char* ListingPath(const std::string& path) { return path.empty() ? "." : path.c_str(); }

FileId IdOf(const struct stat& st) {
  return FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

// Closes a directory stream on every way out.
class DirStream {
 public:
  explicit DirStream(DIR* dir) : dir_(dir) {}
  ~DirStream() {
    if (dir_ != nullptr) ::closedir(dir_);
  }
  DirStream(const DirStream&) = delete;
  DirStream& operator=(const DirStream&) = delete;
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

}  // namespace

bool ListDirectory(const std::string& path, std::vector<DirectoryEntry>* entries) {
  DirStream dir(::opendir(ListingPath(path)));
  if (dir.get() == nullptr) return false;
  const int dir_fd = ::dirfd(dir.get());
  const size_t first = entries->size();
  for (;;) {
    errno = 0;
    const struct dirent* ent = ::readdir(dir.get());
    if (ent == nullptr) {
      if (errno == 0) return true;
      entries->resize(first);  // a listing cut short is no listing
      return false;
    }
    const char* name = ent->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    DirectoryEntry entry;
    entry.name = name;
    // Only a directory, a link or an unknown type can lead to a directory;
    // plain files need no system call.
    unsigned char type = ent->d_type;
    if (type == DT_DIR || type == DT_LNK || type == DT_UNKNOWN) {
      struct stat st;
      if (::fstatat(dir_fd, name, &st, 0) == 0 && S_ISDIR(st.st_mode)) {
        entry.is_directory = true;
        entry.id = IdOf(st);
      }
    }
    entries->push_back(std::move(entry));
  }
}

std::optional<FileId> DirectoryId(const std::string& path) {
  struct stat st;
  if (::stat(ListingPath(path), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return IdOf(st);
}

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  if (pattern == "*" || pattern == "*.*") return true;
  return ::fnmatch(std::string(pattern).c_str(), std::string(name).c_str(), 0) == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace veskara
