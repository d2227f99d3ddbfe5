// Reading veskara-cli's arguments against a table of commands, and the usage
// and help texts generated from that table. No input or output happens here.
//
// The form: veskara-cli [--base DIR | --base=DIR]... [--] COMMAND
// [COMMAND-OPTION]... [--] OPERAND...
// Program options come before the command. After the command, only the
// options its row declares are read, up to the first other argument or "--";
// everything from there on is an operand, so a query may begin with "-".
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "cli/commands.h"

namespace veskara {

struct ParsedCommandLine {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kUsageError;
  std::string problem;               // kUsageError: what was wrong, one line
  const Command* command = nullptr;  // kRun: a row of the table given
  bool base_given = false;           // false: the caller supplies the default base
  Invocation invocation;             // kRun; base_directory only when base_given
};

// The program's own option, read before the command: --base DIR.
const CommandOption& BaseOption();

// The exit statuses, one line, as --help and the manual page state them.
inline constexpr std::string_view kExitStatusText =
    "Exit status: 0 done, 1 nothing was found, 2 a failure or a usage error.";

ParsedCommandLine ParseCommandLine(std::span<const std::string> args, std::span<const Command> commands);

// "usage: veskara-cli ..." with one line per command, then --help | --version.
std::string UsageText(std::span<const Command> commands);

// What --help prints after the usage: each command with its options, the
// program's options, and the exit statuses; lines wrapped to fit 80 columns.
std::string HelpText(std::span<const Command> commands);

}  // namespace veskara
