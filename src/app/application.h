// The application object: a last net for failures that escape an event
// handler the window does not guard itself.
#pragma once

#include <QApplication>

namespace veskara {

class VeskaraApplication : public QApplication {
 public:
  VeskaraApplication(int& argc, char** argv);

  // Delivers the event; a failure that escapes it is shown in the general
  // error report instead of unwinding through the event loop.
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace veskara
