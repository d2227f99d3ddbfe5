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

// The kind is the own name's alone; a name of two kinds is read as both, in
// the table's order.
TEST(KindsOf, ComeFromTheOwnNameInTableOrder) {
  using K = DocumentKind;
  const struct {
    const char* path;
    std::vector<K> kinds;
    bool converts;
  } cases[] = {
      {"/docs/a.htm", {K::kPage}, false},
      {"/docs/Report.PDF", {K::kPdf}, true},
      {"/docs/page.htm.pdf", {K::kPage, K::kPdf}, true},
      {"/docs/both.pdf.htm", {K::kPage, K::kPdf}, true},
      {"/site.html/b.pdf", {K::kPdf}, true},  // a folder's name counts for nothing
      {"/old.pdf/page.htm", {K::kPage}, false},
      {"/old.htm/readme.txt", {}, false},
      {"x.php", {K::kPage}, false},  // no folder at all
      {"/docs/", {}, false},
      {"", {}, false},
  };
  for (const auto& c : cases) {
    const DocumentKinds kinds = KindsOf(c.path);
    EXPECT_EQ(std::vector<K>(kinds.begin(), kinds.end()), c.kinds) << c.path;
    EXPECT_EQ(kinds.empty(), c.kinds.empty()) << c.path;
    EXPECT_EQ(kinds.Converts(), c.converts) << c.path;
    EXPECT_EQ(kinds.IsOnly(K::kPdf), c.kinds == std::vector<K>{K::kPdf}) << c.path;
    for (const K kind : {K::kPage, K::kPdf}) {
      EXPECT_EQ(kinds.Has(kind), std::find(c.kinds.begin(), c.kinds.end(), kind) != c.kinds.end()) << c.path;
    }
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
  EXPECT_EQ(KindsText(KindsOf("/d/a.htm.pdf")), "page+pdf");
  EXPECT_EQ(KindsText(KindsOf("/d/notes.txt")), "");
}

}  // namespace
}  // namespace veskara
