#include "wdoc/unit_text.h"

#include "platform/cp1251.h"

namespace veskara::wdoc {
namespace {

constexpr size_t kFlushAt = 64 * 1024;

bool IsBlank(std::string_view line) {
  for (char c : line) {
    if (c != ' ') return false;
  }
  return true;
}

}  // namespace

UnitText::UnitText(int fd, unsigned long long max_output) : out_(fd, max_output) {}

void UnitText::BeginUnit() {
  EndLine();
  Put("\f\r\n");
}

void UnitText::Add(std::string_view utf8) {
  size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      // A control character would change the line structure for the reader.
      line_.push_back(c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c));
      ++i;
      continue;
    }
    uint32_t cp = 0;
    const size_t n = DecodeUtf8Char(utf8, i, &cp);
    if (n == 0) {
      line_.push_back(' ');
      ++i;
      continue;
    }
    if (cp >= 0x80 && cp <= 0x9F) {
      line_.push_back(' ');
    } else {
      line_.append(utf8.substr(i, n));
    }
    i += n;
  }
}

void UnitText::EndLine() {
  if (!IsBlank(line_)) {
    line_.append("\r\n");
    Put(line_);
  }
  line_.clear();
}

void UnitText::EndParagraphUnit() {
  if (IsBlank(line_)) {
    line_.clear();
    return;
  }
  Put("\f\r\n");
  EndLine();
}

void UnitText::Put(std::string_view bytes) {
  if (!ok()) return;
  buffer_.append(bytes);
  if (buffer_.size() >= kFlushAt) Flush();
}

bool UnitText::Flush() {
  const bool written = out_.Write(buffer_);
  buffer_.clear();
  return written;
}

bool UnitText::Finish() {
  EndLine();
  return Flush();
}

}  // namespace veskara::wdoc
