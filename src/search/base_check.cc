#include "search/base_check.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/base_files.h"
#include "base/commit.h"
#include "base/compare_words.h"
#include "base/records.h"
#include "base/remembered.h"
#include "base/word_chars.h"
#include "platform/cp1251.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/strings.h"
#include "platform/text_file.h"

namespace veskara {
namespace {

BaseCheck Problem(std::string_view file, size_t line, const std::string& what) {
  return {BaseCheck::Status::kInconsistent, std::string(file) + " line " + std::to_string(line) + ": " + what};
}

// A line shown in a message: decoded, cut when it is long, and with control
// bytes escaped, so that a hostile base file cannot drive the terminal.
std::string Shown(std::string_view line) {
  constexpr size_t kMaxShown = 60;
  std::string shown = EscapeControlBytes(DecodeCp1251(line.substr(0, kMaxShown)));
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

// The number lines of fls.txt, each with its record's index. Number lines
// are canonical and increasing, so a number text of wrds.txt names one only
// when it is canonical too: it is looked up by its value, in a table indexed
// by value when the numbers are dense (the usual base), else by halving.
class NumberLines {
 public:
  void Add(int64_t value) { values_.push_back(value); }
  void Seal() {
    if (values_.empty() || values_.back() > static_cast<int64_t>(8 * values_.size() + (1 << 20))) return;
    dense_.assign(static_cast<size_t>(values_.back()) + 1, kNone);
    for (size_t i = 0; i < values_.size(); ++i) dense_[static_cast<size_t>(values_[i])] = static_cast<uint32_t>(i);
  }
  size_t size() const { return values_.size(); }
  int64_t Largest() const { return values_.empty() ? -1 : values_.back(); }
  // The record index of a number text, or kNone.
  uint32_t Find(std::string_view text) const {
    const int64_t value = NumberValue(text);
    if (value < 0) return kNone;
    if (!dense_.empty()) return static_cast<size_t>(value) < dense_.size() ? dense_[static_cast<size_t>(value)] : kNone;
    auto it = std::lower_bound(values_.begin(), values_.end(), value);
    return it != values_.end() && *it == value ? static_cast<uint32_t>(it - values_.begin()) : kNone;
  }
  static constexpr uint32_t kNone = UINT32_MAX;

 private:
  std::vector<int64_t> values_;
  std::vector<uint32_t> dense_;
};

BaseCheck CheckBaseFiles(const std::string& base_directory, Env& env, NumberLines& numbers) {
  const std::string words_path = WordsFilePath(base_directory);
  const std::string files_path = FilesFilePath(base_directory);
  for (const std::string* path : {&words_path, &files_path}) {
    if (!FileExists(*path, env)) return {BaseCheck::Status::kMissing, EscapeControlBytes(*path) + " is not found"};
  }
  // wrds.txt first: see the header.
  WordRecordScanner words(env, words_path);
  FileRecordScanner files(env, files_path);

  {
    int64_t previous = -1;
    while (files.Next()) {
      const std::string_view line = files.number();
      const size_t k = files.line();
      const int64_t value = NumberValue(line);
      if (value < 0) return Problem(kFilesFileName, k, Shown(line) + " is not a file number");
      if (value <= previous) {
        return Problem(kFilesFileName, k, "the number " + std::string(line) + " is not greater than the one before it");
      }
      previous = value;
      numbers.Add(value);
    }
    files.Close();
    numbers.Seal();
    if (files.lone_path()) return Problem(kFilesFileName, files.line(), "a path without its number line");
  }

  std::string previous_word;
  bool first_word = true;
  // What is wrong with a word line, or "" when it is sound.
  auto word_problem = [&](std::string_view line) -> std::string {
    if (line.empty()) return "an empty word line";
    for (char c : line) {
      if (!IsWordChar(c)) return "the word " + Shown(line) + " holds a byte that is not a word character";
    }
    if (!first_word && CompareWords(previous_word, line) >= 0) {
      return "the word " + Shown(line) + " does not come after " + Shown(previous_word);
    }
    first_word = false;
    previous_word.assign(line);
    return {};
  };
  // seen[i] == the list's line number: record i's number stood in it
  // already. No clearing between lists, so a long list costs nothing later.
  std::vector<size_t> seen(numbers.size(), 0);
  while (words.Next()) {
    if (std::string problem = word_problem(words.word()); !problem.empty()) {
      return Problem(kWordsFileName, words.line() - 1, problem);
    }
    const std::string_view line = words.numbers();
    const size_t k = words.line();
    std::string problem;
    ForEachCommaPiece(line, [&](std::string_view number) {
      if (number.empty()) {
        problem = "an empty piece in the number list " + Shown(line);
        return false;
      }
      const uint32_t known = numbers.Find(number);
      if (known == NumberLines::kNone) {
        problem = "the number " + Shown(number) + " is not a number line of fls.txt";
        return false;
      }
      if (seen[known] == k) {
        problem = "the number " + Shown(number) + " stands twice in the list";
        return false;
      }
      seen[known] = k;
      return true;
    });
    if (!problem.empty()) return Problem(kWordsFileName, k, problem);
  }
  words.Close();
  if (words.lone_word()) {
    std::string problem = word_problem(words.word());
    return Problem(kWordsFileName, words.line(), problem.empty() ? "a word without its number list" : problem);
  }
  return {};
}

// What the base remembers, against the number lines of fls.txt.
BaseCheck CheckRemembered(const std::string& base_directory, Env& env, const NumberLines& numbers) {
  Remembered remembered;
  try {
    remembered = LoadRemembered(base_directory, env);
  } catch (const IoError&) {
    throw;
  } catch (const std::runtime_error& damaged) {
    return {BaseCheck::Status::kInconsistent, damaged.what()};
  }
  if (!remembered.present) return {};
  for (const auto& [number, stamp] : remembered.stamps) {
    if (numbers.Find(number) == NumberLines::kNone) {
      return {BaseCheck::Status::kInconsistent,
              std::string(kStampsFileName) + ": the number " + number + " is not a number line of fls.txt"};
    }
  }
  if (numbers.size() > 0 && remembered.highest_number < numbers.Largest()) {
    return {BaseCheck::Status::kInconsistent, std::string(kStampsFileName) + " line 1: the highest number given, " +
                                                  std::to_string(remembered.highest_number) + ", is below " +
                                                  std::to_string(numbers.Largest()) + ", a number of fls.txt"};
  }
  for (const RememberedFolder& folder : remembered.folders) {
    if (folder.path.empty() || folder.path.front() != kPathSeparator) {
      return {BaseCheck::Status::kInconsistent,
              std::string(kFoldersFileName) + ": the folder " + Shown(folder.path) + " is not an absolute path"};
    }
  }
  return {};
}

}  // namespace

BaseCheck CheckBase(const std::string& base_directory, Env& env) {
  std::unique_ptr<BaseLock> lock;
  try {
    lock = TryLockBase(base_directory, env);
    if (!lock) return {BaseCheck::Status::kBusy, "A scan is changing the base; check it again when it has finished"};
  } catch (const IoError&) {
    // A base this user may not write cannot be scanned by them either.
  }
  NumberLines numbers;
  BaseCheck check = CheckBaseFiles(base_directory, env, numbers);
  if (check.status != BaseCheck::Status::kConsistent) return check;
  return CheckRemembered(base_directory, env, numbers);
}

}  // namespace veskara
