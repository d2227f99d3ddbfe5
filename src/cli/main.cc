// veskara-cli: the base's search, file lookup, counts and scan for terminals
// and scripts. The commands are rows of one table (commands.cc).
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "base/base_location.h"
#include "base/messages.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "indexer/scan.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace {

using veskara::ExitStatus;

int Exit(ExitStatus status) { return static_cast<int>(status); }

// Output that cannot be written (a full disk, a closed pipe) is a failure,
// not a result.
int Finish(ExitStatus status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fputs("veskara-cli: cannot write the output\n", stderr);
    return Exit(ExitStatus::kFailure);
  }
  return Exit(status);
}

// A commit that a crash interrupted is finished or rolled back first, so the
// command reads a whole base. False when the command must not go on.
bool Recover(veskara::Recovery recovery, const std::string& base_directory) {
  if (recovery == veskara::Recovery::kByTheCommand || recovery == veskara::Recovery::kNotNeeded) return true;
  try {
    const std::string note = veskara::RecoverBase(base_directory, veskara::Env::Default());
    if (!note.empty()) std::fprintf(stderr, "veskara-cli: %s\n", note.c_str());
    return true;
  } catch (const std::exception& failure) {
    const std::string problem = veskara::ErrorReportText(failure.what());
    if (recovery == veskara::Recovery::kRequired) {
      std::fprintf(stderr, "veskara-cli: %s\n", problem.c_str());
      return false;
    }
    // A base that this user may read but not write (beside an installed
    // program, say) cannot be recovered by them. The live files still serve
    // reading: the commit renames fls.txt before wrds.txt.
    std::fprintf(stderr, "veskara-cli: an interrupted scan was not cleared up (%s); reading the base as it is\n",
                 problem.c_str());
    return true;
  }
}

veskara::BaseLocation Locate(const veskara::ParsedCommandLine& line) {
  return veskara::LocateBase(
      line.base_given ? std::optional<std::string>(line.invocation.base_directory) : std::nullopt,
      veskara::Env::Default());
}

// Which folder the base is in, and why.
std::string BaseFolderLine(const veskara::ParsedCommandLine& line) {
  try {
    const veskara::BaseLocation where = Locate(line);
    return "\nThe base folder: " + where.directory + " (" + where.reason + ")\n";
  } catch (const veskara::NoBaseFolderError& none) {
    return "\nThe base folder: none. " + veskara::ErrorReportText(none.what()) + "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Under a file-size limit a write then fails with "Disk full" instead of
  // killing the program without a word.
  veskara::IgnoreFileSizeLimitSignal();
  // Results often go to a pipe: write them in large blocks.
  static char out_buffer[1 << 16];
  std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);

  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto commands = veskara::Commands();
  veskara::ParsedCommandLine line = veskara::ParseCommandLine(args, commands);
  switch (line.action) {
    case veskara::ParsedCommandLine::Action::kHelp:
      std::fputs((veskara::UsageText(commands) + veskara::HelpText(commands)).c_str(), stdout);
      std::fputs(BaseFolderLine(line).c_str(), stdout);
      return Finish(ExitStatus::kDone);
    case veskara::ParsedCommandLine::Action::kVersion:
      std::puts("veskara-cli " VESKARA_VERSION);
      return Finish(ExitStatus::kDone);
    case veskara::ParsedCommandLine::Action::kUsageError:
      std::fprintf(stderr, "veskara-cli: %s\n%s", line.problem.c_str(), veskara::UsageText(commands).c_str());
      return Exit(ExitStatus::kFailure);
    case veskara::ParsedCommandLine::Action::kRun:
      break;
  }
  veskara::Invocation& invocation = line.invocation;
  invocation.env = &veskara::Env::Default();
  try {
    const veskara::BaseLocation where = Locate(line);
    if (const std::string problem = veskara::BaseFolderProblem(where, *invocation.env); !problem.empty()) {
      std::fprintf(stderr, "veskara-cli: %s\n", veskara::ErrorReportText(problem).c_str());
      return Exit(ExitStatus::kFailure);
    }
    invocation.base_directory = where.directory;
  } catch (const veskara::NoBaseFolderError& none) {
    std::fprintf(stderr, "veskara-cli: %s\n", veskara::ErrorReportText(none.what()).c_str());
    return Exit(ExitStatus::kFailure);
  }
  if (!Recover(line.command->recovery, invocation.base_directory)) return Exit(ExitStatus::kFailure);
  return Finish(line.command->run(invocation));
}
