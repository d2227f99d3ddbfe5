// The line readers (LineReader, CountLines and the search's LineScanner)
// against the line rules written byte by byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_util.h"
#include "platform/env.h"
#include "platform/line_scanner.h"
#include "platform/text_file.h"
#include "reference/literal_lines.h"

using namespace veskara;

namespace {

// The readers fill blocks of 1 MiB: one input in eight is put behind a
// filler that ends up to 4 KiB before such a boundary, partway through a
// line, so that lines, CR LF pairs and Ctrl-Z rules straddle refills.
constexpr size_t kBlock = 1 << 20;

std::string Arrange(const uint8_t* data, size_t size) {
  if (size < 3 || (data[0] & 7) != 7) return std::string(reinterpret_cast<const char*>(data), size);
  const size_t before_boundary = (data[1] | data[2] << 8) % 4096;
  std::string bytes;
  bytes.reserve(kBlock + size);
  while (bytes.size() < kBlock - before_boundary) bytes += "filler line\r\n";
  bytes.resize(kBlock - before_boundary);
  bytes.append(reinterpret_cast<const char*>(data) + 3, size - 3);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string arranged = Arrange(data, size);
  const std::string_view bytes = arranged;
  const std::string path = fuzz::ScratchDir() + "/lines.txt";
  fuzz::WriteBytes(path, bytes);
  const std::vector<std::string> expected = reference::LiteralLines(bytes);

  std::vector<std::string> read;
  {
    LineReader reader(path, Env::Default());
    std::string_view line;
    while (reader.ReadLine(&line)) read.emplace_back(line);
    reader.Close();
  }
  FUZZ_CHECK(read == expected);
  FUZZ_CHECK(CountLines(path, Env::Default()) == expected.size());

  std::vector<std::string> scanned;
  {
    LineScanner scanner(Env::Default(), path);
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
