#include "extract/plain_text.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "platform/charsets.h"
#include "platform/cp1251.h"
#include "platform/errors.h"

namespace veskara {
namespace {

// What the detector is shown: enough text to tell the Cyrillic code pages
// apart.
constexpr size_t kSample = 64 * 1024;

// The detector's answers taken as they are; any other answer for a text
// that is not UTF-8 is read as Latin-1. The detector takes Windows-1251
// text of small letters for Mac Cyrillic, whose small letters are the same.
struct Detected {
  const char* name;
  TextEncoding encoding;
};
constexpr Detected kDetected[] = {
    {"WINDOWS-1251", TextEncoding::kWindows1251},
    {"MAC-CYRILLIC", TextEncoding::kWindows1251},
    {"KOI8-R", TextEncoding::kKoi8R},
    {"IBM866", TextEncoding::kCp866},
    {"CP866", TextEncoding::kCp866},
};

// Well-formed UTF-8, allowing a sequence cut by the end of a sample.
bool IsUtf8(std::string_view text, bool whole) {
  size_t i = 0;
  while (i < text.size()) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    uint32_t cp = 0;
    const size_t n = DecodeUtf8Char(text, i, &cp);
    if (n == 0) return !whole && text.size() - i < 4;
    i += n;
  }
  return true;
}

TextEncoding Detect(std::string_view sample) {
  uchardet_t detector = uchardet_new();
  if (detector == nullptr) return TextEncoding::kLatin1;
  TextEncoding encoding = TextEncoding::kLatin1;
  if (uchardet_handle_data(detector, sample.data(), sample.size()) == 0) {
    uchardet_data_end(detector);
    const char* name = uchardet_get_charset(detector);
    for (const Detected& d : kDetected) {
      if (name != nullptr && std::strcmp(name, d.name) == 0) encoding = d.encoding;
    }
  }
  uchardet_delete(detector);
  return encoding;
}

SingleByteCharset CharsetOf(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kKoi8R:
      return SingleByteCharset::kKoi8R;
    case TextEncoding::kCp866:
      return SingleByteCharset::kCp866;
    default:
      return SingleByteCharset::kLatin1;
  }
}

// Windows-1251 bytes of each byte of a single-byte set.
std::array<char, 256> BytesIn1251(SingleByteCharset charset) {
  std::array<char, 256> bytes{};
  const std::array<uint32_t, 256>& points = CodePointsOf(charset);
  for (unsigned b = 0; b < 256; ++b) {
    const int byte = b < 0x80 ? static_cast<int>(b) : Cp1251ByteOf(points[b]);
    bytes[b] = byte < 0 ? ' ' : static_cast<char>(byte);
  }
  return bytes;
}

}  // namespace

bool JudgeText(std::string_view head, bool whole_file, TextEncoding* encoding) {
  if (head.starts_with("\xEF\xBB\xBF")) {
    *encoding = TextEncoding::kUtf8;
    return true;
  }
  if (head.starts_with("\xFF\xFE") && !head.starts_with(std::string_view("\xFF\xFE\0\0", 4))) {
    *encoding = TextEncoding::kUtf16Le;
    return true;
  }
  if (head.starts_with("\xFE\xFF")) {
    *encoding = TextEncoding::kUtf16Be;
    return true;
  }
  if (head.substr(0, kBinaryWindow).find('\0') != std::string_view::npos) return false;
  *encoding = IsUtf8(head, whole_file) ? TextEncoding::kUtf8 : Detect(head);
  return true;
}

// The bytes of the file from its start, its mark skipped, at most
// kMostTextBytes of them; UTF-16 turned into UTF-8 on the way.
class PlainTextLines::Source : public ReadableFile {
 public:
  Source(std::unique_ptr<ReadableFile> file, std::string head, TextEncoding encoding)
      : file_(std::move(file)), pending_(std::move(head)), encoding_(encoding) {
    const uint64_t size = file_->SizeWhenOpened();
    cut_ = size > kMostTextBytes;
    left_ = std::min(size, kMostTextBytes);
    const size_t mark = encoding == TextEncoding::kUtf8 && pending_.starts_with("\xEF\xBB\xBF")    ? 3
                        : encoding == TextEncoding::kUtf16Le || encoding == TextEncoding::kUtf16Be ? 2
                                                                                                   : 0;
    taken_ = std::min<uint64_t>(pending_.size(), left_);
    pending_.resize(static_cast<size_t>(taken_));
    at_ = mark;
    left_ -= taken_;
  }

  size_t Read(char* data, size_t size) override {
    if (encoding_ != TextEncoding::kUtf16Le && encoding_ != TextEncoding::kUtf16Be) return ReadRaw(data, size);
    // Whole characters only: decode what the raw bytes hold, hand it out.
    while (utf8_at_ == utf8_.size()) {
      utf8_.clear();
      utf8_at_ = 0;
      char raw[16 * 1024];
      const size_t n = ReadRaw(raw, sizeof raw);
      if (n == 0) {
        if (!odd_.empty() || high_surrogate_ != 0) AppendUtf8(utf8_, 0xFFFD);
        odd_.clear();
        high_surrogate_ = 0;
        if (utf8_.empty()) return 0;
        break;
      }
      Decode(std::string_view(raw, n));
    }
    const size_t n = std::min(size, utf8_.size() - utf8_at_);
    std::memcpy(data, utf8_.data() + utf8_at_, n);
    utf8_at_ += n;
    return n;
  }
  // At most what UTF-16 becomes in UTF-8 (three bytes for two).
  uint64_t SizeWhenOpened() const override { return (taken_ + left_) * 2 + 4; }
  FileId Id() const override { return file_->Id(); }
  // A second reader of decoded text from the start is never needed.
  std::unique_ptr<ReadableFile> Duplicate() override { throw IoError(ENOTSUP); }
  void Close() override { file_->Close(); }
  bool cut() const { return cut_; }

 private:
  size_t ReadRaw(char* data, size_t size) {
    if (at_ < pending_.size()) {
      const size_t n = std::min(size, pending_.size() - at_);
      std::memcpy(data, pending_.data() + at_, n);
      at_ += n;
      return n;
    }
    if (left_ == 0) return 0;
    const size_t n = file_->Read(data, static_cast<size_t>(std::min<uint64_t>(size, left_)));
    left_ -= n;
    return n;
  }

  void Decode(std::string_view raw) {
    const bool little = encoding_ == TextEncoding::kUtf16Le;
    odd_.append(raw);
    size_t i = 0;
    for (; i + 1 < odd_.size(); i += 2) {
      const auto a = static_cast<unsigned char>(odd_[i]);
      const auto b = static_cast<unsigned char>(odd_[i + 1]);
      const uint32_t unit = little ? (a | b << 8) : (a << 8 | b);
      if (unit >= 0xD800 && unit < 0xDC00) {
        if (high_surrogate_ != 0) AppendUtf8(utf8_, 0xFFFD);
        high_surrogate_ = unit;
        continue;
      }
      if (unit >= 0xDC00 && unit < 0xE000) {
        AppendUtf8(utf8_,
                   high_surrogate_ != 0 ? 0x10000 + ((high_surrogate_ - 0xD800) << 10) + (unit - 0xDC00) : 0xFFFD);
        high_surrogate_ = 0;
        continue;
      }
      if (high_surrogate_ != 0) AppendUtf8(utf8_, 0xFFFD);
      high_surrogate_ = 0;
      AppendUtf8(utf8_, unit);
    }
    odd_.erase(0, i);
  }

  std::unique_ptr<ReadableFile> file_;
  std::string pending_;  // the head, read already
  size_t at_ = 0;
  uint64_t taken_ = 0;
  uint64_t left_ = 0;  // of the file beyond the head, up to the limit
  bool cut_ = false;
  TextEncoding encoding_;
  std::string odd_;  // a byte of a code unit not yet complete
  uint32_t high_surrogate_ = 0;
  std::string utf8_;
  size_t utf8_at_ = 0;
};

PlainTextLines::PlainTextLines(Env& env, const std::string& path) {
  std::unique_ptr<ReadableFile> file = env.OpenForReading(path);
  std::string head(kSample, '\0');
  size_t got = 0;
  while (got < head.size()) {
    const size_t n = file->Read(head.data() + got, head.size() - got);
    if (n == 0) break;
    got += n;
  }
  head.resize(got);
  const bool whole = got < kSample;
  if (!JudgeText(head, whole, &encoding_)) {
    binary_ = true;
    file->Close();
    return;
  }
  auto source = std::make_unique<Source>(std::move(file), std::move(head), encoding_);
  source_ = source.get();
  reader_ = std::make_unique<LineReader>(std::move(source));
}

PlainTextLines::~PlainTextLines() = default;

TextEncoding PlainTextLines::encoding() const {
  return encoding_ == TextEncoding::kUtf16Le || encoding_ == TextEncoding::kUtf16Be ? TextEncoding::kUtf8 : encoding_;
}

bool PlainTextLines::ReadLine(std::string_view* line) { return reader_ != nullptr && reader_->ReadLine(line); }

bool PlainTextLines::cut() const { return source_ != nullptr && source_->cut(); }

void PlainTextLines::Close() {
  if (reader_ != nullptr) reader_->Close();
}

uint32_t SingleByteCodePoint(unsigned char byte, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kKoi8R:
    case TextEncoding::kCp866:
    case TextEncoding::kLatin1:
      return CodePointsOf(CharsetOf(encoding))[byte];
    default:
      return CodePointOf1251(byte);
  }
}

std::string_view TextLineTo1251(std::string_view line, TextEncoding encoding, std::string& scratch) {
  switch (encoding) {
    case TextEncoding::kKoi8R:
    case TextEncoding::kCp866:
    case TextEncoding::kLatin1: {
      static const std::array<char, 256> koi8r = BytesIn1251(SingleByteCharset::kKoi8R);
      static const std::array<char, 256> cp866 = BytesIn1251(SingleByteCharset::kCp866);
      static const std::array<char, 256> latin1 = BytesIn1251(SingleByteCharset::kLatin1);
      const std::array<char, 256>& bytes = encoding == TextEncoding::kKoi8R   ? koi8r
                                           : encoding == TextEncoding::kCp866 ? cp866
                                                                              : latin1;
      scratch.resize(line.size());
      for (size_t i = 0; i < line.size(); ++i) scratch[i] = bytes[static_cast<unsigned char>(line[i])];
      return scratch;
    }
    case TextEncoding::kWindows1251:
      return line;
    default:
      return DocumentLineTo1251(line, scratch);
  }
}

}  // namespace veskara
