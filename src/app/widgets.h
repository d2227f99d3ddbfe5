// Small widgets the window is built from.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

namespace veskara {

class Desktop;

// A label of `parent` with the object name `name`, sized to its text.
QLabel* FittedLabel(const QString& text, QWidget* parent, const char* name);
// Sets a label's text and sizes the label to it.
void SetFittedText(QLabel* label, const QString& text);
// Moves a label to `pos` and sizes it to its text in its current font.
void PlaceLabel(QLabel* label, QPoint pos);

// A control's text as the user reads it: the mnemonic marker "&" before a
// letter is not shown, and "&&" shows one "&".
QString ShownText(const QString& text);

// A label that looks and acts like a link: underlined, in the palette's link
// colour, a hand cursor, and clicked() on a left click.
class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  LinkLabel(const QString& text, QWidget* parent);

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// A horizontal etched line along the top edge of its box.
class EtchedLine : public QWidget {
  Q_OBJECT
 public:
  explicit EtchedLine(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// The desktop's folder picker, with the folder last picked through it.
class FolderPicker {
 public:
  explicit FolderPicker(Desktop& desktop) : desktop_(desktop) {}

  // Opens the picker on `typed` when that is an existing folder; for an
  // empty `typed`, on the folder last picked here when it still exists;
  // else on `fallback`. Returns the chosen folder without a trailing
  // separator except for the root, and keeps it; "" when cancelled.
  QString Pick(QWidget* window, const QString& typed, const QString& fallback);

 private:
  Desktop& desktop_;
  QString last_picked_;
};

// A folder field: a line edit with a small browse button at its right end
// that opens the desktop's folder picker.
class DirectoryEdit : public QLineEdit {
  Q_OBJECT
 public:
  DirectoryEdit(Desktop& desktop, QWidget* parent);

  QAction* browseAction() const { return browse_; }

 public slots:
  // Opens the picker on the field's folder (for an empty field the folder
  // last picked in this run; else the root); confirming replaces the whole
  // text by the chosen folder.
  void Browse();

 private:
  FolderPicker picker_;
  QAction* browse_;
};

}  // namespace veskara
