// The line readers (LineReader, CountLines and the search's LineScanner)
// against the line rules written byte by byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_util.h"
#include "platform/text_file.h"
#include "search/line_scanner.h"

using namespace veskara;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = fuzz::ScratchDir() + "/lines.txt";
  fuzz::WriteBytes(path, bytes);
  const std::vector<std::string> expected = fuzz::ReferenceLines(bytes);

  std::vector<std::string> read;
  {
    LineReader reader(path);
    std::string_view line;
    while (reader.ReadLine(&line)) read.emplace_back(line);
    reader.Close();
  }
  FUZZ_CHECK(read == expected);
  FUZZ_CHECK(CountLines(path) == expected.size());

  std::vector<std::string> scanned;
  {
    LineScanner scanner(OpenForReading(path));
    std::string scratch;
    std::string_view raw;
    while (scanner.Next(&raw)) {
      FUZZ_CHECK(raw.find('\x1A') == std::string_view::npos);
      scanned.emplace_back(LineText(raw, scratch));
    }
    scanner.Close();
  }
  FUZZ_CHECK(scanned == expected);
  return 0;
}
