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

// A folder field: a line edit with a small browse button at its right end
// that opens the desktop's folder picker.
class DirectoryEdit : public QLineEdit {
  Q_OBJECT
 public:
  DirectoryEdit(Desktop& desktop, QWidget* parent);

  QAction* browseAction() const { return browse_; }

  // The folder the picker opens on: the field's folder when it exists; for
  // an empty field the folder last picked in this run; else the root.
  QString PickerStart() const;

 public slots:
  // Opens the picker; confirming replaces the whole text by the chosen
  // folder, without a trailing separator except for the root.
  void Browse();

 private:
  Desktop& desktop_;
  QAction* browse_;
  QString last_picked_;
};

}  // namespace veskara
