#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/cp1251.h"

namespace veskara {
namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Lines that are mostly well-formed UTF-8 (so that the transcoding path is
// taken), with code points around every boundary of the encoding, and now
// and then a stray byte that makes the whole line malformed.
std::string RandomLine(std::mt19937& rng) {
  static const uint32_t kInteresting[] = {0x7F,   0x80,   0x98,   0xA0,   0xA4,   0xBB,   0x401,   0x410,
                                          0x44F,  0x451,  0x490,  0x491,  0x7FF,  0x800,  0x2013,  0x20AC,
                                          0x2116, 0x2122, 0xD7FF, 0xE000, 0xFFFD, 0xFFFF, 0x10000, 0x10FFFF};
  std::string line;
  const int length = static_cast<int>(rng() % 40);
  for (int i = 0; i < length; ++i) {
    switch (rng() % 8) {
      case 0:
        line += static_cast<char>(rng() % 0x80);
        break;
      case 1:
        AppendUtf8(line, 0x400 + rng() % 0x60);
        break;
      case 2:
        AppendUtf8(line, kInteresting[rng() % std::size(kInteresting)]);
        break;
      case 3:
        AppendUtf8(line, rng() % 0x110000);
        break;
      case 4:
        if (rng() % 16 == 0) line += static_cast<char>(0x80 + rng() % 0x80);
        break;
      default:
        line += static_cast<char>('a' + rng() % 26);
        break;
    }
  }
  return line;
}

// The one-pass transcoding, with its buffer kept from line to line, against
// its definition: check the whole line, then encode it.
TEST(DocumentLineTest, MatchesItsDefinition) {
  std::mt19937 rng(20261208);
  std::string scratch;
  int transcoded = 0;
  for (int i = 0; i < 200000; ++i) {
    std::string line = RandomLine(rng);
    std::string expected = IsMultibyteUtf8(line) ? EncodeCp1251(line, ' ') : line;
    ASSERT_EQ(std::string(DocumentLineTo1251(line, scratch)), expected) << "line " << i;
    if (expected != line) ++transcoded;
  }
  EXPECT_GT(transcoded, 50000);  // the comparison covered the transcoding path
}

TEST(DocumentLineTest, Examples) {
  std::string scratch;
  auto t = [&scratch](std::string_view line) { return DocumentLineTo1251(line, scratch); };
  EXPECT_EQ(t("plain"), "plain");
  EXPECT_EQ(t("\xd0\x9f\xd1\x80\xd0\xb8"), "\xcf\xf0\xe8");
  EXPECT_EQ(t("a\xe2\x82\xac"
              "b\xe6\x97\xa5"),
            "a\x88"
            "b ");                               // euro sign; no form
  EXPECT_EQ(t("\xcf\xf0\xe8"), "\xcf\xf0\xe8");  // not UTF-8: unchanged
  EXPECT_EQ(t("\xd0\x9f\xd1"), "\xd0\x9f\xd1");  // cut short: unchanged
  EXPECT_EQ(t(""), "");
}

}  // namespace
}  // namespace veskara
