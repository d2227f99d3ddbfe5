// GetText and GetDocumentTextWith: checks and file handling in the caller's
// process, parsing in the converter program, run as a disposable child.
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
#include <vector>

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

// The most text one document gives; the converter stops there, and is
// killed should it write past the slack.
constexpr unsigned long long kOutputLimit = veskara::wpdf::kMostText;
constexpr unsigned long long kOutputSlack = 1ULL << 20;

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

// Opens the document without blocking (a FIFO under a document's name must
// not hang the caller) and checks that it is a regular file; with
// `pdf_header`, also that a PDF header stands near its start.
int CheckDocument(const char* path, bool pdf_header, off_t* size, int* error) {
  veskara::FileHandle fd(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.fd() < 0) {
    if (!OutOfResources(errno)) return kWpdfCannotOpen;
    *error = errno;
    return kWpdfNoResources;
  }
  struct stat st {};
  if (fstat(fd.fd(), &st) != 0 || !S_ISREG(st.st_mode)) return kWpdfCannotOpen;
  *size = st.st_size;
  if (!pdf_header) return kWpdfOk;
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

// The converter program beside this library; "" when it cannot be found.
const std::string& ConverterPath() {
  static const std::string path = []() -> std::string {
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&GetText), &self) == 0 || self.dli_fname == nullptr) return "";
    std::string folder = self.dli_fname;
    const size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    return folder + kWpdfConverterProgram;
  }();
  return path;
}

// The converter's arguments for one document (see converter_main.cc).
std::vector<std::string> ConverterArguments(const std::string& program, std::string_view kind, int compression,
                                            const char* path, const WpdfOptions& options, unsigned long long memory) {
  std::vector<std::string> argv = {program, "--memory=" + std::to_string(memory),
                                   "--output-limit=" + std::to_string(kOutputLimit)};
  if ((options.flags & kWpdfMarkPages) != 0) argv.emplace_back("--mark-pages");
  if (compression != kWpdfPlain) argv.push_back("--compression=" + std::to_string(compression));
  argv.emplace_back(kind);
  argv.emplace_back(path);
  return argv;
}

int Convert(std::string_view kind, int compression, const char* path, const std::string& target, WpdfOptions& options) {
  off_t size = 0;
  int& error = options.error_number;
  const bool plain_pdf = kind == "pdf" && compression == kWpdfPlain;
  // A plain PDF is checked here: a file that is no PDF needs no child.
  if (const int code = CheckDocument(path, plain_pdf, &size, &error); code != kWpdfOk) return code;
  const std::string& program = ConverterPath();
  if (program.empty() || access(program.c_str(), X_OK) != 0) {
    error = program.empty() ? ENOENT : errno;
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
  // The converter stops at the limit itself; past the slack it is killed.
  limits.output_bytes = kOutputLimit + kOutputSlack;
  limits.cancel_fd = options.cancel_fd > STDERR_FILENO ? options.cancel_fd : -1;
  int code =
      veskara::wpdf::RunProgram(ConverterArguments(program, kind, compression, path, options, limits.memory_bytes),
                                out.fd(), limits, kWpdfConversionFailed);
  // Codes that say the text was written, with something lost.
  const int partial = code == kWpdfSomePagesLost || code == kWpdfTextCut ? code : kWpdfOk;
  if (partial != kWpdfOk) code = kWpdfOk;
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
  return code == kWpdfOk ? partial : code;
}

// Runs Convert for the C entries: checks the arguments, and turns a failure
// to allocate into a failure of the machine.
int ConvertChecked(std::string_view kind, int compression, const char* path, const char* target, WpdfOptions* options) {
  WpdfOptions defaults{};
  WpdfOptions& used = options != nullptr ? *options : defaults;
  used.error_number = 0;
  if (path == nullptr || target == nullptr || *path == '\0' || *target == '\0') return kWpdfBadArgument;
  try {
    return Convert(kind, compression, path, target, used);
  } catch (...) {
    used.error_number = ENOMEM;  // no memory for a path string
    return kWpdfNoResources;
  }
}

}  // namespace

extern "C" int GetTextWith(const char* pdfPath, const char* targetPath, WpdfOptions* options) {
  return ConvertChecked("pdf", kWpdfPlain, pdfPath, targetPath, options);
}

extern "C" int GetDocumentTextWith(const char* kind, int compression, const char* path, const char* targetPath,
                                   WpdfOptions* options) {
  if (kind == nullptr || compression < kWpdfPlain || compression > kWpdfXz) return kWpdfBadArgument;
  const std::string_view name(kind);
  if (!veskara::wpdf::IsConverterKind(name) || (name == "raw" && compression == kWpdfPlain)) {
    return kWpdfBadArgument;
  }
  return ConvertChecked(name, compression, path, targetPath, options);
}

extern "C" int GetText(const char* pdfPath, const char* targetPath) {
  const int code = GetTextWith(pdfPath, targetPath, nullptr);
  return code == kWpdfSomePagesLost || code == kWpdfTextCut ? kWpdfOk : code;
}
