#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/text_file.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::TempDir;
using testing::WriteFile;

std::vector<std::string> ReadAll(const std::string& path) {
  LineReader reader(path, Env::Default());
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.ReadLine(&line)) lines.emplace_back(line);
  reader.Close();
  return lines;
}

struct LineCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};

TEST(LineReaderTest, LineRules) {
  const std::string z(1, '\x1A');
  const std::vector<LineCase> cases = {
      {"empty file", "", {}},
      {"last line without end", "a\nb", {"a", "b"}},
      {"CR LF ends a line", "a\r\nb\r\n", {"a", "b"}},
      {"lone CR is dropped", "a\rb\n", {"ab"}},
      {"CR CR LF", "a\r\r\n", {"a"}},
      {"trailing lone CR", "a\r", {"a"}},
      {"empty lines", "\n\r\n", {"", ""}},
      {"Ctrl-Z cuts its line", "ab" + z + "cd\nef\n", {"ab", "ef"}},
      {"Ctrl-Z at line start ends file", "ab\n" + z + "cd\nef\n", {"ab"}},
      {"Ctrl-Z first byte", z + "abc\nxyz", {}},
      {"second Ctrl-Z in rest ends file", "ab" + z + "c" + z + "d\nef\n", {"ab"}},
      {"CR before Ctrl-Z at start", "\r" + z + "x\nb\n", {}},
      {"Ctrl-Z at the very end", "ab" + z, {"ab"}},
      {"NUL bytes are text", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
  };
  TempDir dir;
  for (const LineCase& c : cases) {
    WriteFile(dir / "f", c.bytes);
    EXPECT_EQ(ReadAll(dir / "f"), c.lines) << c.name;
    EXPECT_EQ(CountLines(dir / "f", Env::Default()), c.lines.size()) << c.name;
  }
}

TEST(LineReaderTest, LinesAcrossBufferRefills) {
  TempDir dir;
  const std::string z(1, '\x1A');
  // A 3 MB line with CRs in it spans several buffer refills.
  std::string big(3 << 20, 'x');
  big[1 << 20] = '\r';
  std::string expected = big.substr(0, 1 << 20) + big.substr((1 << 20) + 1);
  WriteFile(dir / "big", big + "\r\nlast");
  EXPECT_EQ(ReadAll(dir / "big"), (std::vector<std::string>{expected, "last"}));

  // The second line starts exactly at a refill boundary with a Ctrl-Z.
  std::string first((1 << 20) - 1, 'a');
  WriteFile(dir / "edge", first + "\n" + z + "gone\n");
  EXPECT_EQ(ReadAll(dir / "edge"), std::vector<std::string>{first});

  // A Ctrl-Z far into a long line still cuts it.
  WriteFile(dir / "cut", std::string(2 << 20, 'b') + z + std::string(1 << 20, 'c') + "\nnext");
  std::vector<std::string> lines = ReadAll(dir / "cut");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), size_t{2} << 20);
  EXPECT_EQ(lines[1], "next");
}

TEST(LineReaderTest, OpenFailuresCarryTheirMessage) {
  TempDir dir;
  try {
    LineReader reader(dir / "missing", Env::Default());
    FAIL() << "opened a missing file";
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), ENOENT);
    EXPECT_STREQ(e.what(), "File not found");
  }
  try {
    LineReader reader(dir.path(), Env::Default());
    FAIL() << "opened a folder";
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), "File access denied");
  }
  // A FIFO must be refused, not block the reader.
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
  try {
    LineReader reader(dir / "fifo", Env::Default());
    FAIL() << "opened a FIFO";
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), "File access denied");
  }
}

}  // namespace
}  // namespace veskara
