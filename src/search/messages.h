// Messages the core asks a front end to show, with the kind that decides
// their look: a plain dialog (caption "Veskara", no icon), a message box with
// an information or warning icon, or the general error report.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace veskara {

enum class MessageKind {
  kPlainDialog,     // modal, one OK button, no icon, caption "Veskara"
  kInformationBox,  // information icon, caption given
  kWarningBox,      // warning icon, caption given
  kErrorReport,     // error icon, caption "Veskara"
};

struct UserMessage {
  MessageKind kind;
  std::string caption;
  std::string text;

  bool operator==(const UserMessage&) const = default;
};

inline constexpr const char* kApplicationTitle = "Veskara";

// The text of the general error report for a failure message: "." is
// appended when the last character's code is above that of ".".
std::string ErrorReportText(const std::string& message);

// Why a base file cannot be read: "Database file BASE/NAME is not found.
// You should add to base one or more directory first." for a missing file
// (or a folder in its place), "Can't open file NAME" for one that will not
// open. The folder's bytes are shown with control bytes escaped.
std::string MissingBaseFileText(std::string_view base_directory, std::string_view name);
std::string CannotOpenBaseFileText(std::string_view name);

// The message of a failure for the user: "Not enough memory to " + `doing`
// when memory ran out (std::bad_alloc says nothing a user can act on), its
// own message otherwise.
std::string FailureText(const std::exception& failure, std::string_view doing);

}  // namespace veskara
