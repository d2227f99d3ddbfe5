// The parsing half of GetText: runs in the child process only. It lives in
// a module of its own, libwpdf_mupdf.so, which libwpdf loads on its first
// conversion; programs that never convert a PDF never load the parser and
// the libraries it needs.
#pragma once

extern "C" {
// The module's one entry: ConvertDocument.
int WpdfConvertDocument(const char* pdf_path, int fd, int flags);
using WpdfConvertFunction = int (*)(const char* pdf_path, int fd, int flags);
}

inline constexpr const char* kWpdfParserModule = "libwpdf_mupdf.so";
inline constexpr const char* kWpdfParserEntry = "WpdfConvertDocument";

namespace veskara::wpdf {

// Writes the text of the PDF document at `pdf_path` to the open file `fd`
// in Windows-1251, one line per line of text, each ended by CR LF; with
// kWpdfMarkPages in `flags`, a line holding a form feed before each page.
// Returns one of the kWpdf* codes of wpdf.h (kWpdfSomePagesLost when a page
// could not be read); never throws. Uses the parser, so a hostile document
// may crash or hang it: call it in a disposable process. The parser's
// diagnostics are discarded.
int ConvertDocument(const char* pdf_path, int fd, int flags);

}  // namespace veskara::wpdf
