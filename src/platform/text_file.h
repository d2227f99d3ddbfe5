// Text files as the whole program reads and writes them.
//
// Lines: a line ends at LF; a CR directly before the LF belongs to the line
// end; any other CR is dropped and the line goes on; a byte 26 (Ctrl-Z) ends
// the text of its line and the rest of that line is skipped; a Ctrl-Z at the
// start of a line, or a second one in the skipped rest, ends the file; a last
// line without a line end is still a line. Lines have no length limit.
// Every line written ends with CR LF.
//
// All failures are thrown as IoError. None of these classes is thread-safe;
// use one object per thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace veskara {

// True when `path` names an existing file system entry that is not a
// directory (symbolic links are followed).
bool FileExists(const std::string& path);

// A file descriptor that closes itself.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int fd) : fd_(fd) {}
  FileHandle(FileHandle&& other) noexcept : fd_(other.Release()) {}
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle();

  int fd() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release();
  // Closes the descriptor; throws IoError when close reports an error.
  void Close();

 private:
  int fd_ = -1;
};

// Opens an existing file for reading. Never blocks on a FIFO: a FIFO, socket
// or device is refused like a directory, with an IoError.
FileHandle OpenForReading(const std::string& path);

// Streams the lines of a file with buffered block reads. Memory use is the
// buffer plus the longest line.
class LineReader {
 public:
  explicit LineReader(FileHandle file);
  // Opens `path` for reading (IoError when that fails).
  explicit LineReader(const std::string& path);

  // Reads the next line into *line. The view stays valid until the next
  // call. Returns false at the end of the file.
  bool ReadLine(std::string_view* line);

  // Closes the file; read errors were already thrown by ReadLine.
  void Close() { file_.Close(); }

 private:
  bool Fill();
  std::string_view Finish(std::string_view raw);

  FileHandle file_;
  std::unique_ptr<char[]> buffer_;  // left uninitialised: readers are made per file
  size_t capacity_ = 0;
  size_t pos_ = 0;
  size_t end_ = 0;
  bool at_eof_ = false;    // no more bytes in the file
  bool finished_ = false;  // a Ctrl-Z or the end of the file was reached
  std::string carry_;      // a line that spans buffer refills
  std::string clean_;      // a line with its CRs removed
};

// Counts the lines of a file with the line rules above.
size_t CountLines(const std::string& path);

// A buffered writer of text lines.
class TextWriter {
 public:
  // Creates the file or cuts it to length 0.
  static TextWriter Create(const std::string& path);
  // Opens an existing file for appending.
  static TextWriter Append(const std::string& path);

  TextWriter(TextWriter&&) noexcept = default;
  TextWriter& operator=(TextWriter&&) noexcept = default;
  // Closes without reporting errors; call Close() to see them.
  ~TextWriter();

  // Writes `text` followed by CR LF.
  void WriteLine(std::string_view text);
  // Writes bytes as they stand.
  void Write(std::string_view bytes);
  // Hands the buffered bytes to the operating system.
  void Flush();
  // Flush() and close; throws IoError on any failure.
  void Close();

 private:
  explicit TextWriter(FileHandle file);

  FileHandle file_;
  std::string buffer_;
};

}  // namespace veskara
