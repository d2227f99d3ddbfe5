// wrds.txt and fls.txt opened together, as one base: a search and the
// lookups of its numbers read the same pair of files, even when a scan
// commits in between. The commit (docs/base-format.md) keeps every pair of
// files that is live at one moment consistent: each number of wrds.txt has
// its record in fls.txt. A word list read from one base and paths read from
// the next would not be.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/base_files.h"
#include "platform/env.h"

namespace veskara {

class BaseSnapshot {
 public:
  // Opens both base files of `base_directory` and reads nothing. After both
  // are open, each must still be what its name names (the same file, or
  // still nothing): then both were live at the moment the second was
  // opened. A commit in between makes it open them again. A missing file,
  // a folder in its place or a file that will not open is kept as a fault
  // for the reader that asks for it. Throws IoError when commits keep
  // landing between the two opens (the base changes without rest).
  static BaseSnapshot Open(const std::string& base_directory, Env& env);

  const std::string& directory() const { return directory_; }
  Env& env() const { return *env_; }

  // A reader of the base file `name` (kWordsFileName or kFilesFileName)
  // from its start, as the snapshot opened it; any number of them, each
  // reading on its own. Null, with *fault saying why, when it was not
  // opened. Throws IoError when no descriptor is left for another reader.
  std::unique_ptr<ReadableFile> Reader(std::string_view name, BaseFileFault* fault) const;
  // The same, or IoError as opening the file by its path would have thrown
  // ("File not found" for a missing one).
  std::unique_ptr<ReadableFile> ReaderOrThrow(std::string_view name) const;

 private:
  struct Opened {
    std::shared_ptr<ReadableFile> file;  // shared: a snapshot is copied with its files
    BaseFileFault fault;
    int error = 0;  // the errno that opening it by its path gives
  };
  BaseSnapshot(std::string directory, Env& env) : directory_(std::move(directory)), env_(&env) {}
  const Opened& Of(std::string_view name) const { return name == kWordsFileName ? words_ : files_; }
  Opened OpenOne(std::string_view name) const;
  // True when what the name of `opened` names now is still what was opened.
  bool StillLive(const Opened& opened) const;

  std::string directory_;
  Env* env_;
  Opened words_;
  Opened files_;
};

}  // namespace veskara
