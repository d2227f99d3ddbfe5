#include "app/files_page.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "app/file_actions.h"
#include "app/files_model.h"
#include "app/form_context.h"
#include "app/status_panels.h"
#include "app/widgets.h"
#include "base/remembered.h"
#include "platform/paths.h"
#include "results/result_files.h"
#include "search/file_lookup.h"

namespace veskara {

namespace {

// Page coordinates at design size, as on the other pages: a label stands
// above its field, and the right column ends where their buttons do.
constexpr int kLabelToField = 16;
constexpr int kFieldTop = 24;
constexpr int kFieldHeight = 21;
constexpr QRect kFrom(320, 50, 98, 21);
constexpr QRect kTo(421, 50, 98, 21);
constexpr QRect kTable(16, 78, 503, 322);
// The design widths of Name and Folder; Kind, Modified and Size get what
// their widest text needs, and Line the rest.
constexpr int kNameWidth = 100;
constexpr int kFolderWidth = 80;
constexpr const char* kDateFormat = "yyyy-MM-dd";

// A folder cut in the middle still shows where it ends; other texts are
// cut at their end.
class FolderMiddleDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = index.column() == FilesModel::kFolder ? Qt::ElideMiddle : Qt::ElideRight;
  }
};

// The choices of "Modified:", in their order.
enum ModifiedChoice { kAnyTime, kLastWeek, kLastMonth, kLastYear, kBetween };

QComboBox* Combo(QWidget* page, const char* name, const QStringList& items) {
  auto* combo = new QComboBox(page);
  combo->setObjectName(name);
  combo->addItems(items);
  return combo;
}

QDateEdit* DateEdit(QWidget* page, const char* name, const QString& what) {
  auto* edit = new QDateEdit(QDate::currentDate(), page);
  edit->setObjectName(name);
  edit->setDisplayFormat(kDateFormat);
  edit->setCalendarPopup(true);
  edit->setAccessibleName(what);
  edit->setToolTip(what);
  edit->setEnabled(false);
  return edit;
}

// Grows `scale` until the longest of `texts` fits `widget` at `room`; what
// the widget adds beside its text (an arrow, margins) and its frame above
// and below do not grow. Its line must show whole, as a line edit's.
void FitWidest(LayoutScale& scale, const QWidget& widget, const QStringList& texts, QSize room) {
  const QFontMetrics metrics = widget.fontMetrics();
  QString widest;
  for (const QString& text : texts) {
    if (metrics.horizontalAdvance(text) > metrics.horizontalAdvance(widest)) widest = text;
  }
  const int beside = std::max(0, widget.minimumSizeHint().width() - metrics.horizontalAdvance(widest));
  const int frame = widget.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &widget);
  scale.FitText(widget, widest, room, QSize(beside, 2 * frame));
}

}  // namespace

FilesPage::FilesPage(FormContext& context, StatusPanels& status, QWidget* parent)
    : FormPage(parent), context_(context), status_(status) {
  setObjectName("TabSheetFiles");
  path_text_ = new QLineEdit(this);
  path_text_->setObjectName("FilesFilter");
  path_text_->setClearButtonEnabled(true);
  path_text_->setToolTip("Only the files whose path holds this text (either case)");
  QStringList kinds{"All kinds"};
  for (const std::string_view name : KindNames())
    kinds.append(QString::fromLatin1(name.data(), qsizetype(name.size())));
  kind_ = Combo(this, "FilesKind", kinds);
  modified_ = Combo(this, "FilesModified", {"Any time", "Last week", "Last month", "Last year", "Between\u2026"});
  from_ = DateEdit(this, "FilesFrom", "Modified from this day");
  to_ = DateEdit(this, "FilesTo", "Modified up to this day");
  rows_ = {Row{FittedLabel("Part of the path:", this, "LabFilesFilter"), path_text_, 16, kFieldTop, 214, true},
           Row{FittedLabel("Kind:", this, "LabFilesKind"), kind_, 238, kFieldTop, 86, false},
           Row{FittedLabel("Modified:", this, "LabFilesModified"), modified_, 332, kFieldTop, 187, false}};
  for (const Row& row : rows_) {
    row.label->setBuddy(row.field);
    row.field->setAccessibleName(row.label->text());
  }

  model_ = new FilesModel(context.env(), this);
  table_ = new QTableView(this);
  table_->setObjectName("FilesTable");
  table_->setAccessibleName("Found files");
  table_->setModel(model_);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setWordWrap(false);
  table_->setItemDelegate(new FolderMiddleDelegate(table_));
  table_->setTabKeyNavigation(false);
  table_->verticalHeader()->hide();
  // Every row one line high, so that a hundred thousand rows cost nothing
  // until they are shown.
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->horizontalHeader()->setHighlightSections(false);
  // The order of the base until a column is chosen; a third click brings it back.
  table_->horizontalHeader()->setSortIndicatorClearable(true);
  table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  table_->setSortingEnabled(true);
  setTabOrder(path_text_, kind_);
  setTabOrder(kind_, modified_);
  setTabOrder(modified_, from_);
  setTabOrder(from_, to_);
  setTabOrder(to_, table_);
  AddTableActions();

  view_moved_ = new QTimer(this);
  view_moved_->setSingleShot(true);
  view_moved_->setInterval(0);  // once per turn of the event loop, however often the view moved
  connect(view_moved_, &QTimer::timeout, this, &FilesPage::AskForLinesInView);
  auto moved = [this] { view_moved_->start(); };
  connect(table_->verticalScrollBar(), &QScrollBar::valueChanged, this, moved);
  connect(model_, &QAbstractItemModel::modelReset, this, moved);
  connect(model_, &QAbstractItemModel::layoutChanged, this, moved);
  connect(model_, &FilesModel::statusChanged, this, &FilesPage::SetStatus);

  connect(path_text_, &QLineEdit::textChanged, this, &FilesPage::ApplyFilter);
  connect(kind_, &QComboBox::currentIndexChanged, this, &FilesPage::ApplyFilter);
  connect(modified_, &QComboBox::currentIndexChanged, this, [this](int choice) {
    from_->setEnabled(choice == kBetween);
    to_->setEnabled(choice == kBetween);
    ApplyFilter();
  });
  connect(from_, &QDateEdit::dateChanged, this, &FilesPage::ApplyFilter);
  connect(to_, &QDateEdit::dateChanged, this, &FilesPage::ApplyFilter);
  connect(table_, &QTableView::doubleClicked, this, context_.Slot([this] { OpenClick(); }));
}

void FilesPage::AddTableActions() {
  auto add_action = [this](const QString& text, const QList<QKeySequence>& keys, void (FilesPage::*handler)()) {
    auto* action = new QAction(text, table_);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this, context_.Slot([this, handler] { (this->*handler)(); }));
    table_->addAction(action);
  };
  // As in the search page's list of found files, Enter first.
  add_action("Open", {QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)}, &FilesPage::OpenClick);
  add_action("Show matches", {QKeySequence(Qt::Key_F3)}, &FilesPage::PreviewClick);
  add_action("Open containing folder", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)}, &FilesPage::OpenFolderClick);
  add_action("Copy path", {QKeySequence::Copy}, &FilesPage::CopyPathClick);
  table_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void FilesPage::FitTexts(LayoutScale& scale) const {
  for (const Row& row : rows_) scale.FitText(*row.label, row.label->text(), QSize(0, kLabelToField));
  scale.FitLineEdit(*path_text_, kFieldHeight);
  for (const QComboBox* combo : {kind_, modified_}) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items.append(combo->itemText(i));
    const Row& row = combo == kind_ ? rows_[1] : rows_[2];
    FitWidest(scale, *combo, items, QSize(row.width, kFieldHeight));
  }
  FitWidest(scale, *from_, {"2000-12-31"}, kFrom.size());
}

void FilesPage::Place(const LayoutScale& scale, int grow) {
  for (const Row& row : rows_) {
    const int shift = row.stretches ? 0 : grow;
    PlaceLabel(row.label, scale(QPoint(row.left, row.top - kLabelToField)) + QPoint(shift, 0));
    QRect field = scale(QRect(row.left, row.top, row.width, kFieldHeight));
    row.field->setGeometry(row.stretches ? field.adjusted(0, 0, grow, 0) : field.translated(grow, 0));
  }
  from_->setGeometry(scale(kFrom).translated(grow, 0));
  to_->setGeometry(scale(kTo).translated(grow, 0));
  table_->setGeometry(scale(kTable).adjusted(0, 0, grow, 0));
  table_->setColumnWidth(FilesModel::kName, scale(kNameWidth));
  table_->setColumnWidth(FilesModel::kFolder, scale(kFolderWidth));
  const QFontMetrics metrics = table_->fontMetrics();
  const int padding = 2 * table_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table_) + 6;
  table_->setColumnWidth(FilesModel::kKind, metrics.horizontalAdvance("page") + 2 * padding);
  table_->setColumnWidth(FilesModel::kModified, metrics.horizontalAdvance("2000-12-31 23:59") + padding);
  table_->setColumnWidth(FilesModel::kSize, metrics.horizontalAdvance("999.9 KB"));
}

void FilesPage::ScanEnded() {
  if (typed_.isEmpty()) return;
  stale_ = true;
  if (isVisible()) context_.Guarded([this] { ReadList(); });
}

void FilesPage::ShowSearch(const QString& typed, const SearchOptions& options) {
  typed_ = typed;
  options_ = options;
  stale_ = true;
  if (isVisible()) context_.Guarded([this] { ReadList(); });
}

void FilesPage::showEvent(QShowEvent* event) {
  FormPage::showEvent(event);
  if (stale_) {
    context_.Guarded([this] { ReadList(); });
  } else if (!typed_.isEmpty()) {
    // Coming back to the page: the bar speaks of this list again.
    SetStatus(model_->StatusText());
  }
}

void FilesPage::ReadList() {
  stale_ = false;
  const SplitQuery query = SplitLeftOutWords(typed_.toStdString());
  searched_ = query.searched;
  FoundFiles found = FindFiles(context_.BaseDirectory(), query, options_, context_.env());
  model_->SetFiles(std::move(found.rows), LoadKindChoice(context_.BaseDirectory(), context_.env()), searched_, options_,
                   context_.BaseDirectory());
  table_->scrollToTop();
  if (found.only_left_out) {
    SetStatus("The query only leaves words out (-WORD): name a word to search for");
  } else if (found.search.status == SearchOutcome::Status::kFailed && !found.search.messages.empty()) {
    SetStatus(QString::fromStdString(found.search.messages.front().text));
  } else if (!found.search.messages.empty()) {
    // The limit of entries: the files are those of the entries kept.
    SetStatus(QString::fromStdString(found.search.messages.front().text));
  }
  emit listRead();
}

void FilesPage::ApplyFilter() {
  FileFilter filter;
  filter.path_text = path_text_->text().toStdString();
  if (kind_->currentIndex() > 0) filter.kinds.push_back(*KindNamed(kind_->currentText().toStdString()));
  const int64_t now = context_.env().Now();
  switch (modified_->currentIndex()) {
    case kLastWeek:
      filter.newer_ns = StartOfRecent(RecentPeriod::kWeek, now);
      break;
    case kLastMonth:
      filter.newer_ns = StartOfRecent(RecentPeriod::kMonth, now);
      break;
    case kLastYear:
      filter.newer_ns = StartOfRecent(RecentPeriod::kYear, now);
      break;
    case kBetween:
      // Both days whole: from the first one's midnight to the one after the last.
      filter.newer_ns = ParseIsoTime(from_->date().toString(kDateFormat).toStdString());
      filter.older_ns = ParseIsoTime(to_->date().addDays(1).toString(kDateFormat).toStdString());
      break;
    default:
      break;
  }
  model_->SetFilter(std::move(filter));
}

void FilesPage::AskForLinesInView() {
  if (model_->rowCount() == 0) return;
  const int first = std::max(0, table_->rowAt(0));
  int last = table_->rowAt(table_->viewport()->height() - 1);
  if (last < 0) last = model_->rowCount() - 1;
  model_->SetRowsInView(first, last);
}

void FilesPage::SetStatus(const QString& text) {
  // The bar belongs to the page in view.
  if (isVisible() && !text.isEmpty()) status_.SetPanelText(1, text);
}

QByteArray FilesPage::SelectedPath() const {
  const QModelIndexList selected = table_->selectionModel()->selectedRows();
  if (selected.isEmpty()) return {};
  return model_->PathOf(selected.front().row());
}

void FilesPage::OpenClick() {
  const QByteArray path = SelectedPath();
  if (!path.isEmpty()) OpenFoundFile(context_, path);
}

void FilesPage::PreviewClick() {
  const QByteArray path = SelectedPath();
  if (!path.isEmpty()) PreviewMatches(context_, path, searched_, options_);
}

void FilesPage::OpenFolderClick() {
  const QByteArray path = SelectedPath();
  if (!path.isEmpty()) OpenFolderOf(context_, path);
}

void FilesPage::CopyPathClick() {
  const QByteArray path = SelectedPath();
  if (!path.isEmpty()) QGuiApplication::clipboard()->setText(QFile::decodeName(path));
}

}  // namespace veskara
