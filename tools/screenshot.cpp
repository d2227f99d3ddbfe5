// Renders the window over a sample base to a PNG, without a display:
//   veskara-screenshot BASE_DIR FOLDER QUERY OUTPUT.png [POINT_SIZE]
//   veskara-screenshot --base-page BASE_DIR OUTPUT.png FOLDER...
// The first adds FOLDER to the base through "Add to base", searches QUERY,
// chooses the first found word and saves the window as it then looks, in
// the default font or in one of POINT_SIZE points. The second adds each
// FOLDER through the Base page's "Add folder…" and saves the Base page.
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
  veskara::TmForm form(desktop, [base] { return base; });
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

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc > 1 && std::strcmp(argv[1], "--base-page") == 0) return BasePage(argc, argv);
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: veskara-screenshot BASE_DIR FOLDER QUERY OUTPUT.png [POINT_SIZE]\n");
    return 2;
  }
  if (argc == 6) {
    QFont font = QApplication::font();
    font.setPointSize(std::atoi(argv[5]));
    if (font.pointSize() <= 0) {
      std::fprintf(stderr, "veskara-screenshot: not a point size: %s\n", argv[5]);
      return 2;
    }
    QApplication::setFont(font);
  }
  const std::string base = argv[1];
  FailingDesktop desktop;
  veskara::TmForm form(desktop, [base] { return base; });
  form.show();
  auto* found_words = form.findChild<QListWidget*>("ListBox1");

  form.findChild<QLineEdit*>("DirEdit")->setText(QString::fromLocal8Bit(argv[2]));
  if (!Scan(form, [&] { form.findChild<QPushButton*>("btnScan")->click(); })) return 1;

  form.findChild<QLineEdit*>("Edit1")->setText(QString::fromLocal8Bit(argv[3]));
  form.findChild<QPushButton*>("btnGO")->click();
  if (found_words->count() == 0) {
    std::fprintf(stderr, "veskara-screenshot: nothing found\n");
    return 1;
  }
  QTest::mouseClick(found_words->viewport(), Qt::LeftButton, {},
                    found_words->visualItemRect(found_words->item(0)).center());
  QApplication::processEvents();
  if (desktop.failed) return 1;
  return Save(form, argv[4]) ? 0 : 1;
}
