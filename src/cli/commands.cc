#include "cli/commands.h"

#include "cli/add_command.h"
#include "cli/check_command.h"
#include "cli/query_commands.h"
#include "cli/show_command.h"

namespace veskara {
namespace {

constexpr OptionSpec kFoldYo{"--fold-yo", "",
                             "match Ё and Е as one letter, so that ОТЧЕТ finds ОТЧЁТ and ЕЖ finds ЁЖИК"};
constexpr OptionSpec kSearchOptions[] = {kFoldYo};
constexpr OptionSpec kShowOptions[] = {
    {"--color", "WHEN", "mark the matched words in colour: auto (when the output is a terminal), always or never"},
    kFoldYo,
};

constexpr Command kCommands[] = {
    {.name = "add",
     .operands = "DIRECTORY",
     .help = "index the pages and PDF documents under DIRECTORY",
     .min_operands = 1,
     .max_operands = 1,
     .recovery = Recovery::kByTheCommand,
     .run = RunAddCommand},
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
    {.name = "check",
     .help = "test that the base is consistent (1: the first problem found is printed; 2: the base is missing "
             "or unreadable)",
     .recovery = Recovery::kRequired,
     .run = RunCheckCommand},
};

}  // namespace

std::span<const Command> Commands() { return kCommands; }

}  // namespace veskara
