#include "cli/commands.h"

#include "cli/add_command.h"
#include "cli/check_command.h"
#include "cli/query_commands.h"
#include "cli/show_command.h"

namespace veskara {
namespace {

constexpr CommandOption kJobs{"--jobs", "N", "convert up to N documents at once (default: one per processor)"};
constexpr CommandOption kAddOptions[] = {kJobs};
constexpr CommandOption kUpdateOptions[] = {
    {.name = "--retry", .value_name = "", .help = "also read again the documents that could not be read"},
    kJobs,
};
constexpr CommandOption kKindsOptions[] = {
    {.name = "--all", .value_name = "", .help = "read every group"},
    {.name = "--none", .value_name = "", .help = "read pages and PDF documents only"},
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
     .help = "index the pages and PDF documents under DIRECTORY (and the kinds chosen with kinds), and remember "
             "the folder",
     .min_operands = 1,
     .max_operands = 1,
     .options = kAddOptions,
     .recovery = Recovery::kByTheCommand,
     .run = RunAddCommand},
    {.name = "update",
     .operands = "[FOLDER...]",
     .help = "keep the base current: drop the files under the folders (default: every remembered folder) that "
             "changed or vanished, read the changed and the new ones again; prints \"N added, M updated, K removed, "
             "F could not be read\"",
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
     .help = "drop every file of the base at or under each PATH and forget the remembered folders there "
             "(1: nothing matched, nothing written)",
     .min_operands = 1,
     .max_operands = kAnyNumber,
     .recovery = Recovery::kByTheCommand,
     .run = RunRemoveCommand},
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
     .help = "list the remembered folders: path, TAB, files of the base under it, TAB, last scan (local time)",
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
