// The markup reader's UTF-8 to Windows-1251 step, made cheap for the scan:
// a page's lines go through it one after another, so it decodes, checks and
// converts in one pass into a buffer kept from line to line.
#pragma once

#include <string>
#include <string_view>

namespace veskara {

class LineTranscoder {
 public:
  // Exactly DocumentLineTo1251: a line that is well-formed UTF-8 holding at
  // least one multi-byte sequence comes back in Windows-1251 (a character
  // without a form as a blank); any other line comes back unchanged. The
  // result may point into this object until the next call.
  std::string_view To1251(std::string_view line);

 private:
  std::string buffer_;
};

}  // namespace veskara
