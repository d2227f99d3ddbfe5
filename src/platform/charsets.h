// The code points of single-byte character sets that text files come in,
// as the system's converter (iconv) knows them.
#pragma once

#include <array>
#include <cstdint>

namespace veskara {

enum class SingleByteCharset : uint8_t { kKoi8R, kCp866, kLatin1 };

// The code point of each byte; U+FFFD for a byte the set leaves undefined.
const std::array<uint32_t, 256>& CodePointsOf(SingleByteCharset charset);

}  // namespace veskara
