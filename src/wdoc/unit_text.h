// The text file the converters of office documents and e-books write: UTF-8
// lines, each ended by CR LF, and before each unit (a paragraph, a slide, a
// sheet) a line holding a form feed alone, so that a reader can number the
// units. Runs in the converter program only.
#pragma once

#include <string>
#include <string_view>

#include "wpdf/limited_output.h"

namespace veskara::wdoc {

class UnitText {
 public:
  // Writes to the open file `fd`, at most `max_output` bytes (0: no limit).
  UnitText(int fd, unsigned long long max_output);

  // Starts a unit whose text may span lines (a slide, a sheet): its mark
  // is written at once, so an empty unit still counts.
  void BeginUnit();
  // Adds UTF-8 text to the line being built. A control character, and a
  // malformed byte, becomes a blank.
  void Add(std::string_view utf8);
  // A blank: a tab, a line break within a paragraph, a space run.
  void AddBlank() { line_.push_back(' '); }
  // Ends the line being built; an empty one is dropped.
  void EndLine();
  // Ends a paragraph that is a unit of its own (a paragraph of a text
  // document): its mark and its line, unless it holds no text.
  void EndParagraphUnit();

  // Writes what is buffered. False when a write failed; cut() tells whether
  // text was dropped at the limit.
  bool Finish();
  // False once a write failed or the limit was reached.
  bool ok() const { return out_.ok(); }
  bool cut() const { return out_.cut(); }

 private:
  void Put(std::string_view bytes);
  // Writes what is buffered; false when a write failed.
  bool Flush();

  wpdf::LimitedOutput out_;
  std::string line_;
  std::string buffer_;
};

}  // namespace veskara::wdoc
