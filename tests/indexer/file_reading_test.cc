// Reading ahead on a second thread must hand the table exactly the words,
// in exactly the order, that reading each file in turn gives.
#include "indexer/file_reading.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/posting_table.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::TempDir;
using testing::WriteFile;

std::vector<std::string> Entries(const PostingTable& table) {
  std::vector<std::string> out;
  for (size_t i = 0; i < table.Count(); ++i) {
    out.push_back(std::string(table.WordAt(i)) + "/" + std::string(table.NumberAt(i)));
  }
  return out;
}

TEST(CandidateReaderTest, ReadingAheadGivesTheSameTableAsReadingInTurn) {
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
  CandidateReader sequential(paths, skip, false);
  CandidateReader parallel(paths, skip, true);
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

// A scan stopped early destroys the reader while its worker waits for room.
TEST(CandidateReaderTest, StopsAWorkerThatIsAhead) {
  TempDir tmp;
  std::vector<std::string> paths;
  for (int i = 0; i < 500; ++i) {
    paths.push_back(tmp / ("f" + std::to_string(i) + ".htm"));
    WriteFile(paths.back(), "word");
  }
  std::vector<bool> skip(paths.size(), false);
  PostingTable table;
  {
    CandidateReader reader(paths, skip, true);
    for (size_t i = 0; i < 3; ++i) reader.AppendWordsOf(i, table);
  }
  EXPECT_EQ(table.Count(), 3u);
}

}  // namespace
}  // namespace veskara
