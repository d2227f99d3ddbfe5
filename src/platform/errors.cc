#include "platform/errors.h"

#include <cerrno>

namespace veskara {

// The one place where errno values become the program's messages. The codes
// are matched by meaning, since Linux numbers differ from the classic table.
std::string IoErrorMessage(int code) {
  switch (code) {
    case ENOENT:
      return "File not found";
    case ENAMETOOLONG:
    case ENOTDIR:
    case ELOOP:
      return "Invalid filename";
    case EMFILE:
    case ENFILE:
      return "Too many open files";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return "File access denied";
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return "Disk full";
    default:
      return "I/O error " + std::to_string(code);
  }
}

MissingReason MissingReasonOf(int code) {
  switch (code) {
    case ENOENT:
    case ENOTDIR:
      return MissingReason::kNotThere;
    case EACCES:
    case EPERM:
      return MissingReason::kDenied;
    case ELOOP:
      return MissingReason::kLinkLoop;
    default:
      return MissingReason::kFailed;
  }
}

IoError::IoError(int code) : IoError(code, IoErrorMessage(code)) {}

IoError::IoError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}

ConvertError::ConvertError(const std::string& text)
    : std::runtime_error("'" + text + "' is not a valid integer value") {}

void ThrowLastIoError() { throw IoError(errno); }

}  // namespace veskara
