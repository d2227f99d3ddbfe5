// "Add to base" as the window shows it: one scan at a time on its worker
// thread, its steps and messages in the status panels, and step 2's
// progress in a bar beside them.
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "app/layout_scale.h"
#include "indexer/scan.h"
#include "platform/env.h"

class QProgressBar;

namespace veskara {

class StatusPanels;
class TSeaThread;
struct BaseState;

class ScanProgress : public QObject {
  Q_OBJECT
 public:
  // The bar goes into `panels`, which must outlive this object.
  explicit ScanProgress(StatusPanels& panels);
  // Stops a running scan (the old base stays) and waits for its worker.
  ~ScanProgress() override;

  bool Running() const { return thread_ != nullptr; }

  // Window thread. Takes the base's lock, loads the base in
  // `base_directory` and starts the scan from `start_mask` (StartMaskFor).
  // Throws when the lock or the load fails; nothing has started then.
  void Start(const std::string& base_directory, const std::string& start_mask, Env& env);
  // What the last scan that ran to its end did (empty before one has).
  const ScanSummary& LastSummary() const { return last_summary_; }
  // Asks a running scan to stop at its next file; finished() follows.
  void RequestStop();

  void Place(const LayoutScale& scale);

 signals:
  // The scan has ended and its worker is gone. `failure` is the message of
  // the failure that ended it, empty when it succeeded or was stopped.
  void finished(const std::string& failure);

 private:
  void WorkerEnded();

  StatusPanels& panels_;
  QProgressBar* bar_;
  std::unique_ptr<BaseState> state_;  // the loaded base, the worker's while it runs
  std::unique_ptr<TSeaThread> thread_;
  ScanSummary last_summary_;
};

}  // namespace veskara
