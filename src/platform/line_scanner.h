// The lines of a text file with the program's line rules (text_file.h),
// handed out as views of the raw bytes so that a scan of a large file copies
// nothing. LineReader is built on it; the search uses it directly to skip
// lines in bulk.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace veskara {

// The bytes that may open a line of interest, for LineScanner::SkipLines.
class FirstBytes {
 public:
  // No bytes: every line may be skipped (for counting lines).
  explicit FirstBytes(std::string_view bytes);

 private:
  friend class LineScanner;
  static constexpr size_t kMaxListed = 8;
  std::array<bool, 256> marked_{};
  std::array<unsigned char, kMaxListed> listed_{};
  size_t count_ = 0;
  bool skipping_ = false;  // with more bytes than listed, nothing is skipped
};

// A line longer than the limit a LineScanner was given.
class LineTooLongError : public std::runtime_error {
 public:
  LineTooLongError(size_t line, size_t most)
      : std::runtime_error("line " + std::to_string(line) + " is longer than " + std::to_string(most) + " bytes"),
        line_(line) {}
  // Counted from 1.
  size_t line() const { return line_; }

 private:
  size_t line_;
};

// Gives the same lines as LineReader, but a line's CRs are still in the view
// (see LineText); its LF is not, and the Ctrl-Z rules are already applied
// (a view never holds a byte 26). The views of the last two lines stay valid
// until the next call, so a record's two lines can be used together.
//
// A file is read up to the size it had when it was opened, no further: a
// file that grows while it is read (a log being written) cannot keep the
// reader going, and a special file that claims size 0 gives no lines.
class LineScanner {
 public:
  explicit LineScanner(std::unique_ptr<ReadableFile> file);
  // Opens `path` (IoError when that fails).
  LineScanner(Env& env, const std::string& path);

  // From now on a raw line of more than `most` bytes throws
  // LineTooLongError, before much more than that is held: for files whose
  // every valid line is short, so that a damaged one costs no memory.
  // Lines that SkipLines passes are not measured (they lie in the buffer).
  void LimitLineLength(size_t most) { most_ = most; }

  // The next raw line; false at the end of the file. Throws IoError, and
  // LineTooLongError past the limit.
  bool Next(std::string_view* raw) {
    // The common case, inline: a whole line in the buffer, before any Ctrl-Z.
    const char* bytes = data();
    if (const void* lf = std::memchr(bytes + scan_, '\n', end_ - scan_)) {
      size_t line_end = static_cast<size_t>(static_cast<const char*>(lf) - bytes);
      if (line_end < clean_until_ && line_end - scan_ <= most_) {
        *raw = std::string_view(bytes + scan_, line_end - scan_);
        scan_ = line_end + 1;
        ++lines_;
        return true;
      }
    }
    return NextSlow(raw);
  }

  // Skips whole lines that cannot open with a byte of `first` (nor with a CR
  // that the line rules drop), in one sweep over the bytes read. Stops before
  // a line that might, before a line that needs the Ctrl-Z rules, and before
  // a line that is not wholly read yet. Returns how many lines it skipped;
  // the views of earlier lines end when it skips any.
  size_t SkipLines(const FirstBytes& first);

  // Closes the file; read errors were already thrown by Next.
  void Close() { file_->Close(); }

 private:
  bool NextSlow(std::string_view* raw);
  // Reads more bytes, keeping the partial line that starts at `line_start`
  // (moved to the start of a buffer); returns its new start.
  size_t Refill(size_t line_start);

  char* data() { return buffers_[current_].data(); }

  std::unique_ptr<ReadableFile> file_;
  uint64_t left_;  // bytes still to read before the size at opening
  // Two buffers in turn: a line that runs past the end of one is carried to
  // the start of the other, so the line before it stays where it was.
  std::vector<char> buffers_[2];
  int current_ = 0;
  size_t scan_ = 0;  // start of the next line
  size_t end_ = 0;   // end of the bytes read
  // No Ctrl-Z stands in [scan_, clean_until_); 0 once the file is finished.
  size_t clean_until_ = 0;
  bool eof_ = false;
  bool finished_ = false;
  size_t most_ = SIZE_MAX;  // the longest raw line allowed
  size_t lines_ = 0;        // handed out or skipped
};

// The text of a raw line: its CRs dropped. May point into `scratch`.
std::string_view LineText(std::string_view raw, std::string& scratch);

// True when the text of the raw line begins with `prefix`, which holds no
// CR. Copies nothing unless a CR stands among the compared bytes.
bool LineStartsWith(std::string_view raw, std::string_view prefix, std::string& scratch);

}  // namespace veskara
