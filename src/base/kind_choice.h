// Which groups of kinds a base reads beyond the written ones (pages and PDF
// documents, always read), as its kinds.txt records them
// (docs/base-format.md). What each group holds is decided where the kinds
// are (extract/document_kind.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace veskara {

enum class KindGroup : uint8_t {
  kText,        // text and source code
  kOffice,      // office documents
  kEbook,       // e-books
  kCompressed,  // gzip, bzip2 and xz files of every kind read
};
inline constexpr size_t kKindGroupCount = 4;
inline constexpr KindGroup kKindGroups[kKindGroupCount] = {KindGroup::kText, KindGroup::kOffice, KindGroup::kEbook,
                                                           KindGroup::kCompressed};

class KindChoice {
 public:
  // Every group.
  static KindChoice All() {
    KindChoice all;
    for (KindGroup group : kKindGroups) all.Set(group, true);
    return all;
  }
  bool Has(KindGroup group) const { return (bits_ & Bit(group)) != 0; }
  void Set(KindGroup group, bool on) { bits_ = on ? bits_ | Bit(group) : bits_ & ~Bit(group); }
  // True when no group is chosen: the written kinds only.
  bool empty() const { return bits_ == 0; }
  bool operator==(const KindChoice&) const = default;

 private:
  static uint8_t Bit(KindGroup group) { return static_cast<uint8_t>(1u << static_cast<unsigned>(group)); }
  uint8_t bits_ = 0;
};

// The name of a group in kinds.txt and on the command line: "text",
// "office", "ebook", "compressed"; and the group of a name.
std::string_view KindGroupName(KindGroup group);
std::optional<KindGroup> KindGroupNamed(std::string_view name);

}  // namespace veskara
