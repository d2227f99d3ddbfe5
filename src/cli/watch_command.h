// `veskara-cli watch`: keeps the base current while it runs.
#pragma once

#include "cli/commands.h"

namespace veskara {

// Catches up, then watches the remembered folders until SIGINT or SIGTERM
// (a running update is abandoned, the base stays as it was), and exits 0.
// On stdout, "Watching N folders" when the watches are set (and when the
// system's refusal of more watches begins or ends), and one summary line
// per update, then its offline folders; on stderr, the documents an update
// could not read and the failures of updates (tried again later). 2 when
// folders cannot be watched at all, or --every is not a number of minutes.
ExitStatus RunWatchCommand(const Invocation& invocation);

}  // namespace veskara
