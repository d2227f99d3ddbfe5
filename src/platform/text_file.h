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

#include "platform/env.h"
#include "platform/line_scanner.h"

namespace veskara {

// True when `path` names an existing file system entry that is not a
// folder (links are followed): a file, in the program's sense.
bool FileExists(const std::string& path, Env& env);

// Streams the lines of a file, read in large blocks up to the size the file
// had when it was opened. Memory use is the buffer plus the longest line.
class LineReader {
 public:
  explicit LineReader(std::unique_ptr<ReadableFile> file) : scanner_(std::move(file)) {}
  // Opens `path` for reading (IoError when that fails).
  explicit LineReader(const std::string& path, Env& env) : scanner_(env, path) {}

  // See LineScanner::LimitLineLength.
  void LimitLineLength(size_t most) { scanner_.LimitLineLength(most); }

  // Reads the next line into *line. The view stays valid until the next
  // call. Returns false at the end of the file.
  bool ReadLine(std::string_view* line) {
    std::string_view raw;
    if (!scanner_.Next(&raw)) return false;
    *line = LineText(raw, clean_);
    return true;
  }

  // Closes the file; read errors were already thrown by ReadLine.
  void Close() { scanner_.Close(); }

 private:
  LineScanner scanner_;
  std::string clean_;  // a line with its CRs removed
};

// Counts the lines of a file with the line rules above.
size_t CountLines(const std::string& path, Env& env);
size_t CountLines(std::unique_ptr<ReadableFile> file);

// A buffered writer of text lines.
class TextWriter {
 public:
  // Creates the file or cuts it to length 0.
  static TextWriter Create(const std::string& path, Env& env);
  // Opens an existing file for appending.
  static TextWriter Append(const std::string& path, Env& env);

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
  // Flush() and force everything written to the disk.
  void Sync();
  // Flush() and close; throws IoError on any failure.
  void Close();

 private:
  explicit TextWriter(std::unique_ptr<WritableFile> file);

  std::unique_ptr<WritableFile> file_;
  std::string buffer_;
};

}  // namespace veskara
