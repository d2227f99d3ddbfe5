// Windows-1251, the single-byte code page of words, queries and document text.
#pragma once

#include <string>
#include <string_view>

namespace veskara {

// The capital of a Windows-1251 byte: every small letter of the code page
// (a-z, the Cyrillic small letters E0-FF and B8, and the other Cyrillic
// small letters of the code page) becomes its capital; other bytes stay.
char UpperCase1251(char c);
void UpperCase1251InPlace(std::string& text);

// Windows-1251 bytes as UTF-8.
std::string DecodeCp1251(std::string_view bytes);

// UTF-8 as Windows-1251. A character without a Windows-1251 form, and every
// byte of a malformed sequence, becomes `replacement`.
std::string EncodeCp1251(std::string_view utf8, char replacement);

// True when `bytes` is well-formed UTF-8 that holds at least one multi-byte
// sequence.
bool IsMultibyteUtf8(std::string_view bytes);

// The text of a document line in Windows-1251: a line that is well-formed
// UTF-8 with at least one multi-byte sequence is transcoded (a character
// without a form becomes a blank); any other line is returned unchanged.
// The result may point into `scratch`, which can be kept from line to line.
std::string_view DocumentLineTo1251(std::string_view line, std::string& scratch);

}  // namespace veskara
