#include "cli/query_commands.h"

#include <cstdio>
#include <exception>
#include <string_view>

#include "platform/cp1251.h"
#include "platform/errors.h"
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
  BaseStatistics stats;
  try {
    stats = CountBase(invocation.base_directory);
  } catch (const std::exception& failure) {
    return ReportFailure(failure);
  }
  Out(stats.files_label.value_or(""));
  Out("\n");
  Out(stats.words_label.value_or(""));
  Out("\n");
  return ExitStatus::kDone;
}

}  // namespace veskara
