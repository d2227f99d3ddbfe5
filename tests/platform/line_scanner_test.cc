// The scanner (and LineReader, which is built on it) must give exactly the
// lines of the literal line rules: every reader of the program relies on
// them.
#include "platform/line_scanner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/text_file.h"
#include "reference/literal_lines.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::TempDir;
using testing::WriteFile;

std::vector<std::string> ReaderLines(const std::string& path) {
  return reference::LiteralLines(testing::ReadFile(path));
}

// The scanner's lines as texts, checking on the way that the previous
// line's view is still intact after the next one was read.
std::vector<std::string> ScannerLines(const std::string& path) {
  std::vector<std::string> lines;
  LineScanner scanner(Env::Default(), path);
  std::string scratch;
  std::string_view previous;
  std::string previous_copy;
  std::string_view raw;
  while (scanner.Next(&raw)) {
    EXPECT_EQ(previous, previous_copy) << "previous line moved at line " << lines.size();
    EXPECT_EQ(raw.find('\x1a'), std::string_view::npos);
    lines.emplace_back(LineText(raw, scratch));
    previous = raw;
    previous_copy.assign(raw);
  }
  return lines;
}

TEST(LineScannerTest, GivesTheLinesOfTheLiteralRules) {
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"crlf lines", "AB\r\n1,2\r\n"},
      {"last line without end", "AB\r\n1"},
      {"lone cr dropped", "A\rB\r\n\r\r\n"},
      {"ctrl-z ends line text", "AB\x1aXY\r\nCD\r\n"},
      {"second ctrl-z ends file", "AB\x1aX\x1aY\r\nCD\r\n"},
      {"ctrl-z opens line", "AB\r\n\x1a\r\nCD\r\n"},
      {"ctrl-z after crs opens line", "AB\r\n\r\r\x1a\r\nCD\r\n"},
      {"ctrl-z at end", "AB\r\n\x1a"},
      {"only cr", "\r"},
      {"lf only", "\n\n"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    WriteFile(dir / "f.txt", c.bytes);
    EXPECT_EQ(ScannerLines(dir / "f.txt"), ReaderLines(dir / "f.txt")) << c.name;
  }
}

// Random files large enough to cross the buffers many times, with lines
// longer than a buffer among them.
TEST(LineScannerTest, MatchesTheLiteralRulesOnRandomFiles) {
  std::mt19937 rng(7);
  const char alphabet[] = {'A', '1', ',', ' ', '\r', '\n', '\n', '\x1a'};
  TempDir dir;
  for (int round = 0; round < 12; ++round) {
    std::string bytes;
    size_t size = round < 6 ? 200 + rng() % 2000 : (1 << 20) + rng() % (3 << 20);
    bool with_ctrl_z = round % 3 == 0;
    while (bytes.size() < size) {
      if (round >= 6 && rng() % 50000 == 0) bytes.append(1500000 + rng() % 1000000, 'L');
      char c = alphabet[rng() % (with_ctrl_z ? 8 : 7)];
      if (c == '\x1a' && rng() % 4000 != 0) c = 'Z';
      bytes.push_back(c);
    }
    WriteFile(dir / "f.txt", bytes);
    EXPECT_EQ(ScannerLines(dir / "f.txt"), ReaderLines(dir / "f.txt")) << "round " << round;
  }
}

// SkipLines may only pass over lines whose text cannot begin with a listed
// byte, and must count them exactly: the search keeps the odd/even rule by
// that count.
TEST(LineScannerTest, SkipLinesPassesOnlyLinesThatCannotMatch) {
  std::mt19937 rng(3);
  TempDir dir;
  for (int round = 0; round < 16; ++round) {
    std::string bytes;
    size_t size = round < 8 ? 100 + rng() % 5000 : 100000 + rng() % 400000;
    const char* alphabet = round % 2 ? "QWE1,\r\n\n\n" : "QWERTY0123456789,\n\r\n\r\n";
    size_t letters = std::strlen(alphabet);
    while (bytes.size() < size) {
      // Long runs without a listed byte let whole blocks be skipped.
      if (rng() % 500 == 0) {
        for (int i = 0; i < 10000; ++i) bytes += i % 7 == 0 ? "\r\n" : "1";
      }
      bytes.push_back(alphabet[rng() % letters]);
      if (round % 4 == 3 && rng() % 20000 == 0) bytes.push_back('\x1a');
    }
    WriteFile(dir / "f.txt", bytes);
    std::vector<std::string> expected = ReaderLines(dir / "f.txt");
    const std::string listed = round % 3 == 0 ? "" : round % 3 == 1 ? "Q" : "QE";
    FirstBytes first(listed);
    LineScanner scanner(Env::Default(), dir / "f.txt");
    std::string scratch;
    std::string_view raw;
    size_t at = 0;
    size_t total_skipped = 0;
    for (;;) {
      size_t skipped = scanner.SkipLines(first);
      total_skipped += skipped;
      ASSERT_LE(at + skipped, expected.size()) << "round " << round;
      for (size_t k = at; k < at + skipped; ++k) {
        ASSERT_FALSE(!expected[k].empty() && listed.find(expected[k][0]) != std::string::npos)
            << "round " << round << " skipped line " << k;
      }
      at += skipped;
      if (!scanner.Next(&raw)) break;
      ASSERT_LT(at, expected.size()) << "round " << round;
      ASSERT_EQ(LineText(raw, scratch), expected[at]) << "round " << round << " line " << at;
      ++at;
    }
    EXPECT_EQ(at, expected.size()) << "round " << round;
    if (round >= 8 && round % 4 != 3) {
      EXPECT_GT(total_skipped, expected.size() / 4) << "round " << round;
    }
  }
}

// A limit on a line's length: shorter lines come as without it, and the
// first longer one is named by its number, lines skipped before it counted.
TEST(LineScannerTest, ALineLongerThanTheLimitIsNamed) {
  const struct {
    std::string text;
    size_t lines_read;
    size_t long_line;  // 0: none
  } cases[] = {
      {"abcd\nabcde\nab", 3, 0},  // at the limit, and a last line without its end
      {"ab\nabcdef\nab\n", 1, 2},
      {"ab\nab\r\r\r\r\n", 1, 2},                  // CRs count: raw bytes are held
      {"ab\n" + std::string(1 << 22, 'a'), 1, 2},  // far beyond any buffer
      {"ab\nab\x1a\x1a\x1a\x1a\nxy\n", 1, 2},      // what a Ctrl-Z hides counts too
      {"ab\nx1\nx2\nab1234\n", 1, 4},              // SkipLines passes x1 and x2
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile(dir / "f", c.text);
    LineScanner scanner(Env::Default(), dir / "f");
    scanner.LimitLineLength(5);
    size_t read = 0;
    size_t long_line = 0;
    std::string_view raw;
    try {
      while (scanner.Next(&raw)) {
        ++read;
        scanner.SkipLines(FirstBytes("ab"));
      }
    } catch (const LineTooLongError& e) {
      long_line = e.line();
    }
    EXPECT_EQ(read, c.lines_read) << c.text.substr(0, 20);
    EXPECT_EQ(long_line, c.long_line) << c.text.substr(0, 20);
  }
}

TEST(LineScannerTest, LineStartsWithSeesTheTextWithoutCrs) {
  std::string scratch;
  EXPECT_TRUE(LineStartsWith("WORD\r", "WOR", scratch));
  EXPECT_TRUE(LineStartsWith("WO\rRD\r", "WOR", scratch));
  EXPECT_FALSE(LineStartsWith("WO\r", "WOR", scratch));
  EXPECT_FALSE(LineStartsWith("WOX", "WOR", scratch));
  EXPECT_FALSE(LineStartsWith("", "W", scratch));
  EXPECT_TRUE(LineStartsWith("\rW\r", "W", scratch));
}

}  // namespace
}  // namespace veskara
