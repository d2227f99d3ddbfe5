#include "search/messages.h"

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

}  // namespace veskara
