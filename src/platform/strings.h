// Small text rules that every floor shares.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veskara {

// Removes every leading and trailing byte with a code from 0 to 32.
std::string_view Trim(std::string_view text);

// The pieces of `text` between commas, in order: only the comma separates,
// empty pieces stay, and a text without a comma is one piece (an empty
// text gives one empty piece). A trailing comma gives an empty last piece
// unless `drop_trailing_empty` is set.
std::vector<std::string_view> SplitAtCommas(std::string_view text, bool drop_trailing_empty = false);

// `text` with every control byte (0 to 31, and 127) written as \xHH, so
// that bytes taken from a file or a path and repeated in a message cannot
// move the cursor or recolour a terminal. Other bytes stay.
std::string EscapeControlBytes(std::string_view text);

// Calls piece(view) for each piece of SplitAtCommas(text), without building
// a vector; stops early when piece returns false.
template <typename Piece>
void ForEachCommaPiece(std::string_view text, Piece&& piece) {
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    if (!piece(text.substr(start, comma - start))) return;
    if (comma == text.size()) return;
    start = comma + 1;
  }
}

}  // namespace veskara
