// `veskara-cli show PATH QUERY...`: the lines of one document that hold the
// query's words, as a terminal or a script reads them.
#pragma once

#include "cli/commands.h"

namespace veskara {

// One line per matching line of operands[0]: LINE:TEXT for a page,
// p.PAGE:TEXT for a PDF document, in UTF-8; a long line cut around its
// first match, with "…" where characters were left out, and a note on
// stderr. --color WHEN (auto: when stdout
// is a terminal; always; never) marks the matched words and the labels with
// terminal colours; --fold-yo as for search. kNothingFound when no line
// matches; kFailure for a query without words, a WHEN not understood, or a
// document that cannot be read (the reason on stderr).
ExitStatus RunShowCommand(const Invocation& invocation);

}  // namespace veskara
