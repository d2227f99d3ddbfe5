#include "platform/strings.h"

namespace veskara {

std::string_view Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(begin, end - begin);
}

std::string EscapeControlBytes(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 32 || b == 127) {
      out += "\\x";
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 15]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::vector<std::string_view> SplitAtCommas(std::string_view text, bool drop_trailing_empty) {
  std::vector<std::string_view> pieces;
  ForEachCommaPiece(text, [&](std::string_view piece) {
    pieces.push_back(piece);
    return true;
  });
  if (drop_trailing_empty && pieces.size() > 1 && pieces.back().empty()) pieces.pop_back();
  return pieces;
}

}  // namespace veskara
