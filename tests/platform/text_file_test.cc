#include "platform/text_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/errors.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(TextFileTest, WriterEndsLinesWithCrLfAndAppends) {
  TempDir dir;
  {
    TextWriter w = TextWriter::Create(dir / "f", Env::Default());
    w.WriteLine("one");
    w.WriteLine("");
    w.Close();
  }
  EXPECT_EQ(ReadFile(dir / "f"), "one\r\n\r\n");
  {
    TextWriter w = TextWriter::Append(dir / "f", Env::Default());
    w.WriteLine(std::string(3 << 20, 'x'));  // larger than the write buffer
    w.Close();
  }
  EXPECT_EQ(ReadFile(dir / "f").size(), 7 + (3u << 20) + 2);
  {
    TextWriter w = TextWriter::Create(dir / "f", Env::Default());  // cuts the file
    w.Close();
  }
  EXPECT_EQ(ReadFile(dir / "f"), "");
}

TEST(TextFileTest, AppendNeedsAnExistingFile) {
  TempDir dir;
  EXPECT_THROW(TextWriter::Append(dir / "missing", Env::Default()), IoError);
}

TEST(TextFileTest, FullDiskIsReportedOnClose) {
  TextWriter w = TextWriter::Append("/dev/full", Env::Default());
  w.WriteLine("data");
  try {
    w.Close();
    FAIL() << "a write to a full disk succeeded";
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), ENOSPC);
    EXPECT_STREQ(e.what(), "Disk full");
  }
}

TEST(TextFileTest, FileExistsIsTrueForFilesOnly) {
  TempDir dir;
  WriteFile(dir / "file", "x");
  ASSERT_EQ(mkdir((dir / "folder").c_str(), 0755), 0);
  EXPECT_TRUE(FileExists(dir / "file", Env::Default()));
  EXPECT_FALSE(FileExists(dir / "folder", Env::Default()));
  EXPECT_FALSE(FileExists(dir / "missing", Env::Default()));
}

TEST(TextFileTest, ErrorMessages) {
  EXPECT_EQ(IoErrorMessage(ENOENT), "File not found");
  EXPECT_EQ(IoErrorMessage(ENAMETOOLONG), "Invalid filename");
  EXPECT_EQ(IoErrorMessage(EMFILE), "Too many open files");
  EXPECT_EQ(IoErrorMessage(EACCES), "File access denied");
  EXPECT_EQ(IoErrorMessage(ENOSPC), "Disk full");
  EXPECT_EQ(IoErrorMessage(EIO), "I/O error 5");
  EXPECT_STREQ(ConvertError("x").what(), "'x' is not a valid integer value");
}

}  // namespace
}  // namespace veskara
