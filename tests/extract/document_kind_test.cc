#include "extract/document_kind.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace veskara {
namespace {

struct NameCase {
  const char* name;
  bool markup;
  bool pdf;
};

TEST(NameTests, AreSubstringTestsOnTheUpperCasedName) {
  const NameCase cases[] = {
      {"INDEX.Html", true, false},
      {"x.PHP3", true, false},
      {"archive.pdf.zip", false, true},
      {"notes.txt", false, false},
      {"page.xhtm", false, false},  // no "." directly before "HTM"
      {"a.SHTML", true, false},
      {"a.htm.bak", true, false},
      {"report.pdf.txt", false, true},
      {"both.pdf.htm", true, true},
      {".htm", true, false},
      {"a.ph", false, false},
      {"a.pd", false, false},
      {"htm", false, false},
      {"", false, false},
      {"/docs/old.htm/readme.txt", true, false},  // a folder in the path counts
      {"a..HtM", true, false},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(IsMarkupFile(c.name), c.markup) << c.name;
    EXPECT_EQ(IsPdfFile(c.name), c.pdf) << c.name;
    EXPECT_EQ(IsSupportedFile(c.name), c.markup || c.pdf) << c.name;
  }
}

// The groups named in `names` ("text office", "all").
KindChoice Choice(const std::string& names) {
  if (names == "all") return KindChoice::All();
  KindChoice choice;
  for (KindGroup group : kKindGroups) {
    if (names.find(KindGroupName(group)) != std::string::npos) choice.Set(group, true);
  }
  return choice;
}

// The kind is the own name's alone; a name of two kinds is read as both, in
// the table's order. The written kinds come first and whatever the choice;
// a chosen kind only for a name of no written kind, by its ending.
TEST(KindsOf, ComeFromTheOwnNameInTableOrder) {
  using K = DocumentKind;
  using C = Compression;
  const struct {
    const char* path;
    const char* choice;
    std::vector<K> kinds;
    bool converts;
    C compression = C::kNone;
  } cases[] = {
      {"/docs/a.htm", "", {K::kPage}, false},
      {"/docs/Report.PDF", "", {K::kPdf}, true},
      {"/docs/page.htm.pdf", "", {K::kPage, K::kPdf}, true},
      {"/docs/both.pdf.htm", "", {K::kPage, K::kPdf}, true},
      {"/site.html/b.pdf", "", {K::kPdf}, true},  // a folder's name counts for nothing
      {"/old.pdf/page.htm", "", {K::kPage}, false},
      {"/old.htm/readme.txt", "", {}, false},
      {"x.php", "", {K::kPage}, false},  // no folder at all
      {"/docs/", "", {}, false},
      {"", "", {}, false},
      // Chosen kinds, by the ending, in any case.
      {"/docs/notes.TXT", "text", {K::kText}, false},
      {"/docs/notes.txt", "office ebook compressed", {}, false},
      {"/src/main.cc", "text", {K::kText}, false},
      {"/src/.txt", "text", {}, false},                   // nothing before the ending
      {"/docs/report.pdf.txt", "text", {K::kPdf}, true},  // a written kind stays what it was
      {"/docs/letter.docx", "office", {K::kDocx}, true},
      {"/docs/Sheet.XLSX", "office", {K::kXlsx}, true},
      {"/docs/talk.pptx", "office", {K::kPptx}, true},
      {"/docs/letter.odt", "office", {K::kOdt}, true},
      {"/docs/sums.ods", "office", {K::kOds}, true},
      {"/docs/talk.odp", "office", {K::kOdp}, true},
      {"/docs/letter.docx", "text ebook", {}, false},
      {"/books/war.epub", "ebook", {K::kEpub}, true},
      // Compressed: the kinds of the name without its ending, through the
      // decompressor; only with the group chosen.
      {"/usr/share/doc/x/manual.pdf.gz", "", {K::kPdf}, true},
      {"/usr/share/doc/x/manual.pdf.gz", "compressed", {K::kPdf}, true, C::kGzip},
      {"/usr/share/doc/x/page.html.bz2", "compressed", {K::kPage}, true, C::kBzip2},
      {"/usr/share/doc/x/changelog.txt.xz", "compressed", {}, false},
      {"/usr/share/doc/x/changelog.txt.xz", "text compressed", {K::kText}, true, C::kXz},
      {"/usr/share/doc/x/changelog.gz", "all", {}, false},
      {"/usr/share/doc/x/book.epub.GZ", "all", {K::kEpub}, true, C::kGzip},
  };
  for (const auto& c : cases) {
    const DocumentKinds kinds = KindsOf(c.path, Choice(c.choice));
    const std::string where = std::string(c.path) + " [" + c.choice + "]";
    EXPECT_EQ(std::vector<K>(kinds.begin(), kinds.end()), c.kinds) << where;
    EXPECT_EQ(kinds.empty(), c.kinds.empty()) << where;
    EXPECT_EQ(kinds.Converts(), c.converts) << where;
    EXPECT_EQ(kinds.compression(), c.compression) << where;
    EXPECT_EQ(kinds.IsOnly(K::kPdf), c.kinds == std::vector<K>{K::kPdf}) << where;
    EXPECT_EQ(Takes(OwnName(c.path), Choice(c.choice)), !c.kinds.empty() || IsSupportedFile(OwnName(c.path))) << where;
  }
}

// Every kind has a name of its own, which names it back: the command line
// and the table of files take the kinds from the table alone.
TEST(KindNames, NameEveryKindOnceAndBack) {
  const auto names = KindNames();
  for (size_t i = 0; i < names.size(); ++i) {
    ASSERT_FALSE(names[i].empty());
    EXPECT_EQ(names[i].find_first_of(" +,\t"), std::string_view::npos) << names[i];
    const std::optional<DocumentKind> kind = KindNamed(names[i]);
    ASSERT_TRUE(kind.has_value()) << names[i];
    EXPECT_EQ(KindName(*kind), names[i]);
    EXPECT_EQ(std::count(names.begin(), names.end(), names[i]), 1) << names[i];
  }
  EXPECT_EQ(KindName(DocumentKind::kPage), "page");
  EXPECT_EQ(KindName(DocumentKind::kPdf), "pdf");
  EXPECT_FALSE(KindNamed("PDF").has_value());
  EXPECT_FALSE(KindNamed("").has_value());
  EXPECT_EQ(KindsText(KindsOf("/d/a.htm.pdf", KindChoice())), "page+pdf");
  EXPECT_EQ(KindsText(KindsOf("/d/notes.txt", KindChoice())), "");
  EXPECT_EQ(KindsText(KindsOf("/d/notes.txt", KindChoice::All())), "text");
}

}  // namespace
}  // namespace veskara
