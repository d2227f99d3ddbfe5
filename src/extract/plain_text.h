// Text files (notes, source code): their encoding decided per file, their
// lines read with the program's line rules.
//
// The encoding: UTF-8 after its byte order mark, UTF-16 after its mark;
// else UTF-8 when the file's start is well-formed UTF-8; else what the
// charset detector (libuchardet) finds among Windows-1251, KOI8-R, CP866
// and Latin-1. A file whose first 8 KB hold a NUL byte is not text. Only
// the first kMostTextBytes are read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "platform/text_file.h"

namespace veskara {

enum class TextEncoding : uint8_t { kUtf8, kUtf16Le, kUtf16Be, kWindows1251, kKoi8R, kCp866, kLatin1 };

inline constexpr uint64_t kMostTextBytes = 64ULL << 20;
inline constexpr size_t kBinaryWindow = 8 * 1024;

// Decides the encoding of a text from its first bytes (`head`: the whole
// file when `whole_file`, else at least the binary window); false when it
// is not text.
bool JudgeText(std::string_view head, bool whole_file, TextEncoding* encoding);

class PlainTextLines {
 public:
  // Opens the file at `path` (IoError when that fails) and judges its start.
  PlainTextLines(Env& env, const std::string& path);
  ~PlainTextLines();
  PlainTextLines(const PlainTextLines&) = delete;
  PlainTextLines& operator=(const PlainTextLines&) = delete;

  // Not text: a NUL byte in the first 8 KB. No line is read then.
  bool binary() const { return binary_; }
  // The encoding of the lines ReadLine gives: UTF-16 comes as UTF-8.
  TextEncoding encoding() const;
  // The next line, without its byte order mark; false at the end (or at the
  // limit). Throws IoError.
  bool ReadLine(std::string_view* line);
  // After the last line: the file went on past kMostTextBytes.
  bool cut() const;
  void Close();

 private:
  class Source;
  Source* source_ = nullptr;  // owned by reader_
  std::unique_ptr<LineReader> reader_;
  TextEncoding encoding_ = TextEncoding::kUtf8;
  bool binary_ = false;
};

// A line of such a text in Windows-1251, as the tokenizer takes it: a
// character without a form becomes a blank. May point into `scratch`.
std::string_view TextLineTo1251(std::string_view line, TextEncoding encoding, std::string& scratch);

// Calls on_char(code_point) for each character of such a line.
template <typename OnChar>
void ForEachTextChar(std::string_view line, TextEncoding encoding, OnChar&& on_char);

// The code point of a byte of a single-byte encoding.
uint32_t SingleByteCodePoint(unsigned char byte, TextEncoding encoding);

}  // namespace veskara

#include "platform/cp1251.h"

template <typename OnChar>
void veskara::ForEachTextChar(std::string_view line, TextEncoding encoding, OnChar&& on_char) {
  if (encoding == TextEncoding::kUtf8 && IsMultibyteUtf8(line)) {
    size_t i = 0;
    while (i < line.size()) {
      uint32_t cp = 0;
      i += DecodeUtf8Char(line, i, &cp);  // well-formed: never 0
      on_char(cp);
    }
    return;
  }
  for (char c : line) on_char(SingleByteCodePoint(static_cast<unsigned char>(c), encoding));
}
