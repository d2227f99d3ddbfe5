// The About page: the two links and the size of the base.
#include <QLabel>
#include <QString>
#include <QUrl>

#include "app/desktop.h"
#include "app/tm_form.h"
#include "app/widgets.h"
#include "search/base_statistics.h"

namespace veskara {

void TmForm::BuildAboutPage() {
  QWidget* page = TabSheet2;
  Label5 = FittedLabel("WWW:", page, 16, 88, "Label5");
  Label7 = new LinkLabel(kWebPageAddress, page);
  Label7->setObjectName("Label7");
  Label7->move(64, 88);
  Label7->adjustSize();
  Label8 = FittedLabel("E-mail:", page, 16, 112, "Label8");
  Label9 = new LinkLabel(kMailAddress, page);
  Label9->setObjectName("Label9");
  Label9->move(64, 112);
  Label9->adjustSize();
  Bevel1 = new EtchedLine(page);
  Bevel1->setObjectName("Bevel1");
  Bevel1->setGeometry(16, 139, 297, 7);
  LabFilesCount = FittedLabel(QString(), page, 16, 152, "LabFilesCount");
  LabWordsCount = FittedLabel(QString(), page, 16, 168, "LabWordsCount");
}

void TmForm::ShowBaseStatistics() {
  const BaseStatistics counts = CountBase(base_directory_);
  if (counts.files_label) SetFittedText(LabFilesCount, QString::fromStdString(*counts.files_label));
  if (counts.words_label) SetFittedText(LabWordsCount, QString::fromStdString(*counts.words_label));
}

void TmForm::Label7Click() { desktop_.OpenUrl(QUrl(kWebPageAddress)); }

void TmForm::Label9Click() { desktop_.OpenUrl(QUrl(QString("mailto:") + kMailAddress + "?Subject=Veskara 1.0")); }

}  // namespace veskara
