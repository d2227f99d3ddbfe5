// The Env of a POSIX system.
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/env.h"
#include "platform/errors.h"
#include "platform/file_handle.h"
#include "platform/folder_watch.h"

namespace veskara {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

FileHandle::~FileHandle() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileHandle::Close() {
  if (fd_ < 0) return true;
  return ::close(Release()) == 0 || errno == EINTR;
}

namespace {

const char* SystemPath(const std::string& path) { return path.empty() ? "." : path.c_str(); }

FileId IdOf(const struct stat& st) {
  return FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

PathInfo InfoOf(const struct stat& st) {
  PathInfo info;
  info.kind = S_ISREG(st.st_mode) ? PathKind::kFile : S_ISDIR(st.st_mode) ? PathKind::kDirectory : PathKind::kOther;
  info.size = static_cast<uint64_t>(st.st_size);
  info.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  info.id = IdOf(st);
  return info;
}

class PosixReadableFile : public ReadableFile {
 public:
  PosixReadableFile(FileHandle file, const struct stat& st)
      : file_(std::move(file)), size_(static_cast<uint64_t>(st.st_size)), id_(IdOf(st)) {}

  // pread, so that a duplicate, which shares the descriptor's offset, reads
  // on its own.
  size_t Read(char* data, size_t size) override {
    for (;;) {
      const ssize_t n = ::pread(file_.fd(), data, size, static_cast<off_t>(offset_));
      if (n >= 0) {
        offset_ += static_cast<uint64_t>(n);
        return static_cast<size_t>(n);
      }
      if (errno != EINTR) ThrowLastIoError();
    }
  }
  uint64_t SizeWhenOpened() const override { return size_; }
  FileId Id() const override { return id_; }
  std::unique_ptr<ReadableFile> Duplicate() override {
    FileHandle copy(::fcntl(file_.fd(), F_DUPFD_CLOEXEC, 0));
    if (!copy.valid()) ThrowLastIoError();
    struct stat st;
    if (::fstat(copy.fd(), &st) != 0) ThrowLastIoError();
    return std::make_unique<PosixReadableFile>(std::move(copy), st);
  }
  void Close() override {
    if (!file_.Close()) ThrowLastIoError();
  }

 private:
  FileHandle file_;
  uint64_t size_;
  FileId id_;
  uint64_t offset_ = 0;
};

class PosixWritableFile : public WritableFile {
 public:
  explicit PosixWritableFile(FileHandle file) : file_(std::move(file)) {}

  void Write(std::string_view bytes) override {
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
      const ssize_t n = ::write(file_.fd(), data, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        ThrowLastIoError();
      }
      data += n;
      left -= static_cast<size_t>(n);
    }
  }
  void Sync() override {
    while (::fsync(file_.fd()) != 0) {
      if (errno != EINTR) ThrowLastIoError();
    }
  }
  void Close() override {
    if (!file_.Close()) ThrowLastIoError();
  }

 private:
  FileHandle file_;
};

class PosixFileLock : public FileLock {
 public:
  explicit PosixFileLock(FileHandle file) : file_(std::move(file)) {}

 private:
  FileHandle file_;  // closing the descriptor releases the lock
};

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

// Entries of an open folder, named relative to it: fdopendir takes over
// the descriptor, so it gets a duplicate.
bool ListOpenFolder(int folder_fd, std::vector<DirectoryEntry>* entries) {
  const int dup_fd = ::fcntl(folder_fd, F_DUPFD_CLOEXEC, 0);
  if (dup_fd < 0) return false;
  DIR* raw = ::fdopendir(dup_fd);
  if (raw == nullptr) {
    ::close(dup_fd);
    return false;
  }
  DirStream dir(raw);
  ::rewinddir(dir.get());  // the duplicate shares the position of earlier listings
  const size_t first = entries->size();
  for (;;) {
    errno = 0;
    const struct dirent* ent = ::readdir(dir.get());
    if (ent == nullptr) {
      if (errno == 0) return true;
      entries->resize(first);
      return false;
    }
    const char* name = ent->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    DirectoryEntry entry;
    entry.name = name;
    struct stat st;
    if (::fstatat(folder_fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
      entry.is_directory = true;
      entry.id = IdOf(st);
    }
    entries->push_back(std::move(entry));
  }
}

// A folder opened with O_NOFOLLOW: its own name cannot be a link, and every
// name inside it is resolved from the descriptor.
class PosixDirectoryHandle : public DirectoryHandle {
 public:
  PosixDirectoryHandle(FileHandle folder, std::string path) : folder_(std::move(folder)), path_(std::move(path)) {}

  static std::unique_ptr<DirectoryHandle> Open(int at_fd, const char* name, std::string path) {
    FileHandle folder(::openat(at_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) return nullptr;
    return std::make_unique<PosixDirectoryHandle>(std::move(folder), std::move(path));
  }

  const std::string& path() const override { return path_; }

  Ownership Owner() override {
    struct stat st;
    if (::fstat(folder_.fd(), &st) != 0) ThrowLastIoError();
    return Ownership{static_cast<uint32_t>(st.st_uid), static_cast<unsigned>(st.st_mode & 07777)};
  }

  bool List(std::vector<DirectoryEntry>* entries) override { return ListOpenFolder(folder_.fd(), entries); }

  std::unique_ptr<DirectoryHandle> OpenChild(const std::string& name) override {
    return Open(folder_.fd(), name.c_str(), path_ + "/" + name);
  }

  void RemoveChild(const std::string& name, bool folder) override {
    if (::unlinkat(folder_.fd(), name.c_str(), folder ? AT_REMOVEDIR : 0) != 0 && errno != ENOENT) {
      ThrowLastIoError();
    }
  }

  bool TryLock() override {
    while (::flock(folder_.fd(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) return false;
      if (errno != EINTR) ThrowLastIoError();
    }
    return true;
  }

 private:
  FileHandle folder_;  // closing it releases the lock
  std::string path_;
};

FileHandle OpenOrThrow(const std::string& path, int flags, mode_t mode = 0) {
  FileHandle file(::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode));
  if (!file.valid()) ThrowLastIoError();
  return file;
}

class PosixEnv : public Env {
 public:
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) override {
    // O_NONBLOCK keeps a FIFO from blocking the open; it is refused below.
    FileHandle file = OpenOrThrow(path, O_RDONLY | O_NONBLOCK);
    struct stat st;
    if (::fstat(file.fd(), &st) != 0) ThrowLastIoError();
    // Like a folder, a FIFO, socket or device is no file to read.
    if (!S_ISREG(st.st_mode)) throw IoError(S_ISDIR(st.st_mode) ? EISDIR : EACCES);
    return std::make_unique<PosixReadableFile>(std::move(file), st);
  }

  std::unique_ptr<WritableFile> OpenForWriting(const std::string& path) override {
    return std::make_unique<PosixWritableFile>(OpenOrThrow(path, O_WRONLY | O_CREAT | O_TRUNC, 0600));
  }

  std::unique_ptr<WritableFile> OpenForAppending(const std::string& path) override {
    return std::make_unique<PosixWritableFile>(OpenOrThrow(path, O_WRONLY | O_APPEND));
  }

  bool ListDirectory(const std::string& path, std::vector<DirectoryEntry>* entries) override {
    DirStream dir(::opendir(SystemPath(path)));
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
      // Only a folder, a link or an unknown type can lead to a folder;
      // plain files need no system call.
      const unsigned char type = ent->d_type;
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

  PathInfo Stat(const std::string& path, bool follow_links) override {
    struct stat st;
    const int r = follow_links ? ::stat(SystemPath(path), &st) : ::lstat(SystemPath(path), &st);
    return r == 0 ? InfoOf(st) : PathInfo{.missing = MissingReasonOf(errno)};
  }

  void Rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) ThrowLastIoError();
  }

  void Remove(const std::string& path) override {
    if (::remove(path.c_str()) != 0 && errno != ENOENT) ThrowLastIoError();
  }

  void SyncDirectory(const std::string& path) override {
    // The empty text is the root folder (a base in "/").
    FileHandle dir = OpenOrThrow(path.empty() ? "/" : path, O_RDONLY | O_DIRECTORY);
    // Some file systems cannot sync a folder; their renames are then as
    // durable as they will get.
    if (::fsync(dir.fd()) != 0 && errno != EINVAL && errno != EROFS) ThrowLastIoError();
    if (!dir.Close()) ThrowLastIoError();
  }

  void CreateDirectories(const std::string& path, unsigned mode) override {
    std::string dir = path;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (dir.empty()) return;
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) throw IoError(ENOTDIR);
      return;
    }
    const size_t slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0) CreateDirectories(dir.substr(0, slash), 0755);
    if (::mkdir(dir.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) ThrowLastIoError();
  }

  std::string MakePrivateDirectory(const std::string& parent, std::string_view prefix) override {
    std::string templ = parent;
    if (!templ.empty() && templ.back() != '/') templ.push_back('/');
    templ.append(prefix).append("XXXXXX");
    if (::mkdtemp(templ.data()) == nullptr) ThrowLastIoError();
    return templ;
  }

  std::unique_ptr<DirectoryHandle> OpenDirectory(const std::string& path) override {
    return PosixDirectoryHandle::Open(AT_FDCWD, SystemPath(path), path);
  }

  std::unique_ptr<FolderWatch> WatchFolders() override { return SystemFolderWatch(); }

  std::unique_ptr<FileLock> TryLock(const std::string& path) override {
    FileHandle file = OpenOrThrow(path, O_RDWR | O_CREAT, 0600);
    while (::flock(file.fd(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) return nullptr;
      if (errno != EINTR) ThrowLastIoError();
    }
    return std::make_unique<PosixFileLock>(std::move(file));
  }

  std::string CurrentDirectory() override {
    std::vector<char> buffer(4096);
    for (;;) {
      if (::getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
      if (errno != ERANGE) return std::string();
      buffer.resize(buffer.size() * 2);
    }
  }

  std::string ExecutablePath() override {
    std::vector<char> buffer(4096);
    for (;;) {
      const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
      if (n < 0) return std::string();
      if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
      buffer.resize(buffer.size() * 2);
    }
  }

  int64_t Now() override {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
  }

  uint32_t UserId() override { return static_cast<uint32_t>(::geteuid()); }

  std::optional<std::string> Variable(const std::string& name) override {
    const char* value = ::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  }
};

}  // namespace

Env& Env::Default() {
  static PosixEnv* env = new PosixEnv;  // never destroyed: threads may use it at exit
  return *env;
}

}  // namespace veskara
