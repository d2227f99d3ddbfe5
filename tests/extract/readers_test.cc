#include "extract/readers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/document_words.h"
#include "extract/unprivileged.h"
#include "pdf_maker.h"
#include "platform/errors.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::MakePdf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::vector<std::string> Words(const DocumentWords& document) {
  std::vector<std::string> words;
  for (const uint32_t id : document.occurrences) words.emplace_back(document.words.Get(id));
  return words;
}

std::vector<std::string> MarkupWords(const std::string& path) {
  DocumentWords words;
  THTMLFile reader(path, words, Env::Default());
  return Words(words);
}

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
  return out;
}

struct MarkupCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> words;
};
void PrintTo(const MarkupCase& c, std::ostream* os) { *os << c.name; }

class MarkupReaderTest : public ::testing::TestWithParam<MarkupCase> {};

TEST_P(MarkupReaderTest, YieldsTheWordsOutsideTags) {
  TempDir dir;
  WriteFile(dir / "page.htm", GetParam().bytes);
  EXPECT_EQ(MarkupWords(dir / "page.htm"), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MarkupReaderTest,
    ::testing::Values(MarkupCase{"Tags", "Hello <b>World</b>\r\n", {"HELLO", "WORLD"}},
                      MarkupCase{"TagSplitsAWord", "WOR<B>LD</B>", {"WOR", "LD"}}, MarkupCase{"TagAlone", "<p>\n", {}},
                      MarkupCase{"TagAcrossLines", "abc <a\nhref=x> def\n", {"ABC", "DEF"}},
                      // The lone ">" is too short to be read, so the tag stays open until a
                      // longer line closes it.
                      MarkupCase{"CloserOnAShortLine", "text <a\n>\nhidden words\nstill> shown\n", {"TEXT", "SHOWN"}},
                      MarkupCase{"CloserOutsideATag", "a > b ok", {"OK"}},
                      MarkupCase{"CommentEndsAtFirstCloser", "<!-- x > yes -->Text", {"YES", "TEXT"}},
                      MarkupCase{"LessThanInsideATag", "<a <b> c> dd", {"DD"}},
                      MarkupCase{"ShortLinesAndTrimming", "x\nab\n \t Ab \t\r\n", {"AB", "AB"}},
                      MarkupCase{"EntitiesNotDecoded", "a&nbsp;b", {"NBSP"}},
                      MarkupCase{"Windows1251", "\xcf\xf0\xe8\xe2\xe5\xf2", {"\xcf\xd0\xc8\xc2\xc5\xd2"}},
                      MarkupCase{
                          "Utf8", "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82", {"\xcf\xd0\xc8\xc2\xc5\xd2"}},
                      // A character without a Windows-1251 form separates words.
                      MarkupCase{"Utf8WithoutAForm",
                                 "ab\xe6\x97\xa5"
                                 "cd \xd1\x91\xd0\xb6",
                                 {"AB", "CD", "\xa8\xc6"}},
                      // Not UTF-8 (a lone C0 A8), so taken as Windows-1251 bytes.
                      MarkupCase{"MalformedUtf8", "\xc0\xa8 ok", {"\xc0\xa8", "OK"}},
                      MarkupCase{"CrOnlyLineEnds", "one\rtwo\r", {"ONETWO"}},
                      MarkupCase{"CtrlZ",
                                 "first line\nsec\x1a"
                                 "ond part\nthird\n\x1alast\n",
                                 {"FIRST", "LINE", "SEC", "THIRD"}},
                      MarkupCase{"Empty", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MarkupReader, EveryFileStartsOutsideATag) {
  TempDir dir;
  WriteFile(dir / "a.htm", "ab <open\n");
  WriteFile(dir / "b.htm", "cd ef\n");
  DocumentWords words;
  { THTMLFile a(dir / "a.htm", words, Env::Default()); }
  { THTMLFile b(dir / "b.htm", words, Env::Default()); }
  EXPECT_EQ(Words(words), (std::vector<std::string>{"AB", "CD", "EF"}));
}

TEST(MarkupReader, LongLinesAndManyLines) {
  TempDir dir;
  std::string word(100000, 'q');
  std::string text = word + "<" + std::string(3 << 20, 'x') + ">\n";
  for (int i = 0; i < 20000; ++i) text += "w" + std::to_string(i) + "\r\n";
  WriteFile(dir / "big.htm", text);
  std::vector<std::string> words = MarkupWords(dir / "big.htm");
  ASSERT_EQ(words.size(), 20001u);
  EXPECT_EQ(words[0], std::string(100000, 'Q'));
  EXPECT_EQ(words[20000], "W19999");
}

// None of these may throw, block or yield a word.
TEST(MarkupReader, WhatCannotBeReadYieldsNothing) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe.htm").c_str(), 0644), 0);
  ASSERT_EQ(::mkdir((dir / "folder.htm").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("nowhere", (dir / "dead.htm").c_str()), 0);
  for (std::string path : {dir / "missing.htm", dir / "pipe.htm", dir / "folder.htm", dir / "dead.htm",
                           std::string("/dev/null"), std::string("/dev/zero")}) {
    EXPECT_EQ(MarkupWords(path), std::vector<std::string>{}) << path;
  }
}

TEST(MarkupReader, ReadErrorEndsTheFileQuietly) {
  // A regular file whose first read fails (EIO): the address 0 is never mapped.
  EXPECT_EQ(MarkupWords("/proc/self/mem"), std::vector<std::string>{});
}

TEST(MarkupReader, UnreadableFileYieldsNothing) {
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  WriteFile(dir / "open.htm", "free text");
  WriteFile(dir / "locked.htm", "secret text");
  ASSERT_EQ(::chmod((dir / "locked.htm").c_str(), 0), 0);
  auto result = testing::RunUnprivileged(
      [&] { return Joined(MarkupWords(dir / "locked.htm")) + "|" + Joined(MarkupWords(dir / "open.htm")); });
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, "|FREE TEXT");
}

// The PDF reader works in the current directory; each test gets its own.
class PdfReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char buf[4096];
    ASSERT_NE(::getcwd(buf, sizeof buf), nullptr);
    old_cwd_ = buf;
    ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(::chdir(old_cwd_.c_str()), 0); }

  std::vector<std::string> PdfWords(const std::string& path) {
    DocumentWords words;
    TPDFFile reader(path, words, Env::Default());
    return Words(words);
  }
  bool TempExists() { return ::access(kPdfTempFileName, F_OK) == 0; }

  TempDir dir_;
  std::string old_cwd_;
};

TEST_F(PdfReaderTest, ConvertedTextYieldsItsWordsAndNoTempRemains) {
  WriteFile(dir_ / "doc.pdf", MakePdf({"Hello, World", "<ABC> x", "q"}));
  WriteFile(dir_ / kPdfTempFileName, "OLD LEFTOVER\r\n");
  std::vector<std::string> words = PdfWords(dir_ / "doc.pdf");
  // Angle brackets are plain separators in converted text.
  EXPECT_EQ(words, (std::vector<std::string>{"HELLO", "WORLD", "ABC"}));
  EXPECT_FALSE(TempExists());
}

TEST_F(PdfReaderTest, FailedConversionYieldsNothingAfterRemovingAnOldTemp) {
  WriteFile(dir_ / "bad.pdf", "not a document at all");
  WriteFile(dir_ / kPdfTempFileName, "STALE WORDS\r\n");
  EXPECT_EQ(PdfWords(dir_ / "bad.pdf"), std::vector<std::string>{});
  EXPECT_FALSE(TempExists());
  EXPECT_EQ(PdfWords(dir_ / "missing.pdf"), std::vector<std::string>{});
}

// Regression: a document none of whose pages could be read counted as read
// with no words.
TEST_F(PdfReaderTest, NoPageReadIsUnreadWithItsReason) {
  WriteFile(dir_ / "no_pages.pdf", testing::MakePdfOfMissingPages());
  DocumentWords words;
  TPDFFile reader(dir_ / "no_pages.pdf", words, Env::Default());
  EXPECT_EQ(reader.UnreadReason(), "none of its pages could be read");
  EXPECT_EQ(Words(words), std::vector<std::string>{});
}

TEST_F(PdfReaderTest, OldTempThatCannotBeDeletedStopsTheConversion) {
  WriteFile(dir_ / "doc.pdf", MakePdf({"Hello"}));
  WriteFile(dir_ / kPdfTempFileName, "STUCK WORDS\r\n");
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0555), 0);  // nothing in it can be deleted
  auto result = testing::RunUnprivileged([&] {
    std::string words = Joined(PdfWords(dir_ / "doc.pdf"));
    return words + "|" + ReadFile(dir_ / kPdfTempFileName);
  });
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, "|STUCK WORDS\r\n");
}

// The converted text is created with no permissions at all (umask 777), so
// the reader cannot open it: no words, and the file waits for the next
// document's first step instead of being deleted.
TEST_F(PdfReaderTest, ConvertedTextThatCannotBeOpenedIsLeftInPlace) {
  WriteFile(dir_ / "doc.pdf", MakePdf({"Hello"}));
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0777), 0);
  auto result = testing::RunUnprivileged([&] {
    const mode_t old_mask = ::umask(0777);
    std::string words = Joined(PdfWords(dir_ / "doc.pdf"));
    ::umask(old_mask);
    return words + "|" + (TempExists() ? "kept" : "gone");
  });
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, "|kept");
  // The next document removes it first and converts as usual.
  EXPECT_EQ(PdfWords(dir_ / "doc.pdf"), std::vector<std::string>{"HELLO"});
  EXPECT_FALSE(TempExists());
}

// A target that cannot be written would fail every document alike: that is
// the scan's failure, and the folder is left alone.
TEST_F(PdfReaderTest, TempThatIsAFolderFailsTheScanAndIsLeftAlone) {
  ASSERT_EQ(::mkdir(kPdfTempFileName, 0755), 0);
  WriteFile(dir_ / "doc.pdf", MakePdf({"Hello"}));
  EXPECT_THROW(PdfWords(dir_ / "doc.pdf"), IoError);
  struct stat st;
  ASSERT_EQ(::stat(kPdfTempFileName, &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(PdfReaderTest, SpecialFilesAreNeverHandedToTheConverter) {
  ASSERT_EQ(::mkfifo((dir_ / "pipe.pdf").c_str(), 0644), 0);
  WriteFile(dir_ / kPdfTempFileName, "KEPT\r\n");
  EXPECT_EQ(PdfWords(dir_ / "pipe.pdf"), std::vector<std::string>{});
  EXPECT_EQ(ReadFile(kPdfTempFileName), "KEPT\r\n");  // nothing was attempted
}

}  // namespace
}  // namespace veskara
