// The scan on real folders: numbering, skipping, progress texts, the lock.
#include "indexer/scan.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/commit.h"
#include "fault_env.h"
#include "indexer/discovery.h"
#include "platform/paths.h"
#include "platform/strings.h"
#include "scan_test_util.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::CrLf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(ScanTest, NumbersWithGapsAfterTheLastNumberLine) {
  TempDir tmp;
  const std::string base = tmp / "base";
  const std::string docs = tmp / "docs";
  WriteFile(docs + "/a.htm", "<p>alpha</p>");
  WriteFile(docs + "/b.htm", "beta <b>gamma</b>");
  WriteFile(docs + "/c.pdf", "not a PDF at all");
  WriteFile(FilesFilePath(base), CrLf({docs + "/a.htm", "41"}));
  WriteFile(WordsFilePath(base), CrLf({"ALPHA", "41"}));

  RecordingObserver observer;
  RunScan(base, docs, observer);

  // a.htm is skipped but keeps its place in the count: no file gets 42.
  EXPECT_EQ(ReadFile(FilesFilePath(base)), CrLf({docs + "/a.htm", "41", docs + "/b.htm", "43", docs + "/c.pdf", "44"}));
  EXPECT_EQ(ReadFile(WordsFilePath(base)), CrLf({"ALPHA", "41", "BETA", "43", "GAMMA", "43"}));
  EXPECT_TRUE(BaseIsClean(base));
}

TEST(ScanTest, SecondScanOfTheSameTreeAddsNothing) {
  TempDir tmp;
  const std::string base = tmp / "base";
  const std::string docs = tmp / "docs";
  WriteFile(docs + "/one.htm", "zeta eta theta zeta");
  WriteFile(docs + "/sub/two.php", "<i>eta</i> iota");
  WriteFile(docs + "/sub/deeper/three.shtml", "theta kappa");

  RecordingObserver observer;
  RunScan(base, docs, observer);
  const BaseFiles first = ReadBase(base);
  EXPECT_EQ(first.files,
            CrLf({docs + "/one.htm", "0", docs + "/sub/two.php", "1", docs + "/sub/deeper/three.shtml", "2"}));
  // THETA 2,0: the exchange sort does not keep equal words in table order.
  EXPECT_EQ(first.words, CrLf({"ETA", "0,1", "IOTA", "1", "KAPPA", "2", "THETA", "2,0", "ZETA", "0"}));

  RunScan(base, docs, observer);
  const BaseFiles second = ReadBase(base);
  EXPECT_EQ(second.files, first.files);
  EXPECT_EQ(second.words, first.words);
}

// Regression guard: the skip test must compare bytes, not names folded to
// one case, so another spelling of the same folder is indexed again.
TEST(ScanTest, SkipTestRespectsLetterCase) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(tmp / "Docs/a.htm", "word");
  std::filesystem::create_directory_symlink(tmp / "Docs", tmp / "docs");

  RecordingObserver observer;
  RunScan(base, tmp / "Docs", observer);
  RunScan(base, tmp / "docs", observer);
  RunScan(base, tmp / "Docs/", observer);  // the same mask as "Docs": nothing new

  EXPECT_EQ(ReadFile(FilesFilePath(base)), CrLf({tmp / "Docs/a.htm", "0", tmp / "docs/a.htm", "1"}));
  EXPECT_EQ(ReadFile(WordsFilePath(base)), CrLf({"WORD", "0,1"}));
}

// Regression guard: a folder that is missing, no folder, or unreadable ran
// all four steps, rewrote the base and said "Done!...". It is a failure
// that names the folder, before anything is locked or written.
TEST(ScanTest, FolderThatCannotBeAddedIsAFailureAndWritesNothing) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(tmp / "a file.htm", "x");
  std::filesystem::create_directory(tmp / "docs");
  struct Case {
    std::string folder;
    std::string message;
    bool deny_listing;
  } cases[] = {
      {tmp / "no such folder", "The folder " + tmp / "no such folder" + " does not exist; nothing was added", false},
      {tmp / "a file.htm", tmp / "a file.htm" + " is not a folder; nothing was added", false},
      {tmp / "docs", "The folder " + tmp / "docs" + " cannot be read; nothing was added", true},
      {tmp / "bell\a", "The folder " + tmp / "bell\\x07" + " does not exist; nothing was added", false},
  };
  for (const Case& c : cases) {
    FaultInjectionEnv env;
    if (c.deny_listing) env.FailAll(EnvOp::kList, "docs", EACCES);
    RecordingObserver observer;
    try {
      RunScan(base, c.folder, observer, env);
      ADD_FAILURE() << c.folder << ": the scan went through";
    } catch (const ScanFolderError& e) {
      EXPECT_EQ(e.what(), c.message);
    }
    EXPECT_TRUE(observer.texts.empty());
    EXPECT_EQ(ReadBase(base), BaseFiles{}) << c.folder;
  }
}

// Regression guard: such a folder was added, and folders.txt then held a
// path over two lines (or a CR dropped, or a name cut at the byte 26), so
// that every later command failed or named another folder. Refused, as
// names in the walk are.
TEST(ScanTest, FolderNameThatCannotBeKeptIsRefused) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(tmp / "docs/a.htm", "word");
  RecordingObserver observer;
  RunScan(base, tmp / "docs", observer);
  const BaseFiles before = ReadBase(base);
  const std::string folders = ReadFile(BaseFilePath(base, kFoldersFileName));
  for (const char* name : {"line\nfeed", "carriage\rreturn", "end\x1aof"}) {
    WriteFile(tmp / name + "/b.htm", "word");
    const std::string shown = EscapeControlBytes(tmp / name);
    for (const bool update : {false, true}) {
      SCOPED_TRACE(shown + (update ? " updated" : " added"));
      BaseState state;
      try {
        if (update) {
          Scan::PrepareUpdate(base, {tmp / name}, false, state, Env::Default())->Run(observer);
        } else {
          RunScan(base, tmp / name, observer);
        }
        ADD_FAILURE() << "the scan went through";
      } catch (const ScanFolderError& e) {
        EXPECT_EQ(e.what(), "The folder " + shown + " holds a line break or the byte 26, which the base cannot keep; " +
                                (update ? "nothing was updated" : "nothing was added"));
      }
      EXPECT_EQ(ReadBase(base), before);
      EXPECT_EQ(ReadFile(BaseFilePath(base, kFoldersFileName)), folders);
    }
  }
}

// A folders.txt that cannot be read whole is never written again without
// the folders it hides: every scan refuses, naming the file and line.
TEST(ScanTest, DamagedFoldersFileRefusesEveryScan) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(tmp / "docs/a.htm", "word");
  WriteFile(tmp / "more/b.htm", "word");
  RecordingObserver observer;
  RunScan(base, tmp / "docs", observer);
  RunScan(base, tmp / "more", observer);
  const std::string folders_file = BaseFilePath(base, kFoldersFileName);
  std::string folders = ReadFile(folders_file);
  folders.insert(folders.find(tmp / "more"), "\x1A");
  WriteFile(folders_file, folders);
  const BaseFiles before = ReadBase(base);
  const std::function<void(BaseState&)> scans[] = {
      [&](BaseState&) { RunScan(base, tmp / "docs", observer); },
      [&](BaseState& state) { Scan::PrepareUpdate(base, {}, false, state, Env::Default())->Run(observer); },
      [&](BaseState& state) { Scan::PrepareRemove(base, {tmp / "docs"}, state, Env::Default())->Run(observer); },
  };
  for (const auto& scan : scans) {
    BaseState state;
    try {
      scan(state);
      ADD_FAILURE() << "the scan went through";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(),
                   "folders.txt line 3: a byte 26, which hides the rest of the file; remove the file to go on without "
                   "what it remembers");
    }
    EXPECT_EQ(ReadFile(folders_file), folders);
    EXPECT_EQ(ReadBase(base), before);
  }
}

// A folder named wrds.txt counts as a missing base, but must not leave a
// commit that can never finish.
TEST(ScanTest, FolderInThePlaceOfABaseFileIsRefusedBeforeWriting) {
  for (const std::string name : {"wrds.txt", "fls.txt"}) {
    SCOPED_TRACE(name);
    TempDir tmp;
    const std::string base = tmp / "base";
    WriteFile(tmp / "docs/a.htm", "word");
    std::filesystem::create_directories(base + "/" + name);

    RecordingObserver observer;
    try {
      RunScan(base, tmp / "docs", observer);
      ADD_FAILURE() << "the scan went through";
    } catch (const std::exception& e) {
      EXPECT_EQ(e.what(), base + "/" + name + " is a folder where a base file belongs; the base is unchanged");
    }
    EXPECT_TRUE(BaseIsClean(base));
    EXPECT_TRUE(std::filesystem::is_directory(base + "/" + name));
    EXPECT_NO_THROW(RecoverBase(base, Env::Default()));
  }
}

TEST(ScanTest, StatusTextsComeInOrderWithOneWalkTextPerDirectory) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(tmp / "docs/a.htm", "aa");
  WriteFile(tmp / "docs/x/b.htm", "bb");
  WriteFile(tmp / "docs/y/c.txt", "cc");

  RecordingObserver observer;
  RunScan(base, tmp / "docs", observer);

  const std::vector<std::string> expected = {"step:Step 1 of 4",
                                             "status:Getting files list...",
                                             "status:Getting files list...",
                                             "status:Getting files list...",
                                             "status:",
                                             "step:Step 2 of 4",
                                             "status:Files processing...",
                                             "step:Step 3 of 4",
                                             "status:Sorting...",
                                             "step:Step 4 of 4",
                                             "status:Writing...",
                                             "step:",
                                             "status:Done!..."};
  EXPECT_EQ(observer.texts, expected);
  EXPECT_EQ(observer.progress.back(), (std::pair<size_t, size_t>{2, 2}));
}

TEST(ScanTest, EndsALastLineWithoutLineEndBeforeAppending) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(tmp / "docs/b.htm", "bb");
  WriteFile(FilesFilePath(base), tmp / "old.htm\r\n41");
  WriteFile(WordsFilePath(base), CrLf({"OLD", "41"}));

  RecordingObserver observer;
  RunScan(base, tmp / "docs", observer);

  EXPECT_EQ(ReadFile(FilesFilePath(base)), tmp / "old.htm\r\n41\r\n" + CrLf({tmp / "docs/b.htm", "42"}));
  EXPECT_EQ(ReadFile(WordsFilePath(base)), CrLf({"BB", "42", "OLD", "41"}));
}

// Regression guard: a Ctrl-Z that ends fls.txt for every reader (some
// editors put one at the end) hid the records appended after it, so the next
// scan reused their numbers and indexed their files again.
TEST(ScanTest, NewRecordsStayReadableAfterAnEndOfFileByte) {
  const std::string old_files[] = {
      CrLf({"/old.htm", "41"}) + "\x1a",
      CrLf({"/old.htm", "41"}) + "\x1a" + CrLf({"/hidden.htm", "50"}),
      "/old.htm\r\n41\x1a skipped \x1a rest\r\n/hidden.htm\r\n50",
      "/old.htm\r\n4\r1\r",
  };
  for (const std::string& old : old_files) {
    SCOPED_TRACE(old);
    TempDir tmp;
    const std::string base = tmp / "base";
    WriteFile(tmp / "docs/b.htm", "bb");
    WriteFile(FilesFilePath(base), old);
    WriteFile(WordsFilePath(base), CrLf({"OLD", "41"}));

    RecordingObserver observer;
    RunScan(base, tmp / "docs", observer);

    BaseState state;
    LoadBase(base, state, Env::Default());
    EXPECT_EQ(state.IndexedPaths, (std::vector<std::string>{"/old.htm", tmp / "docs/b.htm"}));
    EXPECT_EQ(state.postings.CurrentFileNumber(), "43");
    EXPECT_EQ(ReadFile(WordsFilePath(base)), CrLf({"BB", "42", "OLD", "41"}));
  }
}

TEST(ScanTest, PathPassingBothTestsIsReadByBothReadersAndRecordedOnce) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(tmp / "docs/page.htm.pdf", "<b>both</b> ways");

  RecordingObserver observer;
  RunScan(base, tmp / "docs", observer);

  EXPECT_EQ(ReadFile(FilesFilePath(base)), CrLf({tmp / "docs/page.htm.pdf", "0"}));
  // The PDF reader finds no PDF and adds nothing; the markup reader reads it.
  EXPECT_EQ(ReadFile(WordsFilePath(base)), CrLf({"BOTH", "0", "WAYS", "0"}));
}

TEST(ScanTest, RefusesNumbersBeyondThe32BitRangeBeforeWriting) {
  struct Case {
    std::string last_number;
    int new_files;
    bool refused;
  };
  const Case cases[] = {
      {"2147483645", 2, false}, {"2147483645", 3, true}, {"2147483646", 1, false}, {"2147483646", 2, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.last_number + " + " + std::to_string(c.new_files));
    TempDir tmp;
    const std::string base = tmp / "base";
    for (int i = 0; i < c.new_files; ++i) WriteFile(tmp / ("docs/" + std::to_string(i) + ".htm"), "xy");
    WriteFile(FilesFilePath(base), CrLf({"/old.htm", c.last_number}));
    WriteFile(WordsFilePath(base), CrLf({"OLD", c.last_number}));
    const BaseFiles before = ReadBase(base);

    RecordingObserver observer;
    if (c.refused) {
      EXPECT_THROW(RunScan(base, tmp / "docs", observer), std::runtime_error);
      EXPECT_EQ(ReadBase(base), before);
    } else {
      RunScan(base, tmp / "docs", observer);
      EXPECT_NE(ReadBase(base), before);
    }
    EXPECT_TRUE(BaseIsClean(base));
  }
}

// Search and lookup read the live files during a scan: they must hold the
// whole previous base until the commit.
TEST(ScanTest, LiveFilesHoldTheOldBaseUntilTheCommit) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(tmp / "docs/new.htm", "fresh");
  WriteFile(FilesFilePath(base), CrLf({"/old.htm", "0"}));
  WriteFile(WordsFilePath(base), CrLf({"OLD", "0"}));
  const BaseFiles before = ReadBase(base);

  struct Checking : RecordingObserver {
    std::string base;
    BaseFiles expected;
    int checks = 0;
    void SetStatus(const std::string& text) override {
      RecordingObserver::SetStatus(text);
      if (text == "Done!...") return;
      EXPECT_EQ(ReadBase(base), expected) << "while " << text;
      ++checks;
    }
  } observer;
  observer.base = base;
  observer.expected = before;
  RunScan(base, tmp / "docs", observer);
  EXPECT_EQ(observer.checks, 5);
  EXPECT_EQ(ReadFile(WordsFilePath(base)), CrLf({"FRESH", "1", "OLD", "0"}));
}

TEST(ScanTest, StopRequestKeepsTheOldBase) {
  TempDir tmp;
  const std::string base = tmp / "base";
  for (int i = 0; i < 5; ++i) WriteFile(tmp / ("docs/" + std::to_string(i) + ".htm"), "word");
  WriteFile(FilesFilePath(base), CrLf({"/old.htm", "0"}));
  WriteFile(WordsFilePath(base), CrLf({"OLD", "0"}));
  const BaseFiles before = ReadBase(base);

  RecordingObserver observer;
  observer.stop_after_checks = 3;
  EXPECT_THROW(RunScan(base, tmp / "docs", observer), ScanStopped);
  EXPECT_EQ(ReadBase(base), before);
  EXPECT_TRUE(BaseIsClean(base));
}

// Regression guard: a stop was only seen in step 2, so closing the window
// while a large tree was walked waited for the whole walk.
TEST(ScanTest, StopRequestEndsTheWalk) {
  TempDir tmp;
  const std::string base = tmp / "base";
  for (const char* path : {"docs/a.htm", "docs/x/b.htm", "docs/y/c.htm"}) WriteFile(tmp / path, "word");
  WriteFile(FilesFilePath(base), CrLf({"/old.htm", "0"}));
  WriteFile(WordsFilePath(base), CrLf({"OLD", "0"}));
  const BaseFiles before = ReadBase(base);

  RecordingObserver observer;
  observer.stop_after_checks = 1;  // the walk asks once per directory
  EXPECT_THROW(RunScan(base, tmp / "docs", observer), ScanStopped);
  EXPECT_EQ(observer.texts, (std::vector<std::string>{"step:Step 1 of 4", "status:Getting files list..."}));
  EXPECT_EQ(ReadBase(base), before);
  EXPECT_TRUE(BaseIsClean(base));
}

TEST(ScanTest, SecondScanOfTheSameBaseIsRefused) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(tmp / "docs/a.htm", "word");
  std::filesystem::create_directory(base);
  BaseState state;
  std::unique_ptr<Scan> first = Scan::Prepare(base, *FolderToScan(tmp / "docs", Env::Default()), state, Env::Default());

  // In this process...
  BaseState other;
  try {
    Scan::Prepare(base, *FolderToScan(tmp / "docs", Env::Default()), other, Env::Default());
    ADD_FAILURE() << "a second scan was allowed";
  } catch (const ScanLockedError& e) {
    EXPECT_STREQ(e.what(), "Another scan is adding to this base; try again when it has finished.");
  }
  // ...and from another one.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    BaseState state_in_child;
    try {
      Scan::Prepare(base, *FolderToScan(tmp / "docs", Env::Default()), state_in_child, Env::Default());
    } catch (const ScanLockedError&) {
      _exit(3);
    } catch (...) {
      _exit(4);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_FALSE(std::filesystem::exists(WordsFilePath(base)));

  // The first scan is unharmed, and the lock goes with it.
  RecordingObserver observer;
  first->Run(observer);
  first.reset();
  EXPECT_EQ(ReadFile(FilesFilePath(base)), CrLf({tmp / "docs/a.htm", "0"}));
  EXPECT_NO_THROW(Scan::Prepare(base, *FolderToScan(tmp / "docs", Env::Default()), other, Env::Default()));
}

TEST(ScanTest, LoadFailureReleasesTheLockAndChangesNothing) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(FilesFilePath(base), CrLf({"/old.htm", "not a number"}));
  WriteFile(WordsFilePath(base), CrLf({"OLD", "0"}));
  std::filesystem::create_directory(tmp / "docs");
  const BaseFiles before = ReadBase(base);
  BaseState state;
  EXPECT_THROW(Scan::Prepare(base, *FolderToScan(tmp / "docs", Env::Default()), state, Env::Default()),
               std::runtime_error);
  EXPECT_EQ(ReadBase(base), before);
  WriteFile(FilesFilePath(base), CrLf({"/old.htm", "0"}));
  EXPECT_NO_THROW(Scan::Prepare(base, *FolderToScan(tmp / "docs", Env::Default()), state, Env::Default()));
}

}  // namespace
}  // namespace veskara
