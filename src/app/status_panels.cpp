#include "app/status_panels.h"

#include <QLabel>
#include <QLayout>

#include "base/messages.h"
#include "indexer/scan.h"

namespace veskara {

namespace {

constexpr int kDesignHeight = 19;
constexpr int kStepPanelWidth = 70;

}  // namespace

StatusPanels::StatusPanels(QWidget* parent) : QStatusBar(parent) {
  setObjectName("StatusBar");
  setSizeGripEnabled(true);
  for (int i = 0; i < 2; ++i) {
    auto* panel = new QLabel(this);
    panel->setObjectName(i == 0 ? "StatusPanel0" : "StatusPanel1");
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Long texts must not widen the window.
    panel->setMinimumWidth(0);
    panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    panels_[i] = panel;
  }
  panels_[0]->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  addWidget(panels_[0]);
  addWidget(panels_[1], 1);
  Place(LayoutScale());
  layout()->activate();
  item_margin_ = height() - panels_[0]->height();
}

void StatusPanels::ShowUnread(const std::vector<UnreadDocument>& unread) {
  constexpr size_t kListed = 20;  // a tooltip taller than a screen helps nobody
  QString tip = QString::fromLocal8Bit(UnreadReport(unread, kListed));
  while (tip.endsWith('\n')) tip.chop(1);
  panels_[1]->setToolTip(tip.replace('\t', " \u2014 "));
}

QString StatusPanels::PanelText(int panel) const { return panels_[panel]->text(); }

void StatusPanels::SetPanelText(int panel, const QString& text) {
  panels_[panel]->setText(text);
  emit panelTextChanged(panel, text);
}

void StatusPanels::FitTexts(LayoutScale& scale) const {
  const QLabel& step = *panels_[0];
  // A line may touch the panel's bevel, as it does at the design size.
  const QSize frame(2 * step.frameWidth(), item_margin_);
  for (int i = 1; i <= kScanSteps; ++i) {
    scale.FitText(step, QString::fromStdString(StepText(i)), QSize(kStepPanelWidth, kDesignHeight), frame);
  }
}

void StatusPanels::Place(const LayoutScale& scale) {
  setFixedHeight(scale(kDesignHeight));
  panels_[0]->setFixedWidth(scale(kStepPanelWidth));
}

}  // namespace veskara
