// The main window's start, layout, status bar, About page and failures.
#include <QAccessible>
#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QToolButton>
#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "app/widgets.h"
#include "app_test_util.h"
#include "fault_env.h"
#include "platform/durable.h"
#include "platform/text_file.h"

namespace veskara::testing {

namespace {

const QString kHint = "First, you should add to base one or more directory...";
// The About page's links, from a program in the build folder.
const QString kReadme = VESKARA_SOURCE_DIR "/README.md";
const QString kLicence = VESKARA_SOURCE_DIR "/LICENSE";

// The application's font at `points` (0: as it is) while the object lives.
class AppFont {
 public:
  explicit AppFont(int points) : saved_(QApplication::font()) {
    QFont font = saved_;
    if (points > 0) font.setPointSize(points);
    QApplication::setFont(font);
  }
  ~AppFont() { QApplication::setFont(saved_); }
  AppFont(const AppFont&) = delete;
  AppFont& operator=(const AppFont&) = delete;

 private:
  QFont saved_;
};

// Every text of the window shows whole: a button's inside its frame, a
// field's line inside its border, a status panel's inside its bevel (its
// line may touch the bevel, as at the design size); and no control of a page
// overlaps another or leaves the page, so no label runs into its field.
void CheckNothingClipped(FormUnderTest& form) {
  for (const QPushButton* button : form.window->findChildren<QPushButton*>()) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    const int shown_width = button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&'));
    QVERIFY2(shown_width <= room.width(), qPrintable(button->text()));
    QVERIFY2(button->fontMetrics().height() <= room.height(), qPrintable(button->text()));
  }
  for (const QLineEdit* edit : {form.Edit1, static_cast<QLineEdit*>(form.DirEdit)}) {
    const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
    QVERIFY2(edit->fontMetrics().height() <= edit->height() - 2 * frame, qPrintable(edit->objectName()));
  }
  for (const char* name : {"StatusPanel0", "StatusPanel1"}) {
    const auto* panel = Named<QLabel>(*form.window, name);
    QVERIFY2(panel->fontMetrics().horizontalAdvance(panel->text()) <= panel->contentsRect().width(), name);
    QVERIFY2(panel->fontMetrics().height() <= panel->height(), name);
  }
  QWidget* const shown = form.PageControl1->currentWidget();
  for (QWidget* page : {form.TabSheet1, form.TabSheet2}) {
    form.PageControl1->setCurrentWidget(page);  // a hidden page keeps its old size
    const QList<QWidget*> controls = page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (qsizetype i = 0; i < controls.size(); ++i) {
      const QString name = controls[i]->objectName();
      QVERIFY2(page->rect().contains(controls[i]->geometry()), qPrintable(name + " leaves its page"));
      const auto* label = qobject_cast<const QLabel*>(controls[i]);
      if (label != nullptr && !label->text().isEmpty()) {
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
                 qPrintable(name));
        QVERIFY2(label->fontMetrics().height() <= label->contentsRect().height(), qPrintable(name));
      }
      for (qsizetype j = i + 1; j < controls.size(); ++j) {
        QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                 qPrintable(name + " overlaps " + controls[j]->objectName()));
      }
    }
  }
  form.PageControl1->setCurrentWidget(shown);
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void firstStartWithoutBase() {
    TempDir dir;
    RecordingDesktop desktop;
    FormUnderTest form(desktop, [&] { return dir.path(); });
    form.PageControl1->setCurrentIndex(1);  // FormShow must bring the first page
    form.window->show();
    QCOMPARE(form.PanelText(0), QString());
    QCOMPARE(form.PanelText(1), kHint);
    QCOMPARE(form.LabFilesCount->text(), QString());
    QCOMPARE(form.LabWordsCount->text(), QString());
    QCOMPARE(form.PageControl1->currentWidget(), form.TabSheet1);
    QCOMPARE(form.window->BaseDirectory(), dir.path());
    QVERIFY(desktop.messages.empty());
  }

  void hintDependsOnWordsFileOnly_data() {
    QTest::addColumn<bool>("words_is_folder");
    QTest::addColumn<bool>("words_file");
    QTest::addColumn<bool>("files_file");
    QTest::addColumn<bool>("hint");
    QTest::newRow("a folder named wrds.txt is no base") << true << false << true << true;
    QTest::newRow("wrds.txt alone") << false << true << false << false;
    QTest::newRow("fls.txt alone") << false << false << true << true;
  }
  void hintDependsOnWordsFileOnly() {
    QFETCH(bool, words_is_folder);
    QFETCH(bool, words_file);
    QFETCH(bool, files_file);
    QFETCH(bool, hint);
    TempDir dir;
    if (words_is_folder) std::filesystem::create_directory(dir / "wrds.txt");
    if (words_file) WriteFile(dir / "wrds.txt", CrLf({"A", "0"}));
    if (files_file) WriteFile(dir / "fls.txt", CrLf({"/x.htm", "0"}));
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    QCOMPARE(form->PanelText(1), hint ? kHint : QString());
  }

  void aboutCounts_data() {
    QTest::addColumn<QByteArray>("files");  // "-" for a missing file
    QTest::addColumn<QByteArray>("words");
    QTest::addColumn<QString>("files_label");
    QTest::addColumn<QString>("words_label");
    QTest::newRow("nine lines give four") << QByteArray("a\r\n0\r\nb\r\n1\r\nc\r\n2\r\nd\r\n3\r\ne\r\n")
                                          << QByteArray("A\r\n0\r\n") << "4 files in the base"
                                          << "1 words in the base";
    QTest::newRow("empty files give 0") << QByteArray("") << QByteArray("") << "0 files in the base"
                                        << "0 words in the base";
    QTest::newRow("no words file") << QByteArray("a\r\n0\r\n") << QByteArray("-") << "1 files in the base"
                                   << "";
    QTest::newRow("words without files sets neither") << QByteArray("-") << QByteArray("A\r\n0\r\n") << ""
                                                      << "";
    QTest::newRow("last line without its end counts")
        << QByteArray("a\r\n0\r\n") << QByteArray("A\r\n0\r\nB\r\n1") << "1 files in the base"
        << "2 words in the base";
  }
  void aboutCounts() {
    QFETCH(QByteArray, files);
    QFETCH(QByteArray, words);
    QFETCH(QString, files_label);
    QFETCH(QString, words_label);
    TempDir dir;
    if (files != "-") WriteFile(dir / "fls.txt", files.toStdString());
    if (words != "-") WriteFile(dir / "wrds.txt", words.toStdString());
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    QCOMPARE(form->LabFilesCount->text(), files_label);
    QCOMPARE(form->LabWordsCount->text(), words_label);
  }

  void controlsCarryTheirNamesAndTexts() {
    TempDir dir;
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    struct Expected {
      const char* name;
      QString text;
    };
    for (const Expected& e :
         {Expected{"Label1", "Text to search:"}, Expected{"Label2", "Found words:"}, Expected{"Label3", "Found files:"},
          Expected{"Label4", "Directory to scan:"}, Expected{"Label5", "Guide:"}, Expected{"Label8", "Terms:"},
          Expected{"Label7", kReadme}, Expected{"Label9", kLicence}}) {
      auto* label = form->window->findChild<QLabel*>(e.name);
      QVERIFY2(label != nullptr, e.name);
      QCOMPARE(label->text(), e.text);
    }
    // A button's mnemonic "&" underlines its letter; the user reads the text without it.
    for (const Expected& e :
         {Expected{"btnGO", "Search"}, Expected{"btnOpen", "Open"}, Expected{"btnScan", "Add to base"}}) {
      auto* button = form->window->findChild<QPushButton*>(e.name);
      QVERIFY2(button != nullptr, e.name);
      QCOMPARE(QString(button->text()).remove('&'), e.text);
      QCOMPARE(QKeySequence::mnemonic(button->text()), QKeySequence(Qt::ALT | e.text[0].unicode()));
      QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    }
    for (const char* name : {"Edit1", "DirEdit"}) QVERIFY(form->window->findChild<QLineEdit*>(name) != nullptr);
    for (const char* name : {"ListBox1", "ListBox2"}) {
      auto* list = form->window->findChild<QListWidget*>(name);
      QVERIFY(list != nullptr);
      QVERIFY(!list->isSortingEnabled());
    }
    for (const char* name : {"TabSheet1", "TabSheet2", "Bevel1", "LabFilesCount", "LabWordsCount"}) {
      QVERIFY2(form->window->findChild<QWidget*>(name) != nullptr, name);
    }
    auto* pages = form->window->findChild<QTabWidget*>("PageControl1");
    QVERIFY(pages != nullptr);
    QCOMPARE(pages->count(), 4);
    QCOMPARE(pages->tabText(0), QString("Search text"));
    QCOMPARE(pages->tabText(1), QString("Files"));
    QCOMPARE(pages->tabText(3), QString("About"));
    QVERIFY(form->window->findChild<QStatusBar*>("StatusBar") != nullptr);
    QCOMPARE(form->window->windowTitle(), QString("Veskara"));
  }

  void statusBarHasTwoSunkenPanels() {
    TempDir dir;
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    auto* step = form->window->findChild<QLabel*>("StatusPanel0");
    auto* message = form->window->findChild<QLabel*>("StatusPanel1");
    QVERIFY(step != nullptr && message != nullptr);
    QCOMPARE(step->width(), 70);
    QVERIFY(message->geometry().left() >= step->geometry().right());
    for (QLabel* panel : {step, message}) {
      QCOMPARE(panel->frameShadow(), QFrame::Sunken);
      QVERIFY(panel->alignment() & Qt::AlignLeft);
    }
    QCOMPARE(form->StatusBar->height(), 19);
    QVERIFY(form->ScanProgress->isHidden());
  }

  // What a screen reader says for each control: its label's text, or its own.
  void everyControlHasAnAccessibleName() {
    TempDir dir;
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    const std::pair<QWidget*, QString> expected[] = {
        {form->Edit1, "Text to search:"},
        {form->ListBox1, "Found words:"},
        {form->ListBox2, "Found files:"},
        {form->DirEdit, "Directory to scan:"},
        {form->DirEdit->findChild<QToolButton*>(), "Choose a folder"},
        {form->btnGO, "Search"},
        {form->btnOpen, "Open"},
        {form->btnScan, "Add to base"},
        {form->Label7, kReadme},
        {form->Label9, kLicence},
    };
    for (const auto& [control, name] : expected) {
      QVERIFY(control != nullptr);
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
      QVERIFY(accessible != nullptr);
      QCOMPARE(accessible->text(QAccessible::Name), name);
    }
  }

  // The buttons stay out of the Tab order; Alt and the underlined letter
  // press them, and the focus stays where it was.
  void altKeysPressTheButtons_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::newRow("Search") << "btnGO" << int(Qt::Key_S);
    QTest::newRow("Open") << "btnOpen" << int(Qt::Key_O);
    QTest::newRow("Add to base") << "btnScan" << int(Qt::Key_A);
  }
  void altKeysPressTheButtons() {
    QFETCH(QString, button);
    QFETCH(int, key);
    TempDir dir;
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    form->ListBox1->setFocus();
    QSignalSpy clicked(Named<QPushButton>(*form->window, qPrintable(button)), &QPushButton::clicked);
    QTest::keyClick(form->window.get(), Qt::Key(key), Qt::AltModifier);
    // The toolkit shows the press before it clicks.
    QVERIFY(clicked.count() == 1 || clicked.wait(60000));
    QCOMPARE(QApplication::focusWidget(), form->ListBox1);
  }

  void focusOrderAndEnterInSearchField() {
    TempDir dir;
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    QCOMPARE(QApplication::focusWidget(), form->Edit1);
    for (QWidget* next : {static_cast<QWidget*>(form->ListBox1), static_cast<QWidget*>(form->ListBox2),
                          static_cast<QWidget*>(form->DirEdit)}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), next);
    }
    // Nothing else takes the focus: not the browse button, the page tabs or a push button.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form->Edit1);
    // A click on a button leaves the focus where it is.
    form->Edit1->setFocus();
    QTest::mouseClick(form->btnOpen, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), form->Edit1);
  }

  void designGeometryAndWidening() {
    TempDir dir;
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    QCOMPARE(form->window->size(), QSize(544, 461));
    QCOMPARE(form->window->minimumWidth(), 544);
    QCOMPARE(form->window->minimumHeight(), 461);
    QCOMPARE(form->window->maximumHeight(), 461);
    QVERIFY(!(form->window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form->PageControl1->geometry(), QRect(0, 0, 544, 461 - 19));
    QCOMPARE(Named<QLabel>(*form->window, "StatusPanel0")->width(), 70);

    auto check = [&](int grow) {
      QCOMPARE(form->Edit1->geometry(), QRect(16, 32, 415 + grow, 21));
      QCOMPARE(form->btnGO->geometry(), QRect(446 + grow, 32, 73, 22));
      QCOMPARE(form->ListBox1->geometry(), QRect(16, 88, 415 + grow, 97));
      QCOMPARE(form->ListBox2->geometry(), QRect(16, 224, 415 + grow, 97));
      QCOMPARE(form->btnOpen->geometry(), QRect(446 + grow, 224, 73, 22));
      QCOMPARE(form->DirEdit->geometry(), QRect(16, 368, 415 + grow, 21));
      QCOMPARE(form->btnScan->geometry(), QRect(446 + grow, 368, 73, 22));
      const std::pair<QLabel*, QPoint> labels[] = {
          {form->Label1, {16, 16}}, {form->Label2, {16, 72}}, {form->Label3, {16, 208}}, {form->Label4, {16, 352}}};
      for (const auto& [label, pos] : labels) {
        QCOMPARE(label->pos(), pos);
        QCOMPARE(label->size(), label->sizeHint());  // fits its text
      }
    };
    check(0);
    form->window->resize(744, 600);  // taller is refused
    QCOMPARE(form->window->size(), QSize(744, 461));
    check(200);
    form->window->resize(300, 300);  // never below the design size
    QCOMPARE(form->window->size(), QSize(544, 461));
    check(0);
  }

  // A larger font grows the layout until every text shows whole; a smaller
  // one keeps the written size.
  void noTextIsClippedAtAnyFont_data() {
    QTest::addColumn<int>("points");  // 0: the default font
    QTest::addColumn<bool>("design_size");
    QTest::newRow("7 pt") << 7 << true;
    QTest::newRow("default") << 0 << true;
    QTest::newRow("10 pt") << 10 << false;
    QTest::newRow("13 pt") << 13 << false;
    QTest::newRow("20 pt") << 20 << false;
  }
  void noTextIsClippedAtAnyFont() {
    QFETCH(int, points);
    QFETCH(bool, design_size);
    AppFont font(points);
    TempDir dir;
    WriteBase(dir, {"A", "0"}, {"/x.htm", "0"});
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    TmForm& window = *form->window;
    QCOMPARE(window.minimumHeight(), window.maximumHeight());  // the height stays fixed
    QCOMPARE(window.height(), window.minimumHeight());
    QCOMPARE(window.size() == QSize(544, 461), design_size);
    QVERIFY(window.width() >= 544 && window.height() >= 461);
    for (const QString step : {"Step 1 of 4", "Step 2 of 4", "Step 3 of 4", "Step 4 of 4"}) {
      form->StatusBar->SetPanelText(0, step);
      form->StatusBar->SetPanelText(1, kHint);
      CheckNothingClipped(*form);
      if (QTest::currentTestFailed()) return;
    }
    window.resize(window.width() + 300, window.height());  // and widened
    CheckNothingClipped(*form);
  }

  void aFontChangeLaysTheWindowOutAgain() {
    TempDir dir;
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    QFont font = form->window->font();
    const int default_points = font.pointSize();
    font.setPointSize(13);
    form->window->setFont(font);
    QVERIFY(form->window->height() > 461);
    QCOMPARE(form->window->maximumHeight(), form->window->height());
    CheckNothingClipped(*form);
    if (QTest::currentTestFailed()) return;

    font.setPointSize(default_points);
    form->window->setFont(font);
    QCOMPARE(form->window->maximumHeight(), 461);
    form->window->resize(544, 461);  // the larger minimum had widened it
    QCOMPARE(form->window->size(), QSize(544, 461));
    QCOMPARE(form->btnScan->geometry(), QRect(446, 368, 73, 22));
    QCOMPARE(form->Label4->pos(), QPoint(16, 352));
  }

  void aboutPageLayoutAndLinks() {
    TempDir dir;
    RecordingDesktop desktop;
    desktop.open_succeeds = false;  // failures stay silent
    auto form = ShowForm(desktop, dir.path());
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    QCOMPARE(form->Label5->pos(), QPoint(16, 88));
    QCOMPARE(form->Label7->pos(), QPoint(64, 88));
    QCOMPARE(form->Label8->pos(), QPoint(16, 112));
    QCOMPARE(form->Label9->pos(), QPoint(64, 112));
    QCOMPARE(form->Bevel1->geometry(), QRect(16, 139, 297, 7));
    QCOMPARE(form->LabFilesCount->pos(), QPoint(16, 152));
    QCOMPARE(form->LabWordsCount->pos(), QPoint(16, 168));
    for (QLabel* link : {static_cast<QLabel*>(form->Label7), static_cast<QLabel*>(form->Label9)}) {
      QVERIFY(link->font().underline());
      QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
      QCOMPARE(link->palette().color(QPalette::WindowText), link->palette().color(QPalette::Link));
      QCOMPARE(link->focusPolicy(), Qt::NoFocus);
    }
    // The name, the version and the licence stand at the top.
    QCOMPARE(form->window->findChild<QLabel*>("LabTitle")->text(), QString("Veskara 1.0"));
    QCOMPARE(form->window->findChild<QLabel*>("LabTitle")->pos(), QPoint(16, 16));
    QVERIFY(form->window->findChild<QLabel*>("LabLicence")->text().contains("GNU General Public License"));
    QCOMPARE(form->window->findChild<QLabel*>("LabLicence")->pos(), QPoint(16, 40));
    // Run from the build folder, the links open the files of the source
    // tree: the README and the licence that an installation ships.
    QTest::mouseClick(form->Label7, Qt::LeftButton);
    QTest::mouseClick(form->Label9, Qt::LeftButton);
    QCOMPARE(desktop.opened.size(), size_t{2});
    QCOMPARE(desktop.opened[0], QUrl::fromLocalFile(kReadme));
    QCOMPARE(desktop.opened[1], QUrl::fromLocalFile(kLicence));
    for (const QUrl& opened : desktop.opened) QVERIFY(QFileInfo(opened.toLocalFile()).isFile());
    QVERIFY(desktop.messages.empty());
  }

  void failureInFormShowReachesTheErrorReport() {
    RecordingDesktop desktop;
    UseScratchSettings();
    TmForm form(desktop, Env::Default(), []() -> std::string { throw std::runtime_error("No base here"); });
    form.show();
    QCOMPARE(desktop.messages.size(), size_t{1});
    QCOMPARE(desktop.messages[0].kind, MessageKind::kErrorReport);
    QCOMPARE(desktop.messages[0].caption, QString("Veskara"));
    QCOMPARE(desktop.messages[0].text, QString("No base here."));
    QVERIFY(form.isVisible());  // the window goes on
  }

  void failedRecoveryStillFinishesTheStart() {
    // Left-overs of an interrupted scan that cannot be cleared up now.
    TempDir dir;
    WriteFile(dir / "wrds.txt.new", "A\r\n");
    WriteFile(dir / "fls.txt", CrLf({"/x.htm", "0"}));
    FaultInjectionEnv env;
    env.FailAll(EnvOp::kLock, "", EACCES);
    RecordingDesktop desktop;
    FormUnderTest form(
        desktop, [&] { return dir.path(); }, env);
    form.PageControl1->setCurrentIndex(1);
    form.window->show();
    env.SetHook(nullptr);
    QCOMPARE(desktop.messages.size(), size_t{1});
    QCOMPARE(desktop.messages[0].kind, MessageKind::kErrorReport);
    QCOMPARE(desktop.messages[0].text, QString("File access denied."));
    QCOMPARE(form.PanelText(1), kHint);
    QCOMPARE(form.PageControl1->currentWidget(), form.TabSheet1);
    QCOMPARE(form.LabFilesCount->text(), QString("1 files in the base"));
  }

  void folderPickerPreselectionAndResult() {
    TempDir dir;
    std::filesystem::create_directory(dir / "docs");
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    DirectoryEdit* field = form->DirEdit;

    field->setText(QString::fromStdString(dir / "docs"));
    desktop.picked = QString::fromStdString(dir / "docs") + "/";
    field->browseAction()->trigger();
    QCOMPARE(field->text(), QString::fromStdString(dir / "docs"));  // no trailing separator

    field->clear();
    desktop.picked.clear();  // cancelled: the text stays; the last pick was preselected
    field->browseAction()->trigger();
    QCOMPARE(field->text(), QString());

    field->setText("/no/such/folder");
    QTest::keyClick(form->window.get(), Qt::Key_B, Qt::AltModifier);  // the picker's key
    desktop.picked = "/";
    field->setText("x");
    field->browseAction()->trigger();
    QCOMPARE(field->text(), QString("/"));  // the root keeps its separator

    QCOMPARE(desktop.picker_started_at, (std::vector<QString>{QString::fromStdString(dir / "docs"),
                                                              QString::fromStdString(dir / "docs"), "/", "/"}));
  }

  void searchFieldKeys() {
    TempDir dir;
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    form->Edit1->setText("hello");
    form->ListBox1->setFocus();
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    QTest::keyClick(form->window.get(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(form->PageControl1->currentWidget(), form->TabSheet1);
    QCOMPARE(QApplication::focusWidget(), form->Edit1);
    QCOMPARE(form->Edit1->selectedText(), QString("hello"));
    form->ListBox1->setFocus();
    QTest::keyClick(form->window.get(), Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), form->Edit1);
    QTest::keyClick(form->Edit1, Qt::Key_Escape);
    QCOMPARE(form->Edit1->text(), QString());
  }
};

}  // namespace veskara::testing

QTEST_MAIN(veskara::testing::WindowTest)
#include "app_window_test.moc"
