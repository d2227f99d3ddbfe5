// The cost of one conversion child, start to end, on a small document.
//
//   convert_bench KIND DOCUMENT COUNT
//
// Converts DOCUMENT (KIND as GetDocumentTextWith takes it; "pdf" through
// GetTextWith) COUNT times, one after another, and prints the mean wall
// time of one conversion: mostly the child's start, its exec and its
// libraries, on a document that takes next to nothing to read.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "wpdf/wpdf.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s KIND DOCUMENT COUNT\n", argv[0]);
    return 2;
  }
  const std::string kind = argv[1];
  const int count = std::atoi(argv[3]);
  const std::string target = "/tmp/convert_bench-" + std::to_string(::getpid()) + ".txt";
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) {
    WpdfOptions options{};
    const int code = kind == "pdf" ? GetTextWith(argv[2], target.c_str(), &options)
                                   : GetDocumentTextWith(kind.c_str(), kWpdfPlain, argv[2], target.c_str(), &options);
    if (code != kWpdfOk) {
      std::fprintf(stderr, "conversion failed: code %d\n", code);
      return 1;
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::remove(target.c_str());
  std::printf("%s: %d conversions, %.2f ms each\n", kind.c_str(), count, 1000.0 * seconds / count);
  return 0;
}
