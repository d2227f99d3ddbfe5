// The base counts of the About page and of `stats`.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "base/base_files.h"
#include "platform/env.h"

namespace veskara {

// The records of fls.txt (files) and of wrds.txt (words), as
// CountRecords counts them. The words are counted only after the files.
// When a count is missing, `fault` says which file stopped the counting and
// why (missing, a folder in its place, or it will not open); it is set
// exactly then.
struct BaseStatistics {
  std::optional<size_t> files;
  std::optional<size_t> words;
  std::optional<BaseFileFault> fault;
};

// Counts the base in `base_directory`. Throws IoError on a read error after
// a file opened.
BaseStatistics CountBase(const std::string& base_directory, Env& env);

}  // namespace veskara
