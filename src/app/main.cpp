// The window program: one main window over the base.
#include "app/application.h"
#include "app/desktop.h"
#include "app/tm_form.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  // Under a file-size limit a write then fails with "Disk full" instead of
  // the window vanishing.
  veskara::IgnoreFileSizeLimitSignal();
  veskara::VeskaraApplication app(argc, argv);
  veskara::SystemDesktop desktop;
  veskara::TmForm mForm(desktop, veskara::Env::Default());
  mForm.show();
  return app.exec();
}
