#include "app/desktop.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace veskara {

void SystemDesktop::ShowMessage(QWidget* parent, MessageKind kind, const QString& caption, const QString& text) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (kind) {
    case MessageKind::kPlainDialog:
      icon = QMessageBox::NoIcon;
      break;
    case MessageKind::kInformationBox:
      icon = QMessageBox::Information;
      break;
    case MessageKind::kWarningBox:
      icon = QMessageBox::Warning;
      break;
    case MessageKind::kErrorReport:
      icon = QMessageBox::Critical;
      break;
  }
  QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
  box.exec();
}

bool SystemDesktop::Confirm(QWidget* parent, const QString& caption, const QString& text) {
  // An Enter pressed without reading must not change the base.
  return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
         QMessageBox::Yes;
}

bool SystemDesktop::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

QString SystemDesktop::PickFolder(QWidget* parent, const QString& preselected) {
  return QFileDialog::getExistingDirectory(parent, QString(), preselected, QFileDialog::ShowDirsOnly);
}

}  // namespace veskara
