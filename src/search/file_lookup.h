// From a found entry's number list to the paths of its files in fls.txt.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "search/search.h"

namespace veskara {

// The number texts of a list as the found-files list looks them up: only the
// comma separates; empty pieces stay (they find nothing); a trailing comma
// gives nothing after it; an empty list gives one empty number.
std::vector<std::string_view> SplitNumberList(std::string_view numbers);

// The rows of the found-files list for `numbers`: for each number, in order,
// the path of the first record of fls.txt whose number line equals it as
// text; numbers without a record give no row. A path line is shown trimmed,
// after its first "|" when it has one, unless the whole trimmed line names an
// existing file or folder. Reads fls.txt once. Throws IoError when fls.txt is
// missing or cannot be read.
std::vector<std::string> ListFilesOfEntry(const std::string& base_directory, std::string_view numbers, Env& env);
// The same in the fls.txt of `base`: the base whose wrds.txt gave `numbers`.
std::vector<std::string> ListFilesOfEntry(const BaseSnapshot& base, std::string_view numbers);

// The rows of the files of several entries at once: every row that
// ListFilesOfEntry gives for one of `number_lists`, each row text once, in the
// order of the records of fls.txt. Reads fls.txt once, whatever the number of
// lists. Throws IoError when fls.txt is missing or cannot be read.
std::vector<std::string> ListFilesOfEntries(const std::string& base_directory,
                                            std::span<const std::string_view> number_lists, Env& env);

// The same, without the records whose number stands in one of
// `left_out_lists` (number lists cut as SplitNumberList cuts them): the
// files that hold a word left out of the query.
std::vector<std::string> ListFilesOfEntries(const std::string& base_directory,
                                            std::span<const std::string_view> number_lists,
                                            std::span<const std::string_view> left_out_lists, Env& env);
// Both in the fls.txt of `base`: the base whose wrds.txt gave the lists.
std::vector<std::string> ListFilesOfEntries(const BaseSnapshot& base, std::span<const std::string_view> number_lists,
                                            std::span<const std::string_view> left_out_lists = {});

// A search and the files of all its entries.
struct FoundFiles {
  SearchOutcome search;
  // ListFilesOfEntries of the entries; empty unless search.status is kDone.
  std::vector<std::string> rows;
  // The query left words out but searched for none: nothing was read, and
  // search.status is kNothingToDo.
  bool only_left_out = false;
};

// RunSearch, then ListFilesOfEntries of its entries (also when the search
// went over its limit: the entries it kept), both on one BaseSnapshot, so
// that a commit meanwhile cannot mix two bases. fls.txt is not read when
// the search failed or found nothing.
FoundFiles FindFiles(const std::string& base_directory, std::string_view query, const SearchOptions& options, Env& env);

// The same for a query that may leave words out (SplitLeftOutWords): the
// files of the searched part without those that hold a word beginning with
// a left-out word. Still one read of wrds.txt and at most one of fls.txt.
FoundFiles FindFiles(const std::string& base_directory, const SplitQuery& query, const SearchOptions& options,
                     Env& env);

// The sentinel of a found-files list without a selected row.
inline constexpr const char* kNothingSelected = "**nothing**";

}  // namespace veskara
