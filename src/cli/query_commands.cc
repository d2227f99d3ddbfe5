#include "cli/query_commands.h"

#include <cstdio>
#include <exception>
#include <string_view>

#include "platform/cp1251.h"
#include "platform/errors.h"
#include "base/base_files.h"
#include "platform/text_file.h"
#include "search/base_statistics.h"
#include "search/file_lookup.h"
#include "search/messages.h"
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
ExitStatus ReportFailure(const std::exception& failure) {
  Err("veskara-cli: " + ErrorReportText(failure.what()));
  return ExitStatus::kFailure;
}

// Why a base file gave no count, worded as the search words it for wrds.txt.
ExitStatus ReportUncountable(const std::string& base, std::string_view name) {
  Err(FileExists(BaseFilePath(base, name)) ? CannotOpenBaseFileText(name) : MissingBaseFileText(base, name));
  return ExitStatus::kFailure;
}

}  // namespace

ExitStatus RunSearchCommand(const Invocation& invocation) {
  std::string query;
  for (const std::string& w : invocation.operands) {
    if (!query.empty()) query.push_back(' ');
    query += w;
  }
  SearchOutcome outcome;
  try {
    outcome = RunSearch(invocation.base_directory, EncodeCp1251(query, '?'));
  } catch (const std::exception& failure) {
    return ReportFailure(failure);
  }
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

ExitStatus RunFilesCommand(const Invocation& invocation) {
  std::vector<std::string> rows;
  try {
    rows = ListFilesOfEntry(invocation.base_directory, invocation.operands.at(0));
  } catch (const std::exception& failure) {
    return ReportFailure(failure);
  }
  for (const std::string& row : rows) {
    Out(row);
    Out("\n");
  }
  return ExitStatus::kDone;
}

ExitStatus RunStatsCommand(const Invocation& invocation) {
  const std::string& base = invocation.base_directory;
  BaseStatistics stats;
  try {
    stats = CountBase(base);
  } catch (const std::exception& failure) {
    return ReportFailure(failure);
  }
  // The About page leaves a label empty for a base it cannot count; a script
  // must not take that for a count.
  if (!stats.files_label) return ReportUncountable(base, kFilesFileName);
  if (!stats.words_label) return ReportUncountable(base, kWordsFileName);
  Out(*stats.files_label + "\n" + *stats.words_label + "\n");
  return ExitStatus::kDone;
}

}  // namespace veskara
