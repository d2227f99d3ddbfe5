// The records of the base's files: pairs of lines, counted from the top of
// the file (docs/base-format.md). In fls.txt a path line and its number
// line, in wrds.txt a word line and its number list, in folders.txt a folder
// and its time. One line missing or too many shifts the meaning of every
// line after it, so every reader of these files goes through this rule.
//
// The lines are those of LineScanner: views of the file's bytes, copied only
// to drop a CR that stands inside a line. None of these classes is
// thread-safe; use one object per thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/env.h"
#include "platform/line_scanner.h"

namespace veskara {

// The records of a file, one after the other.
class RecordScanner {
 public:
  explicit RecordScanner(std::unique_ptr<ReadableFile> file) : scanner_(std::move(file)) {}
  // Opens `path` (IoError when that fails).
  RecordScanner(Env& env, const std::string& path) : scanner_(env, path) {}

  // See LineScanner::LimitLineLength.
  void LimitLineLength(size_t most) { scanner_.LimitLineLength(most); }

  // Moves to the next record; false at the end of the file, also when its
  // last line opens a record and has no partner (see lone_first). Throws
  // IoError.
  bool Next() {
    if (lines_ % 2 == 1 && !PassSecondLine()) return false;
    if (!scanner_.Next(&first_)) {
      first_ = {};
      return false;
    }
    ++lines_;
    if (!scanner_.Next(&second_)) {
      second_ = {};
      lone_ = true;
      return false;
    }
    ++lines_;
    return true;
  }

  // The lines of the current record as read: a CR may still stand in them
  // (lines the program writes end with one). Valid until the next call of
  // Next or SkipRecordsNotOpeningWith.
  std::string_view raw_first() const { return first_; }
  std::string_view raw_second() const { return second_; }
  // Their texts, CRs dropped (LineText); each may point into the scanner.
  std::string_view first() { return LineText(first_, first_text_); }
  std::string_view second() { return LineText(second_, second_text_); }

  // The number of the last line read or skipped, counted from 1: the current
  // record's second line; after the end, the file's last line.
  size_t line() const { return lines_; }

  // After Next gave false: true when the last line of the file opens a
  // record without a partner. first() gives it, unless a skip passed over it
  // (first() is empty then).
  bool lone_first() const { return lone_; }

  // Passes over records whose first line cannot open with a byte of `bytes`
  // (nor with a CR that the line rules drop), in one sweep over the bytes
  // read (LineScanner::SkipLines): never over one that may, but not always
  // over every one that cannot, so the caller still tests what Next gives.
  // The views of the current record end.
  void SkipRecordsNotOpeningWith(const FirstBytes& bytes) {
    // A second line is skipped with its record or stops the sweep; either
    // way the count of lines keeps the pairs.
    const size_t skipped = scanner_.SkipLines(bytes);
    if (skipped == 0) return;
    lines_ += skipped;
    first_ = {};
    second_ = {};
  }

  // Closes the file; read errors were already thrown by Next.
  void Close() { scanner_.Close(); }

 private:
  // A skip stopped at the second line of a record whose first line it
  // passed: that record is not wanted. False at the end of the file.
  bool PassSecondLine();

  LineScanner scanner_;
  std::string_view first_;
  std::string_view second_;
  std::string first_text_;
  std::string second_text_;
  size_t lines_ = 0;
  bool lone_ = false;
};

// The records of fls.txt: a file's path and its number.
class FileRecordScanner {
 public:
  explicit FileRecordScanner(std::unique_ptr<ReadableFile> file) : records_(std::move(file)) {}
  FileRecordScanner(Env& env, const std::string& path) : records_(env, path) {}

  bool Next() { return records_.Next(); }
  std::string_view raw_path() const { return records_.raw_first(); }
  std::string_view raw_number() const { return records_.raw_second(); }
  std::string_view path() { return records_.first(); }
  std::string_view number() { return records_.second(); }
  size_t line() const { return records_.line(); }
  // After the end: the file ends with a path line without its number line.
  bool lone_path() const { return records_.lone_first(); }
  void Close() { records_.Close(); }

 private:
  RecordScanner records_;
};

// The records of wrds.txt: a word and the numbers of its files.
class WordRecordScanner {
 public:
  explicit WordRecordScanner(std::unique_ptr<ReadableFile> file) : records_(std::move(file)) {}
  WordRecordScanner(Env& env, const std::string& path) : records_(env, path) {}

  bool Next() { return records_.Next(); }
  std::string_view raw_word() const { return records_.raw_first(); }
  std::string_view raw_numbers() const { return records_.raw_second(); }
  std::string_view word() { return records_.first(); }
  std::string_view numbers() { return records_.second(); }
  size_t line() const { return records_.line(); }
  // After the end: the file ends with a word line without its number list.
  bool lone_word() const { return records_.lone_first(); }
  // Skips the records whose word cannot open with a byte of `bytes`.
  void SkipRecordsNotOpeningWith(const FirstBytes& bytes) { records_.SkipRecordsNotOpeningWith(bytes); }
  void Close() { records_.Close(); }

 private:
  RecordScanner records_;
};

// True when `text` can stand as one line of the base's files and be read
// back as it was: no LF, no CR and no byte 26 in it.
inline bool FitsOneLine(std::string_view text) { return text.find_first_of("\n\r\x1A") == std::string_view::npos; }

// How many whole records a file holds: a last line without its partner
// makes none. Throws IoError.
size_t CountRecords(std::unique_ptr<ReadableFile> file);

}  // namespace veskara
