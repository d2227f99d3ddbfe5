#include "search/word_matches.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "base/records.h"
#include "platform/line_scanner.h"
#include "search/loaded_words.h"
#include "search/search.h"

namespace veskara {

uint32_t WordMatches::Add(std::string_view word, std::string_view numbers) {
  stored_.push_back({arena_.size(), word.size(), numbers.size()});
  arena_.append(word).append(numbers);
  return static_cast<uint32_t>(stored_.size() - 1);
}

namespace {

// LineStartsWith with a line's Ё taken as Е; `prefix` holds no Ё.
bool LineStartsWithFolded(std::string_view raw, std::string_view prefix, std::string& scratch) {
  if (raw.size() < prefix.size()) return false;
  if (std::memchr(raw.data(), '\r', prefix.size()) != nullptr) raw = LineText(raw, scratch);
  return WordBeginsWith(raw, prefix, /*fold_yo=*/true);
}

}  // namespace

WordMatches CollectWordMatches(std::unique_ptr<ReadableFile> file, const std::vector<std::string>& words,
                               bool fold_yo) {
  WordMatches matches(words.size());
  // Most word lines are rejected by their first byte alone; a CR there may
  // hide the real first byte. Folded, a word that opens with Е may meet a
  // line that opens with Ё.
  std::string first_bytes;
  for (const std::string& w : words) {
    first_bytes.push_back(w[0]);
    if (fold_yo && w[0] == FoldYo('\xA8')) first_bytes.push_back('\xA8');
  }
  std::array<bool, 256> may_match{};
  for (char c : first_bytes) may_match[static_cast<unsigned char>(c)] = true;
  may_match[static_cast<unsigned char>('\r')] = true;

  WordRecordScanner records(std::move(file));
  FirstBytes first(first_bytes);
  std::string scratch;
  std::vector<size_t> matched;
  for (;;) {
    // Between records of interest, records are skipped in bulk.
    records.SkipRecordsNotOpeningWith(first);
    if (!records.Next()) break;
    const std::string_view raw = records.raw_word();
    if (raw.empty() || !may_match[static_cast<unsigned char>(raw[0])]) continue;
    for (size_t w = 0; w < words.size(); ++w) {
      const bool starts =
          fold_yo ? LineStartsWithFolded(raw, words[w], scratch) : LineStartsWith(raw, words[w], scratch);
      if (starts) matched.push_back(w);
    }
    if (matched.empty()) continue;
    const uint32_t index = matches.Add(records.word(), records.numbers());
    for (size_t w : matched) matches.Assign(w, index);
    matched.clear();
  }
  records.Close();
  return matches;
}

WordMatches CollectWordMatches(const LoadedWords& loaded, const std::vector<std::string>& words, bool fold_yo,
                               const std::atomic<bool>* cancel) {
  WordMatches matches(words.size());
  // Only the records that open with a word's first byte can match (folded,
  // a word opening with Е also meets words opening with Ё); merged into file
  // order, since a record belongs to every word it begins with.
  std::array<bool, 256> opening{};
  for (const std::string& w : words) {
    opening[static_cast<unsigned char>(w[0])] = true;
    if (fold_yo && w[0] == FoldYo('\xA8')) opening[0xA8] = true;
  }
  std::vector<uint32_t> candidates;
  for (size_t byte = 0; byte < opening.size(); ++byte) {
    if (!opening[byte]) continue;
    const std::vector<uint32_t>& records = loaded.opening_with(static_cast<unsigned char>(byte));
    const size_t before = candidates.size();
    candidates.insert(candidates.end(), records.begin(), records.end());
    std::inplace_merge(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(before), candidates.end());
  }
  std::vector<size_t> matched;
  for (const uint32_t record : candidates) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) break;
    const std::string_view word = loaded.word(record);
    for (size_t w = 0; w < words.size(); ++w) {
      if (WordBeginsWith(word, words[w], fold_yo)) matched.push_back(w);
    }
    if (matched.empty()) continue;
    const uint32_t index = matches.Add(word, loaded.numbers(record));
    for (size_t w : matched) matches.Assign(w, index);
    matched.clear();
  }
  return matches;
}

}  // namespace veskara
