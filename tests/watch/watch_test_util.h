// Helpers of the watcher's tests: a base's content by path, the scans as a
// front end runs them, and a watcher driven by hand.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/remembered.h"
#include "indexer/scan_test_util.h"
#include "reference/literal_lines.h"
#include "watch/watcher.h"

namespace veskara::testing {

// What the base holds: each path of fls.txt with the words whose records
// name its number. Two bases that numbered their files differently hold the
// same when these are equal.
inline std::map<std::string, std::set<std::string>> BaseContent(const std::string& base) {
  std::map<std::string, std::string> path_of;  // number -> path
  std::map<std::string, std::set<std::string>> content;
  const std::vector<std::string> files = reference::LiteralLines(ReadFile(FilesFilePath(base)));
  for (size_t i = 0; i + 1 < files.size(); i += 2) {
    path_of[files[i + 1]] = files[i];
    content[files[i]];
  }
  const std::vector<std::string> words = reference::LiteralLines(ReadFile(WordsFilePath(base)));
  for (size_t i = 0; i + 1 < words.size(); i += 2) {
    for (size_t start = 0; start <= words[i + 1].size();) {
      const size_t comma = std::min(words[i + 1].find(',', start), words[i + 1].size());
      content[path_of.at(words[i + 1].substr(start, comma - start))].insert(words[i]);
      start = comma + 1;
    }
  }
  return content;
}

// The paths of fls.txt under `root`, relative to it, sorted.
inline std::vector<std::string> PathsUnder(const std::string& base, const std::string& root) {
  std::vector<std::string> paths;
  for (const FileRecord& record : ReadFileRecords(base, Env::Default())) {
    if (IsAtOrUnder(record.path, root)) paths.push_back(record.path.substr(root.size() + 1));
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

inline ScanSummary AddFolder(const std::string& base, const std::string& folder, Env& env = Env::Default()) {
  std::filesystem::create_directories(base);
  BaseState state;
  std::unique_ptr<Scan> scan = Scan::Prepare(base, folder, state, env);
  RecordingObserver observer;
  scan->Run(observer);
  return scan->Summary();
}

inline ScanSummary UpdateFolders(const std::string& base, std::vector<std::string> folders, Env& env = Env::Default()) {
  BaseState state;
  std::unique_ptr<Scan> scan = Scan::PrepareUpdate(base, std::move(folders), false, state, env);
  RecordingObserver observer;
  scan->Run(observer);
  return scan->Summary();
}

inline ScanSummary RemovePaths(const std::string& base, std::vector<std::string> paths, Env& env = Env::Default()) {
  BaseState state;
  std::unique_ptr<Scan> scan = Scan::PrepareRemove(base, std::move(paths), state, env);
  RecordingObserver observer;
  scan->Run(observer);
  return scan->Summary();
}

// A watcher and what it reported, driven by hand at times given in seconds.
struct DrivenWatcher {
  DrivenWatcher(const std::string& base, Env& env, WatchOptions options = {}) : watcher(base, env, options) {}

  static int64_t At(double seconds) { return static_cast<int64_t>(seconds * 1e9); }
  // Events taken, then what is due run, at `seconds`; the reports it made.
  std::vector<WatchReport> Step(double seconds) {
    watcher.TakeEvents(At(seconds));
    const size_t first = reports.size();
    watcher.RunDue(At(seconds), observer, [this](const WatchReport& report) { reports.push_back(report); });
    return {reports.begin() + static_cast<std::ptrdiff_t>(first), reports.end()};
  }
  // The summaries of the updates among `step`.
  static std::vector<ScanSummary> Updates(const std::vector<WatchReport>& step) {
    std::vector<ScanSummary> updates;
    for (const WatchReport& report : step) {
      if (report.kind == WatchReport::Kind::kUpdated) updates.push_back(report.summary);
    }
    return updates;
  }

  Watcher watcher;
  RecordingObserver observer;
  std::vector<WatchReport> reports;
};

}  // namespace veskara::testing
