#include "base/compare_words.h"

#include <algorithm>

namespace veskara {
namespace {

inline int Fold(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c; }

}  // namespace

int CompareWords(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  while (i < n) {
    // Equal bytes are equal after folding too, so skip them in bulk.
    auto [pa, pb] = std::mismatch(a.data() + i, a.data() + n, b.data() + i);
    i = static_cast<size_t>(pa - a.data());
    if (i == n) break;
    int ca = Fold(static_cast<unsigned char>(*pa));
    int cb = Fold(static_cast<unsigned char>(*pb));
    if (ca != cb) return ca - cb;
    ++i;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace veskara
