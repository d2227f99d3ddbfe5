// GetText: checks and file handling in the caller's process, parsing in a
// disposable child process.
#include "wpdf/wpdf.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <string_view>

#include "platform/file_handle.h"
#include "wpdf/child_process.h"
#include "wpdf/convert.h"

namespace {

// A conversion gets two minutes, and one more second per megabyte of
// document, before its child is killed.
constexpr long long kBaseLimitMs = 120'000;
constexpr long long kMsPerMegabyte = 1'000;

// A PDF header may follow some leading junk, but not more than this.
constexpr size_t kHeaderWindow = 1024;

// The child's default memory: a quarter of the machine, never less than this.
constexpr unsigned long long kMinimumMemory = 512ULL << 20;

// Errors that say the machine, not the document, is out of something.
bool OutOfResources(int error) { return error == EMFILE || error == ENFILE || error == ENOMEM || error == EAGAIN; }

unsigned long long DefaultMemoryLimit() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  const unsigned long long quarter = pages > 0 && page_size > 0 ? static_cast<unsigned long long>(pages) *
                                                                      static_cast<unsigned long long>(page_size) / 4
                                                                : 0;
  return quarter > kMinimumMemory ? quarter : kMinimumMemory;
}

// The child cannot tell why its write failed; a full file system is by far
// the likeliest reason, and the one the user can act on.
int WriteError(const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  struct statvfs fs {};
  if (statvfs(dir.c_str(), &fs) == 0 && fs.f_bavail == 0) return ENOSPC;
  return EIO;
}

// Opens the document without blocking (a FIFO under a PDF name must not
// hang the caller) and checks that it is a regular file with a PDF header.
int CheckDocument(const char* path, off_t* size, int* error) {
  veskara::FileHandle fd(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.fd() < 0) {
    if (!OutOfResources(errno)) return kWpdfCannotOpen;
    *error = errno;
    return kWpdfNoResources;
  }
  struct stat st {};
  if (fstat(fd.fd(), &st) != 0 || !S_ISREG(st.st_mode)) return kWpdfCannotOpen;
  *size = st.st_size;
  char head[kHeaderWindow];
  size_t got = 0;
  while (got < sizeof head) {
    const ssize_t n = read(fd.fd(), head + got, sizeof head - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return kWpdfCannotOpen;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  if (std::string_view(head, got).find("%PDF-") == std::string_view::npos) return kWpdfNotPdf;
  return kWpdfOk;
}

// Creates a fresh file beside the target, so that the finished text can be
// renamed over it in one step.
int CreateTempBeside(const std::string& target, std::string* temp_path) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temp_path = dir + ".wpdf-" + std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1)) + ".tmp";
    const int fd = open(temp_path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  temp_path->clear();
  return -1;
}

// The parser module beside this library, loaded once, in this process, so
// that every conversion child inherits it instead of loading it again.
WpdfConvertFunction ParserEntry() {
  static const WpdfConvertFunction entry = []() -> WpdfConvertFunction {
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&GetText), &self) == 0 || self.dli_fname == nullptr) return nullptr;
    std::string path = self.dli_fname;
    const size_t slash = path.rfind('/');
    path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + kWpdfParserModule;
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<WpdfConvertFunction>(dlsym(module, kWpdfParserEntry));
  }();
  return entry;
}

int Convert(const char* pdf_path, const std::string& target, WpdfOptions& options) {
  off_t size = 0;
  int& error = options.error_number;
  if (const int code = CheckDocument(pdf_path, &size, &error); code != kWpdfOk) return code;
  const WpdfConvertFunction convert = ParserEntry();
  if (convert == nullptr) {
    error = ENOENT;
    return kWpdfNoEngine;
  }

  std::string temp_path;
  veskara::FileHandle out(CreateTempBeside(target, &temp_path));
  if (out.fd() < 0) {
    error = errno;
    return OutOfResources(error) && error != ENOMEM ? kWpdfNoResources : kWpdfCannotWrite;
  }

  veskara::wpdf::ChildLimits limits;
  limits.time_ms = options.time_limit_ms > 0
                       ? options.time_limit_ms
                       : kBaseLimitMs + static_cast<long long>(size / (1024 * 1024)) * kMsPerMegabyte;
  limits.memory_bytes = options.memory_limit > 0 ? options.memory_limit : DefaultMemoryLimit();
  limits.cancel_fd = options.cancel_fd > STDERR_FILENO ? options.cancel_fd : -1;
  int code = veskara::wpdf::RunInChild(
      out.fd(),
      [pdf_path, convert, flags = options.flags](int fd) {
        int result = convert(pdf_path, fd, flags);
        if (close(fd) != 0 && errno != EINTR && result == kWpdfOk) result = kWpdfCannotWrite;
        return result;
      },
      limits, kWpdfConversionFailed);
  const bool pages_lost = code == kWpdfSomePagesLost;
  if (pages_lost) code = kWpdfOk;
  if (code == veskara::wpdf::kChildCancelled) code = kWpdfCancelled;
  if (code == veskara::wpdf::kChildNotStarted) {
    error = errno;
    code = kWpdfNoResources;
  }
  if (!out.Close() && code == kWpdfOk) {
    error = errno;
    code = kWpdfCannotWrite;
  }
  if (code == kWpdfOk && rename(temp_path.c_str(), target.c_str()) != 0) {
    error = errno;
    code = kWpdfCannotWrite;
  }
  if (code == kWpdfCannotWrite && error == 0) error = WriteError(target);
  if (code != kWpdfOk) unlink(temp_path.c_str());
  return code == kWpdfOk && pages_lost ? kWpdfSomePagesLost : code;
}

}  // namespace

extern "C" int GetTextWith(const char* pdfPath, const char* targetPath, WpdfOptions* options) {
  WpdfOptions defaults{};
  WpdfOptions& used = options != nullptr ? *options : defaults;
  used.error_number = 0;
  if (pdfPath == nullptr || targetPath == nullptr || *pdfPath == '\0' || *targetPath == '\0') {
    return kWpdfBadArgument;
  }
  try {
    return Convert(pdfPath, targetPath, used);
  } catch (...) {
    used.error_number = ENOMEM;  // no memory for a path string
    return kWpdfNoResources;
  }
}

extern "C" int GetText(const char* pdfPath, const char* targetPath) {
  const int code = GetTextWith(pdfPath, targetPath, nullptr);
  return code == kWpdfSomePagesLost ? kWpdfOk : code;
}
