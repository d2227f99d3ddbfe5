#include "base/posting_table.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/text_file.h"
#include "reference/literal_posting_table.h"
#include "test_util.h"

namespace veskara {
namespace {

using reference::Entries;
using reference::LiteralSort;
using reference::LiteralWrite;

PostingTable TableOf(const Entries& entries) {
  PostingTable table;
  for (const auto& [word, number] : entries) table.AddEntry(word, number);
  return table;
}

Entries EntriesOf(const PostingTable& table) {
  Entries out;
  for (size_t i = 0; i < table.Count(); ++i) out.emplace_back(table.WordAt(i), table.NumberAt(i));
  return out;
}

std::string Written(const PostingTable& table) {
  testing::TempDir dir;
  TextWriter w = TextWriter::Create(dir / "wrds.txt", Env::Default());
  table.WriteWordsFile(w);
  w.Close();
  return testing::ReadFile(dir / "wrds.txt");
}

std::string SortAndWrite(const Entries& entries) {
  PostingTable table = TableOf(entries);
  table.SortPostingTable();
  return Written(table);
}

TEST(PostingTableTest, WrittenExamples) {
  EXPECT_EQ(SortAndWrite({{"BB", "0"}, {"AA", "0"}}), testing::CrLf({"AA", "0", "BB", "0"}));
  EXPECT_EQ(SortAndWrite({{"CC", "0"}, {"BB", "0"}, {"AA", "0"}, {"BB", "1"}, {"CC", "1"}, {"AA", "1"}, {"BB", "2"}}),
            testing::CrLf({"AA", "0,1", "BB", "1,0,2", "CC", "1,0"}));
  EXPECT_EQ(SortAndWrite({{"W", "3"}, {"W", "5"}, {"W", "3"}}), testing::CrLf({"W", "3,5"}));
  EXPECT_EQ(SortAndWrite({{"W", "12"}, {"W", "2"}}), testing::CrLf({"W", "12,2"}));
  EXPECT_EQ(SortAndWrite({{"AB", "0"}}), testing::CrLf({"AB", "0"}));
  EXPECT_EQ(SortAndWrite({}), "");
  EXPECT_EQ(SortAndWrite({{"AA", "0"}, {"BB", "1"}}), testing::CrLf({"AA", "0", "BB", "1"}));
  // Words equal but for a-z case form one record under the word of its last entry.
  EXPECT_EQ(SortAndWrite({{"ab", "1"}, {"AB", "2"}}), testing::CrLf({"AB", "1,2"}));
  // Empty numbers, as «3,,5» loads them, are merged like any other.
  EXPECT_EQ(SortAndWrite({{"W", "3"}, {"W", ""}, {"W", "5"}, {"W", ""}}), testing::CrLf({"W", "3,,5"}));
}

TEST(PostingTableTest, AddPostingStampsTheCurrentNumber) {
  PostingTable table;
  table.SetCurrentFileNumber("7");
  table.AddPosting("AB");
  table.SetCurrentFileNumber("8");
  table.AddPosting("AB");
  ASSERT_EQ(table.Count(), 2u);
  EXPECT_EQ(table.NumberAt(0), "7");
  EXPECT_EQ(table.NumberAt(1), "8");
  table.ClearPostingTable();
  EXPECT_EQ(table.Count(), 0u);
  EXPECT_EQ(table.CurrentFileNumber(), "8");
}

// The fast sort and merge must give exactly the permutation and the bytes of
// the literal algorithms, also with many equal words, case variants and
// repeated numbers.
TEST(PostingTableTest, FastSortAndMergeMatchTheLiteralAlgorithms) {
  std::mt19937 rng(20261208);
  const std::vector<std::string> words = {"A", "AB", "ab", "Ab", "ABC", "B", "\xC0\xC1", "\xA8", "9", "Z", "ZZ", "AAA"};
  for (int round = 0; round < 1506; ++round) {
    size_t n = round < 1500 ? rng() % 64 : 300 + rng() % 700;
    size_t vocabulary = 1 + rng() % words.size();
    size_t numbers = 1 + rng() % 12;
    Entries entries;
    for (size_t i = 0; i < n; ++i) {
      std::string number = (rng() % 50 == 0) ? "" : std::to_string(rng() % numbers);
      entries.emplace_back(words[rng() % vocabulary], number);
    }
    PostingTable table = TableOf(entries);
    table.SortPostingTable();
    Entries expected = entries;
    LiteralSort(expected);
    ASSERT_EQ(EntriesOf(table), expected) << "round " << round << ", " << n << " entries";
    ASSERT_EQ(Written(table), LiteralWrite(expected)) << "round " << round;
  }
}

// Tables this large sort and write on two threads: each phase's chains
// split between them, the one chain of gap 1 radix-sorted by both, the
// words ordered in two halves and merged (with as many distinct words), and
// the records formatted in chunks by both. Words and file numbers that fit
// 32 bits together are sorted as one 32-bit entry; the last table does not.
TEST(PostingTableTest, LargeTableMatchesTheLiteralSort) {
  const struct {
    bool case_variants;
    unsigned numbers;  // of each letter: how many distinct words there are
    int words_per_file;
  } variants[] = {{false, 3000, 20}, {true, 3000, 20}, {false, 1000000, 20}, {true, 1000000, 1}};
  for (const auto [case_variants, numbers, words_per_file] : variants) {
    std::mt19937 rng(7);
    Entries entries;
    for (int i = 0; i < 70000; ++i) {
      std::string word = std::string(1, static_cast<char>('A' + rng() % 26)) + std::to_string(rng() % numbers);
      if (case_variants && rng() % 100 == 0) word[0] = static_cast<char>(word[0] - 'A' + 'a');
      entries.emplace_back(word, std::to_string(i / words_per_file));
    }
    PostingTable table = TableOf(entries);
    table.SortPostingTable();
    LiteralSort(entries);
    ASSERT_EQ(EntriesOf(table), entries) << "case variants: " << case_variants << ", numbers: " << numbers;
    EXPECT_EQ(Written(table), LiteralWrite(entries));
  }
}

}  // namespace
}  // namespace veskara
