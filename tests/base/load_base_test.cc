#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "base/base.h"
#include "platform/errors.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::CrLf;
using testing::TempDir;
using testing::WriteFile;

std::vector<std::string> Entries(const BaseState& state) {
  std::vector<std::string> out;
  for (size_t i = 0; i < state.postings.Count(); ++i) {
    out.push_back(std::string(state.postings.WordAt(i)) + "/" + std::string(state.postings.NumberAt(i)));
  }
  return out;
}

TEST(LoadBaseTest, ExpandsRecordsIntoEntries) {
  TempDir dir;
  WriteFile(dir / "wrds.txt", CrLf({"AB", "3,5", "CD", "3,,5", "EF"}));
  WriteFile(dir / "fls.txt", CrLf({"/d/a.htm", "3", "/d/b.htm", "41"}));
  BaseState state;
  LoadBase(dir.path(), state, Env::Default());
  // A word without its number line at the end of the file is not loaded.
  EXPECT_EQ(Entries(state), (std::vector<std::string>{"AB/3", "AB/5", "CD/3", "CD/", "CD/5"}));
  EXPECT_EQ(state.IndexedPaths, (std::vector<std::string>{"/d/a.htm", "/d/b.htm"}));
  EXPECT_EQ(state.postings.CurrentFileNumber(), "42");
}

// Regression guard: numbering went on after the last visible record of
// fls.txt even when wrds.txt (or an earlier record) held larger numbers,
// so new files took numbers that old words still pointed at.
TEST(LoadBaseTest, NumberingContinuesAfterTheLargestNumberInEitherFile) {
  const std::string z(1, '\x1A');
  struct Case {
    const char* name;
    std::string words;
    std::string files;
    const char* next;
  } cases[] = {
      {"as written", CrLf({"AB", "3"}), CrLf({"/a", "3", "/b", "7"}), "8"},
      {"records hidden behind a Ctrl-Z", CrLf({"AB", "3,9", "CD", "12"}), CrLf({"/a", "3", z, "/b", "9", "/c", "12"}),
       "13"},
      {"a larger number line earlier", CrLf({"AB", "3"}), CrLf({"/a", "20", "/b", "7"}), "21"},
      {"fls.txt alone", "", CrLf({"/a", "20", "/b", "7"}), "21"},
      {"numbers that are no integers are not counted", CrLf({"AB", "x,99999999999"}), CrLf({"/a", "3"}), "4"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (std::string(c.name) != "fls.txt alone") WriteFile(dir / "wrds.txt", c.words);
    WriteFile(dir / "fls.txt", c.files);
    BaseState state;
    LoadBase(dir.path(), state, Env::Default());
    EXPECT_EQ(state.postings.CurrentFileNumber(), c.next) << c.name;
  }
}

TEST(LoadBaseTest, MissingFiles) {
  TempDir dir;
  BaseState state;
  state.IndexedPaths = {"kept"};
  LoadBase(dir.path(), state, Env::Default());
  EXPECT_EQ(state.postings.CurrentFileNumber(), "0");
  EXPECT_EQ(state.postings.Count(), 0u);

  // Only wrds.txt: nothing is loaded, the paths of the last load stay.
  WriteFile(dir / "wrds.txt", CrLf({"AB", "0"}));
  LoadBase(dir.path(), state, Env::Default());
  EXPECT_EQ(state.postings.CurrentFileNumber(), "0");
  EXPECT_EQ(state.postings.Count(), 0u);
  EXPECT_EQ(state.IndexedPaths, std::vector<std::string>{"kept"});

  // Both present and empty: numbering starts at 1.
  WriteFile(dir / "wrds.txt", "");
  WriteFile(dir / "fls.txt", "");
  LoadBase(dir.path(), state, Env::Default());
  EXPECT_EQ(state.postings.CurrentFileNumber(), "1");
  EXPECT_TRUE(state.IndexedPaths.empty());
}

// Regression: with fls.txt but no wrds.txt, numbering restarted at 0 and new
// words pointed at the paths of files already recorded.
TEST(LoadBaseTest, FilesWithoutWordsKeepsNumberingUnique) {
  TempDir dir;
  WriteFile(dir / "fls.txt", CrLf({"/d/a.htm", "0", "/d/b.htm", "1"}));
  BaseState state;
  state.IndexedPaths = {"stale"};
  LoadBase(dir.path(), state, Env::Default());
  EXPECT_EQ(state.postings.CurrentFileNumber(), "2");
  EXPECT_TRUE(state.IndexedPaths.empty());
  EXPECT_EQ(state.postings.Count(), 0u);
}

TEST(LoadBaseTest, LastLineOfFilesFile) {
  const struct {
    std::string last;
    const char* next;  // nullptr: the load fails
    const char* error;
  } cases[] = {
      {"41", "42", nullptr},
      {"$1F", "32", nullptr},
      {" 7", "8", nullptr},
      {"", "1", nullptr},
      {"x", nullptr, "'x' is not a valid integer value"},
      {"7 ", nullptr, "'7 ' is not a valid integer value"},
      {"2147483648", nullptr, "'2147483648' is not a valid integer value"},
      {"2147483647", nullptr, "The base holds the largest file number; no more files can be added to it"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile(dir / "wrds.txt", "");
    WriteFile(dir / "fls.txt", "/d/a.htm\r\n" + c.last + "\r\n");
    BaseState state;
    if (c.next != nullptr) {
      LoadBase(dir.path(), state, Env::Default());
      EXPECT_EQ(state.postings.CurrentFileNumber(), c.next) << c.last;
    } else {
      try {
        LoadBase(dir.path(), state, Env::Default());
        ADD_FAILURE() << "loaded a base ending with '" << c.last << "'";
      } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), c.error);
      }
    }
  }
}

TEST(LoadBaseTest, MalformedBytesNeverCrash) {
  TempDir dir;
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 131) % 256));
  WriteFile(dir / "wrds.txt", junk + std::string(16 << 20, 'W') + "\n" + std::string(1 << 20, ','));
  WriteFile(dir / "fls.txt", CrLf({"/a", "5"}));
  BaseState state;
  LoadBase(dir.path(), state, Env::Default());
  EXPECT_GT(state.postings.Count(), 0u);
  EXPECT_EQ(state.postings.CurrentFileNumber(), "6");
}

TEST(LoadBaseTest, UnreadableBaseFileFails) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "wrds.txt").c_str(), 0644), 0);
  WriteFile(dir / "fls.txt", "");
  BaseState state;
  EXPECT_THROW(LoadBase(dir.path(), state, Env::Default()), IoError);
}

}  // namespace
}  // namespace veskara
