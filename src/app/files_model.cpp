#include "app/files_model.h"

#include <QFile>
#include <algorithm>
#include <utility>

#include "app/files_worker.h"
#include "platform/paths.h"

namespace veskara {

namespace {

FileSortKey KeyOf(int column) {
  switch (column) {
    case FilesModel::kName:
      return FileSortKey::kName;
    case FilesModel::kFolder:
      return FileSortKey::kFolder;
    case FilesModel::kKind:
      return FileSortKey::kKind;
    case FilesModel::kModified:
      return FileSortKey::kModified;
    case FilesModel::kSize:
      return FileSortKey::kSize;
    case FilesModel::kLine:
      return FileSortKey::kLine;
    default:
      return FileSortKey::kBase;
  }
}

bool NeedsFacts(FileSortKey key) { return key == FileSortKey::kModified || key == FileSortKey::kSize; }

QString Decoded(std::string_view bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace

FilesModel::FilesModel(Env& env, QObject* parent) : QAbstractTableModel(parent), env_(env) {
  worker_ = new FilesWorker(
      env,
      {.facts_progress =
           [this](size_t done, size_t total) {
             SetStatus(QString("Reading the dates and sizes of %1 files: %2 done...").arg(total).arg(done));
           },
       .facts = [this](std::vector<std::pair<uint32_t, FileFacts>> facts) { ApplyFacts(std::move(facts)); },
       .line = [this](uint32_t index, FirstLine line) { ApplyLine(index, std::move(line)); }},
      this);
  connect(worker_, &FilesWorker::linesDone, this, [this] {
    if (!reading_lines_for_sort_) emit linesInViewRead();
  });
}

FilesModel::~FilesModel() = default;

void FilesModel::SetFiles(std::vector<std::string> paths, const KindChoice& kinds, std::string query,
                          SearchOptions options, std::string base_directory) {
  beginResetModel();
  files_ = ResultFiles(std::move(paths), kinds);
  worker_->StartList(std::move(query), options, std::move(base_directory));
  reading_facts_ = false;
  reading_lines_for_sort_ = false;
  rows_.clear();
  view_row_of_.assign(files_.size(), -1);
  endResetModel();
  Refilter();
}

void FilesModel::SetFilter(FileFilter filter) {
  filter_ = std::move(filter);
  Refilter();
}

QByteArray FilesModel::PathOf(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return {};
  return QByteArray::fromStdString(files_.path(rows_[static_cast<size_t>(row)]));
}

bool FilesModel::EnsureFacts() {
  if (reading_facts_) return false;
  const std::vector<uint32_t> missing = files_.WithoutFacts();
  if (missing.empty()) return true;
  std::vector<FilesWorker::Row> rows;
  rows.reserve(missing.size());
  for (const uint32_t i : missing) rows.emplace_back(i, files_.path(i));
  reading_facts_ = true;
  SetStatus(QString("Reading the dates and sizes of %1 files...").arg(missing.size()));
  worker_->StatAll(std::move(rows));
  return false;
}

void FilesModel::Refilter() {
  // Rows whose facts are still to come are kept until they come.
  const bool facts_ready = !filter_.NeedsFacts() || EnsureFacts();
  beginResetModel();
  rows_ = files_.Filter(filter_, /*facts_pending=*/!facts_ready);
  MapRows();
  endResetModel();
  Resort();
}

void FilesModel::MapRows() {
  std::fill(view_row_of_.begin(), view_row_of_.end(), -1);
  for (size_t row = 0; row < rows_.size(); ++row) view_row_of_[rows_[row]] = static_cast<int>(row);
}

void FilesModel::Resort() {
  if (NeedsFacts(sort_key_) && !EnsureFacts()) return;
  emit layoutAboutToBeChanged();
  const QModelIndexList before = persistentIndexList();
  std::vector<uint32_t> index_of;
  for (const QModelIndex& index : before) index_of.push_back(rows_[static_cast<size_t>(index.row())]);
  files_.Sort(sort_key_, reverse_, rows_);
  MapRows();
  QModelIndexList after;
  for (size_t i = 0; i < index_of.size(); ++i) after.append(index(view_row_of_[index_of[i]], before[i].column()));
  changePersistentIndexList(before, after);
  emit layoutChanged();
  if (!reading_facts_ && !reading_lines_for_sort_) {
    SetStatus(CountText());
    emit rowsReady();
  }
}

void FilesModel::ApplyFacts(std::vector<std::pair<uint32_t, FileFacts>> facts) {
  for (const auto& [index, fact] : facts) {
    if (!files_.facts(index)) files_.SetFacts(index, fact);
  }
  reading_facts_ = false;
  if (!rows_.empty()) emit dataChanged(index(0, kModified), index(rowCount() - 1, kSize));
  if (filter_.NeedsFacts()) {
    Refilter();
  } else {
    Resort();
  }
}

void FilesModel::ApplyLine(uint32_t file, FirstLine line) {
  files_.SetLine(file, std::move(line));
  const int row = view_row_of_[file];
  if (row >= 0) emit dataChanged(index(row, kLine), index(row, kLine));
  if (reading_lines_for_sort_ &&
      std::all_of(rows_.begin(), rows_.end(), [&](uint32_t i) { return files_.line(i).has_value(); })) {
    reading_lines_for_sort_ = false;
    Resort();
    emit linesInViewRead();
  }
}

void FilesModel::SetRowsInView(int first, int last) {
  // A sort by line reads every row's line: the view waits for it.
  if (reading_lines_for_sort_) return;
  std::vector<FilesWorker::Row> wanted;
  first = std::max(first, 0);
  last = std::min(last, rowCount() - 1);
  for (int row = first; row <= last; ++row) {
    const uint32_t file = rows_[static_cast<size_t>(row)];
    if (!files_.line(file)) wanted.emplace_back(file, files_.path(file));
  }
  if (wanted.empty()) {
    if (!worker_->ReadingLines()) emit linesInViewRead();
    return;
  }
  worker_->WantLines(std::move(wanted));
}

void FilesModel::SetStatus(const QString& text) {
  status_text_ = text;
  emit statusChanged(text);
}

QString FilesModel::CountText() const {
  const size_t shown = rows_.size();
  const QString files = files_.size() == 1 ? "file" : "files";
  if (shown == files_.size()) return QString("%1 %2").arg(shown).arg(files);
  return QString("%1 of %2 %3").arg(shown).arg(files_.size()).arg(files);
}

int FilesModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FilesModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant FilesModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || static_cast<size_t>(index.row()) >= rows_.size()) return {};
  const uint32_t file = rows_[static_cast<size_t>(index.row())];
  if (role == kPathRole) return QByteArray::fromStdString(files_.path(file));
  const int column = index.column();
  if (role == Qt::TextAlignmentRole) {
    return column == kSize ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  if ((column == kModified || column == kSize) && !files_.facts(file)) {
    // While every file is being stat'ed the row waits for its turn: each
    // file costs one Stat.
    if (reading_facts_) return QString();
    // Stat'ed when first shown: the rows out of view cost nothing.
    auto& files = const_cast<ResultFiles&>(files_);
    files.SetFacts(file, FactsOf(files_.path(file), env_));
  }
  switch (column) {
    case kName:
      return role == Qt::ToolTipRole ? Decoded(files_.path(file)) : Decoded(files_.name(file));
    case kFolder:
      return Decoded(files_.folder(file));
    case kKind:
      return QString::fromStdString(KindsText(files_.kinds(file)));
    case kModified: {
      const FileFacts& facts = *files_.facts(file);
      return facts.present ? QString::fromStdString(LocalMinuteText(facts.modified_ns)) : QString();
    }
    case kSize: {
      const FileFacts& facts = *files_.facts(file);
      if (!facts.present) return QString();
      return role == Qt::ToolTipRole ? QString("%1 bytes").arg(facts.size)
                                     : QString::fromStdString(SizeText(facts.size));
    }
    case kLine: {
      const std::optional<FirstLine>& line = files_.line(file);
      if (!line) return QString();
      if (line->status == FirstLine::Status::kUnreadable) {
        return role == Qt::ToolTipRole ? "Can't read this file: " + QString::fromStdString(line->reason) : QString();
      }
      return QString::fromStdString(line->Shown());
    }
    default:
      return {};
  }
}

QVariant FilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kTitles[] = {"Name", "Folder", "Kind", "Modified", "Size", "Line"};
  return section >= 0 && section < kColumnCount ? QString(kTitles[section]) : QVariant();
}

void FilesModel::sort(int column, Qt::SortOrder order) {
  sort_key_ = KeyOf(column);
  reverse_ = order == Qt::DescendingOrder;
  if (sort_key_ == FileSortKey::kLine) {
    std::vector<FilesWorker::Row> missing;
    for (const uint32_t file : rows_) {
      if (!files_.line(file)) missing.emplace_back(file, files_.path(file));
    }
    if (!missing.empty()) {
      reading_lines_for_sort_ = true;
      SetStatus(QString("Reading %1 files for their first matching lines...").arg(missing.size()));
      worker_->WantLines(std::move(missing));
      return;
    }
  }
  Resort();
}

}  // namespace veskara
