// How paths are written on this platform.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace veskara {

inline constexpr char kPathSeparator = '/';

// The folder of an executable path, without a trailing separator:
// "/usr/local/bin/app" gives "/usr/local/bin", "/app" gives "".
std::string BaseDirectoryFromExecutable(std::string_view executable_path);

// `path` as an absolute path, worked out on the text alone (as
// `realpath -s`): relative to `current_directory` unless it begins with the
// separator; "." segments, repeated and trailing separators removed; ".."
// takes away the segment before it (none above the root). "/" for the root.
// Other bytes, blanks included, stay as they are.
std::string AbsolutePath(std::string_view path, std::string_view current_directory);

// A time (nanoseconds since the epoch) in ISO 8601 at the machine's local
// time and offset: "2026-12-08T19:47:31+01:00".
std::string LocalTimeText(int64_t ns);

}  // namespace veskara
