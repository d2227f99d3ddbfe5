#include "cli/check_command.h"

#include <cstdio>
#include <exception>

#include "base/messages.h"
#include "search/base_check.h"

namespace veskara {

ExitStatus RunCheckCommand(const Invocation& invocation) {
  BaseCheck check;
  try {
    check = CheckBase(invocation.base_directory, *invocation.env);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "veskara-cli: %s\n", ErrorReportText(failure.what()).c_str());
    return ExitStatus::kFailure;
  }
  switch (check.status) {
    case BaseCheck::Status::kConsistent:
      std::puts("The base is consistent.");
      return ExitStatus::kDone;
    case BaseCheck::Status::kMissing:
    case BaseCheck::Status::kBusy:
      std::fprintf(stderr, "veskara-cli: %s\n", check.problem.c_str());
      return ExitStatus::kFailure;
    case BaseCheck::Status::kInconsistent:
      break;
  }
  std::fprintf(stderr, "veskara-cli: %s\n", check.problem.c_str());
  return ExitStatus::kInconsistent;
}

}  // namespace veskara
