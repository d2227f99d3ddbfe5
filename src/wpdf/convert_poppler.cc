#include "wpdf/convert.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <memory>
#include <string>

#include "wpdf/text_sink.h"
#include "wpdf/wpdf.h"

namespace veskara::wpdf {
namespace {

void DiscardMessage(const std::string& /*message*/, void* /*closure*/) {}

// Adds the text of one page: its lines end at LF; a form feed ends a
// non-empty line too.
void AddPage(LineSink& sink, const poppler::ustring& text) {
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned short u = text[i];
    if (u == '\n') {
      sink.EndLine();
    } else if (u == '\f') {
      sink.EndNonEmptyLine();
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;  // a character beyond the first plane
      sink.AddChar(0x10000);
    } else {
      sink.AddChar(u);
    }
  }
  sink.EndNonEmptyLine();
}

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
      AddPage(sink, page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout));
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
