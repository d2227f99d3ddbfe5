// "Add to base" from the window: the button, the status texts, the counts,
// failures, and closing during a scan.
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "app_test_util.h"
#include "base/base.h"
#include "fault_env.h"
#include "indexer/discovery.h"
#include "indexer/scan.h"
#include "platform/durable.h"
#include "platform/text_file.h"

namespace veskara::testing {

namespace {

using PanelWrite = std::pair<int, QString>;

// A small tree of markup pages under dir/docs.
void WriteTree(const TempDir& dir, int pages) {
  for (int i = 0; i < pages; ++i) {
    WriteFile(dir / ("docs/sub/page" + std::to_string(i) + ".htm"), "<p>Hello again " + std::to_string(i) + "</p>");
  }
  WriteFile(dir / "docs/a.htm", "<html><b>Hello</b> World</html>");
}

}  // namespace

class ScanTest : public QObject {
  Q_OBJECT

 private slots:
  void blankDirectoryDoesNothing() {
    TempDir dir;
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    QSignalSpy writes(form->StatusBar, &StatusPanels::panelTextChanged);
    form->DirEdit->setText(" \t ");
    QTest::mouseClick(form->btnScan, Qt::LeftButton);
    QVERIFY(!form->Scanning());
    QVERIFY(form->btnScan->isEnabled());
    QCOMPARE(writes.count(), 0);
    QVERIFY(!FileExists(dir / "wrds.txt", Env::Default()));
  }

  void addToBaseShowsItsStepsAndRefreshesTheCounts() {
    TempDir dir;
    WriteTree(dir, 2);
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    QCOMPARE(form->LabFilesCount->text(), QString());
    std::vector<PanelWrite> writes;
    connect(form->StatusBar, &StatusPanels::panelTextChanged, this,
            [&](int panel, const QString& text) { writes.emplace_back(panel, text); });

    QStringList progress;
    connect(form->ScanProgress, &QProgressBar::valueChanged, this,
            [&] { progress.append(form->ScanProgress->format()); });

    PressAddToBase(*form, dir / "docs");
    QVERIFY(!form->btnScan->isEnabled());  // for the whole scan
    QVERIFY(form->Scanning());
    QVERIFY(WaitForScan(*form));
    QVERIFY(form->btnScan->isEnabled());
    QVERIFY(desktop.messages.empty());

    // One "Getting files list..." per folder entered: docs and docs/sub.
    const std::vector<PanelWrite> expected{{0, "Step 1 of 4"},
                                           {1, "Getting files list..."},
                                           {1, "Getting files list..."},
                                           {1, ""},
                                           {0, "Step 2 of 4"},
                                           {1, "Files processing..."},
                                           {0, "Step 3 of 4"},
                                           {1, "Sorting..."},
                                           {0, "Step 4 of 4"},
                                           {1, "Writing..."},
                                           {0, ""},
                                           {1, "Done!..."}};
    QCOMPARE(writes, expected);
    QCOMPARE(form->PanelText(0), QString());
    QCOMPARE(form->PanelText(1), QString("Done!..."));
    QVERIFY(form->ScanProgress->isHidden());
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last(), QString("3 of 3"));
    QCOMPARE(form->ScanProgress->value(), 1000);
    QCOMPARE(form->LabFilesCount->text(), QString("3 files in the base"));
    // HELLO, WORLD, AGAIN: one-character runs are no words.
    QCOMPARE(form->LabWordsCount->text(), QString("3 words in the base"));

    form->Edit1->setText("hel");
    QTest::mouseClick(form->btnGO, Qt::LeftButton);
    QCOMPARE(Rows(form->ListBox1), QStringList{"HELLO"});
    ClickRow(form->ListBox1, 0);
    QCOMPARE(form->ListBox2->count(), 3);
    QCOMPARE(form->ListBox2->item(0)->text(), QString::fromStdString(dir / "docs/a.htm"));

    // The same tree again, by Enter in the folder field, adds no file.
    const std::string files_before = ReadFile(dir / "fls.txt");
    form->DirEdit->setFocus();
    QTest::keyClick(form->DirEdit, Qt::Key_Return);
    QVERIFY(form->Scanning());
    QVERIFY(WaitForScan(*form));
    QCOMPARE(ReadFile(dir / "fls.txt"), files_before);
    QCOMPARE(form->LabFilesCount->text(), QString("3 files in the base"));
  }

  // A document that could not be read is counted in the message panel's
  // tooltip, the written texts unchanged; a folder that cannot be added is
  // a failure, and nothing is written.
  void unreadDocumentsAndMissingFoldersAreReported() {
    TempDir dir;
    WriteTree(dir, 1);
    WriteFile(dir / "docs/broken.pdf", "%PDF-1.4 and nothing more");
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    auto* message_panel = Named<QLabel>(*form->window, "StatusPanel1");
    QVERIFY(AddToBase(*form, dir / "docs"));
    QCOMPARE(form->PanelText(1), QString("Done!..."));
    QCOMPARE(message_panel->toolTip(), QString::fromStdString("1 file could not be read:\n" + dir / "docs/broken.pdf") +
                                           " \u2014 not a PDF document, or damaged beyond repair");

    const std::string files = ReadFile(dir / "fls.txt");
    PressAddToBase(*form, dir / "gone");
    QVERIFY(!form->Scanning());
    QVERIFY(form->btnScan->isEnabled());
    QCOMPARE(desktop.messages.size(), size_t{1});
    QCOMPARE(desktop.messages[0].kind, MessageKind::kErrorReport);
    QCOMPARE(desktop.messages[0].text,
             QString::fromStdString("The folder " + dir / "gone" + " does not exist; nothing was added."));
    QCOMPARE(ReadFile(dir / "fls.txt"), files);
  }

  void aSecondScanOfTheBaseIsRefused() {
    TempDir dir;
    WriteTree(dir, 1);
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    BaseState other_state;
    std::unique_ptr<Scan> other =
        Scan::Prepare(dir.path(), *FolderToScan(dir / "docs", Env::Default()), other_state, Env::Default());

    PressAddToBase(*form, dir / "docs");
    QVERIFY(!form->Scanning());
    QVERIFY(form->btnScan->isEnabled());
    QCOMPARE(desktop.messages.size(), size_t{1});
    QCOMPARE(desktop.messages[0].kind, MessageKind::kErrorReport);
    QCOMPARE(desktop.messages[0].caption, QString("Veskara"));
    QVERIFY(!desktop.messages[0].text.isEmpty());
    QVERIFY(!FileExists(dir / "wrds.txt", Env::Default()));
  }

  void aBaseThatDoesNotLoadEnablesTheButtonAgain() {
    TempDir dir;
    WriteTree(dir, 1);
    WriteBase(dir, {"A", "0"}, {"/x.htm", "abc"});
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    PressAddToBase(*form, dir / "docs");
    QVERIFY(!form->Scanning());
    QVERIFY(form->btnScan->isEnabled());
    QCOMPARE(desktop.messages.size(), size_t{1});
    QCOMPARE(desktop.messages[0].kind, MessageKind::kErrorReport);
    QCOMPARE(desktop.messages[0].text, QString("'abc' is not a valid integer value."));
  }

  void aFailureInTheWorkerIsReportedAndKeepsTheOldBase() {
    TempDir dir;
    WriteTree(dir, 1);
    WriteBase(dir, {"OLD", "0"}, {"/old.htm", "0"});
    const std::string words = ReadFile(dir / "wrds.txt");
    const std::string files = ReadFile(dir / "fls.txt");
    RecordingDesktop desktop;
    FaultInjectionEnv env;
    auto form = ShowForm(desktop, dir.path(), env);
    env.FailAll(EnvOp::kSync, "", ENOSPC);
    QVERIFY(AddToBase(*form, dir / "docs"));
    QVERIFY(form->btnScan->isEnabled());
    QCOMPARE(desktop.messages.size(), size_t{1});
    QCOMPARE(desktop.messages[0].kind, MessageKind::kErrorReport);
    QCOMPARE(desktop.messages[0].text, QString("Disk full."));
    QCOMPARE(ReadFile(dir / "wrds.txt"), words);
    QCOMPARE(ReadFile(dir / "fls.txt"), files);
    QCOMPARE(form->PanelText(0), QString());
    QCOMPARE(form->LabFilesCount->text(), QString("1 files in the base"));
  }

  void aFailureWhileShowingProgressEndsTheScanWithAReport() {
    TempDir dir;
    WriteTree(dir, 1);
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    connect(form->StatusBar, &StatusPanels::panelTextChanged, this, [](int, const QString& text) {
      if (text == "Sorting...") throw std::runtime_error("No room for the status");
    });
    QVERIFY(AddToBase(*form, dir / "docs"));
    QVERIFY(form->btnScan->isEnabled());
    QCOMPARE(desktop.messages.size(), size_t{1});
    QCOMPARE(desktop.messages[0].kind, MessageKind::kErrorReport);
    QCOMPARE(desktop.messages[0].text, QString("No room for the status."));
    QVERIFY(!FileExists(dir / "wrds.txt", Env::Default()));
  }

  void closingDuringAScanStopsItAndKeepsTheOldBase() {
    TempDir dir;
    WriteTree(dir, 20);
    WriteBase(dir, {"OLD", "0"}, {"/old.htm", "0"});
    const std::string words = ReadFile(dir / "wrds.txt");
    const std::string files = ReadFile(dir / "fls.txt");
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    PressAddToBase(*form, dir / "docs");
    // The worker waits for the window to show "Step 1 of 4"; the stop
    // request must release it, or the close would never end.
    QVERIFY(!form->window->close());
    QVERIFY(WaitForScan(*form));
    QTRY_VERIFY(!form->window->isVisible());
    QVERIFY(desktop.messages.empty());
    QCOMPARE(ReadFile(dir / "wrds.txt"), words);
    QCOMPARE(ReadFile(dir / "fls.txt"), files);
  }

  void closingDuringTheWalkStopsIt() {
    // Each level links twice to the next: a walk of 2^40 folders, which
    // would never end if the stop waited for step 2's first file.
    TempDir dir;
    const int levels = 40;
    for (int i = 0; i < levels; ++i) {
      const std::string level = dir / ("docs/l" + std::to_string(i));
      std::filesystem::create_directories(level);
      for (const char* name : {"a", "b"}) {
        std::filesystem::create_directory_symlink(dir / ("docs/l" + std::to_string(i + 1)), level + "/" + name);
      }
    }
    std::filesystem::create_directories(dir / ("docs/l" + std::to_string(levels)));
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    PressAddToBase(*form, dir / "docs/l0");
    QVERIFY(!form->window->close());
    QVERIFY(WaitForScan(*form));
    QTRY_VERIFY(!form->window->isVisible());
    QVERIFY(!FileExists(dir / "wrds.txt", Env::Default()));
    QVERIFY(desktop.messages.empty());
  }

  void destroyingTheWindowDuringAScanDoesNotHang() {
    TempDir dir;
    WriteTree(dir, 5);
    RecordingDesktop desktop;
    auto form = ShowForm(desktop, dir.path());
    PressAddToBase(*form, dir / "docs");
    form.reset();
    // The lock went with the worker: a new scan of the base may start.
    BaseState state;
    QVERIFY(Scan::Prepare(dir.path(), *FolderToScan(dir / "docs", Env::Default()), state, Env::Default()) != nullptr);
  }
};

}  // namespace veskara::testing

QTEST_MAIN(veskara::testing::ScanTest)
#include "app_scan_test.moc"
