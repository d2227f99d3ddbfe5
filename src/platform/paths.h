// How paths are written on this platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace veskara {

inline constexpr char kPathSeparator = '/';

// The folder of an executable path, without a trailing separator:
// "/usr/local/bin/app" gives "/usr/local/bin", "/app" gives "".
std::string BaseDirectoryFromExecutable(std::string_view executable_path);

// Where a file that the installation ships with the program (its README,
// its licence) is: `name` in `installed_dir`, a path relative to the
// executable's folder ("../share/doc/veskara"), when it is there; else in
// `source_dir`, for a program run from its build folder; else the installed
// path all the same, which still says where the file belongs.
std::string ShippedFilePath(std::string_view name, std::string_view installed_dir, std::string_view source_dir,
                            Env& env = Env::Default());

// `path` as an absolute path, worked out on the text alone (as
// `realpath -s`): relative to `current_directory` unless it begins with the
// separator; "." segments, repeated and trailing separators removed; ".."
// takes away the segment before it (none above the root). "/" for the root.
// Other bytes, blanks included, stay as they are.
std::string AbsolutePath(std::string_view path, std::string_view current_directory);

// `path` as AbsolutePath makes it from the process's current folder; nothing
// when `path` is relative and the current folder cannot be read (it was
// deleted, say): taken from the root instead, it would name another tree.
std::optional<std::string> AbsolutePathFromCurrentFolder(std::string_view path, Env& env);

// A time (nanoseconds since the epoch) in ISO 8601 at the machine's local
// time and offset: "2026-12-08T19:47:31+01:00".
std::string LocalTimeText(int64_t ns);

}  // namespace veskara
