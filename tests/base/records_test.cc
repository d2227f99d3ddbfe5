// The records of the base files must be exactly the pairs of the literal
// line rules, counted from the top, also when records are skipped in bulk:
// one line out of step would shift every record after it.
#include "base/records.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "reference/literal_lines.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::TempDir;
using testing::WriteFile;
using Pair = std::pair<std::string, std::string>;

struct Records {
  std::vector<Pair> pairs;
  std::optional<std::string> lone;
  bool operator==(const Records&) const = default;
};

Records LiteralRecords(const std::string& bytes) {
  const std::vector<std::string> lines = reference::LiteralLines(bytes);
  Records records;
  for (size_t i = 0; i + 1 < lines.size(); i += 2) records.pairs.emplace_back(lines[i], lines[i + 1]);
  if (lines.size() % 2 == 1) records.lone = lines.back();
  return records;
}

Records ScannedRecords(const std::string& path) {
  RecordScanner scanner(Env::Default(), path);
  Records records;
  while (scanner.Next()) {
    EXPECT_EQ(scanner.line(), 2 * records.pairs.size() + 2);
    records.pairs.emplace_back(scanner.first(), scanner.second());
  }
  if (scanner.lone_first()) records.lone = std::string(scanner.first());
  scanner.Close();
  return records;
}

TEST(RecordScannerTest, PairsTheLinesFromTheTop) {
  struct Case {
    const char* name;
    std::string bytes;
    Records expected;
  } cases[] = {
      {"empty", "", {}},
      {"two records", "AB\r\n1,2\r\nCD\r\n3\r\n", {{{"AB", "1,2"}, {"CD", "3"}}, {}}},
      {"a lone last line", "AB\r\n1\r\nCD\r\n", {{{"AB", "1"}}, "CD"}},
      {"a lone empty line", "AB\r\n1\r\n\r\n", {{{"AB", "1"}}, ""}},
      {"last line without end", "AB\r\n1", {{{"AB", "1"}}, {}}},
      {"crs dropped, ctrl-z ends a text",
       "A\rB\r\n1\x1a"
       "9\r\n",
       {{{"AB", "1"}}, {}}},
      {"ctrl-z ends the file inside a record",
       "AB\r\n1\r\nCD\r\n\x1a"
       "2\r\n",
       {{{"AB", "1"}}, "CD"}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    WriteFile(dir / "f.txt", c.bytes);
    EXPECT_EQ(LiteralRecords(c.bytes), c.expected) << c.name;
    EXPECT_EQ(ScannedRecords(dir / "f.txt"), c.expected) << c.name;
  }
}

// Random files crossing the buffers, scanned with a skip before every
// record: each record given is the literal one at its place, every record
// passed over opens with no listed byte, and none that does is passed over.
TEST(RecordScannerTest, SkipsOnlyRecordsThatCannotOpenWithTheBytes) {
  std::mt19937 rng(11);
  TempDir dir;
  for (int round = 0; round < 16; ++round) {
    std::string bytes;
    const size_t size = round < 8 ? 100 + rng() % 5000 : 200000 + rng() % 800000;
    const std::string alphabet = round % 2 ? "QWE1,\r\n\n\n" : "QWERTY0123456789,\n\r\n\r\n";
    while (bytes.size() < size) {
      if (rng() % 500 == 0) {
        for (int i = 0; i < 5000; ++i) bytes += i % 7 == 0 ? "\r\n" : "1";
      }
      bytes.push_back(alphabet[rng() % alphabet.size()]);
      if (round % 4 == 3 && rng() % 20000 == 0) bytes.push_back('\x1a');
    }
    WriteFile(dir / "f.txt", bytes);
    const Records expected = LiteralRecords(bytes);
    ASSERT_EQ(ScannedRecords(dir / "f.txt"), expected) << "round " << round;

    const std::string listed = round % 3 == 0 ? "1" : round % 3 == 1 ? "Q" : "QE";
    auto may_open = [&](const std::string& line) { return !line.empty() && listed.find(line[0]) != std::string::npos; };
    FirstBytes first(listed);
    WordRecordScanner scanner(Env::Default(), dir / "f.txt");
    size_t next = 0;  // the first record not yet given or passed over
    for (;;) {
      scanner.SkipRecordsNotOpeningWith(first);
      if (!scanner.Next()) break;
      ASSERT_EQ(scanner.line() % 2, 0u) << "round " << round;
      const size_t at = scanner.line() / 2 - 1;
      ASSERT_GE(at, next) << "round " << round;
      ASSERT_LT(at, expected.pairs.size()) << "round " << round;
      for (size_t k = next; k < at; ++k) ASSERT_FALSE(may_open(expected.pairs[k].first)) << "round " << round;
      ASSERT_EQ(Pair(scanner.word(), scanner.numbers()), expected.pairs[at]) << "round " << round << " record " << at;
      next = at + 1;
    }
    for (size_t k = next; k < expected.pairs.size(); ++k) ASSERT_FALSE(may_open(expected.pairs[k].first));
    EXPECT_EQ(scanner.lone_word(), expected.lone.has_value()) << "round " << round;
    if (expected.lone && may_open(*expected.lone)) {
      EXPECT_EQ(scanner.word(), *expected.lone) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace veskara
