// Messages the core asks a front end to show, with the kind that decides
// their look: a plain dialog (caption "Veskara", no icon), a message box with
// an information or warning icon, or the general error report.
#pragma once

#include <string>

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

}  // namespace veskara
