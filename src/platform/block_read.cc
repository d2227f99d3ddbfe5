#include "platform/block_read.h"

#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"

namespace veskara {

size_t ReadBlock(const FileHandle& file, char* data, size_t size) {
  for (;;) {
    ssize_t n = ::read(file.fd(), data, size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) ThrowLastIoError();
  }
}

}  // namespace veskara
