#include "search/search.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "base/base_files.h"
#include "platform/cp1251.h"
#include "platform/text_file.h"
#include "reference/literal_search.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::CrLf;
using testing::TempDir;
using testing::WriteFile;

const char kTooMany[] = "Too many words found! Please define more exact search criteria!";

using reference::LiteralIntersect;

// The literal passes on the file itself, read again for every query word.
SearchOutcome LiteralSearch(const std::string& base, std::string_view query) {
  const std::string path = WordsFilePath(base);
  if (!FileExists(path, Env::Default())) return {SearchOutcome::Status::kFailed, {}, {}, ""};
  return reference::LiteralSearch(ParseQuery(query), [&path](auto visit) {
    LineReader reader(path, Env::Default());
    std::string_view line;
    while (reader.ReadLine(&line) && visit(line)) {
    }
  });
}

std::vector<std::string> Texts(const SearchOutcome& outcome) {
  std::vector<std::string> texts;
  for (const SearchEntry& e : outcome.entries) texts.push_back(e.text + " | " + e.numbers);
  return texts;
}

class SearchTest : public ::testing::Test {
 protected:
  void Base(const std::string& bytes) { WriteFile(dir_ / "wrds.txt", bytes); }
  SearchOutcome Search(std::string_view query) { return RunSearch(dir_.path(), query, Env::Default()); }
  TempDir dir_;
};

TEST(ParseQueryTest, TrimsUpperCasesAndSplits) {
  struct Case {
    std::string query;
    std::vector<std::string> words;
  } cases[] = {
      {"  wor \t", {"WOR"}},
      {"hello-world", {"HELLO", "WORLD"}},
      {"***", {}},
      {"", {}},
      {"ab ab", {"AB", "AB"}},
      {"x1,y2;z", {"X1", "Y2", "Z"}},
      {"\xE0\xE1\xB8 \xC0", {"\xC0\xC1\xA8", "\xC0"}},  // Cyrillic small letters
      {"caf\xAB", {"CAF"}},                             // a quotation mark
  };
  for (const Case& c : cases) EXPECT_EQ(ParseQuery(c.query), c.words) << c.query;
}

// Both front ends encode what a person typed by this one rule: a character
// without a Windows-1251 form separates words, as a blank would.
TEST(EncodeQueryTest, ACharacterWithoutAFormSeparates) {
  struct Case {
    std::string typed;  // UTF-8
    std::string encoded;
    std::vector<std::string> words;
  } cases[] = {
      {"c\u2603d", "c d", {"C", "D"}},
      {"\u0434\u043e \u0401\u0436", "\xE4\xEE \xA8\xE6", {"\xC4\xCE", "\xA8\xC6"}},  // до Ёж
      {"\u2603", " ", {}},
      {"ab\xFF\xFE"
       "cd",
       "ab  cd",
       {"AB", "CD"}},  // a malformed sequence
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeQuery(c.typed), c.encoded) << c.typed;
    EXPECT_EQ(ParseQuery(EncodeQuery(c.typed)), c.words) << c.typed;
  }
}

TEST(IntersectNumberListsTest, KeepsCandidateOrderAndComparesTexts) {
  struct Case {
    const char* candidates;
    const char* words;
    const char* result;
  } cases[] = {
      {"1,2,3", "3,1", "1,3"},
      {"7", "07", ""},
      {"07", "7", ""},
      {"5", "5,5", "5,5"},  // equal to two
                            // numbers of the
                            // word list: taken
                            // twice
      {"5,5", "5", "5,5"},
      {",,1,,2,", "2,1", "1,2"},
      {"1 2", "2", "2"},
      {"", "1", ""},
      {"1", "", ""},
      {"12", "1,2", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IntersectNumberLists(c.candidates, c.words), c.result) << c.candidates << " / " << c.words;
    EXPECT_EQ(LiteralIntersect(c.candidates, c.words), c.result);
  }
}

TEST_F(SearchTest, FirstWordMatchesWordLinesByPrefixOnly) {
  // "12" as a query is a prefix of number lines too; only word lines count.
  Base(CrLf({"12AB", "3", "AB", "12,5", "ABC", "120", "B12", "12"}));
  EXPECT_EQ(Texts(Search("12")), (std::vector<std::string>{"12AB | 3"}));
  EXPECT_EQ(Texts(Search("  ab ")), (std::vector<std::string>{"AB | 12,5", "ABC | 120"}));
  EXPECT_EQ(Texts(Search("abcd")), std::vector<std::string>{});
  SearchOutcome outcome = Search("ab");
  EXPECT_EQ(outcome.status, SearchOutcome::Status::kDone);
  EXPECT_EQ(outcome.status_text, "");
  EXPECT_TRUE(outcome.messages.empty());
}

TEST_F(SearchTest, FurtherWordsCombineWordsThatShareAFile) {
  Base(CrLf({"CAT", "1,2,3", "COW", "4", "DOG", "3,1", "DOVE", "9", "EEL", "1"}));
  EXPECT_EQ(Texts(Search("c-do")), (std::vector<std::string>{"CAT ... DOG | 1,3"}));
  EXPECT_EQ(Texts(Search("c do e")), (std::vector<std::string>{"CAT ... DOG ... EEL | 1"}));
  // Typed twice: each entry meets its own word again.
  EXPECT_EQ(Texts(Search("c c")), (std::vector<std::string>{"CAT ... CAT | 1,2,3", "COW ... COW | 4"}));
  SearchOutcome none = Search("c dove");
  EXPECT_EQ(none.status, SearchOutcome::Status::kDone);
  EXPECT_TRUE(none.entries.empty());
  EXPECT_EQ(none.status_text, "Nothing was found...");
}

TEST_F(SearchTest, LongNumbersAreComparedAsWholeTexts) {
  // Numbers longer than eight bytes, and ones that share their first eight.
  Base(CrLf({"AA", "123456789,1234567890,12345678,7", "BB", "1234567890,0123456789,7", "CC", "12345678"}));
  EXPECT_EQ(Texts(Search("a b")), (std::vector<std::string>{"AA ... BB | 1234567890,7"}));
  EXPECT_EQ(Texts(Search("a c")), (std::vector<std::string>{"AA ... CC | 12345678"}));
  EXPECT_EQ(Texts(Search("b c")), std::vector<std::string>{});
}

TEST_F(SearchTest, LaterPassOrdersByWordFirstThenByEntry) {
  Base(CrLf({"A1", "1", "A2", "1", "B1", "1", "B2", "1"}));
  EXPECT_EQ(Texts(Search("a b")),
            (std::vector<std::string>{"A1 ... B1 | 1", "A2 ... B1 | 1", "A1 ... B2 | 1", "A2 ... B2 | 1"}));
}

TEST_F(SearchTest, NumberListOnTheLastLineAndAWordWithoutOne) {
  Base("AB\r\n1\r\nAC\r\n2");
  EXPECT_EQ(Texts(Search("a")), (std::vector<std::string>{"AB | 1", "AC | 2"}));
  Base("AB\r\n1\r\nAC");
  EXPECT_EQ(Texts(Search("a")), (std::vector<std::string>{"AB | 1"}));
}

TEST_F(SearchTest, EmptyBaseFindsNothing) {
  Base("");
  SearchOutcome outcome = Search("a");
  EXPECT_EQ(outcome.status, SearchOutcome::Status::kDone);
  EXPECT_EQ(outcome.status_text, "Nothing was found...");
}

TEST_F(SearchTest, QueryWithoutWordsDoesNothing) {
  // Not even the missing base is reported.
  for (const char* query : {"", "   ", "***", "-,-"}) {
    SearchOutcome outcome = Search(query);
    EXPECT_EQ(outcome.status, SearchOutcome::Status::kNothingToDo) << query;
    EXPECT_TRUE(outcome.messages.empty());
  }
}

TEST_F(SearchTest, MissingBaseNamesTheFullPath) {
  SearchOutcome outcome = Search("a b");
  EXPECT_EQ(outcome.status, SearchOutcome::Status::kFailed);
  ASSERT_EQ(outcome.messages.size(), 1u);
  EXPECT_EQ(outcome.messages[0],
            (UserMessage{MessageKind::kPlainDialog, "Veskara",
                         "Database file " + dir_.path() +
                             "/wrds.txt is not found. You should add to base one or more directory first."}));
  // A folder of that name is no base either.
  ASSERT_EQ(mkdir((dir_ / "wrds.txt").c_str(), 0755), 0);
  EXPECT_EQ(Search("a").status, SearchOutcome::Status::kFailed);
}

TEST_F(SearchTest, BaseThatWillNotOpen) {
  // A FIFO exists but is never opened for reading (it could block).
  ASSERT_EQ(mkfifo((dir_ / "wrds.txt").c_str(), 0644), 0);
  SearchOutcome outcome = Search("a");
  EXPECT_EQ(outcome.status, SearchOutcome::Status::kFailed);
  ASSERT_EQ(outcome.messages.size(), 1u);
  EXPECT_EQ(outcome.messages[0], (UserMessage{MessageKind::kPlainDialog, "Veskara", "Can't open file wrds.txt"}));
}

// 30 words A00..A29 all in file 1, and B00..B29 likewise: "a b" makes 900
// combinations, so the pass stops at the 501st.
std::string CrowdedBase() {
  std::vector<std::string> lines;
  for (char letter : {'A', 'B', 'C'}) {
    for (int i = 0; i < 30; ++i) {
      lines.push_back(std::string(1, letter) + (i < 10 ? "0" : "") + std::to_string(i));
      lines.push_back(letter == 'C' && i >= 2 ? "2" : "1");
    }
  }
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

// Numbers are texts whatever their size: small canonical ones, large ones
// and ones with a leading zero narrow alike.
TEST_F(SearchTest, NarrowingComparesNumbersOfAnySizeAsTexts) {
  Base(CrLf({"CAT", "2097151,2097152,5,05,0,99999999,123456789012", "DOG", "05,2097152,0,7,99999999,123456789012,00",
             "DOT", "2097151,5"}));
  EXPECT_EQ(Texts(Search("cat do")),
            (std::vector<std::string>{"CAT ... DOG | 2097152,05,0,99999999,123456789012", "CAT ... DOT | 2097151,5"}));
  EXPECT_EQ(Texts(Search("cat do")), Texts(LiteralSearch(dir_.path(), "cat do")));
}

TEST_F(SearchTest, PassEndsAtTheFiveHundredFirstEntry) {
  Base(CrowdedBase());
  SearchOutcome outcome = Search("a b");
  ASSERT_EQ(outcome.entries.size(), 501u);
  EXPECT_EQ(outcome.entries.back().text, "A20 ... B16");  // 16 * 30 + 21 = 501
  ASSERT_EQ(outcome.messages.size(), 1u);
  EXPECT_EQ(outcome.messages[0], (UserMessage{MessageKind::kInformationBox, "Information", kTooMany}));
  EXPECT_EQ(outcome.status_text, "");
}

TEST_F(SearchTest, PassesAfterTheLimitNarrowTheCappedEntries) {
  Base(CrowdedBase());
  // Over the limit in the second pass, and again in the third: one message,
  // and the third pass combines the 501 capped entries with C00 and stops there.
  SearchOutcome outcome = Search("a b c");
  ASSERT_EQ(outcome.messages.size(), 1u);
  ASSERT_EQ(outcome.entries.size(), 501u);
  EXPECT_EQ(outcome.entries[0].text, "A00 ... B00 ... C00");
  EXPECT_EQ(outcome.entries[500].text, "A20 ... B16 ... C00");
  // The third word matches nothing that shares a file: nothing found, and
  // still a single message about the second pass.
  SearchOutcome narrowed = Search("a b c02");
  EXPECT_EQ(narrowed.messages.size(), 1u);
  EXPECT_TRUE(narrowed.entries.empty());
  EXPECT_EQ(narrowed.status_text, "Nothing was found...");
  EXPECT_EQ(Texts(Search("a b c")), Texts(LiteralSearch(dir_.path(), "a b c")));
}

// Differential: random small bases, including lines the program never
// writes, against the literal passes.
TEST_F(SearchTest, MatchesTheLiteralPassesOnRandomBases) {
  std::mt19937 rng(11);
  const std::string letters = "AB1\xC0";
  auto random_word = [&](size_t max_len) {
    std::string w;
    size_t len = 1 + rng() % max_len;
    for (size_t i = 0; i < len; ++i) w.push_back(letters[rng() % letters.size()]);
    return w;
  };
  size_t over_limit_rounds = 0;
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    size_t records = rng() % 100;
    for (size_t r = 0; r < records; ++r) {
      std::string word = random_word(4);
      if (rng() % 20 == 0) word.insert(rng() % word.size(), "\r");  // a stray CR in the text
      std::string numbers;
      size_t count = 1 + rng() % 5;
      for (size_t i = 0; i < count; ++i) {
        if (i > 0) numbers += rng() % 15 == 0 ? ",," : ",";
        numbers += (rng() % 10 == 0 ? "0" : "") + std::to_string(rng() % 8);
      }
      bytes += word + "\r\n" + numbers + (r + 1 < records || rng() % 2 ? "\r\n" : "");
    }
    if (rng() % 5 == 0) bytes += random_word(3);  // a word line without numbers
    Base(bytes);
    std::string query;
    size_t words = 1 + rng() % 4;
    for (size_t i = 0; i < words; ++i) query += random_word(rng() % 3 == 0 ? 2 : 1) + (rng() % 2 ? " " : "-");
    SearchOutcome fast = Search(query);
    SearchOutcome literal = LiteralSearch(dir_.path(), query);
    ASSERT_EQ(Texts(fast), Texts(literal)) << "round " << round << " query " << query;
    ASSERT_EQ(fast.messages, literal.messages) << "round " << round;
    ASSERT_EQ(fast.status_text, literal.status_text);
    over_limit_rounds += fast.messages.size();
  }
  EXPECT_GT(over_limit_rounds, 10u) << "the limit should be reached in some rounds";
}

// Larger bases whose lines cross the reader's buffers, with the bytes that
// bend the line rules: empty lines, CRs that open a line, a Ctrl-Z, and
// number lines that begin like the query.
TEST_F(SearchTest, MatchesTheLiteralPassesOnAwkwardLargeBases) {
  std::mt19937 rng(23);
  const std::string letters = "AB12";
  auto random_word = [&](size_t max_len) {
    std::string w;
    size_t len = 1 + rng() % max_len;
    for (size_t i = 0; i < len; ++i) w.push_back(letters[rng() % letters.size()]);
    return w;
  };
  for (int round = 0; round < 24; ++round) {
    std::string bytes;
    size_t target = round < 12 ? 5000 + rng() % 50000 : (1 << 20) + rng() % (1 << 20);
    while (bytes.size() < target) {
      // Long stretches of lines that cannot match, so that whole blocks are skipped.
      if (rng() % 200 == 0) {
        for (int i = rng() % 3000; i > 0; --i) bytes += "ZZ\r\n3,4\r\n";
      }
      switch (rng() % 12) {
        case 0:
          bytes += "\r\n";
          break;  // an empty line
        case 1:
          bytes += "\r" + random_word(3) + "\r\n";
          break;  // a CR that opens a line
        case 2:
          bytes += random_word(2) + ",1\r\n";
          break;  // a number line like a word
        case 3:
          if (round % 4 == 3 && rng() % 40 == 0) bytes += "Q\x1aX\r\n";  // Ctrl-Z inside a line
          break;
        default: {
          std::string numbers;
          for (size_t i = 1 + rng() % 3; i > 0; --i) numbers += std::to_string(rng() % 6) + (i > 1 ? "," : "");
          bytes += random_word(4) + "\r\n" + numbers + "\r\n";
        }
      }
    }
    if (round % 2) bytes += random_word(3);  // a last word line without numbers
    Base(bytes);
    std::string query;
    for (size_t i = 1 + rng() % 3; i > 0; --i) query += random_word(2) + " ";
    SearchOutcome fast = Search(query);
    SearchOutcome literal = LiteralSearch(dir_.path(), query);
    ASSERT_EQ(Texts(fast), Texts(literal)) << "round " << round << " query " << query;
    ASSERT_EQ(fast.messages, literal.messages) << "round " << round;
  }
}

// Windows-1251: Е C5, Ё A8, е E5, ё B8.
TEST_F(SearchTest, FoldedYoMatchesBothLettersOnlyWhenAsked) {
  // ЕЖ, ЁЖИК, ОТЧЕТ, ОТЧЁТ, ОТЧЁТЫ
  Base(CrLf({"\xC5\xC6", "1", "\xA8\xC6\xC8\xCA", "2", "\xCE\xD2\xD7\xC5\xD2", "3", "\xCE\xD2\xD7\xA8\xD2", "4",
             "\xCE\xD2\xD7\xA8\xD2\xDB", "3,4"}));
  struct Case {
    const char* query;
    bool fold;
    std::vector<std::string> rows;
  } cases[] = {
      {"\xE5\xE6", false, {"\xC5\xC6 | 1"}},                          // еж: exact
      {"\xE5\xE6", true, {"\xC5\xC6 | 1", "\xA8\xC6\xC8\xCA | 2"}},   // еж finds ЁЖИК
      {"\xB8\xE6", true, {"\xC5\xC6 | 1", "\xA8\xC6\xC8\xCA | 2"}},   // ёж finds ЕЖ
      {"\xB8\xE6", false, {"\xA8\xC6\xC8\xCA | 2"}},                  // ёж: exact
      {"\xEE\xF2\xF7\xE5\xF2", false, {"\xCE\xD2\xD7\xC5\xD2 | 3"}},  // отчет
      {"\xEE\xF2\xF7\xE5\xF2",
       true,
       {"\xCE\xD2\xD7\xC5\xD2 | 3", "\xCE\xD2\xD7\xA8\xD2 | 4", "\xCE\xD2\xD7\xA8\xD2\xDB | 3,4"}},
      // Two words that fold to one are matched once and narrow twice.
      {"\xE5\xE6 \xB8\xE6", true, {"\xC5\xC6 ... \xC5\xC6 | 1", "\xA8\xC6\xC8\xCA ... \xA8\xC6\xC8\xCA | 2"}},
      {"\xEE\xF2\xF7\xB8\xF2 \xEE\xF2\xF7\xE5\xF2\xFB",
       true,
       {"\xCE\xD2\xD7\xC5\xD2 ... \xCE\xD2\xD7\xA8\xD2\xDB | 3",
        "\xCE\xD2\xD7\xA8\xD2 ... \xCE\xD2\xD7\xA8\xD2\xDB | 4",
        "\xCE\xD2\xD7\xA8\xD2\xDB ... \xCE\xD2\xD7\xA8\xD2\xDB | 3,4"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Texts(RunSearch(dir_.path(), c.query, SearchOptions{.fold_yo = c.fold}, Env::Default())), c.rows)
        << c.query << (c.fold ? " folded" : "");
  }
}

// Folding the query's Ё and the base's word lines first, then searching as
// written, gives the folded search's entries with their words folded.
TEST_F(SearchTest, FoldedSearchMatchesTheLiteralPassesOnAFoldedBase) {
  std::mt19937 rng(5);
  const std::string letters =
      "\xC5\xA8\xE5\xB8"
      "AB";
  auto random_word = [&](size_t max_len) {
    std::string w;
    for (size_t len = 1 + rng() % max_len; len > 0; --len) w.push_back(letters[rng() % letters.size()]);
    return w;
  };
  auto fold = [](std::string text) {
    for (char& c : text) c = FoldYo(c);
    return text;
  };
  for (int round = 0; round < 200; ++round) {
    std::string bytes;
    std::string folded_bytes;
    for (size_t r = rng() % 60; r > 0; --r) {
      std::string word = random_word(4);
      UpperCase1251InPlace(word);                                   // the base holds capitals only
      if (rng() % 20 == 0) word.insert(rng() % word.size(), "\r");  // a stray CR in the text
      const std::string numbers = std::to_string(rng() % 5) + "," + std::to_string(5 + rng() % 5);
      bytes += word + "\r\n" + numbers + "\r\n";
      folded_bytes += fold(word) + "\r\n" + numbers + "\r\n";
    }
    std::string query;
    for (size_t i = 1 + rng() % 3; i > 0; --i) query += random_word(2) + " ";
    Base(bytes);
    SearchOutcome folded = RunSearch(dir_.path(), query, SearchOptions{.fold_yo = true}, Env::Default());
    std::vector<std::string> texts = Texts(folded);
    for (std::string& t : texts) t = fold(t);
    Base(folded_bytes);
    std::string upper_query = query;
    UpperCase1251InPlace(upper_query);
    SearchOutcome literal = LiteralSearch(dir_.path(), fold(upper_query));
    ASSERT_EQ(texts, Texts(literal)) << "round " << round;
    ASSERT_EQ(folded.messages, literal.messages) << "round " << round;
  }
}

}  // namespace
}  // namespace veskara
