#include "base/commit.h"

#include <sys/stat.h>

#include "platform/paths.h"

namespace veskara {
namespace {

// The record names each temporary and the live file it replaces. It is
// trusted only when it is exactly this text: a record cut short by a crash
// while it was written does not match, and the commit is rolled back.
std::string CommitRecordText() {
  std::string text = "VESKARA COMMIT 1\r\n";
  for (std::string_view name : {kWordsTempName, kWordsFileName, kFilesTempName, kFilesFileName}) {
    text.append(name);
    text.append("\r\n");
  }
  text.append("END\r\n");
  return text;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// fls.txt goes first: the new one holds every record of the old, so a search
// that reads the files between the two renames finds a path for every number
// of the old wrds.txt. After a crash between the renames the first temporary
// is gone already.
void RenameTemporaries(const std::string& dir) {
  const std::string files_temp = BaseFilePath(dir, kFilesTempName);
  if (Exists(files_temp)) RenameFile(files_temp, FilesFilePath(dir));
  const std::string words_temp = BaseFilePath(dir, kWordsTempName);
  if (Exists(words_temp)) RenameFile(words_temp, WordsFilePath(dir));
  SyncDirectory(dir);
}

}  // namespace

std::string BaseFilePath(std::string_view base_directory, std::string_view name) {
  std::string path(base_directory);
  path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

std::unique_ptr<FileLock> TryLockBase(const std::string& base_directory) {
  return FileLock::TryAcquire(BaseFilePath(base_directory, kLockFileName));
}

void CommitBase(const std::string& dir) {
  const std::string record = BaseFilePath(dir, kCommitRecordName);
  try {
    WriteFileSynced(record, CommitRecordText());
    // Makes the temporaries' names and the record durable before any rename.
    SyncDirectory(dir);
  } catch (const std::exception&) {
    // Nothing is renamed yet: the old base stays. The temporaries go only
    // once the record is gone: beside a record that may be complete, they
    // must stay whole for the next recovery to roll forward.
    bool record_removed = true;
    try {
      UnlinkFile(record);
    } catch (const std::exception&) {
      record_removed = false;
    }
    if (record_removed) DiscardTemporaries(dir);
    throw;
  }
  // From here on the new base is decided: a failed rename is rolled forward
  // by the next recovery, so the temporaries must stay.
  RenameTemporaries(dir);
  // The new base is in place; a record left behind by a failure here only
  // makes the next recovery remove it.
  try {
    UnlinkFile(record);
    SyncDirectory(dir);
  } catch (const std::exception&) {
  }
}

void RecoverBaseLocked(const std::string& dir) {
  const std::string record = BaseFilePath(dir, kCommitRecordName);
  std::string text;
  const bool have_record = ReadSmallFile(record, &text);
  if (have_record && text == CommitRecordText()) {
    RenameTemporaries(dir);
  } else {
    const std::string words_temp = BaseFilePath(dir, kWordsTempName);
    const std::string files_temp = BaseFilePath(dir, kFilesTempName);
    if (!have_record && !Exists(words_temp) && !Exists(files_temp)) return;
    UnlinkFile(words_temp);
    UnlinkFile(files_temp);
    SyncDirectory(dir);
  }
  if (have_record) {
    UnlinkFile(record);
    SyncDirectory(dir);
  }
}

bool NeedsRecovery(const std::string& dir) {
  return Exists(BaseFilePath(dir, kCommitRecordName)) || Exists(BaseFilePath(dir, kWordsTempName)) ||
         Exists(BaseFilePath(dir, kFilesTempName));
}

void DiscardTemporaries(const std::string& dir) noexcept {
  try {
    UnlinkFile(BaseFilePath(dir, kWordsTempName));
  } catch (const std::exception&) {
  }
  try {
    UnlinkFile(BaseFilePath(dir, kFilesTempName));
  } catch (const std::exception&) {
  }
}

}  // namespace veskara
