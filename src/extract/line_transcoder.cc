#include "extract/line_transcoder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/cp1251.h"

namespace veskara {
namespace {

// Code point to Windows-1251 byte, taken from the platform's own decoding so
// that both directions share one table.
class Encoding {
 public:
  Encoding() {
    below_800_.fill(' ');
    for (int b = 0; b < 0x80; ++b) below_800_[b] = static_cast<char>(b);
    for (int b = 0x80; b < 0x100; ++b) {
      const char byte = static_cast<char>(b);
      uint32_t cp = CodePointOf(DecodeCp1251(std::string_view(&byte, 1)));
      if (cp < below_800_.size()) {
        below_800_[cp] = byte;
      } else {
        above_.emplace_back(cp, byte);
      }
    }
    std::sort(above_.begin(), above_.end());
  }

  char ByteFor(uint32_t cp) const {
    if (cp < below_800_.size()) return below_800_[cp];
    auto it = std::lower_bound(above_.begin(), above_.end(), std::pair<uint32_t, char>(cp, '\0'),
                               [](const auto& a, const auto& b) { return a.first < b.first; });
    return it != above_.end() && it->first == cp ? it->second : ' ';
  }

 private:
  static uint32_t CodePointOf(const std::string& utf8) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    if (utf8.size() == 2) return (s[0] & 0x1Fu) << 6 | (s[1] & 0x3Fu);
    if (utf8.size() == 3) return (s[0] & 0x0Fu) << 12 | (s[1] & 0x3Fu) << 6 | (s[2] & 0x3Fu);
    return s[0];
  }

  std::array<char, 0x800> below_800_{};
  std::vector<std::pair<uint32_t, char>> above_;
};

const Encoding& TheEncoding() {
  static const Encoding encoding;
  return encoding;
}

// Decodes the multi-byte sequence at s[0..n); returns its length, or 0 when
// it is malformed (overlong forms, surrogates and values above U+10FFFF too).
inline size_t DecodeSequence(const unsigned char* s, size_t n, uint32_t* cp) {
  const unsigned char b0 = s[0];
  size_t len;
  uint32_t value;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    value = b0 & 0x1Fu;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    value = b0 & 0x0Fu;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    value = b0 & 0x07u;
  } else {
    return 0;
  }
  if (len > n) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((s[k] & 0xC0) != 0x80) return 0;
    value = value << 6 | (s[k] & 0x3Fu);
  }
  if ((len == 3 && value < 0x800) || (len == 4 && value < 0x10000) || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  *cp = value;
  return len;
}

}  // namespace

std::string_view LineTranscoder::To1251(std::string_view line) {
  const auto* in = reinterpret_cast<const unsigned char*>(line.data());
  const size_t n = line.size();
  size_t i = 0;
  while (i < n && in[i] < 0x80) ++i;
  if (i == n) return line;  // ASCII only: nothing to transcode

  // Windows-1251 never takes more bytes than UTF-8.
  if (buffer_.size() < n) buffer_.resize(n);
  char* out = buffer_.data();
  std::memcpy(out, line.data(), i);
  size_t o = i;
  const Encoding& encoding = TheEncoding();
  while (i < n) {
    if (in[i] < 0x80) {
      out[o++] = static_cast<char>(in[i++]);
      continue;
    }
    uint32_t cp;
    size_t len = DecodeSequence(in + i, n - i, &cp);
    if (len == 0) return line;  // not UTF-8: the line is Windows-1251 already
    out[o++] = encoding.ByteFor(cp);
    i += len;
  }
  return std::string_view(out, o);
}

}  // namespace veskara
