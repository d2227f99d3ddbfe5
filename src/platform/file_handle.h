// A file descriptor that closes itself. Private to the platform layer and
// the converters (wpdf, wdoc), the places that speak to the system directly.
#pragma once

#include <utility>

namespace veskara {

class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int fd) : fd_(fd) {}
  FileHandle(FileHandle&& other) noexcept : fd_(other.Release()) {}
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle();

  int fd() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release() { return std::exchange(fd_, -1); }
  // Closes the descriptor; false when close reported an error (EINTR is
  // taken as closed, as Linux always closes).
  bool Close();

 private:
  int fd_ = -1;
};

}  // namespace veskara
