#include "search/base_statistics.h"

#include "base/base_files.h"
#include "base/records.h"
#include "platform/errors.h"
#include "platform/text_file.h"

namespace veskara {
namespace {

// The label text for one base file, or nothing when it is missing or will
// not open. Read errors after the open go to the caller.
std::optional<std::string> CountRecords(Env& env, const std::string& path, const char* suffix) {
  if (!FileExists(path, env)) return std::nullopt;
  std::unique_ptr<ReadableFile> file;
  try {
    file = env.OpenForReading(path);
  } catch (const IoError&) {
    return std::nullopt;
  }
  return std::to_string(CountRecords(std::move(file))) + suffix;
}

}  // namespace

BaseStatistics CountBase(const std::string& base_directory, Env& env) {
  BaseStatistics stats;
  stats.files_label = CountRecords(env, FilesFilePath(base_directory), " files in the base");
  if (stats.files_label) stats.words_label = CountRecords(env, WordsFilePath(base_directory), " words in the base");
  return stats;
}

}  // namespace veskara
