#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/errors.h"

namespace veskara {
namespace {

constexpr size_t kReadBlock = 1 << 20;
constexpr size_t kWriteBlock = 1 << 20;
constexpr char kCtrlZ = 26;

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

FileHandle::~FileHandle() {
  if (fd_ >= 0) ::close(fd_);
}

int FileHandle::Release() { return std::exchange(fd_, -1); }

void FileHandle::Close() {
  if (fd_ < 0) return;
  int fd = Release();
  if (::close(fd) != 0 && errno != EINTR) ThrowLastIoError();
}

FileHandle OpenForReading(const std::string& path) {
  // O_NONBLOCK keeps a FIFO from blocking the open; it is refused below.
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.valid()) ThrowLastIoError();
  struct stat st;
  if (::fstat(file.fd(), &st) != 0) ThrowLastIoError();
  // Like a folder, a FIFO, socket or device is no text file to read.
  if (!S_ISREG(st.st_mode)) throw IoError(S_ISDIR(st.st_mode) ? EISDIR : EACCES);
  return file;
}

LineReader::LineReader(FileHandle file) : file_(std::move(file)) {
  // Small files get a small buffer: one read, and no megabyte per file.
  struct stat st;
  capacity_ = kReadBlock;
  if (::fstat(file_.fd(), &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) < kReadBlock) {
    capacity_ = std::max<size_t>(static_cast<size_t>(st.st_size) + 1, 4096);
  }
  buffer_.reset(new char[capacity_]);
}

LineReader::LineReader(const std::string& path) : LineReader(OpenForReading(path)) {}

bool LineReader::Fill() {
  if (at_eof_) return false;
  pos_ = 0;
  end_ = 0;
  for (;;) {
    ssize_t n = ::read(file_.fd(), buffer_.get(), capacity_);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowLastIoError();
    }
    if (n == 0) {
      at_eof_ = true;
      return false;
    }
    end_ = static_cast<size_t>(n);
    return true;
  }
}

// Applies the CR and Ctrl-Z rules to the raw bytes of one line (without its LF).
std::string_view LineReader::Finish(std::string_view raw) {
  if (const void* z = std::memchr(raw.data(), kCtrlZ, raw.size())) {
    size_t at = static_cast<const char*>(z) - raw.data();
    std::string_view rest = raw.substr(at + 1);
    if (std::memchr(rest.data(), kCtrlZ, rest.size()) != nullptr) finished_ = true;
    raw = raw.substr(0, at);
  }
  const void* cr = std::memchr(raw.data(), '\r', raw.size());
  if (cr == nullptr) return raw;
  // The usual CR LF line: its only CR is the last byte.
  if (static_cast<const char*>(cr) == raw.data() + raw.size() - 1) return raw.substr(0, raw.size() - 1);
  clean_.clear();
  for (char c : raw) {
    if (c != '\r') clean_.push_back(c);
  }
  return clean_;
}

bool LineReader::ReadLine(std::string_view* line) {
  if (finished_) return false;
  carry_.clear();
  bool has_bytes = false;
  for (;;) {
    if (pos_ == end_ && !Fill()) {
      if (!has_bytes) {
        finished_ = true;
        return false;
      }
      finished_ = true;
      break;
    }
    const char* start = buffer_.get() + pos_;
    size_t avail = end_ - pos_;
    // A Ctrl-Z that opens a line ends the file; CRs before it are dropped, so
    // it still opens the line then.
    if (carry_.find_first_not_of('\r') == std::string::npos) {
      size_t i = 0;
      while (i < avail && start[i] == '\r') ++i;
      if (i < avail && start[i] == kCtrlZ) {
        finished_ = true;
        return false;
      }
    }
    if (const void* lf = std::memchr(start, '\n', avail)) {
      size_t len = static_cast<const char*>(lf) - start;
      pos_ += len + 1;
      if (carry_.empty()) {
        *line = Finish(std::string_view(start, len));
        return true;
      }
      carry_.append(start, len);
      break;
    }
    carry_.append(start, avail);
    has_bytes = true;
    pos_ = end_;
  }
  *line = Finish(carry_);
  return true;
}

size_t CountLines(const std::string& path) {
  LineReader reader(path);
  size_t count = 0;
  std::string_view line;
  while (reader.ReadLine(&line)) ++count;
  reader.Close();
  return count;
}

TextWriter::TextWriter(FileHandle file) : file_(std::move(file)) { buffer_.reserve(kWriteBlock); }

TextWriter TextWriter::Create(const std::string& path) {
  FileHandle file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!file.valid()) ThrowLastIoError();
  return TextWriter(std::move(file));
}

TextWriter TextWriter::Append(const std::string& path) {
  FileHandle file(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
  if (!file.valid()) ThrowLastIoError();
  return TextWriter(std::move(file));
}

TextWriter::~TextWriter() {
  if (!file_.valid()) return;
  try {
    Flush();
  } catch (...) {
    // Errors are reported by Close(); a destructor must not throw.
  }
}

void TextWriter::Write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kWriteBlock) Flush();
  if (bytes.size() >= kWriteBlock) {
    buffer_.assign(bytes);
    Flush();
    return;
  }
  buffer_.append(bytes);
}

void TextWriter::WriteLine(std::string_view text) {
  Write(text);
  Write("\r\n");
}

void TextWriter::Flush() {
  const char* data = buffer_.data();
  size_t left = buffer_.size();
  while (left > 0) {
    ssize_t n = ::write(file_.fd(), data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      buffer_.clear();
      throw IoError(err);
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  buffer_.clear();
}

void TextWriter::Close() {
  if (!file_.valid()) return;
  try {
    Flush();
  } catch (...) {
    FileHandle drop(file_.Release());
    throw;
  }
  file_.Close();
}

}  // namespace veskara
