#include "base/commit.h"

#include "platform/durable.h"
#include "platform/strings.h"

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

bool Exists(Env& env, const std::string& path) { return env.Stat(path, /*follow_links=*/false).kind != PathKind::kMissing; }

// fls.txt goes first: the new one holds every record of the old, so a search
// that reads the files between the two renames finds a path for every number
// of the old wrds.txt. After a crash between the renames the first temporary
// is gone already.
void RenameTemporaries(Env& env, const std::string& dir) {
  const std::string files_temp = BaseFilePath(dir, kFilesTempName);
  if (Exists(env, files_temp)) env.Rename(files_temp, FilesFilePath(dir));
  const std::string words_temp = BaseFilePath(dir, kWordsTempName);
  if (Exists(env, words_temp)) env.Rename(words_temp, WordsFilePath(dir));
  env.SyncDirectory(dir);
}

}  // namespace

std::unique_ptr<FileLock> TryLockBase(const std::string& base_directory, Env& env) {
  return env.TryLock(BaseFilePath(base_directory, kLockFileName));
}

void CommitBase(const std::string& dir, Env& env) {
  const std::string record = BaseFilePath(dir, kCommitRecordName);
  try {
    WriteFileSynced(env, record, CommitRecordText());
    // Makes the temporaries' names and the record durable before any rename.
    env.SyncDirectory(dir);
  } catch (const std::exception&) {
    // Nothing is renamed yet: the old base stays. The temporaries go only
    // once the record is gone: beside a record that may be complete, they
    // must stay whole for the next recovery to roll forward.
    bool record_removed = true;
    try {
      env.Remove(record);
    } catch (const std::exception&) {
      record_removed = false;
    }
    if (record_removed) DiscardTemporaries(dir, env);
    throw;
  }
  // From here on the new base is decided: a failed rename is rolled forward
  // by the next recovery, so the temporaries must stay.
  RenameTemporaries(env, dir);
  // The new base is in place; a record left behind by a failure here only
  // makes the next recovery remove it.
  try {
    env.Remove(record);
    env.SyncDirectory(dir);
  } catch (const std::exception&) {
  }
}

std::string RecoverBaseLocked(const std::string& dir, Env& env) {
  const std::string record = BaseFilePath(dir, kCommitRecordName);
  const std::string expected = CommitRecordText();
  std::string text;
  // Anything but a small regular file is a damaged record: never waited on
  // (a FIFO) nor read whole (a device, a huge file), and rolled back.
  const SmallFile found = ReadSmallFile(env, record, expected.size(), &text);
  const bool have_record = found != SmallFile::kMissing;
  if (found == SmallFile::kRead && text == expected) {
    RenameTemporaries(env, dir);
  } else {
    const std::string words_temp = BaseFilePath(dir, kWordsTempName);
    const std::string files_temp = BaseFilePath(dir, kFilesTempName);
    if (!have_record && !Exists(env, words_temp) && !Exists(env, files_temp)) return "";
    env.Remove(words_temp);
    env.Remove(files_temp);
    env.SyncDirectory(dir);
  }
  if (have_record) {
    env.Remove(record);
    env.SyncDirectory(dir);
  }
  if (found != SmallFile::kNotAFile && found != SmallFile::kTooLarge) return "";
  return "The commit record " + EscapeControlBytes(record) + " was damaged (" +
         (found == SmallFile::kNotAFile ? "not a regular file" : "far too large") +
         "); the interrupted scan was rolled back and the base is the one before it";
}

bool NeedsRecovery(const std::string& dir, Env& env) {
  return Exists(env, BaseFilePath(dir, kCommitRecordName)) || Exists(env, BaseFilePath(dir, kWordsTempName)) ||
         Exists(env, BaseFilePath(dir, kFilesTempName));
}

void DiscardTemporaries(const std::string& dir, Env& env) noexcept {
  for (std::string_view name : {kWordsTempName, kFilesTempName}) {
    try {
      env.Remove(BaseFilePath(dir, name));
    } catch (const std::exception&) {
    }
  }
}

}  // namespace veskara
