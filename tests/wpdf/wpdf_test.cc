// GetText on real PDFs and on files made to fail: missing, foreign,
// locked, cut short, corrupted. The fixtures in data/ were made with
//   pdf_corpus text sample.pdf "Hello, World" "Привет, мир" "ﬁle café € <ABC>"
//       --page "Second page Ёжик ёж" "Zebra"  (one command)
//   qpdf --encrypt secret owner 256 -- sample.pdf locked.pdf
//   qpdf --encrypt "" owner 256 --extract=n -- sample.pdf owner_only.pdf
#include "wpdf/wpdf.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "pdf_maker.h"
#include "platform/cp1251.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const std::string kData = WPDF_TEST_DATA;
const std::string kSample = kData + "/sample.pdf";

// The non-empty lines of a converted file, decoded to UTF-8. Fails the test
// when a line does not end with CR LF or holds a control byte.
std::vector<std::string> TextLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "last line without CR LF";
    if (end == std::string::npos) break;
    const std::string line = bytes.substr(start, end - start);
    for (char c : line) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << "control byte in " << line;
    if (!line.empty()) lines.push_back(DecodeCp1251(line));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> DirectoryNames(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(GetText, WritesEveryLineOfEveryPageInWindows1251WithCrLf) {
  TempDir dir;
  WriteFile(dir / "out.txt", "an older and much longer text that must not survive in part\r\n");
  ASSERT_EQ(GetText(kSample.c_str(), (dir / "out.txt").c_str()), kWpdfOk);
  const std::string bytes = ReadFile(dir / "out.txt");
  // Cyrillic as single Windows-1251 bytes; the ligature spelled out; the
  // euro sign has a form (0x88), the accented e does not and becomes a blank.
  EXPECT_NE(bytes.find("\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0\r\n"), std::string::npos);
  EXPECT_EQ(TextLines(bytes), (std::vector<std::string>{"Hello, World", "Привет, мир", "file caf  € <ABC>",
                                                        "Second page Ёжик ёж", "Zebra"}));
  EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"out.txt"});
}

// Page marks let a reader number the pages: a form feed alone on a line
// before each page, which no text line can hold.
TEST(GetText, MarksEachPageWhenAsked) {
  TempDir dir;
  WpdfOptions options{};
  options.flags = kWpdfMarkPages;
  ASSERT_EQ(GetTextWith(kSample.c_str(), (dir / "out.txt").c_str(), &options), kWpdfOk);
  const std::string bytes = ReadFile(dir / "out.txt");
  ASSERT_TRUE(bytes.starts_with("\f\r\n"));
  const size_t second = bytes.find("\r\n\f\r\n");
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(bytes.find("\f", second + 3), std::string::npos) << "two pages, two marks";
  EXPECT_NE(bytes.substr(second).find("Second page"), std::string::npos);
}

// A failure of the machine says which error of the system caused it.
TEST(GetText, TellsTheErrorBehindAFailureOfTheMachine) {
  TempDir dir;
  WpdfOptions options{};
  EXPECT_EQ(GetTextWith(kSample.c_str(), (dir / "missing/out.txt").c_str(), &options), kWpdfCannotWrite);
  EXPECT_EQ(options.error_number, ENOENT);
  EXPECT_EQ(GetTextWith(kSample.c_str(), (dir / "out.txt").c_str(), &options), kWpdfOk);
  EXPECT_EQ(options.error_number, 0);
}

// A cancelled conversion writes nothing; a zeroed options struct (cancel
// descriptor 0, the standard input) cancels nothing.
TEST(GetText, ACancelledConversionLeavesTheTargetAlone) {
  TempDir dir;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  WriteFile(dir / "out.txt", "kept");
  WpdfOptions options{};
  options.cancel_fd = fds[0] > STDERR_FILENO ? fds[0] : -1;
  ASSERT_GT(options.cancel_fd, STDERR_FILENO);
  EXPECT_EQ(GetTextWith(kSample.c_str(), (dir / "out.txt").c_str(), &options), kWpdfCancelled);
  close(fds[0]);
  close(fds[1]);
  EXPECT_EQ(ReadFile(dir / "out.txt"), "kept");
  EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"out.txt"});
  WpdfOptions zeroed{};
  EXPECT_EQ(GetTextWith(kSample.c_str(), (dir / "out.txt").c_str(), &zeroed), kWpdfOk);
}

TEST(GetText, RelativeTargetLandsInTheCurrentDirectory) {
  TempDir dir;
  const std::string old_cwd = std::filesystem::current_path();
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const int rc = GetText(kSample.c_str(), "temp___");
  ASSERT_EQ(chdir(old_cwd.c_str()), 0);
  ASSERT_EQ(rc, kWpdfOk);
  EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"temp___"});
  EXPECT_EQ(TextLines(ReadFile(dir / "temp___")).front(), "Hello, World");
}

TEST(GetText, OpensADocumentThatOnlyAnOwnerPasswordProtects) {
  TempDir dir;
  ASSERT_EQ(GetText((kData + "/owner_only.pdf").c_str(), (dir / "out.txt").c_str()), kWpdfOk);
  EXPECT_EQ(TextLines(ReadFile(dir / "out.txt")).back(), "Zebra");
}

// Regression: a host that ignores SIGCHLD has its children reaped by the
// kernel; the result must still come through.
TEST(GetText, WorksWhenTheCallerIgnoresChildSignals) {
  TempDir dir;
  struct sigaction ignore {
  }, old{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGCHLD, &ignore, &old);
  const int rc = GetText(kSample.c_str(), (dir / "out.txt").c_str());
  sigaction(SIGCHLD, &old, nullptr);
  EXPECT_EQ(rc, kWpdfOk);
}

// Regression: with the caller's stderr closed, the target file took
// descriptor 2, which the child points at /dev/null to stay quiet; the text
// went nowhere and an empty file passed for a success.
TEST(GetText, WorksWhenTheCallerHasNoStderr) {
  TempDir dir;
  fflush(stderr);
  const int saved_err = dup(STDERR_FILENO);
  close(STDERR_FILENO);
  const int rc = GetText(kSample.c_str(), (dir / "out.txt").c_str());
  dup2(saved_err, STDERR_FILENO);
  close(saved_err);
  ASSERT_EQ(rc, kWpdfOk);
  EXPECT_EQ(TextLines(ReadFile(dir / "out.txt")).size(), 5u);
}

struct Failure {
  const char* name;
  std::string source;  // a path, made by the test under the folder "in"
  std::string target;
  int expected;
};

TEST(GetText, EveryFailureReturnsItsCodeAndLeavesTheTargetAlone) {
  TempDir dir;
  WriteFile(dir / "in/notes.txt", "%PFD this is plain text, not a document\n");
  WriteFile(dir / "in/empty.pdf", "");
  WriteFile(dir / "in/header_only.pdf", "%PDF-1.7\n%%EOF\n");
  WriteFile(dir / "in/no_pages.pdf", testing::MakePdfOfMissingPages());
  std::filesystem::create_directories(dir / "in/folder.pdf");
  ASSERT_EQ(mkfifo((dir / "in/fifo.pdf").c_str(), 0600), 0);
  std::filesystem::create_directories(dir / "out/folder_target");
  const std::string target = dir / "out/target.txt";
  const std::vector<Failure> cases = {
      {"missing", dir / "in/missing.pdf", target, kWpdfCannotOpen},
      {"directory", dir / "in/folder.pdf", target, kWpdfCannotOpen},
      {"FIFO, never blocks", dir / "in/fifo.pdf", target, kWpdfCannotOpen},
      {"plain text", dir / "in/notes.txt", target, kWpdfNotPdf},
      {"empty file", dir / "in/empty.pdf", target, kWpdfNotPdf},
      {"a header and nothing else", dir / "in/header_only.pdf", target, kWpdfNotPdf},
      {"locked by a user password", kData + "/locked.pdf", target, kWpdfLocked},
      // Regression: read as a document with no words.
      {"none of its pages is there", dir / "in/no_pages.pdf", target, kWpdfNoPageRead},
      {"target in a missing folder", kSample, dir / "out/missing/target.txt", kWpdfCannotWrite},
      {"target is a folder", kSample, dir / "out/folder_target", kWpdfCannotWrite},
      {"empty source path", "", target, kWpdfBadArgument},
      {"empty target path", kSample, "", kWpdfBadArgument},
  };
  for (const Failure& c : cases) {
    WriteFile(target, "kept");
    EXPECT_EQ(GetText(c.source.c_str(), c.target.c_str()), c.expected) << c.name;
    EXPECT_EQ(ReadFile(target), "kept") << c.name;
    EXPECT_EQ(DirectoryNames(dir / "out"), (std::vector<std::string>{"folder_target", "target.txt"})) << c.name;
  }
  EXPECT_EQ(GetText(nullptr, target.c_str()), kWpdfBadArgument);
  EXPECT_EQ(GetText(kSample.c_str(), nullptr), kWpdfBadArgument);
}

// Cut and corrupted copies of a real document: each call returns (any
// code), the caller survives, its stderr stays silent, a success yields a
// well-formed text file and a failure leaves nothing behind.
TEST(GetText, SurvivesTruncatedAndCorruptedDocuments) {
  TempDir dir;
  const std::string original = ReadFile(kSample);
  std::vector<std::string> variants;
  for (size_t cut = 0; cut < original.size(); cut += original.size() / 60) variants.push_back(original.substr(0, cut));
  for (size_t back = 1; back < 64; back *= 2) variants.push_back(original.substr(0, original.size() - back));
  std::mt19937 rng(7);
  for (int i = 0; i < 120; ++i) {
    std::string copy = original;
    const int flips = 1 + i % 12;
    for (int f = 0; f < flips; ++f) copy[rng() % copy.size()] ^= static_cast<char>(1 + rng() % 255);
    variants.push_back(copy);
  }

  const std::string err_path = dir / "stderr.txt";
  fflush(stderr);
  const int saved_err = dup(STDERR_FILENO);
  const int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(err_fd, STDERR_FILENO);
  close(err_fd);

  size_t converted = 0;
  for (size_t i = 0; i < variants.size(); ++i) {
    WriteFile(dir / "in/doc.pdf", variants[i]);
    const std::string target = dir / "out/text.txt";
    std::filesystem::create_directories(dir / "out");
    const int rc = GetText((dir / "in/doc.pdf").c_str(), target.c_str());
    if (rc == kWpdfOk) {
      ++converted;
      TextLines(ReadFile(target));
      std::filesystem::remove(target);
    } else {
      EXPECT_TRUE((rc > 0 && rc <= kWpdfConversionFailed) || rc == kWpdfNoPageRead)
          << "variant " << i << " gave " << rc;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out")) << "variant " << i;
  }

  fflush(stderr);
  dup2(saved_err, STDERR_FILENO);
  close(saved_err);
  EXPECT_EQ(ReadFile(err_path), "");
  // The engine repairs most damage; the cut at zero bytes is always a failure.
  EXPECT_GT(converted, 0u);
  EXPECT_LT(converted, variants.size());
}

}  // namespace
}  // namespace veskara
