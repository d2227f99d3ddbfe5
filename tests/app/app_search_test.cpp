// Searching from the window, choosing a found word, opening its files.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolTip>
#include <filesystem>

#include "app_test_util.h"
#include "base/commit.h"

namespace veskara::testing {

namespace {

// A base of three files; c.pdf is recorded but no longer on the disk.
struct SampleBase : BaseWindow {
  std::string a = dir / "docs/a.htm";
  std::string b = dir / "docs/b.htm";
  std::string c = dir / "docs/c.pdf";

  SampleBase() {
    WriteFile(a, "<p>apple banana</p>");
    WriteFile(b, "<p>apple apricot</p>");
    WriteBase(dir, {"APPLE", "0,1", "APRICOT", "1", "BANANA", "0,2", "\xCF\xD0\xC8\xC2\xC5\xD2", "2"},  // ПРИВЕТ
              {a, "0", b, "1", c, "2"});
  }
  QString Path(const std::string& path) const { return QString::fromStdString(path); }
};

void Search(FormUnderTest& form, const QString& text) {
  form.Edit1->setText(text);
  QTest::mouseClick(form.btnGO, Qt::LeftButton);
}

}  // namespace

class SearchTest : public QObject {
  Q_OBJECT

 private slots:
  void enterAndButtonRunTheSameSearch() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    form->Edit1->setFocus();
    QTest::keyClicks(form->Edit1, "  ap ");
    QTest::keyClick(form->Edit1, Qt::Key_Return);
    const QStringList by_enter = Rows(form->ListBox1);
    const std::vector<std::string> lists_by_enter = form->FoundNumberLists();
    QCOMPARE(form->Edit1->text(), QString("  ap "));  // the key leaves the text alone
    form->ListBox1->clear();
    QTest::mouseClick(form->btnGO, Qt::LeftButton);
    QCOMPARE(Rows(form->ListBox1), by_enter);
    QCOMPARE(by_enter, (QStringList{"APPLE", "APRICOT"}));
    QCOMPARE(form->FoundNumberLists(), lists_by_enter);
    QCOMPARE(lists_by_enter, (std::vector<std::string>{"0,1", "1"}));
    QVERIFY(form->ListBox1->selectedItems().isEmpty());
    QCOMPARE(QApplication::focusWidget(), form->Edit1);  // the focus does not move
    QCOMPARE(form->PanelText(1), QString());             // the start hint is replaced
    QVERIFY(base.desktop.messages.empty());
  }

  void searchFromTheFoundWordsKeepsFocusAndSelectsNothing() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    Search(*form, "ap");
    ClickRow(form->ListBox1, 1);
    QCOMPARE(QApplication::focusWidget(), form->ListBox1);
    form->Edit1->setText("a");
    QTest::mouseClick(form->btnGO, Qt::LeftButton);
    QCOMPARE(Rows(form->ListBox1), (QStringList{"APPLE", "APRICOT"}));
    QVERIFY(form->ListBox1->selectedItems().isEmpty());
    QCOMPARE(QApplication::focusWidget(), form->ListBox1);
    QCOMPARE(Rows(form->ListBox2), (QStringList{base.Path(base.b)}));
    // The arrow keys then choose from the new rows.
    QTest::keyClick(form->ListBox1, Qt::Key_Down);
    QCOMPARE(form->ListBox1->selectedItems().size(), 1);
    QVERIFY(form->ListBox2->count() > 0);
    // Keypad Enter searches too.
    form->Edit1->setFocus();
    form->Edit1->setText("banana");
    QTest::keyClick(form->Edit1, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(Rows(form->ListBox1), (QStringList{"BANANA"}));
    QVERIFY(base.desktop.messages.empty());
  }

  void rowsOfSearches_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("cyrillic small letters") << QString::fromUtf8("привет") << QStringList{QString::fromUtf8("ПРИВЕТ")};
    QTest::newRow("two words share a file") << "apple banana" << QStringList{"APPLE ... BANANA"};
    QTest::newRow("hyphen splits") << "ap-ban" << QStringList{"APPLE ... BANANA"};
    QTest::newRow("digits never find a number line") << "0" << QStringList{};
  }
  void rowsOfSearches() {
    QFETCH(QString, query);
    QFETCH(QStringList, rows);
    SampleBase base;
    FormUnderTest* form = base.Show();
    Search(*form, query);
    QCOMPARE(Rows(form->ListBox1), rows);
    QCOMPARE(form->FoundNumberLists().size(), static_cast<size_t>(rows.size()));
    QCOMPARE(form->PanelText(1), rows.isEmpty() ? QString("Nothing was found...") : QString());
  }

  void nothingFoundClearsTheFoundFiles() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    Search(*form, "ap");
    ClickRow(form->ListBox1, 0);
    QCOMPARE(form->ListBox2->count(), 2);
    Search(*form, "banana");  // found: the files of the earlier choice stay
    QCOMPARE(form->ListBox2->count(), 2);
    Search(*form, "apple zebra");
    QCOMPARE(form->ListBox1->count(), 0);
    QCOMPARE(form->ListBox2->count(), 0);
    QCOMPARE(form->PanelText(1), QString("Nothing was found..."));
    QVERIFY(base.desktop.messages.empty());
  }

  void queryWithoutWordsChangesNothing() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    Search(*form, "ap");
    Search(*form, " *** ");
    QCOMPARE(Rows(form->ListBox1), (QStringList{"APPLE", "APRICOT"}));
    QVERIFY(base.desktop.messages.empty());
  }

  void failedSearchKeepsTheOldLists() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    Search(*form, "ap");
    ClickRow(form->ListBox1, 0);
    std::filesystem::remove(base.dir / "wrds.txt");
    Search(*form, "banana");
    QCOMPARE(base.desktop.messages.size(), size_t{1});
    QCOMPARE(base.desktop.messages[0].kind, MessageKind::kPlainDialog);
    QCOMPARE(base.desktop.messages[0].caption, QString("Veskara"));
    QCOMPARE(base.desktop.messages[0].text, "Database file " + QString::fromStdString(base.dir.path()) +
                                                "/wrds.txt is not found. You should add to base one or more "
                                                "directory first.");
    QCOMPARE(Rows(form->ListBox1), (QStringList{"APPLE", "APRICOT"}));
    QCOMPARE(form->FoundNumberLists(), (std::vector<std::string>{"0,1", "1"}));
    QCOMPARE(Rows(form->ListBox2), (QStringList{base.Path(base.a), base.Path(base.b)}));
  }

  void tooManyWordsIsToldOnce() {
    TempDir dir;
    std::string words;
    for (int i = 0; i < 30; ++i) words += CrLf({"W" + std::to_string(10 + i), "0"});
    WriteFile(dir / "wrds.txt", words);
    WriteFile(dir / "fls.txt", CrLf({"/x.htm", "0"}));
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    Search(*form, "w w");
    QCOMPARE(form->ListBox1->count(), 501);  // the entry that went over the limit stays
    desktop.messages.clear();
    Search(*form, "w w w");  // over the limit in two passes, told once
    QCOMPARE(desktop.messages.size(), size_t{1});
    QCOMPARE(desktop.messages[0].kind, MessageKind::kInformationBox);
    QCOMPARE(desktop.messages[0].caption, QString("Information"));
    QCOMPARE(desktop.messages[0].text, QString("Too many words found! Please define more exact search criteria!"));
    QVERIFY(form->ListBox1->count() > 0);
  }

  void choosingByClickListsTheFiles() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    Search(*form, "ap");
    form->Edit1->setFocus();
    ClickRow(form->ListBox1, 0);
    QCOMPARE(Rows(form->ListBox2), (QStringList{base.Path(base.a), base.Path(base.b)}));
    QCOMPARE(form->ListBox2->currentRow(), 0);
    QCOMPARE(form->ListBox2->selectedItems().size(), 1);
    QCOMPARE(QApplication::focusWidget(), form->ListBox1);
    QCOMPARE(form->GetSelectedFile(), base.Path(base.a));
    // The same entry again: the same rows, not twice as many.
    ClickRow(form->ListBox1, 0);
    QCOMPARE(form->ListBox2->count(), 2);
  }

  void choosingByArrowKeys() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    Search(*form, "a");
    QCOMPARE(Rows(form->ListBox1), (QStringList{"APPLE", "APRICOT"}));
    ClickRow(form->ListBox1, 0);
    QTest::keyClick(form->ListBox1, Qt::Key_Down);
    QCOMPARE(form->ListBox1->selectedItems().first()->text(), QString("APRICOT"));
    QCOMPARE(Rows(form->ListBox2), (QStringList{base.Path(base.b)}));
    QCOMPARE(form->ListBox2->currentRow(), 0);
    QCOMPARE(QApplication::focusWidget(), form->ListBox1);
  }

  void failedLookupReachesTheErrorReport() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    // The lookups read the fls.txt of the base that was searched.
    std::filesystem::rename(base.dir / "fls.txt", base.dir / "fls.away");
    Search(*form, "ap");
    std::filesystem::rename(base.dir / "fls.away", base.dir / "fls.txt");
    ClickRow(form->ListBox1, 1);
    QCOMPARE(base.desktop.messages.size(), size_t{1});
    QCOMPARE(base.desktop.messages[0].kind, MessageKind::kErrorReport);
    QCOMPARE(base.desktop.messages[0].caption, QString("Veskara"));
    QCOMPARE(base.desktop.messages[0].text, QString("File not found."));
    QCOMPARE(form->ListBox2->count(), 0);
    // The window goes on: the next search works.
    Search(*form, "banana");
    QCOMPARE(Rows(form->ListBox1), (QStringList{"BANANA"}));
  }

  void openWithoutARowDoesNothing() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    QTest::mouseClick(form->btnOpen, Qt::LeftButton);
    Search(*form, "ap");
    ClickRow(form->ListBox1, 0);
    form->ListBox2->clearSelection();
    QCOMPARE(form->GetSelectedFile(), QString("**nothing**"));
    QTest::mouseClick(form->btnOpen, Qt::LeftButton);
    QVERIFY(base.desktop.opened.empty());
    QVERIFY(base.desktop.messages.empty());
  }

  void openHandsTheFileToTheDesktop() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    Search(*form, "ap");
    ClickRow(form->ListBox1, 0);
    QTest::mouseClick(form->btnOpen, Qt::LeftButton);
    // A real double-click starts with a press.
    const QPoint second_row = form->ListBox2->visualItemRect(form->ListBox2->item(1)).center();
    QTest::mouseClick(form->ListBox2->viewport(), Qt::LeftButton, {}, second_row);
    QTest::mouseDClick(form->ListBox2->viewport(), Qt::LeftButton, {}, second_row);
    form->ListBox2->setFocus();
    QTest::keyClick(form->ListBox2, Qt::Key_Return);
    QCOMPARE(base.desktop.opened,
             (std::vector<QUrl>{QUrl::fromLocalFile(base.Path(base.a)), QUrl::fromLocalFile(base.Path(base.b)),
                                QUrl::fromLocalFile(base.Path(base.b))}));
    QVERIFY(base.desktop.messages.empty());
  }

  void openFailures_data() {
    QTest::addColumn<bool>("file_vanished");
    QTest::addColumn<bool>("desktop_refuses");
    QTest::newRow("vanished file") << true << false;
    QTest::newRow("desktop refuses") << false << true;
  }
  void openFailures() {
    QFETCH(bool, file_vanished);
    QFETCH(bool, desktop_refuses);
    SampleBase base;
    base.desktop.open_succeeds = !desktop_refuses;
    FormUnderTest* form = base.Show();
    Search(*form, file_vanished ? "banana" : "apricot");
    ClickRow(form->ListBox1, 0);
    if (file_vanished) form->ListBox2->setCurrentRow(1);  // c.pdf
    QTest::mouseClick(form->btnOpen, Qt::LeftButton);
    QCOMPARE(base.desktop.opened.size(), size_t{file_vanished ? 0u : 1u});
    QCOMPARE(base.desktop.messages.size(), size_t{1});
    QCOMPARE(base.desktop.messages[0].kind, MessageKind::kWarningBox);
    QCOMPARE(base.desktop.messages[0].caption, QString("Message"));
    QCOMPARE(base.desktop.messages[0].text, QString("Sorry, can't open selected file."));
    QCOMPARE(form->ListBox2->count(), file_vanished ? 2 : 1);
  }

  // Regression: a name that is not valid UTF-8 was opened by its decoded
  // text, which names no file.
  void openAFileWhoseNameIsNotUtf8() {
    TempDir dir;
    const std::string path = dir / "docs/caf\xE9.htm";  // Latin-1, not UTF-8
    WriteFile(path, "<p>coffee</p>");
    WriteBase(dir, {"COFFEE", "0"}, {path, "0"});
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    Search(*form, "coffee");
    ClickRow(form->ListBox1, 0);
    QTest::mouseClick(form->btnOpen, Qt::LeftButton);
    QVERIFY(desktop.messages.empty());
    QCOMPARE(desktop.opened.size(), size_t{1});
    QCOMPARE(desktop.opened[0].toEncoded(), "file://" + QByteArray::fromStdString(path).toPercentEncoding("/"));
  }

  void foundFilesMenu() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    Search(*form, "apricot");
    ClickRow(form->ListBox1, 0);
    QStringList texts;
    for (QAction* action : form->ListBox2->actions()) texts.append(action->text());
    QCOMPARE(texts, (QStringList{"Open", "Show matches", "Open containing folder", "Copy path"}));
    // The keys shown in the menu work in the list.
    form->ListBox2->setFocus();
    QTest::keyClick(form->ListBox2, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(base.desktop.opened, (std::vector<QUrl>{QUrl::fromLocalFile(base.Path(base.dir / "docs"))}));
    QGuiApplication::clipboard()->clear();
    form->ListBox2->actions()[3]->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), base.Path(base.b));
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(form->ListBox2, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), base.Path(base.b));
  }

  void filesOfAllFoundWords_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("files");  // names under docs/, in the order of fls.txt
    QTest::newRow("two words") << "ap" << QStringList{"a.htm", "b.htm"};
    QTest::newRow("a file no longer on the disk") << "banana" << QStringList{"a.htm", "c.pdf"};
    QTest::newRow("combinations") << "ap ban" << QStringList{"a.htm"};
    QTest::newRow("cyrillic") << QString::fromUtf8("прив") << QStringList{"c.pdf"};
  }
  void filesOfAllFoundWords() {
    QFETCH(QString, query);
    QFETCH(QStringList, files);
    SampleBase base;
    FormUnderTest* form = base.Show();
    Search(*form, query);
    // From the query field: the keys work anywhere on the page.
    form->Edit1->setFocus();
    QTest::keyClick(form->Edit1, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QStringList expected;
    for (const QString& name : files) expected.append(base.Path(base.dir / ("docs/" + name.toStdString())));
    QCOMPARE(Rows(form->ListBox2), expected);
    QCOMPARE(form->ListBox2->currentRow(), 0);
    QCOMPARE(form->PanelText(1), QString("Files of all found words: %1").arg(files.size()));
    QCOMPARE(QApplication::focusWidget(), form->ListBox2);
    QVERIFY(base.desktop.messages.empty());
  }

  void filesOfAllFoundWordsThenAnEntryAsWritten() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    // Before any search there is nothing to list.
    form->ListBox1->actions()[0]->trigger();
    QCOMPARE(form->ListBox2->count(), 0);
    Search(*form, "ap");
    ClickRow(form->ListBox1, 1);
    QCOMPARE(Rows(form->ListBox2), (QStringList{base.Path(base.b)}));
    QCOMPARE(form->ListBox1->actions()[0]->text(), QString("Show files of all found words"));
    form->ListBox1->actions()[0]->trigger();
    QCOMPARE(Rows(form->ListBox2), (QStringList{base.Path(base.a), base.Path(base.b)}));
    QVERIFY(form->ListBox1->selectedItems().isEmpty());  // no entry stands for these rows
    // Choosing an entry, even the one chosen before, lists its files again.
    ClickRow(form->ListBox1, 1);
    QCOMPARE(Rows(form->ListBox2), (QStringList{base.Path(base.b)}));
    QCOMPARE(QApplication::focusWidget(), form->ListBox1);
    // Open works on the rows as on any other.
    Search(*form, "ap");
    form->ListBox1->actions()[0]->trigger();
    form->ListBox2->setCurrentRow(1);
    QTest::mouseClick(form->btnOpen, Qt::LeftButton);
    QCOMPARE(base.desktop.opened, std::vector<QUrl>{QUrl::fromLocalFile(base.Path(base.b))});
  }

  // Regression: a lookup read whatever fls.txt was live when the row was
  // chosen, so a scan committed since the search paired its words with
  // another base's paths.
  void lookupsReadTheBaseThatWasSearched() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    Search(*form, "apr");
    const std::string moved = base.dir / "docs/moved.htm";
    WriteFile(base.dir / "wrds.txt.new", CrLf({"APPLE", "0,3", "APRICOT", "3"}));
    WriteFile(base.dir / "fls.txt.new", CrLf({base.a, "0", moved, "3"}));
    CommitBase(*TryLockBase(base.dir.path(), Env::Default()), Env::Default());
    ClickRow(form->ListBox1, 0);
    QCOMPARE(Rows(form->ListBox2), (QStringList{base.Path(base.b)}));
    form->ListBox1->actions()[0]->trigger();
    QCOMPARE(Rows(form->ListBox2), (QStringList{base.Path(base.b)}));
    // A new search reads the new base.
    Search(*form, "apr");
    ClickRow(form->ListBox1, 0);
    QCOMPARE(Rows(form->ListBox2), (QStringList{base.Path(moved)}));
  }

  void filesOfAllFoundWordsWithoutFilesFile() {
    SampleBase base;
    FormUnderTest* form = base.Show();
    std::filesystem::remove(base.dir / "fls.txt");
    Search(*form, "ap");
    form->ListBox1->actions()[0]->trigger();
    QCOMPARE(base.desktop.messages.size(), size_t{1});
    QCOMPARE(base.desktop.messages[0].kind, MessageKind::kErrorReport);
    QCOMPARE(base.desktop.messages[0].text, QString("File not found."));
    QCOMPARE(form->ListBox2->count(), 0);
  }

  // Ё as Е: off by default, turned on by the box on the Base page, and
  // remembered by the next window.
  void foldYoIsRememberedBetweenRuns() {
    TempDir dir;
    WriteBase(dir, {"\xC5\xC6", "0", "\xA8\xC6\xC8\xCA", "1"}, {"/e.htm", "0", "/yo.htm", "1"});  // ЕЖ, ЁЖИК
    RecordingDesktop desktop;
    {
      auto form = ShowForm(desktop, dir.path());
      QVERIFY(!form->window->Context().FoldYo());
      Search(*form, QString::fromUtf8("еж"));
      QCOMPARE(Rows(form->ListBox1), QStringList{QString::fromUtf8("ЕЖ")});
      auto* box = Named<QCheckBox>(*form->window, "FoldYo");
      QVERIFY(!box->isChecked());
      box->click();
      Search(*form, QString::fromUtf8("еж"));
      QCOMPARE(Rows(form->ListBox1), (QStringList{QString::fromUtf8("ЕЖ"), QString::fromUtf8("ЁЖИК")}));
    }
    auto form = ShowForm(desktop, dir.path());
    QVERIFY(form->window->Context().FoldYo());
    QVERIFY(Named<QCheckBox>(*form->window, "FoldYo")->isChecked());
    Search(*form, QString::fromUtf8("ёж"));
    QCOMPARE(Rows(form->ListBox1), (QStringList{QString::fromUtf8("ЕЖ"), QString::fromUtf8("ЁЖИК")}));
    form->window->Context().SetFoldYo(false);
    Search(*form, QString::fromUtf8("ёж"));
    QCOMPARE(Rows(form->ListBox1), QStringList{QString::fromUtf8("ЁЖИК")});
    auto again = ShowForm(desktop, dir.path());
    QVERIFY(!again->window->Context().FoldYo());
  }

  void tooltipShowsAPathTheRowCutsOff() {
    SampleBase base;
    const std::string long_path = base.dir / (std::string(120, 'n') + ".htm");
    WriteFile(long_path, "x");
    WriteFile(base.dir / "fls.txt", CrLf({base.a, "0", long_path, "1"}));
    FormUnderTest* form = base.Show();
    Search(*form, "apple");
    ClickRow(form->ListBox1, 0);
    QCOMPARE(form->ListBox2->count(), 2);
    auto tip_for_row = [&](int row) {
      const QPoint at = form->ListBox2->visualItemRect(form->ListBox2->item(row)).center();
      QHelpEvent help(QEvent::ToolTip, at, form->ListBox2->viewport()->mapToGlobal(at));
      QApplication::sendEvent(form->ListBox2->viewport(), &help);
      return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(tip_for_row(0), QString());  // the row shows it whole
    QCOMPARE(tip_for_row(1), base.Path(long_path));
  }
};

}  // namespace veskara::testing

QTEST_MAIN(veskara::testing::SearchTest)
#include "app_search_test.moc"
