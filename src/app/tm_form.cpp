#include "app/tm_form.h"

#include <QCloseEvent>
#include <QFile>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTabWidget>
#include <QToolTip>
#include <exception>

#include "app/desktop.h"
#include "app/scan_thread.h"
#include "app/widgets.h"
#include "base/base.h"
#include "base/base_files.h"
#include "indexer/scan.h"
#include "platform/paths.h"
#include "platform/text_file.h"

namespace veskara {

QString TmForm::PanelText(int panel) const { return panels_[panel]->text(); }

void TmForm::SetPanelText(int panel, const QString& text) {
  panels_[panel]->setText(text);
  emit panelTextChanged(panel, text);
}

void TmForm::Show(const UserMessage& message) {
  const bool own_caption = message.kind == MessageKind::kInformationBox || message.kind == MessageKind::kWarningBox;
  const QString caption =
      own_caption ? QFile::decodeName(QByteArray::fromStdString(message.caption)) : QString(kApplicationTitle);
  desktop_.ShowMessage(this, message.kind, caption, QFile::decodeName(QByteArray::fromStdString(message.text)));
}

void TmForm::ShowErrorReport(const std::string& message) {
  try {
    Show({MessageKind::kErrorReport, kApplicationTitle, ErrorReportText(message)});
  } catch (...) {
    // Nothing is left to tell the user with; the window goes on.
  }
}

void TmForm::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowErrorReport(e.what());
  } catch (...) {
    ShowErrorReport("Unknown failure");
  }
}

void TmForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  Guarded([this] { FormShow(); });
}

void TmForm::closeEvent(QCloseEvent* event) {
  if (scan_thread_) {
    // Stop the scan at its next file, keep the old base, and close when the
    // worker has ended (ScanFinished). The window thread never blocks here.
    close_after_scan_ = true;
    scan_thread_->RequestStop();
    event->ignore();
    return;
  }
  Guarded([this] { FormClose(); });
  event->accept();
}

void TmForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  PlaceControls();
}

bool TmForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListBox1->viewport() && event->type() == QEvent::MouseButtonPress) {
    press_changed_selection_ = false;
  } else if (watched == Edit1 && event->type() == QEvent::KeyPress &&
             static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
             static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
    Edit1->clear();
    return true;
  } else if (watched == ListBox2->viewport() && event->type() == QEvent::ToolTip) {
    // The full path, only for a row that the list cuts off.
    auto* help = static_cast<QHelpEvent*>(event);
    QListWidgetItem* item = ListBox2->itemAt(help->pos());
    if (item != nullptr) {
      const QRect row = ListBox2->visualItemRect(item);
      const int needed = ListBox2->fontMetrics().horizontalAdvance(item->text()) + 8;
      if (row.left() < 0 || row.left() + needed > ListBox2->viewport()->width()) {
        QToolTip::showText(help->globalPos(), item->text(), ListBox2->viewport());
        return true;
      }
    }
    QToolTip::hideText();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TmForm::FormShow() {
  SetFittedText(LabFilesCount, QString());
  SetFittedText(LabWordsCount, QString());
  base_directory_ = base_directory_source_ ? base_directory_source_() : DefaultBaseDirectory();
  // A commit that a crash interrupted is finished or rolled back before
  // anything reads the base. When that fails, the start still ends as usual
  // and the failure is reported after it.
  std::exception_ptr recovery_failure;
  try {
    RecoverBase(base_directory_);
  } catch (...) {
    recovery_failure = std::current_exception();
  }
  if (!FileExists(WordsFilePath(base_directory_))) {
    SetPanelText(1, "First, you should add to base one or more directory...");
  }
  found_number_lists_.clear();
  *base_state_ = BaseState();
  PageControl1->setCurrentWidget(TabSheet1);
  ShowBaseStatistics();
  if (recovery_failure) std::rethrow_exception(recovery_failure);
}

void TmForm::FormClose() {
  found_number_lists_.clear();
  *base_state_ = BaseState();
}

}  // namespace veskara
