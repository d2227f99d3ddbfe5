#include "cli/query_commands.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string_view>

#include "base/messages.h"
#include "base/remembered.h"
#include "platform/cp1251.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/str_to_int.h"
#include "platform/strings.h"
#include "results/result_files.h"
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

// The operands joined with single blanks: the query as typed (UTF-8).
std::string TypedQuery(const Invocation& invocation) {
  std::string query;
  for (const std::string& w : invocation.operands) {
    if (!query.empty()) query.push_back(' ');
    query += w;
  }
  return query;
}

// The query as the search takes it.
std::string QueryOf(const Invocation& invocation) { return EncodeQuery(TypedQuery(invocation)); }

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
    case SearchOutcome::Status::kCancelled:  // a command never cancels
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

// What find's options ask for beyond the search.
struct FindRequest {
  FileFilter filter;
  FileSortKey sort = FileSortKey::kBase;
  bool reverse = false;
  bool long_columns = false;
  bool line = false;
  char end = '\n';  // what ends each row
};

// find's options, judged; none, with the problem, for a value it cannot take.
std::optional<FindRequest> ReadFindRequest(const Invocation& invocation, std::string& problem) {
  FindRequest request;
  const OptionValues& options = invocation.options;
  if (const auto sort = options.find("--sort"); sort != options.end()) {
    const std::optional<FileSortKey> key = CommandLineSortKey(sort->second);
    if (!key) {
      problem = "--sort takes path, name, modified or size, not '" + EscapeControlBytes(sort->second) + "'";
      return std::nullopt;
    }
    request.sort = *key;
  }
  request.reverse = options.contains("--reverse");
  request.long_columns = options.contains("--long");
  request.line = options.contains("--line");
  if (options.contains("-0")) request.end = '\0';
  auto values = [&](const char* name) {
    const auto it = invocation.option_lists.find(name);
    return it == invocation.option_lists.end() ? std::vector<std::string>() : it->second;
  };
  const std::string cwd = invocation.env->CurrentDirectory();
  for (const std::string& dir : values("--under")) {
    request.filter.under.push_back(AbsolutePath(ExpandHome(dir, *invocation.env), cwd));
  }
  for (const std::string& name : values("--kind")) {
    const std::optional<DocumentKind> kind = KindNamed(name);
    if (!kind) {
      problem = "--kind takes";
      const auto names = KindNames();
      for (size_t i = 0; i < names.size(); ++i) {
        problem += i == 0 ? " " : (i + 1 == names.size() ? " or " : ", ");
        problem += names[i];
      }
      problem += ", not '" + EscapeControlBytes(name) + "'";
      return std::nullopt;
    }
    request.filter.kinds.push_back(*kind);
  }
  for (const auto& [name, bound] :
       {std::pair{"--newer", &request.filter.newer_ns}, std::pair{"--older", &request.filter.older_ns}}) {
    const auto given = options.find(name);
    if (given == options.end()) continue;
    *bound = ParseIsoTime(given->second);
    if (!*bound) {
      problem = std::string(name) + " takes a date (2024-05-31) or a date and time (2024-05-31T14:30), not '" +
                EscapeControlBytes(given->second) + "'";
      return std::nullopt;
    }
  }
  return request;
}

// The rows find lists: filtered and ordered as asked, each file given one
// Stat at most, and only when a time, a size or --long asks for it.
std::vector<uint32_t> ListedRows(ResultFiles& files, const FindRequest& request, Env& env) {
  const bool needs_facts = request.filter.NeedsFacts() || request.long_columns ||
                           request.sort == FileSortKey::kModified || request.sort == FileSortKey::kSize;
  std::vector<uint32_t> rows = files.Filter(request.filter, /*facts_pending=*/true);
  if (needs_facts) {
    for (const uint32_t row : rows) files.SetFacts(row, FactsOf(files.path(row), env));
    if (request.filter.NeedsFacts()) rows = files.Filter(request.filter);
  }
  files.Sort(request.sort, request.reverse, rows);
  return rows;
}

// One row per file: the path, with --long its columns, with --line the
// first matching line; control bytes escaped on a terminal.
void PrintRows(const ResultFiles& files, const std::vector<uint32_t>& rows, const FindRequest& request,
               std::string_view searched, const SearchOptions& options, const Invocation& invocation) {
  const bool terminal = StdoutIsTerminal();
  std::string out;
  for (const uint32_t row : rows) {
    out = terminal ? EscapeControlBytes(files.path(row)) : files.path(row);
    if (request.long_columns) {
      out.push_back('\t');
      out += LongColumns(files, row);
    }
    if (request.line) {
      const FirstLine line =
          FirstMatchingLine(files.path(row), searched, options, invocation.base_directory, *invocation.env);
      out.push_back('\t');
      out += line.Shown();
    }
    out.push_back(request.end);
    Out(out);
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
  std::string problem;
  const std::optional<FindRequest> request = ReadFindRequest(invocation, problem);
  if (!request) {
    Err("veskara-cli: " + problem);
    return ExitStatus::kFailure;
  }
  const SplitQuery query = SplitLeftOutWords(TypedQuery(invocation));
  const SearchOptions options = SearchOptionsOf(invocation);
  FoundFiles found;
  KindChoice kinds;  // a file's kinds are those the base reads it as
  try {
    found = FindFiles(invocation.base_directory, query, options, *invocation.env);
    kinds = LoadKindChoice(invocation.base_directory, *invocation.env);
  } catch (const std::exception& failure) {
    return ReportFailure(failure, "find the files");
  }
  if (found.only_left_out) {
    Err("veskara-cli: the query only leaves words out (-WORD); name a word to search for");
    return ExitStatus::kFailure;
  }
  if (const std::optional<ExitStatus> status = ReportUnfinished(found.search)) return *status;
  const bool listed_any = !found.rows.empty();
  ResultFiles files(std::move(found.rows), kinds);
  std::vector<uint32_t> rows;
  try {
    rows = ListedRows(files, *request, *invocation.env);
    PrintRows(files, rows, *request, query.searched, options, invocation);
  } catch (const std::exception& failure) {
    return ReportFailure(failure, "list the files");
  }
  // The limit message speaks of the paths above it.
  std::fflush(stdout);
  for (const UserMessage& m : found.search.messages) Err(m.text);
  if (found.search.entries.empty()) {
    Err(found.search.status_text);
    return ExitStatus::kNothingFound;
  }
  // Left-out words are a filter too.
  if (!listed_any && query.left_out.empty()) {
    Err("No file of the base has the numbers of the found words");
    return ExitStatus::kNothingFound;
  }
  if (rows.empty()) {
    Err("No file is left after the filters");
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
        LocalTimeText(row.scanned_ns) + "\t" + FolderStateText(row.offline) + "\n");
    // Under their folder, with an empty first field for scripts to tell apart.
    for (const std::string& path : row.excluded)
      Out("\texcluded\t" + (terminal ? EscapeControlBytes(path) : path) + "\n");
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
