#include "search/file_lookup.h"

#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "base/base_files.h"
#include "platform/line_scanner.h"
#include "platform/strings.h"

namespace veskara {
namespace {

// The row text of a path line.
std::string RowOfPathLine(Env& env, std::string_view line) {
  std::string_view whole = Trim(line);
  size_t bar = line.find('|');
  if (bar == std::string_view::npos) return std::string(whole);
  // A file name on this platform may hold a "|"; cutting it would show a
  // path that cannot be opened.
  if (!whole.empty() && env.Stat(std::string(whole)).kind != PathKind::kMissing) return std::string(whole);
  return std::string(Trim(line.substr(bar + 1)));
}

}  // namespace

std::vector<std::string_view> SplitNumberList(std::string_view numbers) {
  return SplitAtCommas(numbers, /*drop_trailing_empty=*/true);
}

std::vector<std::string> ListFilesOfEntry(const std::string& base_directory, std::string_view numbers, Env& env) {
  std::vector<std::string_view> wanted = SplitNumberList(numbers);
  // Number text -> row, filled by the first record with that number.
  std::unordered_map<std::string_view, std::string> found;
  std::unordered_map<std::string_view, bool> pending;
  for (std::string_view n : wanted) pending.emplace(n, true);
  size_t left = pending.size();

  LineScanner scanner(env, FilesFilePath(base_directory));
  std::string scratch;
  std::string path_scratch;
  std::string_view path_line;
  std::string_view raw;
  bool odd = true;
  // Once every number has its record, later records cannot change a row.
  while (left > 0 && scanner.Next(&raw)) {
    if (odd) {
      path_line = raw;  // stays valid while the number line is read
    } else {
      auto it = pending.find(LineText(raw, scratch));
      if (it != pending.end() && it->second) {
        it->second = false;
        --left;
        found.emplace(it->first, RowOfPathLine(env, LineText(path_line, path_scratch)));
      }
    }
    odd = !odd;
  }
  scanner.Close();

  std::vector<std::string> rows;
  rows.reserve(wanted.size());
  for (std::string_view n : wanted) {
    auto it = found.find(n);
    if (it != found.end()) rows.push_back(it->second);
  }
  return rows;
}

std::vector<std::string> ListFilesOfEntries(const std::string& base_directory,
                                            std::span<const std::string> number_lists, Env& env) {
  // Number text -> not yet met in fls.txt. Only a number's first record
  // gives a row, as in the lookup of one entry.
  std::unordered_map<std::string_view, bool> pending;
  for (const std::string& list : number_lists) {
    for (std::string_view n : SplitNumberList(list)) pending.emplace(n, true);
  }
  size_t left = pending.size();
  std::vector<std::string> rows;
  std::unordered_set<std::string> shown;

  LineScanner scanner(env, FilesFilePath(base_directory));
  std::string scratch;
  std::string path_scratch;
  std::string_view path_line;
  std::string_view raw;
  bool odd = true;
  while (left > 0 && scanner.Next(&raw)) {
    if (odd) {
      path_line = raw;  // stays valid while the number line is read
    } else {
      auto it = pending.find(LineText(raw, scratch));
      if (it != pending.end() && it->second) {
        it->second = false;
        --left;
        // Two records may name one file; it is listed once.
        std::string row = RowOfPathLine(env, LineText(path_line, path_scratch));
        if (shown.insert(row).second) rows.push_back(std::move(row));
      }
    }
    odd = !odd;
  }
  scanner.Close();
  return rows;
}

FoundFiles FindFiles(const std::string& base_directory, std::string_view query, const SearchOptions& options,
                     Env& env) {
  FoundFiles found;
  found.search = RunSearch(base_directory, query, options, env);
  if (found.search.status != SearchOutcome::Status::kDone || found.search.entries.empty()) return found;
  std::vector<std::string> lists;
  lists.reserve(found.search.entries.size());
  for (const SearchEntry& entry : found.search.entries) lists.push_back(entry.numbers);
  found.rows = ListFilesOfEntries(base_directory, lists, env);
  return found;
}

}  // namespace veskara
