#include "platform/text_file.h"

#include <utility>

#include "platform/errors.h"

namespace veskara {
namespace {

constexpr size_t kWriteBlock = 1 << 20;

}  // namespace

bool FileExists(const std::string& path, Env& env) {
  const PathKind kind = env.Stat(path).kind;
  return kind != PathKind::kMissing && kind != PathKind::kDirectory;
}

size_t CountLines(const std::string& path, Env& env) { return CountLines(env.OpenForReading(path)); }

size_t CountLines(std::unique_ptr<ReadableFile> file) {
  LineScanner scanner(std::move(file));
  const FirstBytes any_line("");
  size_t count = 0;
  std::string_view raw;
  for (;;) {
    count += scanner.SkipLines(any_line);
    if (!scanner.Next(&raw)) break;
    ++count;
  }
  scanner.Close();
  return count;
}

TextWriter::TextWriter(std::unique_ptr<WritableFile> file) : file_(std::move(file)) { buffer_.reserve(kWriteBlock); }

TextWriter TextWriter::Create(const std::string& path, Env& env) { return TextWriter(env.OpenForWriting(path)); }

TextWriter TextWriter::Append(const std::string& path, Env& env) { return TextWriter(env.OpenForAppending(path)); }

TextWriter::~TextWriter() {
  if (!file_) return;
  try {
    Flush();
  } catch (...) {
    // Errors are reported by Close(); a destructor must not throw.
  }
}

void TextWriter::Write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kWriteBlock) Flush();
  if (bytes.size() >= kWriteBlock) {
    file_->Write(bytes);
    return;
  }
  buffer_.append(bytes);
}

void TextWriter::WriteLine(std::string_view text) {
  Write(text);
  Write("\r\n");
}

void TextWriter::Flush() {
  if (buffer_.empty()) return;
  try {
    file_->Write(buffer_);
  } catch (...) {
    buffer_.clear();  // not tried again by the destructor
    throw;
  }
  buffer_.clear();
}

void TextWriter::Sync() {
  Flush();
  file_->Sync();
}

void TextWriter::Close() {
  if (!file_) return;
  std::unique_ptr<WritableFile> file = std::move(file_);
  const std::string pending = std::exchange(buffer_, std::string());
  if (!pending.empty()) file->Write(pending);
  file->Close();
}

}  // namespace veskara
