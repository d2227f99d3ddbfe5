// The consistency check of a base: the rules every base the program writes
// keeps, tested in one read of each file.
#pragma once

#include <string>

#include "platform/env.h"

namespace veskara {

struct BaseCheck {
  enum class Status {
    kConsistent,
    kInconsistent,  // `problem` names the first rule broken, with its line
    kMissing,       // wrds.txt or fls.txt does not exist; `problem` says which
  };
  Status status = Status::kConsistent;
  std::string problem;  // UTF-8: words are decoded from Windows-1251
};

// Checks the base in `base_directory`:
// - fls.txt has an even number of lines; its number lines are decimal
//   numbers without a sign or leading zero, within 32 bits, strictly
//   increasing down the file (so each is unique);
// - wrds.txt has an even number of lines; its word lines are non-empty runs
//   of WordChars, strictly increasing in CompareWords order (sorted and
//   unique); its number lists have no empty piece and no number twice, and
//   each number is a number line of fls.txt.
// wrds.txt is opened before fls.txt, so a check that runs while a scan
// commits (fls.txt is renamed first) never sees words newer than the files.
// Throws IoError when a file exists but cannot be opened or read.
BaseCheck CheckBase(const std::string& base_directory, Env& env = Env::Default());

}  // namespace veskara
