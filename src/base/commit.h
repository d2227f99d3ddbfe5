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
// All functions expect the caller to hold the base's lock (LockBase).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/durable.h"

namespace veskara {

inline constexpr std::string_view kLockFileName = "veskara.lock";
inline constexpr std::string_view kWordsTempName = "wrds.txt.new";
inline constexpr std::string_view kFilesTempName = "fls.txt.new";
inline constexpr std::string_view kCommitRecordName = "commit.txt";

// base_directory + "/" + name.
std::string BaseFilePath(std::string_view base_directory, std::string_view name);

// The base's scan lock; null when another scan (in this or another process)
// holds it. Throws IoError when the lock file cannot be created.
std::unique_ptr<FileLock> TryLockBase(const std::string& base_directory);

// The temporaries are written and synced: makes them the live base.
// A failure before the record is on the disk removes the record and the
// temporaries and leaves the old base (when the record cannot be removed,
// the temporaries stay for the next recovery to settle); after that the new base is decided, and a failed
// rename or a crash is rolled forward by the next recovery.
void CommitBase(const std::string& base_directory);

// Finishes an interrupted commit (the record is complete) or removes what a
// scan left behind (temporaries, a torn record). Does nothing, and touches
// no file, in a clean base.
void RecoverBaseLocked(const std::string& base_directory);

// True when the base directory holds a commit record or a temporary.
bool NeedsRecovery(const std::string& base_directory);

// Removes the temporaries of a scan that did not commit; never throws.
void DiscardTemporaries(const std::string& base_directory) noexcept;

}  // namespace veskara
