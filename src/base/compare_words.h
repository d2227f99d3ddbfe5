// The order of words in the base.
#pragma once

#include <string_view>

namespace veskara {

// Compares byte by byte after mapping "a".."z" to "A".."Z"; every other byte
// stands for its unsigned value. At the first difference the result is the
// byte of `a` minus the byte of `b`; otherwise a proper prefix comes first.
// Negative, zero or positive as `a` sorts before, with or after `b`.
int CompareWords(std::string_view a, std::string_view b);

}  // namespace veskara
