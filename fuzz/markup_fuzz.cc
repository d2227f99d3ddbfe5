// The markup reader on arbitrary page bytes against the reading steps
// written literally: line rules, UTF-8 lines to Windows-1251, trimming,
// upper-casing, cutting out tags (the tag state carried across lines) and
// runs of two or more word bytes. The same page's shown lines must be
// well-formed UTF-8 without a control character, and, for a page without
// entities to decode, hold exactly the words the reader indexed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/document_words.h"
#include "base/word_chars.h"
#include "extract/document_lines.h"
#include "extract/readers.h"
#include "extract/tokenizer.h"
#include "fuzz_util.h"
#include "platform/cp1251.h"
#include "reference/literal_lines.h"

using namespace veskara;

namespace {

void Tokenize(const std::string& segment, std::vector<std::string>& words) {
  std::string current;
  for (char c : segment + " ") {
    if (kWordChars.find(c) != std::string_view::npos && c != '\0') {
      current.push_back(c);
    } else {
      if (current.size() >= 2) words.push_back(current);
      current.clear();
    }
  }
}

std::vector<std::string> LiteralWords(std::string_view page) {
  std::vector<std::string> words;
  bool in_tag = false;
  for (std::string line : reference::LiteralLines(page)) {
    if (IsMultibyteUtf8(line)) line = EncodeCp1251(line, ' ');
    size_t begin = 0;
    size_t end = line.size();
    while (begin < end && static_cast<unsigned char>(line[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(line[end - 1]) <= 32) --end;
    line = line.substr(begin, end - begin);
    if (line.size() < 2) continue;
    for (char& c : line) c = UpperCase1251(c);

    std::vector<std::string> segments;
    std::string pending;
    bool flushed = false;
    for (char c : line) {
      if (c == '<') in_tag = true;
      if (!in_tag) {
        pending.push_back(c);
        flushed = false;
      } else if (c == '>') {
        in_tag = false;
        if (!pending.empty()) {
          segments.push_back(pending);
          pending.clear();
          flushed = true;
        }
      }
    }
    if (!flushed) segments.push_back(pending);
    for (const std::string& segment : segments) Tokenize(segment, words);
  }
  return words;
}

class Reader : public THTMLFile {
 public:
  using THTMLFile::THTMLFile;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  const std::string path = fuzz::ScratchDir() + "/page.htm";
  fuzz::WriteBytes(path, page);

  DocumentWords words;
  { Reader reader(path, words, Env::Default()); }
  const std::vector<std::string> expected = LiteralWords(page);
  FUZZ_CHECK(words.occurrences.size() == expected.size());
  for (size_t i = 0; i < expected.size(); ++i) FUZZ_CHECK(words.words.Get(words.occurrences[i]) == expected[i]);

  std::vector<std::string> shown_words;
  bool cut = false;  // a long line shows only part of its words
  const std::string failure = ForEachPageLine(Env::Default(), path, [&](const ShownLine& line) {
    cut = cut || line.cut_before || line.cut_after;
    FUZZ_CHECK(line.letters.size() <= kLongestShownLine);
    FUZZ_CHECK(!line.letters.empty() && line.starts.size() == line.letters.size() + 1);
    FUZZ_CHECK(line.starts.front() == 0 && line.starts.back() == line.text.size());
    for (size_t i = 0; i + 1 < line.starts.size(); ++i) FUZZ_CHECK(line.starts[i] < line.starts[i + 1]);
    for (const char c : line.text) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    const bool ascii =
        std::all_of(line.text.begin(), line.text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    FUZZ_CHECK(ascii || IsMultibyteUtf8(line.text));  // well-formed UTF-8
    ForEachWord(line.letters, [&](std::string_view w) { shown_words.emplace_back(w); });
  });
  FUZZ_CHECK(failure.empty());
  if (page.find('&') == std::string_view::npos && !cut) FUZZ_CHECK(shown_words == expected);
  return 0;
}
