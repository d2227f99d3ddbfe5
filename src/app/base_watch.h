// The window's eye on its base: it notices when the base's files change,
// whoever changed them (the window's own scans, veskara-cli, a watcher in
// another process), and, while the user keeps the base current, runs the
// watcher (watch/watcher.h) over it on a thread of its own.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>

#include "base/scan_summary.h"
#include "platform/env.h"
#include "platform/folder_watch.h"

class QSocketNotifier;

namespace veskara {

class KeeperThread;

class BaseWatch : public QObject {
  Q_OBJECT
 public:
  // `env` must outlive this object; the watcher thread uses it too.
  explicit BaseWatch(Env& env, QObject* parent = nullptr);
  // Stops the watcher (a running update is abandoned, the base stays
  // whole) and waits for its thread.
  ~BaseWatch() override;

  // Window thread. Follows the base in `directory` from now on; again after
  // a scan made the folder. Never throws: a base folder that cannot be
  // watched yet is looked at again by Check.
  void Follow(const std::string& directory);
  // Window thread. Runs the watcher over the followed base while `on`.
  void SetKeepCurrent(bool on);
  bool KeepingCurrent() const { return keeper_ != nullptr; }
  // Window thread. Emits changed() when the base's files differ from when
  // last looked at.
  void Check();

 signals:
  // The base's list of files or its remembered folders changed.
  void changed();
  // The watcher ran an update.
  void updated(const ScanSummary& summary);
  // The watcher could not do its work; it tries again by itself unless it
  // ended (then the text says so).
  void failed(const QString& message);

 private:
  std::string Stamp() const;
  void TakeEvents();
  void StopKeeper();

  Env& env_;
  std::string directory_;
  std::string stamp_;
  std::unique_ptr<FolderWatch> watch_;
  bool watching_directory_ = false;
  QSocketNotifier* notifier_ = nullptr;
  std::unique_ptr<KeeperThread> keeper_;
};

}  // namespace veskara
