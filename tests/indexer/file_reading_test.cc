// Reading ahead on a second thread must hand the table exactly the words,
// in exactly the order, that reading each file in turn gives.
#include "indexer/file_reading.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "base/posting_table.h"
#include "pdf_maker.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::MakePdf;
using testing::TempDir;
using testing::WriteFile;

std::vector<std::string> Entries(const PostingTable& table) {
  std::vector<std::string> out;
  for (size_t i = 0; i < table.Count(); ++i) {
    out.push_back(std::string(table.WordAt(i)) + "/" + std::string(table.NumberAt(i)));
  }
  return out;
}

// Regression: each child got at least 512 MiB whatever ran beside it, so
// --jobs 32 over memory-hungry PDFs reached 7.4 GB on a 24 GB machine (the
// quarter is 6 GB), and --jobs 64 allowed 32 GiB. Fewer run at once now.
TEST(ShareConversionsTest, TheChildrenTogetherStayWithinAQuarter) {
  constexpr uint64_t kMiB = 1 << 20;
  constexpr uint64_t kGiB = kMiB << 10;
  const struct {
    unsigned jobs;
    uint64_t memory;
    ConversionShare share;
  } cases[] = {
      {32, 24 * kGiB, {12, 512 * kMiB}}, {64, 64 * kGiB, {32, 512 * kMiB}},
      {4, 24 * kGiB, {4, 1536 * kMiB}},                                   // jobs is a ceiling, the quarter shared
      {1, 24 * kGiB, {1, 6 * kGiB}},     {8, 1 * kGiB, {1, 256 * kMiB}},  // below the floor one child takes the quarter
      {0, 8 * kGiB, {1, 2 * kGiB}},      {8, 0, {8, 512 * kMiB}},         // memory unknown
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShareConversions(c.jobs, c.memory), c.share) << c.jobs << " jobs, " << c.memory / kMiB << " MiB";
  }
  for (unsigned jobs = 1; jobs <= 64; ++jobs) {
    for (uint64_t memory = 256 * kMiB; memory <= 256 * kGiB; memory = memory * 3 / 2) {
      const ConversionShare share = ShareConversions(jobs, memory);
      EXPECT_TRUE(share.children >= 1 && share.children <= jobs);
      EXPECT_LE(share.children * share.memory_limit, memory / 4) << jobs << " jobs, " << memory / kMiB << " MiB";
    }
  }
}

TEST(CandidateReaderTest, ReadingAheadGivesTheSameTableAsReadingInTurn) {
  const ReadSettings settings{Env::Default(), {}, {}};
  TempDir tmp;
  std::vector<std::string> paths;
  std::vector<bool> skip;
  for (int i = 0; i < 300; ++i) {
    const std::string path = tmp / ("f" + std::to_string(i) + (i % 11 == 0 ? ".txt" : i % 7 == 0 ? ".pdf" : ".htm"));
    std::string text;
    for (int k = 0; k <= i % 23; ++k) {
      text += "<b>w" + std::to_string((i * 31 + k) % 97) + "</b> шаг" + std::to_string(k) + "\n";
    }
    WriteFile(path, text);
    paths.push_back(path);
    skip.push_back(i % 5 == 0);
  }
  paths.push_back(tmp / "missing.htm");
  skip.push_back(false);

  PostingTable in_turn;
  PostingTable ahead;
  CandidateReader sequential(paths, skip, 0, settings);
  CandidateReader parallel(paths, skip, 3, settings);
  for (size_t i = 0; i < paths.size(); ++i) {
    ASSERT_EQ(sequential.Wanted(i), parallel.Wanted(i));
    if (!sequential.Wanted(i)) continue;
    in_turn.SetCurrentFileNumber(std::to_string(i));
    ahead.SetCurrentFileNumber(std::to_string(i));
    sequential.AppendWordsOf(i, in_turn);
    parallel.AppendWordsOf(i, ahead);
  }
  ASSERT_GT(in_turn.Count(), 1000u);
  EXPECT_EQ(Entries(ahead), Entries(in_turn));
}

// Memory spent on one document is that document's: running out of it on a
// line of 64 MB under a tight address-space limit makes that file unread,
// drops the words it added, and the next file is read as usual.
TEST(CandidateReaderTest, RunningOutOfMemoryOnOneDocumentLosesOnlyThatDocument) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the address-space limit would stop the sanitizer itself";
#endif
  const ReadSettings settings{Env::Default(), {}, {}};
  TempDir tmp;
  const std::vector<std::string> paths = {tmp / "a.htm", tmp / "big.htm", tmp / "c.htm"};
  WriteFile(paths[0], "alpha");
  WriteFile(paths[1], "<p>lost " + std::string(size_t{64} << 20, 'x'));
  WriteFile(paths[2], "gamma");
  const std::vector<bool> skip(paths.size(), false);

  for (const bool ahead : {false, true}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      long pages = 0;
      if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
        std::fclose(statm);
      }
      const rlim_t room = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (rlim_t{48} << 20);
      const struct rlimit limit = {room, room};
      if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(4);
      PostingTable table;
      CandidateReader reader(paths, skip, ahead ? 2 : 0, settings);
      if (!reader.AppendWordsOf(0, table).unread_reason.empty()) _exit(5);
      if (reader.AppendWordsOf(1, table).unread_reason != "not enough memory to read it") _exit(6);
      if (table.Count() != 1) _exit(7);
      if (!reader.AppendWordsOf(2, table).unread_reason.empty() || table.Count() != 2) _exit(8);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << (ahead ? "reading ahead" : "reading in turn");
  }
}

// A scan stopped early destroys the reader while its threads wait for room
// and its conversions run; the children are killed and reaped, and each job
// folder is left as the scan's folder can remove it.
TEST(CandidateReaderTest, StopsThreadsThatAreAhead) {
  TempDir tmp;
  ReadSettings settings{Env::Default(), {}, {tmp / "job1", tmp / "job2"}};
  for (const std::string& folder : settings.job_folders) std::filesystem::create_directories(folder);
  std::vector<std::string> paths;
  for (int i = 0; i < 500; ++i) {
    paths.push_back(tmp / ("f" + std::to_string(i) + (i % 2 == 0 ? ".htm" : ".pdf")));
    WriteFile(paths.back(), i % 2 == 0 ? "word" : MakePdf({"word"}));
  }
  std::vector<bool> skip(paths.size(), false);
  PostingTable table;
  {
    CandidateReader reader(paths, skip, 3, settings);
    for (size_t i = 0; i < 3; ++i) reader.AppendWordsOf(i, table);
  }
  EXPECT_EQ(table.Count(), 3u);
  for (const std::string& folder : settings.job_folders) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      EXPECT_TRUE(entry.is_regular_file()) << entry.path();
    }
  }
}

}  // namespace
}  // namespace veskara
