// Renders the window over a sample base to a PNG, without a display:
//   veskara-screenshot BASE_DIR FOLDER QUERY OUTPUT.png [POINT_SIZE]
// Adds FOLDER to the base through "Add to base", searches QUERY, chooses the
// first found word and saves the window as it then looks, in the default
// font or in one of POINT_SIZE points.
#include <QApplication>
#include <QFont>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include "app/desktop.h"
#include "app/tm_form.h"

namespace {

// Any message means the sample is not what the picture should show.
class FailingDesktop : public veskara::Desktop {
 public:
  void ShowMessage(QWidget*, veskara::MessageKind, const QString& caption, const QString& text) override {
    std::fprintf(stderr, "veskara-screenshot: %s: %s\n", qPrintable(caption), qPrintable(text));
    failed = true;
  }
  bool Confirm(QWidget*, const QString&, const QString&) override { return false; }
  bool OpenUrl(const QUrl&) override { return false; }
  QString PickFolder(QWidget*, const QString&) override { return {}; }
  bool failed = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
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
  QSignalSpy finished(&form, &veskara::TmForm::scanFinished);
  form.findChild<QPushButton*>("btnScan")->click();
  if (!form.Scanning() && finished.isEmpty()) return 1;
  if (finished.isEmpty() && !finished.wait(60000)) return 1;

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
  if (!form.grab().save(QString::fromLocal8Bit(argv[4]), "PNG")) {
    std::fprintf(stderr, "veskara-screenshot: cannot write %s\n", argv[4]);
    return 1;
  }
  return 0;
}
