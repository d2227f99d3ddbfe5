// Helpers shared by the fuzz targets: a scratch folder per process, files
// written from the fuzzer's bytes, and the line rules written the slow,
// obvious way as the reference for every reader under test.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace veskara::fuzz {

// Stops the run with a message libFuzzer keeps beside the input.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

// A folder of this process, removed at exit. Inputs are written into it.
inline const std::string& ScratchDir() {
  static const std::string dir = [] {
    const char* tmp = getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/veskara-fuzz-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr) std::abort();
    static std::string removed_at_exit;
    removed_at_exit = templ;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(removed_at_exit, ec);
    });
    return templ;
  }();
  return dir;
}

inline void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) std::abort();
}

// The line rules, one byte at a time: a line ends at LF; every CR is dropped
// (before an LF it belongs to the line end, elsewhere it just vanishes); a
// Ctrl-Z ends its line's text and the rest of that line is skipped; a Ctrl-Z
// at the start of a line, or a second one in a skipped rest, ends the file;
// a last line without an LF still counts. CRs are dropped before the rules
// look at a byte, so a Ctrl-Z after nothing but CRs opens its line.
inline std::vector<std::string> ReferenceLines(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    size_t first = i;
    while (first < n && bytes[first] == '\r') ++first;
    if (first < n && bytes[first] == 26) break;
    std::string text;
    while (i < n && bytes[i] != '\n' && bytes[i] != 26) {
      if (bytes[i] != '\r') text.push_back(bytes[i]);
      ++i;
    }
    lines.push_back(text);
    if (i < n && bytes[i] == 26) {
      ++i;
      bool end_of_file = false;
      while (i < n && bytes[i] != '\n') {
        if (bytes[i] == 26) {
          end_of_file = true;
          break;
        }
        ++i;
      }
      if (end_of_file) break;
    }
    if (i < n) ++i;  // the LF
  }
  return lines;
}

}  // namespace veskara::fuzz
