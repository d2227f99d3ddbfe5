// The search as the query is typed: on a thread of its own, over wrds.txt
// held in memory (loaded once, and again only when the file has changed),
// each new search cancelling the one before. The written search on the
// window's thread stays as it is; this one serves the option "Search as you
// type".
#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/env.h"
#include "search/search.h"

namespace veskara {

class LiveSearch : public QObject {
  Q_OBJECT
 public:
  // What a search gave, for the query it was asked with.
  struct Result {
    std::string query;  // Windows-1251
    SearchOptions options;
    SearchOutcome outcome;
    std::optional<BaseSnapshot> base;  // the base searched, to look its numbers up in
    std::string failure;               // a read of wrds.txt that failed: why; the outcome is empty then
  };

  // Results go to `shown`, on the window's thread (this object's). `env`
  // must outlive the object.
  LiveSearch(Env& env, std::function<void(const Result&)> shown, QObject* parent = nullptr);
  // Cancels what runs and waits for the thread.
  ~LiveSearch() override;

  // Searches `query` (Windows-1251) in the base of `base_directory`. A
  // running search is cancelled and a waiting one dropped: only the last
  // one asked for is ever shown.
  void Submit(const std::string& base_directory, std::string query, const SearchOptions& options);
  // Loads wrds.txt ahead of the first keystroke, when it is not in memory.
  void Preload(const std::string& base_directory);
  // Lets go of the words held in memory (the option was turned off).
  void Release();

 signals:
  // A result has been handed to `shown`.
  void resultShown();

 private:
  struct Request {
    enum class Kind { kSearch, kPreload, kRelease } kind;
    uint64_t id = 0;
    std::string base_directory;
    std::string query;
    SearchOptions options;
  };
  void Ask(Request request);
  void Run();
  void Deliver(uint64_t id, std::shared_ptr<Result> result);

  Env& env_;
  std::function<void(const Result&)> shown_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Request> waiting_;
  std::shared_ptr<std::atomic<bool>> running_cancel_;
  bool stopping_ = false;
  uint64_t last_id_ = 0;  // window thread: the search whose result may be shown
  std::thread thread_;
};

}  // namespace veskara
