// The window under test: a desktop that records instead of showing dialogs
// or starting applications, and a window over a base in a temporary folder.
#pragma once

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QTest>
#include <QUrl>
#include <memory>
#include <string>
#include <vector>

#include "app/desktop.h"
#include "app/tm_form.h"
#include "app/widgets.h"
#include "test_util.h"

namespace veskara::testing {

struct ShownMessage {
  MessageKind kind;
  QString caption;
  QString text;
};

class RecordingDesktop : public Desktop {
 public:
  void ShowMessage(QWidget*, MessageKind kind, const QString& caption, const QString& text) override {
    messages.push_back({kind, caption, text});
  }
  bool OpenUrl(const QUrl& url) override {
    opened.push_back(url);
    return open_succeeds;
  }
  QString PickFolder(QWidget*, const QString& preselected) override {
    picker_started_at.push_back(preselected);
    return picked;
  }

  std::vector<ShownMessage> messages;
  std::vector<QUrl> opened;
  bool open_succeeds = true;
  std::vector<QString> picker_started_at;
  QString picked;  // the picker's answer; empty: cancelled
};

// A window over the base in `dir`, shown (FormShow runs) and active.
inline std::unique_ptr<TmForm> ShowForm(RecordingDesktop& desktop, const std::string& dir) {
  auto form = std::make_unique<TmForm>(desktop, [dir] { return dir; });
  form->show();
  form->activateWindow();
  if (!QTest::qWaitForWindowActive(form.get())) qWarning("the window did not become active");
  return form;
}

inline QStringList Rows(const QListWidget* list) {
  QStringList rows;
  for (int i = 0; i < list->count(); ++i) rows.append(list->item(i)->text());
  return rows;
}

inline void ClickRow(QListWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

}  // namespace veskara::testing
