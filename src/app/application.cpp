#include "app/application.h"

#include <QFile>
#include <QMessageBox>

#include "base/messages.h"

namespace veskara {

VeskaraApplication::VeskaraApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(kApplicationTitle);
  setApplicationVersion("1.0");
  setDesktopFileName("veskara");
}

bool VeskaraApplication::notify(QObject* receiver, QEvent* event) {
  std::string message;
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Unknown failure";
  }
  try {
    QMessageBox::critical(activeWindow(), kApplicationTitle,
                          QFile::decodeName(QByteArray::fromStdString(ErrorReportText(message))));
  } catch (...) {
  }
  return false;
}

}  // namespace veskara
