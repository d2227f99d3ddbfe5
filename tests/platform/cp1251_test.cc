#include "platform/cp1251.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace veskara {
namespace {

// The C library's own converter is the reference for the code page.
std::string IconvDecode(std::string in) {
  iconv_t cd = iconv_open("UTF-8", "CP1251");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string out(in.size() * 4, '\0');
  char* src = in.data();
  char* dst = out.data();
  size_t src_left = in.size(), dst_left = out.size();
  size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return "<invalid>";
  out.resize(out.size() - dst_left);
  return out;
}

TEST(Cp1251Test, DecodingMatchesTheSystemConverter) {
  for (int b = 1; b < 256; ++b) {
    if (b == 0x98) continue;  // no character in the code page
    std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(DecodeCp1251(byte), IconvDecode(byte)) << "byte " << b;
    EXPECT_EQ(EncodeCp1251(DecodeCp1251(byte), '?'), byte) << "round trip of byte " << b;
  }
}

TEST(Cp1251Test, UpperCasingCoversTheWholeCodePage) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::string upper = all;
  UpperCase1251InPlace(upper);
  for (int b = 0; b < 256; ++b) {
    unsigned char u = static_cast<unsigned char>(upper[b]);
    bool small_cyrillic = b >= 0xE0 || b == 0xB8;
    if (b >= 'a' && b <= 'z') {
      EXPECT_EQ(u, b - 32);
    } else if (small_cyrillic) {
      EXPECT_EQ(u, b == 0xB8 ? 0xA8 : b - 32);
    }
  }
  // The other small Cyrillic letters of the code page: ђ ѓ љ њ ќ ћ џ ў і ґ є ј ѕ ї.
  const std::string small = "\x90\x83\x9A\x9C\x9D\x9E\x9F\xA2\xB3\xB4\xBA\xBC\xBE\xBF";
  const std::string capital = "\x80\x81\x8A\x8C\x8D\x8E\x8F\xA1\xB2\xA5\xAA\xA3\xBD\xAF";
  std::string s = small;
  UpperCase1251InPlace(s);
  EXPECT_EQ(s, capital);
  // Capitals, digits, punctuation and the micro sign stay.
  std::string stay = "AZ09.,\xC0\xDF\xA8\xB5\x98";
  std::string t = stay;
  UpperCase1251InPlace(t);
  EXPECT_EQ(t, stay);
}

TEST(Cp1251Test, EncodingReplacesWhatHasNoForm) {
  EXPECT_EQ(EncodeCp1251("\xD0\x9F\xD1\x80\xD0\xB8", '?'), "\xCF\xF0\xE8");  // При
  EXPECT_EQ(EncodeCp1251("\xE2\x82\xAC", '?'), "\x88");                      // euro sign
  EXPECT_EQ(EncodeCp1251("a\xE6\x97\xA5z", ' '), "a z");                     // CJK: no form
  EXPECT_EQ(EncodeCp1251("a\xFFz", '?'), "a?z");                             // malformed byte
  EXPECT_EQ(EncodeCp1251("\xC0\x80", '?'), "??");                            // overlong NUL
}

TEST(Cp1251Test, DocumentLinesAreTranscodedOnlyWhenTheyAreUtf8) {
  std::string scratch;
  // UTF-8 «Привет» becomes its Windows-1251 bytes.
  EXPECT_EQ(DocumentLineTo1251("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", scratch),
            "\xCF\xF0\xE8\xE2\xE5\xF2");
  // Windows-1251 «Привет» is not valid UTF-8 and stays as it is.
  EXPECT_EQ(DocumentLineTo1251("\xCF\xF0\xE8\xE2\xE5\xF2", scratch), "\xCF\xF0\xE8\xE2\xE5\xF2");
  EXPECT_EQ(DocumentLineTo1251("plain ascii", scratch), "plain ascii");
  // A character without a form becomes a blank, which separates words.
  EXPECT_EQ(DocumentLineTo1251("AB\xE2\x80\x8B"
                               "CD",
                               scratch),
            "AB\x20"
            "CD");  // zero-width space
  EXPECT_FALSE(IsMultibyteUtf8("ascii only"));
  EXPECT_FALSE(IsMultibyteUtf8("\xED\xA0\x80"));  // a surrogate is malformed
  EXPECT_FALSE(IsMultibyteUtf8("\xD0"));          // cut short
  EXPECT_TRUE(IsMultibyteUtf8("\xF0\x9F\x98\x80"));
}

// Entities of a page may name any code point, also beyond the first plane.
TEST(Cp1251Test, SingleCharactersRoundTrip) {
  for (uint32_t cp : {0x41u, 0x416u, 0x20ACu, 0xFFFDu, 0x1F600u, 0x10FFFFu}) {
    std::string utf8;
    AppendUtf8(utf8, cp);
    uint32_t back = 0;
    EXPECT_EQ(DecodeUtf8Char(utf8, 0, &back), utf8.size()) << cp;
    EXPECT_EQ(back, cp);
  }
  EXPECT_EQ(Cp1251ByteOf(0x451), 0xB8);  // ё
  EXPECT_EQ(Cp1251ByteOf(0x1F600), -1);
  EXPECT_EQ(CodePointOf1251(0xA8), 0x401u);  // Ё
}

}  // namespace
}  // namespace veskara
