#include "app/scan_progress.h"

#include <QProgressBar>
#include <stdexcept>

#include "app/scan_thread.h"
#include "app/status_panels.h"
#include "base/base.h"
#include "indexer/scan.h"

namespace veskara {

namespace {

constexpr int kBarWidth = 160;

}  // namespace

ScanProgress::ScanProgress(StatusPanels& panels) : panels_(panels), bar_(new QProgressBar(&panels)) {
  bar_->setObjectName("ScanProgress");
  bar_->setRange(0, 1000);
  bar_->setTextVisible(true);
  bar_->hide();
  panels.addPermanentWidget(bar_);
  Place(LayoutScale());
}

ScanProgress::~ScanProgress() {
  // Before the panels go: the worker shows its progress on them.
  thread_.reset();
}

void ScanProgress::Start(const std::string& base_directory, const std::string& folder, Env& env) {
  Start([&](BaseState& state) { return Scan::Prepare(base_directory, folder, state, env); });
}

void ScanProgress::Start(const Prepare& prepare) {
  // The pages disable what would start a second scan while one runs.
  if (thread_) throw std::logic_error("a scan is already running");
  auto state = std::make_unique<BaseState>();
  std::unique_ptr<Scan> scan = prepare(*state);
  ScanDisplay display;
  display.show_step = [this](const QString& text) {
    bar_->hide();
    panels_.SetPanelText(0, text);
  };
  display.show_status = [this](const QString& text) { panels_.SetPanelText(1, text); };
  display.show_progress = [this](size_t done, size_t total) {
    bar_->setFormat(QString("%1 of %2").arg(done).arg(total));
    bar_->setValue(total == 0 ? 0 : static_cast<int>(done * 1000 / total));
    bar_->show();
  };
  state_ = std::move(state);
  thread_ = std::make_unique<TSeaThread>(std::move(scan), this, std::move(display));
  connect(thread_.get(), &QThread::finished, this, &ScanProgress::WorkerEnded, Qt::QueuedConnection);
  thread_->start();
  emit started();
}

void ScanProgress::RequestStop() {
  if (thread_) thread_->RequestStop();
}

void ScanProgress::Place(const LayoutScale& scale) { bar_->setFixedWidth(scale(kBarWidth)); }

void ScanProgress::WorkerEnded() {
  if (!thread_) return;
  std::unique_ptr<TSeaThread> thread = std::move(thread_);
  thread->wait();
  const bool ended_early = thread->stopped() || !thread->failure().empty();
  const std::string failure = thread->failure();
  last_summary_.reset();
  if (!ended_early) last_summary_ = thread->Summary();
  thread.reset();  // releases the base's lock
  state_.reset();

  bar_->hide();
  if (ended_early) panels_.SetPanelText(0, QString());
  emit finished(failure);
}

}  // namespace veskara
