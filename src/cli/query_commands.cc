#include "cli/query_commands.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string_view>

#include "base/messages.h"
#include "platform/cp1251.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/str_to_int.h"
#include "platform/strings.h"
#include "search/base_statistics.h"
#include "search/file_lookup.h"
#include "search/remembered_lists.h"
#include "search/search.h"

namespace veskara {
namespace {

void Out(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

void Err(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
}

// A failure of the core (a read error, say) as the window's error report
// would word it.
ExitStatus ReportFailure(const std::exception& failure, std::string_view doing) {
  Err("veskara-cli: " + ErrorReportText(FailureText(failure, doing)));
  return ExitStatus::kFailure;
}

// The operands joined with single blanks, as the search takes a query.
std::string QueryOf(const Invocation& invocation) {
  std::string query;
  for (const std::string& w : invocation.operands) {
    if (!query.empty()) query.push_back(' ');
    query += w;
  }
  return EncodeQuery(query);
}

SearchOptions SearchOptionsOf(const Invocation& invocation) {
  return SearchOptions{.fold_yo = invocation.options.contains("--fold-yo")};
}

// A search that did not get to its results: why, and the exit status.
// Nothing when it got there.
std::optional<ExitStatus> ReportUnfinished(const SearchOutcome& outcome) {
  switch (outcome.status) {
    case SearchOutcome::Status::kNothingToDo:
      Err("no word to search for");
      return ExitStatus::kFailure;
    case SearchOutcome::Status::kFailed:
      for (const UserMessage& m : outcome.messages) Err(m.text);
      return ExitStatus::kFailure;
    case SearchOutcome::Status::kDone:
      break;
  }
  return std::nullopt;
}

// Paths go out as their bytes for scripts; a terminal gets control bytes
// escaped, so that a hostile fls.txt cannot drive it.
void PrintPaths(const std::vector<std::string>& rows) {
  const bool terminal = StdoutIsTerminal();
  for (const std::string& row : rows) {
    Out(terminal ? EscapeControlBytes(row) : row);
    Out("\n");
  }
}

// A folder without the base's files holds no base to list: says so as stats
// does, and returns true.
bool ReportMissingBase(const std::string& base_directory, Env& env) {
  for (std::string_view name : {kFilesFileName, kWordsFileName}) {
    BaseFileFault fault;
    if (OpenBaseFile(base_directory, name, env, &fault) == nullptr) {
      Err(BaseFileFaultText(base_directory, fault));
      return true;
    }
  }
  return false;
}

}  // namespace

ExitStatus RunSearchCommand(const Invocation& invocation) {
  SearchOutcome outcome;
  try {
    outcome = RunSearch(invocation.base_directory, QueryOf(invocation), SearchOptionsOf(invocation), *invocation.env);
  } catch (const std::exception& failure) {
    return ReportFailure(failure, "search the base");
  }
  if (const std::optional<ExitStatus> status = ReportUnfinished(outcome)) return *status;
  for (const UserMessage& m : outcome.messages) Err(m.text);
  std::string line;
  for (const SearchEntry& entry : outcome.entries) {
    line = DecodeCp1251(entry.text);
    line.push_back('\t');
    line += entry.numbers;
    line.push_back('\n');
    Out(line);
  }
  if (outcome.entries.empty()) {
    Err(outcome.status_text);
    return ExitStatus::kNothingFound;
  }
  return ExitStatus::kDone;
}

ExitStatus RunFindCommand(const Invocation& invocation) {
  FoundFiles found;
  try {
    found = FindFiles(invocation.base_directory, QueryOf(invocation), SearchOptionsOf(invocation), *invocation.env);
  } catch (const std::exception& failure) {
    return ReportFailure(failure, "find the files");
  }
  if (const std::optional<ExitStatus> status = ReportUnfinished(found.search)) return *status;
  PrintPaths(found.rows);
  // The limit message speaks of the paths above it.
  std::fflush(stdout);
  for (const UserMessage& m : found.search.messages) Err(m.text);
  if (found.search.entries.empty()) {
    Err(found.search.status_text);
    return ExitStatus::kNothingFound;
  }
  if (found.rows.empty()) {
    Err("No file of the base has the numbers of the found words");
    return ExitStatus::kNothingFound;
  }
  return ExitStatus::kDone;
}

ExitStatus RunFilesCommand(const Invocation& invocation) {
  // Regression guard: "abc" or a number beyond 32 bits printed nothing and
  // exited 0, as if the files had been listed.
  const std::string& numbers = invocation.operands.at(0);
  for (std::string_view piece : SplitNumberList(numbers)) {
    if (!TryStrToInt(piece)) {
      Err("veskara-cli: '" + EscapeControlBytes(piece) + "' in NUMBERLIST is not a valid integer value");
      return ExitStatus::kFailure;
    }
  }
  std::vector<std::string> rows;
  try {
    rows = ListFilesOfEntry(invocation.base_directory, numbers, *invocation.env);
  } catch (const std::exception& failure) {
    return ReportFailure(failure, "look the files up");
  }
  PrintPaths(rows);
  if (rows.empty()) {
    Err("No file of the base has these numbers");
    return ExitStatus::kNothingFound;
  }
  return ExitStatus::kDone;
}

ExitStatus RunStatsCommand(const Invocation& invocation) {
  const std::string& base = invocation.base_directory;
  BaseStatistics stats;
  try {
    stats = CountBase(base, *invocation.env);
  } catch (const std::exception& failure) {
    return ReportFailure(failure, "count the base");
  }
  // The About page leaves a label empty for a base it cannot count; a script
  // must not take that for a count. Worded as the search words it for wrds.txt.
  if (stats.fault) {
    Err(BaseFileFaultText(base, *stats.fault));
    return ExitStatus::kFailure;
  }
  Out(FilesCountText(*stats.files) + "\n" + WordsCountText(*stats.words) + "\n");
  Out("base folder: " + base + "\n");
  return ExitStatus::kDone;
}

ExitStatus RunFoldersCommand(const Invocation& invocation) {
  std::vector<FolderRow> rows;
  try {
    // Nothing listed must not read as a base that remembers nothing.
    if (ReportMissingBase(invocation.base_directory, *invocation.env)) return ExitStatus::kFailure;
    rows = ListFolders(invocation.base_directory, *invocation.env);
  } catch (const std::exception& failure) {
    return ReportFailure(failure, "list the folders");
  }
  const bool terminal = StdoutIsTerminal();
  for (const FolderRow& row : rows) {
    Out((terminal ? EscapeControlBytes(row.path) : row.path) + "\t" + std::to_string(row.files) + "\t" +
        LocalTimeText(row.scanned_ns) + "\n");
  }
  return ExitStatus::kDone;
}

ExitStatus RunUnreadCommand(const Invocation& invocation) {
  std::vector<UnreadRow> rows;
  try {
    if (ReportMissingBase(invocation.base_directory, *invocation.env)) return ExitStatus::kFailure;
    rows = ListUnread(invocation.base_directory, *invocation.env);
  } catch (const std::exception& failure) {
    return ReportFailure(failure, "list the documents that could not be read");
  }
  const bool terminal = StdoutIsTerminal();
  // The reasons come from stamps.txt, whose bytes anyone who could write
  // the base chose.
  for (const UnreadRow& row : rows) {
    Out(terminal ? EscapeControlBytes(row.path) + "\t" + EscapeControlBytes(row.reason) + "\n"
                 : row.path + "\t" + row.reason + "\n");
  }
  return ExitStatus::kDone;
}

}  // namespace veskara
