#include "extract/tokenizer.h"

#include "base/posting_table.h"

namespace veskara {

void TokenizeSegment(std::string_view segment, PostingTable& table) {
  ForEachWord(segment, [&table](std::string_view word) { table.AddPosting(word); });
}

}  // namespace veskara
