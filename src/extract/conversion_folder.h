// The private folder where a scan's PDF documents are converted to text.
//
// A conversion never writes into the current folder: a desktop launch has
// "/" there, two scans started from one folder would delete each other's
// text, and a user's own file of that name would be removed. Each scan gets
// a folder of its own instead, removed with its contents when the scan ends,
// however it ends. Each conversion that may run at once has a folder of its
// own inside it, holding its own "temp___".
//
// The folders live in a parent that only this user can write to:
// $XDG_RUNTIME_DIR/veskara, else "veskara-<uid>" under $TMPDIR, /tmp or the
// base folder; a parent is used only when it is a real folder (not a link)
// owned by this user with mode 0700, so another user cannot place a name
// in it. A folder left by a scan that was killed is removed by a later one,
// only when it is such a folder itself, its process is gone and its lock
// (held by a live conversion) can be taken; the removal goes through open
// folders and never follows a link.
#pragma once

#include <memory>
#include <string>

#include "platform/env.h"

namespace veskara {

class ConversionFolder {
 public:
  // Removes the folders of dead scans, then makes this scan's folder with
  // `jobs` job folders in it. Throws IoError when no folder can be made
  // anywhere.
  ConversionFolder(Env& env, const std::string& base_directory, unsigned jobs = 1);
  // Removes the folder and what is in it; never throws.
  ~ConversionFolder();
  ConversionFolder(const ConversionFolder&) = delete;
  ConversionFolder& operator=(const ConversionFolder&) = delete;

  const std::string& path() const { return path_; }
  // The folder of job `k` (0 to jobs - 1).
  std::string JobFolder(unsigned k) const;

  // The name prefix of this process's folders, and the process id that a
  // folder's name holds (-1 when it is not such a folder).
  static std::string Prefix();
  static int64_t OwnerOf(std::string_view name);

 private:
  // Removes this scan's folder with what it holds, and lets go of it.
  void RemoveOwn() noexcept;

  std::unique_ptr<DirectoryHandle> parent_;  // the user's own parent, held open
  std::unique_ptr<DirectoryHandle> folder_;  // this scan's folder, locked while it lives
  std::string name_;
  std::string path_;
};

}  // namespace veskara
