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
    kBusy,          // a scan holds the base: its files are changing
  };
  Status status = Status::kConsistent;
  std::string problem;  // UTF-8: words are decoded from Windows-1251
};

// Checks the base in `base_directory`:
// - fls.txt holds whole records (base/records.h); its number lines are decimal
//   numbers without a sign or leading zero, within 32 bits, strictly
//   increasing down the file (so each is unique);
// - wrds.txt holds whole records; its word lines are non-empty runs
//   of WordChars, strictly increasing in CompareWords order (sorted and
//   unique); its number lists have no empty piece and no number twice, and
//   each number is a number line of fls.txt.
// - what the base remembers (stamps.txt, folders.txt) is well formed: every
//   stamped number is a number line of fls.txt, the highest number given is
//   not below one, every folder is an absolute path.
// The check holds the base's lock, so that no scan changes the files under
// it (kBusy while one runs); a base this user may not lock (read-only) is
// checked without it. Throws IoError when a file exists but cannot be
// opened or read.
BaseCheck CheckBase(const std::string& base_directory, Env& env);

}  // namespace veskara
