#include "platform/charsets.h"

#include <iconv.h>

namespace veskara {
namespace {

std::array<uint32_t, 256> BuildTable(const char* name) {
  std::array<uint32_t, 256> table{};
  for (unsigned b = 0; b < 256; ++b) table[b] = b < 0x80 ? b : 0xFFFD;
  const iconv_t cd = iconv_open("UTF-32LE", name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return table;
  for (unsigned b = 0x80; b < 256; ++b) {
    char in = static_cast<char>(b);
    unsigned char out[8] = {};
    char* in_at = &in;
    size_t in_left = 1;
    char* out_at = reinterpret_cast<char*>(out);
    size_t out_left = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in_at, &in_left, &out_at, &out_left) != static_cast<size_t>(-1) && sizeof out - out_left == 4) {
      table[b] = static_cast<uint32_t>(out[0]) | static_cast<uint32_t>(out[1]) << 8 |
                 static_cast<uint32_t>(out[2]) << 16 | static_cast<uint32_t>(out[3]) << 24;
    }
  }
  iconv_close(cd);
  return table;
}

}  // namespace

const std::array<uint32_t, 256>& CodePointsOf(SingleByteCharset charset) {
  static const std::array<uint32_t, 256> koi8r = BuildTable("KOI8-R");
  static const std::array<uint32_t, 256> cp866 = BuildTable("CP866");
  static const std::array<uint32_t, 256> latin1 = BuildTable("ISO-8859-1");
  switch (charset) {
    case SingleByteCharset::kKoi8R:
      return koi8r;
    case SingleByteCharset::kCp866:
      return cp866;
    case SingleByteCharset::kLatin1:
      break;
  }
  return latin1;
}

}  // namespace veskara
