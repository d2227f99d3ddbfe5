#include "wpdf/convert.h"

#include <errno.h>
#include <unistd.h>

#include <memory>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>
#include <string>
#include <string_view>

#include "platform/cp1251.h"
#include "wpdf/wpdf.h"

namespace veskara::wpdf {
namespace {

void DiscardMessage(const std::string& /*message*/, void* /*closure*/) {}

// Latin ligatures (U+FB00 to U+FB06) spelled out, so that a word set with
// one is not cut in two by a blank.
std::string ExpandLigatures(std::string_view utf8) {
  static constexpr std::string_view kLetters[] = {"ff", "fi", "fl", "ffi", "ffl", "st", "st"};
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (static_cast<unsigned char>(utf8[i]) == 0xEF && i + 2 < utf8.size() &&
        static_cast<unsigned char>(utf8[i + 1]) == 0xAC &&
        static_cast<unsigned char>(utf8[i + 2]) <= 0x86 &&
        static_cast<unsigned char>(utf8[i + 2]) >= 0x80) {
      out += kLetters[static_cast<unsigned char>(utf8[i + 2]) - 0x80];
      i += 2;
    } else {
      out.push_back(utf8[i]);
    }
  }
  return out;
}

bool HasLigature(std::string_view utf8) {
  return utf8.find("\xEF\xAC") != std::string_view::npos;
}

// Buffers CR LF lines of Windows-1251 text and writes them to a descriptor.
class LineSink {
 public:
  explicit LineSink(int fd) : fd_(fd) { buffer_.reserve(kFlushAt + 4096); }

  // Adds the text of one page. Its lines end at LF; a form feed ends a
  // non-empty line too (the parser closes every page with one).
  void AddPage(std::string_view utf8) {
    std::string expanded;
    if (HasLigature(utf8)) {
      expanded = ExpandLigatures(utf8);
      utf8 = expanded;
    }
    const std::string text = EncodeCp1251(utf8, ' ');
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '\n' || (c == '\f' && i > start)) {
        AddLine(std::string_view(text).substr(start, i - start));
        start = i + 1;
      } else if (c == '\f') {
        start = i + 1;
      }
    }
    if (start < text.size()) AddLine(std::string_view(text).substr(start));
  }

  // Writes what is buffered; false when a write failed.
  bool Flush() {
    size_t done = 0;
    while (ok_ && done < buffer_.size()) {
      const ssize_t n = write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ok_ = false;
      else done += static_cast<size_t>(n);
    }
    buffer_.clear();
    return ok_;
  }

  bool ok() const { return ok_; }

 private:
  static constexpr size_t kFlushAt = 64 * 1024;

  void AddLine(std::string_view line) {
    const size_t at = buffer_.size();
    buffer_.append(line);
    // A control byte would change the line structure for the reader (a
    // stray CR, a Ctrl-Z that ends the file): it becomes a blank.
    for (size_t i = at; i < buffer_.size(); ++i) {
      if (static_cast<unsigned char>(buffer_[i]) < 0x20) buffer_[i] = ' ';
    }
    buffer_.append("\r\n");
    if (buffer_.size() >= kFlushAt) Flush();
  }

  int fd_;
  bool ok_ = true;
  std::string buffer_;
};

}  // namespace

void SilenceParser() { poppler::set_debug_error_function(&DiscardMessage, nullptr); }

int ConvertDocument(const char* pdf_path, int fd) {
  try {
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(pdf_path));
    if (!doc) return kWpdfNotPdf;
    if (doc->is_locked()) return kWpdfLocked;
    LineSink sink(fd);
    const int pages = doc->pages();
    for (int i = 0; i < pages && sink.ok(); ++i) {
      std::unique_ptr<poppler::page> page(doc->create_page(i));
      if (!page) continue;  // an unreadable page loses its own text only
      const poppler::byte_array utf8 =
          page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout).to_utf8();
      sink.AddPage(std::string_view(utf8.data(), utf8.size()));
    }
    return sink.Flush() ? kWpdfOk : kWpdfCannotWrite;
  } catch (...) {
    return kWpdfConversionFailed;
  }
}

}  // namespace veskara::wpdf
