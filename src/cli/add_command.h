// `veskara-cli add DIRECTORY`: one scan into the base, progress on stderr.
#pragma once

#include "cli/commands.h"

namespace veskara {

// Runs the scan of operands[0]; kDone, or kFailure with the failure's
// message on stderr. Each step and status text is a line on stderr; on a
// terminal, step 2's progress is one line redrawn in place.
ExitStatus RunAddCommand(const Invocation& invocation);

// `update [--retry] [FOLDER...]`: the summary line on stdout, the unread
// documents on stderr; 0 also when nothing had changed.
ExitStatus RunUpdateCommand(const Invocation& invocation);

// `kinds`: one line per group of kinds: its name, TAB, "on" or "off", TAB,
// what it holds. `kinds GROUP...`, `--all` or `--none`: the base reads
// exactly those groups from now on, and one update makes it so (the
// summary line as update prints it). An unknown group is a usage error.
ExitStatus RunKindsCommand(const Invocation& invocation);

// `remove PATH...`: 1, and nothing written, when no file and no folder of
// the base lies at or under a PATH.
ExitStatus RunRemoveCommand(const Invocation& invocation);

}  // namespace veskara
