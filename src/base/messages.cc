#include "base/messages.h"

#include <algorithm>
#include <new>

#include "platform/strings.h"

namespace veskara {
namespace {

std::string NotEnoughMemoryText(std::string_view doing) { return "Not enough memory to " + std::string(doing); }

// 1204 as "1,204".
std::string GroupedNumber(size_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
  return digits;
}

}  // namespace

std::string ErrorReportText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

std::string BaseFileFaultText(std::string_view base_directory, const BaseFileFault& fault) {
  switch (fault.reason) {
    case BaseFileFault::Reason::kMissing:
    case BaseFileFault::Reason::kFolder:
      break;
    case BaseFileFault::Reason::kCannotOpen:
      return "Can't open file " + std::string(fault.name);
  }
  return "Database file " + EscapeControlBytes(BaseFilePath(base_directory, fault.name)) +
         " is not found. You should add to base one or more directory first.";
}

std::string FailureText(const std::exception& failure, std::string_view doing) {
  if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) return NotEnoughMemoryText(doing);
  return failure.what();
}

std::string FilesCountText(size_t files) { return std::to_string(files) + " files in the base"; }

std::string WordsCountText(size_t words) { return std::to_string(words) + " words in the base"; }

std::string StepText(int step) { return "Step " + std::to_string(step) + " of " + std::to_string(kScanSteps); }

std::string SummaryLine(const ScanSummary& summary) {
  return std::to_string(summary.added) + " added, " + std::to_string(summary.updated) + " updated, " +
         std::to_string(summary.removed) + " removed, " + std::to_string(summary.unread.size()) + " could not be read";
}

std::string UnreadReport(const std::vector<UnreadDocument>& unread, size_t max_listed) {
  if (unread.empty()) return "";
  std::string report =
      std::to_string(unread.size()) + (unread.size() == 1 ? " file" : " files") + " could not be read:\n";
  const size_t listed = std::min(max_listed, unread.size());
  for (size_t i = 0; i < listed; ++i) {
    report += EscapeControlBytes(unread[i].path) + "\t" + EscapeControlBytes(unread[i].reason) + "\n";
  }
  if (listed < unread.size()) report += "... and " + std::to_string(unread.size() - listed) + " more\n";
  return report;
}

std::string OfflineReasonText(OfflineReason reason) {
  switch (reason) {
    case OfflineReason::kMissing:
      return "missing";
    case OfflineReason::kNotAFolder:
      return "not a folder";
    case OfflineReason::kUnreachable:
      return "cannot be reached";
    case OfflineReason::kLinkLoop:
      return "a link loop";
    case OfflineReason::kUnreadable:
      return "cannot be read";
    case OfflineReason::kOtherFileSystem:
      break;
  }
  return "on another file system than when last scanned";
}

std::string FolderStateText(const std::optional<OfflineReason>& offline) {
  return offline ? "offline: " + OfflineReasonText(*offline) : "online";
}

std::string OfflineFolderTip(OfflineReason reason, size_t files) {
  return "Offline: " + OfflineReasonText(reason) + ". " +
         (files == 1 ? "Its one file stays" : "Its " + GroupedNumber(files) + " files stay") +
         " in the base until it is back or removed.";
}

std::string OfflineReport(const std::vector<OfflineFolder>& offline) {
  std::string report;
  for (const OfflineFolder& folder : offline) {
    report += EscapeControlBytes(folder.path) + ": offline, " + GroupedNumber(folder.files_kept) +
              (folder.files_kept == 1 ? " file kept\n" : " files kept\n");
  }
  return report;
}

std::string OfflineCountText(size_t folders) {
  return std::to_string(folders) + (folders == 1 ? " folder offline" : " folders offline");
}

std::string FolderOfflineText(std::string_view path, OfflineReason reason) {
  return "The folder " + EscapeControlBytes(path) + " is offline (" + OfflineReasonText(reason) +
         "); nothing was updated";
}

std::string EveryText(int64_t ns) {
  constexpr int64_t kSecond = 1'000'000'000;
  const int64_t seconds = std::max<int64_t>(1, ns / kSecond);
  if (seconds % 60 != 0) return seconds == 1 ? "every second" : "every " + std::to_string(seconds) + " seconds";
  const int64_t minutes = seconds / 60;
  return minutes == 1 ? "every minute" : "every " + std::to_string(minutes) + " minutes";
}

std::string WatchingText(size_t watched, size_t unwatched, int64_t every_ns) {
  std::string text = "Watching " + GroupedNumber(watched) + (watched == 1 ? " folder" : " folders");
  if (unwatched == 0) return text;
  return text + "; the system watches no more, so " + GroupedNumber(unwatched) +
         (unwatched == 1 ? " remembered folder is" : " remembered folders are") + " updated " + EveryText(every_ns);
}

std::string UnknownCurrentFolderText(std::string_view path) {
  return "The current folder cannot be read (it may have been deleted), so the relative path " +
         EscapeControlBytes(path) + " names no folder";
}

std::string KindGroupTitle(KindGroup group) {
  switch (group) {
    case KindGroup::kText:
      return "Text and source code";
    case KindGroup::kOffice:
      return "Office documents";
    case KindGroup::kEbook:
      return "E-books";
    case KindGroup::kCompressed:
      return "Compressed files";
  }
  return "";
}

std::string ScanOutOfMemoryText(ScanStage stage) {
  const char* doing = "";
  switch (stage) {
    case ScanStage::kWalking:
      doing = "list the files of the folder";
      break;
    case ScanStage::kReading:
      doing = "read the documents";
      break;
    case ScanStage::kSorting:
      doing = "sort the words";
      break;
    case ScanStage::kWriting:
      doing = "write the base";
      break;
  }
  return NotEnoughMemoryText(doing) + "; the base is unchanged";
}

}  // namespace veskara
