// Helpers of the scan tests: an observer that records, a whole scan in one
// call, and the base files as one comparable value.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/commit.h"
#include "indexer/discovery.h"
#include "indexer/scan.h"
#include "platform/env.h"
#include "test_util.h"

namespace veskara {

class RecordingObserver : public ScanObserver {
 public:
  void SetStep(const std::string& text) override { texts.push_back("step:" + text); }
  void SetStatus(const std::string& text) override { texts.push_back("status:" + text); }
  void SetProgress(size_t done, size_t total) override { progress.emplace_back(done, total); }
  bool StopRequested() override { return ++checks > stop_after_checks; }

  std::vector<std::string> texts;
  std::vector<std::pair<size_t, size_t>> progress;
  size_t checks = 0;
  size_t stop_after_checks = static_cast<size_t>(-1);
};

// Recovery, Prepare and Run, as a front end does them (the base folder, the
// executable's, always exists).
inline void RunScan(const std::string& base, const std::string& directory, ScanObserver& observer,
                    Env& env = Env::Default()) {
  std::filesystem::create_directories(base);
  RecoverBase(base, env);
  BaseState state;
  std::unique_ptr<Scan> scan = Scan::Prepare(base, *FolderToScan(directory, Env::Default()), state, env);
  scan->Run(observer);
}

inline bool PathExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The bytes of both base files and of the stamps; nullopt for a missing
// one. (The remembered folders hold times of day, so they are left out.)
struct BaseFiles {
  std::optional<std::string> words;
  std::optional<std::string> files;
  std::optional<std::string> stamps;
  bool operator==(const BaseFiles&) const = default;
};

inline BaseFiles ReadBase(const std::string& base) {
  BaseFiles result;
  if (PathExists(WordsFilePath(base))) result.words = testing::ReadFile(WordsFilePath(base));
  if (PathExists(FilesFilePath(base))) result.files = testing::ReadFile(FilesFilePath(base));
  if (PathExists(BaseFilePath(base, kStampsFileName)))
    result.stamps = testing::ReadFile(BaseFilePath(base, kStampsFileName));
  return result;
}

// A base of these two files alone, as written before the base remembered
// anything: whatever else the folder held goes.
inline void WriteLegacyBase(const std::string& base, const std::string& words, const std::string& files) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(base, ignored)) std::filesystem::remove_all(entry);
  testing::WriteFile(WordsFilePath(base), words);
  testing::WriteFile(FilesFilePath(base), files);
}

// No temporary and no commit record is left in the base directory.
inline bool BaseIsClean(const std::string& base) {
  for (const CommittedFile& file : kCommittedFiles) {
    if (PathExists(BaseFilePath(base, file.temporary))) return false;
  }
  return !PathExists(BaseFilePath(base, kCommitRecordName));
}

// The numbers of the live wrds.txt that the live fls.txt holds no record for.
inline std::vector<std::string> NumbersWithoutPath(const std::string& base) {
  auto lines = [](const std::string& text) {
    std::vector<std::string> out;
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
      end = text.find("\r\n", start);
      out.push_back(text.substr(start, end - start));
    }
    return out;
  };
  const std::vector<std::string> words = lines(testing::ReadFile(WordsFilePath(base)));
  const std::vector<std::string> files = lines(testing::ReadFile(FilesFilePath(base)));
  std::set<std::string> recorded;
  for (size_t i = 1; i < files.size(); i += 2) recorded.insert(files[i]);
  std::vector<std::string> missing;
  for (size_t i = 1; i < words.size(); i += 2) {
    for (size_t start = 0, comma; start <= words[i].size(); start = comma + 1) {
      comma = std::min(words[i].find(',', start), words[i].size());
      const std::string number = words[i].substr(start, comma - start);
      if (recorded.count(number) == 0) missing.push_back(number);
    }
  }
  return missing;
}

}  // namespace veskara
