#include "base/commit.h"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "platform/durable.h"
#include "platform/strings.h"

namespace veskara {
namespace {

constexpr std::string_view kRecordHeader = "VESKARA COMMIT 1\r\n";
constexpr std::string_view kRecordEnd = "END\r\n";

// The record names each temporary and the live file it replaces, in the
// order of kCommittedFiles. It is trusted only when it is exactly the record
// of some set of committed files: a record cut short by a crash while it
// was written matches none, and the commit is rolled back; a crafted one
// can name no other file.
std::string CommitRecordText(const std::vector<CommittedFile>& files) {
  std::string text(kRecordHeader);
  for (const CommittedFile& file : files) {
    text.append(file.temporary).append("\r\n").append(file.live).append("\r\n");
  }
  text.append(kRecordEnd);
  return text;
}

// The longest record there can be.
size_t LargestRecordSize() {
  return CommitRecordText(std::vector<CommittedFile>(std::begin(kCommittedFiles), std::end(kCommittedFiles))).size();
}

// The files a record names, when it is a record; nothing otherwise.
std::optional<std::vector<CommittedFile>> ParseRecord(std::string_view text) {
  if (!text.starts_with(kRecordHeader)) return std::nullopt;
  std::vector<CommittedFile> named;
  size_t at = kRecordHeader.size();
  for (const CommittedFile& file : kCommittedFiles) {
    const std::string pair = std::string(file.temporary) + "\r\n" + std::string(file.live) + "\r\n";
    if (text.compare(at, pair.size(), pair) == 0) {
      named.push_back(file);
      at += pair.size();
    }
  }
  if (named.empty() || text.substr(at) != kRecordEnd) return std::nullopt;
  return named;
}

bool Exists(Env& env, const std::string& path) {
  return env.Stat(path, /*follow_links=*/false).kind != PathKind::kMissing;
}

// A search reads wrds.txt, then looks numbers up in fls.txt: at every
// moment fls.txt must hold a record for every number of wrds.txt. A commit
// that only adds renames the new fls.txt (the old one plus the new records)
// first, then wrds.txt. A commit that drops records renames the interim
// fls.txt (the old one plus the new records, the dropped ones still in it)
// first, then wrds.txt, then the new fls.txt. What the base remembers goes
// last. After a crash between the renames, those done already are gone.
void RenameTemporaries(Env& env, const std::string& dir, const std::vector<CommittedFile>& files) {
  static constexpr std::string_view kAdding[] = {kFilesTempName,   kWordsTempName, kStampsTempName,
                                                 kFoldersTempName, kKindsTempName, kExcludedTempName};
  static constexpr std::string_view kDropping[] = {kFilesInterimName, kWordsTempName, kFilesTempName,   kStampsTempName,
                                                   kFoldersTempName,  kKindsTempName, kExcludedTempName};
  const bool dropping =
      std::any_of(files.begin(), files.end(), [](const CommittedFile& f) { return f.temporary == kFilesInterimName; });
  for (std::string_view temporary :
       dropping ? std::span<const std::string_view>(kDropping) : std::span<const std::string_view>(kAdding)) {
    for (const CommittedFile& file : files) {
      if (file.temporary != temporary) continue;
      const std::string temp = BaseFilePath(dir, file.temporary);
      if (Exists(env, temp)) env.Rename(temp, BaseFilePath(dir, file.live));
    }
  }
  env.SyncDirectory(dir);
}

// The committed files whose temporaries exist.
std::vector<CommittedFile> WrittenTemporaries(Env& env, const std::string& dir) {
  std::vector<CommittedFile> written;
  for (const CommittedFile& file : kCommittedFiles) {
    if (Exists(env, BaseFilePath(dir, file.temporary))) written.push_back(file);
  }
  return written;
}

}  // namespace

BaseLock::BaseLock(std::string directory, std::unique_ptr<FileLock> lock)
    : directory_(std::move(directory)), lock_(std::move(lock)) {}

BaseLock::~BaseLock() = default;

std::unique_ptr<BaseLock> TryLockBase(const std::string& base_directory, Env& env) {
  std::unique_ptr<FileLock> lock = env.TryLock(BaseFilePath(base_directory, kLockFileName));
  if (lock == nullptr) return nullptr;
  return std::unique_ptr<BaseLock>(new BaseLock(base_directory, std::move(lock)));
}

void CommitBase(const BaseLock& held, Env& env) {
  const std::string& dir = held.directory();
  const std::string record = BaseFilePath(dir, kCommitRecordName);
  const std::vector<CommittedFile> files = WrittenTemporaries(env, dir);
  try {
    WriteFileSynced(env, record, CommitRecordText(files));
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
    if (record_removed) DiscardTemporaries(held, env);
    throw;
  }
  // From here on the new base is decided: a failed rename is rolled forward
  // by the next recovery, so the temporaries must stay.
  RenameTemporaries(env, dir, files);
  // The new base is in place; a record left behind by a failure here only
  // makes the next recovery remove it.
  try {
    env.Remove(record);
    env.SyncDirectory(dir);
  } catch (const std::exception&) {
  }
}

std::string RecoverBaseLocked(const BaseLock& held, Env& env) {
  const std::string& dir = held.directory();
  const std::string record = BaseFilePath(dir, kCommitRecordName);
  std::string text;
  // Anything but a small regular file is a damaged record: never waited on
  // (a FIFO) nor read whole (a device, a huge file), and rolled back.
  const SmallFile found = ReadSmallFile(env, record, LargestRecordSize(), &text);
  const bool have_record = found != SmallFile::kMissing;
  const std::optional<std::vector<CommittedFile>> named = found == SmallFile::kRead ? ParseRecord(text) : std::nullopt;
  if (named) {
    RenameTemporaries(env, dir, *named);
  } else {
    if (!have_record && WrittenTemporaries(env, dir).empty()) return "";
    for (const CommittedFile& file : kCommittedFiles) env.Remove(BaseFilePath(dir, file.temporary));
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
  return Exists(env, BaseFilePath(dir, kCommitRecordName)) || !WrittenTemporaries(env, dir).empty();
}

void DiscardTemporaries(const BaseLock& held, Env& env) noexcept {
  const std::string& dir = held.directory();
  for (const CommittedFile& file : kCommittedFiles) {
    try {
      env.Remove(BaseFilePath(dir, file.temporary));
    } catch (const std::exception&) {
    }
  }
}

}  // namespace veskara
