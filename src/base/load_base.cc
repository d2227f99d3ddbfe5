#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

#include "base/base.h"
#include "base/base_files.h"
#include "base/records.h"
#include "platform/str_to_int.h"
#include "platform/strings.h"
#include "platform/text_file.h"

namespace veskara {
namespace {

// Reads fls.txt; returns its last line, and in *largest the largest number
// line (PostingTable::kNoNumber for none). Path lines go to *paths when given, except those of
// records whose number is dropped.
std::string ReadFilesFile(Env& env, const std::string& path, std::vector<std::string>* paths, int64_t* largest,
                          const std::unordered_set<std::string>* dropped) {
  FileRecordScanner records(env, path);
  std::string last;
  *largest = PostingTable::kNoNumber;
  while (records.Next()) {
    const std::string_view number = records.number();
    if (const std::optional<int32_t> value = TryStrToInt(number)) *largest = std::max<int64_t>(*largest, *value);
    if (paths != nullptr && (dropped == nullptr || dropped->count(std::string(number)) == 0)) {
      paths->emplace_back(records.path());
    }
    last.assign(number);
  }
  if (records.lone_path()) {
    // A path whose number line is missing is still a recorded path.
    if (paths != nullptr) paths->emplace_back(records.path());
    last.assign(records.path());
  }
  records.Close();
  return last;
}

// The number after the last line of fls.txt, as written, but never one that
// a number line or a word's list already holds, nor one given before:
// records hidden behind a Ctrl-Z, numbers out of order, or records that
// left the base must not have their numbers given again.
std::string FirstFreeNumber(std::string_view last_line, int64_t largest_in_use) {
  std::string next = NextFileNumber(last_line);
  return AfterLargest(next, largest_in_use);
}

}  // namespace

std::string AfterLargest(const std::string& next, int64_t largest_in_use) {
  if (largest_in_use < StrToInt(next)) return next;
  if (largest_in_use >= std::numeric_limits<int32_t>::max()) throw BaseFullError();
  return std::to_string(largest_in_use + 1);
}

BaseFullError::BaseFullError()
    : std::runtime_error("The base holds the largest file number; no more files can be added to it") {}

std::string NextFileNumber(std::string_view last_line) {
  int32_t last = StrToInt(last_line.empty() ? std::string_view("0") : last_line);
  if (last == std::numeric_limits<int32_t>::max()) throw BaseFullError();
  return std::to_string(last + 1);
}

void LoadBase(const std::string& base_directory, BaseState& state, Env& env, const LoadOptions& options) {
  PostingTable& table = state.postings;
  // A base that can take no new file may still lose some.
  auto set_next = [&](auto&& next) {
    try {
      table.SetCurrentFileNumber(next());
    } catch (const BaseFullError&) {
      if (!options.numbers_may_run_out) throw;
      table.SetCurrentFileNumber(kNoNumberLeft);
    }
  };
  table.ClearPostingTable();
  table.SetCurrentFileNumber("0");
  state.largest_number = PostingTable::kNoNumber;
  const std::string words_path = WordsFilePath(base_directory);
  const std::string files_path = FilesFilePath(base_directory);
  const bool have_files = FileExists(files_path, env);
  const bool have_words = FileExists(words_path, env);
  if (!have_words || !have_files) {
    // Without this, new files would be numbered from 0 again and their words
    // would point at the paths of files already recorded.
    if (!have_words && have_files) {
      state.IndexedPaths.clear();
      const std::string last = ReadFilesFile(env, files_path, nullptr, &state.largest_number, nullptr);
      set_next([&] { return FirstFreeNumber(last, std::max(state.largest_number, options.highest_given)); });
      return;
    }
    set_next([&] { return AfterLargest(std::string(table.CurrentFileNumber()), options.highest_given); });
    return;
  }

  {
    WordRecordScanner records(env, words_path);
    while (records.Next()) table.AddRecord(records.word(), records.numbers());
    records.Close();
  }

  // As if the dropped numbers had left every line first: the others in their
  // order; a word left with none goes. The largest number counts them all.
  state.largest_number = table.LargestNumber();
  if (options.dropped != nullptr) table.RemoveNumbers(*options.dropped);

  state.IndexedPaths.clear();
  int64_t largest_line = PostingTable::kNoNumber;
  const std::string last = ReadFilesFile(env, files_path, &state.IndexedPaths, &largest_line, options.dropped);
  state.largest_number = std::max({state.largest_number, largest_line, table.LargestNumber()});
  set_next([&] { return FirstFreeNumber(last, std::max(state.largest_number, options.highest_given)); });
}

std::vector<FileRecord> ReadFileRecords(const std::string& base_directory, Env& env) {
  std::vector<FileRecord> records;
  const std::string path = FilesFilePath(base_directory);
  if (!FileExists(path, env)) return records;
  FileRecordScanner scanner(env, path);
  while (scanner.Next()) records.push_back({std::string(scanner.path()), std::string(scanner.number())});
  scanner.Close();
  return records;
}

void WriteFilesWithout(const std::string& base_directory, const std::unordered_set<std::string>& dropped,
                       const std::string& target, Env& env) {
  TextWriter out = TextWriter::Create(target, env);
  const std::string source = FilesFilePath(base_directory);
  if (FileExists(source, env)) {
    FileRecordScanner records(env, source);
    while (records.Next()) {
      if (dropped.count(std::string(records.number())) != 0) continue;
      out.Write(records.raw_path());
      out.Write("\n");
      out.Write(records.raw_number());
      out.Write("\n");
    }
    if (records.lone_path()) {
      out.Write(records.raw_path());
      out.Write("\n");
    }
    records.Close();
  }
  out.Sync();
  out.Close();
}

}  // namespace veskara
