// The texts both front ends show, from the facts the core returns.
#include "base/messages.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace veskara {
namespace {

TEST(MessagesTest, WordsTheFacts) {
  const std::vector<UnreadDocument> three = {{"/a.pdf", "damaged"}, {"/b\x1b.htm", "gone\x07"}, {"/c.pdf", "locked"}};
  ScanSummary summary;
  summary.added = 2;
  summary.updated = 1;
  summary.removed = 3;
  summary.unread = three;
  struct Case {
    std::string text;
    std::string expected;
  } cases[] = {
      {ScanOutOfMemoryText(ScanStage::kWalking),
       "Not enough memory to list the files of the folder; the base is unchanged"},
      {ScanOutOfMemoryText(ScanStage::kReading), "Not enough memory to read the documents; the base is unchanged"},
      {ScanOutOfMemoryText(ScanStage::kSorting), "Not enough memory to sort the words; the base is unchanged"},
      {ScanOutOfMemoryText(ScanStage::kWriting), "Not enough memory to write the base; the base is unchanged"},
      {FailureText(std::bad_alloc(), "search the base"), "Not enough memory to search the base"},
      {FailureText(std::runtime_error("Disk full"), "search the base"), "Disk full"},
      {ErrorReportText("Disk full"), "Disk full."},
      {ErrorReportText("Stopped."), "Stopped."},
      {UnreadReport({}), ""},
      {UnreadReport({three[0]}), "1 file could not be read:\n/a.pdf\tdamaged\n"},
      {UnreadReport(three, 2), "3 files could not be read:\n/a.pdf\tdamaged\n/b\\x1b.htm\tgone\\x07\n... and 1 more\n"},
      {SummaryLine(summary), "2 added, 1 updated, 3 removed, 3 could not be read"},
      {StepText(kScanSteps), "Step 4 of 4"},
      {FilesCountText(1) + ", " + WordsCountText(0), "1 files in the base, 0 words in the base"},
      {BaseFileFaultText("/b", {kWordsFileName, BaseFileFault::Reason::kCannotOpen, "denied"}),
       "Can't open file wrds.txt"},
      {BaseFileFaultText("/b\n", {kFilesFileName, BaseFileFault::Reason::kMissing, {}}),
       "Database file /b\\x0a/fls.txt is not found. You should add to base one or more directory first."},
      {OfflineReport({}), ""},
      {OfflineReport({{"/media/stick", OfflineReason::kMissing, 1204},
                      {"/a\x1b", OfflineReason::kUnreadable, 1},
                      {"/b", OfflineReason::kOtherFileSystem, 999},
                      {"/c", OfflineReason::kLinkLoop, 1234567}}),
       "/media/stick: offline, 1,204 files kept\n/a\\x1b: offline, 1 file kept\n/b: offline, 999 files kept\n"
       "/c: offline, 1,234,567 files kept\n"},
      {FolderStateText(std::nullopt) + ", " + FolderStateText(OfflineReason::kOtherFileSystem),
       "online, offline: on another file system than when last scanned"},
      {FolderOfflineText("/no/such", OfflineReason::kMissing),
       "The folder /no/such is offline (missing); nothing was updated"},
      {OfflineFolderTip(OfflineReason::kUnreachable, 1000),
       "Offline: cannot be reached. Its 1,000 files stay in the base until it is back or removed."},
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, c.expected);
}

}  // namespace
}  // namespace veskara
