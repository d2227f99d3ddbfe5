// What the parts of the main window share: the desktop, the base's folder,
// opening a path, the options of the search, and the way a failure reaches
// the user.
//
// Handlers may throw; the parts run them through Guarded(), which shows an
// escaping failure in the general error report and lets the window go on,
// so no exception ever unwinds through Qt's event loop.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "base/messages.h"
#include "platform/env.h"

class QWidget;

namespace veskara {

class Desktop;

// The warning when a chosen file cannot be opened.
inline constexpr const char* kCannotOpenFile = "Sorry, can't open selected file.";

class FormContext {
 public:
  // All three must outlive the context; `window` is the parent of every
  // dialog; every call of the core goes through `env`. Reads the options
  // remembered from the last run. A file the desktop finds it cannot open
  // after all is reported as a failed "Open", with the desktop's reason.
  FormContext(Desktop& desktop, QWidget& window, Env& env);
  ~FormContext();
  FormContext(const FormContext&) = delete;
  FormContext& operator=(const FormContext&) = delete;

  Desktop& desktop() const { return desktop_; }
  Env& env() const { return env_; }
  QWidget& window() const { return window_; }

  // BaseDirectory: empty until the window is first shown.
  const std::string& BaseDirectory() const { return base_directory_; }
  void SetBaseDirectory(std::string directory) { base_directory_ = std::move(directory); }

  // Opens a local path (a file or a folder) through the desktop; false when
  // the path names nothing or the desktop refuses.
  bool OpenLocalPath(const std::string& path) const;

  // Ё as Е in searches (SearchOptions::fold_yo): off until the user turns it
  // on, then remembered between runs (QSettings).
  bool FoldYo() const { return fold_yo_; }
  void SetFoldYo(bool on);
  // "Keep the base current while Veskara runs": off until the user turns it
  // on, then remembered between runs like the search's options.
  bool KeepCurrent() const { return keep_current_; }
  void SetKeepCurrent(bool on);
  // The search runs as the query is typed: off until the user turns it on,
  // then remembered between runs.
  bool SearchAsYouType() const { return search_as_you_type_; }
  void SetSearchAsYouType(bool on);

  // Shows `message` over the window, in the way its kind names.
  void Show(const UserMessage& message) const;
  // The general error report for `message`; never throws.
  void ShowErrorReport(const std::string& message) const;
  // Runs a handler; a failure that escapes it goes to the general error report.
  void Guarded(const std::function<void()>& handler) const;
  // `handler` as a slot that runs it through Guarded().
  template <class Handler>
  auto Slot(Handler handler) const {
    return [this, handler] { Guarded(handler); };
  }

 private:
  Desktop& desktop_;
  QWidget& window_;
  Env& env_;
  std::string base_directory_;
  bool fold_yo_ = false;
  bool keep_current_ = false;
  bool search_as_you_type_ = false;
};

}  // namespace veskara
