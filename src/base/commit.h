// Swapping a scan's new base files in, so that a crash at any moment leaves
// the whole old base or the whole new one (docs/base-format.md).
//
// A scan writes the new files under temporary names in the base directory
// and flushes them; CommitBase then writes a commit record naming them,
// renames each over its live file and removes the record. RecoverBaseLocked
// finishes a commit whose record is complete and rolls back anything else.
// The live files are only ever replaced by a rename, so a reader that has one
// open keeps reading the old base.
//
// The functions that change files take the held lock (BaseLock), so only a
// holder can call them. Failures are thrown as IoError.
#pragma once

#include <memory>
#include <string>

#include "base/base_files.h"
#include "platform/env.h"

namespace veskara {

// The base's scan lock, held while the object lives; released by the
// system if the process dies.
class BaseLock {
 public:
  ~BaseLock();
  BaseLock(const BaseLock&) = delete;
  BaseLock& operator=(const BaseLock&) = delete;
  // The base folder it locks.
  const std::string& directory() const { return directory_; }

 private:
  friend std::unique_ptr<BaseLock> TryLockBase(const std::string& base_directory, Env& env);
  BaseLock(std::string directory, std::unique_ptr<FileLock> lock);
  std::string directory_;
  std::unique_ptr<FileLock> lock_;
};

// The base's scan lock; null when another scan (in this or another process)
// holds it. Throws IoError when the lock file cannot be created.
std::unique_ptr<BaseLock> TryLockBase(const std::string& base_directory, Env& env);

// The temporaries are written and synced: makes them the live base.
// A failure before the record is on the disk removes the record and the
// temporaries and leaves the old base (when the record cannot be removed,
// the temporaries stay for the next recovery to settle); after that the new
// base is decided, and a failed rename or a crash is rolled forward by the
// next recovery.
void CommitBase(const BaseLock& held, Env& env);

// Finishes an interrupted commit (the record is complete) or removes what a
// scan left behind (temporaries, a torn or damaged record). Does nothing,
// and touches no file, in a clean base. Returns a note for the user when the
// record was damaged (not a regular file, or far too large to be one), ""
// otherwise.
std::string RecoverBaseLocked(const BaseLock& held, Env& env);

// True when the base directory holds a commit record or a temporary.
bool NeedsRecovery(const std::string& base_directory, Env& env);

// Removes the temporaries of a scan that did not commit; never throws.
void DiscardTemporaries(const BaseLock& held, Env& env) noexcept;

}  // namespace veskara
