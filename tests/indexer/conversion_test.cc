// PDF documents during a scan: converted in a folder private to the scan,
// never in the current folder; a failure of the machine fails the scan; a
// document that cannot be read is recorded, counted and named.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli_run.h"
#include "extract/conversion_folder.h"
#include "extract/unprivileged.h"
#include "fault_env.h"
#include "pdf_maker.h"
#include "platform/errors.h"
#include "scan_test_util.h"
#include "search/search.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::MakePdf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Points TMPDIR at a folder of the test's own for its lifetime, with no
// runtime folder, so that the conversions go there.
class ConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"TMPDIR", "XDG_RUNTIME_DIR"}) {
      if (const char* old = getenv(name)) saved_.emplace_back(name, old);
    }
    std::filesystem::create_directories(tmp_ / "tmp");
    setenv("TMPDIR", (tmp_ / "tmp").c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
    base_ = tmp_ / "base";
    docs_ = tmp_ / "docs";
    own_ = tmp_ / ("tmp/veskara-" + std::to_string(geteuid()));
  }
  void TearDown() override {
    unsetenv("TMPDIR");
    for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  }
  // What the scans left in the temporary folder, beside the user's own
  // (empty) parent, and in that parent.
  std::vector<std::string> TmpEntries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(tmp_ / "tmp")) {
      if (e.path() != own_) names.push_back(e.path().filename());
    }
    if (std::filesystem::is_directory(own_)) {
      for (const auto& e : std::filesystem::directory_iterator(own_)) names.push_back(e.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // A folder that a conversion of the process `pid` would have made, as
  // that conversion leaves it when killed.
  std::string MakeLeftFolder(int64_t pid, const std::string& suffix = "abcdef") {
    const std::string dir = own_ + "/veskara-pdf-" + std::to_string(pid) + "-" + suffix;
    WriteFile(dir + "/temp___", "left by a killed scan");
    WriteFile(dir + "/.wpdf-1-0.tmp", "half a text");
    WriteFile(dir + "/2/temp___", "left by one of its jobs");
    for (const std::string& d : {own_, dir, dir + "/2"}) chmod(d.c_str(), 0700);
    return dir;
  }

  TempDir tmp_;
  std::vector<std::pair<std::string, std::string>> saved_;
  std::string base_;
  std::string docs_;
  std::string own_;  // the user's own parent of the conversion folders
};

pid_t DeadProcessId() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

// Regression guard: the text went to "temp___" in the current folder, which
// is "/" for a desktop launch (every PDF got no words) and removed a user's
// own file of that name.
TEST_F(ConversionTest, NeverTouchesTheCurrentFolder) {
  WriteFile(docs_ + "/a.pdf", MakePdf({"Hello converted world"}));
  WriteFile(tmp_ / "cwd/temp___", "the user's own file");
  const std::string cwd = Env::Default().CurrentDirectory();
  ASSERT_EQ(chdir((tmp_ / "cwd").c_str()), 0);
  RecordingObserver observer;
  RunScan(base_, docs_, observer);
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  EXPECT_EQ(ReadFile(tmp_ / "cwd/temp___"), "the user's own file");
  EXPECT_EQ(RunSearch(base_, "converted", Env::Default()).entries.size(), 1u);
  EXPECT_TRUE(TmpEntries().empty()) << "the scan's folder stayed";
}

// A folder is a dead scan's only when its process is gone and its lock is
// free: a process id can be reused, and a conversion holds the lock.
TEST_F(ConversionTest, FoldersOfScansThatDiedAreRemoved) {
  const pid_t dead = DeadProcessId();
  MakeLeftFolder(dead);
  MakeLeftFolder(1);  // pid 1 always runs
  const std::string locked = MakeLeftFolder(dead, "locked");
  std::unique_ptr<DirectoryHandle> held = Env::Default().OpenDirectory(locked);
  ASSERT_TRUE(held != nullptr && held->TryLock());
  WriteFile(docs_ + "/a.pdf", MakePdf({"Hello"}));
  RecordingObserver observer;
  RunScan(base_, docs_, observer);
  EXPECT_EQ(TmpEntries(),
            (std::vector<std::string>{"veskara-pdf-1-abcdef", "veskara-pdf-" + std::to_string(dead) + "-locked"}));
  EXPECT_EQ(RunSearch(base_, "hello", Env::Default()).entries.size(), 1u);
}

// Regression guard: a link named like a dead scan's folder was followed,
// and the contents of what it led to were removed two levels deep. Another
// user can plant names in a shared temporary folder, and can swap a folder
// for a link at any moment; nothing outside this user's own conversion
// folders may ever be removed.
TEST_F(ConversionTest, NothingOutsideTheUsersOwnFoldersIsRemoved) {
  const std::string dead = std::to_string(DeadProcessId());
  struct Case {
    const char* name;
    // Plants what an attacker would, given the dead scan's folder (made
    // already), the victim folder, and the user's own parent.
    std::function<void(const std::string& stale, const std::string& victim, const std::string& own)> plant;
    // Swaps the path that ends with `at` for a link to the victim right
    // before the env is asked for `op` on it; no swap when null.
    std::optional<EnvOp> op = std::nullopt;
    std::string at = "";
  };
  auto swap = [](const std::string& path, const std::string& victim) {
    std::filesystem::rename(path, path + ".moved");
    std::filesystem::create_symlink(victim, path);
  };
  const std::vector<Case> cases = {
      {"a link in the user's parent",
       [&](const std::string&, const std::string& victim, const std::string& own) {
         std::filesystem::create_symlink(victim, own + "/veskara-pdf-" + dead + "-link");
       }},
      {"a link in a job's place", [](const std::string& stale, const std::string& victim,
                                     const std::string&) { std::filesystem::create_symlink(victim, stale + "/3"); }},
      {"the user's parent is a link",
       [](const std::string&, const std::string& victim, const std::string& own) {
         std::filesystem::remove_all(own);
         std::filesystem::create_symlink(victim, own);
       }},
      {"a link named like a dead scan's folder in the shared folder",
       [&](const std::string&, const std::string& victim, const std::string& own) {
         std::filesystem::create_symlink(victim, own + "/../veskara-pdf-" + dead + "-old");
       }},
      {"swapped for a link after its lock was taken", nullptr, EnvOp::kLock, "-abcdef"},
      {"swapped for a link before it is opened", nullptr, EnvOp::kOpenDir, "-abcdef"},
      {"a job folder swapped for a link", nullptr, EnvOp::kOpenDir, "-abcdef/2"},
  };
  WriteFile(docs_ + "/a.pdf", MakePdf({"Hello"}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string victim = tmp_ / "victim";
    std::filesystem::remove_all(victim);
    std::filesystem::remove_all(own_);
    // Looks like a dead scan's folder, to whoever follows a link here.
    const std::string inside = victim + "/veskara-pdf-" + dead + "-inside";
    WriteFile(inside + "/1/temp___", "the victim's own");
    chmod(inside.c_str(), 0700);
    WriteFile(victim + "/precious", "the victim's own");
    const std::string stale = MakeLeftFolder(std::stoll(dead));
    if (c.plant) c.plant(stale, victim, own_);
    FaultInjectionEnv env;
    if (c.op) {
      env.SetHook([&, swapped = false](EnvOp op, const std::string& path, int) mutable {
        if (!swapped && op == *c.op && path.ends_with(c.at)) {
          swap(path, victim);
          swapped = true;
        }
        return 0;
      });
    }
    std::filesystem::remove_all(base_);
    RecordingObserver observer;
    RunScan(base_, docs_, observer, env);
    EXPECT_EQ(ReadFile(victim + "/precious"), "the victim's own");
    EXPECT_EQ(ReadFile(inside + "/1/temp___"), "the victim's own");
    EXPECT_EQ(RunSearch(base_, "hello", Env::Default()).entries.size(), 1u) << "the conversion went elsewhere";
  }
}

// The same for real, with a second user planting names in a shared
// temporary folder before the superuser's scan: a link or a folder of their
// own where the superuser's parent would go, and names like a dead scan's.
TEST_F(ConversionTest, AnotherUserCannotRedirectTheCleaning) {
  if (geteuid() != 0) GTEST_SKIP() << "acting as a second user needs the superuser";
  const std::string shared = tmp_ / "tmp";
  const std::string victim = tmp_ / "victim";
  const std::string dead = std::to_string(DeadProcessId());
  WriteFile(victim + "/veskara-pdf-" + dead + "-inside/temp___", "the victim's own");
  WriteFile(docs_ + "/a.pdf", MakePdf({"Hello"}));
  ASSERT_EQ(chmod(tmp_.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  for (const bool as_link : {true, false}) {
    SCOPED_TRACE(as_link ? "a link in the parent's place" : "a folder of theirs in the parent's place");
    std::filesystem::remove_all(own_);
    const std::optional<std::string> planted = testing::RunUnprivileged([&]() -> std::string {
      const std::string theirs = shared + "/veskara-pdf-" + dead + "-theirs";
      if (as_link) {
        if (symlink(victim.c_str(), own_.c_str()) != 0) return "no link";
      } else if (mkdir(own_.c_str(), 0700) != 0 ||
                 symlink(victim.c_str(), (own_ + "/veskara-pdf-" + dead + "-x").c_str()) != 0) {
        return "no folder";
      }
      std::filesystem::remove_all(theirs);
      if (symlink(victim.c_str(), (shared + "/veskara-pdf-" + dead + "-link").c_str()) != 0 && errno != EEXIST) {
        return "no link";
      }
      if (mkdir(theirs.c_str(), 0700) != 0) return "no folder";
      WriteFile(theirs + "/temp___", "theirs");
      return "planted";
    });
    ASSERT_EQ(planted, "planted");
    std::filesystem::remove_all(base_);
    RecordingObserver observer;
    RunScan(base_, docs_, observer);
    EXPECT_EQ(ReadFile(victim + "/veskara-pdf-" + dead + "-inside/temp___"), "the victim's own");
    EXPECT_TRUE(std::filesystem::exists(shared + "/veskara-pdf-" + dead + "-theirs/temp___"));
    EXPECT_EQ(RunSearch(base_, "hello", Env::Default()).entries.size(), 1u);
  }
}

// Another owner's folder, named like a dead scan's, is never this user's
// to remove (as root, every folder could be removed).
TEST_F(ConversionTest, AnotherUsersFolderIsLeftAlone) {
  const std::string stale = MakeLeftFolder(DeadProcessId());
  if (geteuid() == 0) {
    ASSERT_EQ(chown(stale.c_str(), 65534, 65534), 0);
  }
  FaultInjectionEnv env;
  if (geteuid() != 0) env.SetUserId(geteuid() + 1);  // the whole parent is then someone else's
  WriteFile(docs_ + "/a.pdf", MakePdf({"Hello"}));
  RecordingObserver observer;
  RunScan(base_, docs_, observer, env);
  EXPECT_EQ(ReadFile(stale + "/temp___"), "left by a killed scan");
}

// No folder can be made anywhere: every PDF would fail the same way, so the
// scan fails, says why, and the old base stays.
TEST_F(ConversionTest, NoFolderForTheConversionFailsTheScan) {
  WriteFile(docs_ + "/a.pdf", MakePdf({"Hello"}));
  WriteFile(docs_ + "/b.htm", "page");
  FaultInjectionEnv env;
  env.FailAll(EnvOp::kMakePrivateDir, "", ENOSPC);
  RecordingObserver observer;
  try {
    RunScan(base_, docs_, observer, env);
    ADD_FAILURE() << "the scan went through";
  } catch (const IoError& e) {
    EXPECT_NE(std::string(e.what()).find("No folder can be made to convert PDF documents in"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("Disk full"), std::string::npos);
  }
  EXPECT_EQ(ReadBase(base_), BaseFiles{});
  // Pages alone need no folder.
  std::filesystem::remove(docs_ + "/a.pdf");
  EXPECT_NO_THROW(RunScan(base_, docs_, observer, env));
}

TEST_F(ConversionTest, DocumentsThatCannotBeReadAreCountedAndNamed) {
  WriteFile(docs_ + "/1 good.pdf", MakePdf({"Hello"}));
  WriteFile(docs_ + "/2 damaged.pdf", "%PDF-1.4 and nothing a parser can use");
  std::filesystem::copy_file(std::string(WPDF_TEST_DATA) + "/locked.pdf", docs_ + "/3 locked.pdf");
  ASSERT_EQ(mkfifo((docs_ + "/4 pipe.htm").c_str(), 0644), 0);
  std::filesystem::create_directories(docs_ + "/5 folder.htm");  // no document: not counted
  std::filesystem::create_symlink("nowhere", docs_ + "/6 gone.htm");
  WriteFile(docs_ + "/7 page.htm", "fine");
  const std::vector<UnreadDocument> expected = {
      {docs_ + "/2 damaged.pdf", "not a PDF document, or damaged beyond repair"},
      {docs_ + "/3 locked.pdf", "encrypted with a password"},
      {docs_ + "/4 pipe.htm", "not a regular file (a FIFO, socket or device)"},
      {docs_ + "/6 gone.htm", "File not found"},
  };

  std::filesystem::create_directories(base_);
  BaseState state;
  std::unique_ptr<Scan> scan = Scan::Prepare(base_, *FolderToScan(docs_, Env::Default()), state, Env::Default());
  RecordingObserver observer;
  scan->Run(observer);
  EXPECT_EQ(scan->Summary().added, 7u);
  EXPECT_EQ(scan->Summary().unread, expected);
  scan.reset();

  // The command line names them after its steps, and still exits 0.
  std::filesystem::remove_all(base_);
  const testing::CliOutcome add = testing::RunCli(tmp_.path(), {"--base", base_, "add", docs_});
  EXPECT_EQ(add.exit_code, 0);
  std::string listed = "4 files could not be read:\n";
  for (const UnreadDocument& d : expected) listed += d.path + "\t" + d.reason + "\n";
  EXPECT_TRUE(add.err.ends_with(listed)) << add.err;
}

// Conversions run side by side and finish in any order, but the base is the
// one a serial scan writes, byte for byte, and the unread documents are
// named in candidate order.
TEST_F(ConversionTest, ManyJobsWriteTheBaseOfOne) {
  const std::string locked = ReadFile(std::string(WPDF_TEST_DATA) + "/locked.pdf");
  for (int i = 0; i < 40; ++i) {
    const std::string stem = docs_ + "/d" + std::to_string(i / 10) + "/f" + std::to_string(i);
    const std::string word = "w" + std::to_string(i % 7) + " шаг" + std::to_string(i);
    switch (i % 5) {
      case 0:
        WriteFile(stem + ".htm", "<p>" + word + " page</p>");
        break;
      case 1:
        WriteFile(stem + ".pdf", "%PDF-1.4 damaged " + word);
        break;
      case 2:
        WriteFile(stem + ".pdf", locked);
        break;
      default: {
        // Longer and shorter documents, so that the children end out of order.
        std::vector<std::string> lines(1 + (i * 37) % 60, "Line of " + std::to_string(i) + " text");
        lines.push_back("Shared Words " + std::to_string(i % 3));
        WriteFile(stem + ".pdf", MakePdf(lines));
      }
    }
  }
  std::vector<UnreadDocument> unread[2];
  BaseFiles bases[2];
  const unsigned jobs[2] = {1, 4};
  for (int run = 0; run < 2; ++run) {
    std::filesystem::remove_all(base_);
    std::filesystem::create_directories(base_);
    BaseState state;
    std::unique_ptr<Scan> scan =
        Scan::Prepare(base_, *FolderToScan(docs_, Env::Default()), state, Env::Default(), {jobs[run]});
    RecordingObserver observer;
    scan->Run(observer);
    unread[run] = scan->Summary().unread;
    bases[run] = ReadBase(base_);
  }
  EXPECT_EQ(unread[0].size(), 16u);
  EXPECT_EQ(unread[1], unread[0]);
  EXPECT_EQ(bases[1], bases[0]);
  ASSERT_TRUE(bases[0].words.has_value());
  EXPECT_NE(bases[0].words->find("SHARED\r\n"), std::string::npos);
  EXPECT_TRUE(TmpEntries().empty()) << "a job's folder stayed";
}

}  // namespace
}  // namespace veskara
