// The window program: one main window over the base.
#include <QFile>
#include <QMessageBox>
#include <exception>
#include <string>

#include "app/application.h"
#include "app/desktop.h"
#include "app/tm_form.h"
#include "base/base_location.h"
#include "base/messages.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  // Under a file-size limit a write then fails with "Disk full" instead of
  // the window vanishing.
  veskara::IgnoreFileSizeLimitSignal();
  veskara::VeskaraApplication app(argc, argv);
  veskara::Env& env = veskara::Env::Default();
  // A window over no base, or over a file that stands where the base
  // belongs, could only fail at every step.
  std::string problem;
  std::string base_directory;
  try {
    const veskara::BaseLocation where = veskara::LocateBase(std::nullopt, env);
    problem = veskara::BaseFolderProblem(where, env);
    base_directory = where.directory;
  } catch (const std::exception& none) {
    problem = none.what();
  }
  if (!problem.empty()) {
    QMessageBox::critical(nullptr, veskara::kApplicationTitle,
                          QFile::decodeName(QByteArray::fromStdString(veskara::ErrorReportText(problem))));
    return 2;
  }
  veskara::SystemDesktop desktop;
  veskara::TmForm mForm(desktop, env, [base_directory] { return base_directory; });
  mForm.show();
  return app.exec();
}
