#include "search/word_matches.h"

#include <array>
#include <utility>

#include "platform/line_scanner.h"

namespace veskara {

uint32_t WordMatches::Add(std::string_view word, std::string_view numbers) {
  stored_.push_back({arena_.size(), word.size(), numbers.size()});
  arena_.append(word).append(numbers);
  return static_cast<uint32_t>(stored_.size() - 1);
}

WordMatches CollectWordMatches(std::unique_ptr<ReadableFile> file, const std::vector<std::string>& words) {
  WordMatches matches(words.size());
  // Most word lines are rejected by their first byte alone; a CR there may
  // hide the real first byte.
  std::array<bool, 256> may_match{};
  for (const std::string& w : words) may_match[static_cast<unsigned char>(w[0])] = true;
  may_match[static_cast<unsigned char>('\r')] = true;

  LineScanner scanner(std::move(file));
  std::string first_bytes;
  for (const std::string& w : words) first_bytes.push_back(w[0]);
  FirstBytes first(first_bytes);
  std::string scratch;
  std::string word_scratch;
  std::vector<size_t> matched;
  std::string_view word_line;
  std::string_view raw;
  bool odd = true;
  for (;;) {
    // Between records of interest, lines are skipped in bulk; their count
    // keeps the odd/even rule.
    if (matched.empty() && scanner.SkipLines(first) % 2 == 1) odd = !odd;
    if (!scanner.Next(&raw)) break;
    if (odd) {
      if (!raw.empty() && may_match[static_cast<unsigned char>(raw[0])]) {
        for (size_t w = 0; w < words.size(); ++w) {
          if (LineStartsWith(raw, words[w], scratch)) matched.push_back(w);
        }
        word_line = raw;  // stays valid while the next line is read
      }
    } else if (!matched.empty()) {
      uint32_t index = matches.Add(LineText(word_line, word_scratch), LineText(raw, scratch));
      for (size_t w : matched) matches.Assign(w, index);
      matched.clear();
    }
    odd = !odd;
  }
  scanner.Close();
  return matches;
}

}  // namespace veskara
