// What a scan of the base does and did, as facts: the front ends word them
// through base/messages.h.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/folder_presence.h"

namespace veskara {

// A scan's steps, shown one after the other: walk, read, sort, write.
inline constexpr int kScanSteps = 4;

// What a scan is doing, for the message when memory runs out in it.
enum class ScanStage { kWalking, kReading, kSorting, kWriting };

// A document the scan recorded without words because it could not be read.
struct UnreadDocument {
  std::string path;
  std::string reason;
  bool operator==(const UnreadDocument&) const = default;
};

// A remembered folder an update left as it was, because it was offline.
struct OfflineFolder {
  std::string path;
  OfflineReason reason = OfflineReason::kMissing;
  size_t files_kept = 0;  // files of the base at or under it
  bool operator==(const OfflineFolder&) const = default;
};

// What a finished scan did.
struct ScanSummary {
  std::string recovery_note;  // RecoverBaseLocked's note at Prepare
  size_t added = 0;           // files recorded that were not in the base
  size_t updated = 0;         // files dropped as changed and read again (one that could not be read is unread only)
  size_t removed = 0;         // files dropped and not recorded again
  // The folders the walk could not read or enter, and the names it could
  // not record, in walk order; then the documents that could not be read,
  // in candidate order.
  std::vector<UnreadDocument> unread;
  std::vector<OfflineFolder> offline;  // in the order remembered
  bool written = false;                // false: nothing had changed, nothing was written
};

}  // namespace veskara
