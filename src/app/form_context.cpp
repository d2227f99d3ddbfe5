#include "app/form_context.h"

#include <QFile>
#include <QSettings>
#include <QUrl>
#include <exception>

#include "app/desktop.h"
#include "platform/paths.h"

namespace veskara {

namespace {

// ~/.config/veskara/veskara.conf on Linux.
QSettings Settings() { return QSettings("veskara", "veskara"); }

constexpr const char* kFoldYoKey = "search/foldYo";
constexpr const char* kKeepCurrentKey = "base/keepCurrent";
constexpr const char* kAsYouTypeKey = "search/asYouType";

}  // namespace

FormContext::FormContext(Desktop& desktop, QWidget& window, Env& env)
    : desktop_(desktop),
      window_(window),
      env_(env),
      fold_yo_(Settings().value(kFoldYoKey, false).toBool()),
      keep_current_(Settings().value(kKeepCurrentKey, false).toBool()),
      search_as_you_type_(Settings().value(kAsYouTypeKey, false).toBool()) {
  desktop_.SetLateOpenFailureHandler([this](const QUrl& url, const QString& reason) {
    const QString what =
        url.isLocalFile() ? QString(kCannotOpenFile) : "Sorry, can't open " + url.toDisplayString() + ".";
    desktop_.ShowMessage(&window_, MessageKind::kWarningBox, "Message", what + "\n\n" + reason);
  });
}

FormContext::~FormContext() { desktop_.SetLateOpenFailureHandler({}); }

void FormContext::SetFoldYo(bool on) {
  fold_yo_ = on;
  Settings().setValue(kFoldYoKey, on);
}

void FormContext::SetKeepCurrent(bool on) {
  keep_current_ = on;
  Settings().setValue(kKeepCurrentKey, on);
}

void FormContext::SetSearchAsYouType(bool on) {
  search_as_you_type_ = on;
  Settings().setValue(kAsYouTypeKey, on);
}

bool FormContext::OpenLocalPath(const std::string& path) const {
  // The desktop may report success for a path that names nothing.
  if (env_.Stat(path).kind == PathKind::kMissing) return false;
  const QByteArray bytes = QByteArray::fromStdString(AbsolutePath(path, env_.CurrentDirectory()));
  const QString name = QFile::decodeName(bytes);
  const QUrl url = QFile::encodeName(name) == bytes ? QUrl::fromLocalFile(name)
                                                    : QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"));
  return desktop_.OpenUrl(url);
}

void FormContext::Show(const UserMessage& message) const {
  const bool own_caption = message.kind == MessageKind::kInformationBox || message.kind == MessageKind::kWarningBox;
  const QString caption =
      own_caption ? QFile::decodeName(QByteArray::fromStdString(message.caption)) : QString(kApplicationTitle);
  desktop_.ShowMessage(&window_, message.kind, caption, QFile::decodeName(QByteArray::fromStdString(message.text)));
}

void FormContext::ShowErrorReport(const std::string& message) const {
  try {
    Show({MessageKind::kErrorReport, kApplicationTitle, ErrorReportText(message)});
  } catch (...) {
    // Nothing is left to tell the user with; the window goes on.
  }
}

void FormContext::Guarded(const std::function<void()>& handler) const {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowErrorReport(FailureText(e, "do this"));
  } catch (...) {
    ShowErrorReport("Unknown failure");
  }
}

}  // namespace veskara
