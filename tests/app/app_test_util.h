// The window under test: a desktop that records instead of showing dialogs
// or starting applications, and a window over a base in a temporary folder.
#pragma once

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QString>
#include <QTabWidget>
#include <QTest>
#include <QUrl>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/about_page.h"
#include "app/desktop.h"
#include "app/search_page.h"
#include "app/status_panels.h"
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
  bool Confirm(QWidget*, const QString& caption, const QString& text) override {
    questions.push_back({MessageKind::kPlainDialog, caption, text});
    return confirms;
  }
  bool OpenUrl(const QUrl& url) override {
    opened.push_back(url);
    return open_succeeds;
  }
  QString PickFolder(QWidget*, const QString& preselected) override {
    picker_started_at.push_back(preselected);
    return picked;
  }
  // The desktop finds, after saying yes, that it cannot open `url`.
  void FailLater(const QUrl& url, const QString& reason) { ReportLateOpenFailure(url, reason); }

  std::vector<ShownMessage> messages;
  std::vector<ShownMessage> questions;  // Confirm's; the kind is unused
  bool confirms = true;                 // Confirm's answer
  std::vector<QUrl> opened;
  bool open_succeeds = true;
  std::vector<QString> picker_started_at;
  QString picked;  // the picker's answer; empty: cancelled
};

// A control of `root` by its designer name; ends the test run when there is
// none, since every later step would only fail less clearly.
template <class T>
T* Named(const QObject& root, const char* name) {
  T* found = root.findChild<T*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("no %s named %s", T::staticMetaObject.className(), name);
  return found;
}

// The window remembers options between runs; a test process keeps them in a
// folder of its own, so that tests never read the user's options nor each
// other's when they run at the same time.
inline bool UseScratchSettings() {
  static const TempDir folder;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(folder.path()));
  return true;
}

// The main window under test, its controls found by their designer names the
// way the written layout calls them.
struct FormUnderTest {
  FormUnderTest(Desktop& desktop, std::function<std::string()> base_directory, Env& env = Env::Default())
      : scratch_settings(UseScratchSettings()),
        window(std::make_unique<TmForm>(desktop, env, std::move(base_directory))),
        PageControl1(Named<QTabWidget>(*window, "PageControl1")),
        TabSheet1(Named<QWidget>(*window, "TabSheet1")),
        TabSheet2(Named<QWidget>(*window, "TabSheet2")),
        Edit1(Named<QLineEdit>(*window, "Edit1")),
        Label1(Named<QLabel>(*window, "Label1")),
        btnGO(Named<QPushButton>(*window, "btnGO")),
        Label2(Named<QLabel>(*window, "Label2")),
        ListBox1(Named<QListWidget>(*window, "ListBox1")),
        Label3(Named<QLabel>(*window, "Label3")),
        ListBox2(Named<QListWidget>(*window, "ListBox2")),
        btnOpen(Named<QPushButton>(*window, "btnOpen")),
        Label4(Named<QLabel>(*window, "Label4")),
        DirEdit(Named<DirectoryEdit>(*window, "DirEdit")),
        btnScan(Named<QPushButton>(*window, "btnScan")),
        StatusBar(Named<StatusPanels>(*window, "StatusBar")),
        Label7(Named<LinkLabel>(*window, "Label7")),
        Label5(Named<QLabel>(*window, "Label5")),
        Label8(Named<QLabel>(*window, "Label8")),
        Label9(Named<LinkLabel>(*window, "Label9")),
        Bevel1(Named<QWidget>(*window, "Bevel1")),
        LabFilesCount(Named<QLabel>(*window, "LabFilesCount")),
        LabWordsCount(Named<QLabel>(*window, "LabWordsCount")),
        ScanProgress(Named<QProgressBar>(*window, "ScanProgress")),
        search(Named<SearchPage>(*window, "TabSheet1")) {}

  QString PanelText(int panel) const { return StatusBar->PanelText(panel); }
  const std::vector<std::string>& FoundNumberLists() const { return search->FoundNumberLists(); }
  QString GetSelectedFile() const { return search->GetSelectedFile(); }
  bool Scanning() const { return window->Scanning(); }

  bool scratch_settings;
  std::unique_ptr<TmForm> window;
  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  QLineEdit* Edit1;
  QLabel* Label1;
  QPushButton* btnGO;
  QLabel* Label2;
  QListWidget* ListBox1;
  QLabel* Label3;
  QListWidget* ListBox2;
  QPushButton* btnOpen;
  QLabel* Label4;
  DirectoryEdit* DirEdit;
  QPushButton* btnScan;
  StatusPanels* StatusBar;
  LinkLabel* Label7;
  QLabel* Label5;
  QLabel* Label8;
  LinkLabel* Label9;
  QWidget* Bevel1;
  QLabel* LabFilesCount;
  QLabel* LabWordsCount;
  QProgressBar* ScanProgress;
  SearchPage* search;  // TabSheet1 as its class
};

// A window over the base in `dir`, shown (FormShow runs) and active.
inline std::unique_ptr<FormUnderTest> ShowForm(RecordingDesktop& desktop, const std::string& dir,
                                               Env& env = Env::Default()) {
  auto form = std::make_unique<FormUnderTest>(
      desktop, [dir] { return dir; }, env);
  form->window->show();
  form->window->activateWindow();
  if (!QTest::qWaitForWindowActive(form->window.get())) qWarning("the window did not become active");
  return form;
}

// Returns once the window's scan, if one runs, has ended (at its signal;
// the limit only ends a scan that hangs); false when it did not end.
inline bool WaitForScan(FormUnderTest& form) {
  if (!form.Scanning()) return true;
  QSignalSpy finished(form.window.get(), &TmForm::scanFinished);
  return finished.wait(240000);
}

// Types `folder` into the search page's folder field and presses "Add to
// base".
inline void PressAddToBase(FormUnderTest& form, const std::string& folder) {
  form.DirEdit->setText(QString::fromStdString(folder));
  QTest::mouseClick(form.btnScan, Qt::LeftButton);
}

// The same, then waits for the scan to end; false when it does not.
inline bool AddToBase(FormUnderTest& form, const std::string& folder) {
  PressAddToBase(form, folder);
  return WaitForScan(form);
}

// A base written by hand in `dir`: wrds.txt and fls.txt from their lines.
inline void WriteBase(const TempDir& dir, std::initializer_list<std::string> words,
                      std::initializer_list<std::string> files) {
  WriteFile(dir / "wrds.txt", CrLf(words));
  WriteFile(dir / "fls.txt", CrLf(files));
}

// A window over a base in a temporary folder, and the desktop it reports
// to. A fixture writes its documents and base into `dir`, then Show() makes
// the window, which reads them as it opens.
struct BaseWindow {
  FormUnderTest* Show(Env& env = Env::Default()) {
    form = ShowForm(desktop, dir.path(), env);
    return form.get();
  }

  TempDir dir;
  RecordingDesktop desktop;
  std::unique_ptr<FormUnderTest> form;
};

inline QStringList Rows(const QListWidget* list) {
  QStringList rows;
  for (int i = 0; i < list->count(); ++i) rows.append(list->item(i)->text());
  return rows;
}

inline void ClickRow(QListWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

}  // namespace veskara::testing
