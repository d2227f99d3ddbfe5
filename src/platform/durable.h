// What a commit needs from the operating system: an exclusive lock across
// processes, flushing files and directories to the disk, atomic renames.
//
// Every failure is thrown as IoError (the errno mapped to the user's message
// in one place, errors.cc). None of these functions keeps state, except the
// fault hook for tests.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/text_file.h"

namespace veskara {

// An exclusive advisory lock (flock) on a lock file, held until the object
// is destroyed. It also excludes a second lock taken in the same process.
// If the process dies, the operating system releases the lock.
class FileLock {
 public:
  // Creates the lock file when needed and takes the lock without waiting.
  // Returns null when another holder has it; throws IoError when the file
  // cannot be created or opened.
  static std::unique_ptr<FileLock> TryAcquire(const std::string& path);
  ~FileLock() = default;  // closing the descriptor releases the lock
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  explicit FileLock(FileHandle file) : file_(std::move(file)) {}
  FileHandle file_;
};

// Creates `path` (cut to length 0 when it exists) holding the bytes of
// `source` (nothing when `source` does not exist), then, when the copy does
// not end with LF, a CR LF, so that the next line appended to it starts a
// line of its own. The copy goes in large blocks inside the kernel. A source
// holding a Ctrl-Z is copied as the lines a LineReader reads from it, each
// ended by CR LF, so that no Ctrl-Z ends the file before what is appended.
void CopyEndingLine(const std::string& source, const std::string& path);

// Writes all of `bytes` to `path`, created or cut to length 0, and flushes it
// to the disk.
void WriteFileSynced(const std::string& path, std::string_view bytes);

// Reads the whole of a small file into *bytes; false when it does not exist.
bool ReadSmallFile(const std::string& path, std::string* bytes);

// Forces a file's bytes, or a directory's entries (names created, renamed or
// removed in it), to the disk.
void SyncFile(const std::string& path);
void SyncDirectory(const std::string& path);

// rename(2): replaces `to` atomically.
void RenameFile(const std::string& from, const std::string& to);

// Removes a file; a missing file is no error.
void UnlinkFile(const std::string& path);

// Test seam, in the manner of a fault-injecting environment: when set, the
// hook is called before each operation of this file with the operation's
// name ("lock", "copy", "write", "sync", "sync-dir", "rename", "remove") and
// the path; a non-zero result makes the operation fail with that errno. A
// hook may also end the process there, to test crashes at that point. Not
// thread-safe: set it before the code under test runs.
using DurableFaultHook = std::function<int(std::string_view operation, const std::string& path)>;
void SetDurableFaultHookForTesting(DurableFaultHook hook);

}  // namespace veskara
