#include "search/word_matches.h"

#include <array>
#include <utility>

namespace veskara {

uint32_t WordMatches::Add(std::string_view word, std::string_view numbers) {
  stored_.push_back({arena_.size(), word.size(), numbers.size()});
  arena_.append(word).append(numbers);
  return static_cast<uint32_t>(stored_.size() - 1);
}

WordMatches CollectWordMatches(FileHandle file, const std::vector<std::string>& words) {
  WordMatches matches(words.size());
  std::array<bool, 256> first_byte{};
  for (const std::string& w : words) first_byte[static_cast<unsigned char>(w[0])] = true;

  LineReader reader(std::move(file));
  std::string word_line;
  std::vector<size_t> matched;
  std::string_view line;
  bool odd = true;
  while (reader.ReadLine(&line)) {
    if (odd) {
      matched.clear();
      if (!line.empty() && first_byte[static_cast<unsigned char>(line[0])]) {
        for (size_t w = 0; w < words.size(); ++w) {
          if (line.starts_with(words[w])) matched.push_back(w);
        }
        if (!matched.empty()) word_line.assign(line);
      }
    } else if (!matched.empty()) {
      uint32_t index = matches.Add(word_line, line);
      for (size_t w : matched) matches.Assign(w, index);
    }
    odd = !odd;
  }
  reader.Close();
  return matches;
}

}  // namespace veskara
