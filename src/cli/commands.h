// The commands of veskara-cli as one table: each row names a command, its
// operands and options, the help line generated from it, and the function
// that runs it. A new command or a new option of a command is one row.
#pragma once

#include <cstddef>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace veskara {

// The process exit status of every command.
enum class ExitStatus {
  kDone = 0,
  kNothingFound = 1,
  kInconsistent = 1,  // `check` found a problem: a result, not a failure
  kFailure = 2,       // also a usage error
};

// An option of the program or of one command: "--name" alone (a flag), or
// "--name VALUE" / "--name=VALUE" when value_name is given. The parser only
// checks the form; the command judges the value.
struct CommandOption {
  std::string_view name;        // with its dashes: "--jobs", or one dash and a letter: "-H"
  std::string_view value_name;  // "N"; empty for a flag
  std::string_view help;
  // A value that may be left out ("--color" alone): the value taken then.
  // Such an option takes the next argument as its value only when it is
  // one of `choices`; "--name=VALUE" always works.
  std::string_view value_when_alone = {};
  std::string_view choices = {};  // blank-separated: "auto always never"
};

// Option name -> value ("" for a flag); an option given twice keeps the last.
using OptionValues = std::map<std::string, std::string, std::less<>>;
// Option name -> every value given, in order: for an option that may be
// repeated ("--under A --under B").
using OptionLists = std::map<std::string, std::vector<std::string>, std::less<>>;

// What a command is run with.
struct Invocation {
  Env* env = nullptr;          // the system, as main gives it (tests may give another)
  std::string base_directory;  // without trailing separators ("" is the root)
  OptionValues options;        // only options the command's row declares
  OptionLists option_lists;    // the same options with all their values
  std::vector<std::string> operands;
};

// What happens before the command to a commit that a crash interrupted.
enum class Recovery {
  kByTheCommand,  // the command recovers under the base's lock itself (a scan)
  kOrReadAsItIs,  // recovered first; when that fails (a base this user may not
                  // write), a warning, and the live files are read as they are
  kRequired,      // recovered first; when that fails, the command fails
  kNotNeeded,     // the command does not read the base
};

inline constexpr size_t kAnyNumber = std::numeric_limits<size_t>::max();

// One row of the table. Left out of a row (designated initializers), a
// command takes no operands and no options.
struct Command {
  std::string_view name;
  std::string_view operands = {};  // as the usage shows them: "QUERY...", "" for none
  std::string_view help;           // one paragraph; the help text wraps it
  size_t min_operands = 0;
  size_t max_operands = 0;                      // kAnyNumber for no limit
  std::span<const CommandOption> options = {};  // accepted between the name and the operands
  Recovery recovery = Recovery::kRequired;
  // Writes results to stdout and messages to stderr; the caller flushes stdout.
  ExitStatus (*run)(const Invocation&) = nullptr;
};

// The commands in the order the help lists them.
std::span<const Command> Commands();

}  // namespace veskara
