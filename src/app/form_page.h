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

  // A scan of the base has started, from whichever page: controls that
  // would start another are disabled until ScanEnded.
  virtual void ScanStarted() {}
  // The scan has ended and its result (or the old base) is in place: the
  // page shows what it now holds. May throw; the window reports it.
  virtual void ScanEnded() {}
};

}  // namespace veskara
