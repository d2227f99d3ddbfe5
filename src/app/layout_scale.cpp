#include "app/layout_scale.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <cmath>

#include "app/widgets.h"

namespace veskara {

void LayoutScale::Fit(int needed, int design) {
  if (design <= 0 || needed <= design * factor_) return;
  // A hair over the exact ratio, so that rounding never lands a pixel short.
  factor_ = static_cast<double>(needed) / design + 1e-9;
}

void LayoutScale::FitText(const QWidget& widget, const QString& text, QSize room, QSize frame) {
  const QFontMetrics metrics = widget.fontMetrics();
  Fit(metrics.horizontalAdvance(ShownText(text)) + frame.width(), room.width());
  Fit(metrics.height() + frame.height(), room.height());
}

void LayoutScale::FitButton(const QPushButton& button, QSize size) {
  QStyleOptionButton option;
  option.initFrom(&button);
  option.rect = QRect(QPoint(), size);
  option.text = button.text();
  const QSize room = button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button).size();
  FitText(button, button.text(), size, size - room);
}

void LayoutScale::FitLineEdit(const QLineEdit& edit, int height) {
  const int frame = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &edit);
  FitText(edit, QString(), QSize(0, height), QSize(0, 2 * frame));
}

int LayoutScale::operator()(int design) const { return static_cast<int>(std::lround(design * factor_)); }

QPoint LayoutScale::operator()(QPoint design) const { return {(*this)(design.x()), (*this)(design.y())}; }

QRect LayoutScale::operator()(const QRect& design) const {
  return {(*this)(design.left()), (*this)(design.top()), (*this)(design.width()), (*this)(design.height())};
}

}  // namespace veskara
