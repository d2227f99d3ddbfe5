// The rows of the Files page: the files of a search (ResultFiles) as a table
// of Name, Folder, Kind, Modified, Size and Line, filtered and sorted by the
// core. A file is stat'ed when its row is first shown; a sort or a filter by
// date or size stats every file once, and the first matching lines are read
// for the rows in view only; both off the window's thread (FilesWorker),
// cached for the list.
#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <string>
#include <vector>

#include "results/result_files.h"
#include "search/search.h"

namespace veskara {

class FilesWorker;

class FilesModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kName, kFolder, kKind, kModified, kSize, kLine, kColumnCount };
  // The data of every cell under this role: the file's path, as bytes.
  static constexpr int kPathRole = Qt::UserRole;

  // `env` must outlive the model.
  FilesModel(Env& env, QObject* parent = nullptr);
  ~FilesModel() override;

  // A new list: `paths` as find lists them, for `query` (Windows-1251, what
  // the lines hold) with `options`. Sorted as it was, filtered by the
  // filter set last.
  void SetFiles(std::vector<std::string> paths, const KindChoice& kinds, std::string query, SearchOptions options,
                std::string base_directory);
  void SetFilter(FileFilter filter);
  const FileFilter& filter() const { return filter_; }

  // How many files the list holds, before the filter.
  size_t total() const { return files_.size(); }
  QByteArray PathOf(int row) const;

  // The rows from `first` to `last` are in view: their lines are read, the
  // rows before them first; the lines still waiting for rows out of view are
  // dropped.
  void SetRowsInView(int first, int last);

  // True while dates and sizes are being read for a sort or a filter.
  bool ReadingFacts() const { return reading_facts_; }
  // What statusChanged said last.
  const QString& StatusText() const { return status_text_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // By the column's key; a sort by Modified or Size first stats every file,
  // a sort by Line first reads every listed file's line.
  void sort(int column, Qt::SortOrder order) override;

 signals:
  // What the status bar says of the list: "12 files", "5 of 12 files", or
  // what is being read.
  void statusChanged(const QString& text);
  // Every line asked for has come (see SetRowsInView).
  void linesInViewRead();
  // The rows are in their order and filtered as asked.
  void rowsReady();

 private:
  void Refilter();
  void Resort();
  // view_row_of_ from rows_.
  void MapRows();
  void ApplyFacts(std::vector<std::pair<uint32_t, FileFacts>> facts);
  void ApplyLine(uint32_t index, FirstLine line);
  // Asks the worker for every fact still missing; true when none is.
  bool EnsureFacts();
  QString CountText() const;
  void SetStatus(const QString& text);

  Env& env_;
  ResultFiles files_;             // mutable in effect: a shown row is stat'ed when first shown
  std::vector<uint32_t> rows_;    // the rows shown, as indices into files_
  std::vector<int> view_row_of_;  // files_ index -> shown row, -1 when filtered out
  FileFilter filter_;
  FileSortKey sort_key_ = FileSortKey::kBase;
  bool reverse_ = false;
  bool reading_facts_ = false;
  bool reading_lines_for_sort_ = false;
  QString status_text_;
  FilesWorker* worker_;
};

}  // namespace veskara
