// The converters of office documents, e-books and compressed files on
// arbitrary bytes, in this process: the first byte picks the kind (or a
// decompressor), the rest is the document. They may refuse it with any
// code, but never crash, hang or write a line the readers would misread.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "wdoc/decompress.h"
#include "wdoc/office_text.h"
#include "wdoc/unit_text.h"

namespace {

const char* const kKinds[] = {"docx", "xlsx", "pptx", "odt", "ods", "odp", "epub"};
constexpr size_t kKindCount = sizeof kKinds / sizeof kKinds[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const unsigned pick = data[0] % (kKindCount + 3);
  ++data;
  --size;
  static const std::string out_path = [] {
    char name[] = "/tmp/veskara-office-fuzz-XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    return std::string(name);
  }();
  const int fd = open(out_path.c_str(), O_RDWR | O_TRUNC | O_CLOEXEC);
  if (fd < 0) abort();
  if (pick < kKindCount) {
    veskara::wdoc::UnitText out(fd, 1 << 20);
    veskara::wdoc::DocumentSource source;
    source.data = data;
    source.size = size;
    veskara::wdoc::ConvertOfficeDocument(kKinds[pick], source, out);
    // Every line the converter wrote is a line: no CR or LF inside one.
    std::string text(static_cast<size_t>(lseek(fd, 0, SEEK_END)), '\0');
    if (pread(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) abort();
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) abort();
      if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) abort();
    }
  } else {
    if (write(fd, data, size) != static_cast<ssize_t>(size) || lseek(fd, 0, SEEK_SET) != 0) abort();
    std::string inflated;
    veskara::wdoc::Decompress(fd, static_cast<int>(pick - kKindCount + 1), &inflated);
  }
  close(fd);
  return 0;
}
