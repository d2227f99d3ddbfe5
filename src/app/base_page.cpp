#include "app/base_page.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>
#include <optional>
#include <utility>

#include "app/desktop.h"
#include "app/form_context.h"
#include "app/scan_progress.h"
#include "app/widgets.h"
#include "base/base_files.h"
#include "base/messages.h"
#include "base/remembered.h"
#include "extract/document_kind.h"
#include "indexer/discovery.h"
#include "indexer/scan.h"
#include "platform/paths.h"
#include "platform/text_file.h"

namespace veskara {

namespace {

// Page coordinates at design size, as on the search page: labels and fields
// start at the left, a field's label stands above it, buttons stand at the
// right of their field, one under the other, and end where the search
// page's do; they are wider, for "Add folder…".
constexpr int kLeft = 16;
constexpr int kLabelToField = 16;
constexpr int kFieldWidth = 407;
constexpr int kButtonLeft = 438;
constexpr int kButtonStep = 30;
constexpr QSize kButtonSize(81, 22);
// The summary has the whole width, buttons' column included.
constexpr QRect kSummary(kLeft, 216, kButtonLeft + kButtonSize.width() - kLeft, 16);
constexpr QRect kFoldYo(kLeft, 372, 120, 20);
// Above "Ё = Е", left of the kinds' boxes.
constexpr QRect kAsYouType(kLeft, 350, 142, 20);
// The kinds' boxes: two by two beside "Ё = Е", in the order of kKindGroups.
constexpr QRect kKinds[kKindGroupCount] = {QRect(164, 350, 158, 20), QRect(330, 350, 189, 20), QRect(164, 372, 158, 20),
                                           QRect(330, 372, 189, 20)};
// Under them all, the whole width.
constexpr QRect kKeepCurrent(kLeft, 394, kButtonLeft + kButtonSize.width() - kLeft, 20);
constexpr int kReasonWidth = 180;

// A row keeps its path's bytes: a name that is not valid UTF-8 would not
// survive the trip through the shown text. Each cell keeps what its column
// sorts by (numbers as numbers, times as times).
constexpr int kPathRole = Qt::UserRole;
constexpr int kSortRole = Qt::UserRole + 1;

constexpr const char* kSummaryCaption = "Last scan: ";

QPushButton* Button(const QString& text, QWidget* page, const char* name, const QString& tip) {
  auto* button = new QPushButton(text, page);
  button->setObjectName(name);
  // As on the search page: a click leaves the focus where it is, and the
  // keyboard presses the button by Alt and its underlined letter.
  button->setFocusPolicy(Qt::NoFocus);
  button->setAutoDefault(false);
  button->setToolTip(tip);
  return button;
}

// A path (the first column) cut in the middle still shows the name it ends
// with; other texts are cut at their end.
class PathFirstDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = index.column() == 0 ? Qt::ElideMiddle : Qt::ElideRight;
  }
};

// `view_model` shows `source`: the source itself or a proxy of it.
QTableView* Table(QWidget* page, const char* name, const QStringList& headers, QStandardItemModel* source,
                  QAbstractItemModel* view_model) {
  source->setHorizontalHeaderLabels(headers);
  auto* table = new QTableView(page);
  table->setObjectName(name);
  table->setModel(view_model);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setWordWrap(false);
  table->setItemDelegate(new PathFirstDelegate(table));
  // Tab leaves the table; the arrows move within it.
  table->setTabKeyNavigation(false);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setHighlightSections(false);
  table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  return table;
}

QStandardItem* Cell(const QString& text, const QVariant& sort_key) {
  auto* cell = new QStandardItem(text);
  cell->setData(sort_key, kSortRole);
  cell->setToolTip(text);
  return cell;
}

QString DecodedPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// "Remove /docs from the base?" and how many files leave with it.
QString RemoveQuestion(const std::vector<FolderRow>& folders) {
  const size_t files = FilesUnder(folders);
  const QString what =
      folders.size() == 1 ? DecodedPath(folders.front().path) : QString("%1 folders").arg(folders.size());
  const QString leave = files == 1 ? "1 file leaves" : QString("%1 files leave").arg(files);
  return QString("Remove %1 from the base?\n\n%2 the base; the files themselves stay on the disk.").arg(what, leave);
}

}  // namespace

BasePage::BasePage(FormContext& context, ScanProgress& scan, QWidget* parent)
    : FormPage(parent), context_(context), scan_(scan), picker_(context.desktop()) {
  setObjectName("TabSheetBase");
  QLabel* base_label = FittedLabel("Base folder:", this, "LabBaseFolder");
  base_folder_ = new QLineEdit(this);
  base_folder_->setObjectName("BaseFolderEdit");
  base_folder_->setReadOnly(true);
  open_base_ = Button("Open fol&der", this, "btnOpenBase", "Open the base folder in the file manager");
  open_base_->setAccessibleName("Open the base folder");

  QLabel* folders_label = FittedLabel("Remembered folders:", this, "LabFolders");
  folders_ = new QStandardItemModel(0, 3, this);
  sorted_folders_ = new QSortFilterProxyModel(this);
  sorted_folders_->setSourceModel(folders_);
  sorted_folders_->setSortRole(kSortRole);
  folder_table_ = Table(this, "FolderTable", {"Folder", "Files", "Last scanned"}, folders_, sorted_folders_);
  folder_table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  for (int column : {1, 2}) {
    folder_table_->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
  // The remembered order until the user sorts by a column; a third click on
  // a column's header brings it back.
  folder_table_->horizontalHeader()->setSortIndicatorClearable(true);
  folder_table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  folder_table_->setSortingEnabled(true);
  update_ = Button("&Update", this, "btnUpdate",
                   "Read again what changed in the selected folders, or in every folder when none is selected (F5)");
  remove_ = Button("&Remove", this, "btnRemove", "Remove the selected folders from the base (Delete)");
  add_folder_ = Button("Add &folder\u2026", this, "btnAddFolder", "Choose a folder and add it to the base");

  summary_ = new QLabel(this);
  summary_->setObjectName("LabSummary");

  QLabel* unread_label = FittedLabel("Files that could not be read:", this, "LabUnread");
  unread_ = new QStandardItemModel(0, 2, this);
  unread_table_ = Table(this, "UnreadTable", {"File", "Reason"}, unread_, unread_);
  unread_table_->setSelectionMode(QAbstractItemView::SingleSelection);
  open_unread_ = Button("Op&en", this, "btnOpenUnread", "Open the selected file (Enter)");
  open_unread_->setAccessibleName("Open the file");

  fold_yo_ = new QCheckBox("\u0401 = \u0415", this);
  fold_yo_->setObjectName("FoldYo");
  fold_yo_->setAccessibleName("Match \u0401 as \u0415");
  fold_yo_->setToolTip("\u0401 and \u0415 match each other in a search");
  keep_current_ = new QCheckBox("Keep the base current while Veskara runs", this);
  keep_current_->setObjectName("KeepCurrent");
  keep_current_->setAccessibleName(keep_current_->text());
  keep_current_->setToolTip(
      "Watch the remembered folders and update the base a moment after their files change, while this window is "
      "open");
  as_you_type_ = new QCheckBox("Search as you type", this);
  as_you_type_->setObjectName("SearchAsYouType");
  as_you_type_->setAccessibleName("Search as you type");
  as_you_type_->setToolTip("Search each time the text to search changes, without pressing Search");

  for (size_t i = 0; i < kKindGroupCount; ++i) {
    const KindGroup group = kKindGroups[i];
    kinds_[i] = new QCheckBox(QString::fromStdString(KindGroupTitle(group)), this);
    kinds_[i]->setObjectName(QString("Kind_") + QString::fromUtf8(KindGroupName(group)));
    kinds_[i]->setAccessibleName("Also read " + kinds_[i]->text().toLower());
    QStringList endings;
    for (std::string_view ending : EndingsOf(group)) endings.append(QString::fromUtf8(ending));
    kinds_[i]->setToolTip("Also read " + kinds_[i]->text().toLower() + ": " + endings.join(' ') +
                          " (the base is updated at once)");
  }

  rows_ = {Row{base_label, base_folder_, 16, 21}, Row{folders_label, folder_table_, 64, 129},
           Row{unread_label, unread_table_, 240, 85}};
  for (const Row& row : rows_) {
    row.label->setBuddy(row.field);
    row.field->setAccessibleName(row.label->text());
  }
  setTabOrder(base_folder_, folder_table_);
  setTabOrder(folder_table_, unread_table_);
  setTabOrder(unread_table_, fold_yo_);
  setTabOrder(fold_yo_, as_you_type_);
  QWidget* previous = as_you_type_;
  for (QCheckBox* box : kinds_) {
    setTabOrder(previous, box);
    previous = box;
  }
  setTabOrder(previous, keep_current_);
  AddTableKeys();

  connect(open_base_, &QPushButton::clicked, this, context_.Slot([this] { OpenBaseFolder(); }));
  connect(base_folder_, &QLineEdit::returnPressed, this, context_.Slot([this] { OpenBaseFolder(); }));
  connect(update_, &QPushButton::clicked, this, context_.Slot([this] { UpdateClick(); }));
  connect(remove_, &QPushButton::clicked, this, context_.Slot([this] { RemoveClick(); }));
  connect(add_folder_, &QPushButton::clicked, this, context_.Slot([this] { AddFolderClick(); }));
  connect(open_unread_, &QPushButton::clicked, this, context_.Slot([this] { OpenUnreadClick(); }));
  connect(unread_table_, &QTableView::doubleClicked, this, context_.Slot([this] { OpenUnreadClick(); }));
  connect(folder_table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &BasePage::EnableButtons);
  connect(fold_yo_, &QCheckBox::toggled, this, &BasePage::foldYoToggled);
  connect(keep_current_, &QCheckBox::toggled, this, &BasePage::keepCurrentToggled);
  connect(as_you_type_, &QCheckBox::toggled, this, &BasePage::searchAsYouTypeToggled);
  for (QCheckBox* box : kinds_) connect(box, &QCheckBox::clicked, this, context_.Slot([this] { KindsClick(); }));
  auto* refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
  refresh->setContext(Qt::WidgetWithChildrenShortcut);
  connect(refresh, &QShortcut::activated, this, context_.Slot([this] { UpdateClick(); }));
  EnableButtons();
}

void BasePage::AddTableKeys() {
  // Each table's own menu, with its keys working in the table.
  auto add_action = [this](QTableView* table, const QString& text, const QList<QKeySequence>& keys,
                           void (BasePage::*handler)()) {
    auto* action = new QAction(text, table);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WidgetShortcut);
    connect(action, &QAction::triggered, this, context_.Slot([this, handler] { (this->*handler)(); }));
    table->addAction(action);
  };
  const QList<QKeySequence> enter{QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)};
  add_action(folder_table_, "Update", enter, &BasePage::UpdateClick);
  add_action(folder_table_, "Remove", {QKeySequence(QKeySequence::Delete)}, &BasePage::RemoveClick);
  add_action(unread_table_, "Open", enter, &BasePage::OpenUnreadClick);
  for (QTableView* table : {folder_table_, unread_table_}) table->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void BasePage::FitTexts(LayoutScale& scale) const {
  for (const Row& row : rows_) scale.FitText(*row.label, row.label->text(), QSize(0, kLabelToField));
  for (const QPushButton* button : {open_base_, update_, remove_, add_folder_, open_unread_}) {
    scale.FitButton(*button, kButtonSize);
  }
  scale.FitLineEdit(*base_folder_, rows_[0].field_height);
  // Four-digit counts fit at any font.
  const QString widest =
      QString(kSummaryCaption) + QString::fromStdString(SummaryLine(ScanSummary{})).replace("0", "0000");
  scale.FitText(*summary_, widest, kSummary.size());
  // The box, its spacing and margins are what the style adds to the text.
  auto fit_box = [&scale](const QCheckBox& box, const QRect& design) {
    const QFontMetrics metrics = box.fontMetrics();
    const QSize text(metrics.horizontalAdvance(box.text()), metrics.height());
    scale.FitText(box, box.text(), design.size(), box.sizeHint() - text);
  };
  fit_box(*fold_yo_, kFoldYo);
  fit_box(*as_you_type_, kAsYouType);
  fit_box(*keep_current_, kKeepCurrent);
  for (size_t i = 0; i < kKindGroupCount; ++i) fit_box(*kinds_[i], kKinds[i]);
}

void BasePage::Place(const LayoutScale& scale, int grow) {
  // Fields, tables and the summary stretch with the window; the buttons keep
  // their distance from its right edge.
  for (const Row& row : rows_) {
    const int field_top = row.top + kLabelToField;
    PlaceLabel(row.label, scale(QPoint(kLeft, row.top)));
    row.field->setGeometry(scale(QRect(kLeft, field_top, kFieldWidth, row.field_height)).adjusted(0, 0, grow, 0));
  }
  auto place_button = [&](QPushButton* button, const Row& row, int index) {
    const QPoint top_left(kButtonLeft, row.top + kLabelToField + index * kButtonStep);
    button->setGeometry(scale(QRect(top_left, kButtonSize)).translated(grow, 0));
  };
  place_button(open_base_, rows_[0], 0);
  place_button(update_, rows_[1], 0);
  place_button(remove_, rows_[1], 1);
  place_button(add_folder_, rows_[1], 2);
  place_button(open_unread_, rows_[2], 0);
  summary_->setGeometry(scale(kSummary).adjusted(0, 0, grow, 0));
  fold_yo_->setGeometry(scale(kFoldYo));
  keep_current_->setGeometry(scale(kKeepCurrent));
  as_you_type_->setGeometry(scale(kAsYouType));
  // Beside "Ё = Е", they keep their distance from the window's right edge.
  for (size_t i = 0; i < kKindGroupCount; ++i) kinds_[i]->setGeometry(scale(kKinds[i]).translated(grow, 0));
  unread_table_->setColumnWidth(1, scale(kReasonWidth));
}

void BasePage::ScanStarted() { EnableButtons(); }

void BasePage::ScanEnded() {
  EnableButtons();
  if (const std::optional<ScanSummary>& summary = scan_.LastSummary()) ShowSummary(*summary);
  ShowBase();
}

void BasePage::ShowSummary(const ScanSummary& summary) {
  // How many folders were offline follows on the line; the tip names them.
  const QString line = QString(kSummaryCaption) + QString::fromStdString(SummaryLine(summary));
  const QString offline = QString::fromStdString(OfflineReport(summary.offline)).trimmed();
  summary_->setText(offline.isEmpty() ? line
                                      : line + "; " + QString::fromStdString(OfflineCountText(summary.offline.size())));
  summary_->setToolTip(offline.isEmpty() ? line : line + "\n" + offline);  // room is kept for four-digit counts
}

void BasePage::ShowBase() {
  const std::string& base = context_.BaseDirectory();
  base_folder_->setText(DecodedPath(base));
  base_folder_->setCursorPosition(0);

  // Without fls.txt there is nothing to update: the first scan is an add.
  has_files_ = FileExists(FilesFilePath(base), context_.env());
  const std::vector<FolderRow> rows = ListFolders(base, context_.env());
  const std::vector<UnreadRow> unread = ListUnread(base, context_.env());
  const std::vector<FolderRow> selected = SelectedFolders();
  folders_->setRowCount(0);
  for (const FolderRow& row : rows) {
    QStandardItem* path = Cell(DecodedPath(row.path), DecodedPath(row.path));
    path->setData(QByteArray::fromStdString(row.path), kPathRole);
    auto* files = Cell(QString::number(row.files), QVariant::fromValue<qulonglong>(row.files));
    files->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const QString scanned = row.scanned_ns == 0 ? QString() : QString::fromStdString(LocalTimeText(row.scanned_ns));
    const QList<QStandardItem*> cells = {path, files, Cell(scanned, QVariant::fromValue<qlonglong>(row.scanned_ns))};
    if (row.offline) {
      // Greyed, with the reason: its files stay in the base until it is back or removed.
      const QString tip = QString::fromStdString(OfflineFolderTip(*row.offline, row.files));
      for (QStandardItem* cell : cells) {
        cell->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
        cell->setToolTip(cell->toolTip() + "\n" + tip);
      }
    }
    folders_->appendRow(cells);
  }
  SelectFolders(selected);

  unread_->setRowCount(0);
  for (const UnreadRow& row : unread) {
    QStandardItem* path = Cell(DecodedPath(row.path), QVariant());
    path->setData(QByteArray::fromStdString(row.path), kPathRole);
    unread_->appendRow({path, Cell(QString::fromStdString(row.reason), QVariant())});
  }
  if (unread_->rowCount() > 0) unread_table_->setCurrentIndex(unread_->index(0, 0));
  ShowKinds();
  EnableButtons();
}

void BasePage::ShowKinds() {
  const KindChoice chosen = LoadKindChoice(context_.BaseDirectory(), context_.env());
  for (size_t i = 0; i < kKindGroupCount; ++i) kinds_[i]->setChecked(chosen.Has(kKindGroups[i]));
}

std::vector<FolderRow> BasePage::SelectedFolders() const {
  QModelIndexList rows = folder_table_->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  std::vector<FolderRow> folders;
  for (const QModelIndex& index : rows) {
    const int row = sorted_folders_->mapToSource(index).row();
    folders.push_back({folders_->item(row, 0)->data(kPathRole).toByteArray().toStdString(),
                       folders_->item(row, 1)->data(kSortRole).value<qulonglong>(),
                       folders_->item(row, 2)->data(kSortRole).value<qlonglong>()});
  }
  return folders;
}

void BasePage::SelectFolders(const std::vector<FolderRow>& folders) {
  QItemSelectionModel& selection = *folder_table_->selectionModel();
  bool first = true;
  for (int row = 0; row < sorted_folders_->rowCount(); ++row) {
    const QModelIndex index = sorted_folders_->index(row, 0);
    const std::string path = index.data(kPathRole).toByteArray().toStdString();
    if (std::none_of(folders.begin(), folders.end(), [&](const FolderRow& f) { return f.path == path; })) continue;
    const auto how = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    selection.setCurrentIndex(index, first ? how | QItemSelectionModel::Current : how);
    first = false;
  }
}

void BasePage::EnableButtons() {
  const bool idle = !scan_.Running();
  update_->setEnabled(idle && has_files_);
  remove_->setEnabled(idle && folder_table_->selectionModel()->hasSelection());
  add_folder_->setEnabled(idle);
  for (QCheckBox* box : kinds_) box->setEnabled(idle);
}

void BasePage::SetFoldYo(bool on) {
  const QSignalBlocker quiet(fold_yo_);
  fold_yo_->setChecked(on);
}

void BasePage::SetKeepCurrent(bool on) {
  const QSignalBlocker quiet(keep_current_);
  keep_current_->setChecked(on);
}

void BasePage::SetSearchAsYouType(bool on) {
  const QSignalBlocker quiet(as_you_type_);
  as_you_type_->setChecked(on);
}

void BasePage::OpenBaseFolder() {
  const std::string& base = context_.BaseDirectory();
  if (context_.env().Stat(base).kind == PathKind::kMissing) {
    context_.Show({MessageKind::kInformationBox, "Message",
                   "The base folder " + base + " does not exist yet; the first \"Add to base\" makes it."});
  } else if (!context_.OpenLocalPath(base)) {
    context_.Show({MessageKind::kWarningBox, "Message", "Sorry, can't open the base folder."});
  }
}

void BasePage::UpdateClick() {
  if (scan_.Running()) return;
  std::vector<std::string> folders;
  for (FolderRow& row : SelectedFolders()) folders.push_back(std::move(row.path));
  scan_.Start([&](BaseState& state) {
    return Scan::PrepareUpdate(context_.BaseDirectory(), std::move(folders), false, state, context_.env());
  });
}

void BasePage::RemoveClick() {
  if (scan_.Running()) return;
  const std::vector<FolderRow> selected = SelectedFolders();
  if (selected.empty()) return;
  if (!context_.desktop().Confirm(window(), "Remove from the base", RemoveQuestion(selected))) return;
  std::vector<std::string> paths;
  for (const FolderRow& row : selected) paths.push_back(row.path);
  scan_.Start([&](BaseState& state) {
    return Scan::PrepareRemove(context_.BaseDirectory(), std::move(paths), state, context_.env());
  });
}

void BasePage::AddFolderClick() {
  if (scan_.Running()) return;
  const QString chosen = picker_.Pick(window(), QString(), QDir::homePath());
  if (chosen.isEmpty()) return;
  // Then the written "Add to base" of that folder.
  const std::optional<std::string> folder = FolderToScan(QFile::encodeName(chosen).toStdString(), context_.env());
  if (!folder) return;
  scan_.Start(context_.BaseDirectory(), *folder, context_.env());
}

void BasePage::KindsClick() {
  if (scan_.Running()) return;
  KindChoice kinds;
  for (size_t i = 0; i < kKindGroupCount; ++i) kinds.Set(kKindGroups[i], kinds_[i]->isChecked());
  try {
    scan_.Start(
        [&](BaseState& state) { return Scan::PrepareKinds(context_.BaseDirectory(), kinds, state, context_.env()); });
  } catch (...) {
    // Nothing started: the boxes say again what the base reads.
    ShowKinds();
    throw;
  }
}

void BasePage::OpenUnreadClick() {
  const QModelIndexList selected = unread_table_->selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  const std::string path = selected.front().data(kPathRole).toByteArray().toStdString();
  if (!context_.OpenLocalPath(path)) context_.Show({MessageKind::kWarningBox, "Message", kCannotOpenFile});
}

}  // namespace veskara
