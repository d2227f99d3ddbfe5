// Env: the one boundary between the program and the operating system.
//
// Everything above the platform layer that touches files, folders, locks or
// the process's surroundings does it through an Env, so that tests can swap
// in the tests' FaultInjectionEnv (tests/fault_env.h) and make any call fail or end the
// process at a chosen point. Env::Default() is the real system.
//
// Every failure is thrown as IoError (errors.h), whose message is the one
// the user sees. Env implementations are safe for concurrent use from
// several threads; the file objects they return are not (one per thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veskara {

// Identifies a file or folder on this machine (device and inode).
class FolderWatch;  // platform/folder_watch.h

struct FileId {
  uint64_t device = 0;
  uint64_t inode = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
  friend auto operator<=>(const FileId&, const FileId&) = default;
};

enum class PathKind {
  kMissing,    // nothing there, or not reachable (a broken link, a denied folder on the way)
  kFile,       // a regular file
  kDirectory,  // a folder
  kOther,      // a FIFO, socket or device
};

// Why a path is kMissing: whether anything is known not to be there.
enum class MissingReason {
  kNotThere,  // nothing by that name, or a part of the way is no folder
  kDenied,    // a folder on the way may not be searched
  kLinkLoop,  // the way goes round through links
  kFailed,    // any other failure to look (an I/O error, a name too long)
};

// What is at a path. size, mtime_ns and id are meaningful unless kMissing;
// `missing` only when kMissing.
struct PathInfo {
  PathKind kind = PathKind::kMissing;
  uint64_t size = 0;
  int64_t mtime_ns = 0;  // modification time, nanoseconds since the epoch
  FileId id{};
  MissingReason missing = MissingReason::kNotThere;

  // True when nothing is there for certain: not merely out of reach.
  bool Gone() const { return kind == PathKind::kMissing && missing == MissingReason::kNotThere; }
};

struct DirectoryEntry {
  std::string name;
  // True when the entry is a folder or a link that resolves to one.
  bool is_directory = false;
  // The resolved folder's identity; meaningful only when is_directory.
  FileId id;
};

// A file open for reading, from its start.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads up to `size` bytes into `data`; returns how many, 0 only at the
  // end of the file.
  virtual size_t Read(char* data, size_t size) = 0;
  // The file's size when it was opened.
  virtual uint64_t SizeWhenOpened() const = 0;
  // Which file was opened: what its path names now may be another one.
  virtual FileId Id() const = 0;
  // Another reader of the same file, from its start, whatever its path
  // names by now; the two read independently.
  virtual std::unique_ptr<ReadableFile> Duplicate() = 0;
  // Closes; reports a failed close. The destructor closes quietly.
  virtual void Close() = 0;
};

// A file open for writing. Writes are not buffered here (TextWriter buffers).
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Writes all of `bytes`.
  virtual void Write(std::string_view bytes) = 0;
  // Forces what was written to the disk.
  virtual void Sync() = 0;
  // Closes; reports a failed close. The destructor closes quietly.
  virtual void Close() = 0;
};

// An exclusive lock across processes, held until the object is destroyed;
// released by the system if the process dies.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// Who owns a folder, and its permission bits (0700 for a private one).
struct Ownership {
  uint32_t user = 0;
  unsigned mode = 0;
};

// A folder held open. Names are looked up in the folder it was opened on,
// never through a link put in its place or in place of a name inside it, so
// a folder that another user can write to cannot redirect what is removed.
// One object per thread.
class DirectoryHandle {
 public:
  virtual ~DirectoryHandle() = default;
  // The path it was opened by (for messages and traces only).
  virtual const std::string& path() const = 0;
  // The owner and permission bits of the folder itself.
  virtual Ownership Owner() = 0;
  // Appends the entries, without "." and ".."; is_directory only for a real
  // folder (a link is never followed). False, leaving *entries as it was,
  // when the folder cannot be read to its end.
  virtual bool List(std::vector<DirectoryEntry>* entries) = 0;
  // The folder `name` in this one; null when it is missing, not a folder,
  // or a link.
  virtual std::unique_ptr<DirectoryHandle> OpenChild(const std::string& name) = 0;
  // Removes the file or link `name` (a link itself, not what it leads to),
  // or with `folder` the empty folder `name`. A missing name is no error.
  virtual void RemoveChild(const std::string& name, bool folder) = 0;
  // Takes an exclusive lock on this folder without waiting, held until the
  // handle is destroyed; false when another holder has it. Child processes
  // started meanwhile share it.
  virtual bool TryLock() = 0;
};

class Env {
 public:
  virtual ~Env() = default;

  // The real operating system; lives for the whole process.
  static Env& Default();

  // An existing regular file, for reading. Never blocks: a FIFO, socket or
  // device is refused ("File access denied"), a folder too ("File access
  // denied", with the code EISDIR).
  virtual std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) = 0;
  // A file created, or cut to length 0, for writing; a new one gets mode
  // 0600: every file the program writes belongs to a base, private to its
  // user wherever the base lives.
  virtual std::unique_ptr<WritableFile> OpenForWriting(const std::string& path) = 0;
  // An existing file, for appending.
  virtual std::unique_ptr<WritableFile> OpenForAppending(const std::string& path) = 0;

  // Appends the entries of the folder `path` ("" is the current folder) to
  // *entries, without "." and "..", in the order the system gives them.
  // Returns false, leaving *entries as it was, when the folder cannot be
  // opened or read to its end. Never throws for such a folder.
  virtual bool ListDirectory(const std::string& path, std::vector<DirectoryEntry>* entries) = 0;

  // What is at `path` ("" is the current folder). Links are followed unless
  // `follow_links` is false, in which case a link itself is kOther. Never
  // throws: anything that cannot be reached is kMissing, with the reason.
  virtual PathInfo Stat(const std::string& path, bool follow_links = true) = 0;

  // rename(2): replaces `to` atomically.
  virtual void Rename(const std::string& from, const std::string& to) = 0;
  // Removes a file, a link or an empty folder. A missing path is no error.
  virtual void Remove(const std::string& path) = 0;
  // Forces a folder's entries (names created, renamed or removed in it) to
  // the disk. A file system that cannot sync folders is no error.
  virtual void SyncDirectory(const std::string& path) = 0;
  // Creates the folder `path` and any missing parents; the last one gets
  // `mode`, the parents 0755 (before umask). An existing folder is no error.
  virtual void CreateDirectories(const std::string& path, unsigned mode) = 0;
  // A new folder under `parent` named `prefix` + a unique suffix, mode 0700,
  // that no other process can have made; returns its path.
  virtual std::string MakePrivateDirectory(const std::string& parent, std::string_view prefix) = 0;

  // The folder `path` held open (see DirectoryHandle); null when it is
  // missing or not a folder, or when `path` itself is a link (links on the
  // way to it are followed).
  virtual std::unique_ptr<DirectoryHandle> OpenDirectory(const std::string& path) = 0;

  // A new watch of folders' changes (platform/folder_watch.h). Throws
  // IoError when the system can make no more.
  virtual std::unique_ptr<FolderWatch> WatchFolders() = 0;

  // Takes the lock on the file `path` (created when missing, mode 0600) without
  // waiting; null when another holder has it (in this or another process).
  virtual std::unique_ptr<FileLock> TryLock(const std::string& path) = 0;

  // The current folder, or "" when it cannot be read.
  virtual std::string CurrentDirectory() = 0;
  // The running executable's full path, or "" when it cannot be read.
  virtual std::string ExecutablePath() = 0;
  // An environment variable; no value when unset.
  virtual std::optional<std::string> Variable(const std::string& name) = 0;
  // The time of day, nanoseconds since the epoch.
  virtual int64_t Now() = 0;
  // The user this process acts as (its effective user id).
  virtual uint32_t UserId() = 0;
};

}  // namespace veskara
