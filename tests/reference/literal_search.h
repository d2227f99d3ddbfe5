// The search as first written: one read of wrds.txt per query word and the
// nested-loop intersection. Obviously correct and slow; tests, fuzz targets
// and the benchmark compare RunSearch with it. Passes after the one that
// went over the 500-entry limit run on the capped entries, without a second
// message.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/word_chars.h"
#include "search/search.h"

namespace veskara::reference {

inline std::vector<std::string> SplitNumbers(std::string_view list) {
  std::vector<std::string> out;
  std::string current;
  for (char c : list) {
    if (IsWordChar(c)) {
      current.push_back(c);
    } else if (!current.empty()) {
      out.push_back(std::move(current));
      current.clear();
    }
  }
  if (!current.empty()) out.push_back(std::move(current));
  return out;
}

inline std::string LiteralIntersect(std::string_view candidates, std::string_view words) {
  std::string result;
  const std::vector<std::string> word_numbers = SplitNumbers(words);
  for (const std::string& a : SplitNumbers(candidates)) {
    for (const std::string& b : word_numbers) {
      if (a == b) result += a + ",";
    }
  }
  if (!result.empty()) result.pop_back();
  return result;
}

// `read_file(visit)` reads wrds.txt from its first line and calls
// visit(line) for each line until visit returns false; it is called once per
// query word.
template <typename ReadFile>
SearchOutcome LiteralSearch(const std::vector<std::string>& words, ReadFile read_file) {
  SearchOutcome outcome;
  if (words.empty()) return outcome;
  std::vector<std::string> texts;
  std::vector<std::string> numbers;
  bool over_limit = false;
  for (size_t pass = 0; pass < words.size(); ++pass) {
    const std::string& w = words[pass];
    std::vector<std::string> new_texts;
    std::vector<std::string> new_numbers;
    size_t k = 0;
    bool flag = false;
    std::string last_match;
    read_file([&](std::string_view line) {
      ++k;
      if (k % 2 == 1 || !flag) {
        flag = k % 2 == 1 && line.starts_with(w);
        if (flag) {
          last_match = line;
          if (pass == 0) new_texts.emplace_back(line);
        }
        return true;
      }
      if (pass == 0) {
        new_numbers.emplace_back(line);
        return true;
      }
      for (size_t i = 0; i < texts.size(); ++i) {
        std::string common = LiteralIntersect(numbers[i], line);
        if (common.empty()) continue;
        new_numbers.push_back(std::move(common));
        new_texts.push_back(texts[i] + " ... " + last_match);
        if (new_texts.size() > 500) {
          if (!over_limit) {
            outcome.messages.push_back({MessageKind::kInformationBox, "Information",
                                        "Too many words found! Please define more exact search criteria!"});
          }
          over_limit = true;
          return false;
        }
      }
      return true;
    });
    // A matching last line without its number line makes no entry.
    if (new_texts.size() > new_numbers.size()) new_texts.pop_back();
    texts = std::move(new_texts);
    numbers = std::move(new_numbers);
  }
  outcome.status = SearchOutcome::Status::kDone;
  for (size_t i = 0; i < texts.size(); ++i) outcome.entries.push_back({texts[i], numbers[i]});
  if (texts.empty()) outcome.status_text = "Nothing was found...";
  return outcome;
}

}  // namespace veskara::reference
