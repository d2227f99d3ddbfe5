// Searching the base: prefix matching of the first query word, narrowing by
// each further word to combinations of words that share a file.
//
// All texts here are Windows-1251 bytes (entry texts, query); callers decode
// for display. The outcome is a plain value that the window and the command
// line show in their own way.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "base/base_snapshot.h"
#include "base/messages.h"
#include "platform/env.h"

namespace veskara {

// One row of the found-words list and its number list.
struct SearchEntry {
  std::string text;     // "WORD" or "WORD1 ... WORD2 ..." (Windows-1251)
  std::string numbers;  // the NumberList of the files holding all its words
};

struct SearchOutcome {
  enum class Status {
    kNothingToDo,  // the query holds no word: nothing is shown or changed
    kFailed,       // missing or unreadable base: show `messages`, keep old results
    kDone,         // show `messages`, then replace the results by `entries`
    kCancelled,    // stopped by its cancel flag: nothing is shown or changed
  };
  Status status = Status::kNothingToDo;
  std::vector<SearchEntry> entries;
  // Messages to show in order: the failure's plain dialog, or at most one
  // "Too many words found! ..." information box.
  std::vector<UserMessage> messages;
  // The status panel text after a finished search: "" when something was
  // found, "Nothing was found..." otherwise.
  std::string status_text;
};

// How a search compares words, beyond the written rules.
struct SearchOptions {
  // Е and Ё of the query each match both letters in words, so that ОТЧЕТ
  // finds ОТЧЁТ and ЕЖ finds ЁЖИК. Off: words are compared byte for byte,
  // as written. The words of the base are never changed.
  bool fold_yo = false;
};

// Ё (A8) as Е (C5) when the letters are folded; every other byte as it is.
inline char FoldYo(char c) { return c == '\xA8' ? '\xC5' : c; }

// True when `word` begins with `prefix`, both upper-cased Windows-1251,
// with Ё and Е as one letter when `fold_yo`.
bool WordBeginsWith(std::string_view word, std::string_view prefix, bool fold_yo);

// The query a person typed, in UTF-8, as the search takes it: in
// Windows-1251, a character without a form (and each byte of a malformed
// sequence) becoming a blank, which separates words as in document text.
std::string EncodeQuery(std::string_view typed);

// The query words: trimmed, upper-cased (Windows-1251), split at every byte
// outside WordChars, empty pieces dropped.
std::vector<std::string> ParseQuery(std::string_view query);

// Runs a whole search of `query` (Windows-1251) on the base in
// `base_directory`. Reads wrds.txt at most once. Throws IoError when reading
// fails after the file was opened.
//
// Each pass after the first ends once it holds more than 500 entries (the
// 501st stays). Later passes narrow those capped entries as usual; the
// "Too many words found! ..." box is asked for once per search at most.
SearchOutcome RunSearch(const std::string& base_directory, std::string_view query, Env& env);
SearchOutcome RunSearch(const std::string& base_directory, std::string_view query, const SearchOptions& options,
                        Env& env);
// The same on the wrds.txt of `base`, so that the lookups of its numbers
// can read the fls.txt of the same base.
SearchOutcome RunSearch(const BaseSnapshot& base, std::string_view query, const SearchOptions& options);

// A search over wrds.txt held in memory (search/loaded_words.h), with the
// results RunSearch gives on the file it was loaded from. Reads nothing.
// Checks `cancel` as it goes: once it is set, the outcome is kCancelled.
class LoadedWords;
SearchOutcome RunSearch(const LoadedWords& words, std::string_view query, const SearchOptions& options,
                        const std::atomic<bool>* cancel = nullptr);

// A query that leaves words out, for the lists of files, as a person typed
// it (UTF-8): each blank-separated piece that begins with "-" ("-WORD")
// names words to leave out, the words ParseQuery finds in the rest of the
// piece; the other pieces, joined by single blanks, are what is searched for
// ("apple -banana pie" searches "apple pie"). A "-" inside a piece
// separates words as always. Both parts are encoded as EncodeQuery does.
struct SplitQuery {
  std::string searched;               // Windows-1251, as RunSearch takes a query
  std::vector<std::string> left_out;  // upper-cased Windows-1251 words
};
SplitQuery SplitLeftOutWords(std::string_view typed);

// RunSearch of `query`, and from the same read of wrds.txt the number list
// of every record whose word begins with one of `left_out` (with Ё as Е
// when folded), in file order: the files to leave out of the results.
struct SearchLeavingOut {
  SearchOutcome search;
  std::vector<std::string> left_out_lists;  // only when search.status is kDone
};
SearchLeavingOut RunSearchLeavingOut(const std::string& base_directory, std::string_view query,
                                     const std::vector<std::string>& left_out, const SearchOptions& options, Env& env);
// The same on the wrds.txt of `base`.
SearchLeavingOut RunSearchLeavingOut(const BaseSnapshot& base, std::string_view query,
                                     const std::vector<std::string>& left_out, const SearchOptions& options);

// The numbers of `candidates` that also stand in `words`, in the order of
// `candidates`, compared as texts, joined by commas; "" when none.
std::string IntersectNumberLists(std::string_view candidates, std::string_view words);

}  // namespace veskara
