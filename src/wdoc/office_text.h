// The text of office documents (Office Open XML: docx, xlsx, pptx;
// OpenDocument: odt, ods, odp) and of EPUB e-books, read from their ZIP
// archive of XML parts through libzip and expat. Runs in the converter
// program only: a hostile archive may cost it its time and memory limits,
// never the caller.
#pragma once

#include <string>
#include <string_view>

namespace veskara::wdoc {

class UnitText;

// Where the document is: a file, or bytes in memory (a decompressed one).
struct DocumentSource {
  std::string path;
  const unsigned char* data = nullptr;  // when given, the document itself
  size_t size = 0;
};

// Writes the text of the document of `kind` ("docx", "xlsx", "pptx", "odt",
// "ods", "odp", "epub") to `out`, a unit (paragraph, slide, sheet) at a
// time, and returns a kWpdf* code of wpdf.h: kWpdfOk; kWpdfSomePagesLost
// when a part could not be read (its text is lost, the rest written);
// kWpdfNotPdf when it is not a document of the kind; kWpdfLocked when it is
// encrypted; kWpdfTooLarge for a part that inflates past its limit (a ZIP
// bomb); kWpdfTooDeep for XML nested past kMostDepth; kWpdfTextCut when the
// text reached out's limit; kWpdfCannotWrite when writing failed.
int ConvertOfficeDocument(std::string_view kind, const DocumentSource& source, UnitText& out);

}  // namespace veskara::wdoc
