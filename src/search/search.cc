#include "search/search.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>

#include "base/base_files.h"
#include "base/word_chars.h"
#include "platform/cp1251.h"
#include "platform/strings.h"
#include "search/loaded_words.h"
#include "search/number_ids.h"
#include "search/word_matches.h"

namespace veskara {
namespace {

constexpr size_t kEntryLimit = 500;
constexpr std::string_view kJoiner = " ... ";
constexpr const char* kTooManyWords = "Too many words found! Please define more exact search criteria!";
constexpr const char* kNothingFound = "Nothing was found...";

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
// Stops early, with what it has, once `cancel` is set.
bool NarrowEntries(std::vector<SearchEntry>& entries, const WordMatches& matches, const std::vector<uint32_t>& records,
                   const std::atomic<bool>* cancel) {
  if (entries.empty() || records.empty()) {
    entries.clear();
    return false;
  }
  // The entries' numbers as ids, and for every id the entries that hold it,
  // so that a record only visits entries that share a number with it.
  NumberIds ids;
  std::vector<std::string_view> numbers;  // all entries' numbers, entry after entry
  std::vector<uint32_t> number_ids;       // their ids
  std::vector<size_t> first_number(entries.size() + 1);
  std::vector<std::string_view> split;
  for (size_t e = 0; e < entries.size(); ++e) {
    first_number[e] = numbers.size();
    SplitNumbers(entries[e].numbers, split);
    for (std::string_view a : split) {
      numbers.push_back(a);
      number_ids.push_back(ids.Intern(a));
    }
  }
  first_number[entries.size()] = numbers.size();
  std::vector<uint32_t> first_holder(static_cast<size_t>(ids.size()) + 1, 0);
  std::vector<uint32_t> last_holder(ids.size(), UINT32_MAX);
  for (size_t e = 0; e < entries.size(); ++e) {
    for (size_t i = first_number[e]; i < first_number[e + 1]; ++i) {
      uint32_t id = number_ids[i];
      if (last_holder[id] == e) continue;
      last_holder[id] = static_cast<uint32_t>(e);
      ++first_holder[id + 1];
    }
  }
  for (size_t id = 0; id < ids.size(); ++id) first_holder[id + 1] += first_holder[id];
  std::vector<uint32_t> holders(first_holder[ids.size()]);
  {
    std::vector<uint32_t> fill(first_holder.begin(), first_holder.end() - 1);
    std::fill(last_holder.begin(), last_holder.end(), UINT32_MAX);
    for (size_t e = 0; e < entries.size(); ++e) {
      for (size_t i = first_number[e]; i < first_number[e + 1]; ++i) {
        uint32_t id = number_ids[i];
        if (last_holder[id] == e) continue;
        last_holder[id] = static_cast<uint32_t>(e);
        holders[fill[id]++] = static_cast<uint32_t>(e);
      }
    }
  }

  // Per record: how often each id stands in its list (a number that the
  // word list holds twice is taken twice), marked by the record's index.
  std::vector<uint32_t> times(ids.size(), 0);
  std::vector<uint32_t> times_of(ids.size(), UINT32_MAX);
  std::vector<uint32_t> seen(entries.size(), UINT32_MAX);
  std::vector<uint32_t> hits;
  std::vector<SearchEntry> narrowed;
  for (uint32_t r = 0; r < records.size(); ++r) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) break;
    const WordRecord& record = matches.record(records[r]);
    SplitNumbers(record.numbers, split);
    hits.clear();
    for (std::string_view b : split) {
      uint32_t id = ids.Find(b);
      if (id == NumberIds::kAbsent) continue;
      if (times_of[id] != r) {
        times_of[id] = r;
        times[id] = 0;
        for (uint32_t i = first_holder[id]; i < first_holder[id + 1]; ++i) {
          uint32_t e = holders[i];
          if (seen[e] == r) continue;
          seen[e] = r;
          hits.push_back(e);
        }
      }
      ++times[id];
    }
    std::sort(hits.begin(), hits.end());
    for (uint32_t e : hits) {
      SearchEntry entry;
      for (size_t i = first_number[e]; i < first_number[e + 1]; ++i) {
        uint32_t id = number_ids[i];
        if (times_of[id] != r) continue;
        for (uint32_t n = 0; n < times[id]; ++n) {
          if (!entry.numbers.empty()) entry.numbers.push_back(',');
          entry.numbers.append(numbers[i]);
        }
      }
      entry.text.reserve(entries[e].text.size() + kJoiner.size() + record.word.size());
      entry.text.append(entries[e].text).append(kJoiner).append(record.word);
      narrowed.push_back(std::move(entry));
      if (narrowed.size() > kEntryLimit) {
        entries = std::move(narrowed);
        return true;
      }
    }
  }
  entries = std::move(narrowed);
  return false;
}

// A query's words as the passes use them: each distinct word matched once
// (folded, "ЕЖ" and "ЁЖ" are one word), and for every pass the word it
// narrows by (a word typed twice narrows twice).
struct Passes {
  std::vector<std::string> distinct;
  std::vector<uint32_t> word_of_pass;

  uint32_t IndexOf(std::string word, bool fold_yo) {
    if (fold_yo) std::transform(word.begin(), word.end(), word.begin(), FoldYo);
    auto it = std::find(distinct.begin(), distinct.end(), word);
    if (it != distinct.end()) return static_cast<uint32_t>(it - distinct.begin());
    distinct.push_back(std::move(word));
    return static_cast<uint32_t>(distinct.size() - 1);
  }
  // Words matched beside the passes' (left out of the files): their indices.
  std::vector<uint32_t> Add(const std::vector<std::string>& words, bool fold_yo) {
    std::vector<uint32_t> indices;
    for (const std::string& w : words) indices.push_back(IndexOf(w, fold_yo));
    return indices;
  }
};

Passes PlanPasses(std::vector<std::string> words, bool fold_yo) {
  Passes passes;
  for (std::string& w : words) passes.word_of_pass.push_back(passes.IndexOf(std::move(w), fold_yo));
  return passes;
}

bool Cancelled(const std::atomic<bool>* cancel) { return cancel != nullptr && cancel->load(std::memory_order_relaxed); }

SearchOutcome CancelledOutcome() {
  SearchOutcome outcome;
  outcome.status = SearchOutcome::Status::kCancelled;
  return outcome;
}

// The entries of the first pass, narrowed by every later one.
SearchOutcome NarrowAll(const WordMatches& matches, const Passes& passes, const std::atomic<bool>* cancel) {
  if (Cancelled(cancel)) return CancelledOutcome();
  SearchOutcome outcome;
  outcome.status = SearchOutcome::Status::kDone;
  std::vector<SearchEntry>& entries = outcome.entries;
  for (uint32_t index : matches.records_of(passes.word_of_pass[0])) {
    const WordRecord& record = matches.record(index);
    entries.push_back({std::string(record.word), std::string(record.numbers)});
  }
  bool over_limit = false;
  for (size_t pass = 1; pass < passes.word_of_pass.size(); ++pass) {
    // Passes after the one that went over the limit narrow the capped
    // entries; the message is shown once.
    const bool over = NarrowEntries(entries, matches, matches.records_of(passes.word_of_pass[pass]), cancel);
    if (Cancelled(cancel)) return CancelledOutcome();
    if (over && !over_limit) {
      over_limit = true;
      outcome.messages.push_back({MessageKind::kInformationBox, "Information", kTooManyWords});
    }
  }
  if (entries.empty()) outcome.status_text = kNothingFound;
  return outcome;
}

// RunSearchLeavingOut on the wrds.txt that open_words(&fault) gives.
template <typename OpenWords>
SearchLeavingOut SearchWordsFile(const std::string& base_directory, std::string_view query,
                                 const std::vector<std::string>& left_out, const SearchOptions& options,
                                 OpenWords&& open_words) {
  SearchLeavingOut result;
  std::vector<std::string> words = ParseQuery(query);
  if (words.empty()) return result;
  Passes passes = PlanPasses(std::move(words), options.fold_yo);
  const std::vector<uint32_t> left = passes.Add(left_out, options.fold_yo);

  BaseFileFault fault;
  std::unique_ptr<ReadableFile> file = open_words(&fault);
  if (!file) {
    result.search = Failure(BaseFileFaultText(base_directory, fault));
    return result;
  }
  const WordMatches matches = CollectWordMatches(std::move(file), passes.distinct, options.fold_yo);
  result.search = NarrowAll(matches, passes, nullptr);

  // Each record once, in file order, whichever left-out words it begins with.
  std::vector<uint32_t> records;
  for (const uint32_t w : left) {
    const std::vector<uint32_t>& of_word = matches.records_of(w);
    records.insert(records.end(), of_word.begin(), of_word.end());
  }
  std::sort(records.begin(), records.end());
  records.erase(std::unique(records.begin(), records.end()), records.end());
  for (const uint32_t r : records) result.left_out_lists.emplace_back(matches.record(r).numbers);
  return result;
}

}  // namespace

std::string EncodeQuery(std::string_view typed) { return EncodeCp1251(typed, ' '); }

std::vector<std::string> ParseQuery(std::string_view query) {
  std::vector<std::string> words;
  std::string current;
  for (char raw : Trim(query)) {
    const char c = UpperCase1251(raw);
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

bool WordBeginsWith(std::string_view word, std::string_view prefix, bool fold_yo) {
  if (word.size() < prefix.size()) return false;
  if (!fold_yo) return word.starts_with(prefix);
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (FoldYo(word[i]) != FoldYo(prefix[i])) return false;
  }
  return true;
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

SearchOutcome RunSearch(const std::string& base_directory, std::string_view query, Env& env) {
  return RunSearch(base_directory, query, SearchOptions{}, env);
}

SearchOutcome RunSearch(const std::string& base_directory, std::string_view query, const SearchOptions& options,
                        Env& env) {
  return RunSearchLeavingOut(base_directory, query, {}, options, env).search;
}

SearchLeavingOut RunSearchLeavingOut(const std::string& base_directory, std::string_view query,
                                     const std::vector<std::string>& left_out, const SearchOptions& options, Env& env) {
  // One file is read: it is one base whatever commits meanwhile.
  return SearchWordsFile(base_directory, query, left_out, options, [&](BaseFileFault* fault) {
    return OpenBaseFile(base_directory, kWordsFileName, env, fault);
  });
}

SearchLeavingOut RunSearchLeavingOut(const BaseSnapshot& base, std::string_view query,
                                     const std::vector<std::string>& left_out, const SearchOptions& options) {
  return SearchWordsFile(base.directory(), query, left_out, options,
                         [&](BaseFileFault* fault) { return base.Reader(kWordsFileName, fault); });
}

SearchOutcome RunSearch(const BaseSnapshot& base, std::string_view query, const SearchOptions& options) {
  return RunSearchLeavingOut(base, query, {}, options).search;
}

SearchOutcome RunSearch(const LoadedWords& loaded, std::string_view query, const SearchOptions& options,
                        const std::atomic<bool>* cancel) {
  std::vector<std::string> words = ParseQuery(query);
  if (words.empty()) return {};
  if (loaded.fault()) return Failure(BaseFileFaultText(loaded.base_directory(), *loaded.fault()));
  const Passes passes = PlanPasses(std::move(words), options.fold_yo);
  const WordMatches matches = CollectWordMatches(loaded, passes.distinct, options.fold_yo, cancel);
  return NarrowAll(matches, passes, cancel);
}

SplitQuery SplitLeftOutWords(std::string_view typed) {
  // Pieces are cut before the encoding, which turns a character without a
  // Windows-1251 form into a blank: "a☃-b" is no piece of its own.
  const std::string_view query = typed;
  SplitQuery split;
  size_t i = 0;
  while (i < query.size()) {
    while (i < query.size() && static_cast<unsigned char>(query[i]) <= 32) ++i;
    const size_t start = i;
    while (i < query.size() && static_cast<unsigned char>(query[i]) > 32) ++i;
    if (i == start) break;
    const std::string_view piece = query.substr(start, i - start);
    if (piece.front() == '-') {
      for (std::string& word : ParseQuery(EncodeQuery(piece.substr(1)))) split.left_out.push_back(std::move(word));
      continue;
    }
    if (!split.searched.empty()) split.searched.push_back(' ');
    split.searched.append(EncodeQuery(piece));
  }
  return split;
}

}  // namespace veskara
