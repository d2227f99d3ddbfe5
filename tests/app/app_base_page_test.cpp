// The Base page: the remembered folders and what changes them (add, update,
// remove), the files that could not be read, its keys and its layout.
#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <filesystem>
#include <set>

#include "app/base_page.h"
#include "app_test_util.h"
#include "indexer/scan.h"

namespace veskara::testing {

namespace {

// A window over a base in a temporary folder, its Base page shown.
struct BaseFixture : BaseWindow {
  BaseFixture()
      : page(Named<BasePage>(*Show()->window, "TabSheetBase")),
        folders(Named<QTableView>(*page, "FolderTable")),
        unread(Named<QTableView>(*page, "UnreadTable")),
        summary(Named<QLabel>(*page, "LabSummary")) {
    form->PageControl1->setCurrentWidget(page);
  }
  QPushButton* Button(const char* name) const { return Named<QPushButton>(*page, name); }
  QCheckBox* Kind(const char* group) const { return Named<QCheckBox>(*page, (std::string("Kind_") + group).c_str()); }
  // Through "Add folder…", the picker answering dir/`folder`.
  bool Add(const std::string& folder) {
    desktop.picked = QString::fromStdString(dir / folder);
    QTest::mouseClick(Button("btnAddFolder"), Qt::LeftButton);
    return WaitForScan(*form);
  }
  void Select(const QList<int>& rows) const {
    for (int row : rows) {
      folders->selectionModel()->select(folders->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
  // "path files" per row, in the table's order, the path relative to dir.
  QStringList FolderRows() const {
    QStringList rows;
    for (int r = 0; r < folders->model()->rowCount(); ++r) {
      const QString path = folders->model()->index(r, 0).data().toString();
      rows.append(path.mid(int(dir.path().size()) + 1) + " " + folders->model()->index(r, 1).data().toString());
    }
    return rows;
  }

  BasePage* page;
  QTableView* folders;
  QTableView* unread;
  QLabel* summary;
};

// A change of the base made beside the window, as another program makes it.
void AddBeside(const std::string& base, const std::string& folder) {
  struct Quiet : ScanObserver {
    void SetStep(const std::string&) override {}
    void SetStatus(const std::string&) override {}
  } observer;
  BaseState state;
  const std::unique_ptr<Scan> scan = Scan::Prepare(base, folder, state, Env::Default());
  scan->Run(observer);
}

void WritePages(const TempDir& dir, const std::string& folder, std::initializer_list<const char*> names) {
  for (const char* name : names) WriteFile(dir / (folder + "/" + name), std::string("<p>Hello ") + name + "</p>");
}

}  // namespace

class BasePageTest : public QObject {
  Q_OBJECT

 private slots:
  void pagesInTheirOrderOverAnEmptyBase() {
    BaseFixture f;
    QCOMPARE(f.form->PageControl1->count(), 4);
    QCOMPARE(f.form->PageControl1->indexOf(f.page), 2);  // after "Files"
    QCOMPARE(f.form->PageControl1->tabText(2), QString("Base"));
    QCOMPARE(f.form->PageControl1->indexOf(f.form->TabSheet2), 3);
    QVERIFY(!f.Button("btnUpdate")->isEnabled());  // no base yet: nothing to update
  }

  void tableListsTheFoldersAndSortsThem() {
    BaseFixture f;
    for (int i = 0; i < 19; ++i) WriteFile(f.dir / ((i < 10 ? "ten/" : "nine/") + std::to_string(i) + ".htm"), "x");
    QVERIFY(f.Add("ten"));
    QVERIFY(AddToBase(*f.form, f.dir / "nine"));  // the search page's "Add to base"
    QCOMPARE(f.desktop.picker_started_at, std::vector<QString>{QDir::homePath()});
    QCOMPARE(f.FolderRows(), (QStringList{"ten 10", "nine 9"}));  // the order first added
    const QRegularExpression iso(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$)");
    QVERIFY(iso.match(f.folders->model()->index(0, 2).data().toString()).hasMatch());
    f.folders->sortByColumn(1, Qt::AscendingOrder);  // by number, not by text
    QCOMPARE(f.FolderRows(), (QStringList{"nine 9", "ten 10"}));
    f.folders->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    QCOMPARE(f.FolderRows(), (QStringList{"ten 10", "nine 9"}));
  }

  void updateReadsWhatChanged_data() {
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("none selected: every folder")
        << QList<int>{} << "Last scan: 2 added, 1 updated, 1 removed, 0 could not be read"
        << QStringList{"docs 3", "more 2"};
    QTest::newRow("the selected folder") << QList<int>{0}
                                         << "Last scan: 1 added, 1 updated, 1 removed, 0 could not be read"
                                         << QStringList{"docs 3", "more 1"};
  }
  void updateReadsWhatChanged() {
    QFETCH(QList<int>, selected);
    QFETCH(QString, summary);
    QFETCH(QStringList, rows);
    BaseFixture f;
    WritePages(f.dir, "docs", {"a.htm", "b.htm", "c.htm"});
    WritePages(f.dir, "more", {"x.htm"});
    QVERIFY(f.Add("docs") && f.Add("more"));
    WriteFile(f.dir / "docs/a.htm", "<p>Edited and longer</p>");
    std::filesystem::remove(f.dir / "docs/b.htm");
    WritePages(f.dir, "docs", {"d.htm"});
    WritePages(f.dir, "more", {"y.htm"});
    f.Select(selected);
    QTest::mouseClick(f.Button("btnUpdate"), Qt::LeftButton);
    QVERIFY(WaitForScan(*f.form));
    QVERIFY(f.desktop.messages.empty());
    QCOMPARE(f.summary->text(), summary);
    QCOMPARE(f.FolderRows(), rows);
    QCOMPARE(f.folders->selectionModel()->selectedRows().size(), selected.size());  // kept
    QCOMPARE(f.form->LabFilesCount->text(), QString("%1 files in the base").arg(selected.isEmpty() ? 5 : 4));
  }

  void removeAsksFirst_data() {
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<bool>("delete_key");
    QTest::addColumn<QString>("question");  // DIR stands for the temporary folder
    QTest::addColumn<QStringList>("rows");
    const QString leave = " the base; the files themselves stay on the disk.";
    QTest::newRow("refused") << QList<int>{1} << false << false
                             << "Remove DIR/more from the base?\n\n1 file leaves" + leave
                             << QStringList{"docs 3", "more 1"};
    QTest::newRow("one folder") << QList<int>{1} << true << false
                                << "Remove DIR/more from the base?\n\n1 file leaves" + leave << QStringList{"docs 3"};
    QTest::newRow("both by Delete") << QList<int>{0, 1} << true << true
                                    << "Remove 2 folders from the base?\n\n4 files leave" + leave << QStringList{};
  }
  void removeAsksFirst() {
    QFETCH(QList<int>, selected);
    QFETCH(bool, confirm);
    QFETCH(bool, delete_key);
    QFETCH(QString, question);
    QFETCH(QStringList, rows);
    BaseFixture f;
    WritePages(f.dir, "docs", {"a.htm", "b.htm", "sub/s.htm"});
    WritePages(f.dir, "more", {"x.htm"});
    // docs/sub is taken in by docs: no nested folder is remembered.
    QVERIFY(f.Add("docs") && f.Add("docs/sub") && f.Add("more"));
    const std::string files = ReadFile(f.dir / "fls.txt");
    f.desktop.confirms = confirm;
    f.Select(selected);
    if (delete_key) {
      f.folders->setFocus();
      QTest::keyClick(f.folders, Qt::Key_Delete);
    } else {
      QTest::mouseClick(f.Button("btnRemove"), Qt::LeftButton);
    }
    QVERIFY(WaitForScan(*f.form));
    QCOMPARE(f.desktop.questions.size(), size_t{1});
    QCOMPARE(f.desktop.questions[0].text, QString(question).replace("DIR", QString::fromStdString(f.dir.path())));
    QCOMPARE(f.FolderRows(), rows);
    QCOMPARE(ReadFile(f.dir / "fls.txt") == files, !confirm);
    if (confirm) QVERIFY(f.summary->text().contains(" removed, 0 could not be read"));
  }

  // A folder that is not there is greyed with its reason; an update keeps
  // its files and says so; Remove still drops it.
  void offlineFolderIsGreyedAndKept() {
    BaseFixture f;
    WritePages(f.dir, "docs", {"a.htm", "b.htm"});
    WritePages(f.dir, "stick", {"x.htm", "y.htm", "z.htm"});
    QVERIFY(f.Add("docs") && f.Add("stick"));
    std::filesystem::rename(f.dir / "stick", f.dir / "pulled out");
    QTest::mouseClick(f.Button("btnUpdate"), Qt::LeftButton);
    QVERIFY(WaitForScan(*f.form));
    QVERIFY(f.desktop.messages.empty());
    const QString line = "Last scan: 0 added, 0 updated, 0 removed, 0 could not be read";
    QCOMPARE(f.summary->text(), line + "; 1 folder offline");
    QCOMPARE(f.summary->toolTip(), line + "\n" + QString::fromStdString(f.dir / "stick") + ": offline, 3 files kept");
    QCOMPARE(f.FolderRows(), (QStringList{"docs 2", "stick 3"}));
    const QBrush grey = f.page->palette().brush(QPalette::Disabled, QPalette::Text);
    for (int column = 0; column < 3; ++column) {
      const QModelIndex online = f.folders->model()->index(0, column);
      const QModelIndex offline = f.folders->model()->index(1, column);
      QVERIFY(online.data(Qt::ForegroundRole) != QVariant(grey));
      QCOMPARE(offline.data(Qt::ForegroundRole), QVariant(grey));
      QVERIFY(offline.data(Qt::ToolTipRole)
                  .toString()
                  .endsWith("\nOffline: missing. Its 3 files stay in the base until it is back or removed."));
    }
    f.Select({1});
    QTest::mouseClick(f.Button("btnRemove"), Qt::LeftButton);
    QVERIFY(WaitForScan(*f.form));
    QCOMPARE(f.FolderRows(), QStringList{"docs 2"});
    QCOMPARE(f.form->LabFilesCount->text(), QString("2 files in the base"));
  }

  // The page follows the base whoever changes it; with "Keep the base
  // current" on, the window's own watcher reads a changed page, and the
  // option is remembered. Each wait is on the page changing, never on time.
  void followsTheBaseAndKeepsItCurrent() {
    constexpr int kNeverReached = 200000;  // ms: only a fault waits this long
    {
      BaseFixture f;
      WritePages(f.dir, "docs", {"a.htm"});
      QVERIFY(f.Add("docs"));
      WritePages(f.dir, "more", {"x.htm", "y.htm"});
      AddBeside(f.dir.path(), f.dir / "more");
      QTRY_COMPARE_WITH_TIMEOUT(f.FolderRows(), (QStringList{"docs 1", "more 2"}), kNeverReached);
      QCOMPARE(f.form->LabFilesCount->text(), QString("3 files in the base"));

      auto* keep = Named<QCheckBox>(*f.page, "KeepCurrent");
      QVERIFY(!keep->isChecked());
      keep->click();
      WritePages(f.dir, "docs", {"b.htm"});
      QTRY_COMPARE_WITH_TIMEOUT(f.FolderRows(), (QStringList{"docs 2", "more 2"}), kNeverReached);
      QTRY_COMPARE_WITH_TIMEOUT(
          f.summary->text(), QString("Last scan: 1 added, 0 updated, 0 removed, 0 could not be read"), kNeverReached);
      QVERIFY(f.desktop.messages.empty());
    }
    BaseFixture again;
    auto* keep = Named<QCheckBox>(*again.page, "KeepCurrent");
    QVERIFY(keep->isChecked());
    keep->click();  // the next test's window starts without it
  }

  void unreadFilesAndTheBaseFolderOpen() {
    BaseFixture f;
    WritePages(f.dir, "docs", {"a.htm"});
    const std::string broken = f.dir / "docs/broken.pdf";
    WriteFile(broken, "%PDF-1.4 and nothing more");
    QVERIFY(f.Add("docs"));
    QCOMPARE(f.summary->text(), QString("Last scan: 2 added, 0 updated, 0 removed, 1 could not be read"));
    QCOMPARE(f.unread->model()->rowCount(), 1);
    QCOMPARE(f.unread->model()->index(0, 0).data().toString(), QString::fromStdString(broken));
    QCOMPARE(f.unread->model()->index(0, 1).data().toString(), QString("not a PDF document, or damaged beyond repair"));

    f.unread->setFocus();
    QTest::keyClick(f.unread, Qt::Key_Return);
    const QPoint row = f.unread->visualRect(f.unread->model()->index(0, 0)).center();
    QTest::mouseClick(f.unread->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseDClick(f.unread->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseClick(f.Button("btnOpenBase"), Qt::LeftButton);
    const QUrl file = QUrl::fromLocalFile(QString::fromStdString(broken));
    QCOMPARE(f.desktop.opened, (std::vector<QUrl>{file, file, QUrl::fromLocalFile(f.dir.path().c_str())}));
    QVERIFY(f.desktop.messages.empty());
    std::filesystem::remove(broken);
    QTest::mouseClick(f.Button("btnOpenUnread"), Qt::LeftButton);
    QCOMPARE(f.desktop.messages.size(), size_t{1});
    QCOMPARE(f.desktop.messages[0].text, QString("Sorry, can't open selected file."));
  }

  void buttonsAreDisabledWhileAnyScanRuns_data() {
    QTest::addColumn<QString>("start");
    QTest::newRow("Add to base on the search page") << "btnScan";
    QTest::newRow("Update") << "btnUpdate";
    QTest::newRow("Add folder") << "btnAddFolder";
  }
  void buttonsAreDisabledWhileAnyScanRuns() {
    QFETCH(QString, start);
    BaseFixture f;
    WritePages(f.dir, "docs", {"a.htm", "b.htm"});
    QVERIFY(f.Add("docs"));
    f.Select({0});
    f.form->DirEdit->setText(QString::fromStdString(f.dir / "docs"));
    QTest::mouseClick(Named<QPushButton>(*f.form->window, qPrintable(start)), Qt::LeftButton);
    // The worker waits for the window to show its first step, so it still runs here.
    QVERIFY(f.form->Scanning());
    const char* buttons[] = {"btnScan", "btnUpdate", "btnRemove", "btnAddFolder"};
    for (const char* name : buttons) QVERIFY2(!Named<QPushButton>(*f.form->window, name)->isEnabled(), name);
    QVERIFY(WaitForScan(*f.form));
    for (const char* name : buttons) QVERIFY2(Named<QPushButton>(*f.form->window, name)->isEnabled(), name);
  }

  void closingDuringAnUpdateKeepsTheOldBase() {
    BaseFixture f;
    WritePages(f.dir, "docs", {"a.htm", "b.htm", "c.htm"});
    QVERIFY(f.Add("docs"));
    WriteFile(f.dir / "docs/a.htm", "<p>Edited and longer</p>");
    const std::string words = ReadFile(f.dir / "wrds.txt");
    const std::string files = ReadFile(f.dir / "fls.txt");
    QTest::mouseClick(f.Button("btnUpdate"), Qt::LeftButton);
    QVERIFY(!f.form->window->close());
    QVERIFY(WaitForScan(*f.form));
    QTRY_VERIFY(!f.form->window->isVisible());
    QVERIFY(f.desktop.messages.empty());
    QCOMPARE(ReadFile(f.dir / "wrds.txt"), words);
    QCOMPARE(ReadFile(f.dir / "fls.txt"), files);
  }

  // Every text of the page shows whole, and no control overlaps another or
  // leaves the page.
  void noTextIsClippedAtAnyFont_data() {
    QTest::addColumn<int>("points");  // 0: the default font, at the design size
    QTest::newRow("default") << 0;
    QTest::newRow("13 pt") << 13;
    QTest::newRow("20 pt") << 20;
  }
  void noTextIsClippedAtAnyFont() {
    QFETCH(int, points);
    BaseFixture f;
    WritePages(f.dir, "docs", {"a.htm"});
    WriteFile(f.dir / "docs/broken.pdf", "%PDF-1.4 and nothing more");
    QVERIFY(f.Add("docs"));
    QFont font = f.form->window->font();
    if (points > 0) font.setPointSize(points);
    f.form->window->setFont(font);
    QCOMPARE(f.form->window->size() == QSize(544, 461), points == 0);
    const QList<QWidget*> controls = f.page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (qsizetype i = 0; i < controls.size(); ++i) {
      QWidget* control = controls[i];
      const QString name = control->objectName();
      QVERIFY2(f.page->rect().contains(control->geometry()), qPrintable(name + " leaves its page"));
      for (qsizetype j = i + 1; j < controls.size(); ++j) {
        QVERIFY2(!control->geometry().intersects(controls[j]->geometry()),
                 qPrintable(name + " overlaps " + controls[j]->objectName()));
      }
      const QFontMetrics metrics = control->fontMetrics();
      QRect room = control->contentsRect();
      QString text;
      if (auto* label = qobject_cast<QLabel*>(control)) {
        text = label->text();
      } else if (auto* button = qobject_cast<QPushButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        text = option.text = QString(button->text()).remove('&');
        room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
      } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
        QVERIFY2(box->sizeHint().width() <= box->width() && box->sizeHint().height() <= box->height(), "FoldYo");
      } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
        QVERIFY2(metrics.height() <= edit->height() - 2 * frame, qPrintable(name));
      } else if (auto* table = qobject_cast<QTableView*>(control)) {
        for (int column = 0; column < table->model()->columnCount(); ++column) {
          QVERIFY2(table->horizontalHeader()->sectionSize(column) >= table->horizontalHeader()->sectionSizeHint(column),
                   qPrintable(name + " cuts its header"));
        }
      }
      QVERIFY2(metrics.horizontalAdvance(text) <= room.width() && (text.isEmpty() || metrics.height() <= room.height()),
               qPrintable(name + ": " + text));
    }
  }

  // A kind's box is the command line's `kinds`: the base reads what the
  // boxes say from now on, through one update on the scan's worker.
  void kindBoxesChangeWhatTheBaseReads() {
    BaseFixture f;
    WritePages(f.dir, "docs", {"a.htm"});
    WriteFile(f.dir / "docs/notes.txt", "Hello notes");
    WriteFile(f.dir / "docs/old.txt.gz", "not gzip at all");
    QVERIFY(f.Add("docs"));
    QVERIFY(ReadFile(f.dir / "fls.txt").find("notes.txt") == std::string::npos);
    for (const char* group : {"text", "office", "ebook", "compressed"}) QVERIFY(!f.Kind(group)->isChecked());

    QTest::mouseClick(f.Kind("text"), Qt::LeftButton);
    QVERIFY(f.form->Scanning());
    QVERIFY(!f.Kind("office")->isEnabled());
    QVERIFY(WaitForScan(*f.form));
    QVERIFY(f.Kind("office")->isEnabled());
    QCOMPARE(ReadFile(f.dir / "kinds.txt"), std::string("text\r\n"));
    QVERIFY(ReadFile(f.dir / "fls.txt").find("notes.txt") != std::string::npos);
    QCOMPARE(f.summary->text(), QString("Last scan: 1 added, 0 updated, 0 removed, 0 could not be read"));

    QTest::mouseClick(f.Kind("compressed"), Qt::LeftButton);
    QVERIFY(WaitForScan(*f.form));
    QCOMPARE(f.unread->model()->rowCount(), 1);
    QCOMPARE(f.unread->model()->index(0, 1).data().toString(), QString("its compressed data is damaged"));

    QTest::mouseClick(f.Kind("text"), Qt::LeftButton);
    QVERIFY(WaitForScan(*f.form));
    QVERIFY(!f.Kind("text")->isChecked() && f.Kind("compressed")->isChecked());
    QCOMPARE(ReadFile(f.dir / "kinds.txt"), std::string("compressed\r\n"));
    QVERIFY(ReadFile(f.dir / "fls.txt").find("notes.txt") == std::string::npos);
  }

  void keysAndNames() {
    BaseFixture f;
    WritePages(f.dir, "docs", {"a.htm"});
    WriteFile(f.dir / "docs/broken.pdf", "%PDF-1.4 and nothing more");
    QVERIFY(f.Add("docs"));
    f.Select({0});
    f.desktop.confirms = false;
    // Alt and the underlined letter press each button; no two buttons of the
    // window, nor the folder picker's Alt+B, share a letter.
    std::set<int> letters{(Qt::ALT | Qt::Key_B).toCombined()};
    for (QPushButton* button : f.form->window->findChildren<QPushButton*>()) {
      const QKeySequence keys = QKeySequence::mnemonic(button->text());
      QVERIFY2(!keys.isEmpty() && letters.insert(keys[0].toCombined()).second, qPrintable(button->text()));
      if (button->parent() != f.page) continue;
      QSignalSpy clicked(button, &QPushButton::clicked);
      QTest::keyClick(f.form->window.get(), keys[0].key(), keys[0].keyboardModifiers());
      QVERIFY2(clicked.count() == 1 || clicked.wait(60000), qPrintable(button->text()));
      QVERIFY(WaitForScan(*f.form));
    }
    QTest::keyClick(f.folders, Qt::Key_F5);
    QVERIFY(f.form->Scanning());
    QVERIFY(WaitForScan(*f.form));

    auto* fold_yo = Named<QCheckBox>(*f.page, "FoldYo");
    auto* keep_current = Named<QCheckBox>(*f.page, "KeepCurrent");
    auto* as_you_type = Named<QCheckBox>(*f.page, "SearchAsYouType");
    auto* base_folder = Named<QLineEdit>(*f.page, "BaseFolderEdit");
    base_folder->setFocus();
    for (QWidget* next :
         std::initializer_list<QWidget*>{f.folders, f.unread, fold_yo, as_you_type, f.Kind("text"), f.Kind("office"),
                                         f.Kind("ebook"), f.Kind("compressed"), keep_current, base_folder}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), next);
    }
    for (QWidget* control : f.page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (qobject_cast<QLabel*>(control) != nullptr) continue;
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
      QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), qPrintable(control->objectName()));
    }

    // "Ё = Е" tells the window of the user's change only.
    QSignalSpy toggled(f.page, &BasePage::foldYoToggled);
    fold_yo->setFocus();
    QTest::keyClick(fold_yo, Qt::Key_Space);
    f.page->SetFoldYo(false);
    QVERIFY(!fold_yo->isChecked());
    QCOMPARE(toggled.count(), 1);
    QCOMPARE(toggled[0][0].toBool(), true);
  }
};

}  // namespace veskara::testing

QTEST_MAIN(veskara::testing::BasePageTest)
#include "app_base_page_test.moc"
