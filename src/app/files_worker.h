// The Files page's work off the window's thread: one Stat of each file for
// the dates and sizes, and the first matching line of the files in view.
// Every job belongs to one list of files (a generation); a result of an
// older list is dropped, never shown.
#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/env.h"
#include "results/result_files.h"
#include "search/search.h"

namespace veskara {

class FilesWorker : public QObject {
  Q_OBJECT
 public:
  // A row of the list and its path.
  using Row = std::pair<uint32_t, std::string>;
  struct Callbacks {
    // Every result comes on the window's thread (this object's).
    std::function<void(size_t done, size_t total)> facts_progress;
    std::function<void(std::vector<std::pair<uint32_t, FileFacts>>)> facts;
    std::function<void(uint32_t row, FirstLine line)> line;
  };

  // `env` must outlive the object.
  FilesWorker(Env& env, Callbacks callbacks, QObject* parent = nullptr);
  // Drops what waits and waits for what runs (a PDF document being
  // converted for its line ends first).
  ~FilesWorker() override;

  // A new list: whatever was asked for the old one is dropped. The lines
  // are those of `query` (Windows-1251) with `options`, as in
  // `base_directory`'s conversion folder.
  void StartList(std::string query, SearchOptions options, std::string base_directory);
  // Stats every row, in order; progress now and then, all facts at the end.
  void StatAll(std::vector<Row> rows);
  // The first lines of `rows`, in this order; replaces the lines still
  // waiting (the rows in view have changed).
  void WantLines(std::vector<Row> rows);
  // True while lines are waiting or being read.
  bool ReadingLines() const;

 signals:
  // Every line asked for has come.
  void linesDone();

 private:
  void Run();
  template <typename Result>
  void Post(uint64_t generation, Result&& deliver);

  Env& env_;
  Callbacks callbacks_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  // Written under the mutex; read without it by a long job, to stop early.
  std::atomic<bool> stopping_ = false;
  std::atomic<uint64_t> generation_ = 0;
  std::string query_;
  SearchOptions options_;
  std::string base_directory_;
  std::vector<Row> to_stat_;
  std::deque<Row> lines_;
  bool line_running_ = false;
  std::thread thread_;
};

}  // namespace veskara
