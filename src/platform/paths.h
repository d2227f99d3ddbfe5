// How paths are written on this platform.
#pragma once

#include <string>
#include <string_view>

#include "platform/env.h"

namespace veskara {

inline constexpr char kPathSeparator = '/';

// The folder of an executable path, without a trailing separator:
// "/usr/local/bin/app" gives "/usr/local/bin", "/app" gives "".
std::string BaseDirectoryFromExecutable(std::string_view executable_path);

// BaseDirectoryFromExecutable of the running executable.
std::string DefaultBaseDirectory(Env& env = Env::Default());

}  // namespace veskara
