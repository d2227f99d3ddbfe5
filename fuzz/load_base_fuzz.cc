// LoadBase and the consistency check on arbitrary wrds.txt and fls.txt
// bytes: never anything but a loaded table or one of its documented
// failures, and the entries are the records' pieces, in file order.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/base_files.h"
#include "fuzz_util.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/str_to_int.h"
#include "reference/literal_lines.h"
#include "search/base_check.h"

using namespace veskara;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const uint8_t which = input.ConsumeIntegral<uint8_t>();
  const bool have_words = (which & 1) == 0;  // most inputs have both files
  const bool have_files = (which & 2) == 0;
  const std::string words = input.ConsumeRandomLengthString(1 << 16);
  const std::string files = input.ConsumeRemainingBytesAsString();

  const std::string dir = fuzz::ScratchDir() + "/load";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directory(dir);
  if (have_words) fuzz::WriteBytes(WordsFilePath(dir), words);
  if (have_files) fuzz::WriteBytes(FilesFilePath(dir), files);

  // The consistency check on the same bytes: never a crash, and a base it
  // passes always loads.
  const bool consistent = CheckBase(dir, Env::Default()).status == BaseCheck::Status::kConsistent;

  BaseState state;
  state.IndexedPaths = {"kept unless fls.txt is read"};
  state.postings.AddEntry("STALE", "9");
  const std::vector<std::string> file_lines = reference::LiteralLines(files);
  const std::string last = file_lines.empty() ? "" : file_lines.back();
  const std::optional<int32_t> last_number = TryStrToInt(last.empty() ? "0" : last);
  const std::vector<std::string> word_lines = reference::LiteralLines(words);
  // Numbering goes on after the last number line, but never at or below a
  // number that either file holds.
  int64_t largest = INT64_MIN;
  auto consider = [&largest](const std::string& text) {
    if (const std::optional<int32_t> value = TryStrToInt(text)) largest = std::max<int64_t>(largest, *value);
  };
  for (size_t i = 1; i < file_lines.size(); i += 2) consider(file_lines[i]);
  for (size_t i = 1; have_words && i < word_lines.size(); i += 2) {
    for (size_t start = 0;;) {
      const size_t comma = word_lines[i].find(',', start);
      consider(word_lines[i].substr(start, comma == std::string::npos ? std::string::npos : comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  std::optional<std::string> expected_next;
  if (last_number && *last_number != INT32_MAX) {
    const int64_t next = int64_t{*last_number} + 1;
    if (largest < next) {
      expected_next = std::to_string(next);
    } else if (largest < INT32_MAX) {
      expected_next = std::to_string(largest + 1);
    }
  }
  try {
    LoadBase(dir, state, Env::Default());
  } catch (const ConvertError&) {
    FUZZ_CHECK(!consistent);
    FUZZ_CHECK(have_files && !last_number);
    return 0;
  } catch (const BaseFullError&) {
    // A consistent base may be full: its largest number is the largest one.
    FUZZ_CHECK(have_files && !expected_next);
    return 0;
  }

  if (!have_files) {
    FUZZ_CHECK(state.postings.Count() == 0 && state.postings.CurrentFileNumber() == "0");
    FUZZ_CHECK(state.IndexedPaths.size() == 1);
    return 0;
  }
  FUZZ_CHECK(expected_next && state.postings.CurrentFileNumber() == *expected_next);
  std::vector<std::string> paths;
  for (size_t i = 0; i < file_lines.size(); i += 2) paths.push_back(file_lines[i]);
  if (!have_words) {
    FUZZ_CHECK(state.postings.Count() == 0 && state.IndexedPaths.empty());
    return 0;
  }
  FUZZ_CHECK(state.IndexedPaths == paths);

  // One entry per comma-cut piece of each record's list, empty pieces too.
  size_t entry = 0;
  for (size_t i = 0; i + 1 < word_lines.size(); i += 2) {
    const std::string& list = word_lines[i + 1];
    size_t start = 0;
    while (true) {
      size_t comma = list.find(',', start);
      std::string piece = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      FUZZ_CHECK(entry < state.postings.Count());
      FUZZ_CHECK(state.postings.WordAt(entry) == word_lines[i]);
      FUZZ_CHECK(state.postings.NumberAt(entry) == piece);
      ++entry;
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  FUZZ_CHECK(entry == state.postings.Count());
  return 0;
}
