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

#include "base/base_files.h"
#include "base/word_chars.h"
#include "fuzz_util.h"
#include "platform/cp1251.h"
#include "platform/paths.h"
#include "reference/literal_lines.h"
#include "reference/literal_search.h"
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

  const SearchOutcome fast = RunSearch(dir, query, Env::Default());
  const std::vector<std::string> lines = reference::LiteralLines(words_file);
  const SearchOutcome literal = reference::LiteralSearch(query_words, [&lines](auto visit) {
    for (const std::string& line : lines) {
      if (!visit(line)) break;
    }
  });
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
