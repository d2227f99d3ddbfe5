#include "app/scan_thread.h"

#include <QMetaObject>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "indexer/scan.h"

namespace veskara {

namespace {

// Shared between the worker, the window and the calls posted to the window;
// a posted call may outlive the observer when the window abandons it.
struct SyncState {
  std::mutex mutex;
  std::condition_variable changed;
  bool stop = false;
};

}  // namespace

// Forwards the scan's calls to the window thread and waits for each, like a
// blocking queued call that a stop request can cancel.
class TSeaThread::Observer : public ScanObserver {
 public:
  Observer(QObject* window, ScanDisplay display)
      : window_(window), display_(std::move(display)), sync_(std::make_shared<SyncState>()) {}

  void SetStep(const std::string& text) override {
    const QString shown = QString::fromStdString(text);
    RunOnWindow([display = display_, shown] { display.show_step(shown); });
  }

  void SetStatus(const std::string& text) override {
    const QString shown = QString::fromStdString(text);
    RunOnWindow([display = display_, shown] { display.show_status(shown); });
  }

  void SetProgress(size_t done, size_t total) override {
    // The scan reports only when the bar would move, so each report is drawn.
    RunOnWindow([display = display_, done, total] { display.show_progress(done, total); });
  }

  bool StopRequested() override {
    std::lock_guard lock(sync_->mutex);
    return sync_->stop;
  }

  void RequestStop() {
    std::lock_guard lock(sync_->mutex);
    sync_->stop = true;
    sync_->changed.notify_all();
  }

 private:
  // Runs `show` on the window thread and waits for it; a failure inside it
  // is raised again here, so it ends the scan instead of leaving through the
  // window's event loop with the worker waiting for ever. Throws ScanStopped
  // once a stop is requested: the walk of step 1 and the sorting and writing
  // of steps 3 and 4 ask for no file, and a walk of a large tree must not
  // keep a closing window open.
  void RunOnWindow(std::function<void()> show) {
    struct Call {
      bool done = false;
      std::exception_ptr failure;
    };
    std::shared_ptr<SyncState> sync = sync_;
    auto call = std::make_shared<Call>();
    {
      std::lock_guard lock(sync->mutex);
      if (sync->stop) throw ScanStopped();
    }
    QMetaObject::invokeMethod(
        window_,
        [sync, call, show = std::move(show)] {
          {
            std::lock_guard lock(sync->mutex);
            if (sync->stop) return;  // abandoned: the window is closing
          }
          std::exception_ptr failure;
          try {
            show();
          } catch (...) {
            failure = std::current_exception();
          }
          std::lock_guard lock(sync->mutex);
          call->failure = failure;
          call->done = true;
          sync->changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(sync->mutex);
    sync->changed.wait(lock, [&] { return call->done || sync->stop; });
    if (!call->done) throw ScanStopped();
    if (call->failure) std::rethrow_exception(call->failure);
  }

  QObject* window_;
  ScanDisplay display_;
  std::shared_ptr<SyncState> sync_;
};

TSeaThread::TSeaThread(std::unique_ptr<Scan> scan, QObject* window, ScanDisplay display)
    : scan_(std::move(scan)), observer_(std::make_unique<Observer>(window, std::move(display))) {}

TSeaThread::~TSeaThread() {
  RequestStop();
  wait();
}

void TSeaThread::RequestStop() { observer_->RequestStop(); }

const ScanSummary& TSeaThread::Summary() const { return scan_->Summary(); }

void TSeaThread::run() {
  // Nothing may leave run(): QThread would end the process.
  try {
    scan_->Run(*observer_);
  } catch (const ScanStopped&) {
    stopped_ = true;
  } catch (const std::exception& e) {
    failure_ = e.what();
  } catch (...) {
    failure_ = "The scan failed";
  }
}

}  // namespace veskara
