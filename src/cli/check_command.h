// veskara-cli check: the consistency check of the base, for users and
// scripts.
#pragma once

#include <string>

namespace veskara {

// Exit codes of the check.
inline constexpr int kExitConsistent = 0;
inline constexpr int kExitInconsistent = 1;
inline constexpr int kExitCheckFailed = 2;  // missing or unreadable base

// Prints "The base is consistent." to stdout and returns 0,
// or the first problem found to stderr and returns 1, or says why the base
// cannot be checked and returns 2.
int RunCheckCommand(const std::string& base_directory);

}  // namespace veskara
