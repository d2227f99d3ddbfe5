// The base as a scan sees it: the posting table with its current file number
// and the paths already recorded in fls.txt. One object per process; the
// window (or the command line) owns it and hands it to the scan.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/posting_table.h"
#include "platform/env.h"

namespace veskara {

struct BaseState {
  PostingTable postings;                  // holds CurrentFileNumber too
  std::vector<std::string> IndexedPaths;  // path lines of fls.txt, in file order
  // The largest number either file held when loaded (PostingTable::
  // kNoNumber: none), dropped ones included: with the mark of the highest
  // number given, what new numbers must stay above.
  int64_t largest_number = PostingTable::kNoNumber;
};

// What LoadBase leaves out and keeps in mind beyond the files.
struct LoadOptions {
  // Number texts of files an update or a remove drops: their entries are
  // not loaded and their paths not indexed, as if the records had left
  // both files first.
  const std::unordered_set<std::string>* dropped = nullptr;
  // The highest number ever given (PostingTable::kNoNumber: none):
  // numbering goes on after it.
  int64_t highest_given = PostingTable::kNoNumber;
  // For a scan that may number nothing (an update, a remove): a base whose
  // numbers are used up still loads, CurrentFileNumber then being
  // kNoNumberLeft, which no file can take.
  bool numbers_may_run_out = false;
};

// CurrentFileNumber when every 32-bit number is used up: one past the last.
inline constexpr const char* kNoNumberLeft = "2147483648";

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
// largest one (unless options.numbers_may_run_out). CurrentFileNumber is never at or below a number either file
// holds, nor options.highest_given.
void LoadBase(const std::string& base_directory, BaseState& state, Env& env, const LoadOptions& options = {});

// One record of fls.txt as every reader sees it.
struct FileRecord {
  std::string path;
  std::string number;
};

// The records of fls.txt, in file order (a last path without its number line
// is left out); none when the file does not exist. Throws IoError when it
// cannot be read.
std::vector<FileRecord> ReadFileRecords(const std::string& base_directory, Env& env);

// Writes fls.txt without the records whose number is in `dropped` to
// `target` (created or cut): every other byte and line as it stands, each
// kept line ended as it was (a last line without its LF gets one). What a
// Ctrl-Z hides from every reader is left out.
void WriteFilesWithout(const std::string& base_directory, const std::unordered_set<std::string>& dropped,
                       const std::string& target, Env& env);

// The number after `last_line`, the last line of fls.txt, as LoadBase takes it.
std::string NextFileNumber(std::string_view last_line);

// `next`, or the number after `largest_in_use` when that is not below it.
// Throws BaseFullError when no number is left.
std::string AfterLargest(const std::string& next, int64_t largest_in_use);

}  // namespace veskara
