// Failure types of the program. Every failure that reaches the user carries
// its final message in what(); the window shows it in the general error report.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/env.h"

namespace veskara {

// A text file could not be opened, read, written or closed. code() is the
// operating system's error number (errno).
class IoError : public std::runtime_error {
 public:
  explicit IoError(int code);
  IoError(int code, const std::string& message);
  int code() const { return code_; }

 private:
  int code_;
};

// A text that should hold an integer does not:
// "'%s' is not a valid integer value".
class ConvertError : public std::runtime_error {
 public:
  explicit ConvertError(const std::string& text);
};

// The user-facing message for an operating-system error number: "File not
// found", "Invalid filename", "Too many open files", "File access denied",
// "Disk full", or "I/O error %d" for every other code.
std::string IoErrorMessage(int code);

// Why a look-up that failed with this error number found nothing.
MissingReason MissingReasonOf(int code);

// Throws IoError for the current errno.
[[noreturn]] void ThrowLastIoError();

}  // namespace veskara
