// The files of a search as both front ends work with them: filters, orders,
// the columns of find --long and the first matching line.
#include "results/result_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fault_env.h"
#include "platform/paths.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::TempDir;
using testing::WriteFile;

constexpr int64_t kDay = int64_t{86400} * 1'000'000'000;

// Six files of a search in base order, with facts as a Stat would give them
// (c.pdf is gone, f.htm's facts are not known yet).
ResultFiles Sample() {
  ResultFiles files(
      {"/docs/b.htm", "/docs/sub/A.pdf", "/docs/c.pdf", "/other/a.htm", "/docs/sub/ä.htm.pdf", "/docs/f.htm"});
  files.SetFacts(0, {true, 300, 10 * kDay});
  files.SetFacts(1, {true, 100, 30 * kDay});
  files.SetFacts(2, {});
  files.SetFacts(3, {true, 200, 20 * kDay});
  files.SetFacts(4, {true, 100, 40 * kDay});
  return files;
}

std::vector<uint32_t> All(const ResultFiles& files) { return files.Filter({}); }

TEST(ResultFilesTest, NamesFoldersAndKinds) {
  const ResultFiles files({"/docs/sub/a.htm", "/b.pdf", "c.php", "/x/y.htm.pdf", "/x/notes.txt"});
  const struct {
    std::string_view name, folder, kinds;
  } expected[] = {{"a.htm", "/docs/sub", "page"},
                  {"b.pdf", "/", "pdf"},
                  {"c.php", "", "page"},
                  {"y.htm.pdf", "/x", "page+pdf"},
                  {"notes.txt", "/x", ""}};
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(files.name(i), expected[i].name) << i;
    EXPECT_EQ(files.folder(i), expected[i].folder) << i;
    EXPECT_EQ(KindsText(files.kinds(i)), expected[i].kinds) << i;
  }
}

TEST(ResultFilesTest, FiltersKeepBaseOrder) {
  const ResultFiles files = Sample();
  struct Case {
    const char* what;
    FileFilter filter;
    std::vector<uint32_t> rows;
    bool facts_pending = false;
  } cases[] = {
      {"nothing", {}, {0, 1, 2, 3, 4, 5}},
      {"under /docs", {.under = {"/docs"}}, {0, 1, 2, 4, 5}},
      {"under /docs/sub and /other", {.under = {"/docs/sub", "/other"}}, {1, 3, 4}},
      {"under /doc is no folder of theirs", {.under = {"/doc"}}, {}},
      {"under the root", {.under = {"/"}}, {0, 1, 2, 3, 4, 5}},
      {"a file itself", {.under = {"/docs/c.pdf"}}, {2}},
      {"pdf", {.kinds = {DocumentKind::kPdf}}, {1, 2, 4}},
      {"page", {.kinds = {DocumentKind::kPage}}, {0, 3, 4, 5}},
      {"page or pdf", {.kinds = {DocumentKind::kPage, DocumentKind::kPdf}}, {0, 1, 2, 3, 4, 5}},
      {"text, either case", {.path_text = "SUB/a"}, {1}},
      {"text, Cyrillic and Latin-1", {.path_text = "Ä"}, {4}},
      {"text and kind", {.kinds = {DocumentKind::kPage}, .path_text = ".htm"}, {0, 3, 4, 5}},
      // Times need facts: a file that is gone, or one not looked at, is not kept.
      {"newer", {.newer_ns = 20 * kDay}, {1, 3, 4}},
      {"older", {.older_ns = 30 * kDay}, {0, 3}},
      {"between", {.newer_ns = 20 * kDay, .older_ns = 40 * kDay}, {1, 3}},
      {"newer, facts still to come", {.newer_ns = 20 * kDay}, {1, 3, 4, 5}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(files.Filter(c.filter, c.facts_pending), c.rows) << c.what;
  EXPECT_EQ(files.WithoutFacts(), std::vector<uint32_t>{5});
}

TEST(ResultFilesTest, OrdersTieStablyAndKeepTheUnknownLast) {
  ResultFiles files = Sample();
  files.SetLine(0, {FirstLine::Status::kFound, "3", "zebra crossing", ""});
  files.SetLine(1, {FirstLine::Status::kFound, "p.1", "Apple pie", ""});
  files.SetLine(2, {FirstLine::Status::kUnreadable, "", "", "gone"});
  files.SetLine(3, {FirstLine::Status::kFound, "1", "apple Pie", ""});
  struct Case {
    FileSortKey key;
    bool reverse;
    std::vector<uint32_t> rows;
  } cases[] = {
      {FileSortKey::kBase, false, {0, 1, 2, 3, 4, 5}},
      {FileSortKey::kBase, true, {5, 4, 3, 2, 1, 0}},
      {FileSortKey::kPath, false, {0, 2, 5, 1, 4, 3}},  // byte order: "/docs/s" after "/docs/f"
      {FileSortKey::kPath, true, {3, 4, 1, 5, 2, 0}},
      // Either case alike, then bytes ("A.pdf" and "a.htm": A.PDF > A.HTM).
      {FileSortKey::kName, false, {3, 1, 0, 2, 5, 4}},
      {FileSortKey::kName, true, {4, 5, 2, 0, 1, 3}},
      {FileSortKey::kFolder, false, {0, 2, 5, 1, 4, 3}},
      {FileSortKey::kKind, false, {0, 3, 5, 4, 1, 2}},  // "page", "page+pdf", "pdf"; ties in base order
      {FileSortKey::kKind, true, {1, 2, 4, 0, 3, 5}},
      // The file that is gone and the one not looked at come last both ways.
      {FileSortKey::kModified, false, {0, 3, 1, 4, 2, 5}},
      {FileSortKey::kModified, true, {4, 1, 3, 0, 2, 5}},
      {FileSortKey::kSize, false, {1, 4, 3, 0, 2, 5}},  // 1 and 4 tie at 100 bytes
      {FileSortKey::kSize, true, {0, 3, 1, 4, 2, 5}},
      // Lines found first, either case alike; the others after them in base order.
      {FileSortKey::kLine, false, {3, 1, 0, 2, 4, 5}},
      {FileSortKey::kLine, true, {0, 1, 3, 2, 4, 5}},
  };
  for (const Case& c : cases) {
    std::vector<uint32_t> rows = All(files);
    files.Sort(c.key, c.reverse, rows);
    EXPECT_EQ(rows, c.rows) << static_cast<int>(c.key) << (c.reverse ? " reversed" : "");
  }
  // Sorting a filtered part orders only that part.
  std::vector<uint32_t> pdfs = files.Filter({.kinds = {DocumentKind::kPdf}});
  files.Sort(FileSortKey::kSize, false, pdfs);
  EXPECT_EQ(pdfs, (std::vector<uint32_t>{1, 4, 2}));
}

TEST(ResultFilesTest, LongColumnsAndSizes) {
  ResultFiles files({"/d/a.htm", "/d/b.pdf", "/d/c.htm.pdf"});
  files.SetFacts(0, {true, 1234, 1'700'000'000'000'000'000});
  files.SetFacts(1, {});
  EXPECT_EQ(LongColumns(files, 0), "1234\t" + LocalTimeText(1'700'000'000'000'000'000) + "\tpage");
  EXPECT_EQ(LongColumns(files, 1), "-\t-\tpdf");
  EXPECT_EQ(LongColumns(files, 2), "-\t-\tpage+pdf");  // not looked at
  const struct {
    uint64_t bytes;
    const char* text;
  } sizes[] = {{0, "0 B"},
               {1023, "1023 B"},
               {1024, "1.0 KB"},
               {1536, "1.5 KB"},
               {10 * 1024 + 51, "10.0 KB"},
               {1024 * 1024 - 1, "1.0 MB"},
               {uint64_t{5} << 30, "5.0 GB"},
               {UINT64_MAX, "16.0 EB"}};
  for (const auto& s : sizes) EXPECT_EQ(SizeText(s.bytes), s.text) << s.bytes;
}

TEST(ResultFilesTest, FoldLetterCase) {
  EXPECT_EQ(FoldLetterCase("abcXYZ019-/"), "ABCXYZ019-/");
  EXPECT_EQ(FoldLetterCase("\xd0\xbe\xd1\x82\xd1\x87\xd1\x91\xd1\x82"), "\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2");
  EXPECT_EQ(FoldLetterCase("\xff\xd0"), "\xff\xd0");  // bytes that are no characters stay
}

TEST(ResultFilesTest, RecentPeriods) {
  const int64_t now = 1000 * kDay;
  EXPECT_EQ(StartOfRecent(RecentPeriod::kWeek, now), now - 7 * kDay);
  EXPECT_EQ(StartOfRecent(RecentPeriod::kMonth, now), now - 30 * kDay);
  EXPECT_EQ(StartOfRecent(RecentPeriod::kYear, now), now - 365 * kDay);
}

TEST(ResultFilesTest, FactsAreOneStat) {
  TempDir dir;
  WriteFile(dir / "a.htm", "12345");
  FaultInjectionEnv env;
  const FileFacts facts = FactsOf(dir / "a.htm", env);
  EXPECT_TRUE(facts.present);
  EXPECT_EQ(facts.size, 5u);
  EXPECT_EQ(facts.modified_ns, env.Stat(dir / "a.htm").mtime_ns);
  EXPECT_FALSE(FactsOf(dir / "gone.htm", env).present);
  EXPECT_EQ(env.Count(EnvOp::kStat), 3);
}

TEST(FirstMatchingLineTest, TheFirstLineShowGives) {
  TempDir dir;
  WriteFile(dir / "a.htm", "<p>nothing</p>\n<p>a red apple</p>\n<b>apples</b> again\n");
  WriteFile(dir / "b.pdf", "not a PDF at all");
  const struct {
    std::string path;
    const char* query;
    FirstLine::Status status;
    std::string shown;
  } cases[] = {
      {dir / "a.htm", "APP", FirstLine::Status::kFound, "2:a red apple"},
      {dir / "a.htm", "AGAIN RED", FirstLine::Status::kFound, "2:a red apple"},
      {dir / "a.htm", "ZEBRA", FirstLine::Status::kNone, ""},
      {dir / "gone.htm", "APP", FirstLine::Status::kUnreadable, ""},
      {dir / "b.pdf", "APP", FirstLine::Status::kUnreadable, ""},
  };
  for (const auto& c : cases) {
    const FirstLine line = FirstMatchingLine(c.path, c.query, SearchOptions{}, dir.path(), Env::Default());
    EXPECT_EQ(line.status, c.status) << c.path << " " << c.query;
    EXPECT_EQ(line.Shown(), c.shown) << c.path << " " << c.query;
    EXPECT_EQ(line.reason.empty(), c.status != FirstLine::Status::kUnreadable) << c.path;
  }
}

}  // namespace
}  // namespace veskara
