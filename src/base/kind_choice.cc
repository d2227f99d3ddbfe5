#include "base/kind_choice.h"

namespace veskara {

std::string_view KindGroupName(KindGroup group) {
  switch (group) {
    case KindGroup::kText:
      return "text";
    case KindGroup::kOffice:
      return "office";
    case KindGroup::kEbook:
      return "ebook";
    case KindGroup::kCompressed:
      return "compressed";
  }
  return "";
}

std::optional<KindGroup> KindGroupNamed(std::string_view name) {
  for (KindGroup group : kKindGroups) {
    if (KindGroupName(group) == name) return group;
  }
  return std::nullopt;
}

}  // namespace veskara
