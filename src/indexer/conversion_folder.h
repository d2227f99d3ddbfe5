// The private folder where a scan's PDF documents are converted to text.
//
// A conversion never writes into the current folder: a desktop launch has
// "/" there, two scans started from one folder would delete each other's
// text, and a user's own file of that name would be removed. Each scan gets
// a folder of its own instead (mode 0700, under $TMPDIR, else /tmp, else the
// base folder), removed with its contents when the scan ends, however it
// ends; folders left by scans that were killed are removed by the next one.
// Each conversion that may run at once has a folder of its own inside it,
// holding its own "temp___".
#pragma once

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

  // The name prefix of the folders, and the process id that a folder's name
  // holds (-1 when it is not such a folder).
  static std::string Prefix();
  static int64_t OwnerOf(std::string_view name);

 private:
  Env& env_;
  std::string path_;
};

// Removes `folder` with its files and the files of its folders (two
// levels); never throws.
void RemoveFolderQuietly(Env& env, const std::string& folder) noexcept;

}  // namespace veskara
