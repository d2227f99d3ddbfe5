// Reading command lines against a table of commands, and the help made from
// it. The table here declares options, as commands will.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veskara {
namespace {

ExitStatus Nothing(const Invocation&) { return ExitStatus::kDone; }

constexpr CommandOption kFindOptions[] = {{"--fold-yo", "", "match Ё and Е as one letter"}};
constexpr CommandOption kShowOptions[] = {
    {"--color", "WHEN", "highlight the matches: auto, always or never"},
    {"--fold-yo", "", "match Ё and Е as one letter, so that ОТЧЕТ finds ОТЧЁТ and ЕЖ finds ЁЖИК"},
};
constexpr Command kTable[] = {
    {"count", "", "how many", 0, 0, {}, Recovery::kRequired, Nothing},
    {"find", "QUERY...", "the paths of every file found", 1, kAnyNumber, kFindOptions, Recovery::kOrReadAsItIs,
     Nothing},
    {"show", "PATH QUERY...",
     "the lines of the document at PATH that hold a word beginning with a query word, one per line", 2, kAnyNumber,
     kShowOptions, Recovery::kOrReadAsItIs, Nothing},
    {"a-command-with-a-long-name", "OPERAND", "help", 1, 1, {}, Recovery::kByTheCommand, Nothing},
};

using Action = ParsedCommandLine::Action;

TEST(CliCommandLineTest, ReadsOptionsAndOperandsByTheTable) {
  struct Case {
    std::vector<std::string> args;
    Action action;
    std::string command_or_problem;
    std::vector<std::string> operands = {};
    OptionValues options = {};
  } cases[] = {
      {{"find", "x"}, Action::kRun, "find", {"x"}},
      {{"find", "--fold-yo", "x", "y"}, Action::kRun, "find", {"x", "y"}, {{"--fold-yo", ""}}},
      // Options end at the first operand or at "--"; an unknown one is an
      // operand, so a query may begin with "-".
      {{"find", "x", "--fold-yo"}, Action::kRun, "find", {"x", "--fold-yo"}},
      {{"find", "--", "--fold-yo"}, Action::kRun, "find", {"--fold-yo"}},
      {{"find", "-x"}, Action::kRun, "find", {"-x"}},
      {{"find", "--fold-yo=1", "x"}, Action::kUsageError, "--fold-yo takes no value"},
      {{"show", "--color", "never", "p", "q"}, Action::kRun, "show", {"p", "q"}, {{"--color", "never"}}},
      {{"show", "--fold-yo", "--color=always", "--color=auto", "p", "q"},
       Action::kRun,
       "show",
       {"p", "q"},
       {{"--color", "auto"}, {"--fold-yo", ""}}},
      {{"show", "--color"}, Action::kUsageError, "--color needs WHEN"},
      {{"show", "--color=", "p", "q"}, Action::kUsageError, "--color needs WHEN"},
      {{"show", "p"}, Action::kUsageError, "show needs PATH QUERY..."},
      {{"a-command-with-a-long-name"}, Action::kUsageError, "a-command-with-a-long-name takes one OPERAND"},
      {{"count", "x"}, Action::kUsageError, "count takes no operand"},
      // A command without options has no "--" of its own either.
      {{"count", "--"}, Action::kUsageError, "count takes no operand"},
      // A command's option is not the program's.
      {{"--fold-yo", "find", "x"}, Action::kUsageError, "unknown option --fold-yo"},
      {{}, Action::kUsageError, "no command given"},
      {{"--base", "/b"}, Action::kUsageError, "no command given"},
      {{"frob"}, Action::kUsageError, "unknown command frob"},
      {{"--", "--help"}, Action::kUsageError, "unknown command --help"},
      {{"--base", "/b", "--help", "frob"}, Action::kHelp, ""},
      {{"-h"}, Action::kHelp, ""},
      {{"--version", "--bogus"}, Action::kVersion, ""},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& a : c.args) line += "[" + a + "]";
    const ParsedCommandLine parsed = ParseCommandLine(c.args, kTable);
    EXPECT_EQ(parsed.action, c.action) << line;
    if (c.action == Action::kUsageError) {
      EXPECT_EQ(parsed.problem, c.command_or_problem) << line;
      continue;
    }
    if (c.action != Action::kRun) continue;
    ASSERT_NE(parsed.command, nullptr) << line;
    EXPECT_EQ(parsed.command->name, c.command_or_problem) << line;
    EXPECT_EQ(parsed.invocation.operands, c.operands) << line;
    EXPECT_EQ(parsed.invocation.options, c.options) << line;
  }
}

// An option whose value may be left out, and one that may be repeated.
TEST(CliCommandLineTest, OptionalAndRepeatedValues) {
  constexpr CommandOption kOptions[] = {
      {.name = "--color", .value_name = "WHEN", .help = "", .value_when_alone = "auto", .choices = "auto always never"},
      {"--under", "DIR", ""},
      {"-0", "", ""},
  };
  const Command table[] = {{"list", "QUERY...", "", 1, kAnyNumber, kOptions, Recovery::kRequired, Nothing}};
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> operands;
    OptionValues options;
    OptionLists lists = {};
  } cases[] = {
      {{"list", "--color", "x"}, {"x"}, {{"--color", "auto"}}, {{"--color", {"auto"}}}},
      {{"list", "--color", "never", "x"}, {"x"}, {{"--color", "never"}}, {{"--color", {"never"}}}},
      {{"list", "--color=always", "x"}, {"x"}, {{"--color", "always"}}, {{"--color", {"always"}}}},
      {{"list", "--color", "--", "never"}, {"never"}, {{"--color", "auto"}}, {{"--color", {"auto"}}}},
      {{"list", "--under", "/a", "--under=/b", "-0", "x"},
       {"x"},
       {{"--under", "/b"}, {"-0", ""}},
       {{"--under", {"/a", "/b"}}, {"-0", {""}}}},
      {{"list", "-0x"}, {"-0x"}, {}},
  };
  for (const Case& c : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(c.args, table);
    ASSERT_EQ(parsed.action, Action::kRun) << c.args[1] << " " << parsed.problem;
    EXPECT_EQ(parsed.invocation.operands, c.operands) << c.args[1];
    EXPECT_EQ(parsed.invocation.options, c.options) << c.args[1];
    EXPECT_EQ(parsed.invocation.option_lists, c.lists) << c.args[1];
  }
  EXPECT_EQ(ParseCommandLine(std::vector<std::string>{"list", "--color="}, table).problem, "--color needs WHEN");
  EXPECT_EQ(UsageText(table),
            "usage: veskara-cli [--base DIR] list [--color[=WHEN]] [--under DIR] [-0] QUERY...\n"
            "       veskara-cli --help | --version\n");
}

TEST(CliCommandLineTest, BaseDirectory) {
  struct Case {
    std::vector<std::string> args;
    bool given;
    std::string base;
  } cases[] = {
      {{"count"}, false, ""},
      {{"--base", "/b/", "count"}, true, "/b"},
      {{"--base=b//", "count"}, true, "b"},
      {{"--base", "/x", "--base=/y", "count"}, true, "/y"},
      {{"--base", "/", "count"}, true, ""},  // the root, joined as "/wrds.txt"
  };
  for (const Case& c : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(c.args, kTable);
    ASSERT_EQ(parsed.action, Action::kRun) << c.args[0] << " " << parsed.problem;
    EXPECT_EQ(parsed.base_given, c.given) << c.args[1];
    EXPECT_EQ(parsed.invocation.base_directory, c.base) << c.args[1];
  }
}

TEST(CliCommandLineTest, UsageAndHelpAreMadeFromTheTable) {
  EXPECT_EQ(UsageText(kTable),
            "usage: veskara-cli [--base DIR] count\n"
            "       veskara-cli [--base DIR] find [--fold-yo] QUERY...\n"
            "       veskara-cli [--base DIR] show [--color WHEN] [--fold-yo] PATH QUERY...\n"
            "       veskara-cli [--base DIR] a-command-with-a-long-name OPERAND\n"
            "       veskara-cli --help | --version\n");
  // Help from column 22, wrapped within 76 columns (a Cyrillic letter is
  // one column, though two bytes); a command's options under it; a label
  // without two blanks before the help on a line of its own.
  EXPECT_EQ(HelpText(kTable),
            "\n"
            "  count              how many\n"
            "  find QUERY...      the paths of every file found\n"
            "    --fold-yo        match Ё and Е as one letter\n"
            "  show PATH QUERY...\n"
            "                     the lines of the document at PATH that hold a word\n"
            "                     beginning with a query word, one per line\n"
            "    --color WHEN     highlight the matches: auto, always or never\n"
            "    --fold-yo        match Ё and Е as one letter, so that ОТЧЕТ finds ОТЧЁТ\n"
            "                     and ЕЖ finds ЁЖИК\n"
            "  a-command-with-a-long-name OPERAND\n"
            "                     help\n"
            "  --base DIR         the base folder (default: VESKARA_BASE; else this\n"
            "                     program's folder when it holds a base; else\n"
            "                     $XDG_DATA_HOME/veskara, ~/.local/share/veskara)\n"
            "\n"
            "Exit status: 0 done, 1 nothing was found, 2 a failure or a usage error.\n");
}

}  // namespace
}  // namespace veskara
