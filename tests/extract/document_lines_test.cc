// The lines of a document as they are shown: pages and PDF documents against
// the lines expected, and the words of shown lines against the readers'.
#include "extract/document_lines.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/document_words.h"
#include "extract/tokenizer.h"
#include "pdf_maker.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::MakePdfPages;
using testing::TempDir;
using testing::WriteFile;

// "NUMBER:TEXT" of each shown line.
std::vector<std::string> Shown(const std::vector<ShownLine>& lines) {
  std::vector<std::string> out;
  for (const ShownLine& line : lines) out.push_back(std::to_string(line.number) + ":" + line.text);
  return out;
}

std::vector<ShownLine> PageLines(const std::string& path, std::string* failure = nullptr) {
  std::vector<ShownLine> lines;
  std::string reason = ForEachPageLine(Env::Default(), path, [&](const ShownLine& line) { lines.push_back(line); });
  if (failure != nullptr) *failure = reason;
  return lines;
}

struct PageCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};
void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }

class PageLinesTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageLinesTest, ShowsTheTextOutsideTags) {
  TempDir dir;
  WriteFile(dir / "page.htm", GetParam().bytes);
  std::string failure = "not called";
  EXPECT_EQ(Shown(PageLines(dir / "page.htm", &failure)), GetParam().lines);
  EXPECT_EQ(failure, "");
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageLinesTest,
    ::testing::Values(PageCase{"Tags", "Hello <b>World</b>\r\n", {"1:Hello World"}},
                      // A tag separates words for the tokenizer, so it shows as a blank.
                      PageCase{"TagBetweenLetters", "<td>WOR</td><td>LD</td>", {"1:WOR LD"}},
                      // Punctuation that holds on to a word needs no blank for a tag.
                      PageCase{"TagBesidePunctuation",
                               "<p>Say <b>this</b>, (<i>that</i>) &laquo;<q>so</q>&raquo;.</p>",
                               {"1:Say this, (that) «so»."}},
                      PageCase{"LineNumbersCountEveryLine", "<html>\n<body>\n\n<p>text</p>\n", {"4:text"}},
                      PageCase{"TagAcrossLines", "abc <a\nhref=x> def\n", {"1:abc", "2:def"}},
                      // The lone ">" is too short for the reader, so the tag stays open.
                      PageCase{"CloserOnAShortLine", "text <a\n>\nhidden words\nstill> shown\n", {"1:text", "4:shown"}},
                      PageCase{"CloserOutsideATag", "a > b ok", {"1:a > b ok"}},
                      PageCase{
                          "Entities",
                          "caf&eacute; &amp; &lt;b&gt; &#1055;&#x440;&#X438; &NBSP;x&nbsp;y &bogus; &amp &#; &#xZ;",
                          {"1:café & <b> При x y &bogus; &amp &#; &#xZ;"}},
                      PageCase{"EntitiesOfNothing",
                               "a&#0;b &#1114112; c&#27;d&#x9B;e",
                               {"1:a\xEF\xBF\xBD"
                                "b \xEF\xBF\xBD c d e"}},
                      PageCase{"BlanksCollapse",
                               "  a \t\t b\x01\x7F"
                               "c  ",
                               {"1:a b c"}},
                      // A terminal must never receive a control byte from a page.
                      PageCase{"ControlBytes",
                               "red\x1b[31mtext \xC2\x9B"
                               "2J end",
                               {"1:red [31mtext 2J end"}},
                      PageCase{"Windows1251", "\xcf\xf0\xe8\xe2\xe5\xf2 \x98\xA0 ok", {"1:Привет ok"}},
                      PageCase{"Utf8", "Привет, мир", {"1:Привет, мир"}},
                      PageCase{"CharacterWithoutAForm", "ab日cd", {"1:ab日cd"}},
                      PageCase{"CrOnlyLineEnds", "one\rtwo\r", {"1:onetwo"}},
                      PageCase{"CtrlZ",
                               "first\nsec\x1a"
                               "ond\nthird\n\x1alast\n",
                               {"1:first", "2:sec", "3:third"}},
                      PageCase{"ShortLines", "x\n<\nab\n", {"3:ab"}}, PageCase{"Empty", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PageLines, LettersAreWhatTheTokenizerSees) {
  TempDir dir;
  WriteFile(dir / "page.htm", "caf&eacute; ёж日x");
  std::vector<ShownLine> lines = PageLines(dir / "page.htm");
  ASSERT_EQ(lines.size(), 1u);
  // é and 日 have no Windows-1251 form: separators; ё is upper-cased.
  EXPECT_EQ(lines[0].letters, "CAF  \xA8\xC6 X");
  EXPECT_EQ(lines[0].starts, (std::vector<uint32_t>{0, 1, 2, 3, 5, 6, 8, 10, 13, 14}));
}

TEST(PageLines, WhatCannotBeRead) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe.htm").c_str(), 0644), 0);
  ASSERT_EQ(::mkdir((dir / "folder.htm").c_str(), 0755), 0);
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {dir / "missing.htm", "File not found"},
      {dir / "pipe.htm", "not a regular file (a FIFO, socket or device)"},
      {dir / "folder.htm", "a folder, not a document"},
  };
  for (const auto& c : cases) {
    std::string failure;
    EXPECT_TRUE(PageLines(c.path, &failure).empty()) << c.path;
    EXPECT_EQ(failure, c.reason) << c.path;
  }
}

// Differential: over random pages without entities, the words of the shown
// lines are exactly the words the markup reader indexes.
TEST(PageLines, WordsAreTheMarkupReadersWords) {
  std::mt19937 rng(17);
  const std::vector<std::string> pieces = {"ab",   "Xy1", "Привет", "\xcf\xf0\xe8", "<",    ">",  " ",    "\t",   "\n",
                                           "\r\n", "\r",  "q",      "日",           "\x1a", "ёЁ", "\x98", "\xA0", "-"};
  TempDir dir;
  for (int round = 0; round < 300; ++round) {
    std::string page;
    for (size_t n = rng() % 80; n > 0; --n) page += pieces[rng() % pieces.size()];
    WriteFile(dir / "page.htm", page);
    DocumentWords words;
    { THTMLFile reader(dir / "page.htm", words, Env::Default()); }
    std::vector<std::string> indexed;
    for (const uint32_t id : words.occurrences) indexed.emplace_back(words.words.Get(id));
    std::vector<std::string> shown;
    for (const ShownLine& line : PageLines(dir / "page.htm")) {
      ForEachWord(line.letters, [&](std::string_view w) { shown.emplace_back(w); });
    }
    ASSERT_EQ(shown, indexed) << "round " << round;
  }
}

// "abc abc ... " of `chars` characters (a multiple of 4).
std::string Filler(size_t chars) {
  std::string out;
  for (size_t i = 0; i < chars / 4; ++i) out += "abc ";
  return out;
}

// Regression: show and the preview held a line as a few vectors of eight
// bytes per character, 34 times a one-line page. A line of more than
// kLongestShownLine characters is read a piece at a time and shown as that
// many around its first wanted word, no word cut at either end.
TEST(PageLines, ALongLineIsCutAroundItsFirstWantedWord) {
  const WantedWord garden = [](std::string_view word) { return word.starts_with("GARDEN"); };
  const std::string long_word = "garden" + std::string(3000, 'x');
  const struct {
    const char* name;
    std::string line;
    bool wanted;
    std::string shown;  // a piece of the shown text
    bool cut_before, cut_after;
  } cases[] = {
      {"short", Filler(4000) + "garden", true, "abc garden", false, false},
      {"in the middle", Filler(20000) + "garden " + Filler(20000), true, "abc garden abc", true, true},
      {"near the start", Filler(100) + "garden " + Filler(20000), true, "abc garden abc", false, true},
      {"near the end", Filler(20000) + "garden " + Filler(100), true, "abc garden abc", true, false},
      {"no wanted word", Filler(20000), true, "abc abc", false, true},
      {"none asked for", Filler(100) + "garden " + Filler(20000), false, "abc garden abc", false, true},
      // An entity and a tag where the line is cut into pieces for reading.
      {"across pieces", Filler(65532) + "x &amp;<b>garden</b> " + Filler(8000), true, "abc x & garden abc", true, true},
      {"a wanted word longer than the window", Filler(8000) + long_word + " " + Filler(8000), true, "abc garden", true,
       true},
      {"one huge word", std::string(10000, 'x'), true, "xxx", false, true},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile(dir / "page.htm", "<p>first</p>\n" + c.line + "\nlast\n");
    std::vector<ShownLine> lines;
    const std::string failure = ForEachPageLine(
        Env::Default(), dir / "page.htm", [&](const ShownLine& line) { lines.push_back(line); },
        c.wanted ? garden : WantedWord());
    EXPECT_EQ(failure, "") << c.name;
    ASSERT_EQ(lines.size(), 3u) << c.name;
    const ShownLine& line = lines[1];
    EXPECT_EQ(lines[2].text, "last") << c.name;  // the lines after it are untouched
    EXPECT_EQ(line.number, 2u) << c.name;
    EXPECT_NE(line.text.find(c.shown), std::string::npos) << c.name << ": " << line.text.substr(0, 80);
    EXPECT_EQ(line.cut_before, c.cut_before) << c.name;
    EXPECT_EQ(line.cut_after, c.cut_after) << c.name;
    EXPECT_LE(line.letters.size(), kLongestShownLine) << c.name;
    EXPECT_EQ(line.starts.size(), line.letters.size() + 1) << c.name;
    EXPECT_EQ(line.starts.back(), line.text.size()) << c.name;
    EXPECT_FALSE(line.text.starts_with(" ") || line.text.ends_with(" ")) << c.name;
    // No word cut in two: every word is one the line holds whole.
    ForEachWord(line.letters, [&](std::string_view word) {
      EXPECT_TRUE(word == "ABC" || word == "X" || word == "GARDEN" || word.starts_with("GARDENXXX") ||
                  word == std::string(kLongestShownLine, 'X'))
          << c.name << ": " << word.substr(0, 20);
    });
  }
}

class PdfLinesTest : public ::testing::Test {
 protected:
  std::vector<std::string> Lines(const std::string& pdf_bytes, std::string* failure = nullptr) {
    WriteFile(documents_ / "doc.pdf", pdf_bytes);
    std::vector<ShownLine> lines;
    std::string reason = ForEachPdfLine(Env::Default(), documents_ / "doc.pdf", {.folder = conversion_.path()},
                                        [&](const ShownLine& line) { lines.push_back(line); });
    if (failure != nullptr) *failure = reason;
    return Shown(lines);
  }
  TempDir documents_;
  TempDir conversion_;
};

TEST_F(PdfLinesTest, LinesCarryTheirPageNumber) {
  std::string failure = "not called";
  EXPECT_EQ(Lines(MakePdfPages({{"Hello, World", "<ABC>   x"}, {"second page"}, {}, {"fourth"}}), &failure),
            (std::vector<std::string>{"1:Hello, World", "1:<ABC> x", "2:second page", "4:fourth"}));
  EXPECT_EQ(failure, "");
  EXPECT_FALSE(std::filesystem::exists(conversion_ / "temp___"));
}

TEST_F(PdfLinesTest, DocumentThatDoesNotConvert) {
  std::string failure;
  EXPECT_EQ(Lines("not a document at all", &failure), std::vector<std::string>{});
  EXPECT_EQ(failure, "not a PDF document, or damaged beyond repair");
}

}  // namespace
}  // namespace veskara
