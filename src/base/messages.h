// The texts a person reads, in one place for both front ends: the core
// returns facts (counts, reasons, what it was doing) and these word them.
// Also the messages the core asks a front end to show, with the kind that
// decides their look: a plain dialog (caption "Veskara", no icon), a message
// box with an information or warning icon, or the general error report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/base_files.h"
#include "base/kind_choice.h"
#include "base/scan_summary.h"

namespace veskara {

enum class MessageKind {
  kPlainDialog,     // modal, one OK button, no icon, caption "Veskara"
  kInformationBox,  // information icon, caption given
  kWarningBox,      // warning icon, caption given
  kErrorReport,     // error icon, caption "Veskara"
};

struct UserMessage {
  MessageKind kind;
  std::string caption;
  std::string text;

  bool operator==(const UserMessage&) const = default;
};

inline constexpr const char* kApplicationTitle = "Veskara";

// The text of the general error report for a failure message: "." is
// appended when the last character's code is above that of ".".
std::string ErrorReportText(const std::string& message);

// Why a base file cannot be read: "Database file BASE/NAME is not found.
// You should add to base one or more directory first." for a missing file
// or a folder in its place, "Can't open file NAME" for one that will not
// open. The folder's bytes are shown with control bytes escaped.
std::string BaseFileFaultText(std::string_view base_directory, const BaseFileFault& fault);

// The message of a failure for the user: "Not enough memory to " + `doing`
// when memory ran out (std::bad_alloc says nothing a user can act on), its
// own message otherwise.
std::string FailureText(const std::exception& failure, std::string_view doing);

// The counts of the base: "N files in the base", "N words in the base".
std::string FilesCountText(size_t files);
std::string WordsCountText(size_t words);

// The text of status panel 0 for step `step` (1 to kScanSteps): "Step 2 of 4".
std::string StepText(int step);

// "N added, M updated, K removed, F could not be read".
std::string SummaryLine(const ScanSummary& summary);

// How both front ends name the documents a scan could not read: "N files
// could not be read:" (or "1 file ..."), then one line each: the path, a
// TAB, the reason, both with control bytes escaped. At most `max_listed` lines;
// "... and K more" after them. Every line ends with LF; "" for none.
std::string UnreadReport(const std::vector<UnreadDocument>& unread, size_t max_listed = SIZE_MAX);

// Why a folder is offline, as a few words: "missing", "not a folder",
// "cannot be reached", "a link loop", "cannot be read", "on another file
// system than when last scanned".
std::string OfflineReasonText(OfflineReason reason);

// A remembered folder's state as `folders` and the Base page show it:
// "online", or "offline: " and OfflineReasonText.
std::string FolderStateText(const std::optional<OfflineReason>& offline);

// The Base page's tip of an offline folder: "Offline: missing. Its 1,204
// files stay in the base until it is back or removed."
std::string OfflineFolderTip(OfflineReason reason, size_t files);

// What an update did not touch, one line each, every line ending with LF:
// "/media/stick: offline, 1,204 files kept" (the path with control bytes
// escaped, the count with thousands separators); "" for none.
std::string OfflineReport(const std::vector<OfflineFolder>& offline);

// "1 folder offline", "2 folders offline".
std::string OfflineCountText(size_t folders);

// A folder an update was asked to keep current is not there: "The folder
// /media/stick is offline (missing); nothing was updated".
std::string FolderOfflineText(std::string_view path, OfflineReason reason);

// How long between two periodic updates: "every 10 minutes", "every
// minute", "every 30 seconds".
std::string EveryText(int64_t ns);

// What a watcher watches: "Watching 2,000 folders"; when the system refused
// more watches, "Watching 8,192 folders; the system watches no more, so 2
// remembered folders are updated every 10 minutes" (`unwatched`: how many
// remembered folders are not wholly watched, `every_ns`: how often they are
// updated).
std::string WatchingText(size_t watched, size_t unwatched, int64_t every_ns);

// Why the walk left something out (UnreadDocument::reason): a folder it
// could not list, a name fls.txt cannot hold.
inline constexpr const char* kUnlistedFolderReason = "a folder that cannot be read";
inline constexpr const char* kUnfitNameReason =
    "its name holds a line break or the byte 26, which the base cannot keep";

// A relative path while the current folder cannot be read: "The current
// folder cannot be read (it may have been deleted), so the relative path
// PATH names no folder", the path with control bytes escaped.
std::string UnknownCurrentFolderText(std::string_view path);

// What a group of kinds holds, as both front ends name it: "Text and source
// code", "Office documents", "E-books", "Compressed files".
std::string KindGroupTitle(KindGroup group);

// A scan that ran out of memory in `stage`: "Not enough memory to read the
// documents; the base is unchanged".
std::string ScanOutOfMemoryText(ScanStage stage);

}  // namespace veskara
