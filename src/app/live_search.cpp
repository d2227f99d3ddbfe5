#include "app/live_search.h"

#include <exception>
#include <utility>

#include "base/messages.h"
#include "search/loaded_words.h"

namespace veskara {

LiveSearch::LiveSearch(Env& env, std::function<void(const Result&)> shown, QObject* parent)
    : QObject(parent), env_(env), shown_(std::move(shown)) {
  thread_ = std::thread([this] { Run(); });
}

LiveSearch::~LiveSearch() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    if (running_cancel_) *running_cancel_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void LiveSearch::Submit(const std::string& base_directory, std::string query, const SearchOptions& options) {
  Ask({Request::Kind::kSearch, ++last_id_, base_directory, std::move(query), options});
}

void LiveSearch::Preload(const std::string& base_directory) {
  Ask({Request::Kind::kPreload, 0, base_directory, {}, {}});
}

void LiveSearch::Release() {
  // A search asked for before stays unshown.
  ++last_id_;
  Ask({Request::Kind::kRelease, 0, {}, {}, {}});
}

void LiveSearch::Ask(Request request) {
  {
    std::lock_guard lock(mutex_);
    if (running_cancel_) *running_cancel_ = true;
    waiting_ = std::move(request);
  }
  wake_.notify_one();
}

void LiveSearch::Run() {
  // Only this thread touches the words in memory.
  LoadedWords words;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || waiting_.has_value(); });
    if (stopping_) return;
    Request request = std::move(*waiting_);
    waiting_.reset();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    running_cancel_ = cancel;
    lock.unlock();

    std::shared_ptr<Result> result;
    try {
      if (request.kind == Request::Kind::kRelease) {
        words = LoadedWords();
      } else {
        if (!words.IsCurrent(request.base_directory, env_)) words = LoadedWords::Load(request.base_directory, env_);
        if (request.kind == Request::Kind::kSearch) {
          result = std::make_shared<Result>();
          result->outcome = RunSearch(words, request.query, request.options, cancel.get());
          result->base = words.base();
        }
      }
    } catch (const std::exception& failure) {
      words = LoadedWords();
      if (request.kind == Request::Kind::kSearch) {
        result = std::make_shared<Result>();
        result->failure = FailureText(failure, "search the base");
      }
    }
    if (result && !*cancel) {
      result->query = std::move(request.query);
      result->options = request.options;
      QMetaObject::invokeMethod(
          this, [this, id = request.id, result] { Deliver(id, result); }, Qt::QueuedConnection);
    }

    lock.lock();
    running_cancel_.reset();
  }
}

void LiveSearch::Deliver(uint64_t id, std::shared_ptr<Result> result) {
  // A later search was asked for meanwhile: this one is stale.
  if (id != last_id_) return;
  shown_(*result);
  emit resultShown();
}

}  // namespace veskara
