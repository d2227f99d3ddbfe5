#include "cli/add_command.h"

#include <cstdio>

namespace veskara {

int RunAddCommand(const std::string&, const std::string&) {
  std::fputs("veskara-cli: adding to the base is not available yet\n", stderr);
  return 2;
}

}  // namespace veskara
