// Windows-1251, the single-byte code page of words, queries and document text.
#pragma once

#include <cstdint>
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

// Single characters, for text that is shown as well as tokenized.
// The code point of a Windows-1251 byte (the byte 98, which has none, gives
// U+0098), and the byte of a code point, or -1 when it has none.
uint32_t CodePointOf1251(unsigned char byte);
int Cp1251ByteOf(uint32_t code_point);
// Decodes the UTF-8 sequence at text[i] into *code_point; returns its length,
// or 0 when it is malformed (overlong forms, surrogates and values above
// U+10FFFF included).
size_t DecodeUtf8Char(std::string_view text, size_t i, uint32_t* code_point);
// Appends `code_point` (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, uint32_t code_point);

// True when `bytes` is well-formed UTF-8 that holds at least one multi-byte
// sequence.
bool IsMultibyteUtf8(std::string_view bytes);

// The text of a document line in Windows-1251: a line that is well-formed
// UTF-8 with at least one multi-byte sequence is transcoded (a character
// without a form becomes a blank); any other line is returned unchanged.
// The result may point into `scratch`, which can be kept from line to line.
std::string_view DocumentLineTo1251(std::string_view line, std::string& scratch);

}  // namespace veskara
