// What the window asks of the desktop: modal messages and questions, the
// "open" operation and the folder picker. The window receives one Desktop and never reaches
// these services another way, so tests can hand it a recorder instead of
// opening dialogs or applications.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

#include "base/messages.h"

class QWidget;

namespace veskara {

class Desktop {
 public:
  virtual ~Desktop() = default;

  // Shows a modal message of `kind` with `caption` and `text` and returns
  // when the user has closed it.
  virtual void ShowMessage(QWidget* parent, MessageKind kind, const QString& caption, const QString& text) = 0;

  // Asks a modal yes-or-no question with `caption` and `text`; true only
  // when the user said yes. No is the default answer.
  virtual bool Confirm(QWidget* parent, const QString& caption, const QString& text) = 0;

  // Hands `url` (a local file, a web address or a mailto: link) to the
  // desktop. False when the request could not be made. The desktop may
  // only find later that it cannot open it (no application for the file's
  // type): it then says so through the handler below.
  virtual bool OpenUrl(const QUrl& url) = 0;

  // The platform's folder picker, opened on `preselected`; folders only.
  // An empty text when the user cancelled.
  virtual QString PickFolder(QWidget* parent, const QString& preselected) = 0;

  // Where a failure found after OpenUrl returned true goes, with the
  // desktop's own words for it; on the window's thread. None: it is dropped.
  using OpenFailureHandler = std::function<void(const QUrl& url, const QString& reason)>;
  void SetLateOpenFailureHandler(OpenFailureHandler handler) { late_open_failure_ = std::move(handler); }

 protected:
  void ReportLateOpenFailure(const QUrl& url, const QString& reason) const {
    if (late_open_failure_) late_open_failure_(url, reason);
  }

 private:
  OpenFailureHandler late_open_failure_;
};

// The real desktop: QMessageBox, QFileDialog, and xdg-open for local files
// (so that its complaint reaches the window; QDesktopServices elsewhere).
class SystemDesktop : public Desktop {
 public:
  void ShowMessage(QWidget* parent, MessageKind kind, const QString& caption, const QString& text) override;
  bool Confirm(QWidget* parent, const QString& caption, const QString& text) override;
  bool OpenUrl(const QUrl& url) override;
  QString PickFolder(QWidget* parent, const QString& preselected) override;
};

}  // namespace veskara
