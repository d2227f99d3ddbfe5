// The preview of a found file's matches: opened from the found files, the
// matching lines with their marks, "Open", Escape, and a base left alone.
#include <QAbstractItemModel>
#include <QPlainTextEdit>
#include <QPoint>
#include <QSignalSpy>
#include <QTableView>
#include <filesystem>

#include "app/preview_window.h"
#include "app_test_util.h"
#include "pdf_maker.h"

namespace veskara::testing {

namespace {

// Two pages and a PDF document, all holding words that begin with PLAN.
struct PlantBase : BaseWindow {
  std::string guide = dir / "docs/guide.htm";
  std::string notes = dir / "docs/notes.htm";
  std::string report = dir / "docs/report.pdf";

  PlantBase() {
    WriteFile(guide,
              "<html><head><title>Planting guide</title></head>\n"
              "<body>\n"
              "<p>Plant roses in <b>spring</b>, plan the beds.</p>\n"
              "<p>Water &amp; feed.</p>\n"
              "<p>Planted by &laquo;Plan&raquo;</p>\n");
    WriteFile(notes, "Notes without the word.\nplans\n");
    WriteFile(report, MakePdfPages({{"Annual report"}, {"planning ahead", "nothing"}, {"Plans for spring"}}));
    WriteBase(dir, {"PLAN", "0,1,2", "PLANS", "1,2", "PLANT", "0", "SPRING", "0,2", "WATER", "0"},
              {guide, "0", notes, "1", report, "2"});
  }
};

// "LABEL:TEXT" per row, each marked word in brackets.
QStringList MarkedRows(const QTableView& table) {
  const QAbstractItemModel& model = *table.model();
  QStringList rows;
  for (int r = 0; r < model.rowCount(); ++r) {
    QString text = model.index(r, 1).data().toString();
    const QVariantList marks = model.index(r, 1).data(PreviewWindow::kMarksRole).toList();
    for (auto mark = marks.rbegin(); mark != marks.rend(); ++mark) {
      const QPoint span = mark->toPoint();
      text.insert(span.x() + span.y(), ']');
      text.insert(span.x(), '[');
    }
    rows.append(model.index(r, 0).data().toString() + ":" + text);
  }
  return rows;
}

// The preview that F3 opens for the found file in `row`, once it has read.
PreviewWindow* PreviewOf(FormUnderTest& form, int row) {
  form.ListBox2->setCurrentRow(row);
  form.ListBox1->setFocus();  // where the focus stays after choosing a word
  QTest::keyClick(form.ListBox1, Qt::Key_F3);
  const QList<PreviewWindow*> previews = form.window->findChildren<PreviewWindow*>("Preview");
  if (previews.isEmpty()) return nullptr;
  PreviewWindow* preview = previews.back();
  QSignalSpy loaded(preview, &PreviewWindow::loaded);
  // A guard against a reader that never ends, not a measure of speed.
  if (!preview->Loaded() && !loaded.wait(240000)) return nullptr;
  return preview;
}

void Search(FormUnderTest& form, const QString& text) {
  form.Edit1->setText(text);
  QTest::mouseClick(form.btnGO, Qt::LeftButton);
}

}  // namespace

class PreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void linesOfAFoundFile_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("row");  // of the found files, after "Show files of all found words"
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("status");
    QTest::newRow("page") << "plan" << 0
                          << QStringList{"1:[Planting] guide", "3:[Plant] roses in spring, [plan] the beds.",
                                         QString::fromUtf8("5:[Planted] by «[Plan]»")}
                          << "3 lines with the words searched for";
    QTest::newRow("two query words") << "plant spring" << 0
                                     << QStringList{"1:[Planting] guide", "3:[Plant] roses in [spring], plan the beds.",
                                                    QString::fromUtf8("5:[Planted] by «Plan»")}
                                     << "3 lines with the words searched for";
    QTest::newRow("one line") << "water" << 0 << QStringList{"4:[Water] & feed."}
                              << "1 line with the words searched for";
    QTest::newRow("pdf pages") << "plan" << 2 << QStringList{"p.2:[planning] ahead", "p.3:[Plans] for spring"}
                               << "2 lines with the words searched for";
  }
  void linesOfAFoundFile() {
    QFETCH(QString, query);
    QFETCH(int, row);
    QFETCH(QStringList, lines);
    QFETCH(QString, status);
    PlantBase base;
    FormUnderTest* form = base.Show();
    Search(*form, query);
    form->ListBox1->actions()[0]->trigger();
    PreviewWindow* preview = PreviewOf(*form, row);
    QVERIFY(preview != nullptr);
    QVERIFY(preview->isVisible());
    QVERIFY(!preview->isModal());
    const auto* table = Named<QTableView>(*preview, "PreviewLines");
    QCOMPARE(MarkedRows(*table), lines);
    QCOMPARE(table->model()->headerData(0, Qt::Horizontal).toString(), row == 2 ? QString("Page") : QString("Line"));
    QCOMPARE(Named<QLabel>(*preview, "PreviewStatus")->text(), status);
    QVERIFY(base.desktop.messages.empty());
  }

  // A line the core cut (it is longer than kLongestShownLine characters)
  // shows where it was cut, and its match marked where it stands.
  void longLineIsShownCut() {
    BaseWindow base;
    const std::string page = base.dir / "docs/long.htm";
    std::string words;
    for (int i = 0; i < 3000; ++i) words += "word ";
    WriteFile(page, words + "plan " + words + "\n");
    WriteBase(base.dir, {"PLAN", "0", "WORD", "0"}, {page, "0"});
    FormUnderTest* form = base.Show();
    Search(*form, "plan");
    ClickRow(form->ListBox1, 0);
    PreviewWindow* preview = PreviewOf(*form, 0);
    QVERIFY(preview != nullptr);
    const QStringList rows = MarkedRows(*Named<QTableView>(*preview, "PreviewLines"));
    QCOMPARE(rows.size(), 1);
    const QString ellipsis(QChar(0x2026));
    QVERIFY2(rows[0].startsWith("1:" + ellipsis + "word ") && rows[0].endsWith(ellipsis), qPrintable(rows[0]));
    QVERIFY2(rows[0].contains(" word [plan] word "), qPrintable(rows[0]));
  }

  // The preview marks the words of the search that found the file, whatever
  // the query field holds by then; the main window stays usable.
  void previewFollowsTheSearchShown() {
    PlantBase base;
    FormUnderTest* form = base.Show();
    Search(*form, "spring");
    ClickRow(form->ListBox1, 0);
    form->Edit1->setText("water");
    PreviewWindow* preview = PreviewOf(*form, 0);
    QVERIFY(preview != nullptr);
    QCOMPARE(MarkedRows(*Named<QTableView>(*preview, "PreviewLines")),
             QStringList{"3:Plant roses in [spring], plan the beds."});
    Search(*form, "plant");
    QCOMPARE(Rows(form->ListBox1), QStringList{"PLANT"});
    QVERIFY(preview->isVisible());
  }

  void openAndEscape() {
    PlantBase base;
    FormUnderTest* form = base.Show();
    Search(*form, "plant");
    ClickRow(form->ListBox1, 0);
    PreviewWindow* preview = PreviewOf(*form, 0);
    QVERIFY(preview != nullptr);
    QTest::mouseClick(Named<QPushButton>(*preview, "PreviewOpen"), Qt::LeftButton);
    QCOMPARE(base.desktop.opened, std::vector<QUrl>{QUrl::fromLocalFile(QString::fromStdString(base.guide))});
    // The written open's message when the file is gone.
    std::filesystem::remove(base.guide);
    QTest::mouseClick(Named<QPushButton>(*preview, "PreviewOpen"), Qt::LeftButton);
    QCOMPARE(base.desktop.messages.size(), size_t{1});
    QCOMPARE(base.desktop.messages[0].kind, MessageKind::kWarningBox);
    QCOMPARE(base.desktop.messages[0].text, QString("Sorry, can't open selected file."));
    QPointer<PreviewWindow> watched(preview);
    QTest::keyClick(preview, Qt::Key_Escape);
    QVERIFY(!preview->isVisible());
    QTRY_VERIFY(watched.isNull());  // gone once the event loop runs
  }

  // Regression guard: a line longer than the window was cut at its right
  // edge with no way to see the rest. The chosen line shows whole below.
  void theChosenLineShowsWholeAndWrapped() {
    PlantBase base;
    std::string tail;
    for (int i = 0; i < 300; ++i) tail += " word" + std::to_string(i);
    WriteFile(base.notes, "plans" + tail + " the end\nplans again\n");
    FormUnderTest* form = base.Show();
    Search(*form, "plans");
    ClickRow(form->ListBox1, 0);
    PreviewWindow* preview = PreviewOf(*form, 0);
    QVERIFY(preview != nullptr);
    auto* whole = Named<QPlainTextEdit>(*preview, "PreviewWholeLine");
    const QString long_line = QString::fromStdString("plans" + tail + " the end");
    QCOMPARE(whole->toPlainText(), long_line);
    QCOMPARE(whole->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    auto* table = Named<QTableView>(*preview, "PreviewLines");
    QVERIFY(table->model()->index(0, 1).data().toString().size() < long_line.size());  // the row is cut
    table->selectRow(1);
    QCOMPARE(whole->toPlainText(), QString("plans again"));
  }

  void fileThatCannotBeRead() {
    PlantBase base;
    FormUnderTest* form = base.Show();
    Search(*form, "plans");
    ClickRow(form->ListBox1, 0);
    QCOMPARE(Rows(form->ListBox2).size(), 2);
    std::filesystem::remove(base.notes);
    PreviewWindow* preview = PreviewOf(*form, 0);
    QVERIFY(preview != nullptr);
    QCOMPARE(Named<QTableView>(*preview, "PreviewLines")->model()->rowCount(), 0);
    QCOMPARE(Named<QLabel>(*preview, "PreviewStatus")->text(), QString("Can't read this file: File not found"));
  }

  void noFileSelectedOpensNothing() {
    PlantBase base;
    FormUnderTest* form = base.Show();
    form->ListBox1->setFocus();
    QTest::keyClick(form->ListBox1, Qt::Key_F3);
    Search(*form, "plan");
    ClickRow(form->ListBox1, 0);
    form->ListBox2->clearSelection();
    QTest::keyClick(form->ListBox1, Qt::Key_F3);
    QVERIFY(form->window->findChildren<PreviewWindow*>().isEmpty());
  }

  // Reading for the preview, a PDF document's conversion included, changes
  // nothing in the base folder.
  void previewLeavesTheBaseAlone() {
    PlantBase base;
    const std::string words = ReadFile(base.dir / "wrds.txt");
    const std::string files = ReadFile(base.dir / "fls.txt");
    FormUnderTest* form = base.Show();
    Search(*form, "plan");
    form->ListBox1->actions()[0]->trigger();
    std::vector<std::string> before;
    for (const auto& entry : std::filesystem::directory_iterator(base.dir.path())) before.push_back(entry.path());
    for (int row = 0; row < 3; ++row) QVERIFY(PreviewOf(*form, row) != nullptr);
    std::vector<std::string> after;
    for (const auto& entry : std::filesystem::directory_iterator(base.dir.path())) after.push_back(entry.path());
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    QCOMPARE(after, before);
    QCOMPARE(ReadFile(base.dir / "wrds.txt"), words);
    QCOMPARE(ReadFile(base.dir / "fls.txt"), files);
  }
};

}  // namespace veskara::testing

QTEST_MAIN(veskara::testing::PreviewTest)
#include "app_preview_test.moc"
