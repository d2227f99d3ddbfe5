#include "app/widgets.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "app/desktop.h"

namespace veskara {

QLabel* FittedLabel(const QString& text, QWidget* parent, const char* name) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->adjustSize();
  return label;
}

void SetFittedText(QLabel* label, const QString& text) {
  label->setText(text);
  label->adjustSize();
}

void PlaceLabel(QLabel* label, QPoint pos) {
  label->move(pos);
  label->adjustSize();
}

QString ShownText(const QString& text) {
  QString shown;
  shown.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;
    shown += text[i];
  }
  return shown;
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  QFont font = this->font();
  font.setUnderline(true);
  setFont(font);
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
  setPalette(palette);
  setCursor(Qt::PointingHandCursor);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
    event->accept();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

EtchedLine::EtchedLine(QWidget* parent) : QWidget(parent) {}

void EtchedLine::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawLine(0, 0, width() - 1, 0);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawLine(0, 1, width() - 1, 1);
}

QString FolderPicker::Pick(QWidget* window, const QString& typed, const QString& fallback) {
  QString start = fallback;
  if (!typed.isEmpty() && QFileInfo(typed).isDir()) {
    start = typed;
  } else if (typed.isEmpty() && !last_picked_.isEmpty() && QFileInfo(last_picked_).isDir()) {
    start = last_picked_;
  }
  QString chosen = desktop_.PickFolder(window, start);
  if (chosen.isEmpty()) return chosen;
  // cleanPath drops a trailing separator but keeps the root's.
  last_picked_ = QDir::cleanPath(chosen);
  return last_picked_;
}

DirectoryEdit::DirectoryEdit(Desktop& desktop, QWidget* parent) : QLineEdit(parent), picker_(desktop) {
  browse_ = addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
  browse_->setText("Choose a folder");
  browse_->setToolTip("Choose a folder (Alt+B)");
  // The button takes no focus; the keyboard reaches it by this key.
  browse_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_B));
  connect(browse_, &QAction::triggered, this, &DirectoryEdit::Browse);
}

void DirectoryEdit::Browse() {
  const QString chosen = picker_.Pick(window(), text(), QDir::rootPath());
  if (!chosen.isEmpty()) setText(chosen);
}

}  // namespace veskara
