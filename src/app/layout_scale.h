// The window's layout is written in pixels for its design font. A larger
// font grows every measure by one factor, just enough for each text to fit
// the room the design gives it, so that nothing is cut off and the layout
// keeps its proportions. While the texts fit the written room the factor is
// 1 and the written pixels hold exactly; it never goes below 1.
//
// Scaled measures keep neighbours apart: two design measures d apart come
// out at least floor(d * factor) pixels apart, so a text that was fitted to
// d never reaches the control d further on.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QLineEdit;
class QPushButton;
class QWidget;

namespace veskara {

class LayoutScale {
 public:
  double factor() const { return factor_; }

  // Grows the factor until `needed` pixels fit in `design` pixels. A design
  // of 0 or less bounds nothing.
  void Fit(int needed, int design);
  // Until one line of `text` in `widget`'s font, a mnemonic's "&" not shown,
  // fits in `room`, of which `frame` pixels are the control's own (borders,
  // margins) and do not grow.
  void FitText(const QWidget& widget, const QString& text, QSize room, QSize frame = {});
  // Until the button's text fits inside its frame at the design `size`.
  void FitButton(const QPushButton& button, QSize size);
  // Until a line edit `height` pixels high shows a whole line of text.
  void FitLineEdit(const QLineEdit& edit, int height);

  // A design measure, point or rectangle at this scale.
  int operator()(int design) const;
  QPoint operator()(QPoint design) const;
  QRect operator()(const QRect& design) const;

  bool operator==(const LayoutScale&) const = default;

 private:
  double factor_ = 1.0;
};

}  // namespace veskara
