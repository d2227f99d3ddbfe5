#include <mupdf/fitz.h>
#include <mupdf/pdf.h>

#include "wpdf/convert.h"
#include "wpdf/text_sink.h"
#include "wpdf/wpdf.h"

// The engine reports failures by long jumps (fz_try): no C++ object is made
// inside a try block, and each block sits in a small function of its own
// whose one result is volatile, as a value set between the jump's two ends
// must be.
namespace veskara::wpdf {
namespace {

void DiscardMessage(void* /*user*/, const char* /*message*/) {}

pdf_document* OpenDocument(fz_context* ctx, const char* path) {
  pdf_document* volatile doc = nullptr;
  fz_try(ctx) doc = pdf_open_document(ctx, path);
  fz_catch(ctx) return nullptr;
  return doc;
}

// The document in memory (a decompressed one).
pdf_document* OpenBuffer(fz_context* ctx, const unsigned char* data, size_t size) {
  fz_stream* volatile stream = nullptr;
  pdf_document* volatile doc = nullptr;
  fz_try(ctx) {
    stream = fz_open_memory(ctx, data, size);
    doc = pdf_open_document_with_stream(ctx, stream);
  }
  fz_always(ctx) fz_drop_stream(ctx, stream);
  fz_catch(ctx) return nullptr;
  return doc;
}

// The document's pages, or -1 when they cannot be counted.
int CountPages(fz_context* ctx, pdf_document* doc) {
  volatile int pages = -1;
  fz_try(ctx) pages = pdf_count_pages(ctx, doc);
  fz_catch(ctx) return -1;
  return pages;
}

// False when the empty password (a document that only an owner password
// protects) does not open it.
bool Opens(fz_context* ctx, pdf_document* doc) {
  volatile int opens = 0;
  fz_try(ctx) opens = !pdf_needs_password(ctx, doc) || pdf_authenticate_password(ctx, doc, "");
  fz_catch(ctx) return false;
  return opens != 0;
}

// False when the page tree names something that is no page there (a
// missing object, a number): the engine would give an empty page for it
// and say nothing.
bool IsPage(fz_context* ctx, pdf_document* doc, int number) {
  volatile int page = 0;
  fz_try(ctx) page = pdf_is_dict(ctx, pdf_lookup_page_obj(ctx, doc, number));
  fz_catch(ctx) return false;
  return page != 0;
}

fz_stext_page* PageText(fz_context* ctx, pdf_document* doc, int number) {
  // Ligatures come out as their letters; horizontal white space as blanks;
  // the engine puts a blank where a gap separates two words.
  fz_stext_options options{};
  fz_stext_page* volatile text = nullptr;
  fz_try(ctx) text = fz_new_stext_page_from_page_number(ctx, &doc->super, number, &options);
  fz_catch(ctx) return nullptr;
  return text;
}

// One output line per line of text, in the engine's reading order.
void AddPage(LineSink& sink, const fz_stext_page* text) {
  for (const fz_stext_block* block = text->first_block; block != nullptr; block = block->next) {
    if (block->type != FZ_STEXT_BLOCK_TEXT) continue;
    for (const fz_stext_line* line = block->u.t.first_line; line != nullptr; line = line->next) {
      for (const fz_stext_char* ch = line->first_char; ch != nullptr; ch = ch->next) {
        sink.AddChar(ch->c == '\n' || ch->c == '\r' ? ' ' : static_cast<unsigned>(ch->c));
      }
      sink.EndLine();
    }
  }
}

int Convert(fz_context* ctx, const char* pdf_path, const unsigned char* data, size_t size, int fd, int flags,
            unsigned long long max_output) {
  pdf_document* doc = data != nullptr ? OpenBuffer(ctx, data, size) : OpenDocument(ctx, pdf_path);
  if (doc == nullptr) return kWpdfNotPdf;
  int code = kWpdfOk;
  const int pages = Opens(ctx, doc) ? CountPages(ctx, doc) : -2;
  if (pages == -2) {
    code = kWpdfLocked;
  } else if (pages <= 0) {
    // A document without pages is one whose page tree could not be rebuilt.
    code = kWpdfNotPdf;
  } else {
    try {
      LineSink sink(fd, max_output);
      int read = 0;
      for (int i = 0; i < pages && sink.ok(); ++i) {
        if ((flags & kWpdfMarkPages) != 0) sink.MarkPage();
        fz_stext_page* text = IsPage(ctx, doc, i) ? PageText(ctx, doc, i) : nullptr;
        if (text == nullptr) continue;  // an unreadable page loses its own text only
        ++read;
        try {
          AddPage(sink, text);
        } catch (...) {
          fz_drop_stext_page(ctx, text);
          throw;
        }
        fz_drop_stext_page(ctx, text);
      }
      // A document none of whose pages could be read is not one read with
      // no words.
      code = !sink.Flush()  ? kWpdfCannotWrite
             : sink.cut()   ? kWpdfTextCut
             : read == 0    ? kWpdfNoPageRead
             : read < pages ? kWpdfSomePagesLost
                            : kWpdfOk;
    } catch (...) {
      code = kWpdfConversionFailed;
    }
  }
  pdf_drop_document(ctx, doc);
  return code;
}

}  // namespace

int ConvertDocumentWith(const char* pdf_path, const unsigned char* data, size_t size, int fd, int flags,
                        unsigned long long max_output) {
  fz_context* ctx = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
  if (ctx == nullptr) return kWpdfConversionFailed;
  fz_set_warning_callback(ctx, &DiscardMessage, nullptr);
  fz_set_error_callback(ctx, &DiscardMessage, nullptr);
  const int code = Convert(ctx, pdf_path, data, size, fd, flags, max_output);
  fz_drop_context(ctx);
  return code;
}

int ConvertDocument(const char* pdf_path, int fd, int flags) {
  return ConvertDocumentWith(pdf_path, nullptr, 0, fd, flags, 0);
}

}  // namespace veskara::wpdf

extern "C" __attribute__((visibility("default"))) int WpdfConvertDocument(const char* pdf_path, int fd, int flags) {
  return veskara::wpdf::ConvertDocument(pdf_path, fd, flags);
}

extern "C" __attribute__((visibility("default"))) int WpdfConvertDocumentWith(const char* pdf_path,
                                                                              const unsigned char* data, size_t size,
                                                                              int fd, int flags,
                                                                              unsigned long long max_output) {
  return veskara::wpdf::ConvertDocumentWith(pdf_path, data, size, fd, flags, max_output);
}
