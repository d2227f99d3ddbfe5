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
    std::string damage;  // the whole message; "" when it reads
  } cases[] = {
      {"an older record, without a device", "/a\r\n17\r\n", {{"/a", 17}}, ""},
      {"with a device", "/a\r\n17\t2049\r\n/b\r\n18\r\n", {{"/a", 17, 2049}, {"/b", 18}}, ""},
      {"a device that is not a number",
       "/a\r\n17\tsda1\r\n",
       {},
       "folders.txt line 2: not a time, or a time and a device; remove the file to go on without what it remembers"},
      {"an empty device",
       "/a\r\n17\t\r\n",
       {},
       "folders.txt line 2: not a time, or a time and a device; remove the file to go on without what it remembers"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir base;
    WriteFile(BaseFilePath(base.path(), kFoldersFileName), c.text);
    try {
      EXPECT_EQ(LoadRemembered(base.path(), Env::Default()).folders, c.folders);
      EXPECT_EQ(c.damage, "");
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), c.damage);
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
}

}  // namespace
}  // namespace veskara
