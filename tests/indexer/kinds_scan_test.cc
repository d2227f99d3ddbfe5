// The update that changes the kinds a base reads is one commit like every
// scan's: a crash at any call leaves the old base with its old choice, or
// the new base with the new one, never one with the other's choice.
#include <gtest/gtest.h>

#include <string>

#include "base/remembered.h"
#include "fault_env.h"
#include "platform/errors.h"
#include "scan_test_util.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::TempDir;
using testing::WriteFile;

struct BaseWithKinds {
  BaseFiles files;
  std::optional<std::string> kinds;
  bool operator==(const BaseWithKinds&) const = default;
};

BaseWithKinds Read(const std::string& base) {
  BaseWithKinds b{ReadBase(base), std::nullopt};
  if (PathExists(BaseFilePath(base, kKindsFileName))) b.kinds = testing::ReadFile(BaseFilePath(base, kKindsFileName));
  return b;
}

void ChooseKinds(const std::string& base, KindChoice kinds, Env& env) {
  RecoverBase(base, env);
  BaseState state;
  RecordingObserver observer;
  Scan::PrepareKinds(base, kinds, state, env)->Run(observer);
}

TEST(KindsScanTest, ACrashAtAnyCallLeavesTheOldChoiceOrTheNew) {
  TempDir tmp;
  for (int i = 0; i < 12; ++i) {
    WriteFile(tmp / ("docs/p" + std::to_string(i) + ".htm"), "<p>page " + std::to_string(i) + "</p>");
    WriteFile(tmp / ("docs/n" + std::to_string(i) + ".txt"), "note words " + std::to_string(i));
  }
  const std::string base = tmp / "base";
  RecordingObserver observer;
  RunScan(base, tmp / "docs", observer);
  const std::filesystem::path saved = tmp / "saved";
  std::filesystem::copy(base, saved, std::filesystem::copy_options::recursive);
  const BaseWithKinds old_base = Read(base);
  KindChoice text;
  text.Set(KindGroup::kText, true);
  ChooseKinds(base, text, Env::Default());
  const BaseWithKinds new_base = Read(base);
  ASSERT_NE(new_base.files, old_base.files);
  ASSERT_EQ(new_base.kinds, "text\r\n");

  for (EnvOp op : {EnvOp::kOpenWrite, EnvOp::kWrite, EnvOp::kSync, EnvOp::kClose, EnvOp::kRename, EnvOp::kRemove,
                   EnvOp::kSyncDir}) {
    bool finished = false;
    for (int n = 1; !finished; ++n) {
      SCOPED_TRACE(std::string("crashed at ") + EnvOpName(op) + " " + std::to_string(n));
      std::filesystem::remove_all(base);
      std::filesystem::copy(saved, base, std::filesystem::copy_options::recursive);
      FaultInjectionEnv env;
      env.CrashAtNth(op, n);
      try {
        ChooseKinds(base, text, env);
      } catch (const IoError&) {
      }
      finished = !env.crashed();
      RecoverBase(base, Env::Default());
      EXPECT_TRUE(BaseIsClean(base));
      const BaseWithKinds now = Read(base);
      EXPECT_TRUE(now == old_base || now == new_base);
      if (finished) {
        EXPECT_EQ(now, new_base);
      }
      ASSERT_LT(n, 500);
    }
  }
}

// Kinds that are no longer chosen leave wherever their files lie, also
// outside every remembered folder; files still of a kind stay.
TEST(KindsScanTest, FilesOfKindsNoLongerChosenLeaveWhereverTheyLie) {
  TempDir tmp;
  WriteFile(tmp / "a/page.htm", "<p>page</p>");
  WriteFile(tmp / "a/note.txt", "note");
  WriteFile(tmp / "b/other.txt", "other");
  const std::string base = tmp / "base";
  KindChoice text;
  text.Set(KindGroup::kText, true);
  ChooseKinds(base, text, Env::Default());
  RecordingObserver observer;
  RunScan(base, tmp / "a", observer);
  RunScan(base, tmp / "b", observer);
  // b is forgotten, its file stays in the base.
  BaseState state;
  Scan::PrepareUpdate(base, {tmp / "a"}, false, state, Env::Default())->Run(observer);
  std::string folders = testing::ReadFile(BaseFilePath(base, kFoldersFileName));
  WriteFile(BaseFilePath(base, kFoldersFileName), folders.substr(0, folders.find(tmp / "b")));
  ChooseKinds(base, KindChoice(), Env::Default());
  EXPECT_EQ(testing::ReadFile(FilesFilePath(base)).find(".txt"), std::string::npos);
  EXPECT_NE(testing::ReadFile(FilesFilePath(base)).find("page.htm"), std::string::npos);
  EXPECT_EQ(LoadKindChoice(base, Env::Default()), KindChoice());
}

}  // namespace
}  // namespace veskara
