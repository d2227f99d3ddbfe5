// A program that misbehaves on request, run by the tests of RunProgram as a
// converter would be: child_helper MODE [ARGUMENT].
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "wpdf/child_process.h"

using veskara::wpdf::CapOwnMemory;
using veskara::wpdf::kChildDataFd;
using veskara::wpdf::ReportAndExit;

namespace {

// The descriptors open in this process, beyond the standard three.
int OpenDescriptors() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  const int own = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    const int fd = atoi(entry->d_name);
    if (entry->d_name[0] != '.' && fd > 2 && fd != own) ++count;
  }
  closedir(dir);
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const std::string argument = argc > 2 ? argv[2] : "";
  if (mode == "write") {
    const bool wrote = write(kChildDataFd, argument.data(), argument.size()) == static_cast<ssize_t>(argument.size());
    ReportAndExit(wrote ? 7 : 0);
  }
  if (mode == "abort") abort();
  if (mode == "segv") {
    raise(SIGSEGV);
    ReportAndExit(5);
  }
  if (mode == "throw") throw std::runtime_error("broken");
  if (mode == "exit") _exit(0);
  if (mode == "loop") {
    for (;;) pause();
  }
  if (mode == "stderr") ReportAndExit(write(STDERR_FILENO, "noise", 5) == 5 ? 0 : 1);
  if (mode == "descriptors") ReportAndExit(OpenDescriptors());
  if (mode == "memory") {
    CapOwnMemory(std::stoull(argument));
    void* volatile block = malloc(size_t{6} << 30);
    const bool got = block != nullptr;
    free(block);
    ReportAndExit(got ? 1 : 0);
  }
  if (mode == "big-file") {
    const std::string block(1 << 20, 'x');
    for (int i = 0; i < 64; ++i) {
      if (write(kChildDataFd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) ReportAndExit(3);
    }
    ReportAndExit(0);
  }
  ReportAndExit(99);
}
