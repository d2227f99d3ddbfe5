// The shell's wildcards, as the walk's mask uses them.
#pragma once

#include <string_view>

namespace veskara {

// True when `pattern` (the last component of a walk's mask) matches `name`.
// "*" and "*.*" match every name, with or without a dot; any other pattern
// uses the shell's wildcards ("*", "?", "[...]").
bool MatchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace veskara
