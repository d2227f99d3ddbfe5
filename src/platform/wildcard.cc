#include "platform/wildcard.h"

#include <fnmatch.h>

#include <string>

namespace veskara {

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  if (pattern == "*" || pattern == "*.*") return true;
  return ::fnmatch(std::string(pattern).c_str(), std::string(name).c_str(), 0) == 0;
}

}  // namespace veskara
