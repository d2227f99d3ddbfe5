// wrds.txt held in memory: the same results as the search on the file, no
// read per search, a reload only when the file changes, and a cancel flag.
#include "search/loaded_words.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "base/base_files.h"
#include "fault_env.h"
#include "search/search.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::CrLf;
using testing::TempDir;
using testing::WriteFile;

std::vector<std::string> Texts(const SearchOutcome& outcome) {
  std::vector<std::string> texts;
  for (const SearchEntry& e : outcome.entries) texts.push_back(e.text + " | " + e.numbers);
  return texts;
}

// Differential: random bases with the lines the program never writes (stray
// CRs, empty pieces, a last word without numbers, Ё and Е), every query
// searched on the file and in memory, folded and not.
TEST(LoadedWordsTest, GiveTheResultsOfTheSearchOnTheFile) {
  TempDir dir;
  std::mt19937 rng(7);
  const std::string letters = "AB1\xC5\xA8";
  auto random_word = [&](size_t max_len) {
    std::string w;
    for (size_t len = 1 + rng() % max_len; len > 0; --len) w.push_back(letters[rng() % letters.size()]);
    return w;
  };
  size_t over_limit = 0;
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    for (size_t r = rng() % 120; r > 0; --r) {
      std::string word = random_word(4);
      if (rng() % 20 == 0) word.insert(rng() % word.size(), "\r");
      if (rng() % 40 == 0) word.clear();  // an empty word line
      std::string numbers;
      for (size_t i = 1 + rng() % 5; i > 0; --i) numbers += std::to_string(rng() % 8) + (i > 1 ? "," : "");
      bytes += word + "\r\n" + numbers + "\r\n";
    }
    if (rng() % 4 == 0) bytes += random_word(3);
    WriteFile(dir / "wrds.txt", bytes);
    const LoadedWords loaded = LoadedWords::Load(dir.path(), Env::Default());
    std::string query;
    for (size_t i = 1 + rng() % 4; i > 0; --i) query += random_word(rng() % 3 == 0 ? 2 : 1) + " ";
    for (const bool fold : {false, true}) {
      const SearchOptions options{.fold_yo = fold};
      const SearchOutcome on_file = RunSearch(dir.path(), query, options, Env::Default());
      const SearchOutcome in_memory = RunSearch(loaded, query, options);
      ASSERT_EQ(in_memory.status, on_file.status) << "round " << round;
      ASSERT_EQ(Texts(in_memory), Texts(on_file)) << "round " << round << " query " << query << " fold " << fold;
      ASSERT_EQ(in_memory.messages, on_file.messages) << "round " << round;
      ASSERT_EQ(in_memory.status_text, on_file.status_text) << "round " << round;
      over_limit += on_file.messages.size();
    }
  }
  EXPECT_GT(over_limit, 10u) << "the limit should be reached in some rounds";
}

TEST(LoadedWordsTest, ASearchReadsNothingAndAChangeIsNoticed) {
  TempDir dir;
  WriteFile(dir / "wrds.txt", CrLf({"CAT", "0", "COW", "1"}));
  FaultInjectionEnv env;
  LoadedWords loaded = LoadedWords::Load(dir.path(), env);
  env.ResetCounts();
  EXPECT_EQ(Texts(RunSearch(loaded, "c", SearchOptions{})), (std::vector<std::string>{"CAT | 0", "COW | 1"}));
  EXPECT_EQ(env.Count(EnvOp::kOpenRead), 0);
  EXPECT_TRUE(loaded.IsCurrent(dir.path(), env));
  EXPECT_EQ(env.Count(EnvOp::kStat), 1);  // the whole cost of asking
  EXPECT_FALSE(loaded.IsCurrent(dir / "other", env));

  // A commit renames a new file over the old one.
  WriteFile(dir / "wrds.txt.new", CrLf({"CAT", "0", "CROW", "2", "COW", "1"}));
  std::filesystem::rename(dir / "wrds.txt.new", dir / "wrds.txt");
  EXPECT_FALSE(loaded.IsCurrent(dir.path(), env));
  loaded = LoadedWords::Load(dir.path(), env);
  EXPECT_TRUE(loaded.IsCurrent(dir.path(), env));
  EXPECT_EQ(Texts(RunSearch(loaded, "cr", SearchOptions{})), (std::vector<std::string>{"CROW | 2"}));
  // An edit in place changes the size or the time.
  WriteFile(dir / "wrds.txt", CrLf({"DOG", "3"}));
  std::filesystem::last_write_time(dir / "wrds.txt",
                                   std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
  EXPECT_FALSE(loaded.IsCurrent(dir.path(), env));
  std::filesystem::remove(dir / "wrds.txt");
  EXPECT_FALSE(loaded.IsCurrent(dir.path(), env));
}

// Without a readable wrds.txt the search says what the search on the file
// says; a file that would not open is tried again at the next search.
TEST(LoadedWordsTest, AMissingOrClosedFileFailsAsOnTheFile) {
  TempDir dir;
  FaultInjectionEnv env;
  const LoadedWords missing = LoadedWords::Load(dir.path(), env);
  EXPECT_EQ(RunSearch(missing, "cat", SearchOptions{}).messages,
            RunSearch(dir.path(), "cat", SearchOptions{}, env).messages);
  EXPECT_EQ(RunSearch(missing, "cat", SearchOptions{}).status, SearchOutcome::Status::kFailed);
  EXPECT_TRUE(missing.IsCurrent(dir.path(), env));
  EXPECT_EQ(RunSearch(missing, "***", SearchOptions{}).status, SearchOutcome::Status::kNothingToDo);

  WriteFile(dir / "wrds.txt", CrLf({"CAT", "0"}));
  EXPECT_FALSE(missing.IsCurrent(dir.path(), env));
  env.FailAll(EnvOp::kOpenRead, "wrds.txt", EACCES);
  const LoadedWords closed = LoadedWords::Load(dir.path(), env);
  ASSERT_TRUE(closed.fault().has_value());
  EXPECT_EQ(RunSearch(closed, "cat", SearchOptions{}).messages[0].text, "Can't open file wrds.txt");
  EXPECT_FALSE(closed.IsCurrent(dir.path(), env));
}

// A cancelled search shows nothing: whether the flag was raised before the
// search or while it matched, the outcome is kCancelled, never a part.
TEST(LoadedWordsTest, ACancelledSearchGivesNoResult) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; i < 2000; ++i) bytes += "A" + std::to_string(i) + "\r\n1,2\r\nB" + std::to_string(i) + "\r\n2\r\n";
  WriteFile(dir / "wrds.txt", bytes);
  const LoadedWords loaded = LoadedWords::Load(dir.path(), Env::Default());
  std::atomic<bool> cancel{true};
  for (const char* query : {"a", "a b", "a b a"}) {
    const SearchOutcome outcome = RunSearch(loaded, query, SearchOptions{}, &cancel);
    EXPECT_EQ(outcome.status, SearchOutcome::Status::kCancelled) << query;
    EXPECT_TRUE(outcome.entries.empty()) << query;
    EXPECT_TRUE(outcome.messages.empty()) << query;
  }
  cancel = false;
  EXPECT_EQ(RunSearch(loaded, "a b", SearchOptions{}, &cancel).entries.size(), 501u);
}

}  // namespace
}  // namespace veskara
