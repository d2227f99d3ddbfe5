// `veskara-cli add DIRECTORY`: one scan into the base, progress on stderr.
#pragma once

#include <string>

namespace veskara {

// Runs the scan; returns the process exit code (0 on success, 2 with the
// failure's message on stderr otherwise).
int RunAddCommand(const std::string& base_directory, const std::string& directory_text);

}  // namespace veskara
