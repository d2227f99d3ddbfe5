// The lines of a base file, with the program's line rules, handed out as
// views of the raw bytes so that a scan of a large file copies nothing.
// Private to the search.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text_file.h"

namespace veskara {

// Gives the same lines as LineReader, but a line's CRs are still in the view
// (see LineText); its LF is not, and the Ctrl-Z rules are already applied
// (a view never holds a byte 26). The views of the last two lines stay valid
// until the next call, so a record's two lines can be used together.
class LineScanner {
 public:
  explicit LineScanner(FileHandle file);

  // The next raw line; false at the end of the file. Throws IoError.
  bool Next(std::string_view* raw);

  void Close() { file_.Close(); }

 private:
  void Refill();
  // Where the first Ctrl-Z of [begin, end) is, or npos.
  size_t FindCtrlZ(size_t begin, size_t end);

  char* data() { return buffers_[current_].data(); }

  FileHandle file_;
  // Two buffers in turn: a line that runs past the end of one is carried to
  // the start of the other, so the line before it stays where it was.
  std::vector<char> buffers_[2];
  int current_ = 0;
  size_t line_start_ = 0;  // start of the line being found
  size_t scan_ = 0;        // the LF search resumes here
  size_t end_ = 0;         // end of the bytes read
  // The first Ctrl-Z at or after z_from_ is at z_at_, or there is none
  // before z_to_ when z_at_ is npos.
  size_t z_from_ = 0;
  size_t z_to_ = 0;
  size_t z_at_ = std::string_view::npos;
  bool eof_ = false;
  bool finished_ = false;
};

// The text of a raw line: its CRs dropped. May point into `scratch`.
std::string_view LineText(std::string_view raw, std::string& scratch);

// True when the text of the raw line begins with `prefix`, which holds no
// CR. Copies nothing unless a CR stands among the compared bytes.
bool LineStartsWith(std::string_view raw, std::string_view prefix, std::string& scratch);

}  // namespace veskara
