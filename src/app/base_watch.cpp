#include "app/base_watch.h"

#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <exception>
#include <vector>

#include "base/base_files.h"
#include "base/messages.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "watch/watch_loop.h"

namespace veskara {

// The watcher's thread: the same loop as `veskara-cli watch`, its reports
// posted to the window thread.
class KeeperThread : public QThread {
 public:
  KeeperThread(std::string directory, Env& env, BaseWatch* owner)
      : directory_(std::move(directory)), env_(env), owner_(owner) {}
  ~KeeperThread() override { Stop(); }

  // Window thread: a running update is abandoned at its next file.
  void Stop() {
    stop_.Raise();
    wait();
  }

 protected:
  void run() override {
    try {
      Watcher watcher(directory_, env_);
      RunWatchLoop(watcher, stop_, [this](const WatchReport& report) { Post(report); });
    } catch (const std::exception& failure) {
      const QString text = QString::fromStdString(FailureText(failure, "keep the base current"));
      QMetaObject::invokeMethod(
          owner_, [owner = owner_, text] { emit owner->failed(text); }, Qt::QueuedConnection);
    }
  }

 private:
  void Post(const WatchReport& report) {
    switch (report.kind) {
      case WatchReport::Kind::kWatching:
        break;
      case WatchReport::Kind::kUpdated:
        QMetaObject::invokeMethod(
            owner_,
            [owner = owner_, summary = report.summary] {
              emit owner->updated(summary);
              owner->Check();
            },
            Qt::QueuedConnection);
        break;
      case WatchReport::Kind::kFailed:
        QMetaObject::invokeMethod(
            owner_, [owner = owner_, text = QString::fromStdString(report.failure)] { emit owner->failed(text); },
            Qt::QueuedConnection);
        break;
    }
  }

  const std::string directory_;
  Env& env_;
  // Queued calls to it are dropped once it is gone; it stops this thread first.
  BaseWatch* const owner_;
  StopSignal stop_;
};

BaseWatch::BaseWatch(Env& env, QObject* parent) : QObject(parent), env_(env) {}

BaseWatch::~BaseWatch() { StopKeeper(); }

void BaseWatch::Follow(const std::string& directory) {
  if (directory != directory_) {
    const bool keep = KeepingCurrent();
    StopKeeper();
    directory_ = directory;
    delete notifier_;
    notifier_ = nullptr;
    watch_.reset();
    watching_directory_ = false;
    stamp_ = Stamp();
    if (keep) SetKeepCurrent(true);
  }
  if (watching_directory_ || directory_.empty()) return;
  try {
    if (!watch_) {
      watch_ = env_.WatchFolders();
      if (watch_->Descriptor() >= 0) {
        notifier_ = new QSocketNotifier(watch_->Descriptor(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &BaseWatch::TakeEvents);
      }
    }
    // Missing until the first scan makes it.
    watching_directory_ = watch_->Add(directory_) == WatchResult::kWatched;
  } catch (const std::exception&) {
    // No watch left in the system: changes show after the window's own scans.
  }
}

void BaseWatch::SetKeepCurrent(bool on) {
  if (!on) {
    StopKeeper();
    return;
  }
  if (keeper_ || directory_.empty()) return;
  try {
    keeper_ = std::make_unique<KeeperThread>(directory_, env_, this);
  } catch (const std::exception& failure) {
    emit failed(QString::fromStdString(FailureText(failure, "keep the base current")));
    return;
  }
  keeper_->start(QThread::LowPriority);
}

void BaseWatch::StopKeeper() { keeper_.reset(); }

void BaseWatch::Check() {
  if (!watching_directory_) Follow(directory_);
  std::string stamp = Stamp();
  if (stamp == stamp_) return;
  stamp_ = std::move(stamp);
  emit changed();
}

void BaseWatch::TakeEvents() {
  std::vector<FolderEvent> events;
  try {
    watch_->Read(&events);
  } catch (const std::exception&) {
    // Nothing more to learn from it; the stamps below still tell.
  }
  for (const FolderEvent& event : events) {
    if (event.change == FolderChange::kFolderGone) watching_directory_ = false;
  }
  Check();
}

std::string BaseWatch::Stamp() const {
  // The files a change of the base always rewrites: each is replaced by a
  // new file (a rename), so its identity or time differs after any change.
  std::string stamp;
  for (const std::string_view name : {kFilesFileName, kFoldersFileName, kExcludedFileName, kKindsFileName}) {
    const PathInfo info = env_.Stat(BaseFilePath(directory_, name));
    stamp.append(std::to_string(static_cast<int>(info.kind)));
    for (const uint64_t part : {info.size, static_cast<uint64_t>(info.mtime_ns), info.id.device, info.id.inode}) {
      stamp.push_back(' ');
      stamp.append(std::to_string(part));
    }
    stamp.push_back('\n');
  }
  return stamp;
}

}  // namespace veskara
