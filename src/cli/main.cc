// veskara-cli: the base's search, file lookup, counts and scan for terminals
// and scripts.
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "cli/add_command.h"
#include "cli/check_command.h"
#include "cli/query_commands.h"
#include "indexer/scan.h"
#include "platform/paths.h"
#include "search/messages.h"

namespace {

constexpr const char* kUsage =
    "usage: veskara-cli [--base DIR] add DIRECTORY\n"
    "       veskara-cli [--base DIR] search QUERY...\n"
    "       veskara-cli [--base DIR] files NUMBERLIST\n"
    "       veskara-cli [--base DIR] stats\n"
    "       veskara-cli [--base DIR] check\n"
    "       veskara-cli --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "  add DIRECTORY      index the pages and PDF documents under DIRECTORY\n"
    "  search QUERY...    list the words of the base that begin with the first\n"
    "                     query word, combined with each further word (one line\n"
    "                     per entry: the words, a TAB, the file numbers)\n"
    "  files NUMBERLIST   list the paths of the files with these numbers\n"
    "  stats              print the number of files and words in the base\n"
    "  check              test that the base is consistent (1: the first problem\n"
    "                     found is printed; 2: the base is missing or unreadable)\n"
    "  --base DIR         the folder of wrds.txt and fls.txt (default: the\n"
    "                     folder of this program)\n"
    "\n"
    "Exit status: 0 done, 1 nothing was found, 2 a failure or a usage error.\n";

int UsageError(const std::string& problem) {
  std::fprintf(stderr, "veskara-cli: %s\n%s", problem.c_str(), kUsage);
  return veskara::kExitFailure;
}

// A folder without its trailing separators, as the base directory is held.
std::string WithoutTrailingSeparators(std::string dir) {
  while (!dir.empty() && dir.back() == veskara::kPathSeparator) dir.pop_back();
  return dir;
}

}  // namespace

int main(int argc, char** argv) {
  // Results often go to a pipe: write them in large blocks.
  static char out_buffer[1 << 16];
  std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);

  std::vector<std::string> args(argv + 1, argv + argc);
  std::string base_directory;
  bool base_given = false;
  size_t i = 0;
  // Options come before the command; everything after it is its operands,
  // so a query may begin with "-".
  for (; i < args.size() && args[i].starts_with("-"); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::printf("%s%s", kUsage, kHelp);
      return 0;
    }
    if (arg == "--version") {
      std::puts("veskara-cli 1.0");
      return 0;
    }
    if (arg == "--base") {
      if (i + 1 >= args.size()) return UsageError("--base needs a directory");
      base_directory = args[++i];
      base_given = true;
    } else if (arg.starts_with("--base=")) {
      base_directory = arg.substr(7);
      base_given = true;
    } else if (arg == "--") {
      ++i;
      break;
    } else {
      return UsageError("unknown option " + arg);
    }
  }
  if (i >= args.size()) return UsageError("no command given");
  const std::string command = args[i++];
  std::vector<std::string> operands(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());

  // An empty name would mean the root folder once the separator is joined:
  // a script's unset variable must not put a base there.
  if (base_given && base_directory.empty()) return UsageError("--base needs a directory");
  base_directory = base_given ? WithoutTrailingSeparators(base_directory) : veskara::DefaultBaseDirectory();

  if (command == "add") {
    if (operands.size() != 1) return UsageError("add takes one DIRECTORY");
    return veskara::RunAddCommand(base_directory, operands[0]);
  }
  if (command != "search" && command != "files" && command != "stats" && command != "check") {
    return UsageError("unknown command " + command);
  }
  if (command == "search" && operands.empty()) return UsageError("search needs a QUERY");
  if (command == "files" && operands.size() != 1) return UsageError("files takes one NUMBERLIST");
  if (command == "stats" && !operands.empty()) return UsageError("stats takes no operand");
  if (command == "check" && !operands.empty()) return UsageError("check takes no operand");

  // A scan that a crash interrupted is finished or rolled back first, so the
  // commands read a whole base.
  try {
    veskara::RecoverBase(base_directory);
  } catch (const std::exception& failure) {
    const std::string problem = veskara::ErrorReportText(failure.what());
    if (command == "check") {
      std::fprintf(stderr, "veskara-cli: %s\n", problem.c_str());
      return veskara::kExitFailure;
    }
    // A base that this user may read but not write (beside an installed
    // program, say) cannot be recovered by them. The live files still serve
    // reading: the commit renames fls.txt before wrds.txt.
    std::fprintf(stderr, "veskara-cli: an interrupted scan was not cleared up (%s); reading the base as it is\n",
                 problem.c_str());
  }
  if (command == "search") return veskara::RunSearchCommand(base_directory, operands);
  if (command == "files") return veskara::RunFilesCommand(base_directory, operands[0]);
  if (command == "check") return veskara::RunCheckCommand(base_directory);
  return veskara::RunStatsCommand(base_directory);
}
