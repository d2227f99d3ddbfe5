// ListFilesOfEntry (one read of fls.txt for the whole list) against a
// literal lookup that reads the file from the top once per number.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/base_files.h"
#include "fuzz_util.h"
#include "platform/paths.h"
#include "reference/literal_lines.h"
#include "search/file_lookup.h"

using namespace veskara;

namespace {

std::string Trim(const std::string& s) {
  size_t begin = 0;
  size_t end = s.size();
  while (begin < end && static_cast<unsigned char>(s[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(s[end - 1]) <= 32) --end;
  return s.substr(begin, end - begin);
}

std::string Row(const std::string& path_line) {
  const std::string whole = Trim(path_line);
  const size_t bar = path_line.find('|');
  if (bar == std::string::npos) return whole;
  std::error_code ec;
  if (!whole.empty() && std::filesystem::exists(whole, ec)) return whole;
  return Trim(path_line.substr(bar + 1));
}

std::vector<std::string> LiteralLookup(const std::vector<std::string>& lines, const std::string& numbers) {
  std::vector<std::string> wanted;
  size_t start = 0;
  do {
    size_t comma = numbers.find(',', start);
    if (comma == std::string::npos) comma = numbers.size();
    wanted.push_back(numbers.substr(start, comma - start));
    start = comma + 1;
  } while (start < numbers.size());

  std::vector<std::string> rows;
  for (const std::string& n : wanted) {
    for (size_t k = 1; k < lines.size(); k += 2) {
      if (lines[k] == n) {
        rows.push_back(Row(lines[k - 1]));
        break;
      }
    }
  }
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string numbers = input.ConsumeRandomLengthString(256);
  const std::string files_file = input.ConsumeRemainingBytesAsString();
  const std::string dir = fuzz::ScratchDir();
  fuzz::WriteBytes(FilesFilePath(dir), files_file);

  const std::vector<std::string> fast = ListFilesOfEntry(dir, numbers, Env::Default());
  FUZZ_CHECK(fast == LiteralLookup(reference::LiteralLines(files_file), numbers));
  return 0;
}
