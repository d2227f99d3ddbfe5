// What kind of document a file is, decided in one place for the scan, the
// show and the preview alike: by the file's own name (the last component of
// its path), against a table of one row per kind. A PDF document inside a
// folder named "site.html" is no page.
//
// The walk takes a file by the substring tests below on its entry name;
// every other part asks KindsOf.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
};
inline constexpr size_t kDocumentKindCount = 2;

// The name a person calls a kind by, on the command line and in a table of
// files ("page", "pdf"), from its row of the table.
std::string_view KindName(DocumentKind kind);
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

 private:
  friend DocumentKinds KindsOf(std::string_view path);
  DocumentKind kinds_[kDocumentKindCount] = {};
  uint8_t count_ = 0;
  bool converts_ = false;
};

// The last component of `path` (all of it when it holds no separator).
std::string_view OwnName(std::string_view path);

// The kinds of the document at `path`, by its own name alone.
DocumentKinds KindsOf(std::string_view path);

// The names of `kinds` joined by "+" ("page+pdf"); "" for none.
std::string KindsText(const DocumentKinds& kinds);

}  // namespace veskara
