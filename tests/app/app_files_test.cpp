// The Files page (the files of the current search, sorted and filtered, with
// the first matching line read in the background), searching as you type,
// and the smaller things of the window: "~" in a folder, an "Open" that the
// desktop refuses late.
#include <fcntl.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QHeaderView>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>
#include <atomic>
#include <filesystem>

#include "app/base_page.h"
#include "app/files_model.h"
#include "app/files_page.h"
#include "app/preview_window.h"
#include "app_test_util.h"
#include "fault_env.h"
#include "platform/paths.h"

namespace veskara::testing {

namespace {

constexpr int64_t kDay = int64_t{86400} * 1'000'000'000;
constexpr int64_t kNow = int64_t{1'750'000'000} * 1'000'000'000;  // the clock of these tests

void SetTime(const std::string& path, int64_t ns) {
  const timespec times[2] = {{ns / 1'000'000'000, 0}, {ns / 1'000'000'000, 0}};
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) qFatal("cannot set the time of %s", path.c_str());
}

// Four pages and a PDF, of several ages and sizes; APPLE in all but e.pdf.
struct FilesBase : BaseWindow {
  std::string a = dir / "docs/garden/apple.htm";
  std::string b = dir / "docs/Banana.htm";
  std::string c = dir / "docs/garden/cherry.php";
  std::string d = dir / "notes/date.htm";
  std::string e = dir / "docs/e.pdf";

  FilesBase() {
    WriteFile(a, "<p>apple trees</p>\n<p>more apples</p>\n");
    WriteFile(b, "no fruit here\nbanana and apple\n");
    WriteFile(c, "<b>Apple</b> cherry pie, a long one");
    WriteFile(d, "dates\nthen an apple\nand more\n");
    WriteFile(e, "not a PDF");
    SetTime(a, kNow - 2 * kDay);
    SetTime(b, kNow - 20 * kDay);
    SetTime(c, kNow - 200 * kDay);
    SetTime(d, kNow - 400 * kDay);
    SetTime(e, kNow - 3 * kDay);
    WriteBase(dir, {"APPLE", "0,1,2,3", "BANANA", "1", "CHERRY", "2", "PIE", "2,4"},
              {a, "0", b, "1", c, "2", d, "3", e, "4"});
    env.SetNow(kNow);
  }

  // The window, its search run for `query`, and the Files page shown with
  // that search's files listed.
  FilesPage* ShowFiles(const QString& query) {
    Show(env);
    form->Edit1->setText(query);
    QTest::mouseClick(form->btnGO, Qt::LeftButton);
    page = Named<FilesPage>(*form->window, "TabSheetFiles");
    table = Named<QTableView>(*page, "FilesTable");
    QSignalSpy read(page, &FilesPage::listRead);
    form->PageControl1->setCurrentWidget(page);
    if (read.isEmpty()) qFatal("the Files page did not list the search's files when shown");
    return page;
  }
  // The shown value of `column` in every row, in the table's order.
  QStringList Column(int column) const {
    QStringList values;
    for (int row = 0; row < table->model()->rowCount(); ++row) {
      values.append(table->model()->index(row, column).data().toString());
    }
    return values;
  }
  // Waits until the lines of the rows in view have been read.
  bool WaitForLines() const {
    QSignalSpy read(&page->model(), &FilesModel::linesInViewRead);
    // A guard against a reader that never ends, not a measure of speed.
    return read.wait(240000);
  }
  bool WaitForRows() const {
    QSignalSpy ready(&page->model(), &FilesModel::rowsReady);
    return ready.wait(240000);
  }

  FaultInjectionEnv env;
  FilesPage* page = nullptr;
  QTableView* table = nullptr;
};

// A base of `count` files under 100 folders, all holding the word ALL: the
// search's files are every one of them.
void WriteLargeBase(const TempDir& dir, int count) {
  std::string words = "ALL\r\n";
  std::string files;
  for (int i = 0; i < count; ++i) {
    words += (i > 0 ? "," : "") + std::to_string(i);
    files += "/srv/archive/section-" + std::to_string(i % 100) + "/page-" + std::to_string(i) + ".htm\r\n" +
             std::to_string(i) + "\r\n";
  }
  WriteFile(dir / "wrds.txt", words + "\r\n");
  WriteFile(dir / "fls.txt", files);
}

}  // namespace

class FilesTest : public QObject {
  Q_OBJECT

 private slots:
  void listsTheSearchsFilesWithTheirColumns() {
    FilesBase base;
    base.ShowFiles("apple -banana");  // the written search of "apple banana" finds nothing: the page is find's
    QCOMPARE(base.Column(FilesModel::kName), (QStringList{"apple.htm", "cherry.php", "date.htm"}));
    QCOMPARE(base.Column(FilesModel::kFolder), (QStringList{QString::fromStdString(base.dir / "docs/garden"),
                                                            QString::fromStdString(base.dir / "docs/garden"),
                                                            QString::fromStdString(base.dir / "notes")}));
    QCOMPARE(base.Column(FilesModel::kKind), (QStringList{"page", "page", "page"}));
    QCOMPARE(base.Column(FilesModel::kSize), (QStringList{"38 B", "35 B", "29 B"}));
    QCOMPARE(base.Column(FilesModel::kModified)[0], QString::fromStdString(LocalMinuteText(kNow - 2 * kDay)));
    QCOMPARE(base.form->PanelText(1), QString("3 files"));
    // The line of each file in view comes from the background.
    QVERIFY(base.WaitForLines());
    QCOMPARE(base.Column(FilesModel::kLine),
             (QStringList{"1:apple trees", "1:Apple cherry pie, a long one", "2:then an apple"}));
    QVERIFY(base.desktop.messages.empty());
  }

  void sortsByAnyColumnAndBack() {
    FilesBase base;
    base.ShowFiles("apple");
    QHeaderView* header = base.table->horizontalHeader();
    const struct {
      int column;
      QStringList names;  // after one click, and after a second
      QStringList reversed;
    } cases[] = {
        {FilesModel::kName,
         {"apple.htm", "Banana.htm", "cherry.php", "date.htm"},
         {"date.htm", "cherry.php", "Banana.htm", "apple.htm"}},
        {FilesModel::kModified,
         {"date.htm", "cherry.php", "Banana.htm", "apple.htm"},
         {"apple.htm", "Banana.htm", "cherry.php", "date.htm"}},
        {FilesModel::kSize,
         {"date.htm", "Banana.htm", "cherry.php", "apple.htm"},
         {"apple.htm", "cherry.php", "Banana.htm", "date.htm"}},
        {FilesModel::kLine,  // "Apple cherry…", "apple trees", "banana and apple", "then an apple"
         {"cherry.php", "apple.htm", "Banana.htm", "date.htm"},
         {"date.htm", "Banana.htm", "apple.htm", "cherry.php"}},
    };
    for (const auto& c : cases) {
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                        QPoint(header->sectionViewportPosition(c.column) + 5, header->height() / 2));
      if (base.page->model().ReadingFacts() || base.form->PanelText(1).startsWith("Reading")) {
        QVERIFY(base.WaitForRows());
      }
      QCOMPARE(base.Column(FilesModel::kName), c.names);
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                        QPoint(header->sectionViewportPosition(c.column) + 5, header->height() / 2));
      QCOMPARE(base.Column(FilesModel::kName), c.reversed);
    }
  }

  void filtersByTextKindAndDate() {
    FilesBase base;
    base.ShowFiles("pie apple");
    auto* text = Named<QLineEdit>(*base.page, "FilesFilter");
    auto* kind = Named<QComboBox>(*base.page, "FilesKind");
    auto* modified = Named<QComboBox>(*base.page, "FilesModified");
    auto* from = Named<QDateEdit>(*base.page, "FilesFrom");
    auto* to = Named<QDateEdit>(*base.page, "FilesTo");
    // "pie apple": the files of PIE ... APPLE: c only; "pie" alone: c and e.
    base.form->Edit1->setText("pie");
    QTest::mouseClick(base.form->btnGO, Qt::LeftButton);
    QCOMPARE(base.Column(FilesModel::kName), (QStringList{"cherry.php", "e.pdf"}));
    kind->setCurrentText("pdf");
    QCOMPARE(base.Column(FilesModel::kName), QStringList{"e.pdf"});
    QCOMPARE(base.form->PanelText(1), QString("1 of 2 files"));
    kind->setCurrentIndex(0);
    base.form->Edit1->setText("apple");
    QTest::mouseClick(base.form->btnGO, Qt::LeftButton);
    QTest::keyClicks(text, "GARDEN/");
    QCOMPARE(base.Column(FilesModel::kName), (QStringList{"apple.htm", "cherry.php"}));
    text->clear();
    const struct {
      int choice;
      QStringList names;
    } periods[] = {
        {1, {"apple.htm"}}, {2, {"apple.htm", "Banana.htm"}}, {3, {"apple.htm", "Banana.htm", "cherry.php"}}};
    for (const auto& p : periods) {
      modified->setCurrentIndex(p.choice);
      if (base.page->model().ReadingFacts()) QVERIFY(base.WaitForRows());
      QCOMPARE(base.Column(FilesModel::kName), p.names);
    }
    QVERIFY(!from->isEnabled());
    modified->setCurrentIndex(4);  // Between…
    QVERIFY(from->isEnabled() && to->isEnabled());
    const QDate today = QDateTime::fromMSecsSinceEpoch(kNow / 1'000'000).date();
    from->setDate(today.addDays(-201));
    to->setDate(today.addDays(-20));
    QCOMPARE(base.Column(FilesModel::kName), (QStringList{"Banana.htm", "cherry.php"}));
    modified->setCurrentIndex(0);
    QCOMPARE(base.Column(FilesModel::kName).size(), 4);
  }

  void openPreviewCopyAndFolder() {
    FilesBase base;
    base.ShowFiles("cherry");
    base.table->selectRow(0);
    base.table->setFocus();
    QTest::keyClick(base.table, Qt::Key_Return);
    QCOMPARE(base.desktop.opened, std::vector<QUrl>{QUrl::fromLocalFile(QString::fromStdString(base.c))});
    const QRect cell = base.table->visualRect(base.table->model()->index(0, 0));
    QTest::mouseClick(base.table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(base.table->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(base.desktop.opened.size(), size_t{2});
    for (QAction* action : base.table->actions()) {
      if (action->text() == "Copy path") action->trigger();
      if (action->text() == "Open containing folder") action->trigger();
    }
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(base.c));
    QCOMPARE(base.desktop.opened.back(), QUrl::fromLocalFile(QString::fromStdString(base.dir / "docs/garden")));
    QTest::keyClick(base.table, Qt::Key_F3);
    const QList<PreviewWindow*> previews = base.form->window->findChildren<PreviewWindow*>("Preview");
    QCOMPARE(previews.size(), 1);
    QSignalSpy loaded(previews[0], &PreviewWindow::loaded);
    QVERIFY(previews[0]->Loaded() || loaded.wait(240000));
    QCOMPARE(Named<QTableView>(*previews[0], "PreviewLines")->model()->index(0, 1).data().toString(),
             QString("Apple cherry pie, a long one"));
    // The file is gone: the written warning, as on the search page.
    previews[0]->close();
    base.form->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(base.form->window.get()));
    std::filesystem::remove(base.c);
    QTest::keyClick(base.table, Qt::Key_Return);
    QCOMPARE(base.desktop.messages.size(), size_t{1});
    QCOMPARE(base.desktop.messages.back().text, QString(kCannotOpenFile));
  }

  // A hundred thousand rows: the list, sorts and a filter; the lines are
  // read for the rows in view only, and a sort by date stats each file once,
  // in the background, saying so in the status bar.
  void aHundredThousandRows() {
    BaseWindow base;
    WriteLargeBase(base.dir, 100000);
    FaultInjectionEnv env;
    FormUnderTest* form = base.Show(env);
    form->Edit1->setText("all");
    QTest::mouseClick(form->btnGO, Qt::LeftButton);
    auto* page = Named<FilesPage>(*form->window, "TabSheetFiles");
    QSignalSpy lines(&page->model(), &FilesModel::linesInViewRead);
    form->PageControl1->setCurrentWidget(page);
    auto* table = Named<QTableView>(*page, "FilesTable");
    QCOMPARE(table->model()->rowCount(), 100000);
    QCOMPARE(form->PanelText(1), QString("100000 files"));
    QVERIFY(lines.count() > 0 || lines.wait(240000));
    // Only the rows in view were stat'ed and read; none of these files exists.
    QVERIFY(env.Count(EnvOp::kStat) < 200);
    QCOMPARE(table->model()->index(99999, FilesModel::kLine).data(Qt::ToolTipRole).toString(), QString());
    QVERIFY(table->model()->index(0, FilesModel::kLine).data(Qt::ToolTipRole).toString().startsWith("Can't read"));
    page->model().sort(FilesModel::kName, Qt::AscendingOrder);
    QCOMPARE(table->model()->index(0, 0).data().toString(), QString("page-0.htm"));
    QCOMPARE(table->model()->index(1, 0).data().toString(), QString("page-1.htm"));
    QCOMPARE(table->model()->index(2, 0).data().toString(), QString("page-10.htm"));
    QCOMPARE(table->model()->index(99999, 0).data().toString(), QString("page-99999.htm"));
    Named<QLineEdit>(*page, "FilesFilter")->setText("section-7/");
    QCOMPARE(table->model()->rowCount(), 1000);
    QCOMPARE(form->PanelText(1), QString("1000 of 100000 files"));

    // The rows in view were stat'ed when shown; the sort stats the others.
    env.ResetCounts();
    QSignalSpy said(&page->model(), &FilesModel::statusChanged);
    QSignalSpy ready(&page->model(), &FilesModel::rowsReady);
    page->model().sort(FilesModel::kModified, Qt::AscendingOrder);
    QVERIFY(ready.wait(240000));
    QVERIFY(said[0][0].toString().startsWith("Reading the dates and sizes of 99"));
    QCOMPARE(said.back()[0].toString(), QString("1000 of 100000 files"));
    const int stats = env.Count(EnvOp::kStat);
    QVERIFY2(stats > 99000 && stats <= 100000, qPrintable(QString::number(stats)));
    page->model().sort(FilesModel::kSize, Qt::DescendingOrder);
    Named<QLineEdit>(*page, "FilesFilter")->clear();
    QCOMPARE(table->model()->rowCount(), 100000);
    QVERIFY(env.Count(EnvOp::kStat) < stats + 100);  // kept for the list; lines of new rows in view only
  }

  // With the option on, each change of the query searches (after a pause),
  // over the words in memory: wrds.txt is read once, not per keystroke, and
  // the notices that would stop the typing go to the status bar.
  void searchAsYouType() {
    FilesBase base;
    // 30 words in file 0 twice over: "a0 a1" combines past the limit.
    std::vector<std::string> words;
    for (const char* prefix : {"A0", "A1"}) {
      for (int i = 10; i < 40; ++i) words.insert(words.end(), {prefix + std::to_string(i), "0"});
    }
    words.insert(words.end(), {"APPLE", "0,1,2,3", "APRICOT", "1"});
    std::string bytes;
    for (const std::string& w : words) bytes += w + "\r\n";
    WriteFile(base.dir / "wrds.txt", bytes);
    FormUnderTest* form = base.Show(base.env);
    std::atomic<int> words_read = 0;  // counted on the search's thread
    base.env.SetHook([&words_read](EnvOp op, const std::string& path, int) {
      if (op == EnvOp::kOpenRead && path.ends_with("wrds.txt")) ++words_read;
      return 0;
    });
    auto* box = Named<QCheckBox>(*Named<BasePage>(*form->window, "TabSheetBase"), "SearchAsYouType");
    QVERIFY(!box->isChecked());  // off by default: the written search
    box->click();
    QVERIFY(form->search->SearchAsYouType());
    QVERIFY(form->window->Context().SearchAsYouType());
    QSignalSpy shown(form->search, &SearchPage::liveSearchShown);
    form->Edit1->setFocus();
    for (const QString& typed : {QString("a"), QString("ap"), QString("apr")}) {
      QTest::keyClicks(form->Edit1, typed.right(1));
      QVERIFY(shown.wait(240000));
    }
    QCOMPARE(Rows(form->ListBox1), QStringList{"APRICOT"});
    QCOMPARE(words_read, 2);  // one load: the base's open and the reader it gives
    // The limit goes to the status bar, not to a dialog.
    form->Edit1->setText("a0 a1");
    QVERIFY(shown.wait(240000));
    QCOMPARE(form->ListBox1->count(), 501);
    QCOMPARE(form->PanelText(1), QString("Too many words found! Please define more exact search criteria!"));
    QVERIFY(base.desktop.messages.empty());
    // A new base is noticed and read once more.
    WriteFile(base.dir / "wrds.txt.new", CrLf({"APPLE", "0", "AVOCADO", "2"}));
    std::filesystem::rename(base.dir / "wrds.txt.new", base.dir / "wrds.txt");
    form->Edit1->setText("av");
    QVERIFY(shown.wait(240000));
    QCOMPARE(Rows(form->ListBox1), QStringList{"AVOCADO"});
    QCOMPARE(words_read, 4);
    // Nothing found: the status bar as always; a missing base: there too.
    std::filesystem::remove(base.dir / "wrds.txt");
    QTest::mouseClick(form->btnGO, Qt::LeftButton);  // Search still searches
    QVERIFY(shown.wait(240000));
    QVERIFY(form->PanelText(1).startsWith("Database file "));
    QVERIFY(base.desktop.messages.empty());
    // Off again: the written search and its dialogs.
    box->click();
    QVERIFY(!form->search->SearchAsYouType());
    QTest::mouseClick(form->btnGO, Qt::LeftButton);
    QCOMPARE(base.desktop.messages.size(), size_t{1});
  }

  // A search asked for while another runs cancels it: only the last one's
  // rows are ever shown.
  void aNewSearchCancelsTheOneBefore() {
    FilesBase base;
    FormUnderTest* form = base.Show();
    form->search->SetSearchAsYouType(true);  // for this window only: not remembered
    QStringList seen;
    QSignalSpy shown(form->search, &SearchPage::liveSearchShown);
    connect(form->search, &SearchPage::liveSearchShown, form->search,
            [&] { seen.append(Rows(form->ListBox1).join(",")); });
    form->Edit1->setText("a");
    QTest::mouseClick(form->btnGO, Qt::LeftButton);
    form->Edit1->setText("ch");
    QTest::mouseClick(form->btnGO, Qt::LeftButton);
    QVERIFY(shown.wait(240000));
    QCOMPARE(seen, QStringList{"CHERRY"});
    QCoreApplication::processEvents();
    QCOMPARE(seen, QStringList{"CHERRY"});
    form->search->SetSearchAsYouType(false);
  }

  // Regression guard: "~/docs" in "Directory to scan" was a folder named "~"
  // under the current one.
  void aLeadingTildeIsTheHomeFolder() {
    BaseWindow base;
    WriteFile(base.dir / "home/docs/a.htm", "<p>tilde</p>");
    FaultInjectionEnv env;
    env.SetVariable("HOME", base.dir / "home");
    FormUnderTest* form = base.Show(env);
    QVERIFY(AddToBase(*form, "~/docs"));
    QCOMPARE(ReadFile(base.dir / "fls.txt"), CrLf({base.dir / "home/docs/a.htm", "0"}));
  }

  // Regression guard: a file the desktop had no application for showed
  // nothing in the window (the reason went to stderr).
  void aLateRefusalOfOpenIsShownWithItsReason() {
    FilesBase base;
    base.ShowFiles("cherry");
    base.table->selectRow(0);
    base.table->setFocus();
    QTest::keyClick(base.table, Qt::Key_Return);
    base.desktop.FailLater(base.desktop.opened.back(), "xdg-open: no method available for opening 'cherry.php'");
    QCOMPARE(base.desktop.messages.size(), size_t{1});
    QCOMPARE(base.desktop.messages[0].kind, MessageKind::kWarningBox);
    QCOMPARE(base.desktop.messages[0].text,
             QString("Sorry, can't open selected file.\n\nxdg-open: no method available for opening 'cherry.php'"));
  }

  // The real desktop hears the opener's complaint: a stand-in xdg-open on
  // the PATH that refuses, as the real one does without an application.
  void theSystemDesktopReportsTheOpenersComplaint() {
    TempDir bin;
    WriteFile(bin / "xdg-open", "#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n");
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(bin.path()) + ":" + path);
    SystemDesktop desktop;
    QString reason;
    QEventLoop loop;
    desktop.SetLateOpenFailureHandler([&](const QUrl&, const QString& why) {
      reason = why;
      loop.quit();
    });
    QVERIFY(desktop.OpenUrl(QUrl::fromLocalFile("/tmp/x.unknown")));
    QTimer::singleShot(240000, &loop, &QEventLoop::quit);  // a guard, not a measure
    loop.exec();
    qputenv("PATH", path);
    QCOMPARE(reason, QString("xdg-open: no method available for opening 'file:///tmp/x.unknown'"));
  }
};

}  // namespace veskara::testing

QTEST_MAIN(veskara::testing::FilesTest)
#include "app_files_test.moc"
