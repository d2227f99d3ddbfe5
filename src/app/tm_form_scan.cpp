// "Add to base": the window's side of a scan.
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/scan_thread.h"
#include "app/tm_form.h"
#include "app/widgets.h"
#include "base/base.h"
#include "indexer/discovery.h"
#include "indexer/scan.h"

namespace veskara {

void TmForm::btnScanClick() {
  if (scan_thread_) return;
  const std::optional<std::string> mask = StartMaskFor(QFile::encodeName(DirEdit->text()).toStdString());
  if (!mask) return;
  btnScan->setEnabled(false);
  std::unique_ptr<Scan> scan;
  try {
    // Takes the base's lock and loads the base; on failure nothing changed.
    scan = Scan::Prepare(base_directory_, *mask, *base_state_);
  } catch (...) {
    btnScan->setEnabled(true);
    throw;
  }
  ScanDisplay display;
  display.show_step = [this](const QString& text) {
    ScanProgress->hide();
    SetPanelText(0, text);
  };
  display.show_status = [this](const QString& text) { SetPanelText(1, text); };
  display.show_progress = [this](size_t done, size_t total) {
    ScanProgress->setFormat(QString("%1 of %2").arg(done).arg(total));
    ScanProgress->setValue(total == 0 ? 0 : static_cast<int>(done * 1000 / total));
    ScanProgress->show();
  };
  scan_thread_ = std::make_unique<TSeaThread>(std::move(scan), this, std::move(display));
  connect(scan_thread_.get(), &QThread::finished, this, &TmForm::ScanFinished, Qt::QueuedConnection);
  scan_thread_->start();
}

void TmForm::ScanFinished() {
  if (!scan_thread_) return;
  std::unique_ptr<TSeaThread> thread = std::move(scan_thread_);
  thread->wait();
  const bool ended_early = thread->stopped() || !thread->failure().empty();
  const std::string failure = thread->failure();
  thread.reset();  // releases the base's lock

  ScanProgress->hide();
  if (ended_early) SetPanelText(0, QString());
  btnScan->setEnabled(true);
  Guarded([this] { ShowBaseStatistics(); });
  if (!failure.empty() && !close_after_scan_) ShowErrorReport(failure);
  emit scanFinished();
  if (close_after_scan_) close();
}

}  // namespace veskara
