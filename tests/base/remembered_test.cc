// folders.txt as it is read and written: a folder's time and, since devices
// are kept, its file system; a file of an older version still reads.
#include "base/remembered.h"

#include <gtest/gtest.h>

#include "base/base_files.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(RememberedFoldersTest, ReadAsWrittenOrNamedAsDamage) {
  const struct {
    const char* name;
    std::string text;
    std::vector<RememberedFolder> folders;
    std::string damage;  // "" when it reads
  } cases[] = {
      {"an older record, without a device", "/a\r\n17\r\n", {{"/a", 17}}, ""},
      {"with a device", "/a\r\n17\t2049\r\n/b\r\n18\r\n", {{"/a", 17, 2049}, {"/b", 18}}, ""},
      {"a device that is not a number", "/a\r\n17\tsda1\r\n", {}, "line 2: not a time, or a time and a device"},
      {"an empty device", "/a\r\n17\t\r\n", {}, "line 2: not a time, or a time and a device"},
      // Regression guard: the line rules hid every folder after such a byte,
      // or changed a name, and the next scan wrote folders.txt again so.
      {"a byte 26 at the start of a line",
       "/a\r\n17\r\n\x1A/b\r\n18\r\n",
       {},
       "line 3: a byte 26, which hides the rest of the file"},
      {"a byte 26 inside a name", "/a\x1A/b\r\n17\r\n", {}, "line 1: a byte 26, which hides the rest of the file"},
      {"a CR inside a name", "/a\r/b\r\n17\r\n", {}, "line 1: a CR inside a line"},
      {"a CR at the end", "/a\r\n17\r", {}, "line 2: a CR inside a line"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir base;
    WriteFile(BaseFilePath(base.path(), kFoldersFileName), c.text);
    try {
      EXPECT_EQ(LoadRemembered(base.path(), Env::Default()).folders, c.folders);
      EXPECT_EQ(c.damage, "");
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), "folders.txt " + c.damage + "; remove the file to go on without what it remembers");
    }
  }
}

TEST(RememberedFoldersTest, WrittenWithTheirDevices) {
  TempDir base;
  Remembered remembered;
  remembered.folders = {{"/a", 17}};
  remembered.RememberFolder("/b", 18, 2049);
  remembered.RememberFolder("/a", 19, 7);
  WriteRememberedTemporaries(base.path(), remembered, Env::Default());
  EXPECT_EQ(ReadFile(BaseFilePath(base.path(), kFoldersTempName)), "/a\r\n19\t7\r\n/b\r\n18\t2049\r\n");

  // A name that would cut the records out of step is never written.
  remembered.RememberFolder("/c\nd", 20, 7);
  EXPECT_THROW(WriteRememberedTemporaries(base.path(), remembered, Env::Default()), std::runtime_error);
  EXPECT_EQ(ReadFile(BaseFilePath(base.path(), kFoldersTempName)), "/a\r\n19\t7\r\n/b\r\n18\t2049\r\n");
}

}  // namespace
}  // namespace veskara
