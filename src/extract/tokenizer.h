// Cuts text into index words: every maximal run of two or more word
// characters, in order, once per occurrence. No case folding: callers hand
// in text that is already upper-cased.
#pragma once

#include <string_view>

#include "base/word_chars.h"

namespace veskara {

struct DocumentWords;

// Calls emit(word) for every word of `segment`, in order.
template <typename Emit>
void ForEachWord(std::string_view segment, Emit&& emit) {
  const char* p = segment.data();
  const char* end = p + segment.size();
  while (p < end) {
    while (p < end && !IsWordChar(*p)) ++p;
    const char* start = p;
    while (p < end && IsWordChar(*p)) ++p;
    if (p - start >= 2) emit(std::string_view(start, static_cast<size_t>(p - start)));
  }
}

// Appends every word of `segment` to `words`, in order.
void TokenizeSegment(std::string_view segment, DocumentWords& words);

}  // namespace veskara
