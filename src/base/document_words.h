// The words of one document, the way every reader hands them to the scan.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/string_pool.h"

namespace veskara {

// The words of one document, as a reader gives them: interned on their own
// (each distinct word once) with the order of their occurrences. The scan's
// table then pays one lookup per distinct word of the document instead of
// one per occurrence, and a reader needs no table of its own.
struct DocumentWords {
  StringPool words;
  std::vector<uint32_t> occurrences;  // ids in `words`, in text order

  // Appends one occurrence of `word`.
  void Add(std::string_view word) { occurrences.push_back(words.Intern(word)); }
};

}  // namespace veskara
