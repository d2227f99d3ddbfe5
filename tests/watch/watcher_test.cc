// The watcher, driven by hand on a real tree with the kernel's real events:
// the base follows every kind of change as a fresh scan would have it; the
// quiet moment and the longest wait; the kernel's limit; a folder that goes
// offline and comes back; the lock of another scan; a stop.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "base/commit.h"
#include "base/messages.h"
#include "fault_env.h"
#include "search/base_check.h"
#include "test_util.h"
#include "watch_test_util.h"

namespace veskara::testing {
namespace {

namespace fs = std::filesystem;

class WatcherTest : public ::testing::Test {
 public:
  void SetUp() override {
    for (const char* page : {"a.htm", "b.htm", "sub/c.htm", "sub/deep/d.pdf.htm", "other/e.htm"}) {
      WriteFile(Doc(page), std::string("<p>alpha page ") + page + "</p>");
    }
    AddFolder(base_, docs_);
  }
  std::string Doc(const std::string& name) const { return docs_ + "/" + name; }
  // The base as a fresh scan of the tree gives it.
  std::map<std::string, std::set<std::string>> FreshContent() {
    const std::string fresh = tmp_ / ("fresh" + std::to_string(++fresh_count_));
    AddFolder(fresh, docs_);
    return BaseContent(fresh);
  }
  void ExpectConsistent() {
    const BaseCheck check = CheckBase(base_, Env::Default());
    EXPECT_EQ(check.status, BaseCheck::Status::kConsistent) << check.problem;
  }

  TempDir tmp_;
  std::string base_ = tmp_ / "base";
  std::string docs_ = tmp_ / "docs";
  int fresh_count_ = 0;
};

// Each kind of change, made while watched: one update after the quiet
// moment, and the base then holds what a fresh scan of the tree holds.
TEST_F(WatcherTest, BaseFollowsEveryKindOfChange) {
  const struct {
    const char* name;
    std::function<void(WatcherTest&)> change;
    bool updates = true;  // false: nothing a scan takes changed
  } cases[] = {
      {"an edit", [](WatcherTest& t) { WriteFile(t.Doc("a.htm"), "<p>edited beta</p>"); }},
      {"a new page", [](WatcherTest& t) { WriteFile(t.Doc("sub/new.htm"), "<p>gamma</p>"); }},
      {"a deletion", [](WatcherTest& t) { fs::remove(t.Doc("b.htm")); }},
      {"a rename", [](WatcherTest& t) { fs::rename(t.Doc("b.htm"), t.Doc("other/renamed.htm")); }},
      {"a rename to a name no scan takes", [](WatcherTest& t) { fs::rename(t.Doc("b.htm"), t.Doc("b.txt")); }},
      {"a new folder with pages, and one inside it",
       [](WatcherTest& t) {
         WriteFile(t.Doc("fresh/f.htm"), "<p>delta</p>");
         WriteFile(t.Doc("fresh/inner/g.htm"), "<p>epsilon</p>");
       }},
      {"a folder moved in",
       [](WatcherTest& t) {
         WriteFile(t.tmp_ / "outside/h.htm", "<p>zeta</p>");
         fs::rename(t.tmp_ / "outside", t.Doc("moved-in"));
       }},
      {"a folder moved out", [](WatcherTest& t) { fs::rename(t.Doc("sub"), t.tmp_ / "away"); }},
      {"a folder renamed, then a page in it changed",
       [](WatcherTest& t) {
         fs::rename(t.Doc("sub"), t.Doc("sub2"));
         WriteFile(t.Doc("sub2/deep/d.pdf.htm"), "<p>eta</p>");
       }},
      {"a folder deleted", [](WatcherTest& t) { fs::remove_all(t.Doc("sub")); }},
      {"a page in a hidden folder", [](WatcherTest& t) { WriteFile(t.Doc(".hidden/x.htm"), "<p>theta</p>"); }, false},
      {"a file no scan takes", [](WatcherTest& t) { WriteFile(t.Doc("notes.txt"), "iota"); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(tmp_.path());
    fs::create_directories(tmp_.path());
    SetUp();
    DrivenWatcher watcher(base_, Env::Default());
    ASSERT_EQ(DrivenWatcher::Updates(watcher.Step(0)).size(), 1u);  // the catch-up
    c.change(*this);
    watcher.Step(1);
    EXPECT_EQ(watcher.watcher.PendingCount() != 0, c.updates);
    EXPECT_EQ(DrivenWatcher::Updates(watcher.Step(3)).size(), c.updates ? 1u : 0u);
    EXPECT_EQ(BaseContent(base_), FreshContent());
    ExpectConsistent();
  }
}

// The update waits for about 2 s without a change, and for at most 30 s
// while changes keep coming.
TEST_F(WatcherTest, UpdatesAfterAQuietMomentOrTheLongestWait) {
  const struct {
    const char* name;
    std::vector<double> changes;  // a page written at each of these seconds
    std::vector<double> probes;   // the watcher also runs at these
    std::vector<double> updates;  // the times at which an update ran
    double next_due;              // NextDue afterwards, in seconds; -1: none
  } cases[] = {
      {"one change", {0}, {1.9}, {2}, -1},
      {"changes closer than the quiet moment", {0, 1, 2.5}, {2.9, 4.4}, {4.5}, -1},
      {"changes every second",
       {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
        17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32},
       {},
       {30},
       34},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WatchOptions options;
    options.offline_every_ns = DrivenWatcher::At(1000);
    DrivenWatcher watcher(base_, Env::Default(), options);
    watcher.Step(-100);
    std::vector<std::pair<double, bool>> moments;  // second, whether a page changes then
    for (double t : c.changes) moments.emplace_back(t, true);
    for (double t : c.probes) moments.emplace_back(t, false);
    for (double t : c.updates) moments.emplace_back(t, false);
    std::sort(moments.begin(), moments.end());
    std::vector<double> updates;
    int k = 0;
    for (const auto& [t, change] : moments) {
      if (change) WriteFile(Doc("other/changing.htm"), "<p>change " + std::to_string(++k) + "</p>");
      if (!DrivenWatcher::Updates(watcher.Step(t)).empty()) updates.push_back(t);
    }
    EXPECT_EQ(updates, c.updates);
    EXPECT_EQ(watcher.watcher.NextDue(), c.next_due < 0 ? -1 : DrivenWatcher::At(c.next_due));
  }
}

// The kernel refuses more watches: the watcher says how many folders it
// watches, and updates the rest every 10 minutes until the kernel has room.
TEST_F(WatcherTest, RefusedWatchesFallBackToPeriodicUpdates) {
  FaultInjectionEnv env;
  int allowed = 2;  // the base folder and docs
  env.SetHook(
      [&](EnvOp op, const std::string&, int count) { return op == EnvOp::kWatch && count > allowed ? ENOSPC : 0; });
  DrivenWatcher watcher(base_, env);
  const std::vector<WatchReport> start = watcher.Step(0);
  ASSERT_EQ(start.at(0).kind, WatchReport::Kind::kWatching);
  EXPECT_EQ(WatchingText(start[0].watched, start[0].unwatched.size(), WatchOptions().unwatched_every_ns),
            "Watching 1 folder; the system watches no more, so 1 remembered folder is updated every 10 minutes");
  EXPECT_EQ(watcher.watcher.Unwatched(), std::vector<std::string>{docs_});

  WriteFile(Doc("sub/unseen.htm"), "<p>unseen</p>");
  EXPECT_TRUE(DrivenWatcher::Updates(watcher.Step(100)).empty());
  EXPECT_EQ(watcher.watcher.NextDue(), DrivenWatcher::At(600));
  std::vector<ScanSummary> updates = DrivenWatcher::Updates(watcher.Step(600));
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].added, 1u);

  // Room again: everything is watched, and said so.
  allowed = 1000;
  const std::vector<WatchReport> room = watcher.Step(1200);
  ASSERT_FALSE(room.empty());
  EXPECT_EQ(WatchingText(room[0].watched, room[0].unwatched.size(), 0), "Watching 4 folders");
  WriteFile(Doc("sub/seen.htm"), "<p>seen</p>");
  watcher.Step(1201);
  EXPECT_EQ(DrivenWatcher::Updates(watcher.Step(1203)).size(), 1u);
  EXPECT_EQ(BaseContent(base_), FreshContent());
}

// A remembered folder unmounted while watched keeps every file, whatever
// its events said, and is caught up when it is back.
TEST_F(WatcherTest, UnmountedFolderKeepsItsFilesAndIsCaughtUpWhenBack) {
  WriteFile(tmp_ / "more/m.htm", "<p>more</p>");
  AddFolder(base_, tmp_ / "more");
  FaultInjectionEnv env;
  DrivenWatcher watcher(base_, env);
  watcher.Step(0);
  const BaseFiles before = ReadBase(base_);

  const uint64_t device = *LoadRemembered(base_, Env::Default()).folders.at(0).device;
  env.SetDeviceOf(docs_, device + 1);  // an empty mount point in its place
  env.FeedEvent({FolderChange::kFolderGone, docs_});
  fs::remove(Doc("b.htm"));
  WriteFile(Doc("a.htm"), "<p>edited while away</p>");
  watcher.Step(1);
  EXPECT_EQ(watcher.watcher.Offline(), std::vector<std::string>{docs_});
  EXPECT_TRUE(DrivenWatcher::Updates(watcher.Step(10)).empty());
  EXPECT_EQ(ReadBase(base_), before);
  // The other folder is still followed.
  WriteFile(tmp_ / "more/n.htm", "<p>new</p>");
  watcher.Step(11);
  EXPECT_EQ(DrivenWatcher::Updates(watcher.Step(14)).size(), 1u);

  env.SetDeviceOf("", 0);
  EXPECT_EQ(watcher.watcher.NextDue(), DrivenWatcher::At(60));
  const std::vector<ScanSummary> back = DrivenWatcher::Updates(watcher.Step(60));
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(SummaryLine(back[0]), "0 added, 1 updated, 1 removed, 0 could not be read");
  EXPECT_EQ(watcher.watcher.Offline(), std::vector<std::string>{});
  WriteFile(Doc("sub/after.htm"), "<p>watched again</p>");
  watcher.Step(61);
  EXPECT_EQ(DrivenWatcher::Updates(watcher.Step(64)).size(), 1u);
  ExpectConsistent();
}

// While another scan holds the base's lock, the update waits and is tried
// again a second later; nothing gathered is lost.
TEST_F(WatcherTest, UpdateWaitsForAnotherScansLock) {
  DrivenWatcher watcher(base_, Env::Default());
  watcher.Step(0);
  WriteFile(Doc("new.htm"), "<p>new</p>");
  watcher.Step(1);
  {
    const std::unique_ptr<BaseLock> lock = TryLockBase(base_, Env::Default());
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(DrivenWatcher::Updates(watcher.Step(3)).empty());
    EXPECT_EQ(watcher.watcher.NextDue(), DrivenWatcher::At(4));
  }
  const std::vector<ScanSummary> updates = DrivenWatcher::Updates(watcher.Step(4));
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].added, 1u);
}

// An update limited to what changed looks at the files under the changed
// paths, not at every file of the base.
TEST_F(WatcherTest, UpdateLooksOnlyAtWhatChanged) {
  for (int i = 0; i < 200; ++i) WriteFile(Doc("many/p" + std::to_string(i) + ".htm"), "<p>many</p>");
  UpdateFolders(base_, {});
  FaultInjectionEnv env;
  DrivenWatcher watcher(base_, env);
  watcher.Step(0);
  WriteFile(Doc("many/p7.htm"), "<p>changed</p>");
  watcher.Step(1);
  int looked_at = 0;
  env.SetHook([&](EnvOp op, const std::string& path, int) {
    if (op == EnvOp::kStat && path.starts_with(Doc("many/"))) ++looked_at;
    return 0;
  });
  ASSERT_EQ(DrivenWatcher::Updates(watcher.Step(3)).at(0).updated, 1u);
  EXPECT_LE(looked_at, 4);
}

// A stop abandons the running update: the base stays, the changes wait.
// Events the kernel lost: everything is caught up at once.
TEST_F(WatcherTest, StopKeepsTheChangesAndLostEventsCatchUp) {
  FaultInjectionEnv env;
  DrivenWatcher watcher(base_, env);
  watcher.Step(0);
  const BaseFiles before = ReadBase(base_);
  WriteFile(Doc("new.htm"), "<p>new</p>");
  watcher.Step(1);
  watcher.observer.stop_after_checks = 0;
  EXPECT_TRUE(DrivenWatcher::Updates(watcher.Step(3)).empty());
  EXPECT_EQ(ReadBase(base_), before);
  EXPECT_EQ(watcher.watcher.PendingCount(), 1u);
  watcher.observer.stop_after_checks = static_cast<size_t>(-1);
  EXPECT_EQ(DrivenWatcher::Updates(watcher.Step(4)).size(), 1u);

  env.FeedEvent({FolderChange::kOverflow, ""});
  fs::remove(Doc("a.htm"));
  const std::vector<ScanSummary> caught_up = DrivenWatcher::Updates(watcher.Step(5));
  ASSERT_EQ(caught_up.size(), 1u);
  EXPECT_EQ(caught_up[0].removed, 1u);
  EXPECT_EQ(watcher.watcher.PendingCount(), 0u);
}

// A folder added by another program is watched from then on; one removed
// is let go.
TEST_F(WatcherTest, FoldersAddedOrRemovedElsewhereAreFollowed) {
  DrivenWatcher watcher(base_, Env::Default());
  watcher.Step(0);
  const size_t watched = watcher.watcher.WatchedCount();
  WriteFile(tmp_ / "more/m.htm", "<p>more</p>");
  AddFolder(base_, tmp_ / "more");
  watcher.Step(1);
  EXPECT_EQ(watcher.watcher.WatchedCount(), watched + 1);
  WriteFile(tmp_ / "more/n.htm", "<p>new</p>");
  watcher.Step(2);
  EXPECT_EQ(DrivenWatcher::Updates(watcher.Step(5)).at(0).added, 1u);

  RemovePaths(base_, {docs_});
  watcher.Step(6);
  EXPECT_EQ(watcher.watcher.WatchedCount(), 1u);
  WriteFile(Doc("gone.htm"), "<p>not watched</p>");
  watcher.Step(7);
  EXPECT_EQ(watcher.watcher.PendingCount(), 0u);
}

}  // namespace
}  // namespace veskara::testing
