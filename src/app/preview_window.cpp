#include "app/preview_window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTextCursor>
#include <QTextLayout>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "app/form_context.h"
#include "base/messages.h"
#include "matches/document_matches.h"
#include "platform/paths.h"

namespace veskara {

namespace {

// A line longer than this shows the part around its first match: laying out
// a whole minified page for every paint would stall the window.
constexpr qsizetype kLongestShown = 1000;
constexpr qsizetype kContextBeforeMatch = 60;
const QString kEllipsis = QString(QChar(0x2026));

}  // namespace

constexpr int kMarksRole = PreviewWindow::kMarksRole;

// The matching lines as rows: the line or page number, and the text with
// the spans of its matched words in UTF-16 units.
class MatchesModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void Reset(const DocumentMatches& matches) {
    beginResetModel();
    heading_ = QString::fromStdString(matches.heading);
    rows_.clear();
    rows_.reserve(matches.lines.size());
    for (const MatchingLine& line : matches.lines) rows_.push_back(RowOf(line));
    endResetModel();
  }

  const QList<QTextLayout::FormatRange>& Marks(int row) const { return rows_[static_cast<size_t>(row)].marks; }
  // The whole line of a row, which the row itself may show cut, and its marks.
  const QString& FullText(int row) const {
    const Row& r = rows_[static_cast<size_t>(row)];
    return r.full_text.isNull() ? r.text : r.full_text;
  }
  const QList<QTextLayout::FormatRange>& FullMarks(int row) const {
    const Row& r = rows_[static_cast<size_t>(row)];
    return r.full_text.isNull() ? r.marks : r.full_marks;
  }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 2; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const Row& row = rows_[static_cast<size_t>(index.row())];
    switch (role) {
      case Qt::DisplayRole:
        return index.column() == 0 ? row.label : row.text;
      case Qt::TextAlignmentRole:
        return index.column() == 0 ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
      case kMarksRole: {
        // The marked words as (start, length) in the text's UTF-16 units.
        QVariantList marks;
        for (const QTextLayout::FormatRange& mark : row.marks) marks.append(QPoint(mark.start, mark.length));
        return index.column() == 1 ? QVariant(marks) : QVariant();
      }
      default:
        return {};
    }
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section == 0) return heading_;
    return QString("Text");
  }

 private:
  struct Row {
    QString label;
    QString text;
    QList<QTextLayout::FormatRange> marks;
    // The line before a long one was cut for the row (null when it was not).
    QString full_text;
    QList<QTextLayout::FormatRange> full_marks;
  };

  static Row RowOf(const MatchingLine& line) {
    Row row;
    row.label = QString::fromStdString(LineLabel(line));
    // Byte offsets become UTF-16 offsets, piece by piece along the line.
    QTextCharFormat marked;
    marked.setBackground(QColor(255, 214, 64));
    marked.setForeground(QColor(Qt::black));
    size_t byte = 0;
    qsizetype unit = 0;
    for (const MatchSpan& span : line.spans) {
      unit += QString::fromUtf8(line.text.data() + byte, static_cast<qsizetype>(span.begin - byte)).size();
      const qsizetype length =
          QString::fromUtf8(line.text.data() + span.begin, static_cast<qsizetype>(span.end - span.begin)).size();
      row.marks.append({static_cast<int>(unit), static_cast<int>(length), marked});
      unit += length;
      byte = span.end;
    }
    row.text = QString::fromStdString(line.text);
    // The core cut a long line already: say where.
    if (line.cut_before) {
      row.text.prepend(kEllipsis);
      for (QTextLayout::FormatRange& mark : row.marks) mark.start += 1;
    }
    if (line.cut_after) row.text.append(kEllipsis);
    if (row.text.size() > kLongestShown) Shorten(row);
    return row;
  }

  static void Shorten(Row& row) {
    row.full_text = row.text;
    row.full_marks = row.marks;
    const qsizetype from = std::max<qsizetype>(0, row.marks.front().start - kContextBeforeMatch);
    const qsizetype to = std::min(row.text.size(), from + kLongestShown);
    const qsizetype shift = from > 0 ? 1 - from : 0;  // the ellipsis in front takes one unit
    QList<QTextLayout::FormatRange> kept;
    for (QTextLayout::FormatRange mark : row.marks) {
      if (mark.start + mark.length > to) break;
      mark.start += static_cast<int>(shift);
      kept.append(mark);
    }
    row.text = (from > 0 ? kEllipsis : QString()) + row.text.mid(from, to - from) +
               (to < row.text.size() ? kEllipsis : QString());
    row.marks = kept;
  }

  QString heading_ = "Line";
  std::vector<Row> rows_;
};

namespace {

// Draws the text column with its matched words marked.
class MarkedTextDelegate : public QStyledItemDelegate {
 public:
  MarkedTextDelegate(const MatchesModel& model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();
    const QWidget* widget = item.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    QTextLayout layout(text, item.font);
    QTextOption no_wrap;
    no_wrap.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(no_wrap);
    layout.setFormats(model_.Marks(index.row()));
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid()) return;
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    painter->save();
    painter->setClipRect(room);
    const bool selected = (item.state & QStyle::State_Selected) != 0;
    painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    layout.draw(painter, QPointF(room.left() + margin, room.top() + (room.height() - line.height()) / 2));
    painter->restore();
  }

 private:
  const MatchesModel& model_;
};

QString StatusText(const DocumentMatches& matches) {
  switch (matches.status) {
    case DocumentMatches::Status::kUnreadable:
      return "Can't read this file: " + QString::fromStdString(matches.unread_reason);
    case DocumentMatches::Status::kNoQueryWord:
      return "No word to search for.";
    case DocumentMatches::Status::kRead:
      break;
  }
  if (matches.lines.empty()) return "No line holds the words searched for.";
  const qsizetype count = static_cast<qsizetype>(matches.lines.size());
  return QString("%1 %2 with the words searched for").arg(count).arg(count == 1 ? "line" : "lines");
}

}  // namespace

PreviewWindow::PreviewWindow(FormContext& context, QByteArray path, std::string query, SearchOptions options,
                             std::function<void()> open, QWidget* parent)
    : QWidget(parent, Qt::Window) {
  setObjectName("Preview");
  const QString shown_path = QFile::decodeName(path);
  setWindowTitle("Matches in " + shown_path.section('/', -1) + " - " + kApplicationTitle);

  auto* path_field = new QLineEdit(shown_path, this);
  path_field->setObjectName("PreviewPath");
  path_field->setReadOnly(true);
  path_field->setFrame(false);
  path_field->setAccessibleName("File");
  path_field->setCursorPosition(0);

  model_ = new MatchesModel(this);
  lines_ = new QTableView(this);
  lines_->setObjectName("PreviewLines");
  lines_->setAccessibleName("Matching lines");
  lines_->setModel(model_);
  lines_->setItemDelegateForColumn(1, new MarkedTextDelegate(*model_, lines_));
  lines_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lines_->setSelectionMode(QAbstractItemView::SingleSelection);
  lines_->setShowGrid(false);
  lines_->setWordWrap(false);
  lines_->setTextElideMode(Qt::ElideNone);
  lines_->verticalHeader()->hide();
  // Every row one line high, so that tens of thousands of lines scroll at once.
  lines_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  lines_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  lines_->horizontalHeader()->setStretchLastSection(true);
  lines_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
  lines_->setColumnWidth(0, fontMetrics().horizontalAdvance("p.00000") + 12);

  // The chosen line whole, wrapped: a row shows only what fits its width.
  whole_line_ = new QPlainTextEdit(this);
  whole_line_->setObjectName("PreviewWholeLine");
  whole_line_->setAccessibleName("The chosen line");
  whole_line_->setReadOnly(true);
  whole_line_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  whole_line_->setFixedHeight(fontMetrics().lineSpacing() * 4 + 2 * whole_line_->frameWidth() + 8);
  connect(lines_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { ShowWholeLine(current.row()); });

  status_ = new QLabel("Reading...", this);
  status_->setObjectName("PreviewStatus");
  open_ = new QPushButton("&Open", this);
  open_->setObjectName("PreviewOpen");
  auto* close = new QPushButton("Close", this);
  close->setObjectName("PreviewClose");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(status_, 1);
  buttons->addWidget(open_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(path_field);
  layout->addWidget(lines_, 1);
  layout->addWidget(whole_line_);
  layout->addLayout(buttons);
  resize(fontMetrics().averageCharWidth() * 100, fontMetrics().height() * 24);

  connect(open_, &QPushButton::clicked, this, context.Slot(std::move(open)));
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);

  // A PDF document converts for as long as its size asks: never on the
  // window's thread.
  auto result = std::make_shared<DocumentMatches>();
  Env& env = context.env();
  const std::string base_directory = context.BaseDirectory();
  reader_ =
      QThread::create([result, &env, file = path.toStdString(), query = std::move(query), options, base_directory] {
        try {
          *result = FindDocumentMatches(file, query, options, base_directory, env);
        } catch (const std::exception& failure) {
          result->status = DocumentMatches::Status::kUnreadable;
          result->unread_reason = FailureText(failure, "read the file");
        }
      });
  reader_->setParent(this);
  connect(reader_, &QThread::finished, this, [this, result] {
    if (closed_) {
      deleteLater();
      return;
    }
    Show(*result);
  });
  reader_->start();
}

PreviewWindow::~PreviewWindow() {
  if (reader_ != nullptr) reader_->wait();
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
  // Closing never waits for a conversion: the window goes when it ends.
  closed_ = true;
  if (reader_ == nullptr || reader_->isFinished()) deleteLater();
  event->accept();
}

void PreviewWindow::ShowWholeLine(int row) {
  whole_line_->clear();
  if (row < 0 || row >= model_->rowCount({})) return;
  whole_line_->setPlainText(model_->FullText(row));
  QTextCursor cursor(whole_line_->document());
  for (const QTextLayout::FormatRange& mark : model_->FullMarks(row)) {
    cursor.setPosition(mark.start);
    cursor.setPosition(mark.start + mark.length, QTextCursor::KeepAnchor);
    cursor.setCharFormat(mark.format);
  }
}

void PreviewWindow::Show(const DocumentMatches& matches) {
  model_->Reset(matches);
  if (model_->rowCount({}) > 0) {
    lines_->selectRow(0);
    ShowWholeLine(0);
  }
  status_->setText(StatusText(matches));
  loaded_ = true;
  emit loaded();
}

}  // namespace veskara
