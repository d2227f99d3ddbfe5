// `veskara-cli check`: the consistency check of the base, for users and
// scripts.
#pragma once

#include "cli/commands.h"

namespace veskara {

// Prints "The base is consistent." to stdout (kDone), or the first problem
// found to stderr (kInconsistent), or says why the base cannot be checked
// (kFailure).
ExitStatus RunCheckCommand(const Invocation& invocation);

}  // namespace veskara
