// The window program: one main window over the base beside the executable.
#include "app/application.h"
#include "app/desktop.h"
#include "app/tm_form.h"

int main(int argc, char** argv) {
  veskara::VeskaraApplication app(argc, argv);
  veskara::SystemDesktop desktop;
  veskara::TmForm mForm(desktop);
  mForm.show();
  return app.exec();
}
