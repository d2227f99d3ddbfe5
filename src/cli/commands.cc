#include "cli/commands.h"

#include "cli/add_command.h"
#include "cli/check_command.h"
#include "cli/query_commands.h"
#include "cli/show_command.h"
#include "cli/watch_command.h"

namespace veskara {
namespace {

constexpr CommandOption kJobs{"--jobs", "N", "convert up to N documents at once (default: one per processor)"};
constexpr CommandOption kQuiet{"--quiet", "",
                               "print no steps (they are printed only when stderr is a terminal): the summary, the "
                               "files that could not be read and failures only"};
constexpr CommandOption kAddOptions[] = {kJobs, kQuiet};
constexpr CommandOption kUpdateOptions[] = {
    {.name = "--retry",
     .value_name = "",
     .help = "also read again the documents that could not be read (one that still cannot be read counts as not "
             "read, not as updated)"},
    kJobs,
    kQuiet,
};
constexpr CommandOption kWatchOptions[] = {
    {"--every", "MINUTES", "update the folders that the system refuses to watch every MINUTES minutes (default: 10)"},
    kJobs,
};
constexpr CommandOption kRemoveOptions[] = {kQuiet};
constexpr CommandOption kKindsOptions[] = {
    {.name = "--all", .value_name = "", .help = "read every group"},
    {.name = "--none", .value_name = "", .help = "read pages and PDF documents only"},
    kJobs,
};
constexpr CommandOption kFoldYo{"--fold-yo", "",
                                "match Ё and Е as one letter, so that ОТЧЕТ finds ОТЧЁТ and ЕЖ finds ЁЖИК"};
constexpr CommandOption kSearchOptions[] = {kFoldYo};
constexpr CommandOption kFindOptions[] = {
    kFoldYo,
    {"--sort", "KEY",
     "list the files by path, name (the file's own name), modified or size, instead of in the order of fls.txt"},
    {"--reverse", "", "list them in the reverse order (files that tie keep theirs; files that are gone stay last)"},
    {"--under", "DIR", "only the files at or under the folder DIR (repeatable)"},
    {"--kind", "KIND", "only the files of this kind (repeatable): page, pdf, or another kind the base reads"},
    {"--newer", "DATE",
     "only the files modified at or after DATE: 2024-05-31 or 2024-05-31T14:30 (ISO 8601, local time unless it "
     "ends with Z or an offset)"},
    {"--older", "DATE", "only the files modified before DATE"},
    {"--long", "", "PATH, TAB, size in bytes, TAB, modified (local time), TAB, kind; - for a file that is gone"},
    {"--line", "",
     "one more column: the first line of the file that holds a searched word, LINE:TEXT as show prints it (empty "
     "when there is none)"},
    {"-0", "", "end each row with a NUL instead of a newline"},
};
constexpr CommandOption kShowOptions[] = {
    {.name = "--color",
     .value_name = "WHEN",
     .help = "mark the matched words in colour: auto (when the output is a terminal, also --color alone), always "
             "or never",
     .value_when_alone = "auto",
     .choices = "auto always never"},
    {"-H", "", "print the PATH and a colon before each line"},
    kFoldYo,
};

constexpr Command kCommands[] = {
    {.name = "add",
     .operands = "DIRECTORY",
     .help = "index the pages and PDF documents under DIRECTORY (and the kinds chosen with kinds), and remember "
             "the folder (within a remembered folder that holds it, as a part of that one; one that holds remembered "
             "folders takes them in; an excluded DIRECTORY is taken back); prints \"N added, M updated, K removed, F "
             "could not be read\"",
     .min_operands = 1,
     .max_operands = 1,
     .options = kAddOptions,
     .recovery = Recovery::kByTheCommand,
     .run = RunAddCommand},
    {.name = "update",
     .operands = "[FOLDER...]",
     .help = "keep the base current: drop the files under the folders (default: every remembered folder) that "
             "changed or vanished, read the changed and the new ones again; prints \"N added, M updated, K removed, "
             "F could not be read\", then \"FOLDER: offline, N files kept\" for each folder that is not there, "
             "whose files stay (1: a named folder is offline, nothing written)",
     .min_operands = 0,
     .max_operands = kAnyNumber,
     .options = kUpdateOptions,
     .recovery = Recovery::kByTheCommand,
     .run = RunUpdateCommand},
    {.name = "kinds",
     .operands = "[GROUP...]",
     .help = "show which groups of kinds the base reads beyond pages and PDF documents (one line per group: its "
             "name, TAB, on or off, TAB, what it holds); with groups (text, office, ebook, compressed), --all or "
             "--none, read exactly those from now on and update the base as update does",
     .min_operands = 0,
     .max_operands = kAnyNumber,
     .options = kKindsOptions,
     .recovery = Recovery::kByTheCommand,
     .run = RunKindsCommand},
    {.name = "remove",
     .operands = "PATH...",
     .help = "drop every file of the base at or under each PATH and forget the remembered folders there; a PATH "
             "inside a remembered folder stays out of it (excluded) until added again "
             "(1: nothing matched, nothing written)",
     .min_operands = 1,
     .max_operands = kAnyNumber,
     .options = kRemoveOptions,
     .recovery = Recovery::kByTheCommand,
     .run = RunRemoveCommand},
    {.name = "watch",
     .help = "keep the base current while it runs: update every remembered folder once, then watch them and, "
             "about 2 seconds after the last change (at most 30 seconds while changes go on), update what changed; "
             "prints \"Watching N folders\", then one summary line per update as update does; folders that go "
             "offline keep their files and are caught up when they are back; ends, the base whole, on SIGINT or "
             "SIGTERM",
     .options = kWatchOptions,
     .recovery = Recovery::kByTheCommand,
     .run = RunWatchCommand},
    {.name = "search",
     .operands = "QUERY...",
     .help = "list the words of the base that begin with the first query word, combined with each further word "
             "(one line per entry: the words, a TAB, the file numbers)",
     .min_operands = 1,
     .max_operands = kAnyNumber,
     .options = kSearchOptions,
     .recovery = Recovery::kOrReadAsItIs,
     .run = RunSearchCommand},
    {.name = "find",
     .operands = "QUERY...",
     .help = "list the paths of the files of every entry that search finds, each once, in the order of fls.txt; "
             "a query word written -WORD leaves out every file that holds a word beginning with WORD (1: no file "
             "is left)",
     .min_operands = 1,
     .max_operands = kAnyNumber,
     .options = kFindOptions,
     .recovery = Recovery::kOrReadAsItIs,
     .run = RunFindCommand},
    {.name = "files",
     .operands = "NUMBERLIST",
     .help = "list the paths of the files with these numbers",
     .min_operands = 1,
     .max_operands = 1,
     .recovery = Recovery::kOrReadAsItIs,
     .run = RunFilesCommand},
    {.name = "show",
     .operands = "PATH QUERY...",
     .help = "print the lines of the document at PATH that hold a word beginning with a query word: LINE:TEXT "
             "for a page, p.PAGE:TEXT for a PDF document (1: no line holds one; 2: the document cannot be read)",
     .min_operands = 2,
     .max_operands = kAnyNumber,
     .options = kShowOptions,
     .recovery = Recovery::kNotNeeded,
     .run = RunShowCommand},
    {.name = "stats",
     .help = "print the number of files and words in the base (2: the base is missing or unreadable)",
     .recovery = Recovery::kOrReadAsItIs,
     .run = RunStatsCommand},
    {.name = "folders",
     .help = "list the remembered folders: path, TAB, files of the base under it, TAB, last scan (local time), "
             "TAB, \"online\" or \"offline: \" and why; each followed by the paths in it that were removed and stay "
             "out of the base until added again: TAB, \"excluded\", TAB, path",
     .recovery = Recovery::kOrReadAsItIs,
     .run = RunFoldersCommand},
    {.name = "unread",
     .help = "list the documents that could not be read: path, TAB, reason",
     .recovery = Recovery::kOrReadAsItIs,
     .run = RunUnreadCommand},
    {.name = "check",
     .help = "test that the base is consistent (1: the first problem found is printed; 2: the base is missing "
             "or unreadable)",
     .recovery = Recovery::kRequired,
     .run = RunCheckCommand},
};

}  // namespace

std::span<const Command> Commands() { return kCommands; }

}  // namespace veskara
