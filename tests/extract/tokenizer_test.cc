#include "extract/tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/document_words.h"

namespace veskara {
namespace {

std::vector<std::string> Words(const std::string& segment) {
  DocumentWords document;
  TokenizeSegment(segment, document);
  std::vector<std::string> words;
  for (const uint32_t id : document.occurrences) words.emplace_back(document.words.Get(id));
  return words;
}

TEST(TokenizerTest, WordsAreRunsOfTwoOrMoreWordCharacters) {
  using W = std::vector<std::string>;
  const struct {
    std::string segment;
    W words;
  } cases[] = {
      {"", {}},
      {"A", {}},
      {"AB", {"AB"}},
      {"A B", {}},
      {"A,BC", {"BC"}},
      {"XY,AB", {"XY", "AB"}},
      {" AB", {"AB"}},
      {"AB ", {"AB"}},
      {"AB,,,CD", {"AB", "CD"}},
      {",,AB,,CD,,", {"AB", "CD"}},
      {"AB CD AB", {"AB", "CD", "AB"}},
      {"X-RAY", {"RAY"}},
      {"2005 A1B2", {"2005", "A1B2"}},
      {"1.5", {}},
      {"&NBSP;", {"NBSP"}},
      {"\xC0\xC1", {"\xC0\xC1"}},  // АБ
      {"\xA8\xC5", {"\xA8\xC5"}},  // ЁЕ
      {"AB\xA8"
       "CD",
       {"AB\xA8"
        "CD"}},                   // Ё joins Latin capitals
      {"Ab", {}},                 // small letters separate
      {"\xE0\xE1 \xB8\xB8", {}},  // so do small Cyrillic ones
      {"AB\xD7", {"AB\xD7"}},     // the byte D7 (Ч) is a word byte, not a sign
      {std::string("A\0B", 3), {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Words(c.segment), c.words) << '"' << c.segment << '"';
}

TEST(TokenizerTest, WordCharsHoldsExactly69Bytes) {
  EXPECT_EQ(kWordChars.size(), 69u);
  int members = 0;
  for (int b = 0; b < 256; ++b) members += IsWordChar(static_cast<char>(b));
  EXPECT_EQ(members, 69);
}

TEST(TokenizerTest, LongWordIsOneWord) {
  std::vector<std::string> words = Words("," + std::string(10000, 'Q') + ",");
  ASSERT_EQ(words.size(), 1u);
  EXPECT_EQ(words[0].size(), 10000u);
}

}  // namespace
}  // namespace veskara
