#include "extract/tokenizer.h"

#include "base/document_words.h"

namespace veskara {

void TokenizeSegment(std::string_view segment, DocumentWords& words) {
  ForEachWord(segment, [&words](std::string_view word) { words.Add(word); });
}

}  // namespace veskara
