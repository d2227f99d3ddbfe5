// RunSearch on an arbitrary wrds.txt and query against the passes written
// literally: the query parsed byte by byte, one read of the file per query
// word, the nested-loop intersection, and passes after the one that went
// over the 500-entry limit run on the capped entries.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "extract/word_chars.h"
#include "fuzz_util.h"
#include "platform/cp1251.h"
#include "platform/paths.h"
#include "search/search.h"

using namespace veskara;

namespace {

std::vector<std::string> SplitWords(std::string_view text) {
  std::vector<std::string> out;
  std::string current;
  for (char c : text) {
    if (kWordChars.find(c) != std::string_view::npos) {
      current.push_back(c);
    } else if (!current.empty()) {
      out.push_back(current);
      current.clear();
    }
  }
  if (!current.empty()) out.push_back(current);
  return out;
}

std::vector<std::string> LiteralParse(std::string_view query) {
  while (!query.empty() && static_cast<unsigned char>(query.front()) <= 32) query.remove_prefix(1);
  while (!query.empty() && static_cast<unsigned char>(query.back()) <= 32) query.remove_suffix(1);
  std::string upper;
  for (char c : query) upper.push_back(UpperCase1251(c));
  return SplitWords(upper);
}

std::string LiteralIntersect(std::string_view candidates, std::string_view words) {
  std::string result;
  for (const std::string& a : SplitWords(candidates)) {
    for (const std::string& b : SplitWords(words)) {
      if (a == b) result += a + ",";
    }
  }
  if (!result.empty()) result.pop_back();
  return result;
}

SearchOutcome LiteralSearch(const std::vector<std::string>& lines, const std::vector<std::string>& words) {
  SearchOutcome outcome;
  if (words.empty()) return outcome;
  std::vector<std::string> texts;
  std::vector<std::string> numbers;
  bool over_limit = false;
  for (size_t pass = 0; pass < words.size(); ++pass) {
    const std::string& w = words[pass];
    std::vector<std::string> new_texts;
    std::vector<std::string> new_numbers;
    bool flag = false;
    bool pass_over = false;
    std::string last_match;
    for (size_t k = 1; k <= lines.size() && !pass_over; ++k) {
      const std::string& line = lines[k - 1];
      if (k % 2 == 1 || !flag) {
        flag = k % 2 == 1 && line.size() >= w.size() && line.compare(0, w.size(), w) == 0;
        if (flag) {
          last_match = line;
          if (pass == 0) new_texts.push_back(line);
        }
        continue;
      }
      if (pass == 0) {
        new_numbers.push_back(line);
        continue;
      }
      for (size_t i = 0; i < texts.size(); ++i) {
        std::string common = LiteralIntersect(numbers[i], line);
        if (common.empty()) continue;
        new_numbers.push_back(common);
        new_texts.push_back(texts[i] + " ... " + last_match);
        if (new_texts.size() > 500) {
          if (!over_limit) {
            outcome.messages.push_back({MessageKind::kInformationBox, "Information",
                                        "Too many words found! Please define more exact search criteria!"});
          }
          over_limit = true;
          pass_over = true;
          break;
        }
      }
    }
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string query = input.ConsumeRandomLengthString(48);
  const std::string words_file = input.ConsumeRemainingBytesAsString();

  const std::string dir = fuzz::ScratchDir();
  fuzz::WriteBytes(WordsFilePath(dir), words_file);

  const std::vector<std::string> query_words = LiteralParse(query);
  FUZZ_CHECK(ParseQuery(query) == query_words);
  // Each pass may multiply the entries by up to 500; a long query of short
  // words would make the reference, not the search, the slow part.
  if (query_words.size() > 4) return 0;

  const SearchOutcome fast = RunSearch(dir, query);
  const SearchOutcome literal = LiteralSearch(fuzz::ReferenceLines(words_file), query_words);
  FUZZ_CHECK(fast.status == literal.status);
  FUZZ_CHECK(fast.entries.size() == literal.entries.size());
  for (size_t i = 0; i < fast.entries.size(); ++i) {
    FUZZ_CHECK(fast.entries[i].text == literal.entries[i].text);
    FUZZ_CHECK(fast.entries[i].numbers == literal.entries[i].numbers);
  }
  FUZZ_CHECK(fast.messages == literal.messages);
  FUZZ_CHECK(fast.status_text == literal.status_text);
  return 0;
}
