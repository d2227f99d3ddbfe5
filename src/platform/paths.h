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

// `path` with a leading "~" as the home folder ($HOME): "~" alone and
// "~/..." are expanded, as a shell would; anything else ("~user", "a/~"), or
// any path when HOME is unset or empty, stays as it is.
std::string ExpandHome(std::string_view path, Env& env);

// `path` as AbsolutePath makes it from the process's current folder; nothing
// when `path` is relative and the current folder cannot be read (it was
// deleted, say): taken from the root instead, it would name another tree.
std::optional<std::string> AbsolutePathFromCurrentFolder(std::string_view path, Env& env);

// A time (nanoseconds since the epoch) in ISO 8601 at the machine's local
// time and offset: "2026-12-08T19:47:31+01:00".
std::string LocalTimeText(int64_t ns);

// The same time to the minute, as a table shows it: "2026-12-08 19:47".
std::string LocalMinuteText(int64_t ns);

// An ISO 8601 date or date-time as nanoseconds since the epoch: "2026-12-08"
// (its midnight), "2026-12-08T19:47" or "2026-12-08T19:47:31" (a blank may
// stand for the "T"), each in the machine's local time unless it ends with
// "Z" or an offset ("+01:00", "+0100", "-05"). No value for any other text
// or a date that does not exist.
std::optional<int64_t> ParseIsoTime(std::string_view text);

}  // namespace veskara
