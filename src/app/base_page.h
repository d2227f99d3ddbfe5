// The "Base" page: where the base lives, the folders it remembers with
// "Update", "Remove" and "Add folder…", what the last scan did, the files
// that could not be read, and the groups of kinds the base reads beyond
// pages and PDF documents. Its changes run on the window's scan worker like
// "Add to base".
#pragma once

#include <QString>
#include <array>
#include <string>
#include <vector>

#include "app/form_page.h"
#include "app/widgets.h"
#include "base/kind_choice.h"
#include "base/scan_summary.h"
#include "search/remembered_lists.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace veskara {

class FormContext;
class ScanProgress;

class BasePage : public FormPage {
  Q_OBJECT
 public:
  // Both must outlive the page.
  BasePage(FormContext& context, ScanProgress& scan, QWidget* parent = nullptr);

  QString Title() const override { return "Base"; }
  void FitTexts(LayoutScale& scale) const override;
  void Place(const LayoutScale& scale, int grow) override;

  // Update, Remove, Add folder… and the kinds' boxes are disabled while any
  // scan runs; Update also while the base has no files, Remove while no
  // folder is selected.
  void ScanStarted() override;
  // Shows the summary of the scan when it ran to its end, and the base.
  void ScanEnded() override;

  // Reads the base folder's remembered folders, unread files and kinds
  // again; the selected folders stay selected. Throws as ListFolders,
  // ListUnread and LoadKindChoice.
  void ShowBase();

  // Shows what a scan did on the summary line, with its offline folders.
  void ShowSummary(const ScanSummary& summary);

  // TmForm binds these to the search's options (matching Ё as Е, searching
  // as the query is typed) and to keeping the base current.
 public slots:
  // Sets the "Ё = Е" box without emitting foldYoToggled.
  void SetFoldYo(bool on);
  // Sets the "Search as you type" box without emitting searchAsYouTypeToggled.
  void SetSearchAsYouType(bool on);
  // Sets the "Keep the base current" box without emitting keepCurrentToggled.
  void SetKeepCurrent(bool on);

 signals:
  // The user checked or cleared "Ё = Е".
  void foldYoToggled(bool on);
  // The user checked or cleared "Keep the base current while Veskara runs".
  void keepCurrentToggled(bool on);
  // The user checked or cleared "Search as you type".
  void searchAsYouTypeToggled(bool on);

 private:
  // A label above its control.
  struct Row {
    QLabel* label;
    QWidget* field;
    int top;  // the label's, at design size
    int field_height;
  };

  void AddTableKeys();

  // The selected folders as the table shows them, in its order.
  std::vector<FolderRow> SelectedFolders() const;
  void SelectFolders(const std::vector<FolderRow>& folders);
  void EnableButtons();

  void OpenBaseFolder();
  void UpdateClick();
  void RemoveClick();
  void AddFolderClick();
  void OpenUnreadClick();
  // Checks the kinds' boxes as the base's kinds.txt says.
  void ShowKinds();
  // A kind's box was checked or cleared: the base reads what the boxes say
  // from now on, through one update.
  void KindsClick();

  FormContext& context_;
  ScanProgress& scan_;
  QLineEdit* base_folder_;
  QPushButton* open_base_;
  QStandardItemModel* folders_;
  QSortFilterProxyModel* sorted_folders_;
  QTableView* folder_table_;
  QPushButton* update_;
  QPushButton* remove_;
  QPushButton* add_folder_;
  QLabel* summary_;
  QStandardItemModel* unread_;
  QTableView* unread_table_;
  QPushButton* open_unread_;
  QCheckBox* fold_yo_;
  QCheckBox* keep_current_;
  QCheckBox* as_you_type_;
  std::array<QCheckBox*, kKindGroupCount> kinds_;  // in the order of kKindGroups
  std::array<Row, 3> rows_;
  FolderPicker picker_;
  bool has_files_ = false;  // the base's fls.txt exists
};

}  // namespace veskara
