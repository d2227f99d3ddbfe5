// The kinds a base reads, end to end through the built program: a tree of
// every kind, the written kinds alone at first, then every group, then none
// again; the hostile documents end in the unread list with their reasons.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_run.h"
#include "office_maker.h"
#include "pdf_maker.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::CliOutcome;
using testing::MakeZip;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class KindsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string w = "<w:p><w:r><w:t>", we = "</w:t></w:r></w:p>";
    WriteFile(tree_ / "page.htm", "<p>garden page</p>");
    WriteFile(tree_ / "manual.pdf.gz", testing::Gzip(testing::MakePdfPages({{"garden manual"}})));
    WriteFile(tree_ / "notes.txt", "garden notes\n");
    WriteFile(tree_ / "binary.txt", std::string("\x7F"
                                                "ELF\0\0garden",
                                                12));
    WriteFile(tree_ / "readme", "garden without a kind\n");
    WriteFile(tree_ / "office/letter.docx",
              MakeZip(testing::Docx(w + "Dear gar" + we.substr(0, 12) + "<w:r><w:t>den" + we)));
    WriteFile(tree_ / "office/sums.xlsx",
              MakeZip(testing::Xlsx({"<t>garden sums</t>"}, {"<row><c t=\"s\"><v>0</v></c></row>"})));
    WriteFile(tree_ / "books/book.epub", MakeZip(testing::Epub({"<p>garden book</p>"}, {0})));
    const std::string big = "<document>" + std::string(32 << 20, ' ') + "</document>";
    WriteFile(tree_ / "bad/bomb.docx", MakeZip({{"word/document.xml", big}}));
    WriteFile(tree_ / "bad/locked.odt", MakeZip(testing::Odf("<text:p>garden</text:p>", "", true)));
    const std::string docx = MakeZip(testing::Docx(w + "garden" + we));
    WriteFile(tree_ / "bad/damaged.docx", docx.substr(0, docx.size() / 2));
    std::string deep;
    for (int i = 0; i < 600; ++i) deep += "<p>";
    WriteFile(tree_ / "bad/deep.docx", MakeZip({{"word/document.xml", deep}}));
  }

  CliOutcome OnBase(std::vector<std::string> args) {
    args.insert(args.begin(), {"--base", base_.path()});
    return testing::RunCli(scratch_.path(), args);
  }
  std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
      end = text.find('\n', start);
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }
  std::string T(const std::string& name) { return tree_ / name; }

  TempDir tree_;
  TempDir base_;
  TempDir scratch_;
};

TEST_F(KindsTest, ABaseReadsTheKindsItIsToldToAndDropsThoseItNoLongerReads) {
  ASSERT_EQ(OnBase({"add", tree_.path()}).exit_code, 0);
  EXPECT_FALSE(std::filesystem::exists(base_ / "kinds.txt"));
  EXPECT_EQ(Lines(OnBase({"find", "garden"}).out), std::vector<std::string>{T("page.htm")});
  EXPECT_EQ(OnBase({"unread"}).out, T("manual.pdf.gz") + "\tnot a PDF document, or damaged beyond repair\n");

  CliOutcome run = OnBase({"kinds", "text", "office", "ebook", "compressed"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  // The compressed PDF document is read again, as what it is.
  EXPECT_EQ(run.out, "9 added, 1 updated, 0 removed, 4 could not be read\n");
  EXPECT_EQ(ReadFile(base_ / "kinds.txt"), "text\r\noffice\r\nebook\r\ncompressed\r\n");
  EXPECT_EQ(Lines(OnBase({"find", "garden"}).out),
            (std::vector<std::string>{T("page.htm"), T("manual.pdf.gz"), T("notes.txt"), T("books/book.epub"),
                                      T("office/letter.docx"), T("office/sums.xlsx")}));
  EXPECT_EQ(
      Lines(OnBase({"unread"}).out),
      (std::vector<std::string>{
          T("bad/bomb.docx") + "\ta part of it inflates past 256 MB or to more than 1000 times its compressed size",
          T("bad/damaged.docx") + "\tnot a DOCX document, or damaged beyond repair",
          T("bad/deep.docx") + "\tits XML nests deeper than the converter follows",
          T("bad/locked.odt") + "\tencrypted with a password"}));
  EXPECT_EQ(OnBase({"show", T("office/letter.docx"), "garden"}).out, "para.1:Dear garden\n");
  run = OnBase({"kinds"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(Lines(run.out)[0].substr(0, 8), "text\ton\t");
  EXPECT_EQ(OnBase({"check"}).exit_code, 0);

  // Back to the written kinds: the others leave, the compressed PDF
  // document is one again that cannot be read.
  run = OnBase({"kinds", "--none"});
  // Read again and still unread: not counted as updated.
  EXPECT_EQ(run.out, "0 added, 0 updated, 9 removed, 1 could not be read\n");
  EXPECT_EQ(ReadFile(base_ / "kinds.txt"), "");
  EXPECT_EQ(Lines(OnBase({"find", "garden"}).out), std::vector<std::string>{T("page.htm")});
  EXPECT_EQ(OnBase({"check"}).exit_code, 0);
}

TEST_F(KindsTest, AChoiceMadeBeforeAnyAddHoldsForTheAdd) {
  ASSERT_EQ(OnBase({"kinds", "text"}).out, "0 added, 0 updated, 0 removed, 0 could not be read\n");
  ASSERT_EQ(OnBase({"add", tree_.path()}).exit_code, 0);
  EXPECT_EQ(Lines(OnBase({"find", "garden"}).out), (std::vector<std::string>{T("notes.txt"), T("page.htm")}));
}

TEST_F(KindsTest, UnknownGroupsAndMixedOptionsAreUsageErrors) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"kinds", "text", "pictures"},
       "veskara-cli: 'pictures' is no group of kinds; the groups are text, office, ebook and compressed\n"},
      {{"kinds", "--all", "text"}, "veskara-cli: kinds takes group names, --all or --none, one of them\n"},
      {{"kinds", "--all", "--none"}, "veskara-cli: kinds takes group names, --all or --none, one of them\n"},
  };
  for (const auto& c : cases) {
    const CliOutcome run = OnBase(c.args);
    EXPECT_EQ(run.exit_code, 2) << c.args[1];
    EXPECT_EQ(run.err, c.err) << c.args[1];
  }
  EXPECT_FALSE(std::filesystem::exists(base_ / "kinds.txt"));
}

}  // namespace
}  // namespace veskara
