// The main window: search, found words and files, "Add to base", the About
// page with the base counts, and the two-panel status bar.
//
// Handlers may throw; the connections run them through Guarded(), which
// shows an escaping failure in the general error report and lets the window
// go on, so no exception ever unwinds through Qt's event loop.
#pragma once

#include <QMainWindow>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "search/messages.h"

class QLabel;
class QListWidget;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QWidget;

namespace veskara {

class Desktop;
class DirectoryEdit;
class EtchedLine;
class LinkLabel;
class TSeaThread;
struct BaseState;

// The addresses behind the About page's links.
inline constexpr const char* kWebPageAddress = "https://www.example.org/veskara/";
inline constexpr const char* kMailAddress = "veskara@example.org";

class TmForm : public QMainWindow {
  Q_OBJECT
 public:
  // `desktop` must outlive the window. `base_directory` gives BaseDirectory
  // when the window is first shown; by default the executable's folder.
  explicit TmForm(Desktop& desktop, std::function<std::string()> base_directory = {});
  ~TmForm() override;

  // The controls, under the names the window is designed with.
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
  QStatusBar* StatusBar;
  LinkLabel* Label7;
  QLabel* Label5;
  QLabel* Label8;
  LinkLabel* Label9;
  EtchedLine* Bevel1;
  QLabel* LabFilesCount;
  QLabel* LabWordsCount;
  QProgressBar* ScanProgress;  // beside the panels while step 2 runs

  QString PanelText(int panel) const;
  const std::string& BaseDirectory() const { return base_directory_; }
  // One number list per row of ListBox1 (Windows-1251 bytes).
  const std::vector<std::string>& FoundNumberLists() const { return found_number_lists_; }
  bool Scanning() const { return scan_thread_ != nullptr; }

  // The text of the selected row of ListBox2, or kNothingSelected.
  QString GetSelectedFile() const;

  // The handlers. Each may throw; see Guarded().
  void FormShow();
  void FormClose();
  void ShowBaseStatistics();
  void btnGOClick();
  void ListBox1Click();
  void btnOpenClick();
  void btnScanClick();
  void Label7Click();
  void Label9Click();
  void OpenContainingFolder();
  void CopyPath();

 signals:
  // A status panel got a new text (also when it is the same text).
  void panelTextChanged(int panel, const QString& text);
  // A scan has ended and the window has taken its result.
  void scanFinished();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildSearchPage();
  void BuildAboutPage();
  void BuildStatusBar();
  void ConnectHandlers();
  void PlaceControls();

  void SetPanelText(int panel, const QString& text);
  void Show(const UserMessage& message);
  void ShowErrorReport(const std::string& message);
  // Runs a handler; a failure that escapes it goes to the general error report.
  void Guarded(const std::function<void()>& handler);
  // Opens a local path through the desktop; false when the path names
  // nothing or the desktop refuses.
  // The bytes of the selected found file's path, empty without a selection.
  QByteArray SelectedPathBytes() const;
  bool OpenLocalPath(const std::filesystem::path& path);
  void ScanFinished();

  Desktop& desktop_;
  std::function<std::string()> base_directory_source_;
  std::string base_directory_;
  bool shown_ = false;
  std::vector<std::string> found_number_lists_;
  std::unique_ptr<BaseState> base_state_;
  std::unique_ptr<TSeaThread> scan_thread_;
  bool close_after_scan_ = false;
  QLabel* panels_[2];
  bool press_changed_selection_ = false;
};

}  // namespace veskara
