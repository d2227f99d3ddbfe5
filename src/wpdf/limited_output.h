// A descriptor that takes at most a given number of bytes: the output limit
// of every converter. What goes past the limit is dropped, and cut() tells.
#pragma once

#include <errno.h>
#include <unistd.h>

#include <string_view>

namespace veskara::wpdf {

class LimitedOutput {
 public:
  // Writes to the open file `fd`, at most `max_output` bytes (0: no limit).
  LimitedOutput(int fd, unsigned long long max_output) : fd_(fd), left_(max_output), limited_(max_output > 0) {}

  // Writes `bytes`, or as many of them as the limit leaves; false once a
  // write failed.
  bool Write(std::string_view bytes) {
    size_t size = bytes.size();
    if (limited_ && size > left_) {
      size = static_cast<size_t>(left_);
      cut_ = true;
    }
    if (limited_) left_ -= size;
    size_t done = 0;
    while (ok_ && done < size) {
      const ssize_t n = write(fd_, bytes.data() + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0)
        ok_ = false;
      else
        done += static_cast<size_t>(n);
    }
    return ok_;
  }

  // False once a write failed or the limit was reached: nothing more is
  // worth writing.
  bool ok() const { return ok_ && !cut_; }
  // True when bytes were dropped at the limit.
  bool cut() const { return cut_; }

 private:
  int fd_;
  unsigned long long left_;
  bool limited_;
  bool ok_ = true;
  bool cut_ = false;
};

}  // namespace veskara::wpdf
