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

DirectoryEdit::DirectoryEdit(Desktop& desktop, QWidget* parent) : QLineEdit(parent), desktop_(desktop) {
  browse_ = addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
  browse_->setText("Choose a folder");
  browse_->setToolTip("Choose a folder (Alt+B)");
  // The button takes no focus; the keyboard reaches it by this key.
  browse_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_B));
  connect(browse_, &QAction::triggered, this, &DirectoryEdit::Browse);
}

QString DirectoryEdit::PickerStart() const {
  const QString typed = text();
  if (!typed.isEmpty() && QFileInfo(typed).isDir()) return typed;
  if (typed.isEmpty() && !last_picked_.isEmpty() && QFileInfo(last_picked_).isDir()) return last_picked_;
  return QDir::rootPath();
}

void DirectoryEdit::Browse() {
  QString chosen = desktop_.PickFolder(window(), PickerStart());
  if (chosen.isEmpty()) return;
  // cleanPath drops a trailing separator but keeps the root's.
  chosen = QDir::cleanPath(chosen);
  last_picked_ = chosen;
  setText(chosen);
}

}  // namespace veskara
