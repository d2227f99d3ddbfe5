#include "app/search_page.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <optional>

#include "app/desktop.h"
#include "app/file_actions.h"
#include "app/form_context.h"
#include "app/live_search.h"
#include "app/scan_progress.h"
#include "app/status_panels.h"
#include "app/widgets.h"
#include "indexer/discovery.h"
#include "platform/cp1251.h"
#include "search/file_lookup.h"
#include "search/search.h"

namespace veskara {

namespace {

// Page coordinates at design size: every row's label and field start here,
// a field's label stands this far above it, and the buttons share one size.
constexpr int kLeft = 16;
constexpr int kLabelToField = 16;
constexpr int kFieldWidth = 415;
constexpr int kButtonLeft = 446;
constexpr QSize kButtonSize(73, 22);
// A search as you type starts once the typing pauses this long.
constexpr int kTypingPauseMs = 150;

QPushButton* Button(const QString& text, QWidget* page, const char* name) {
  auto* button = new QPushButton(text, page);
  button->setObjectName(name);
  // A click must not take the focus from the field or list that has it; the
  // keyboard reaches the button by the Alt key of its underlined letter.
  button->setFocusPolicy(Qt::NoFocus);
  button->setAutoDefault(false);
  return button;
}

QListWidget* ListBox(QWidget* page, const char* name) {
  auto* list = new QListWidget(page);
  list->setObjectName(name);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSortingEnabled(false);
  // A one-letter search can list every word of the base.
  list->setUniformItemSizes(true);
  return list;
}

}  // namespace

SearchPage::SearchPage(FormContext& context, StatusPanels& status, ScanProgress& scan, QWidget* parent)
    : FormPage(parent), context_(context), status_(status), scan_(scan) {
  setObjectName("TabSheet1");
  QLabel* query_label = FittedLabel("Text to search:", this, "Label1");
  query_ = new QLineEdit(this);
  query_->setObjectName("Edit1");
  search_ = Button("&Search", this, "btnGO");
  QLabel* words_label = FittedLabel("Found words:", this, "Label2");
  found_words_ = ListBox(this, "ListBox1");
  QLabel* files_label = FittedLabel("Found files:", this, "Label3");
  found_files_ = ListBox(this, "ListBox2");
  open_ = Button("&Open", this, "btnOpen");
  QLabel* directory_label = FittedLabel("Directory to scan:", this, "Label4");
  directory_ = new DirectoryEdit(context.desktop(), this);
  directory_->setObjectName("DirEdit");
  add_to_base_ = Button("&Add to base", this, "btnScan");

  rows_ = {Row{query_label, query_, search_, 16, 21}, Row{words_label, found_words_, nullptr, 72, 97},
           Row{files_label, found_files_, open_, 208, 97}, Row{directory_label, directory_, add_to_base_, 352, 21}};
  // A screen reader names each field and list by its label, as a sighted user
  // does; the buttons it names by their own texts.
  for (const Row& row : rows_) {
    row.label->setBuddy(row.field);
    row.field->setAccessibleName(row.label->text());
  }
  setTabOrder(query_, found_words_);
  setTabOrder(found_words_, found_files_);
  setTabOrder(found_files_, directory_);
  AddFoundWordsMenu();
  AddFoundFilesMenu();

  connect(search_, &QPushButton::clicked, this, context_.Slot([this] { btnGOClick(); }));
  connect(query_, &QLineEdit::returnPressed, this, context_.Slot([this] { btnGOClick(); }));
  connect(open_, &QPushButton::clicked, this, context_.Slot([this] { btnOpenClick(); }));
  connect(found_files_, &QListWidget::itemDoubleClicked, this, context_.Slot([this] { btnOpenClick(); }));
  connect(add_to_base_, &QPushButton::clicked, this, context_.Slot([this] { btnScanClick(); }));
  connect(directory_, &QLineEdit::returnPressed, this, context_.Slot([this] { btnScanClick(); }));

  // Choosing an entry, by mouse or keys, lists its files. A click on the
  // row that is already selected lists them again (it changes no
  // selection), which lets the user retry after a failed lookup.
  connect(found_words_, &QListWidget::itemSelectionChanged, this, [this] {
    press_changed_selection_ = true;
    context_.Guarded([this] { ListBox1Click(); });
  });
  connect(found_words_, &QListWidget::itemPressed, this, [this] {
    if (!press_changed_selection_) context_.Guarded([this] { ListBox1Click(); });
  });
  found_words_->viewport()->installEventFilter(this);
  found_files_->viewport()->installEventFilter(this);
  query_->installEventFilter(this);

  typing_pause_ = new QTimer(this);
  typing_pause_->setSingleShot(true);
  typing_pause_->setInterval(kTypingPauseMs);
  connect(typing_pause_, &QTimer::timeout, this, context_.Slot([this] { StartLiveSearch(); }));
  connect(query_, &QLineEdit::textChanged, this, [this] {
    if (live_ != nullptr) typing_pause_->start();
  });
}

void SearchPage::SetSearchAsYouType(bool on) {
  if (on == (live_ != nullptr)) return;
  if (!on) {
    typing_pause_->stop();
    delete live_;  // waits for a running search, which it has cancelled
    live_ = nullptr;
    return;
  }
  live_ = new LiveSearch(
      context_.env(),
      [this](const LiveSearch::Result& result) {
        context_.Guarded([&] {
          if (!result.failure.empty()) {
            status_.SetPanelText(1, QString::fromStdString(ErrorReportText(result.failure)));
            return;
          }
          SearchOutcome outcome = result.outcome;
          if (outcome.status == SearchOutcome::Status::kFailed) {
            status_.SetPanelText(1, QString::fromStdString(outcome.messages.front().text));
            return;
          }
          if (outcome.status != SearchOutcome::Status::kDone) return;
          ShowEntries(outcome, result.base, result.query, result.options, live_typed_);
          // The limit's box would stop the typing: its text goes to the bar.
          for (const UserMessage& message : outcome.messages)
            status_.SetPanelText(1, QString::fromStdString(message.text));
        });
        emit liveSearchShown();
      },
      this);
  // The words are in memory before the first keystroke, once the window has
  // its base.
  if (!context_.BaseDirectory().empty()) live_->Preload(context_.BaseDirectory());
}

void SearchPage::StartLiveSearch() {
  if (live_ == nullptr) return;
  typing_pause_->stop();
  live_typed_ = query_->text();
  live_->Submit(context_.BaseDirectory(), EncodeQuery(live_typed_.toStdString()),
                SearchOptions{.fold_yo = context_.FoldYo()});
}

// An item of `list`'s own menu, its keys working in the list, or anywhere on
// the page when `page_wide`: the focus stays in the found words after a
// choice, and the files' actions must reach the file chosen there.
QAction* SearchPage::AddMenuAction(QListWidget* list, const QString& text, const QList<QKeySequence>& keys,
                                   void (SearchPage::*handler)(), bool page_wide) {
  auto* action = new QAction(text, list);
  action->setShortcuts(keys);
  action->setShortcutContext(page_wide ? Qt::WidgetWithChildrenShortcut : Qt::WidgetShortcut);
  connect(action, &QAction::triggered, this, context_.Slot([this, handler] { (this->*handler)(); }));
  list->addAction(action);
  if (page_wide) addAction(action);
  list->setContextMenuPolicy(Qt::ActionsContextMenu);
  return action;
}

void SearchPage::AddFoundWordsMenu() {
  AddMenuAction(found_words_, "Show files of all found words", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)},
                &SearchPage::ShowFilesOfAllFoundWords, /*page_wide=*/true);
}

void SearchPage::AddFoundFilesMenu() {
  auto add_action = [this](const QString& text, const QList<QKeySequence>& keys, void (SearchPage::*handler)()) {
    AddMenuAction(found_files_, text, keys, handler, /*page_wide=*/false);
  };
  // Enter first, so the menu shows the key users call it by.
  add_action("Open", {QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)}, &SearchPage::btnOpenClick);
  AddMenuAction(found_files_, "Show matches", {QKeySequence(Qt::Key_F3)}, &SearchPage::ShowMatches,
                /*page_wide=*/true);
  add_action("Open containing folder", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)},
             &SearchPage::OpenContainingFolder);
  add_action("Copy path", {QKeySequence::Copy}, &SearchPage::CopyPath);
}

void SearchPage::FitTexts(LayoutScale& scale) const {
  for (const Row& row : rows_) {
    scale.FitText(*row.label, row.label->text(), QSize(0, kLabelToField));
    if (row.button != nullptr) scale.FitButton(*row.button, kButtonSize);
  }
  scale.FitLineEdit(*query_, rows_[0].field_height);
  scale.FitLineEdit(*directory_, rows_[3].field_height);
}

void SearchPage::Place(const LayoutScale& scale, int grow) {
  // Fields and lists stretch with the window; the buttons keep their
  // distance from its right edge.
  for (const Row& row : rows_) {
    const int field_top = row.top + kLabelToField;
    PlaceLabel(row.label, scale(QPoint(kLeft, row.top)));
    row.field->setGeometry(scale(QRect(kLeft, field_top, kFieldWidth, row.field_height)).adjusted(0, 0, grow, 0));
    if (row.button != nullptr) {
      row.button->setGeometry(scale(QRect(QPoint(kButtonLeft, field_top), kButtonSize)).translated(grow, 0));
    }
  }
}

void SearchPage::FocusQuery() {
  query_->setFocus(Qt::ShortcutFocusReason);
  query_->selectAll();
}

void SearchPage::ScanStarted() { add_to_base_->setEnabled(false); }

void SearchPage::ScanEnded() { add_to_base_->setEnabled(true); }

bool SearchPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == found_words_->viewport() && event->type() == QEvent::MouseButtonPress) {
    press_changed_selection_ = false;
  } else if (watched == query_ && event->type() == QEvent::KeyPress &&
             static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
             static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
    query_->clear();
    return true;
  } else if (watched == found_files_->viewport() && event->type() == QEvent::ToolTip) {
    return ShowCutOffPath(event);
  }
  return FormPage::eventFilter(watched, event);
}

bool SearchPage::ShowCutOffPath(QEvent* event) {
  // The full path, only for a row that the list cuts off.
  auto* help = static_cast<QHelpEvent*>(event);
  QListWidgetItem* item = found_files_->itemAt(help->pos());
  if (item != nullptr) {
    const QRect row = found_files_->visualItemRect(item);
    const int needed = found_files_->fontMetrics().horizontalAdvance(item->text()) + 8;
    if (row.left() < 0 || row.left() + needed > found_files_->viewport()->width()) {
      QToolTip::showText(help->globalPos(), item->text(), found_files_->viewport());
      return true;
    }
  }
  QToolTip::hideText();
  return true;
}

void SearchPage::btnGOClick() {
  if (live_ != nullptr) {
    StartLiveSearch();
    return;
  }
  const QString typed = query_->text();
  std::string query = EncodeQuery(typed.toStdString());
  const SearchOptions options{.fold_yo = context_.FoldYo()};
  BaseSnapshot base = BaseSnapshot::Open(context_.BaseDirectory(), context_.env());
  SearchOutcome outcome = RunSearch(base, query, options);
  for (const UserMessage& message : outcome.messages) context_.Show(message);
  if (outcome.status != SearchOutcome::Status::kDone) return;
  ShowEntries(outcome, std::move(base), std::move(query), options, typed);
}

void SearchPage::ShowEntries(SearchOutcome& outcome, std::optional<BaseSnapshot> base, std::string query,
                             const SearchOptions& options, const QString& typed) {
  shown_query_ = std::move(query);
  shown_options_ = options;
  shown_base_ = std::move(base);

  // The display step: rows replaced whole, none selected, focus unchanged.
  QStringList rows;
  rows.reserve(static_cast<qsizetype>(outcome.entries.size()));
  found_number_lists_.clear();
  found_number_lists_.reserve(outcome.entries.size());
  for (SearchEntry& entry : outcome.entries) {
    rows.append(QString::fromStdString(DecodeCp1251(entry.text)));
    found_number_lists_.push_back(std::move(entry.numbers));
  }
  found_words_->clear();
  found_words_->addItems(rows);
  if (rows.isEmpty()) found_files_->clear();
  status_.SetPanelText(1, QString::fromStdString(outcome.status_text));
  emit searchShown(typed, options);
}

void SearchPage::ListBox1Click() {
  const QList<QListWidgetItem*> selected = found_words_->selectedItems();
  if (selected.isEmpty()) return;
  const size_t row = static_cast<size_t>(found_words_->row(selected.front()));
  found_files_->clear();
  if (row >= found_number_lists_.size() || !shown_base_) return;
  // A failed lookup leaves the list empty and the focus where it was.
  FillFoundFiles(ListFilesOfEntry(*shown_base_, found_number_lists_[row]));
  // The arrow keys then go on through the found words.
  found_words_->setFocus(Qt::OtherFocusReason);
}

void SearchPage::FillFoundFiles(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    // The row shows the decoded name; its bytes stay with it, since a name
    // that is not valid UTF-8 would not survive the trip through the text.
    const QByteArray bytes = QByteArray::fromStdString(path);
    auto* item = new QListWidgetItem(QFile::decodeName(bytes), found_files_);
    item->setData(Qt::UserRole, bytes);
  }
  if (found_files_->count() > 0) found_files_->setCurrentRow(0);
}

void SearchPage::ShowFilesOfAllFoundWords() {
  if (found_number_lists_.empty() || !shown_base_) return;
  // No entry is chosen now; choosing one afterwards lists its files again.
  found_words_->clearSelection();
  found_files_->clear();
  const std::vector<std::string_view> lists(found_number_lists_.begin(), found_number_lists_.end());
  FillFoundFiles(ListFilesOfEntries(*shown_base_, lists));
  status_.SetPanelText(1, QString("Files of all found words: %1").arg(found_files_->count()));
  found_files_->setFocus(Qt::OtherFocusReason);
}

QString SearchPage::GetSelectedFile() const {
  const QList<QListWidgetItem*> selected = found_files_->selectedItems();
  if (selected.isEmpty()) return kNothingSelected;
  return selected.front()->text();
}

QByteArray SearchPage::SelectedPathBytes() const {
  const QList<QListWidgetItem*> selected = found_files_->selectedItems();
  return selected.isEmpty() ? QByteArray() : selected.front()->data(Qt::UserRole).toByteArray();
}

void SearchPage::btnOpenClick() {
  if (GetSelectedFile() == kNothingSelected) return;
  OpenFoundFile(context_, SelectedPathBytes());
}

void SearchPage::ShowMatches() {
  if (GetSelectedFile() == kNothingSelected) return;
  PreviewMatches(context_, SelectedPathBytes(), shown_query_, shown_options_);
}

void SearchPage::OpenContainingFolder() {
  if (GetSelectedFile() == kNothingSelected) return;
  OpenFolderOf(context_, SelectedPathBytes());
}

void SearchPage::CopyPath() {
  const QString path = GetSelectedFile();
  if (path == kNothingSelected) return;
  QGuiApplication::clipboard()->setText(path);
}

void SearchPage::btnScanClick() {
  if (scan_.Running()) return;
  const std::optional<std::string> folder =
      FolderToScan(QFile::encodeName(directory_->text()).toStdString(), context_.env());
  if (!folder) return;
  add_to_base_->setEnabled(false);
  try {
    // On failure nothing has started and the base is unchanged.
    scan_.Start(context_.BaseDirectory(), *folder, context_.env());
  } catch (...) {
    add_to_base_->setEnabled(true);
    throw;
  }
}

}  // namespace veskara
