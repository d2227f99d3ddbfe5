#include "search/messages.h"

#include <new>

#include "base/base_files.h"
#include "platform/strings.h"

namespace veskara {

std::string ErrorReportText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

std::string MissingBaseFileText(std::string_view base_directory, std::string_view name) {
  return "Database file " + EscapeControlBytes(BaseFilePath(base_directory, name)) +
         " is not found. You should add to base one or more directory first.";
}

std::string CannotOpenBaseFileText(std::string_view name) { return "Can't open file " + std::string(name); }

std::string FailureText(const std::exception& failure, std::string_view doing) {
  if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) return "Not enough memory to " + std::string(doing);
  return failure.what();
}

}  // namespace veskara
