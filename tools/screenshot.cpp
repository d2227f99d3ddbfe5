// Renders the window over a sample base to a PNG, without a display:
//   veskara-screenshot BASE_DIR FOLDER QUERY OUTPUT.png [POINT_SIZE]
//   veskara-screenshot --base-page BASE_DIR OUTPUT.png FOLDER...
//   veskara-screenshot --preview NAME BASE_DIR FOLDER QUERY OUTPUT.png
//   veskara-screenshot --files-page BASE_DIR FOLDER QUERY OUTPUT.png
// The first adds FOLDER to the base through "Add to base", searches QUERY,
// chooses the first found word and saves the window as it then looks, in
// the default font or in one of POINT_SIZE points. The second adds each
// FOLDER through the Base page's "Add folder…" and saves the Base page. The
// third lists the files of all found words instead, opens "Show matches" on
// the file whose path ends with NAME, and saves the preview window. The
// fourth shows the Files page of the search, sorted by date, once the lines
// in view have been read.
#include <QAction>
#include <QApplication>
#include <QFont>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/desktop.h"
#include "app/files_model.h"
#include "app/files_page.h"
#include "app/preview_window.h"
#include "app/tm_form.h"

namespace {

// Any message means the sample is not what the picture should show. The
// folder picker answers `picked`.
class FailingDesktop : public veskara::Desktop {
 public:
  void ShowMessage(QWidget*, veskara::MessageKind, const QString& caption, const QString& text) override {
    std::fprintf(stderr, "veskara-screenshot: %s: %s\n", qPrintable(caption), qPrintable(text));
    failed = true;
  }
  bool Confirm(QWidget*, const QString&, const QString&) override { return false; }
  bool OpenUrl(const QUrl&) override { return false; }
  QString PickFolder(QWidget*, const QString&) override { return picked; }
  bool failed = false;
  QString picked;
};

bool Save(QWidget& widget, const char* path) {
  if (widget.grab().save(QString::fromLocal8Bit(path), "PNG")) return true;
  std::fprintf(stderr, "veskara-screenshot: cannot write %s\n", path);
  return false;
}

// Runs `start` and waits for the scan it starts; false when none ran to its end.
template <class Start>
bool Scan(veskara::TmForm& form, Start start) {
  QSignalSpy finished(&form, &veskara::TmForm::scanFinished);
  start();
  if (!form.Scanning() && finished.isEmpty()) return false;
  return !finished.isEmpty() || finished.wait(60000);
}

int BasePage(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: veskara-screenshot --base-page BASE_DIR OUTPUT.png FOLDER...\n");
    return 2;
  }
  const std::string base = argv[2];
  FailingDesktop desktop;
  veskara::TmForm form(desktop, veskara::Env::Default(), [base] { return base; });
  form.show();
  auto* pages = form.findChild<QTabWidget*>("PageControl1");
  pages->setCurrentWidget(form.findChild<QWidget*>("TabSheetBase"));
  auto* add_folder = form.findChild<QPushButton*>("btnAddFolder");
  for (int i = 4; i < argc; ++i) {
    desktop.picked = QString::fromLocal8Bit(argv[i]);
    if (!Scan(form, [&] { add_folder->click(); })) return 1;
  }
  QApplication::processEvents();
  if (desktop.failed) return 1;
  return Save(form, argv[3]) ? 0 : 1;
}

}  // namespace

// The action of `list`'s menu named `text`.
QAction* MenuAction(QWidget* list, const QString& text) {
  for (QAction* action : list->actions()) {
    if (action->text() == text) return action;
  }
  std::fprintf(stderr, "veskara-screenshot: no menu item %s\n", qPrintable(text));
  std::exit(1);
}

// Lists the files of all found words, opens the preview of the one whose
// path ends with `name`, and saves it to `output` once it has read.
int SavePreview(veskara::TmForm& form, const QString& name, const QString& output) {
  auto* found_words = form.findChild<QListWidget*>("ListBox1");
  auto* found_files = form.findChild<QListWidget*>("ListBox2");
  MenuAction(found_words, "Show files of all found words")->trigger();
  for (int row = 0; row < found_files->count(); ++row) {
    if (found_files->item(row)->text().endsWith(name)) found_files->setCurrentRow(row);
  }
  if (found_files->currentItem() == nullptr || !found_files->currentItem()->text().endsWith(name)) {
    std::fprintf(stderr, "veskara-screenshot: no found file ends with %s\n", qPrintable(name));
    return 1;
  }
  MenuAction(found_files, "Show matches")->trigger();
  auto* preview = form.findChild<veskara::PreviewWindow*>("Preview");
  if (preview == nullptr) return 1;
  QSignalSpy loaded(preview, &veskara::PreviewWindow::loaded);
  if (!preview->Loaded() && !loaded.wait(60000)) return 1;
  QApplication::processEvents();
  return Save(*preview, output.toLocal8Bit().constData()) ? 0 : 1;
}

// Shows the Files page of the search made, newest first, and saves the
// window once the lines in view have come.
int SaveFilesPage(veskara::TmForm& form, const char* output) {
  auto* page = form.findChild<veskara::FilesPage*>("TabSheetFiles");
  QSignalSpy lines(&page->model(), &veskara::FilesModel::linesInViewRead);
  form.findChild<QTabWidget*>("PageControl1")->setCurrentWidget(page);
  QSignalSpy ready(&page->model(), &veskara::FilesModel::rowsReady);
  page->model().sort(veskara::FilesModel::kModified, Qt::DescendingOrder);
  if (ready.isEmpty() && !ready.wait(60000)) return 1;
  while (lines.isEmpty() || page->model().ReadingFacts()) {
    if (!lines.wait(60000)) return 1;
  }
  QApplication::processEvents();
  return Save(form, output) ? 0 : 1;
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc > 1 && std::strcmp(argv[1], "--base-page") == 0) return BasePage(argc, argv);
  bool files_page = false;
  // The operands after the option, argv[1] first (the application keeps argc).
  int count = argc;
  char** args = argv;
  QString preview_name;
  if (count > 2 && std::strcmp(args[1], "--preview") == 0) {
    preview_name = QString::fromLocal8Bit(args[2]);
    args += 2;
    count -= 2;
  } else if (count > 1 && std::strcmp(args[1], "--files-page") == 0) {
    files_page = true;
    args += 1;
    count -= 1;
  }
  if (count != 5 && (count != 6 || !preview_name.isEmpty())) {
    std::fprintf(stderr,
                 "usage: veskara-screenshot BASE_DIR FOLDER QUERY OUTPUT.png [POINT_SIZE]\n"
                 "       veskara-screenshot --base-page BASE_DIR OUTPUT.png FOLDER...\n"
                 "       veskara-screenshot --preview NAME BASE_DIR FOLDER QUERY OUTPUT.png\n"
                 "       veskara-screenshot --files-page BASE_DIR FOLDER QUERY OUTPUT.png\n");
    return 2;
  }
  if (count == 6) {
    QFont font = QApplication::font();
    font.setPointSize(std::atoi(args[5]));
    if (font.pointSize() <= 0) {
      std::fprintf(stderr, "veskara-screenshot: not a point size: %s\n", args[5]);
      return 2;
    }
    QApplication::setFont(font);
  }
  const std::string base = args[1];
  FailingDesktop desktop;
  veskara::TmForm form(desktop, veskara::Env::Default(), [base] { return base; });
  form.show();
  auto* found_words = form.findChild<QListWidget*>("ListBox1");

  form.findChild<QLineEdit*>("DirEdit")->setText(QString::fromLocal8Bit(args[2]));
  if (!Scan(form, [&] { form.findChild<QPushButton*>("btnScan")->click(); })) return 1;

  form.findChild<QLineEdit*>("Edit1")->setText(QString::fromLocal8Bit(args[3]));
  form.findChild<QPushButton*>("btnGO")->click();
  if (found_words->count() == 0) {
    std::fprintf(stderr, "veskara-screenshot: nothing found\n");
    return 1;
  }
  if (!preview_name.isEmpty()) {
    const int saved = SavePreview(form, preview_name, QString::fromLocal8Bit(args[4]));
    return desktop.failed ? 1 : saved;
  }
  if (files_page) {
    const int saved = SaveFilesPage(form, args[4]);
    return desktop.failed ? 1 : saved;
  }
  QTest::mouseClick(found_words->viewport(), Qt::LeftButton, {},
                    found_words->visualItemRect(found_words->item(0)).center());
  QApplication::processEvents();
  if (desktop.failed) return 1;
  return Save(form, args[4]) ? 0 : 1;
}
