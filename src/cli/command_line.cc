#include "cli/command_line.h"

#include <algorithm>

#include "platform/paths.h"

namespace veskara {
namespace {

constexpr CommandOption kBaseOption{
    "--base", "DIR",
    "the base folder (default: VESKARA_BASE; else this program's folder when it holds a "
    "base; else $XDG_DATA_HOME/veskara, ~/.local/share/veskara)"};
constexpr size_t kHelpColumn = 21;
constexpr size_t kLineWidth = 76;

ParsedCommandLine Outcome(ParsedCommandLine::Action action, std::string problem = {}) {
  ParsedCommandLine line;
  line.action = action;
  line.problem = std::move(problem);
  return line;
}

ParsedCommandLine UsageError(std::string problem) {
  return Outcome(ParsedCommandLine::Action::kUsageError, std::move(problem));
}

// True when `word` is one of the blank-separated `choices`.
bool IsChoice(std::string_view word, std::string_view choices) {
  while (!choices.empty()) {
    const size_t blank = choices.find(' ');
    if (choices.substr(0, blank) == word) return true;
    choices = blank == std::string_view::npos ? std::string_view() : choices.substr(blank + 1);
  }
  return false;
}

// Reads args[i] when it is one of `options`, and its value: i is left on the
// last argument read. False when args[i] is none of them. A malformed option
// (no value, an empty one, or a value for a flag) is described in `problem`.
// Every value also goes to `lists`, when given.
bool TakeOption(std::span<const std::string> args, size_t& i, std::span<const CommandOption> options,
                OptionValues& values, OptionLists* lists, std::string& problem) {
  const std::string& arg = args[i];
  for (const CommandOption& option : options) {
    const std::string name(option.name);
    const bool inline_value = arg.starts_with(name + "=");
    if (arg != name && !inline_value) continue;
    std::string value;
    if (option.value_name.empty()) {
      if (inline_value) problem = name + " takes no value";
    } else if (inline_value) {
      value = arg.substr(name.size() + 1);
      // An empty value is most likely a script's unset variable; for --base
      // it would mean the root folder.
      if (value.empty()) problem = name + " needs " + std::string(option.value_name);
    } else if (!option.value_when_alone.empty()) {
      // The next argument is an operand unless it can only be the value.
      if (i + 1 < args.size() && IsChoice(args[i + 1], option.choices)) {
        value = args[++i];
      } else {
        value = option.value_when_alone;
      }
    } else {
      if (i + 1 < args.size()) value = args[++i];
      if (value.empty()) problem = name + " needs " + std::string(option.value_name);
    }
    if (lists != nullptr) (*lists)[name].push_back(value);
    values[name] = std::move(value);
    return true;
  }
  return false;
}

std::string OperandProblem(const Command& command, size_t given) {
  const std::string name(command.name);
  const std::string operands(command.operands);
  if (command.max_operands == 0) return name + " takes no operand";
  if (command.min_operands == 1 && command.max_operands == 1) return name + " takes one " + operands;
  if (given < command.min_operands) return name + " needs " + operands;
  return name + " takes " + operands;
}

std::string Label(std::string_view name, std::string_view argument) {
  std::string label(name);
  if (!argument.empty()) label.append(" ").append(argument);
  return label;
}

// "--jobs N", "--color[=WHEN]", "--fold-yo".
std::string Label(const CommandOption& option) {
  if (option.value_when_alone.empty()) return Label(option.name, option.value_name);
  return std::string(option.name) + "[=" + std::string(option.value_name) + "]";
}

// Columns a UTF-8 text takes on a terminal: one per character.
size_t Columns(std::string_view text) {
  size_t columns = 0;
  for (const char c : text) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return columns;
}

// One row of the help: the label indented, the text from kHelpColumn on,
// wrapped at blanks. A label that leaves less than two blanks before the
// column gets a line of its own.
void AppendRow(std::string& out, size_t indent, const std::string& label, std::string_view text) {
  std::string line = std::string(indent, ' ') + label;
  size_t width = Columns(line);
  if (width + 2 > kHelpColumn) {
    out += line + "\n";
    line.clear();
    width = 0;
  }
  line.append(kHelpColumn - width, ' ');
  width = kHelpColumn;
  bool line_empty = true;
  while (!text.empty()) {
    const size_t blank = text.find(' ');
    const std::string_view word = text.substr(0, blank);
    text = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
    if (!line_empty && width + 1 + Columns(word) > kLineWidth) {
      out += line + "\n";
      line.assign(kHelpColumn, ' ');
      width = kHelpColumn;
      line_empty = true;
    }
    if (!line_empty) {
      line += ' ';
      ++width;
    }
    line += word;
    width += Columns(word);
    line_empty = false;
  }
  out += line + "\n";
}

}  // namespace

const CommandOption& BaseOption() { return kBaseOption; }

ParsedCommandLine ParseCommandLine(std::span<const std::string> args, std::span<const Command> commands) {
  OptionValues program_options;
  std::string problem;
  size_t i = 0;
  for (; i < args.size() && args[i].starts_with("-"); ++i) {
    if (args[i] == "--help" || args[i] == "-h") return Outcome(ParsedCommandLine::Action::kHelp);
    if (args[i] == "--version") return Outcome(ParsedCommandLine::Action::kVersion);
    if (args[i] == "--") {
      ++i;
      break;
    }
    if (!TakeOption(args, i, {&kBaseOption, 1}, program_options, nullptr, problem))
      return UsageError("unknown option " + args[i]);
    if (!problem.empty()) return UsageError(problem);
  }
  if (i >= args.size()) return UsageError("no command given");
  const auto row = std::find_if(commands.begin(), commands.end(), [&](const Command& c) { return c.name == args[i]; });
  if (row == commands.end()) return UsageError("unknown command " + args[i]);
  ++i;

  ParsedCommandLine line = Outcome(ParsedCommandLine::Action::kRun);
  line.command = &*row;
  // A command without options takes every argument as an operand, "--" too.
  for (; !row->options.empty() && i < args.size() && args[i].starts_with("-"); ++i) {
    if (args[i] == "--") {
      ++i;
      break;
    }
    if (!TakeOption(args, i, row->options, line.invocation.options, &line.invocation.option_lists, problem)) break;
    if (!problem.empty()) return UsageError(problem);
  }
  line.invocation.operands.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
  const size_t given = line.invocation.operands.size();
  if (given < row->min_operands || given > row->max_operands) return UsageError(OperandProblem(*row, given));

  if (const auto base = program_options.find(kBaseOption.name); base != program_options.end()) {
    std::string dir = base->second;
    // Held without trailing separators, since file names are joined with one;
    // "/" becomes "", the root.
    while (!dir.empty() && dir.back() == kPathSeparator) dir.pop_back();
    line.base_given = true;
    line.invocation.base_directory = std::move(dir);
  }
  return line;
}

std::string UsageText(std::span<const Command> commands) {
  std::string text;
  const std::string program = "veskara-cli [" + Label(kBaseOption.name, kBaseOption.value_name) + "] ";
  for (const Command& command : commands) {
    text += text.empty() ? "usage: " : "       ";
    text += program + std::string(command.name);
    // Appended piece by piece: `" [" + std::string&&` inserts at the front,
    // which GCC 12 misreads as an overlapping copy (-Wrestrict).
    for (const CommandOption& option : command.options) text.append(" [").append(Label(option)).append("]");
    if (!command.operands.empty()) text.append(" ").append(command.operands);
    text += "\n";
  }
  text += text.empty() ? "usage: " : "       ";
  text += "veskara-cli --help | --version\n";
  return text;
}

std::string HelpText(std::span<const Command> commands) {
  std::string text = "\n";
  for (const Command& command : commands) {
    AppendRow(text, 2, Label(command.name, command.operands), command.help);
    for (const CommandOption& option : command.options) {
      AppendRow(text, 4, Label(option), option.help);
    }
  }
  AppendRow(text, 2, Label(kBaseOption.name, kBaseOption.value_name), kBaseOption.help);
  text.append("\n").append(kExitStatusText).append("\n");
  return text;
}

}  // namespace veskara
