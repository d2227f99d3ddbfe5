// What kind of document a file is, decided in one place for the scan, the
// show and the preview alike: by the file's own name (the last component of
// its path), against a table of one row per kind. A PDF document inside a
// folder named "site.html" is no page.
//
// The written kinds (pages and PDF documents) are always read, by substring
// tests on the name. The other kinds are read when the base chooses their
// group (KindChoice), by the name's ending, case-insensitively, and only
// for a name of no written kind. With the compressed group, a name ending
// in ".gz", ".bz2" or ".xz" is of the kinds of the name without that
// ending, read through the decompressor ("manual.pdf.gz" is a compressed
// PDF document).
//
// The walk takes a file by Takes on its entry name; every other part asks
// KindsOf.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/kind_choice.h"

namespace veskara {

// Substring tests on the upper-cased name (a file name or a full path):
// markup: ".HTM", ".PHP", ".SHTML"; PDF: ".PDF"; supported: either.
bool IsSupportedFile(std::string_view name);
bool IsMarkupFile(std::string_view name);
bool IsPdfFile(std::string_view name);

// One kind per row of the table in document_kind.cc, in the order its
// readers run for a name that is of several kinds.
enum class DocumentKind : uint8_t {
  kPage,  // a markup page: IsMarkupFile
  kPdf,   // a PDF document: IsPdfFile, read through a conversion
  kText,  // text and source code (.txt, .md, .c, ...)
  kDocx,  // Office Open XML
  kXlsx,
  kPptx,
  kOdt,  // OpenDocument
  kOds,
  kOdp,
  kEpub,  // an e-book
};
inline constexpr size_t kDocumentKindCount = 10;

// How a document of a kind is numbered when its lines are shown.
enum class DocumentUnit : uint8_t { kLine, kPage, kParagraph, kSlide, kSheet };

// The compression a document is read through.
enum class Compression : uint8_t { kNone, kGzip, kBzip2, kXz };

// The kind of a name, exactly as KindName gives it; none for another text.
std::optional<DocumentKind> KindNamed(std::string_view name);
// Every kind's name, in table order.
std::array<std::string_view, kDocumentKindCount> KindNames();

// The kinds of one document, in table order: none, one, or several when
// its name passes several rows ("page.htm.pdf" is a page and a PDF
// document, and is read as both).
class DocumentKinds {
 public:
  const DocumentKind* begin() const { return kinds_; }
  const DocumentKind* end() const { return kinds_ + count_; }
  bool empty() const { return count_ == 0; }
  bool Has(DocumentKind kind) const;
  bool IsOnly(DocumentKind kind) const { return count_ == 1 && kinds_[0] == kind; }
  // True when some kind is read through a conversion (in a child process,
  // in a job folder of the scan's conversion folder).
  bool Converts() const { return converts_; }
  // The decompressor the document is read through.
  Compression compression() const { return compression_; }
  bool operator==(const DocumentKinds& other) const;

 private:
  friend DocumentKinds KindsOf(std::string_view path, const KindChoice& choice);
  DocumentKind kinds_[kDocumentKindCount] = {};
  uint8_t count_ = 0;
  bool converts_ = false;
  Compression compression_ = Compression::kNone;
};

// The last component of `path` (all of it when it holds no separator).
std::string_view OwnName(std::string_view path);

// The kinds of the document at `path`, by its own name alone, for a base
// that chooses `choice`.
DocumentKinds KindsOf(std::string_view path, const KindChoice& choice);

// True when the walk takes a file of this name (an entry name): it is of
// a written kind, or of a chosen one.
bool Takes(std::string_view name, const KindChoice& choice);

// The name of a kind, as a person, the command line and a table of files
// know it: "page", "pdf", "text", "docx", ...; the unit its shown lines are numbered by; its
// group (none for the written kinds, which every base reads).
std::string_view KindName(DocumentKind kind);
DocumentUnit UnitOf(DocumentKind kind);
bool InGroup(DocumentKind kind, KindGroup group);

// The endings that make a name of each kind of a group, for the texts that
// list them (".txt", ".md", ...).
std::span<const std::string_view> EndingsOf(KindGroup group);

// The names of `kinds` joined by "+" ("page+pdf"); "" for none.
std::string KindsText(const DocumentKinds& kinds);

}  // namespace veskara
