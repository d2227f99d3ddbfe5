// A change of the base as the window shows it ("Add to base", an update, a
// remove): one scan at a time on its worker thread, its steps and messages
// in the status panels, and step 2's progress in a bar beside them.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
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

  // Makes the scan to run: Scan::Prepare, PrepareUpdate, PrepareKinds or
  // PrepareRemove, which take the base's lock and load into the state what
  // the scan needs.
  using Prepare = std::function<std::unique_ptr<Scan>(BaseState&)>;

  // Window thread. Prepares the scan with `prepare` and starts it on the
  // worker; started() follows. Throws what `prepare` throws (the lock or the
  // load failed); nothing has started then.
  void Start(const Prepare& prepare);
  // "Add to base": the scan of the tree of `folder` (FolderToScan) into the
  // base in `base_directory`.
  void Start(const std::string& base_directory, const std::string& folder, Env& env);
  // What the last scan did, when it ran to its end; none when it failed or
  // was stopped, or before any scan.
  const std::optional<ScanSummary>& LastSummary() const { return last_summary_; }
  // Asks a running scan to stop at its next file; finished() follows.
  void RequestStop();

  void Place(const LayoutScale& scale);

 signals:
  // A scan has started on the worker.
  void started();
  // The scan has ended and its worker is gone. `failure` is the message of
  // the failure that ended it, empty when it succeeded or was stopped.
  void finished(const std::string& failure);

 private:
  void WorkerEnded();

  StatusPanels& panels_;
  QProgressBar* bar_;
  std::unique_ptr<BaseState> state_;  // the loaded base, the worker's while it runs
  std::unique_ptr<TSeaThread> thread_;
  std::optional<ScanSummary> last_summary_;
};

}  // namespace veskara
