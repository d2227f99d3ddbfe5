// The "Files" page: the files of every entry of the current search, as find
// lists them (words written -WORD leave files out), in a table of Name,
// Folder, Kind, Modified, Size and Line (the first line that holds a
// searched word); sorted by any column, filtered by a part of the path, a
// kind and the time of the last change. Enter or a double-click opens a
// file, F3 previews it, its menu opens its folder or copies its path, as on
// the search page. Everything it shows is computed by the core.
#pragma once

#include <QString>
#include <array>
#include <string>

#include "app/form_page.h"
#include "search/search.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;

namespace veskara {

class FilesModel;
class FormContext;
class StatusPanels;

class FilesPage : public FormPage {
  Q_OBJECT
 public:
  // Both must outlive the page.
  FilesPage(FormContext& context, StatusPanels& status, QWidget* parent = nullptr);

  QString Title() const override { return "Files"; }
  void FitTexts(LayoutScale& scale) const override;
  void Place(const LayoutScale& scale, int grow) override;
  // The base has changed: the list is read again when next shown.
  void ScanEnded() override;

  // The search page has shown a search of `typed` (UTF-8): its files are
  // listed now when the page is shown, else when it next is.
  void ShowSearch(const QString& typed, const SearchOptions& options);

  FilesModel& model() const { return *model_; }

 signals:
  // The files of a search have been listed (or why not, in the status bar).
  void listRead();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Row {
    QLabel* label;
    QWidget* field;
    int left, top, width;  // the field's, at design size; the label stands above it
    bool stretches;        // widens with the window; else keeps its distance from the right edge
  };

  void ReadList();
  void ApplyFilter();
  void AskForLinesInView();
  void AddTableActions();
  QByteArray SelectedPath() const;
  void SetStatus(const QString& text);

  void OpenClick();
  void PreviewClick();
  void OpenFolderClick();
  void CopyPathClick();

  FormContext& context_;
  StatusPanels& status_;
  QLineEdit* path_text_;
  QComboBox* kind_;
  QComboBox* modified_;
  QDateEdit* from_;
  QDateEdit* to_;
  QTableView* table_;
  FilesModel* model_;
  QTimer* view_moved_;
  std::array<Row, 3> rows_;
  // The search whose files are wanted, and whether they are listed yet.
  QString typed_;
  SearchOptions options_;
  std::string searched_;  // Windows-1251: the words the lines and the preview hold
  bool stale_ = false;
};

}  // namespace veskara
