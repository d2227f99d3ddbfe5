#include "cli/commands.h"

#include "cli/add_command.h"
#include "cli/check_command.h"
#include "cli/query_commands.h"

namespace veskara {
namespace {

constexpr OptionSpec kUpdateOptions[] = {
    {.name = "--retry", .value_name = "", .help = "also read again the documents that could not be read"},
};

constexpr Command kCommands[] = {
    {.name = "add",
     .operands = "DIRECTORY",
     .help = "index the pages and PDF documents under DIRECTORY, and remember the folder",
     .min_operands = 1,
     .max_operands = 1,
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
     .recovery = Recovery::kOrReadAsItIs,
     .run = RunSearchCommand},
    {.name = "files",
     .operands = "NUMBERLIST",
     .help = "list the paths of the files with these numbers",
     .min_operands = 1,
     .max_operands = 1,
     .recovery = Recovery::kOrReadAsItIs,
     .run = RunFilesCommand},
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
