#include "app/desktop.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

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

namespace {

// What the opener wrote on its error output, as one line a message can show.
QString ReasonOf(QProcess& process, int exit_code) {
  constexpr qint64 kMostShown = 2000;
  QString reason = QString::fromLocal8Bit(process.readAllStandardError().left(kMostShown)).simplified();
  reason.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
  if (reason.isEmpty()) reason = QString("%1 ended with code %2").arg(process.program()).arg(exit_code);
  return reason;
}

}  // namespace

bool SystemDesktop::OpenUrl(const QUrl& url) {
  // QDesktopServices starts xdg-open detached and reports success whatever
  // it then finds; run it here to hear why a file would not open.
  const QString opener = QStandardPaths::findExecutable("xdg-open");
  if (!url.isLocalFile() || opener.isEmpty()) return QDesktopServices::openUrl(url);
  // Without a parent: closing the window neither waits for the opener nor
  // kills the application it may keep running.
  auto* process = new QProcess;
  process->setProgram(opener);
  process->setArguments({QString::fromLatin1(url.toEncoded())});
  process->setStandardInputFile(QProcess::nullDevice());
  process->setStandardOutputFile(QProcess::nullDevice());
  QObject::connect(process, &QProcess::finished, process, [this, process, url](int code, QProcess::ExitStatus status) {
    if (status != QProcess::NormalExit || code != 0) ReportLateOpenFailure(url, ReasonOf(*process, code));
    process->deleteLater();
  });
  QObject::connect(process, &QProcess::errorOccurred, process, [this, process, url](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;
    ReportLateOpenFailure(url, process->errorString());
    process->deleteLater();
  });
  process->start();
  return true;
}

QString SystemDesktop::PickFolder(QWidget* parent, const QString& preselected) {
  return QFileDialog::getExistingDirectory(parent, QString(), preselected, QFileDialog::ShowDirsOnly);
}

}  // namespace veskara
