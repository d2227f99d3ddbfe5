#include "cli/check_command.h"

#include <cstdio>
#include <exception>

#include "search/base_check.h"
#include "search/messages.h"

namespace veskara {

int RunCheckCommand(const std::string& base_directory) {
  BaseCheck check;
  try {
    check = CheckBase(base_directory);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "veskara-cli: %s\n", ErrorReportText(failure.what()).c_str());
    return kExitCheckFailed;
  }
  switch (check.status) {
    case BaseCheck::Status::kConsistent:
      std::puts("The base is consistent.");
      return kExitConsistent;
    case BaseCheck::Status::kMissing:
      std::fprintf(stderr, "veskara-cli: %s\n", check.problem.c_str());
      return kExitCheckFailed;
    case BaseCheck::Status::kInconsistent:
      break;
  }
  std::fprintf(stderr, "veskara-cli: %s\n", check.problem.c_str());
  return kExitInconsistent;
}

}  // namespace veskara
