// The base counts of the About page.
#pragma once

#include <optional>
#include <string>

#include "platform/env.h"

namespace veskara {

// Texts for the two count labels; an empty optional leaves the label as it
// is. Files: CountRecords of fls.txt + " files in the base", only when
// fls.txt exists and opens; words: the same for wrds.txt with " words in the
// base", only after the files were counted. Throws IoError on a read error
// after a successful open.
struct BaseStatistics {
  std::optional<std::string> files_label;
  std::optional<std::string> words_label;
};

BaseStatistics CountBase(const std::string& base_directory, Env& env);

}  // namespace veskara
