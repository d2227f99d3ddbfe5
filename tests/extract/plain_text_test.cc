// Text files: the encoding of each decided from its start, the words going
// through the one tokenizer, binary files skipped, long ones cut.
#include "extract/plain_text.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/document_words.h"
#include "extract/document_lines.h"
#include "extract/readers.h"
#include "platform/cp1251.h"
#include "test_util.h"

namespace veskara {
namespace {

using testing::TempDir;
using testing::WriteFile;

// Russian prose long enough for the detector to tell the code pages apart.
const std::string kRussian =
    "Отчёт о посадках в саду. Огород полит, рассада высажена, теплица готова к зиме. Урожай собран, "
    "картофель убран в погреб, яблоки сложены в ящики. Весной посадим новые деревья и кусты смородины.";

// `utf8` in the single-byte code page `charset`, through the system's converter.
std::string Encoded(const std::string& utf8, const char* charset) {
  TempDir dir;
  WriteFile(dir / "in", utf8);
  const std::string command = "iconv -f UTF-8 -t " + std::string(charset) + " " + dir / "in" + " > " + dir / "out";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return testing::ReadFile(dir / "out");
}

std::string Utf16(const std::string& utf8, bool little) {
  std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = 0;
    i += DecodeUtf8Char(utf8, i, &cp);
    const char high = static_cast<char>(cp >> 8), low = static_cast<char>(cp & 0xFF);
    out += little ? std::string{low, high} : std::string{high, low};
  }
  return out;
}

struct TextCase {
  const char* name;
  std::string bytes;
  std::string first_words;  // the first words, joined by blanks, in UTF-8
  size_t count = 0;         // how many words in all; 0: as many as the first words
};
void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class TextReaderTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextReaderTest, ReadsTheWordsInTheFilesEncoding) {
  TempDir dir;
  WriteFile(dir / "notes.txt", GetParam().bytes);
  DocumentWords words;
  const std::string reason = TTextFile(dir / "notes.txt", words, Env::Default()).UnreadReason();
  EXPECT_EQ(reason, "");
  std::string first;
  const size_t wanted = std::count(GetParam().first_words.begin(), GetParam().first_words.end(), ' ') + 1;
  for (size_t i = 0; i < words.occurrences.size() && i < wanted; ++i) {
    first += (i == 0 ? "" : " ") + DecodeCp1251(words.words.Get(words.occurrences[i]));
  }
  EXPECT_EQ(first, GetParam().first_words);
  EXPECT_EQ(words.occurrences.size(), GetParam().count != 0 ? GetParam().count : wanted);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, TextReaderTest,
    ::testing::Values(
        TextCase{"Utf8English", "Garden notes:\n\tplant roses (red)\r\n", "GARDEN NOTES PLANT ROSES RED"},
        TextCase{"Utf8Russian", kRussian, "ОТЧЁТ ПОСАДКАХ", 24},
        TextCase{"Utf8WithMark", "\xEF\xBB\xBFСад и огород", "САД ОГОРОД"},
        TextCase{"Utf16LittleEndian", Utf16("Сад garden\nвторая строка", true), "САД GARDEN ВТОРАЯ СТРОКА"},
        TextCase{"Utf16BigEndian", Utf16("Сад garden", false), "САД GARDEN"},
        TextCase{"Windows1251", Encoded(kRussian, "WINDOWS-1251"), "ОТЧЁТ ПОСАДКАХ", 24},
        TextCase{"Koi8R", Encoded(kRussian, "KOI8-R"), "ОТЧЁТ ПОСАДКАХ", 24},
        TextCase{"Cp866", Encoded(kRussian, "CP866"), "ОТЧЁТ ПОСАДКАХ", 24},
        // A character without a Windows-1251 form separates words.
        TextCase{"Latin1",
                 "caf\xE9 cr\xE8me fra\xEE"
                 "che",
                 "CAF CR ME FRA CHE"},
        // A NUL past the first 8 KB does not make it binary.
        TextCase{"NulLate", "late nul " + std::string(9000, ' ') + std::string(1, '\0') + " tail", "LATE NUL TAIL"}));

TEST(TextReader, ABinaryFileIsSkippedNotUnread) {
  TempDir dir;
  WriteFile(dir / "image.txt", "GIF89a" + std::string(1, '\0') + "words after the nul");
  DocumentWords words;
  EXPECT_EQ(TTextFile(dir / "image.txt", words, Env::Default()).UnreadReason(), "");
  EXPECT_TRUE(words.occurrences.empty());
  EXPECT_EQ(ForEachTextLine(Env::Default(), dir / "image.txt", [](const ShownLine&) { FAIL(); }),
            "not a text file (it holds a NUL byte)");
}

// The start is read; the rest is named. (A sparse file: the disk holds
// only its two ends.)
TEST(TextReader, AFileLongerThanTheLimitIsReadToTheLimit) {
  TempDir dir;
  const std::string path = dir / "huge.log";
  WriteFile(path, "first words\n" + std::string(kBinaryWindow, ' ') + "\n");
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_EQ(pwrite(fd, "\nlast words\n", 12, static_cast<off_t>(kMostTextBytes + 100)), 12);
  close(fd);
  DocumentWords words;
  EXPECT_EQ(TTextFile(path, words, Env::Default()).UnreadReason(), "only its first 64 MB were read");
  ASSERT_EQ(words.occurrences.size(), 2u);
  EXPECT_EQ(words.words.Get(words.occurrences[0]), "FIRST");
}

TEST(TextReader, ShowsTheFilesOwnLinesInUtf8) {
  TempDir dir;
  WriteFile(dir / "koi.txt", Encoded("Первая строка\n\n  Вторая   строка  \n", "KOI8-R") + Encoded(kRussian, "KOI8-R"));
  std::vector<std::string> lines;
  EXPECT_EQ(ForEachTextLine(Env::Default(), dir / "koi.txt",
                            [&](const ShownLine& l) { lines.push_back(std::to_string(l.number) + ":" + l.text); }),
            "");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "1:Первая строка");
  EXPECT_EQ(lines[1], "3:Вторая строка");
}

}  // namespace
}  // namespace veskara
