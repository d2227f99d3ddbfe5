// gzip, bzip2 and xz data inflated in memory through zlib, libbz2 and
// liblzma, under the limits of a ZIP entry: past kMostEntryBytes, or past
// 1000 times the compressed size, it is a bomb and reading stops.
#pragma once

#include <string>

namespace veskara::wdoc {

enum class DecompressStatus { kOk, kDamaged, kTooLarge, kCannotRead };

// Inflates what the open descriptor `fd` holds from its current offset to
// its end, compressed as `compression` (kWpdfGzip, kWpdfBzip2, kWpdfXz),
// into *out. Concatenated streams are read one after the other.
DecompressStatus Decompress(int fd, int compression, std::string* out);

}  // namespace veskara::wdoc
