#include "platform/durable.h"

#include <cstring>
#include <memory>
#include <vector>

#include "platform/errors.h"
#include "platform/text_file.h"

namespace veskara {
namespace {

constexpr size_t kCopyBlock = size_t{1} << 20;

}  // namespace

void CopyEndingLine(Env& env, const std::string& source, const std::string& path) {
  std::unique_ptr<WritableFile> out = env.OpenForWriting(path);
  if (env.Stat(source).kind == PathKind::kMissing) {
    out->Close();
    return;
  }
  std::unique_ptr<ReadableFile> in = env.OpenForReading(source);
  std::vector<char> buffer(kCopyBlock);
  std::string copied;  // what was read, kept only while no Ctrl-Z is seen
  // Blocks go out as they come; a Ctrl-Z may end the file for every reader,
  // so lines appended after it would be lost to them: then (rarely) the
  // copy starts again as the lines a reader sees.
  bool ctrl_z = false;
  char last = '\n';
  uint64_t written = 0;
  for (;;) {
    const size_t n = in->Read(buffer.data(), buffer.size());
    if (n == 0) break;
    if (std::memchr(buffer.data(), 26, n) != nullptr) {
      ctrl_z = true;
      break;
    }
    out->Write(std::string_view(buffer.data(), n));
    written += n;
    last = buffer[n - 1];
  }
  in->Close();
  if (ctrl_z) {
    out = env.OpenForWriting(path);
    LineReader reader(source, env);
    std::string block;
    std::string_view line;
    while (reader.ReadLine(&line)) {
      block.append(line).append("\r\n");
      if (block.size() >= kCopyBlock) {
        out->Write(block);
        block.clear();
      }
    }
    reader.Close();
    out->Write(block);
  } else if (written > 0 && last != '\n') {
    out->Write("\r\n");
  }
  out->Close();
}

void WriteFileSynced(Env& env, const std::string& path, std::string_view bytes) {
  std::unique_ptr<WritableFile> out = env.OpenForWriting(path);
  out->Write(bytes);
  out->Sync();
  out->Close();
}

SmallFile ReadSmallFile(Env& env, const std::string& path, size_t max_bytes, std::string* bytes) {
  bytes->clear();
  const PathInfo info = env.Stat(path, /*follow_links=*/true);
  if (info.kind == PathKind::kMissing) {
    // A broken link is nothing to read either, but it is there.
    return env.Stat(path, /*follow_links=*/false).kind == PathKind::kMissing ? SmallFile::kMissing
                                                                             : SmallFile::kNotAFile;
  }
  if (info.kind != PathKind::kFile) return SmallFile::kNotAFile;
  std::unique_ptr<ReadableFile> in = env.OpenForReading(path);
  bytes->resize(max_bytes + 1);
  size_t got = 0;
  while (got < bytes->size()) {
    const size_t n = in->Read(bytes->data() + got, bytes->size() - got);
    if (n == 0) break;
    got += n;
  }
  in->Close();
  bytes->resize(got);
  return got > max_bytes ? SmallFile::kTooLarge : SmallFile::kRead;
}

}  // namespace veskara
