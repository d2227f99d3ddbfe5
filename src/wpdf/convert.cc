#include "wpdf/convert.h"

#include <errno.h>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>
#include <unistd.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "platform/cp1251.h"
#include "wpdf/wpdf.h"

namespace veskara::wpdf {
namespace {

void DiscardMessage(const std::string& /*message*/, void* /*closure*/) {}

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
  explicit LineSink(int fd) : fd_(fd) { buffer_.reserve(kFlushAt + 4096); }

  // Adds the text of one page. Its lines end at LF; a form feed ends a
  // non-empty line too. A character without a Windows-1251 form becomes a
  // blank, and so does a control character, which would otherwise change
  // the line structure for the reader (a stray CR, a Ctrl-Z that ends the
  // file).
  void AddPage(const poppler::ustring& text) {
    static const Utf16To1251 to1251;
    // Latin ligatures (U+FB00 to U+FB06) spelled out, so that a word set
    // with one is not cut in two.
    static constexpr std::string_view kLigatures[] = {"ff", "fi", "fl", "ffi", "ffl", "st", "st"};
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
      const unsigned short u = text[i];
      if (u == '\n') {
        EndLine();
      } else if (u == '\f') {
        if (buffer_.size() > line_start_) EndLine();
      } else if (u < 0x20) {
        buffer_.push_back(' ');
      } else if (u < 0x80) {
        buffer_.push_back(static_cast<char>(u));
      } else if (u >= 0xFB00 && u <= 0xFB06) {
        buffer_.append(kLigatures[u - 0xFB00]);
      } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        ++i;  // a character beyond the first plane: one blank
        buffer_.push_back(' ');
      } else {
        const unsigned char b = to1251[u];
        buffer_.push_back(b != 0 ? static_cast<char>(b) : ' ');
      }
    }
    if (buffer_.size() > line_start_) EndLine();
  }

  // A line holding a form feed alone: the start of a page.
  void MarkPage() {
    buffer_.append("\f");
    EndLine();
  }

  // Writes what is buffered; false when a write failed.
  bool Flush() {
    size_t done = 0;
    while (ok_ && done < buffer_.size()) {
      const ssize_t n = write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0)
        ok_ = false;
      else
        done += static_cast<size_t>(n);
    }
    buffer_.clear();
    line_start_ = 0;
    return ok_;
  }

  bool ok() const { return ok_; }

 private:
  static constexpr size_t kFlushAt = 64 * 1024;

  void EndLine() {
    buffer_.append("\r\n");
    line_start_ = buffer_.size();
    if (buffer_.size() >= kFlushAt) Flush();
  }

  int fd_;
  bool ok_ = true;
  std::string buffer_;
  size_t line_start_ = 0;  // where the line being built begins in buffer_
};

}  // namespace

void SilenceParser() { poppler::set_debug_error_function(&DiscardMessage, nullptr); }

int ConvertDocument(const char* pdf_path, int fd, int flags) {
  try {
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(pdf_path));
    if (!doc) return kWpdfNotPdf;
    if (doc->is_locked()) return kWpdfLocked;
    LineSink sink(fd);
    const int pages = doc->pages();
    bool lost = false;
    for (int i = 0; i < pages && sink.ok(); ++i) {
      if ((flags & kWpdfMarkPages) != 0) sink.MarkPage();
      std::unique_ptr<poppler::page> page(doc->create_page(i));
      if (!page) {
        lost = true;  // an unreadable page loses its own text only
        continue;
      }
      sink.AddPage(page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout));
    }
    if (!sink.Flush()) return kWpdfCannotWrite;
    return lost ? kWpdfSomePagesLost : kWpdfOk;
  } catch (...) {
    return kWpdfConversionFailed;
  }
}

}  // namespace veskara::wpdf

extern "C" __attribute__((visibility("default"))) int WpdfConvertDocument(const char* pdf_path, int fd, int flags) {
  veskara::wpdf::SilenceParser();
  return veskara::wpdf::ConvertDocument(pdf_path, fd, flags);
}
