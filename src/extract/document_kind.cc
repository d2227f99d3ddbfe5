#include "extract/document_kind.h"

#include <algorithm>

#include "platform/paths.h"

namespace veskara {
namespace {

// True when `name` holds "." followed by `upper` (capitals), with the ASCII
// letters of `name` compared as capitals. Only ASCII letters occur in the
// tested substrings, and upper-casing never maps another byte onto one.
bool ContainsDotted(std::string_view name, std::string_view upper) {
  const size_t n = upper.size();
  for (size_t dot = name.find('.'); dot != std::string_view::npos; dot = name.find('.', dot + 1)) {
    if (name.size() - dot - 1 < n) return false;
    size_t k = 0;
    while (k < n) {
      char c = name[dot + 1 + k];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c != upper[k]) break;
      ++k;
    }
    if (k == n) return true;
  }
  return false;
}

struct KindRow {
  DocumentKind kind;
  bool (*named)(std::string_view own_name);  // true when a name is of the kind
  bool converts;                             // read through a conversion child
  std::string_view name;                     // KindName: lower case, no blank
};

// One row per kind, in the order the readers run.
constexpr KindRow kKinds[] = {
    {DocumentKind::kPage, IsMarkupFile, false, "page"},
    {DocumentKind::kPdf, IsPdfFile, true, "pdf"},
};
static_assert(std::size(kKinds) == kDocumentKindCount);

}  // namespace

bool IsMarkupFile(std::string_view name) {
  return ContainsDotted(name, "HTM") || ContainsDotted(name, "PHP") || ContainsDotted(name, "SHTML");
}

bool IsPdfFile(std::string_view name) { return ContainsDotted(name, "PDF"); }

bool IsSupportedFile(std::string_view name) { return IsMarkupFile(name) || IsPdfFile(name); }

std::string_view KindName(DocumentKind kind) {
  for (const KindRow& row : kKinds) {
    if (row.kind == kind) return row.name;
  }
  return {};
}

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

std::string_view OwnName(std::string_view path) {
  const size_t slash = path.rfind(kPathSeparator);
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

DocumentKinds KindsOf(std::string_view path) {
  const std::string_view name = OwnName(path);
  DocumentKinds kinds;
  for (const KindRow& row : kKinds) {
    if (!row.named(name)) continue;
    kinds.kinds_[kinds.count_++] = row.kind;
    kinds.converts_ = kinds.converts_ || row.converts;
  }
  return kinds;
}

}  // namespace veskara
