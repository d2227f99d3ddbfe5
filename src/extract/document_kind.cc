#include "extract/document_kind.h"

#include <algorithm>
#include <optional>

#include "platform/paths.h"

namespace veskara {
namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// True when `name` holds "." followed by `upper` (capitals), with the ASCII
// letters of `name` compared as capitals. Only ASCII letters occur in the
// tested substrings, and upper-casing never maps another byte onto one.
bool ContainsDotted(std::string_view name, std::string_view upper) {
  const size_t n = upper.size();
  for (size_t dot = name.find('.'); dot != std::string_view::npos; dot = name.find('.', dot + 1)) {
    if (name.size() - dot - 1 < n) return false;
    size_t k = 0;
    while (k < n && Upper(name[dot + 1 + k]) == upper[k]) ++k;
    if (k == n) return true;
  }
  return false;
}

// True when `name` ends with `ending` (".txt", small letters), compared
// without regard to case, and holds more than the ending.
bool EndsWith(std::string_view name, std::string_view ending) {
  if (name.size() <= ending.size()) return false;
  const std::string_view tail = name.substr(name.size() - ending.size());
  return std::equal(tail.begin(), tail.end(), ending.begin(), [](char a, char b) { return Upper(a) == Upper(b); });
}

constexpr std::string_view kTextEndings[] = {
    ".txt", ".md", ".markdown", ".rst", ".csv", ".tex", ".log", ".c",   ".h",    ".cc",   ".cpp", ".hpp", ".py",
    ".js",  ".ts", ".java",     ".go",  ".rs",  ".sh",  ".sql", ".xml", ".json", ".yaml", ".yml", ".ini", ".conf"};
constexpr std::string_view kDocxEndings[] = {".docx"};
constexpr std::string_view kXlsxEndings[] = {".xlsx"};
constexpr std::string_view kPptxEndings[] = {".pptx"};
constexpr std::string_view kOdtEndings[] = {".odt"};
constexpr std::string_view kOdsEndings[] = {".ods"};
constexpr std::string_view kOdpEndings[] = {".odp"};
constexpr std::string_view kEpubEndings[] = {".epub"};
constexpr std::string_view kOfficeEndings[] = {".odt", ".ods", ".odp", ".docx", ".xlsx", ".pptx"};
constexpr std::string_view kCompressedEndings[] = {".gz", ".bz2", ".xz"};

struct KindRow {
  DocumentKind kind;
  std::string_view name;
  std::optional<KindGroup> group;             // none: a written kind, always read
  bool (*written)(std::string_view name);     // a written kind's test of a name
  std::span<const std::string_view> endings;  // a chosen kind's endings
  bool converts;                              // read through a conversion child
  DocumentUnit unit;
};

// One row per kind, in the order the readers run.
constexpr KindRow kKinds[] = {
    {DocumentKind::kPage, "page", std::nullopt, IsMarkupFile, {}, false, DocumentUnit::kLine},
    {DocumentKind::kPdf, "pdf", std::nullopt, IsPdfFile, {}, true, DocumentUnit::kPage},
    {DocumentKind::kText, "text", KindGroup::kText, nullptr, kTextEndings, false, DocumentUnit::kLine},
    {DocumentKind::kDocx, "docx", KindGroup::kOffice, nullptr, kDocxEndings, true, DocumentUnit::kParagraph},
    {DocumentKind::kXlsx, "xlsx", KindGroup::kOffice, nullptr, kXlsxEndings, true, DocumentUnit::kSheet},
    {DocumentKind::kPptx, "pptx", KindGroup::kOffice, nullptr, kPptxEndings, true, DocumentUnit::kSlide},
    {DocumentKind::kOdt, "odt", KindGroup::kOffice, nullptr, kOdtEndings, true, DocumentUnit::kParagraph},
    {DocumentKind::kOds, "ods", KindGroup::kOffice, nullptr, kOdsEndings, true, DocumentUnit::kSheet},
    {DocumentKind::kOdp, "odp", KindGroup::kOffice, nullptr, kOdpEndings, true, DocumentUnit::kSlide},
    {DocumentKind::kEpub, "epub", KindGroup::kEbook, nullptr, kEpubEndings, true, DocumentUnit::kParagraph},
};
static_assert(std::size(kKinds) == kDocumentKindCount);

const KindRow& RowOf(DocumentKind kind) { return kKinds[static_cast<size_t>(kind)]; }

// The compression a name's ending names, and the name without it.
Compression CompressionOf(std::string_view name, std::string_view* inner) {
  static constexpr Compression kByEnding[] = {Compression::kGzip, Compression::kBzip2, Compression::kXz};
  for (size_t i = 0; i < std::size(kCompressedEndings); ++i) {
    if (EndsWith(name, kCompressedEndings[i])) {
      *inner = name.substr(0, name.size() - kCompressedEndings[i].size());
      return kByEnding[i];
    }
  }
  return Compression::kNone;
}

}  // namespace

bool IsMarkupFile(std::string_view name) {
  return ContainsDotted(name, "HTM") || ContainsDotted(name, "PHP") || ContainsDotted(name, "SHTML");
}

bool IsPdfFile(std::string_view name) { return ContainsDotted(name, "PDF"); }

bool IsSupportedFile(std::string_view name) { return IsMarkupFile(name) || IsPdfFile(name); }

std::optional<DocumentKind> KindNamed(std::string_view name) {
  for (const KindRow& row : kKinds) {
    if (row.name == name) return row.kind;
  }
  return std::nullopt;
}

std::array<std::string_view, kDocumentKindCount> KindNames() {
  std::array<std::string_view, kDocumentKindCount> names;
  for (size_t i = 0; i < kDocumentKindCount; ++i) names[i] = kKinds[i].name;
  return names;
}

std::string KindsText(const DocumentKinds& kinds) {
  std::string text;
  for (const DocumentKind kind : kinds) {
    if (!text.empty()) text.push_back('+');
    text.append(KindName(kind));
  }
  return text;
}

bool DocumentKinds::Has(DocumentKind kind) const { return std::find(begin(), end(), kind) != end(); }

bool DocumentKinds::operator==(const DocumentKinds& other) const {
  return compression_ == other.compression_ && std::equal(begin(), end(), other.begin(), other.end());
}

std::string_view OwnName(std::string_view path) {
  const size_t slash = path.rfind(kPathSeparator);
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

DocumentKinds KindsOf(std::string_view path, const KindChoice& choice) {
  std::string_view name = OwnName(path);
  DocumentKinds kinds;
  if (choice.Has(KindGroup::kCompressed)) {
    std::string_view inner;
    const Compression compression = CompressionOf(name, &inner);
    if (compression != Compression::kNone) {
      KindChoice plain = choice;
      plain.Set(KindGroup::kCompressed, false);
      kinds = KindsOf(inner, plain);
      if (!kinds.empty()) {
        // Every kind of it is read through the decompressor, in the child.
        kinds.compression_ = compression;
        kinds.converts_ = true;
        return kinds;
      }
    }
  }
  for (const KindRow& row : kKinds) {
    if (row.written == nullptr || !row.written(name)) continue;
    kinds.kinds_[kinds.count_++] = row.kind;
    kinds.converts_ = kinds.converts_ || row.converts;
  }
  if (!kinds.empty()) return kinds;
  for (const KindRow& row : kKinds) {
    if (!row.group || !choice.Has(*row.group)) continue;
    if (std::none_of(row.endings.begin(), row.endings.end(),
                     [&](std::string_view ending) { return EndsWith(name, ending); })) {
      continue;
    }
    kinds.kinds_[kinds.count_++] = row.kind;
    kinds.converts_ = row.converts;
    break;  // endings are told apart: one row at most
  }
  return kinds;
}

bool Takes(std::string_view name, const KindChoice& choice) {
  return IsSupportedFile(name) || (!choice.empty() && !KindsOf(name, choice).empty());
}

std::string_view KindName(DocumentKind kind) { return RowOf(kind).name; }

DocumentUnit UnitOf(DocumentKind kind) { return RowOf(kind).unit; }

bool InGroup(DocumentKind kind, KindGroup group) { return RowOf(kind).group == group; }

std::span<const std::string_view> EndingsOf(KindGroup group) {
  switch (group) {
    case KindGroup::kText:
      return kTextEndings;
    case KindGroup::kOffice:
      return kOfficeEndings;
    case KindGroup::kEbook:
      return kEpubEndings;
    case KindGroup::kCompressed:
      return kCompressedEndings;
  }
  return {};
}

}  // namespace veskara
