#include "search/base_statistics.h"

#include "base/records.h"

namespace veskara {
namespace {

// The records of one base file, or nothing with *fault saying why.
std::optional<size_t> Count(const std::string& base_directory, std::string_view name, Env& env,
                            std::optional<BaseFileFault>& fault) {
  BaseFileFault why;
  std::unique_ptr<ReadableFile> file = OpenBaseFile(base_directory, name, env, &why);
  if (!file) {
    fault = std::move(why);
    return std::nullopt;
  }
  return CountRecords(std::move(file));
}

}  // namespace

BaseStatistics CountBase(const std::string& base_directory, Env& env) {
  BaseStatistics stats;
  stats.files = Count(base_directory, kFilesFileName, env, stats.fault);
  if (stats.files) stats.words = Count(base_directory, kWordsFileName, env, stats.fault);
  return stats;
}

}  // namespace veskara
