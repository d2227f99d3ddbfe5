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

}  // namespace veskara::fuzz
