#include "cli/commands.h"

#include "cli/add_command.h"
#include "cli/check_command.h"
#include "cli/query_commands.h"
#include "cli/show_command.h"
#include "cli/watch_command.h"

namespace veskara {
namespace {

constexpr CommandOption kJobs{"--jobs", "N", "convert up to N PDF documents at once (default: one per processor)"};
constexpr CommandOption kAddOptions[] = {kJobs};
constexpr CommandOption kUpdateOptions[] = {
    {.name = "--retry", .value_name = "", .help = "also read again the documents that could not be read"},
    kJobs,
};
constexpr CommandOption kWatchOptions[] = {
    {"--every", "MINUTES", "update the folders that the system refuses to watch every MINUTES minutes (default: 10)"},
    kJobs,
};
constexpr CommandOption kFoldYo{"--fold-yo", "",
                                "match Ё and Е as one letter, so that ОТЧЕТ finds ОТЧЁТ and ЕЖ finds ЁЖИК"};
constexpr CommandOption kSearchOptions[] = {kFoldYo};
constexpr CommandOption kShowOptions[] = {
    {"--color", "WHEN", "mark the matched words in colour: auto (when the output is a terminal), always or never"},
    kFoldYo,
};

constexpr Command kCommands[] = {
    {.name = "add",
     .operands = "DIRECTORY",
     .help = "index the pages and PDF documents under DIRECTORY, and remember the folder (within a remembered "
             "folder that holds it, as a part of that one; one that holds remembered folders takes them in; an "
             "excluded DIRECTORY is taken back)",
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
    {.name = "remove",
     .operands = "PATH...",
     .help = "drop every file of the base at or under each PATH and forget the remembered folders there; a PATH "
             "inside a remembered folder stays out of it (excluded) until added again "
             "(1: nothing matched, nothing written)",
     .min_operands = 1,
     .max_operands = kAnyNumber,
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
     .help = "list the paths of the files of every entry that search finds, each once, in the order of fls.txt",
     .min_operands = 1,
     .max_operands = kAnyNumber,
     .options = kSearchOptions,
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
