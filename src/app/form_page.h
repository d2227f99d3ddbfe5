// A page of the main window's tab control. Each page owns its controls and
// their handlers, and lays them out from the design's pixels at the scale
// the window chooses for its font (LayoutScale).
#pragma once

#include <QString>
#include <QWidget>

#include "app/layout_scale.h"

namespace veskara {

class FormPage : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;

  // The text of the page's tab.
  virtual QString Title() const = 0;
  // Grows `scale` until every text of the page fits its control at the
  // page's current font.
  virtual void FitTexts(LayoutScale& scale) const = 0;
  // Puts the controls at their design places times `scale`; `grow` is how
  // many pixels wider than its scaled design size the window is.
  virtual void Place(const LayoutScale& scale, int grow) = 0;
};

}  // namespace veskara
