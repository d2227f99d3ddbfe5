// The text file that both halves of a conversion write: CR LF lines of
// Windows-1251 text. Private to the parser module.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/cp1251.h"
#include "wpdf/limited_output.h"

namespace veskara::wpdf {

// The Windows-1251 byte of each UTF-16 code unit, 0 where there is none.
// Built from the code page's own decoding table, so it agrees with
// EncodeCp1251 without a trip through UTF-8.
class Utf16To1251 {
 public:
  Utf16To1251() {
    for (unsigned c = 1; c < 0x80; ++c) bytes_[c] = static_cast<unsigned char>(c);
    for (unsigned b = 0x80; b < 0x100; ++b) {
      const std::string utf8 = DecodeCp1251(std::string(1, static_cast<char>(b)));
      const auto unit = [&](size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(utf8[k])); };
      const unsigned cp = utf8.size() == 2 ? ((unit(0) & 0x1F) << 6) | (unit(1) & 0x3F)
                                           : ((unit(0) & 0x0F) << 12) | ((unit(1) & 0x3F) << 6) | (unit(2) & 0x3F);
      bytes_[cp] = static_cast<unsigned char>(b);
    }
  }
  unsigned char operator[](unsigned short unit) const { return bytes_[unit]; }

 private:
  std::array<unsigned char, 0x10000> bytes_{};
};

// Buffers CR LF lines of Windows-1251 text and writes them to a descriptor.
class LineSink {
 public:
  // Writes at most `max_output` bytes (0: no limit); the rest is dropped
  // and cut() tells.
  explicit LineSink(int fd, unsigned long long max_output = 0) : out_(fd, max_output) {
    buffer_.reserve(kFlushAt + 4096);
  }

  // Adds one character of a line. A character without a Windows-1251 form
  // becomes a blank, and so does a control character, which would otherwise
  // change the line structure for the reader (a stray CR, a Ctrl-Z that
  // ends the file).
  void AddChar(unsigned cp) {
    static const Utf16To1251 to1251;
    // Latin ligatures (U+FB00 to U+FB06) spelled out, so that a word set
    // with one is not cut in two.
    static constexpr std::string_view kLigatures[] = {"ff", "fi", "fl", "ffi", "ffl", "st", "st"};
    if (cp < 0x20) {
      buffer_.push_back(' ');
    } else if (cp < 0x80) {
      buffer_.push_back(static_cast<char>(cp));
    } else if (cp >= 0xFB00 && cp <= 0xFB06) {
      buffer_.append(kLigatures[cp - 0xFB00]);
    } else if (cp > 0xFFFF) {
      buffer_.push_back(' ');
    } else {
      const unsigned char b = to1251[static_cast<unsigned short>(cp)];
      buffer_.push_back(b != 0 ? static_cast<char>(b) : ' ');
    }
  }

  // Ends the line being built; an empty one too.
  void EndLine() {
    buffer_.append("\r\n");
    line_start_ = buffer_.size();
    if (buffer_.size() >= kFlushAt) Flush();
  }

  // Ends the line being built unless it is empty.
  void EndNonEmptyLine() {
    if (buffer_.size() > line_start_) EndLine();
  }

  // A line holding a form feed alone: the start of a page.
  void MarkPage() {
    buffer_.append("\f");
    EndLine();
  }

  // Writes what is buffered; false when a write failed.
  bool Flush() {
    const bool written = out_.Write(buffer_);
    buffer_.clear();
    line_start_ = 0;
    return written;
  }

  // False once a write failed or the limit was reached: nothing more is
  // worth adding.
  bool ok() const { return out_.ok(); }
  // True when text was dropped at the limit.
  bool cut() const { return out_.cut(); }

 private:
  static constexpr size_t kFlushAt = 64 * 1024;

  LimitedOutput out_;
  std::string buffer_;
  size_t line_start_ = 0;  // where the line being built begins in buffer_
};

}  // namespace veskara::wpdf
