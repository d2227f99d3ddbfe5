#include "platform/durable.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/errors.h"

namespace veskara {
namespace {

DurableFaultHook& FaultHook() {
  static DurableFaultHook hook;
  return hook;
}

// Lets the test seam fail (or end the process at) this operation.
void Inject(std::string_view operation, const std::string& path) {
  if (!FaultHook()) return;
  if (int err = FaultHook()(operation, path); err != 0) throw IoError(err);
}

void WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowLastIoError();
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
}

// Copies the rest of `in` to `out`: in the kernel when it can, else through a
// large buffer (copy_file_range refuses some file system pairs).
void CopyAll(int in, int out) {
  for (;;) {
    ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t{1} << 30, 0);
    if (n > 0) continue;
    if (n == 0) return;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) ThrowLastIoError();
    break;
  }
  std::vector<char> buffer(size_t{1} << 20);
  for (;;) {
    ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowLastIoError();
    }
    if (n == 0) return;
    WriteAll(out, buffer.data(), static_cast<size_t>(n));
  }
}

// True when the file holds a byte 26 (Ctrl-Z); the file offset stays.
bool HoldsCtrlZ(int fd) {
  std::vector<char> buffer(size_t{1} << 20);
  for (off_t at = 0;;) {
    ssize_t n = ::pread(fd, buffer.data(), buffer.size(), at);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowLastIoError();
    }
    if (n == 0) return false;
    if (std::memchr(buffer.data(), 26, static_cast<size_t>(n)) != nullptr) return true;
    at += n;
  }
}

// Writes the lines of `in` as every reader of the program sees them, each
// ended by CR LF: what lies after a Ctrl-Z that ends the file is left out.
void CopyReadableLines(FileHandle in, int out) {
  LineReader reader(std::move(in));
  std::string block;
  std::string_view line;
  while (reader.ReadLine(&line)) {
    block.append(line);
    block.append("\r\n");
    if (block.size() >= (size_t{1} << 20)) {
      WriteAll(out, block.data(), block.size());
      block.clear();
    }
  }
  WriteAll(out, block.data(), block.size());
  reader.Close();
}

void SyncDescriptor(int fd) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) ThrowLastIoError();
  }
}

}  // namespace

std::unique_ptr<FileLock> FileLock::TryAcquire(const std::string& path) {
  Inject("lock", path);
  FileHandle file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!file.valid()) ThrowLastIoError();
  while (::flock(file.fd(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return nullptr;
    if (errno != EINTR) ThrowLastIoError();
  }
  return std::unique_ptr<FileLock>(new FileLock(std::move(file)));
}

void CopyEndingLine(const std::string& source, const std::string& path) {
  Inject("copy", path);
  FileHandle out(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!out.valid()) ThrowLastIoError();
  FileHandle in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.valid() && errno != ENOENT) ThrowLastIoError();
  if (in.valid() && HoldsCtrlZ(in.fd())) {
    // A Ctrl-Z may end the file for every reader: lines appended after it
    // would be lost to them. Rare, so this slow way is taken only then.
    CopyReadableLines(std::move(in), out.fd());
  } else if (in.valid()) {
    CopyAll(in.fd(), out.fd());
    in.Close();
    off_t size = ::lseek(out.fd(), 0, SEEK_END);
    if (size < 0) ThrowLastIoError();
    if (size > 0) {
      char last = 0;
      if (::pread(out.fd(), &last, 1, size - 1) != 1) ThrowLastIoError();
      if (last != '\n') WriteAll(out.fd(), "\r\n", 2);
    }
  }
  out.Close();
}

void WriteFileSynced(const std::string& path, std::string_view bytes) {
  Inject("write", path);
  FileHandle out(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!out.valid()) ThrowLastIoError();
  WriteAll(out.fd(), bytes.data(), bytes.size());
  Inject("sync", path);
  SyncDescriptor(out.fd());
  out.Close();
}

bool ReadSmallFile(const std::string& path, std::string* bytes) {
  FileHandle in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.valid()) {
    if (errno == ENOENT) return false;
    ThrowLastIoError();
  }
  bytes->clear();
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(in.fd(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowLastIoError();
    }
    if (n == 0) break;
    bytes->append(buffer, static_cast<size_t>(n));
  }
  in.Close();
  return true;
}

void SyncFile(const std::string& path) {
  Inject("sync", path);
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) ThrowLastIoError();
  SyncDescriptor(file.fd());
  file.Close();
}

void SyncDirectory(const std::string& path) {
  Inject("sync-dir", path);
  // The empty text is the root folder (an executable in "/").
  const std::string dir = path.empty() ? "/" : path;
  FileHandle file(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!file.valid()) ThrowLastIoError();
  // Some file systems cannot sync a directory; their renames are then as
  // durable as they will get.
  if (::fsync(file.fd()) != 0 && errno != EINVAL && errno != EROFS) ThrowLastIoError();
  file.Close();
}

void RenameFile(const std::string& from, const std::string& to) {
  Inject("rename", to);
  if (::rename(from.c_str(), to.c_str()) != 0) ThrowLastIoError();
}

void UnlinkFile(const std::string& path) {
  Inject("remove", path);
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) ThrowLastIoError();
}

void SetDurableFaultHookForTesting(DurableFaultHook hook) { FaultHook() = std::move(hook); }

}  // namespace veskara
