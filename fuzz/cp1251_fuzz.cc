// The Windows-1251 / UTF-8 conversions: every byte string survives
// Windows-1251 -> UTF-8 -> Windows-1251; well-formed UTF-8 made only of
// characters of the code page survives the other way; malformed input never
// yields more bytes than it has; the markup reader's one-pass transcoder
// agrees with DocumentLineTo1251.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_util.h"
#include "platform/cp1251.h"

using namespace veskara;

namespace {

// Well-formed UTF-8 as the standard defines it: shortest forms only, no
// surrogates, nothing above U+10FFFF. Returns the number of characters, or
// -1; *multibyte tells whether a sequence of two or more bytes stood in it.
long Utf8Characters(std::string_view s, bool* multibyte) {
  long count = 0;
  *multibyte = false;
  for (size_t i = 0; i < s.size(); ++count) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    size_t length;
    uint32_t cp;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      cp = b & 0x07;
    } else {
      return -1;
    }
    if (i + length > s.size()) return -1;
    for (size_t k = 1; k < length; ++k) {
      const unsigned char c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return -1;
      cp = cp << 6 | (c & 0x3F);
    }
    if ((length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return -1;
    }
    *multibyte = true;
    i += length;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Any bytes as Windows-1251: decoding gives well-formed UTF-8 of one
  // character per byte, and encoding gives the bytes back.
  const std::string utf8 = DecodeCp1251(bytes);
  bool multibyte = false;
  FUZZ_CHECK(Utf8Characters(utf8, &multibyte) == static_cast<long>(bytes.size()));
  FUZZ_CHECK(EncodeCp1251(utf8, '?') == bytes);

  // The bytes as UTF-8.
  const long characters = Utf8Characters(bytes, &multibyte);
  FUZZ_CHECK(IsMultibyteUtf8(bytes) == (characters >= 0 && multibyte));
  const std::string encoded = EncodeCp1251(bytes, '\x01');
  FUZZ_CHECK(encoded.size() <= bytes.size());
  if (characters >= 0) {
    FUZZ_CHECK(encoded.size() == static_cast<size_t>(characters));
    // Without a replaced character the round trip is exact.
    if (encoded.find('\x01') == std::string::npos) FUZZ_CHECK(DecodeCp1251(encoded) == bytes);
  }

  std::string scratch;
  const std::string_view line = DocumentLineTo1251(bytes, scratch);
  FUZZ_CHECK(line == (IsMultibyteUtf8(bytes) ? EncodeCp1251(bytes, ' ') : std::string(bytes)));
  FUZZ_CHECK(DocumentLineTo1251(bytes, scratch) == line);  // the kept buffer reused

  for (size_t i = 0; i < bytes.size(); ++i) {
    const char upper = UpperCase1251(bytes[i]);
    FUZZ_CHECK(UpperCase1251(upper) == upper);
  }
  return 0;
}
