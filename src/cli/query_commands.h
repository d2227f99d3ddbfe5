// The reading commands of veskara-cli: search, files and stats. Each writes
// its result to stdout and its messages to stderr, and returns the process
// exit code.
#pragma once

#include <string>
#include <vector>

namespace veskara {

// Exit codes shared by the commands.
inline constexpr int kExitFound = 0;
inline constexpr int kExitNothingFound = 1;
inline constexpr int kExitFailure = 2;

// The words joined with single blanks are the query (UTF-8). One line per
// entry: its text in UTF-8, a TAB, its number list. 0 when something was
// found, 1 when nothing was, 2 for a query without words or a failure.
int RunSearchCommand(const std::string& base_directory, const std::vector<std::string>& words);

// The paths of the files of a number list, one per line, as raw bytes.
int RunFilesCommand(const std::string& base_directory, const std::string& numbers);

// The two count labels of the About page, one line each (empty when the
// label would stay empty).
int RunStatsCommand(const std::string& base_directory);

}  // namespace veskara
