// The window's status bar with its two panels: the step panel (0), which a
// scan writes its step into, and the message panel (1), which takes the rest
// of the bar. Plain sunken texts, left-aligned; a text stays until the next
// write replaces it.
#pragma once

#include <QStatusBar>
#include <QString>
#include <vector>

#include "app/layout_scale.h"

class QLabel;

namespace veskara {

struct UnreadDocument;

class StatusPanels : public QStatusBar {
  Q_OBJECT
 public:
  explicit StatusPanels(QWidget* parent);

  QString PanelText(int panel) const;
  // Window thread only. Emits panelTextChanged, also for the same text.
  void SetPanelText(int panel, const QString& text);

  // The documents the last scan could not read, as the message panel's
  // tooltip ("N files could not be read:" and the first of them with their
  // reasons); none: no tooltip. The written panel texts stay as they are.
  void ShowUnread(const std::vector<UnreadDocument>& unread);

  // Grows `scale` until the step panel holds every step text.
  void FitTexts(LayoutScale& scale) const;
  void Place(const LayoutScale& scale);

 signals:
  // A panel got a new text (also when it is the same text).
  void panelTextChanged(int panel, const QString& text);

 private:
  QLabel* panels_[2];
  int item_margin_ = 0;  // what the bar keeps above and below its items
};

}  // namespace veskara
