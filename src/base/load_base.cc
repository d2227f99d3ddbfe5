#include <cstdint>
#include <algorithm>
#include <limits>
#include <optional>

#include "base/base.h"
#include "base/base_files.h"
#include "platform/str_to_int.h"
#include "platform/text_file.h"

namespace veskara {
namespace {

// Reads fls.txt; returns its last line, and in *largest the largest number
// line (-1 for none). Path lines go to *paths when given.
std::string ReadFilesFile(Env& env, const std::string& path, std::vector<std::string>* paths, int64_t* largest) {
  LineReader reader(path, env);
  std::string last;
  std::string_view line;
  bool path_line = true;
  *largest = -1;
  while (reader.ReadLine(&line)) {
    if (path_line && paths != nullptr) paths->emplace_back(line);
    if (!path_line) {
      if (const std::optional<int32_t> value = TryStrToInt(line)) *largest = std::max<int64_t>(*largest, *value);
    }
    path_line = !path_line;
    last.assign(line);
  }
  reader.Close();
  return last;
}

// The number after the last line of fls.txt, as written, but never one that
// a number line or a word's list already holds: records hidden behind a
// Ctrl-Z, or numbers out of order, must not be given again.
std::string FirstFreeNumber(std::string_view last_line, int64_t largest_in_use) {
  std::string next = NextFileNumber(last_line);
  if (largest_in_use < StrToInt(next)) return next;
  if (largest_in_use >= std::numeric_limits<int32_t>::max()) throw BaseFullError();
  return std::to_string(largest_in_use + 1);
}

}  // namespace

BaseFullError::BaseFullError()
    : std::runtime_error("The base holds the largest file number; no more files can be added to it") {}

std::string NextFileNumber(std::string_view last_line) {
  int32_t last = StrToInt(last_line.empty() ? std::string_view("0") : last_line);
  if (last == std::numeric_limits<int32_t>::max()) throw BaseFullError();
  return std::to_string(last + 1);
}

void LoadBase(const std::string& base_directory, BaseState& state, Env& env) {
  PostingTable& table = state.postings;
  table.ClearPostingTable();
  table.SetCurrentFileNumber("0");
  const std::string words_path = WordsFilePath(base_directory);
  const std::string files_path = FilesFilePath(base_directory);
  const bool have_files = FileExists(files_path, env);
  if (!FileExists(words_path, env)) {
    // Without this, new files would be numbered from 0 again and their words
    // would point at the paths of files already recorded.
    if (have_files) {
      state.IndexedPaths.clear();
      int64_t largest = -1;
      const std::string last = ReadFilesFile(env, files_path, nullptr, &largest);
      table.SetCurrentFileNumber(FirstFreeNumber(last, largest));
    }
    return;
  }
  if (!have_files) return;

  {
    LineReader reader(words_path, env);
    std::string word;
    std::string_view line;
    bool word_line = true;
    while (reader.ReadLine(&line)) {
      if (word_line) {
        word.assign(line);
      } else {
        table.AddRecord(word, line);
      }
      word_line = !word_line;
    }
    reader.Close();
  }

  state.IndexedPaths.clear();
  int64_t largest = -1;
  const std::string last = ReadFilesFile(env, files_path, &state.IndexedPaths, &largest);
  table.SetCurrentFileNumber(FirstFreeNumber(last, std::max(largest, table.LargestNumber())));
}

}  // namespace veskara
