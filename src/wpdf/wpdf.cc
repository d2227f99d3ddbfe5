// GetText: checks and file handling in the caller's process, parsing in a
// forked child that reports its result through a pipe.
#include "wpdf/wpdf.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <string_view>

#include "wpdf/convert.h"

namespace {

// A conversion gets two minutes, and one more second per megabyte of
// document, before its child is killed.
constexpr long long kBaseLimitMs = 120'000;
constexpr long long kMsPerMegabyte = 1'000;

// What the child may map beyond the address space it inherits: far more
// than any honest document needs for its text, far less than the machine.
constexpr unsigned long long kChildMemoryAllowance = 4ULL << 30;

// A PDF header may follow some leading junk, but not more than this.
constexpr size_t kHeaderWindow = 1024;

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Reset(); }
  int get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  // Closes and reports whether the close succeeded.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || close(fd) == 0 || errno == EINTR;
  }

 private:
  int fd_;
};

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

// Opens the document without blocking (a FIFO under a PDF name must not
// hang the caller) and checks that it is a regular file with a PDF header.
int CheckDocument(const char* path, off_t* size) {
  Fd fd(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) return kWpdfCannotOpen;
  struct stat st {};
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return kWpdfCannotOpen;
  *size = st.st_size;
  char head[kHeaderWindow];
  size_t got = 0;
  while (got < sizeof head) {
    const ssize_t n = read(fd.get(), head + got, sizeof head - got);
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
    *temp_path = dir + ".wpdf-" + std::to_string(getpid()) + "-" +
                 std::to_string(counter.fetch_add(1)) + ".tmp";
    const int fd = open(temp_path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  temp_path->clear();
  return -1;
}

// Caps the child's address space, so that a document built to exhaust
// memory fails its own conversion instead of starving the machine.
void CapChildMemory() {
  const int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  char text[64] = {};
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return;
  unsigned long long pages = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) pages = pages * 10 + static_cast<unsigned>(*p - '0');
  const unsigned long long limit = pages * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE)) + kChildMemoryAllowance;
  rlimit current{};
  if (getrlimit(RLIMIT_AS, &current) != 0 || current.rlim_cur <= limit) return;
  current.rlim_cur = limit;
  setrlimit(RLIMIT_AS, &current);
}

[[noreturn]] void RunChild(const char* pdf_path, int out_fd, int result_fd) {
  // The caller's stderr stays clean whatever the parser or its libraries print.
  const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null_fd >= 0) dup2(null_fd, STDERR_FILENO);
  veskara::wpdf::SilenceParser();
  CapChildMemory();
  int code = veskara::wpdf::ConvertDocument(pdf_path, out_fd);
  if (close(out_fd) != 0 && errno != EINTR && code == kWpdfOk) code = kWpdfCannotWrite;
  const char byte = static_cast<char>(code);
  ssize_t n;
  do {
    n = write(result_fd, &byte, 1);
  } while (n < 0 && errno == EINTR);
  _exit(code);
}

// Waits for the child's result byte until `deadline_ms`. A child that dies
// without one, or is still busy at the deadline, is a failed conversion.
int AwaitChild(pid_t pid, int result_fd, long long deadline_ms) {
  int code = kWpdfConversionFailed;
  bool timed_out = false;
  for (;;) {
    const long long left = deadline_ms - NowMs();
    if (left <= 0) {
      timed_out = true;
      break;
    }
    pollfd p{result_fd, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(left > 60'000 ? 60'000 : left));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      timed_out = true;
      break;
    }
    if (r == 0) continue;
    char byte = 0;
    const ssize_t n = read(result_fd, &byte, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n == 1) code = static_cast<unsigned char>(byte);
    break;  // the byte, or the end of the pipe: the child is done or dead
  }
  if (timed_out) kill(pid, SIGKILL);
  int status = 0;
  pid_t w;
  do {
    w = waitpid(pid, &status, 0);
  } while (w < 0 && errno == EINTR);
  // A child reaped by someone else (SIGCHLD ignored) leaves only its byte.
  if (w == pid && !(WIFEXITED(status) && WEXITSTATUS(status) == code)) {
    return kWpdfConversionFailed;
  }
  if (timed_out) return kWpdfConversionFailed;
  return code;
}

int Convert(const char* pdf_path, const std::string& target) {
  off_t size = 0;
  if (const int code = CheckDocument(pdf_path, &size); code != kWpdfOk) return code;

  std::string temp_path;
  Fd out(CreateTempBeside(target, &temp_path));
  if (out.get() < 0) return kWpdfCannotWrite;

  int code = kWpdfConversionFailed;
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) == 0) {
    Fd result_read(pipe_fds[0]);
    Fd result_write(pipe_fds[1]);
    const long long limit = kBaseLimitMs + static_cast<long long>(size / (1024 * 1024)) * kMsPerMegabyte;
    const long long deadline = NowMs() + limit;
    const pid_t pid = fork();
    if (pid == 0) RunChild(pdf_path, out.get(), result_write.get());
    if (pid > 0) {
      result_write.Reset();  // so that the pipe ends when the child does
      code = AwaitChild(pid, result_read.get(), deadline);
    }
  }
  if (!out.Close() && code == kWpdfOk) code = kWpdfCannotWrite;
  if (code == kWpdfOk && rename(temp_path.c_str(), target.c_str()) != 0) code = kWpdfCannotWrite;
  if (code != kWpdfOk) unlink(temp_path.c_str());
  return code;
}

}  // namespace

extern "C" int GetText(const char* pdfPath, const char* targetPath) {
  if (pdfPath == nullptr || targetPath == nullptr || *pdfPath == '\0' || *targetPath == '\0') {
    return kWpdfBadArgument;
  }
  try {
    return Convert(pdfPath, targetPath);
  } catch (...) {
    return kWpdfConversionFailed;  // out of memory for a path string
  }
}
