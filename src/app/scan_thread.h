// The scan worker: one thread per "Add to base" that runs a prepared Scan
// and shows its progress on the window.
#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace veskara {

class Scan;
struct ScanSummary;

// How the worker's progress reaches the window. Each function runs on the
// window thread while the worker waits: it is posted to `window` below, an
// object of that thread, and dropped if that object is gone.
struct ScanDisplay {
  std::function<void(const QString&)> show_step;    // status panel 0
  std::function<void(const QString&)> show_status;  // status panel 1
  std::function<void(size_t done, size_t total)> show_progress;
};

class TSeaThread : public QThread {
  Q_OBJECT
 public:
  // Takes over the prepared scan (and so its lock on the base). Call start()
  // to run it; finished() says when it has ended.
  TSeaThread(std::unique_ptr<Scan> scan, QObject* window, ScanDisplay display);
  // Stops the scan if it still runs and waits for the thread.
  ~TSeaThread() override;

  // Window thread. Asks the scan to stop at its next file or its next report
  // to the window, keeping the old base. From then on the worker never waits
  // for the window again, so the window thread may block on wait() without a
  // deadlock.
  void RequestStop();

  // After finished(): whether the scan stopped on request, and the message
  // of a failure that ended it ("" when it succeeded or stopped).
  bool stopped() const { return stopped_; }
  const std::string& failure() const { return failure_; }
  // After finished(): what the scan did.
  const ScanSummary& Summary() const;

 protected:
  void run() override;

 private:
  class Observer;

  std::unique_ptr<Scan> scan_;
  std::unique_ptr<Observer> observer_;
  bool stopped_ = false;
  std::string failure_;
};

}  // namespace veskara
