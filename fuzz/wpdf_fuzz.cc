// GetText on mutated PDFs: always one of its result codes, never a crash or
// a hang of the caller; on success a closed text of CR LF lines without
// control bytes, on failure the earlier target left as it was.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "fuzz_util.h"
#include "wpdf/wpdf.h"

using namespace veskara;

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string pdf = fuzz::ScratchDir() + "/in.pdf";
  const std::string target = fuzz::ScratchDir() + "/out.txt";
  fuzz::WriteBytes(pdf, std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string earlier = "earlier text\r\n";
  fuzz::WriteBytes(target, earlier);

  const int result = GetText(pdf.c_str(), target.c_str());
  FUZZ_CHECK((result >= kWpdfOk && result <= kWpdfConversionFailed) || result == kWpdfNoPageRead);
  FUZZ_CHECK(result != kWpdfBadArgument && result != kWpdfCannotOpen && result != kWpdfCannotWrite);
  const std::string text = Read(target);
  if (result != kWpdfOk) {
    FUZZ_CHECK(text == earlier);
    return 0;
  }
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    FUZZ_CHECK(end != std::string::npos);
    for (size_t i = start; i < end; ++i) FUZZ_CHECK(static_cast<unsigned char>(text[i]) >= 0x20);
    start = end + 2;
  }
  return 0;
}
