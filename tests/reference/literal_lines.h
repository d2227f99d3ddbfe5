// The program's line rules written out literally, as the oracle of the fast
// line scanner (tests and fuzz targets).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veskara::reference {

// The line rules, one byte at a time: a line ends at LF; every CR is dropped
// (before an LF it belongs to the line end, elsewhere it just vanishes); a
// Ctrl-Z ends its line's text and the rest of that line is skipped; a Ctrl-Z
// at the start of a line, or a second one in a skipped rest, ends the file;
// a last line without an LF still counts. CRs are dropped before the rules
// look at a byte, so a Ctrl-Z after nothing but CRs opens its line.
inline std::vector<std::string> LiteralLines(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    size_t first = i;
    while (first < n && bytes[first] == '\r') ++first;
    if (first < n && bytes[first] == 26) break;
    std::string text;
    while (i < n && bytes[i] != '\n' && bytes[i] != 26) {
      if (bytes[i] != '\r') text.push_back(bytes[i]);
      ++i;
    }
    lines.push_back(text);
    if (i < n && bytes[i] == 26) {
      ++i;
      bool end_of_file = false;
      while (i < n && bytes[i] != '\n') {
        if (bytes[i] == 26) {
          end_of_file = true;
          break;
        }
        ++i;
      }
      if (end_of_file) break;
    }
    if (i < n) ++i;  // the LF
  }
  return lines;
}

}  // namespace veskara::reference
