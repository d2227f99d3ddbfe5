#include "search/loaded_words.h"

#include <limits>
#include <stdexcept>
#include <utility>

#include "base/records.h"

namespace veskara {

LoadedWords LoadedWords::Load(const std::string& base_directory, Env& env) {
  LoadedWords words;
  words.base_directory_ = base_directory;
  words.loaded_once_ = true;
  // Taken before the file is opened: a file swapped in after this is
  // either read now or noticed by the next IsCurrent; never missed.
  words.loaded_ = env.Stat(WordsFilePath(base_directory));
  // fls.txt is opened with it, so that the files of what a search finds
  // come from this base even after a commit.
  words.base_ = BaseSnapshot::Open(base_directory, env);
  BaseFileFault fault;
  std::unique_ptr<ReadableFile> file = words.base_->Reader(kWordsFileName, &fault);
  if (!file) {
    words.fault_ = std::move(fault);
    return words;
  }
  words.arena_.reserve(static_cast<size_t>(file->SizeWhenOpened()));
  WordRecordScanner records(std::move(file));
  while (records.Next()) {
    const std::string_view word = records.word();
    const std::string_view numbers = records.numbers();
    if (word.size() > std::numeric_limits<uint32_t>::max() || numbers.size() > std::numeric_limits<uint32_t>::max() ||
        words.records_.size() >= std::numeric_limits<uint32_t>::max()) {
      throw std::length_error("wrds.txt is too large to be held in memory");
    }
    const auto index = static_cast<uint32_t>(words.records_.size());
    words.records_.push_back(
        {words.arena_.size(), static_cast<uint32_t>(word.size()), static_cast<uint32_t>(numbers.size())});
    words.arena_.append(word).append(numbers);
    if (!word.empty()) words.by_first_byte_[static_cast<unsigned char>(word[0])].push_back(index);
  }
  records.Close();
  return words;
}

bool LoadedWords::IsCurrent(const std::string& base_directory, Env& env) const {
  if (!loaded_once_ || base_directory != base_directory_) return false;
  // A file that would not open may open now: it is tried again each time.
  if (fault_ && fault_->reason == BaseFileFault::Reason::kCannotOpen) return false;
  const PathInfo now = env.Stat(WordsFilePath(base_directory));
  if (now.kind != loaded_.kind) return false;
  if (now.kind == PathKind::kMissing) return true;
  return now.id == loaded_.id && now.size == loaded_.size && now.mtime_ns == loaded_.mtime_ns;
}

}  // namespace veskara
