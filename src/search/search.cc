#include "search/search.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>

#include "extract/word_chars.h"
#include "platform/cp1251.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/text_file.h"
#include "search/word_matches.h"

namespace veskara {
namespace {

constexpr size_t kEntryLimit = 500;
constexpr std::string_view kJoiner = " ... ";
constexpr const char* kTooManyWords = "Too many words found! Please define more exact search criteria!";
constexpr const char* kNothingFound = "Nothing was found...";

bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= 32; }

// The numbers of a list as the intersection sees them: runs of word bytes;
// everything else separates and empty pieces are dropped.
void SplitNumbers(std::string_view list, std::vector<std::string_view>& out) {
  out.clear();
  size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && !IsWordChar(list[i])) ++i;
    size_t start = i;
    while (i < list.size() && IsWordChar(list[i])) ++i;
    if (i > start) out.push_back(list.substr(start, i - start));
  }
}

struct ViewHash {
  size_t operator()(std::string_view s) const noexcept {
    // FNV-1a: the keys are short decimal texts.
    uint64_t h = 1469598103934665603ull;
    for (char c : s) {
      h ^= static_cast<unsigned char>(c);
      h *= 1099511628211ull;
    }
    return static_cast<size_t>(h);
  }
};

using CountMap = std::unordered_map<std::string_view, uint32_t, ViewHash>;

// Appends the numbers of `candidates` that stand in `word_counts`, each as
// often as the word list holds it, comma-separated.
void AppendCommon(const std::vector<std::string_view>& candidates, const CountMap& word_counts, std::string& out) {
  for (std::string_view a : candidates) {
    auto it = word_counts.find(a);
    if (it == word_counts.end()) continue;
    for (uint32_t n = 0; n < it->second; ++n) {
      if (!out.empty()) out.push_back(',');
      out.append(a);
    }
  }
}

SearchOutcome Failure(std::string text) {
  SearchOutcome outcome;
  outcome.status = SearchOutcome::Status::kFailed;
  outcome.messages.push_back({MessageKind::kPlainDialog, kApplicationTitle, std::move(text)});
  return outcome;
}

// One later pass: every record of the pass's word, in file order, combined
// with every current entry, in entry order, that shares a number with it.
// Ends once it holds more than kEntryLimit entries; returns true then.
bool NarrowEntries(std::vector<SearchEntry>& entries, const WordMatches& matches, const std::vector<uint32_t>& records) {
  std::vector<SearchEntry> narrowed;
  if (entries.empty() || records.empty()) {
    entries.clear();
    return false;
  }
  // Which entries hold a number: the intersection then only visits entries
  // that share at least one number with the record.
  std::vector<std::vector<std::string_view>> entry_numbers(entries.size());
  std::unordered_map<std::string_view, std::vector<uint32_t>, ViewHash> holders;
  for (uint32_t e = 0; e < entries.size(); ++e) {
    SplitNumbers(entries[e].numbers, entry_numbers[e]);
    for (std::string_view a : entry_numbers[e]) {
      std::vector<uint32_t>& list = holders[a];
      if (list.empty() || list.back() != e) list.push_back(e);
    }
  }

  std::vector<std::string_view> word_numbers;
  CountMap word_counts;
  std::vector<uint32_t> hits;
  std::vector<uint32_t> seen(entries.size(), UINT32_MAX);
  bool over_limit = false;
  for (uint32_t r = 0; r < records.size() && !over_limit; ++r) {
    const WordRecord& record = matches.record(records[r]);
    SplitNumbers(record.numbers, word_numbers);
    word_counts.clear();
    hits.clear();
    for (std::string_view b : word_numbers) {
      if (word_counts[b]++ > 0) continue;
      auto it = holders.find(b);
      if (it == holders.end()) continue;
      for (uint32_t e : it->second) {
        if (seen[e] == r) continue;
        seen[e] = r;
        hits.push_back(e);
      }
    }
    std::sort(hits.begin(), hits.end());
    for (uint32_t e : hits) {
      SearchEntry entry;
      AppendCommon(entry_numbers[e], word_counts, entry.numbers);
      entry.text.reserve(entries[e].text.size() + kJoiner.size() + record.word.size());
      entry.text.append(entries[e].text).append(kJoiner).append(record.word);
      narrowed.push_back(std::move(entry));
      if (narrowed.size() > kEntryLimit) {
        over_limit = true;
        break;
      }
    }
  }
  entries = std::move(narrowed);
  return over_limit;
}

}  // namespace

std::vector<std::string> ParseQuery(std::string_view query) {
  size_t begin = 0;
  size_t end = query.size();
  while (begin < end && IsTrimmed(query[begin])) ++begin;
  while (end > begin && IsTrimmed(query[end - 1])) --end;
  std::vector<std::string> words;
  std::string current;
  for (size_t i = begin; i < end; ++i) {
    char c = UpperCase1251(query[i]);
    if (IsWordChar(c)) {
      current.push_back(c);
    } else if (!current.empty()) {
      words.push_back(std::move(current));
      current.clear();
    }
  }
  if (!current.empty()) words.push_back(std::move(current));
  return words;
}

std::string IntersectNumberLists(std::string_view candidates, std::string_view words) {
  std::vector<std::string_view> candidate_numbers;
  std::vector<std::string_view> word_numbers;
  SplitNumbers(candidates, candidate_numbers);
  SplitNumbers(words, word_numbers);
  CountMap counts;
  for (std::string_view b : word_numbers) ++counts[b];
  std::string result;
  AppendCommon(candidate_numbers, counts, result);
  return result;
}

SearchOutcome RunSearch(const std::string& base_directory, std::string_view query) {
  std::vector<std::string> words = ParseQuery(query);
  if (words.empty()) return {};

  // A word typed twice narrows twice but is matched once.
  std::vector<std::string> distinct;
  std::vector<uint32_t> word_of_pass;
  for (const std::string& w : words) {
    auto it = std::find(distinct.begin(), distinct.end(), w);
    word_of_pass.push_back(static_cast<uint32_t>(it - distinct.begin()));
    if (it == distinct.end()) distinct.push_back(w);
  }

  std::string path = WordsFilePath(base_directory);
  if (!FileExists(path)) {
    return Failure("Database file " + base_directory + kPathSeparator + "wrds.txt is not found" +
                   ". You should add to base one or more directory first.");
  }
  FileHandle file;
  try {
    file = OpenForReading(path);
  } catch (const IoError&) {
    return Failure("Can't open file wrds.txt");
  }
  WordMatches matches = CollectWordMatches(std::move(file), distinct);

  SearchOutcome outcome;
  outcome.status = SearchOutcome::Status::kDone;
  std::vector<SearchEntry>& entries = outcome.entries;
  for (uint32_t index : matches.records_of(word_of_pass[0])) {
    const WordRecord& record = matches.record(index);
    entries.push_back({std::string(record.word), std::string(record.numbers)});
  }
  bool over_limit = false;
  for (size_t pass = 1; pass < word_of_pass.size(); ++pass) {
    // Passes after the one that went over the limit narrow the capped
    // entries; the message is shown once.
    if (NarrowEntries(entries, matches, matches.records_of(word_of_pass[pass])) && !over_limit) {
      over_limit = true;
      outcome.messages.push_back({MessageKind::kInformationBox, "Information", kTooManyWords});
    }
  }
  if (entries.empty()) outcome.status_text = kNothingFound;
  return outcome;
}

}  // namespace veskara
