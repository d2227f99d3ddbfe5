#include "base/records.h"

#include "platform/text_file.h"

namespace veskara {

bool RecordScanner::PassSecondLine() {
  std::string_view passed;
  if (!scanner_.Next(&passed)) {
    first_ = {};
    second_ = {};
    lone_ = true;
    return false;
  }
  ++lines_;
  return true;
}

size_t CountRecords(std::unique_ptr<ReadableFile> file) { return CountLines(std::move(file)) / 2; }

}  // namespace veskara
