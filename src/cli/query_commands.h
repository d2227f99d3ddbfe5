// The reading commands of veskara-cli: search, files and stats. Each writes
// its result to stdout and its messages to stderr.
#pragma once

#include "cli/commands.h"

namespace veskara {

// The operands joined with single blanks are the query (UTF-8). One line per
// entry: its text in UTF-8, a TAB, its number list. kNothingFound when no
// entry was found; kFailure for a query without words or a failure.
// --fold-yo: Ё and Е as one letter.
ExitStatus RunSearchCommand(const Invocation& invocation);

// The query as for search; the paths of the files of all its entries, each
// once, in the order of fls.txt, one per line as files prints them. The
// limit message of search comes after the paths. kNothingFound when there
// is no path.
ExitStatus RunFindCommand(const Invocation& invocation);

// The paths of the files of the number list operands[0], one per line, as
// raw bytes.
ExitStatus RunFilesCommand(const Invocation& invocation);

// The two count labels of the About page, one line each. A base file that is
// missing or cannot be opened is a failure, named on stderr; nothing is
// printed on stdout then.
ExitStatus RunStatsCommand(const Invocation& invocation);

// One line per remembered folder: path, TAB, files of the base under it,
// TAB, its last scan in ISO 8601 local time.
ExitStatus RunFoldersCommand(const Invocation& invocation);

// One line per file that could not be read: path, TAB, reason.
ExitStatus RunUnreadCommand(const Invocation& invocation);

}  // namespace veskara
