// Text to 32-bit integer, as file numbers are converted.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace veskara {

// Accepts optional leading spaces (the space character only), one optional
// "+" or "-", then decimal digits, or hexadecimal digits after "$", "x", "X",
// "0x" or "0X", up to the end of the text. Anything else, or a value outside
// the 32-bit signed range, gives no value.
std::optional<int32_t> TryStrToInt(std::string_view text);

// As TryStrToInt; throws ConvertError ("'%s' is not a valid integer value").
int32_t StrToInt(std::string_view text);

}  // namespace veskara
