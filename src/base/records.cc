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

void RecordScanner::SkipRecordsNotOpeningWith(const FirstBytes& bytes) {
  // A second line is skipped with its record or stops the sweep; either
  // way the count of lines keeps the pairs.
  const size_t skipped = scanner_.SkipLines(bytes);
  if (skipped == 0) return;
  lines_ += skipped;
  first_ = {};
  second_ = {};
}

size_t CountRecords(std::unique_ptr<ReadableFile> file) { return CountLines(std::move(file)) / 2; }

}  // namespace veskara
