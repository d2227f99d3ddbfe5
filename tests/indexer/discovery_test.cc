#include "indexer/discovery.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/messages.h"
#include "extract/unprivileged.h"
#include "fault_env.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::TempDir;
using testing::WriteFile;
using Paths = std::vector<std::string>;

// Regression guard: "docs" was recorded as docs/a.htm, which names another
// file from any other folder, and "a//b", "./a/" added a tree again under
// new names. Folders become absolute, worked out on the text alone.
TEST(FolderToScan, MakesTheFolderAbsoluteAndItsMaskAddsTheWildcard) {
  const std::string cwd = Env::Default().CurrentDirectory();
  const struct {
    const char* typed;
    std::string folder;
    std::string mask;
  } cases[] = {
      {"/docs", "/docs", "/docs/*.*"},
      {"/docs/", "/docs", "/docs/*.*"},
      {"/", "/", "/*.*"},
      {"//a//b///", "/a/b", "/a/b/*.*"},
      {"/a/./b/.", "/a/b", "/a/b/*.*"},
      {"/a/b/../c", "/a/c", "/a/c/*.*"},
      {"/../..", "/", "/*.*"},
      {"docs", cwd + "/docs", cwd + "/docs/*.*"},
      {"./docs/", cwd + "/docs", cwd + "/docs/*.*"},
      {" docs ", cwd + "/ docs ", cwd + "/ docs /*.*"},  // untrimmed: blanks are part of a name
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FolderToScan(c.typed, Env::Default()), c.folder) << c.typed;
    EXPECT_EQ(StartMask(c.folder), c.mask) << c.typed;
  }
  EXPECT_EQ(FolderToScan("", Env::Default()), std::nullopt);
  EXPECT_EQ(FolderToScan(" \t\r\n", Env::Default()), std::nullopt);
}

// Regression guard: "~/Documents" was taken as a folder named "~" under the
// current one, in the window and on the command line alike.
TEST(FolderToScan, ALeadingTildeIsTheHomeFolder) {
  FaultInjectionEnv env;
  env.SetVariable("HOME", "/home/ann/");
  const std::string cwd = env.CurrentDirectory();
  EXPECT_EQ(FolderToScan("~/Documents", env), "/home/ann/Documents");
  EXPECT_EQ(FolderToScan("~", env), "/home/ann");
  EXPECT_EQ(FolderToScan("~ann/x", env), cwd + "/~ann/x");
  EXPECT_EQ(FolderToScan("docs/~", env), cwd + "/docs/~");
}

// Regression: in a deleted current folder "." became "/", and the scan
// walked the whole machine. An absolute folder needs no current folder.
TEST(FolderToScan, ARelativeTextNeedsTheCurrentFolder) {
  FaultInjectionEnv deleted;
  deleted.SetCurrentDirectory("");
  for (const char* typed : {".", "docs", "./"}) EXPECT_THROW(FolderToScan(typed, deleted), std::runtime_error) << typed;
  EXPECT_EQ(FolderToScan("/docs/.", deleted), "/docs");
  EXPECT_EQ(FolderToScan(" ", deleted), std::nullopt);
}

struct Walk {
  Paths files;
  int entered = 0;
  std::vector<UnreadDocument> unread;
};

Walk WalkMask(const std::string& mask) {
  Walk walk;
  ScanDirectory(
      mask, KindChoice(), walk.files, [&walk] { ++walk.entered; }, Env::Default(), &walk.unread);
  return walk;
}

// The files under `dir`, relative to it, as `ScanDirectory` finds them.
Paths Relative(const TempDir& dir, const Paths& found) {
  Paths out;
  for (const std::string& path : found) {
    EXPECT_EQ(path.rfind(dir.path() + "/", 0), 0u) << path;
    out.push_back(path.substr(dir.path().size() + 1));
  }
  return out;
}

void MakeDir(const std::string& path) { ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path; }
void Link(const std::string& target, const std::string& path) {
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
}

TEST(ScanDirectory, FilePassThenSubtreesDepthFirst) {
  TempDir dir;
  for (const char* path : {"a.htm", "zz.pdf", "c.txt", "sub/b.pdf", "sub/c.txt", "sub/deeper/d.php", "next/e.shtml"}) {
    WriteFile(dir / path, "x");
  }
  MakeDir(dir / "empty");
  Walk walk = WalkMask(dir.path() + "/*.*");
  EXPECT_EQ(Relative(dir, walk.files), (Paths{"a.htm", "zz.pdf", "next/e.shtml", "sub/b.pdf", "sub/deeper/d.php"}));
  EXPECT_EQ(walk.entered, 5);  // start, empty, next, sub, sub/deeper
}

TEST(ScanDirectory, NamesInUnsignedByteOrder) {
  TempDir dir;
  for (const char* name : {"a.htm", "B.htm", "\xc3\xa9.htm", "_.htm", "Z.htm", "1.htm"}) {
    WriteFile(dir / name, "x");
  }
  for (const char* sub : {"b", "A", "\xc3\xa0"}) WriteFile(dir / (std::string(sub) + "/in.htm"), "x");
  EXPECT_EQ(
      Relative(dir, WalkMask(dir.path() + "/*.*").files),
      (Paths{"1.htm", "B.htm", "Z.htm", "_.htm", "a.htm", "\xc3\xa9.htm", "A/in.htm", "b/in.htm", "\xc3\xa0/in.htm"}));
}

TEST(ScanDirectory, EveryKindOfEntryIsACandidateByItsName) {
  TempDir dir;
  WriteFile(dir / ".hidden.htm", "x");
  WriteFile(dir / ".svn/inside.htm", "x");
  WriteFile(dir / ".hidden.htm.d/inside.htm", "x");
  WriteFile(dir / "old.htm/inside.htm", "x");
  WriteFile(dir / "plain/target.htm", "x");
  Link("plain", dir / "linkdir.pdf");
  Link("plain/target.htm", dir / "linkfile.htm");
  Link("nowhere", dir / "dead.htm");
  ASSERT_EQ(::mkfifo((dir / "pipe.php").c_str(), 0644), 0);
  EXPECT_EQ(Relative(dir, WalkMask(dir.path() + "/*.*").files),
            (Paths{".hidden.htm", ".hidden.htm.d", "dead.htm", "linkdir.pdf", "linkfile.htm", "old.htm", "pipe.php",
                   "linkdir.pdf/target.htm", "old.htm/inside.htm"}));  // plain was walked as linkdir.pdf
}

// Each folder is walked the first time the walk reaches it, by whatever
// path; a link's own name still makes it a candidate.
TEST(ScanDirectory, EachFolderIsWalkedOnce) {
  TempDir dir;
  WriteFile(dir / "sub/b.htm", "x");
  Link("..", dir / "sub/up.htm");  // back to the start
  Link(".", dir / "sub/self");
  Link(dir.path() + "/sub", dir / "side");  // reached before sub itself
  Walk walk = WalkMask(dir.path() + "/*.*");
  EXPECT_EQ(Relative(dir, walk.files), (Paths{"side/b.htm", "side/up.htm"}));
  EXPECT_EQ(walk.entered, 2);
}

// Regression guard: two links on every level to the next one made 2^(d+1)
// paths (depth 18 gave half a million "files"); the tree is walked once.
TEST(ScanDirectory, LinksThatFanOutDoNotMultiplyTheTree) {
  TempDir dir;
  constexpr int kLevels = 18;
  for (int level = 1; level <= kLevels; ++level) {
    const std::string here = dir / ("l" + std::to_string(level));
    WriteFile(here + "/page.htm", "x");
    if (level < kLevels) {
      Link("../l" + std::to_string(level + 1), here + "/a");
      Link("../l" + std::to_string(level + 1), here + "/b");
    }
  }
  Walk walk = WalkMask(dir.path() + "/*.*");
  EXPECT_EQ(walk.files.size(), static_cast<size_t>(kLevels));
  EXPECT_EQ(walk.entered, kLevels + 1);
}

// ...but named, when they would have been a candidate or a folder walked.
// Regression guard: they were left out in silence.
TEST(ScanDirectory, NamesThatCannotBeRecordedAreSkipped) {
  TempDir dir;
  for (const char* name : {"line\nfeed.htm", "carriage\rreturn.htm", "end\x1aof.htm", "fine.htm", "notes\n.txt"}) {
    WriteFile(dir / name, "x");
  }
  WriteFile(dir / "dir\n.d/inside.htm", "x");
  WriteFile(dir / ".hidden\n/inside.htm", "x");
  WriteFile(dir / "ok.d/inside.htm", "x");
  const Walk walk = WalkMask(dir.path() + "/*.*");
  EXPECT_EQ(Relative(dir, walk.files), (Paths{"fine.htm", "ok.d/inside.htm"}));
  std::vector<UnreadDocument> unread;
  for (const char* name : {"carriage\rreturn.htm", "dir\n.d", "end\x1aof.htm", "line\nfeed.htm"}) {
    unread.push_back({dir / name, kUnfitNameReason});
  }
  EXPECT_EQ(walk.unread, unread);
}

TEST(ScanDirectory, MissingStartDirectoryYieldsNothing) {
  TempDir dir;
  Walk walk = WalkMask(dir.path() + "/missing/*.*");
  EXPECT_TRUE(walk.files.empty());
  EXPECT_EQ(walk.entered, 1);
  WriteFile(dir / "file.htm", "x");
  EXPECT_TRUE(WalkMask(dir.path() + "/file.htm/*.*").files.empty());
}

TEST(ScanDirectory, RelativeDirectoryStaysRelative) {
  TempDir dir;
  WriteFile(dir / "top.htm", "x");
  WriteFile(dir / "docs/a.htm", "x");
  WriteFile(dir / "docs/sub/b.pdf", "x");
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  Paths in_docs = WalkMask("docs/*.*").files;
  Paths typed_twice = WalkMask("docs//*").files;
  Paths here = WalkMask("*.*").files;
  ASSERT_EQ(::chdir(cwd), 0);
  EXPECT_EQ(in_docs, (Paths{"docs/a.htm", "docs/sub/b.pdf"}));
  EXPECT_EQ(typed_twice, (Paths{"docs//a.htm", "docs//sub/b.pdf"}));
  EXPECT_EQ(here, (Paths{"top.htm", "docs/a.htm", "docs/sub/b.pdf"}));
}

// ...and is named, with its reason, so that it is not lost in silence.
TEST(ScanDirectory, UnreadableDirectoryYieldsNothingAndTheWalkGoesOn) {
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  WriteFile(dir / "a/in.htm", "x");
  WriteFile(dir / "b/locked.htm", "x");
  WriteFile(dir / "c/in.htm", "x");
  ASSERT_EQ(::chmod((dir / "b").c_str(), 0), 0);
  auto found = testing::RunUnprivileged([&] {
    const Walk walk = WalkMask(dir.path() + "/*.*");
    std::string out;
    for (const std::string& path : Relative(dir, walk.files)) out += path + ";";
    for (const UnreadDocument& unread : walk.unread) out += unread.path + ": " + unread.reason + ";";
    return out;
  });
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(*found, "a/in.htm;c/in.htm;" + dir / "b" + ": a folder that cannot be read;");
}

TEST(ScanDirectory, DeepTreeDoesNotExhaustTheStack) {
  TempDir dir;
  std::string path = dir.path();
  constexpr int kDepth = 2000;
  for (int i = 0; i < kDepth; ++i) {
    path += "/d";
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << i;
  }
  WriteFile(path + "/deep.htm", "x");
  Walk walk = WalkMask(dir.path() + "/*.*");
  ASSERT_EQ(walk.files.size(), 1u);
  EXPECT_EQ(walk.files[0], path + "/deep.htm");
  EXPECT_EQ(walk.entered, kDepth + 1);
}

}  // namespace
}  // namespace veskara
