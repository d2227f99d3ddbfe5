// What a word is made of: the digits, the Latin capitals and the Cyrillic
// capitals of Windows-1251 (C0 to DF, and A8). Membership is by byte value,
// whatever the machine's locale.
#pragma once

#include <array>
#include <string_view>

namespace veskara {

// The 69 word bytes, in their stored order.
inline constexpr std::string_view kWordChars =
    "1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    "\xC0\xC1\xC2\xC3\xC4\xC5\xA8\xC6\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF"
    "\xD0\xD1\xD2\xD3\xD4\xD5\xD6\xD7\xD8\xD9\xDA\xDB\xDC\xDD\xDE\xDF";

namespace internal {
constexpr std::array<bool, 256> MakeWordCharTable() {
  std::array<bool, 256> table{};
  for (char c : kWordChars) table[static_cast<unsigned char>(c)] = true;
  return table;
}
inline constexpr std::array<bool, 256> kWordCharTable = MakeWordCharTable();
}  // namespace internal

inline bool IsWordChar(char c) { return internal::kWordCharTable[static_cast<unsigned char>(c)]; }

}  // namespace veskara
