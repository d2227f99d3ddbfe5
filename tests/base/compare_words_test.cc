#include "base/compare_words.h"

#include <gtest/gtest.h>

namespace veskara {
namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(CompareWordsTest, Order) {
  const struct {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"AB", "ABC", -1},    {"9", "A", -1},
      {"\xA8", "\xC0", -1}, {"ab", "AB", 0},
      {"", "", 0},          {"", "A", -1},
      {"Z", "\xC0", -1},    {"\xDF", "\xC0", 1},
      {"aBc", "AbD", -1},   {"a", "B", -1},
      {"{", "a", 1},        {"\xE0", "\xC0", 1},
      {"SAME", "SAME", 0},  {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMNOPq", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sign(CompareWords(c.a, c.b)), c.sign) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(CompareWords(c.b, c.a)), -c.sign) << c.b << " vs " << c.a;
  }
  // At a difference the result is the difference of the (folded) bytes.
  EXPECT_EQ(CompareWords("AC", "aa"), 'C' - 'A');
  EXPECT_EQ(CompareWords("\xC0", "A"), 0xC0 - 'A');
}

}  // namespace
}  // namespace veskara
