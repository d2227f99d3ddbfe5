#include "base/base_snapshot.h"

#include <cerrno>

#include "platform/errors.h"
#include "platform/strings.h"

namespace veskara {
namespace {

// A commit takes several syncs of the disk; opening two files takes a few
// system calls. Commits landing between the two opens this many times in a
// row mean a base that never rests.
constexpr int kMostAttempts = 100;

}  // namespace

BaseSnapshot::Opened BaseSnapshot::OpenOne(std::string_view name) const {
  Opened opened;
  std::unique_ptr<ReadableFile> file = OpenBaseFile(directory_, name, *env_, &opened.fault);
  opened.file = std::move(file);
  if (!opened.file) {
    switch (opened.fault.reason) {
      case BaseFileFault::Reason::kMissing:
        opened.error = ENOENT;
        break;
      case BaseFileFault::Reason::kFolder:
        opened.error = EISDIR;
        break;
      case BaseFileFault::Reason::kCannotOpen:
        opened.error = EACCES;
        break;
    }
  }
  return opened;
}

bool BaseSnapshot::StillLive(const Opened& opened) const {
  const PathInfo now = env_->Stat(BaseFilePath(directory_, opened.fault.name));
  if (opened.file) return now.kind == PathKind::kFile && now.id == opened.file->Id();
  // A missing file may be the first commit's to make; a folder in the place
  // of a file or a file that will not open is no commit's doing.
  return opened.fault.reason != BaseFileFault::Reason::kMissing || now.kind == PathKind::kMissing;
}

BaseSnapshot BaseSnapshot::Open(const std::string& base_directory, Env& env) {
  BaseSnapshot snapshot(base_directory, env);
  for (int attempt = 0; attempt < kMostAttempts; ++attempt) {
    snapshot.words_ = snapshot.OpenOne(kWordsFileName);
    snapshot.files_ = snapshot.OpenOne(kFilesFileName);
    // wrds.txt was live when it was opened and still is, so it was live when
    // fls.txt was opened, which still is too: one moment held both.
    if (snapshot.StillLive(snapshot.words_) && snapshot.StillLive(snapshot.files_)) return snapshot;
  }
  throw IoError(EAGAIN,
                "The base in " + EscapeControlBytes(base_directory) + " kept changing while it was opened; try again");
}

std::unique_ptr<ReadableFile> BaseSnapshot::Reader(std::string_view name, BaseFileFault* fault) const {
  const Opened& opened = Of(name);
  *fault = opened.fault;
  if (!opened.file) return nullptr;
  return opened.file->Duplicate();
}

std::unique_ptr<ReadableFile> BaseSnapshot::ReaderOrThrow(std::string_view name) const {
  BaseFileFault fault;
  std::unique_ptr<ReadableFile> file = Reader(name, &fault);
  if (file) return file;
  const Opened& opened = Of(name);
  if (fault.reason == BaseFileFault::Reason::kCannotOpen) throw IoError(opened.error, fault.error);
  throw IoError(opened.error);
}

}  // namespace veskara
