#include "app/files_worker.h"

#include <memory>

namespace veskara {

namespace {

// Facts come in steps this large, so that the status bar can say how far.
constexpr size_t kFactsStep = 2000;

}  // namespace

FilesWorker::FilesWorker(Env& env, Callbacks callbacks, QObject* parent)
    : QObject(parent), env_(env), callbacks_(std::move(callbacks)) {
  thread_ = std::thread([this] { Run(); });
}

FilesWorker::~FilesWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void FilesWorker::StartList(std::string query, SearchOptions options, std::string base_directory) {
  {
    std::lock_guard lock(mutex_);
    ++generation_;
    query_ = std::move(query);
    options_ = options;
    base_directory_ = std::move(base_directory);
    to_stat_.clear();
    lines_.clear();
  }
}

void FilesWorker::StatAll(std::vector<Row> rows) {
  {
    std::lock_guard lock(mutex_);
    to_stat_ = std::move(rows);
  }
  wake_.notify_one();
}

void FilesWorker::WantLines(std::vector<Row> rows) {
  {
    std::lock_guard lock(mutex_);
    lines_.assign(std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
  }
  wake_.notify_one();
}

bool FilesWorker::ReadingLines() const {
  std::lock_guard lock(mutex_);
  return line_running_ || !lines_.empty();
}

template <typename Result>
void FilesWorker::Post(uint64_t generation, Result&& deliver) {
  // Shown only while its list is still the page's.
  QMetaObject::invokeMethod(
      this,
      [this, generation, deliver = std::forward<Result>(deliver)]() mutable {
        if (generation != generation_) return;  // read on this thread: StartList runs here too
        deliver();
      },
      Qt::QueuedConnection);
}

void FilesWorker::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !to_stat_.empty() || !lines_.empty(); });
    if (stopping_) return;
    const uint64_t generation = generation_;
    if (!to_stat_.empty()) {
      // Dates and sizes first: a sort or a filter waits for them.
      std::vector<Row> rows = std::move(to_stat_);
      to_stat_.clear();
      lock.unlock();
      auto facts = std::make_shared<std::vector<std::pair<uint32_t, FileFacts>>>();
      facts->reserve(rows.size());
      for (size_t i = 0; i < rows.size(); ++i) {
        // A new list, or the page closing, makes the rest worthless.
        if (i % 256 == 0 && (stopping_ || generation_ != generation)) break;
        facts->emplace_back(rows[i].first, FactsOf(rows[i].second, env_));
        if ((i + 1) % kFactsStep == 0) {
          Post(generation, [this, done = i + 1, total = rows.size()] { callbacks_.facts_progress(done, total); });
        }
      }
      Post(generation, [this, facts] { callbacks_.facts(std::move(*facts)); });
      lock.lock();
      continue;
    }
    Row row = std::move(lines_.front());
    lines_.pop_front();
    line_running_ = true;
    const std::string query = query_;
    const SearchOptions options = options_;
    const std::string base_directory = base_directory_;
    lock.unlock();
    auto line = std::make_shared<FirstLine>(FirstMatchingLine(row.second, query, options, base_directory, env_));
    lock.lock();
    line_running_ = false;
    const bool last = lines_.empty();
    lock.unlock();
    Post(generation, [this, index = row.first, line, last] {
      callbacks_.line(index, std::move(*line));
      if (last && !ReadingLines()) emit linesDone();
    });
    lock.lock();
  }
}

}  // namespace veskara
