// The matching lines of a document: queries against the lines expected, with
// the matched words in brackets.
#include "matches/document_matches.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "fault_env.h"
#include "office_maker.h"
#include "pdf_maker.h"
#include "platform/cp1251.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::MakePdfPages;
using testing::TempDir;
using testing::WriteFile;

// "LABEL:TEXT" with every matched word in brackets.
std::vector<std::string> Marked(const DocumentMatches& matches) {
  std::vector<std::string> out;
  for (const MatchingLine& line : matches.lines) {
    std::string text = line.text;
    for (auto span = line.spans.rbegin(); span != line.spans.rend(); ++span) {
      text.insert(span->end, "]");
      text.insert(span->begin, "[");
    }
    out.push_back(LineLabel(line) + ":" + text);
  }
  return out;
}

DocumentMatches Find(const std::string& path, const std::string& utf8_query, bool fold_yo = false) {
  return FindDocumentMatches(path, EncodeCp1251(utf8_query, ' '), SearchOptions{.fold_yo = fold_yo}, "/nonexistent",
                             Env::Default());
}

TEST(DocumentMatchesTest, PageLinesThatHoldAWordOfTheQuery) {
  TempDir dir;
  WriteFile(dir / "garden.htm",
            "<html><head><title>Planting</title></head>\n"
            "<body>\n"
            "<p>Tomatoes need sun. Plant them late;\n"
            "the planner <b>plans</b> and replants.</p>\n"
            "<p>Отчёт о посадке: ОТЧЕТ готов, отчет&nbsp;принят.</p>\n"
            "<p>Ёжик и ель, еж и ёлка</p>\n"
            "<a href=\"plant.htm\">more</a> x-plant\n");
  struct Case {
    const char* query;
    bool fold;
    std::vector<std::string> lines;
  } cases[] = {
      {"plant", false, {"1:[Planting]", "3:Tomatoes need sun. [Plant] them late;", "7:more x-[plant]"}},
      {"  PLAN sun ",
       false,
       {"1:[Planting]", "3:Tomatoes need [sun]. [Plant] them late;", "4:the [planner] [plans] and replants.",
        "7:more x-[plant]"}},
      {"отчет", false, {"5:Отчёт о посадке: [ОТЧЕТ] готов, [отчет] принят."}},
      {"отчет", true, {"5:[Отчёт] о посадке: [ОТЧЕТ] готов, [отчет] принят."}},
      {"ОТЧЁТ", false, {"5:[Отчёт] о посадке: ОТЧЕТ готов, отчет принят."}},
      {"еж", true, {"6:[Ёжик] и ель, [еж] и ёлка"}},
      {"ёл", false, {"6:Ёжик и ель, еж и [ёлка]"}},
      // A word is two or more letters, as the base holds them.
      {"x", false, {}},
      {"href", false, {}},  // inside a tag
      {"zebra", false, {}},
  };
  for (const Case& c : cases) {
    DocumentMatches matches = Find(dir / "garden.htm", c.query, c.fold);
    EXPECT_EQ(matches.status, DocumentMatches::Status::kRead) << c.query;
    EXPECT_EQ(matches.heading, "Line");
    EXPECT_EQ(Marked(matches), c.lines) << c.query << (c.fold ? " folded" : "");
  }
}

TEST(DocumentMatchesTest, PdfLinesCarryTheirPage) {
  TempDir dir;
  WriteFile(dir / "report.PDF", MakePdfPages({{"Annual report", "planning ahead"}, {"nothing here"}, {"Plans: more"}}));
  DocumentMatches matches = Find(dir / "report.PDF", "plan");
  EXPECT_EQ(matches.status, DocumentMatches::Status::kRead);
  EXPECT_EQ(matches.heading, "Page");
  EXPECT_EQ(Marked(matches), (std::vector<std::string>{"p.1:[planning] ahead", "p.3:[Plans]: more"}));
}

// The type is the file's own name's: a folder named like a PDF makes no page
// of its files a PDF document.
TEST(DocumentMatchesTest, TypeComesFromTheOwnName) {
  TempDir dir;
  WriteFile(dir / "old.pdf/page.htm", "plain words");
  WriteFile(dir / "notes.txt", "plain words");
  for (const char* name : {"old.pdf/page.htm", "notes.txt"}) {
    DocumentMatches matches = Find(dir / name, "plain");
    EXPECT_EQ(matches.heading, "Line") << name;
    EXPECT_EQ(Marked(matches), std::vector<std::string>{"1:[plain] words"}) << name;
  }
}

// A name of two kinds is read as the scan reads it: as a page, then as a
// PDF document. A reading that fails gives no lines and leaves the other's.
TEST(DocumentMatchesTest, ANameOfBothKindsIsReadAsBoth) {
  TempDir dir;
  const std::string pdf = MakePdfPages({{"planning ahead"}});
  WriteFile(dir / "report.htm.pdf", pdf);
  WriteFile(dir / "page.htm.pdf", "<b>planning</b> ahead");
  const auto at = static_cast<std::ptrdiff_t>(pdf.find("(planning ahead)"));
  const std::string line = std::to_string(std::count(pdf.begin(), pdf.begin() + at, '\n') + 1);
  const struct {
    const char* name;
    std::vector<std::string> lines;
  } cases[] = {
      // The raw bytes as a page hold the words too, as the base does.
      {"report.htm.pdf", {line + ":([planning] ahead) Tj T*", "p.1:[planning] ahead"}},
      {"page.htm.pdf", {"1:[planning] ahead"}},  // not a PDF document
  };
  for (const auto& c : cases) {
    DocumentMatches matches = Find(dir / c.name, "plan");
    EXPECT_EQ(matches.status, DocumentMatches::Status::kRead) << c.name;
    EXPECT_EQ(matches.heading, "Line") << c.name;
    EXPECT_EQ(Marked(matches), c.lines) << c.name;
  }
  DocumentMatches missing = Find(dir / "missing.htm.pdf", "plan");
  EXPECT_EQ(missing.status, DocumentMatches::Status::kUnreadable);
  EXPECT_EQ(missing.unread_reason, "File not found");
}

TEST(DocumentMatchesTest, NoQueryWordAndUnreadableDocuments) {
  TempDir dir;
  WriteFile(dir / "a.htm", "text");
  WriteFile(dir / "bad.pdf", "not a document");
  EXPECT_EQ(Find(dir / "a.htm", " *** ").status, DocumentMatches::Status::kNoQueryWord);
  // Nothing is read for a query without words, so nothing can fail.
  EXPECT_EQ(Find(dir / "missing.htm", "-").status, DocumentMatches::Status::kNoQueryWord);
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {dir / "missing.htm", "File not found"},
      {dir.path(), "a folder, not a document"},
      {dir / "bad.pdf", "not a PDF document, or damaged beyond repair"},
      {dir / "missing.pdf", "File not found"},
  };
  for (const auto& c : cases) {
    DocumentMatches matches = Find(c.path, "text");
    EXPECT_EQ(matches.status, DocumentMatches::Status::kUnreadable) << c.path;
    EXPECT_EQ(matches.unread_reason, c.reason) << c.path;
    EXPECT_TRUE(matches.lines.empty());
  }
}

// A PDF document converts in a private folder that is gone afterwards; the
// current folder and the base folder are never written.
TEST(DocumentMatchesTest, ConversionLeavesNothingBehind) {
  TempDir tmp;
  TempDir base;
  TempDir cwd;
  WriteFile(base / "doc.pdf", MakePdfPages({{"some words"}}));
  FaultInjectionEnv env;
  env.SetVariable("TMPDIR", tmp.path());
  env.SetVariable("XDG_RUNTIME_DIR", std::nullopt);
  const std::filesystem::path old_cwd = std::filesystem::current_path();
  std::filesystem::current_path(cwd.path());
  DocumentMatches matches = FindDocumentMatches(base / "doc.pdf", "WORDS", {}, base.path(), env);
  std::filesystem::current_path(old_cwd);
  EXPECT_EQ(Marked(matches), std::vector<std::string>{"p.1:some [words]"});
  // Only the user's own parent of conversion folders stays, empty.
  const std::string own = tmp / ("veskara-" + std::to_string(geteuid()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), {}), 1);
  EXPECT_TRUE(std::filesystem::is_empty(own));
  EXPECT_TRUE(std::filesystem::is_empty(cwd.path()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(base.path()), {}), 1);
}

}  // namespace
}  // namespace veskara

namespace veskara {
namespace {

// Every kind a base may choose shows its lines, numbered by its own unit,
// through the same converter the scan uses.
TEST(DocumentMatchesTest, EveryKindShowsItsLinesByItsUnit) {
  using testing::MakeZip;
  const std::string w = "<w:r><w:t>", we = "</w:t></w:r>";
  const std::string a = "<a:p><a:r><a:t>", ae = "</a:t></a:r></a:p>";
  const struct {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
    const char* heading;
  } cases[] = {
      {"notes.md", "# Garden\n\nplant roses\n", {"1:# [Garden]"}, "Line"},
      {"letter.docx",
       MakeZip(testing::Docx("<w:p>" + w + "Dear" + we + "</w:p><w:p>" + w + "the gar" + we + w + "den grows" + we +
                             "</w:p>")),
       {"para.2:the [garden] grows"},
       "Paragraph"},
      {"sums.xlsx",
       MakeZip(testing::Xlsx({"<t>garden</t>"}, {"", "<row><c t=\"s\"><v>0</v></c></row>"})),
       {"sheet.2:[garden]"},
       "Sheet"},
      {"talk.pptx",
       MakeZip(testing::Pptx({{a + "Intro" + ae, ""}, {a + "Garden plan" + ae, ""}})),
       {"slide.2:[Garden] plan"},
       "Slide"},
      {"book.epub", MakeZip(testing::Epub({"<p>One</p><p>The garden</p>"}, {0})), {"para.2:The [garden]"}, "Paragraph"},
      {"page.html.gz", testing::Gzip("<p>line one</p>\n<b>garden</b> two\n"), {"2:[garden] two"}, "Line"},
      {"notes.txt.xz", testing::Xz("a\ngarden\n"), {"2:[garden]"}, "Line"},
      {"manual.pdf.bz2",
       testing::Bzip2(testing::MakePdfPages({{"Intro"}, {"The garden"}})),
       {"p.2:The [garden]"},
       "Page"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile(dir / c.name, c.bytes);
    const DocumentMatches matches = Find(dir / c.name, "garden");
    EXPECT_EQ(matches.status, DocumentMatches::Status::kRead) << c.name << ": " << matches.unread_reason;
    EXPECT_EQ(Marked(matches), c.lines) << c.name;
    EXPECT_EQ(matches.heading, c.heading) << c.name;
  }
}

TEST(DocumentMatchesTest, ADocumentThatIsNotWhatItsNameSaysIsUnreadable) {
  TempDir dir;
  WriteFile(dir / "letter.docx", testing::MakePdfPages({{"garden"}}));
  WriteFile(dir / "locked.odt", testing::MakeZip(testing::Odf("<text:p>garden</text:p>", "", true)));
  const DocumentMatches pdf = Find(dir / "letter.docx", "garden");
  EXPECT_EQ(pdf.status, DocumentMatches::Status::kUnreadable);
  EXPECT_EQ(pdf.unread_reason, "not a DOCX document, or damaged beyond repair");
  EXPECT_EQ(Find(dir / "locked.odt", "garden").unread_reason, "encrypted with a password");
}

}  // namespace
}  // namespace veskara
