#include "search/base_check.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_set>

#include "base/compare_words.h"
#include "extract/word_chars.h"
#include "platform/cp1251.h"
#include "platform/paths.h"
#include "platform/text_file.h"

namespace veskara {
namespace {

BaseCheck Problem(std::string_view file, size_t line, const std::string& what) {
  return {BaseCheck::Status::kInconsistent, std::string(file) + " line " + std::to_string(line) + ": " + what};
}

// A line shown in a message: decoded, and cut when it is long.
std::string Shown(std::string_view line) {
  constexpr size_t kMaxShown = 60;
  std::string shown = DecodeCp1251(line.substr(0, kMaxShown));
  if (line.size() > kMaxShown) shown += "...";
  return "\"" + shown + "\"";
}

// The value of a number line as the scan writes it, or -1.
int64_t NumberValue(std::string_view line) {
  if (line.empty() || line.size() > 10 || (line.size() > 1 && line[0] == '0')) return -1;
  int64_t value = 0;
  for (char c : line) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value <= INT32_MAX ? value : -1;
}

// Lets the set of number lines be asked with a view, without a copy.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

}  // namespace

BaseCheck CheckBase(const std::string& base_directory) {
  const std::string words_path = WordsFilePath(base_directory);
  const std::string files_path = FilesFilePath(base_directory);
  for (const std::string* path : {&words_path, &files_path}) {
    if (!FileExists(*path)) return {BaseCheck::Status::kMissing, *path + " is not found"};
  }
  // wrds.txt first: see the header.
  LineReader words(words_path);
  LineReader files(files_path);

  std::unordered_set<std::string, TextHash, std::equal_to<>> numbers;
  {
    std::string_view line;
    size_t k = 0;
    int64_t previous = -1;
    while (files.ReadLine(&line)) {
      if (++k % 2 == 1) continue;
      const int64_t value = NumberValue(line);
      if (value < 0) return Problem(kFilesFileName, k, Shown(line) + " is not a file number");
      if (value <= previous) {
        return Problem(kFilesFileName, k, "the number " + std::string(line) + " is not greater than the one before it");
      }
      previous = value;
      numbers.emplace(line);
    }
    files.Close();
    if (k % 2 == 1) return Problem(kFilesFileName, k, "a path without its number line");
  }

  std::string_view line;
  std::string word;
  std::string previous_word;
  std::unordered_set<std::string_view> seen;
  size_t k = 0;
  while (words.ReadLine(&line)) {
    ++k;
    if (k % 2 == 1) {
      if (line.empty()) return Problem(kWordsFileName, k, "an empty word line");
      for (char c : line) {
        if (!IsWordChar(c)) return Problem(kWordsFileName, k, "the word " + Shown(line) + " holds a byte that is not a word character");
      }
      if (k > 1 && CompareWords(previous_word, line) >= 0) {
        return Problem(kWordsFileName, k, "the word " + Shown(line) + " does not come after " + Shown(previous_word));
      }
      word.assign(line);
      previous_word.swap(word);
      continue;
    }
    seen.clear();
    size_t start = 0;
    for (;;) {
      size_t comma = line.find(',', start);
      if (comma == std::string_view::npos) comma = line.size();
      const std::string_view number = line.substr(start, comma - start);
      if (number.empty()) return Problem(kWordsFileName, k, "an empty piece in the number list " + Shown(line));
      if (!seen.insert(number).second) {
        return Problem(kWordsFileName, k, "the number " + Shown(number) + " stands twice in the list");
      }
      if (numbers.find(number) == numbers.end()) {
        return Problem(kWordsFileName, k, "the number " + Shown(number) + " is not a number line of fls.txt");
      }
      if (comma == line.size()) break;
      start = comma + 1;
    }
  }
  words.Close();
  if (k % 2 == 1) return Problem(kWordsFileName, k, "a word without its number list");
  return {};
}

}  // namespace veskara
