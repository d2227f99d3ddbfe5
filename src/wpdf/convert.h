// The parsing half of a conversion: runs in the converter program only
// (veskara-convert, converter_main.cc), never in the caller's process. PDF
// parsing lives in a module of its own, libwpdf_mupdf.so, which the
// converter loads for a PDF document only; a conversion of another kind
// never loads the PDF engine and the libraries it needs.
#pragma once

#include <cstddef>
#include <string_view>

extern "C" {
// The module's entries: ConvertDocument, and ConvertDocumentWith.
int WpdfConvertDocument(const char* pdf_path, int fd, int flags);
using WpdfConvertFunction = int (*)(const char* pdf_path, int fd, int flags);
int WpdfConvertDocumentWith(const char* pdf_path, const unsigned char* data, size_t size, int fd, int flags,
                            unsigned long long max_output);
using WpdfConvertWithFunction = int (*)(const char* pdf_path, const unsigned char* data, size_t size, int fd, int flags,
                                        unsigned long long max_output);
}

inline constexpr const char* kWpdfParserModule = "libwpdf_mupdf.so";
inline constexpr const char* kWpdfParserEntry = "WpdfConvertDocument";
inline constexpr const char* kWpdfParserEntryWith = "WpdfConvertDocumentWith";
// The converter program, beside libwpdf.
inline constexpr const char* kWpdfConverterProgram = "veskara-convert";

namespace veskara::wpdf {

// The most text one conversion writes.
inline constexpr unsigned long long kMostText = 256ULL << 20;

// The kinds the converter program takes (GetDocumentTextWith).
inline bool IsConverterKind(std::string_view kind) {
  for (std::string_view known : {"pdf", "docx", "xlsx", "pptx", "odt", "ods", "odp", "epub", "raw"}) {
    if (kind == known) return true;
  }
  return false;
}

// Writes the text of the PDF document at `pdf_path` to the open file `fd`
// in Windows-1251, one line per line of text, each ended by CR LF; with
// kWpdfMarkPages in `flags`, a line holding a form feed before each page.
// Returns one of the kWpdf* codes of wpdf.h (kWpdfSomePagesLost when a page
// could not be read); never throws. Uses the parser, so a hostile document
// may crash or hang it: call it in a disposable process. The parser's
// diagnostics are discarded.
int ConvertDocument(const char* pdf_path, int fd, int flags);

// The same for the document in data[0, size) when `data` is given (a
// decompressed one; `pdf_path` then only names it), writing at most
// `max_output` bytes (0: no limit) and returning kWpdfTextCut when the text
// went on past them.
int ConvertDocumentWith(const char* pdf_path, const unsigned char* data, size_t size, int fd, int flags,
                        unsigned long long max_output);

}  // namespace veskara::wpdf
