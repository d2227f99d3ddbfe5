// The "Search text" page: the query with its button, the found words with
// their menu, the found files with their menu, "Open" and the preview of a
// file's matches, and the "Directory to scan" row with "Add to base".
#pragma once

#include <QByteArray>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/form_page.h"
#include "search/search.h"

class QAction;
class QKeySequence;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace veskara {

class DirectoryEdit;
class FormContext;
class LiveSearch;
class ScanProgress;
class StatusPanels;

class SearchPage : public FormPage {
  Q_OBJECT
 public:
  // All three must outlive the page: the search writes the message panel,
  // "Add to base" starts the scan.
  SearchPage(FormContext& context, StatusPanels& status, ScanProgress& scan, QWidget* parent = nullptr);

  QString Title() const override { return "Search text"; }
  void FitTexts(LayoutScale& scale) const override;
  void Place(const LayoutScale& scale, int grow) override;

  // "Add to base" is disabled while any scan runs.
  void ScanStarted() override;
  void ScanEnded() override;

  // Puts the keyboard focus in the query, its text selected.
  void FocusQuery();

  // Search as you type: on, every change of the query starts a search once
  // the typing pauses (about 150 ms), on a thread of its own over the words
  // held in memory, cancelling the one before; "Search" and Enter start one
  // at once. The notices that would open a dialog go to the status bar
  // instead, so that typing is never interrupted. Off: the written search.
  void SetSearchAsYouType(bool on);
  bool SearchAsYouType() const { return live_ != nullptr; }

  // One number list per row of the found words (Windows-1251 bytes).
  const std::vector<std::string>& FoundNumberLists() const { return found_number_lists_; }
  // The text of the selected found file, or kNothingSelected.
  QString GetSelectedFile() const;

 signals:
  // A search has reached its display step: `typed` is the query as typed
  // (UTF-8), and the Files page lists its files.
  void searchShown(const QString& typed, const veskara::SearchOptions& options);
  // A search as you type was shown (or failed, in the status bar).
  void liveSearchShown();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A label above its field, and the button to the field's right.
  struct Row {
    QLabel* label;
    QWidget* field;
    QPushButton* button;  // none beside the found words
    int top;              // the label's, at design size
    int field_height;
  };

  QAction* AddMenuAction(QListWidget* list, const QString& text, const QList<QKeySequence>& keys,
                         void (SearchPage::*handler)(), bool page_wide);
  void AddFoundWordsMenu();
  void AddFoundFilesMenu();
  bool ShowCutOffPath(QEvent* event);

  void btnGOClick();
  void StartLiveSearch();
  // The display step of a search that found its entries: replaces the found
  // words and their number lists.
  // Shows the found words; their files are looked up in `base`.
  void ShowEntries(SearchOutcome& outcome, std::optional<BaseSnapshot> base, std::string query,
                   const SearchOptions& options, const QString& typed);
  void ListBox1Click();
  void ShowFilesOfAllFoundWords();
  void btnOpenClick();
  void ShowMatches();
  void OpenContainingFolder();
  void CopyPath();
  void btnScanClick();

  // Fills the found files with `paths` and selects the first.
  void FillFoundFiles(const std::vector<std::string>& paths);
  // The bytes of the selected found file's path, empty without a selection.
  QByteArray SelectedPathBytes() const;

  FormContext& context_;
  StatusPanels& status_;
  ScanProgress& scan_;
  QLineEdit* query_;          // Edit1
  QPushButton* search_;       // btnGO
  QListWidget* found_words_;  // ListBox1
  QListWidget* found_files_;  // ListBox2
  QPushButton* open_;         // btnOpen
  DirectoryEdit* directory_;  // DirEdit
  QPushButton* add_to_base_;  // btnScan
  std::array<Row, 4> rows_;
  std::vector<std::string> found_number_lists_;
  // The query (Windows-1251) and options of the search the lists show: a
  // preview marks the words of that search, whatever the field holds now.
  std::string shown_query_;
  SearchOptions shown_options_;
  // The base that search read: the found files come from its fls.txt, so
  // that a scan committing meanwhile cannot pair its paths with these words.
  std::optional<BaseSnapshot> shown_base_;
  bool press_changed_selection_ = false;
  LiveSearch* live_ = nullptr;  // while searching as you type
  QTimer* typing_pause_;
  QString live_typed_;  // the query text of the last live search asked for
};

}  // namespace veskara
