// Folders a person removed stay removed, and remembered folders do not
// nest: each case is a series of adds, removes, updates and watches over
// one tree, and what the base then holds and remembers.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "search/base_check.h"
#include "test_util.h"
#include "watch_test_util.h"

namespace veskara::testing {
namespace {

const char* const kTree[] = {"docs/a.htm", "docs/sub/c.htm", "docs/sub/deep/d.htm", "docs/other/e.htm"};
const char* const kFolders[] = {"docs", "docs/sub", "docs/sub/deep", "docs/other"};

struct Case {
  const char* name;
  // "add PATH", "remove PATH", "update [PATH]", "edit PATH"; "new": a page
  // new.htm written (again) in every folder of the tree; "watch": a watcher
  // (one per case, kept) takes what happened since, then "new", then runs
  // its update. PATH is relative to the tree's root, "." the root itself.
  std::vector<std::string> steps;
  // Then: the paths of the base, the remembered folders and the exclusions,
  // relative to the root.
  std::vector<std::string> files, folders, excluded;
};

std::vector<std::string> Relative(const std::vector<std::string>& paths, const std::string& root) {
  std::vector<std::string> relative;
  for (const std::string& path : paths) relative.push_back(path == root ? "." : path.substr(root.size() + 1));
  return relative;
}

TEST(ExclusionTest, RemovedStaysRemovedAndFoldersDoNotNest) {
  const Case cases[] = {
      {"a removed subfolder stays out of an update",
       {"add docs", "remove docs/sub", "new", "update"},
       {"docs/a.htm", "docs/new.htm", "docs/other/e.htm", "docs/other/new.htm"},
       {"docs"},
       {"docs/sub"}},
      {"a removed subfolder stays out of the watcher",
       {"add docs", "remove docs/sub", "watch"},
       {"docs/a.htm", "docs/new.htm", "docs/other/e.htm", "docs/other/new.htm"},
       {"docs"},
       {"docs/sub"}},
      {"a subfolder removed while watched: the watcher lets go of it",
       {"add docs", "watch", "remove docs/sub", "watch"},
       {"docs/a.htm", "docs/new.htm", "docs/other/e.htm", "docs/other/new.htm"},
       {"docs"},
       {"docs/sub"}},
      {"added again, it comes back, within its folder",
       {"add docs", "remove docs/sub", "new", "add docs/sub"},
       {"docs/a.htm", "docs/other/e.htm", "docs/sub/c.htm", "docs/sub/deep/d.htm", "docs/sub/deep/new.htm",
        "docs/sub/new.htm"},
       {"docs"},
       {}},
      {"an add of the folder holding it skips it",
       {"add docs", "remove docs/sub", "new", "add docs"},
       {"docs/a.htm", "docs/new.htm", "docs/other/e.htm", "docs/other/new.htm"},
       {"docs"},
       {"docs/sub"}},
      {"an update by name of the removed folder reads nothing",
       {"add docs", "remove docs/sub", "new", "update docs/sub"},
       {"docs/a.htm", "docs/other/e.htm"},
       {"docs"},
       {"docs/sub"}},
      {"a removed file stays out when it changes",
       {"add docs", "remove docs/a.htm", "edit docs/a.htm", "update"},
       {"docs/other/e.htm", "docs/sub/c.htm", "docs/sub/deep/d.htm"},
       {"docs"},
       {"docs/a.htm"}},
      {"an exclusion inside an exclusion is not made",
       {"add docs", "remove docs/sub", "remove docs/sub/deep"},
       {"docs/a.htm", "docs/other/e.htm"},
       {"docs"},
       {"docs/sub"}},
      {"a removed path that names nothing is no exclusion",
       {"add docs", "remove docs/nothing"},
       {"docs/a.htm", "docs/other/e.htm", "docs/sub/c.htm", "docs/sub/deep/d.htm"},
       {"docs"},
       {}},
      {"a folder added inside a removed one is kept current as its own",
       {"add docs", "remove docs/sub", "add docs/sub/deep", "new", "update", "watch"},
       {"docs/a.htm", "docs/new.htm", "docs/other/e.htm", "docs/other/new.htm", "docs/sub/deep/d.htm",
        "docs/sub/deep/new.htm"},
       {"docs", "docs/sub/deep"},
       {"docs/sub"}},
      {"removing the folder forgets its exclusions", {"add docs", "remove docs/sub", "remove docs"}, {}, {}, {}},
      {"an add inside a remembered folder nests nothing",
       {"add docs", "new", "add docs/sub"},
       {"docs/a.htm", "docs/other/e.htm", "docs/sub/c.htm", "docs/sub/deep/d.htm", "docs/sub/deep/new.htm",
        "docs/sub/new.htm"},
       {"docs"},
       {}},
      {"an add of a folder above remembered ones takes them in, exclusions kept",
       {"add docs/sub", "add docs/other", "remove docs/sub/deep", "add ."},
       {"docs/a.htm", "docs/other/e.htm", "docs/sub/c.htm"},
       {"."},
       {"docs/sub/deep"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir tmp;
    const std::string root = tmp / "root";
    const std::string base = tmp / "base";
    for (const char* page : kTree) WriteFile(root + "/" + page, std::string("<p>page ") + page + "</p>");
    std::unique_ptr<DrivenWatcher> watcher;
    double clock = 0;
    int rounds = 0;
    auto write_new_pages = [&] {
      ++rounds;
      for (const char* folder : kFolders) {
        if (std::filesystem::is_directory(root + "/" + folder)) {
          WriteFile(root + "/" + folder + "/new.htm", "<p>new page, round " + std::to_string(rounds) + "</p>");
        }
      }
    };
    for (const std::string& step : c.steps) {
      std::istringstream words(step);
      std::string op, arg;
      words >> op >> arg;
      const std::string path = arg == "." ? root : root + "/" + arg;
      if (op == "add") {
        AddFolder(base, path);
      } else if (op == "remove") {
        RemovePaths(base, {path});
      } else if (op == "update") {
        UpdateFolders(base, arg.empty() ? std::vector<std::string>{} : std::vector<std::string>{path});
      } else if (op == "edit") {
        WriteFile(path, "<p>edited, and longer than before</p>");
      } else if (op == "new") {
        write_new_pages();
      } else if (op == "watch") {
        if (!watcher) watcher = std::make_unique<DrivenWatcher>(base, Env::Default());
        watcher->Step(clock);
        write_new_pages();
        watcher->Step(clock + 0.5);
        EXPECT_EQ(DrivenWatcher::Updates(watcher->Step(clock + 5)).size(), 1u) << step;
        clock += 10;
      } else {
        FAIL() << "no such step: " << step;
      }
    }
    EXPECT_EQ(PathsUnder(base, root), c.files);
    const Remembered remembered = LoadRemembered(base, Env::Default());
    std::vector<std::string> folders;
    for (const RememberedFolder& folder : remembered.folders) folders.push_back(folder.path);
    EXPECT_EQ(Relative(folders, root), c.folders);
    EXPECT_EQ(Relative(remembered.excluded, root), c.excluded);
    const BaseCheck check = CheckBase(base, Env::Default());
    EXPECT_EQ(check.status, BaseCheck::Status::kConsistent) << check.problem;
  }
}

// excluded.txt as it is read and written: an older base has none and
// writes none; once there, it is written also when empty.
TEST(ExclusionTest, ExcludedFileIsWrittenOnlyOnceThereWereExclusions) {
  TempDir base;
  const std::string file = BaseFilePath(base.path(), kExcludedFileName);
  const std::string temporary = BaseFilePath(base.path(), kExcludedTempName);
  Remembered remembered = LoadRemembered(base.path(), Env::Default());
  WriteRememberedTemporaries(base.path(), remembered, Env::Default());
  EXPECT_FALSE(std::filesystem::exists(temporary));

  WriteFile(file, "/a/b\r\n/c d/e\n");
  remembered = LoadRemembered(base.path(), Env::Default());
  EXPECT_EQ(remembered.excluded, (std::vector<std::string>{"/a/b", "/c d/e"}));
  remembered.excluded.clear();
  WriteRememberedTemporaries(base.path(), remembered, Env::Default());
  EXPECT_EQ(ReadFile(temporary), "");

  WriteFile(file, "/a/b\r\n\r\n");
  try {
    LoadRemembered(base.path(), Env::Default());
    ADD_FAILURE() << "an empty line was read";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "excluded.txt line 2: an empty path; remove the file to go on without what it remembers");
  }
}

// Which exclusion or remembered folder decides: the nearest above a path.
TEST(ExclusionTest, NearestAboveDecides) {
  Remembered remembered;
  remembered.folders = {{"/docs", 1}, {"/docs/old/kept", 1}};
  remembered.excluded = {"/docs/old", "/docs/old/kept/drafts"};
  const struct {
    const char* path;
    bool excluded;
  } cases[] = {
      {"/docs", false},
      {"/docs/a.htm", false},
      {"/docs/old", true},
      {"/docs/old/x.htm", true},
      {"/docs/older/x.htm", false},
      {"/docs/old/kept", false},
      {"/docs/old/kept/x.htm", false},
      {"/docs/old/kept/drafts/x.htm", true},
      {"/elsewhere/old", false},
  };
  for (const auto& c : cases) EXPECT_EQ(remembered.Excludes(c.path), c.excluded) << c.path;
}

}  // namespace
}  // namespace veskara::testing
