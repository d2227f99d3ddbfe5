// Keeping a base current: update and remove against a literal version of
// the drop, the stamps, the scope rules, a base written before anything was
// remembered, crashes at every call, and where the base lives.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "base/base_location.h"
#include "base/messages.h"
#include "base/remembered.h"
#include "fault_env.h"
#include "platform/errors.h"
#include "reference/literal_lines.h"
#include "scan_test_util.h"
#include "search/base_check.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::CrLf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

ScanSummary Update(const std::string& base, std::vector<std::string> folders, Env& env = Env::Default(),
                   bool retry = false) {
  BaseState state;
  std::unique_ptr<Scan> scan = Scan::PrepareUpdate(base, std::move(folders), retry, state, env);
  RecordingObserver observer;
  scan->Run(observer);
  return scan->Summary();
}

ScanSummary Remove(const std::string& base, std::vector<std::string> paths, Env& env = Env::Default()) {
  BaseState state;
  std::unique_ptr<Scan> scan = Scan::PrepareRemove(base, std::move(paths), state, env);
  RecordingObserver observer;
  scan->Run(observer);
  return scan->Summary();
}

// Sets a file's modification time (seconds since the epoch), so that tests
// change stamps without waiting for the clock.
void SetTime(const std::string& path, time_t seconds) {
  const struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimes(path.c_str(), times), 0) << path;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

// The drop written out literally on the base files' lines: the dropped
// numbers leave every word line (a word left with none goes), their records
// leave fls.txt and their stamps leave stamps.txt, whose mark stays.
void LiteralDrop(const std::string& base, const std::set<std::string>& dropped) {
  const std::vector<std::string> words = reference::LiteralLines(ReadFile(WordsFilePath(base)));
  std::vector<std::string> kept_words;
  for (size_t i = 0; i + 1 < words.size(); i += 2) {
    std::string list;
    size_t start = 0;
    while (start <= words[i + 1].size()) {
      const size_t comma = std::min(words[i + 1].find(',', start), words[i + 1].size());
      const std::string number = words[i + 1].substr(start, comma - start);
      if (dropped.count(number) == 0) list += (list.empty() ? "" : ",") + number;
      start = comma + 1;
    }
    if (list.empty()) continue;
    kept_words.push_back(words[i]);
    kept_words.push_back(list);
  }
  WriteFile(WordsFilePath(base), Joined(kept_words));
  const std::vector<std::string> files = reference::LiteralLines(ReadFile(FilesFilePath(base)));
  std::vector<std::string> kept_files;
  for (size_t i = 0; i + 1 < files.size(); i += 2) {
    if (dropped.count(files[i + 1]) != 0) continue;
    kept_files.push_back(files[i]);
    kept_files.push_back(files[i + 1]);
  }
  WriteFile(FilesFilePath(base), Joined(kept_files));
  const std::vector<std::string> stamps = reference::LiteralLines(ReadFile(BaseFilePath(base, kStampsFileName)));
  std::vector<std::string> kept_stamps = {stamps.at(0)};
  for (size_t i = 1; i < stamps.size(); ++i) {
    if (dropped.count(stamps[i].substr(0, stamps[i].find('\t'))) == 0) kept_stamps.push_back(stamps[i]);
  }
  WriteFile(BaseFilePath(base, kStampsFileName), Joined(kept_stamps));
}

// The number lines of fls.txt whose path is one of `paths`.
std::set<std::string> NumbersOf(const std::string& base, const std::vector<std::string>& paths) {
  std::set<std::string> numbers;
  for (const FileRecord& record : ReadFileRecords(base, Env::Default())) {
    if (std::find(paths.begin(), paths.end(), record.path) != paths.end()) numbers.insert(record.number);
  }
  return numbers;
}

class BaseLifeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = tmp_ / "base";
    docs_ = tmp_ / "docs";
    for (const char* name : {"a.htm", "b.htm", "sub/c.htm", "sub/d.htm", "other/e.htm"}) {
      WriteFile(docs_ + "/" + name, std::string("<p>shared page ") + name + " alpha</p>");
      SetTime(docs_ + "/" + name, 1'000'000'000);
    }
    RecordingObserver observer;
    RunScan(base_, docs_, observer);
  }
  std::string Doc(const std::string& name) const { return docs_ + "/" + name; }

  TempDir tmp_;
  std::string base_;
  std::string docs_;
};

// The result of an update is the literal drop of what changed, then a scan
// of the remembered folders: changed files come back under new numbers,
// vanished ones leave, new ones are added, the rest keep their numbers.
TEST_F(BaseLifeTest, UpdateIsTheLiteralDropThenAScan) {
  const struct {
    const char* name;
    std::vector<std::string> edited, deleted, created;
    size_t added, updated, removed;
  } cases[] = {
      {"an edited page", {"b.htm"}, {}, {}, 0, 1, 0},
      {"a deleted page", {}, {"sub/c.htm"}, {}, 0, 0, 1},
      {"a new page", {}, {}, {"sub/new.htm"}, 1, 0, 0},
      {"all at once", {"a.htm", "other/e.htm"}, {"sub/d.htm"}, {"z.htm", "other/f.htm"}, 2, 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    for (const std::string& name : c.edited) {
      WriteFile(Doc(name), "<p>rewritten beta " + name + "</p>");
      SetTime(Doc(name), 1'100'000'000);
    }
    for (const std::string& name : c.deleted) std::filesystem::remove(Doc(name));
    for (const std::string& name : c.created) WriteFile(Doc(name), "<p>fresh gamma " + name + "</p>");
    std::vector<std::string> gone;
    for (const std::string& name : c.edited) gone.push_back(Doc(name));
    for (const std::string& name : c.deleted) gone.push_back(Doc(name));

    const std::string reference = tmp_ / "reference";
    std::filesystem::remove_all(reference);
    std::filesystem::copy(base_, reference);
    LiteralDrop(reference, NumbersOf(base_, gone));
    const ScanSummary literal = Update(reference, {});
    EXPECT_EQ(literal.updated + literal.removed, 0u) << "the literal base still had something to drop";

    const ScanSummary summary = Update(base_, {});
    EXPECT_EQ(summary.added, c.added);
    EXPECT_EQ(summary.updated, c.updated);
    EXPECT_EQ(summary.removed, c.removed);
    EXPECT_EQ(ReadBase(base_), ReadBase(reference));
    const BaseCheck check = CheckBase(base_, Env::Default());
    EXPECT_EQ(check.status, BaseCheck::Status::kConsistent) << check.problem;
    std::filesystem::remove_all(base_);
  }
}

// Nothing changed: only sizes and times are looked at, wrds.txt is not even
// read, and nothing is written.
TEST_F(BaseLifeTest, UpdateWithNothingChangedWritesNothing) {
  const BaseFiles before = ReadBase(base_);
  FaultInjectionEnv env;
  env.SetHook([&](EnvOp op, const std::string& path, int) {
    const bool words = op == EnvOp::kOpenRead && path == WordsFilePath(base_);
    const bool writes = op == EnvOp::kOpenWrite || op == EnvOp::kRename;
    EXPECT_FALSE(words || writes) << EnvOpName(op) << " " << path;
    return 0;
  });
  const ScanSummary summary = Update(base_, {}, env);
  EXPECT_FALSE(summary.written);
  EXPECT_EQ(SummaryLine(summary), "0 added, 0 updated, 0 removed, 0 could not be read");
  EXPECT_EQ(ReadBase(base_), before);
}

// The scope: a named folder (at a separator boundary: "sub" is not "subway")
// or every remembered folder; files outside it are not looked at.
TEST_F(BaseLifeTest, UpdateOfANamedFolderTouchesOnlyIt) {
  WriteFile(Doc("subway/x.htm"), "outside");
  WriteFile(Doc("sub/c.htm"), "changed inside");
  WriteFile(Doc("b.htm"), "changed outside");
  const ScanSummary summary = Update(base_, {docs_ + "/sub"});
  EXPECT_EQ(summary.updated, 1u);
  EXPECT_EQ(summary.added, 0u);  // subway/ is not under sub/
  const std::vector<FileRecord> records = ReadFileRecords(base_, Env::Default());
  EXPECT_EQ(records.back().path, Doc("sub/c.htm"));
  // A part of a remembered folder was updated, not a new folder.
  EXPECT_EQ(LoadRemembered(base_, Env::Default()).folders.size(), 1u);
}

// The stamp of each file as read: kind, size, time, and why it was not read.
TEST_F(BaseLifeTest, StampsRecordWhatWasRead) {
  std::filesystem::create_directories(Doc("folder.htm"));
  std::filesystem::create_symlink("nowhere", Doc("dead.htm"));
  ASSERT_EQ(::mkfifo(Doc("pipe.htm").c_str(), 0644), 0);
  RecordingObserver observer;
  RunScan(base_, docs_, observer);
  const Remembered remembered = LoadRemembered(base_, Env::Default());
  std::map<std::string, FileStamp> by_path;
  for (const FileRecord& record : ReadFileRecords(base_, Env::Default()))
    by_path[record.path] = remembered.stamps.at(record.number);
  const uint64_t size = std::string("<p>shared page a.htm alpha</p>").size();
  EXPECT_EQ(by_path[Doc("a.htm")], (FileStamp{PathKind::kFile, size, 1'000'000'000'000'000'000, ""}));
  EXPECT_EQ(by_path[Doc("folder.htm")].kind, PathKind::kDirectory);
  EXPECT_EQ(by_path[Doc("dead.htm")], (FileStamp{PathKind::kMissing, 0, 0, "File not found"}));
  EXPECT_EQ(by_path[Doc("pipe.htm")].unread_reason, "not a regular file (a FIFO, socket or device)");
  EXPECT_EQ(remembered.highest_number, std::stoll(ReadFileRecords(base_, Env::Default()).back().number));
  // A FIFO stays what it was: not read again at every update...
  EXPECT_FALSE(Update(base_, {}).written);
  // ...unless asked to; read again and still unreadable, they are counted
  // as not read, not as updated.
  const ScanSummary retried = Update(base_, {}, Env::Default(), /*retry=*/true);
  EXPECT_EQ(retried.updated, 0u);
  EXPECT_EQ(retried.unread.size(), 2u);  // the FIFO and the dead link
}

// A base written before anything was remembered: a file counts as changed
// when modified after fls.txt was last written; new files are found only
// under folders named.
TEST(BaseLifeLegacyTest, FilesWithoutStampsAreJudgedByTheTimeOfFlsTxt) {
  TempDir tmp;
  const std::string base = tmp / "base";
  WriteFile(tmp / "docs/old.htm", "old words");
  WriteFile(tmp / "docs/edited.htm", "new words");
  WriteFile(tmp / "docs/new.htm", "brand new");
  WriteLegacyBase(base, CrLf({"EDITED", "1", "OLD", "0", "WORDS", "0,1"}),
                  CrLf({tmp / "docs/old.htm", "0", tmp / "docs/edited.htm", "1", tmp / "gone.htm", "2"}));
  SetTime(FilesFilePath(base), 2'000'000'000);
  SetTime(tmp / "docs/old.htm", 1'900'000'000);
  SetTime(tmp / "docs/edited.htm", 2'100'000'000);

  ScanSummary summary = Update(base, {});
  EXPECT_EQ(SummaryLine(summary), "0 added, 1 updated, 1 removed, 0 could not be read");
  EXPECT_EQ(ReadFile(FilesFilePath(base)), CrLf({tmp / "docs/old.htm", "0", tmp / "docs/edited.htm", "3"}));
  EXPECT_EQ(ReadFile(WordsFilePath(base)), CrLf({"NEW", "3", "OLD", "0", "WORDS", "0,3"}));
  summary = Update(base, {tmp / "docs"});
  EXPECT_EQ(summary.added, 1u);
  EXPECT_EQ(LoadRemembered(base, Env::Default()).folders.size(), 1u);
}

TEST_F(BaseLifeTest, RemoveDropsWhatLiesUnderAPathAndForgetsItsFolders) {
  WriteFile(tmp_ / "more/m.htm", "<p>more</p>");
  RecordingObserver observer;
  RunScan(base_, tmp_ / "more", observer);
  ASSERT_EQ(LoadRemembered(base_, Env::Default()).folders.size(), 2u);
  const BaseFiles before = ReadBase(base_);
  EXPECT_FALSE(Remove(base_, {docs_ + "/su"}).written);  // no separator boundary: nothing
  EXPECT_EQ(ReadBase(base_), before);

  EXPECT_EQ(Remove(base_, {tmp_ / "more"}).removed, 1u);
  ScanSummary summary = Remove(base_, {docs_ + "/sub"});
  EXPECT_EQ(summary.removed, 2u);
  Remembered remembered = LoadRemembered(base_, Env::Default());
  ASSERT_EQ(remembered.folders.size(), 1u);
  EXPECT_EQ(remembered.folders[0].path, docs_);
  EXPECT_EQ(remembered.excluded, std::vector<std::string>{docs_ + "/sub"});
  for (const FileRecord& record : ReadFileRecords(base_, Env::Default()))
    EXPECT_FALSE(IsAtOrUnder(record.path, docs_ + "/sub"));
  // Removed stays removed...
  EXPECT_FALSE(Update(base_, {}).written);
  // ...until added again; numbers are never given twice: the files come
  // back above the mark.
  const int64_t mark = remembered.highest_number;
  RunScan(base_, docs_ + "/sub", observer);
  remembered = LoadRemembered(base_, Env::Default());
  EXPECT_EQ(remembered.excluded, std::vector<std::string>{});
  EXPECT_EQ(remembered.folders.size(), 1u);
  size_t back = 0;
  for (const FileRecord& record : ReadFileRecords(base_, Env::Default())) {
    if (IsAtOrUnder(record.path, docs_ + "/sub")) {
      EXPECT_GT(std::stoll(record.number), mark);
      ++back;
    }
  }
  EXPECT_EQ(back, 2u);
  const BaseCheck check = CheckBase(base_, Env::Default());
  EXPECT_EQ(check.status, BaseCheck::Status::kConsistent) << check.problem;
}

// A remembered folder that holds no file of the base still changes the
// base when it is removed: the folder is forgotten, the files stay.
TEST_F(BaseLifeTest, RemoveOfAFolderWithoutFilesForgetsIt) {
  std::filesystem::create_directories(tmp_ / "empty");
  RecordingObserver observer;
  RunScan(base_, tmp_ / "empty", observer);
  ASSERT_EQ(LoadRemembered(base_, Env::Default()).folders.size(), 2u);
  const BaseFiles before = ReadBase(base_);

  const ScanSummary summary = Remove(base_, {tmp_ / "empty"});
  EXPECT_TRUE(summary.written);
  EXPECT_EQ(summary.removed, 0u);
  EXPECT_EQ(ReadBase(base_).files, before.files);
  const Remembered remembered = LoadRemembered(base_, Env::Default());
  ASSERT_EQ(remembered.folders.size(), 1u);
  EXPECT_EQ(remembered.folders[0].path, docs_);
}

// The remembered folders, as folders.txt holds them.
std::vector<RememberedFolder> FoldersOf(const std::string& base) {
  return LoadRemembered(base, Env::Default()).folders;
}

// A remembered folder that is not there is offline: an update leaves its
// files as they are (none dropped, none even looked at), keeps its time and
// device, and says so, while the other folders are kept current.
// Regression guard: a stick pulled out, a share not mounted or a folder
// made unreadable lost all its files to the next update ("3 removed").
TEST_F(BaseLifeTest, OfflineFolderKeepsItsFiles) {
  const std::string away = tmp_ / "away";
  const struct {
    const char* name;
    OfflineReason reason;
    const char* in_its_place;  // "": nothing; "file", "loop" or "folder"
    EnvOp op;                  // a look at the folder itself that fails...
    int error;                 // ...with this error (0: none fails)
    bool other_device = false;
  } cases[] = {
      {"missing", OfflineReason::kMissing, "", EnvOp::kStat, 0},
      {"a file in its place", OfflineReason::kNotAFolder, "file", EnvOp::kStat, 0},
      {"a link loop", OfflineReason::kLinkLoop, "loop", EnvOp::kStat, 0},
      {"unreadable", OfflineReason::kUnreadable, nullptr, EnvOp::kList, EACCES},
      {"out of reach", OfflineReason::kUnreachable, nullptr, EnvOp::kStat, EACCES},
      {"an empty mount point", OfflineReason::kOtherFileSystem, "folder", EnvOp::kStat, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    WriteFile(tmp_ / "more/m.htm", "<p>more</p>");
    RecordingObserver observer;
    RunScan(base_, tmp_ / "more", observer);
    WriteFile(tmp_ / "more/new.htm", "<p>new</p>");  // so that the update writes
    const std::string files_before = ReadFile(FilesFilePath(base_));
    const std::vector<RememberedFolder> folders_before = FoldersOf(base_);
    ASSERT_TRUE(folders_before.at(0).device.has_value());

    if (c.in_its_place != nullptr) std::filesystem::rename(docs_, away);
    const std::string in_its_place = c.in_its_place == nullptr ? "" : c.in_its_place;
    if (in_its_place == "file") WriteFile(docs_, "not a folder");
    if (in_its_place == "loop") std::filesystem::create_symlink(docs_, docs_);
    if (in_its_place == "folder") std::filesystem::create_directory(docs_);
    FaultInjectionEnv env;
    std::vector<std::string> looked_at;  // under the offline folder
    env.SetHook([&](EnvOp op, const std::string& path, int) {
      if (path.starts_with(docs_ + "/")) looked_at.push_back(path);
      return op == c.op && path == docs_ ? c.error : 0;
    });
    if (c.other_device) env.SetDeviceOf(docs_, *folders_before[0].device + 1);
    env.SetNow(folders_before[1].scanned_ns + 1);

    const ScanSummary summary = Update(base_, {}, env);
    EXPECT_EQ(summary.offline, (std::vector<OfflineFolder>{{docs_, c.reason, 5}}));
    EXPECT_EQ(SummaryLine(summary), "1 added, 0 updated, 0 removed, 0 could not be read");
    EXPECT_EQ(OfflineReport(summary.offline), docs_ + ": offline, 5 files kept\n");
    EXPECT_EQ(looked_at, std::vector<std::string>{});
    const std::string files_after = ReadFile(FilesFilePath(base_));
    EXPECT_TRUE(files_after.starts_with(files_before)) << files_after;
    EXPECT_EQ(FoldersOf(base_),
              (std::vector<RememberedFolder>{folders_before[0], {tmp_ / "more", env.Now(), folders_before[1].device}}));
    const BaseCheck check = CheckBase(base_, Env::Default());
    EXPECT_EQ(check.status, BaseCheck::Status::kConsistent) << check.problem;

    // Back again, it is kept current as before.
    if (c.in_its_place != nullptr) {
      std::filesystem::remove(docs_);
      std::filesystem::rename(away, docs_);
    }
    WriteFile(Doc("a.htm"), "<p>rewritten</p>");
    const ScanSummary back = Update(base_, {});
    EXPECT_EQ(back.offline, std::vector<OfflineFolder>{});
    EXPECT_EQ(SummaryLine(back), "0 added, 1 updated, 0 removed, 0 could not be read");
    std::filesystem::remove_all(base_);
    std::filesystem::remove_all(tmp_ / "more");
  }
}

// Asked for by name, a folder that is offline (or not there at all, or in
// a remembered folder that is offline) is a failure: nothing is written.
// Regression guard: `update /no/such` said "0 added" and exited 0.
TEST_F(BaseLifeTest, NamedFolderThatIsOfflineRefusesTheUpdate) {
  WriteFile(Doc("b.htm"), "<p>changed, yet not to be read</p>");
  const BaseFiles before = ReadBase(base_);
  const std::vector<RememberedFolder> folders_before = FoldersOf(base_);
  const std::string missing = tmp_ / "no such";
  const struct {
    std::string named;
    std::string message;
    bool other_device;
  } cases[] = {
      {missing, "The folder " + missing + " is offline (missing); nothing was updated", false},
      {docs_,
       "The folder " + docs_ + " is offline (on another file system than when last scanned); nothing was updated",
       true},
      {docs_ + "/sub",
       "The folder " + docs_ + "/sub is offline (on another file system than when last scanned); nothing was updated",
       true},
  };
  for (const auto& c : cases) {
    FaultInjectionEnv env;
    if (c.other_device) env.SetDeviceOf(docs_, *folders_before[0].device + 1);
    try {
      Update(base_, {c.named, docs_ + "/other"}, env);
      ADD_FAILURE() << c.named << ": the update went through";
    } catch (const ScanFolderOffline& e) {
      EXPECT_EQ(e.what(), c.message);
    }
    EXPECT_EQ(ReadBase(base_), before);
    EXPECT_EQ(FoldersOf(base_), folders_before);
    EXPECT_TRUE(BaseIsClean(base_));
  }
}

// A subfolder that cannot be read keeps its files as an offline folder
// does, and is named among what could not be read.
TEST_F(BaseLifeTest, SubfolderThatCannotBeReadKeepsItsFiles) {
  WriteFile(Doc("z.htm"), "<p>new</p>");
  const std::set<std::string> sub_numbers = NumbersOf(base_, {Doc("sub/c.htm"), Doc("sub/d.htm")});
  FaultInjectionEnv env;
  env.SetHook([&](EnvOp op, const std::string& path, int) {
    const bool in_sub = path.starts_with(Doc("sub"));
    return in_sub && (op == EnvOp::kList || (op == EnvOp::kStat && path != Doc("sub"))) ? EACCES : 0;
  });
  const ScanSummary summary = Update(base_, {}, env);
  EXPECT_EQ(SummaryLine(summary), "1 added, 0 updated, 0 removed, 1 could not be read");
  EXPECT_EQ(summary.unread, (std::vector<UnreadDocument>{{Doc("sub"), kUnlistedFolderReason}}));
  EXPECT_EQ(NumbersOf(base_, {Doc("sub/c.htm"), Doc("sub/d.htm")}), sub_numbers);
  EXPECT_EQ(sub_numbers.size(), 2u);
}

// The mount point of a disk that is not there: an empty folder of the disk
// above it, told apart by its device alone. An add of it is refused too
// (the next update would empty it); with a disk mounted on it again, under
// whatever device number, an add takes it back. Where the sandbox lets us
// mount.
TEST_F(BaseLifeTest, EmptyMountPointIsOffline) {
  const std::string stick = tmp_ / "stick";
  std::filesystem::create_directory(stick);
  const std::string mount = "mount -t tmpfs -o size=1m tmpfs '" + stick + "' 2>/dev/null";
  if (geteuid() != 0 || std::system(mount.c_str()) != 0) GTEST_SKIP() << "cannot mount a file system here";
  WriteFile(stick + "/a.htm", "<p>on the stick</p>");
  WriteFile(stick + "/b.htm", "<p>also on the stick</p>");
  RecordingObserver observer;
  RunScan(base_, stick, observer);
  ASSERT_EQ(std::system(("umount '" + stick + "'").c_str()), 0);
  const BaseFiles before = ReadBase(base_);

  const ScanSummary summary = Update(base_, {});
  EXPECT_EQ(OfflineReport(summary.offline), stick + ": offline, 2 files kept\n");
  EXPECT_FALSE(summary.written);
  EXPECT_THROW(RunScan(base_, stick, observer), ScanFolderError);
  EXPECT_EQ(ReadBase(base_), before);

  ASSERT_EQ(std::system(mount.c_str()), 0);
  WriteFile(stick + "/a.htm", "<p>on the stick</p>");
  RunScan(base_, stick, observer);
  ASSERT_EQ(std::system(("umount '" + stick + "'").c_str()), 0);
  EXPECT_EQ(Update(base_, {}).offline.size(), 1u);  // still the device just added
}

// The same, on the fault-injecting Env: the folder and the one above it on
// one file system, not the one remembered, is no disk come back.
TEST_F(BaseLifeTest, AddTakesBackAFolderOnAnotherFileSystemOnlyWithADiskMountedOnIt) {
  const uint64_t remembered = *FoldersOf(base_).at(0).device;
  std::filesystem::rename(docs_, tmp_ / "away");
  std::filesystem::create_directory(docs_);
  FaultInjectionEnv env;
  env.SetDeviceOf(tmp_.path(), remembered + 1);
  RecordingObserver observer;
  try {
    RunScan(base_, docs_, observer, env);
    ADD_FAILURE() << "the add went through";
  } catch (const ScanFolderError& e) {
    EXPECT_EQ(e.what(), "The folder " + docs_ +
                            " is on another file system than when last scanned, and no disk is mounted on it; "
                            "nothing was added");
  }
  EXPECT_EQ(*FoldersOf(base_).at(0).device, remembered);
  env.SetDeviceOf(docs_, remembered + 2);
  RunScan(base_, docs_, observer, env);
  EXPECT_EQ(*FoldersOf(base_).at(0).device, remembered + 2);
}

// Regression: with every number used up a remove was refused ("no more
// files can be added"), though it adds nothing; so was an update that only
// drops. Only a new file needs a number.
TEST_F(BaseLifeTest, ABaseWithoutNumbersLeftStillLosesFiles) {
  const std::string stamps = BaseFilePath(base_, kStampsFileName);
  const std::string text = ReadFile(stamps);
  WriteFile(stamps, "2147483647" + text.substr(text.find("\r\n")));
  std::filesystem::remove(Doc("a.htm"));
  EXPECT_EQ(SummaryLine(Remove(base_, {Doc("a.htm")})), "0 added, 0 updated, 1 removed, 0 could not be read");
  std::filesystem::remove(Doc("b.htm"));
  EXPECT_EQ(SummaryLine(Update(base_, {})), "0 added, 0 updated, 1 removed, 0 could not be read");
  WriteFile(Doc("new.htm"), "<p>new</p>");
  const BaseFiles before = ReadBase(base_);
  try {
    Update(base_, {});
    ADD_FAILURE() << "a new file was numbered beyond 32 bits";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("their numbers would pass 2147483647"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadBase(base_), before);
  const BaseCheck check = CheckBase(base_, Env::Default());
  EXPECT_EQ(check.status, BaseCheck::Status::kConsistent) << check.problem;
}

// Regression: a stamp whose number fls.txt does not hold made check fail
// for good, as nothing ever dropped it. Update and remove drop it.
TEST_F(BaseLifeTest, UpdateAndRemoveDropOrphanStamps) {
  const std::string stamps = BaseFilePath(base_, kStampsFileName);
  const std::string pristine = ReadFile(stamps);
  for (const bool remove : {false, true}) {
    WriteFile(stamps, pristine + "4000\tf\t1\t1\r\n");
    ASSERT_EQ(CheckBase(base_, Env::Default()).status, BaseCheck::Status::kInconsistent);
    EXPECT_TRUE((remove ? Remove(base_, {Doc("other")}) : Update(base_, {})).written) << remove;
    const BaseCheck check = CheckBase(base_, Env::Default());
    EXPECT_EQ(check.status, BaseCheck::Status::kConsistent) << remove << " " << check.problem;
    EXPECT_EQ(LoadRemembered(base_, Env::Default()).stamps.count("4000"), 0u) << remove;
  }
}

// Regression: a file deleted while an update ran stayed in the base as
// unread, "File not found"; it leaves as removed. An add records it, as the
// written scan records every candidate of its walk.
TEST_F(BaseLifeTest, AFileDeletedDuringAnUpdateIsRemoved) {
  WriteFile(Doc("b.htm"), "<p>rewritten</p>");  // to be read again
  WriteFile(Doc("new.htm"), "<p>new</p>");
  const struct {
    std::string deleted;
    int at_stat;  // the stat that reads it; step 1 stats what it judges
    bool add;
    std::string summary;
  } cases[] = {
      {Doc("b.htm"), 2, false, "1 added, 0 updated, 1 removed, 0 could not be read"},
      {Doc("new.htm"), 1, false, "0 added, 1 updated, 0 removed, 0 could not be read"},
      {Doc("new.htm"), 1, true, "1 added, 0 updated, 0 removed, 1 could not be read"},
  };
  const std::string pristine = tmp_ / "pristine";
  std::filesystem::copy(base_, pristine);
  for (const auto& c : cases) {
    std::filesystem::remove_all(base_);
    std::filesystem::copy(pristine, base_);
    WriteFile(Doc("b.htm"), "<p>rewritten</p>");
    WriteFile(Doc("new.htm"), "<p>new</p>");
    FaultInjectionEnv env;
    int stats = 0;
    env.SetHook([&](EnvOp op, const std::string& path, int) {
      if (op == EnvOp::kStat && path == c.deleted && ++stats == c.at_stat) std::filesystem::remove(path);
      return 0;
    });
    ScanSummary summary;
    if (c.add) {
      BaseState state;
      std::unique_ptr<Scan> scan = Scan::Prepare(base_, docs_, state, env);
      RecordingObserver observer;
      scan->Run(observer);
      summary = scan->Summary();
    } else {
      summary = Update(base_, {}, env);
    }
    EXPECT_EQ(SummaryLine(summary), c.summary) << c.deleted;
    EXPECT_EQ(NumbersOf(base_, {c.deleted}).empty(), !c.add) << c.deleted;
    const BaseCheck check = CheckBase(base_, Env::Default());
    EXPECT_EQ(check.status, BaseCheck::Status::kConsistent) << check.problem;
  }
}

// Regression: base files were made 0644, so a base in a shared folder (or,
// without HOME, beside the program) was every user's to read.
TEST_F(BaseLifeTest, BaseFilesArePrivate) {
  std::filesystem::remove(Doc("a.htm"));
  Update(base_, {});
  for (const char* name : {"wrds.txt", "fls.txt", "stamps.txt", "folders.txt", "veskara.lock"}) {
    struct stat st {};
    ASSERT_EQ(::stat(BaseFilePath(base_, name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
  }
}

// Crashes at every call of an update and of a remove: after recovery the
// base is the old or the new one, and what it remembers agrees with it.
TEST_F(BaseLifeTest, CrashAtEveryCallOfAnUpdateOrARemove) {
  const std::string pristine = tmp_ / "pristine";
  WriteFile(Doc("b.htm"), "<p>rewritten</p>");
  WriteFile(Doc("sub/new.htm"), "<p>new</p>");
  std::filesystem::remove(Doc("other/e.htm"));
  std::filesystem::copy(base_, pristine);
  for (const bool remove : {false, true}) {
    auto run = [&](Env& env) { return remove ? Remove(base_, {docs_ + "/sub"}, env) : Update(base_, {}, env); };
    auto reset = [&] {
      std::filesystem::remove_all(base_);
      std::filesystem::copy(pristine, base_);
    };
    run(Env::Default());
    const BaseFiles new_base = ReadBase(base_);
    reset();
    const BaseFiles old_base = ReadBase(base_);
    for (EnvOp op : {EnvOp::kOpenWrite, EnvOp::kOpenAppend, EnvOp::kWrite, EnvOp::kSync, EnvOp::kRename, EnvOp::kRemove,
                     EnvOp::kSyncDir}) {
      bool finished = false;
      for (int n = 1; !finished && n < 200; ++n) {
        SCOPED_TRACE(std::string(remove ? "remove" : "update") + " crashed at " + EnvOpName(op) + " " +
                     std::to_string(n));
        FaultInjectionEnv env;
        env.CrashAtNth(op, n);
        try {
          run(env);
        } catch (const IoError&) {
        }
        finished = !env.crashed();
        RecoverBase(base_, Env::Default());
        const BaseFiles now = ReadBase(base_);
        EXPECT_TRUE(now == old_base || now == new_base);
        const BaseCheck check = CheckBase(base_, Env::Default());
        EXPECT_EQ(check.status, BaseCheck::Status::kConsistent) << check.problem;
        reset();
      }
    }
  }
}

// A search in another process may read the live files at any moment of the
// commit: also when records are dropped, every number it finds in wrds.txt
// has its path in fls.txt.
TEST_F(BaseLifeTest, EveryNumberHasItsPathAtEveryRenameOfAnUpdate) {
  WriteFile(Doc("b.htm"), "<p>rewritten</p>");
  WriteFile(Doc("new.htm"), "<p>new</p>");
  std::filesystem::remove(Doc("sub/c.htm"));
  FaultInjectionEnv env;
  env.SetHook([&](EnvOp op, const std::string&, int count) {
    if (op == EnvOp::kRename) {
      EXPECT_EQ(NumbersWithoutPath(base_), std::vector<std::string>{}) << "before rename " << count;
    }
    return 0;
  });
  EXPECT_EQ(SummaryLine(Update(base_, {}, env)), "1 added, 1 updated, 1 removed, 0 could not be read");
  EXPECT_EQ(env.Count(EnvOp::kRename), 5);  // the interim fls.txt first
  EXPECT_EQ(NumbersWithoutPath(base_), std::vector<std::string>{});
}

// Where the base lives, in order: --base, VESKARA_BASE, the program's
// folder when it holds a base, the user's data folder.
TEST(BaseLocationTest, FirstOfTheNamedPlaces) {
  TempDir tmp;
  WriteFile(tmp / "with/wrds.txt", "");
  std::filesystem::create_directories(tmp / "without");
  const std::optional<std::string> none;
  const struct {
    std::optional<std::string> given, variable, xdg, home;
    std::string program_folder;
    std::string directory;
  } cases[] = {
      {"/named/", "/var", none, "/home/u", tmp / "with", "/named"},
      {none, "/var/", none, "/home/u", tmp / "with", "/var"},
      {none, "", none, "/home/u", tmp / "with", tmp / "with"},
      {none, none, "/data", "/home/u", tmp / "without", "/data/veskara"},
      {none, none, "relative", "/home/u/", tmp / "without", "/home/u/.local/share/veskara"},
      {none, none, none, "/home/u", tmp / "without", "/home/u/.local/share/veskara"},
      {none, none, none, none, tmp / "with", tmp / "with"},  // a base carried beside the program
      // Regression: without HOME the base went beside the program (0644 files),
      // and became every user's. Nothing named is a failure ("" here).
      {none, none, none, none, tmp / "without", ""},
      {none, "", "relative", "", tmp / "without", ""},
      {none, none, none, "relative/home", tmp / "without", ""},
  };
  for (const auto& c : cases) {
    FaultInjectionEnv env;
    env.SetVariable("VESKARA_BASE", c.variable);
    env.SetVariable("XDG_DATA_HOME", c.xdg);
    env.SetVariable("HOME", c.home);
    env.SetExecutablePath(c.program_folder + "/veskara");
    if (c.directory.empty()) {
      EXPECT_THROW(LocateBase(c.given, env), NoBaseFolderError) << c.home.value_or("no HOME");
    } else {
      EXPECT_EQ(LocateBase(c.given, env).directory, c.directory) << c.directory;
    }
  }
}

// Regression: a file named as the base folder gave "Invalid filename." at
// the first scan; it is named, with what is wrong with it.
TEST(BaseLocationTest, WhatKeepsAFolderFromHoldingABase) {
  TempDir tmp;
  WriteFile(tmp / "file", "");
  std::filesystem::create_directories(tmp / "folder");
  const struct {
    std::string directory;
    std::string problem;
  } cases[] = {
      {tmp / "folder", ""},
      {tmp / "folder/new/base", ""},  // the first scan makes it
      {tmp / "file", "The base folder " + tmp / "file" + " (VESKARA_BASE) is a file, not a folder"},
      {tmp / "file/base",
       "The base folder " + tmp / "file/base" + " (VESKARA_BASE) cannot be made: " + tmp / "file" + " is not a folder"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BaseFolderProblem({c.directory, "VESKARA_BASE"}, Env::Default()), c.problem) << c.directory;
  }
}

}  // namespace
}  // namespace veskara
