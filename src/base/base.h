// The base as a scan sees it: the posting table with its current file number
// and the paths already recorded in fls.txt. One object per process; the
// window (or the command line) owns it and hands it to the scan.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "base/posting_table.h"
#include "platform/env.h"

namespace veskara {

struct BaseState {
  PostingTable postings;                  // holds CurrentFileNumber too
  std::vector<std::string> IndexedPaths;  // path lines of fls.txt, in file order
};

// The base's file numbers are used up: the next one would not fit 32 bits.
class BaseFullError : public std::runtime_error {
 public:
  BaseFullError();
};

// Loads the base in `base_directory` into `state`:
// - the table is emptied, and CurrentFileNumber becomes "0";
// - without wrds.txt or without fls.txt nothing more is loaded, except that
//   with fls.txt alone numbering goes on after its last number line (so that
//   numbers never repeat) and IndexedPaths is emptied;
// - otherwise every word record becomes one entry per number of its list,
//   IndexedPaths gets every path line of fls.txt, and CurrentFileNumber the
//   last line of fls.txt plus 1 ("0" taken for no line or an empty one).
// Throws IoError when a file exists but cannot be read, ConvertError when the
// last line of fls.txt is not an integer, BaseFullError when it is the
// largest one.
void LoadBase(const std::string& base_directory, BaseState& state, Env& env = Env::Default());

// The number after `last_line`, the last line of fls.txt, as LoadBase takes it.
std::string NextFileNumber(std::string_view last_line);

}  // namespace veskara
