// The files of a base folder, by name, and the one way to name them.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace veskara {

// The two base files.
inline constexpr std::string_view kWordsFileName = "wrds.txt";
inline constexpr std::string_view kFilesFileName = "fls.txt";
// What the base remembers beyond them (base/remembered.h).
inline constexpr std::string_view kFoldersFileName = "folders.txt";
inline constexpr std::string_view kStampsFileName = "stamps.txt";
inline constexpr std::string_view kExcludedFileName = "excluded.txt";
// The groups of kinds the base reads beyond the written ones.
inline constexpr std::string_view kKindsFileName = "kinds.txt";
// A scan's lock, held from its start to its end (also across processes).
inline constexpr std::string_view kLockFileName = "veskara.lock";
// A scan's new base files, until the commit renames them over the live ones.
inline constexpr std::string_view kWordsTempName = "wrds.txt.new";
inline constexpr std::string_view kFilesTempName = "fls.txt.new";
inline constexpr std::string_view kFoldersTempName = "folders.txt.new";
inline constexpr std::string_view kStampsTempName = "stamps.txt.new";
inline constexpr std::string_view kExcludedTempName = "excluded.txt.new";
inline constexpr std::string_view kKindsTempName = "kinds.txt.new";
// When a commit drops records: the old fls.txt with the new records, and
// without none, so that fls.txt never lacks a number wrds.txt holds while
// the files are renamed one after the other.
inline constexpr std::string_view kFilesInterimName = "fls.txt.all";
// The commit record (docs/base-format.md).
inline constexpr std::string_view kCommitRecordName = "commit.txt";

// The files a commit replaces, each with its temporary, in the order the
// commit record names them (the renames go in another order: commit.cc).
struct CommittedFile {
  std::string_view live;
  std::string_view temporary;
};
inline constexpr CommittedFile kCommittedFiles[] = {
    {kWordsFileName, kWordsTempName},      {kFilesFileName, kFilesTempName},    {kStampsFileName, kStampsTempName},
    {kFoldersFileName, kFoldersTempName},  {kFilesFileName, kFilesInterimName}, {kKindsFileName, kKindsTempName},
    {kExcludedFileName, kExcludedTempName}};

// The temporary name of a committed file ("" for another name).
constexpr std::string_view TemporaryNameOf(std::string_view live) {
  for (const CommittedFile& file : kCommittedFiles) {
    if (file.live == live) return file.temporary;
  }
  return {};
}

// base_directory + the separator + name.
std::string BaseFilePath(std::string_view base_directory, std::string_view name);

inline std::string WordsFilePath(std::string_view base_directory) {
  return BaseFilePath(base_directory, kWordsFileName);
}
inline std::string FilesFilePath(std::string_view base_directory) {
  return BaseFilePath(base_directory, kFilesFileName);
}

// Why a base file cannot be read: the facts a front end words instead of
// its contents (base/messages.h).
struct BaseFileFault {
  enum class Reason {
    kMissing,     // nothing stands under its name
    kFolder,      // a folder stands where the file belongs
    kCannotOpen,  // it is there but will not open; `error` says why
  };
  std::string_view name;  // kWordsFileName or kFilesFileName
  Reason reason = Reason::kMissing;
  std::string error;

  bool operator==(const BaseFileFault&) const = default;
};

// Opens the base file `name` of `base_directory` for reading; nothing, with
// *fault saying why, when it is missing, a folder, or will not open.
std::unique_ptr<ReadableFile> OpenBaseFile(std::string_view base_directory, std::string_view name, Env& env,
                                           BaseFileFault* fault);

}  // namespace veskara
