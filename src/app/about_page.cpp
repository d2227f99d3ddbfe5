#include "app/about_page.h"

#include <QFont>
#include <QLabel>
#include <QUrl>

#include "app/desktop.h"
#include "app/form_context.h"
#include "app/widgets.h"
#include "base/messages.h"
#include "platform/paths.h"
#include "search/base_statistics.h"

namespace veskara {

namespace {

// Page coordinates at design size. A caption's link stands to its right on
// the same row; the rows stand one above the other.
constexpr QPoint kTitleRow(16, 16);
constexpr QPoint kLicenceRow(16, 40);
constexpr QPoint kGuideRow(16, 88);
constexpr QPoint kTermsRow(16, 112);
constexpr int kLinkLeft = 64;
constexpr QRect kDivider(16, 139, 297, 7);
constexpr QPoint kFilesCount(16, 152);
constexpr QPoint kWordsCount(16, 168);
// A caption keeps at least this far from its link.
constexpr int kCaptionGap = 4;

LinkLabel* Link(const QString& text, QWidget* page, const char* name) {
  auto* link = new LinkLabel(text, page);
  link->setObjectName(name);
  link->adjustSize();
  return link;
}

// The README and the licence installed with the program, or those of the
// source tree when it runs from its build folder.
QString ShippedFile(std::string_view name) {
  return QString::fromStdString(ShippedFilePath(name, VESKARA_INSTALLED_DOC_DIR, VESKARA_SOURCE_DIR));
}

}  // namespace

AboutPage::AboutPage(FormContext& context, QWidget* parent) : FormPage(parent), context_(context) {
  setObjectName("TabSheet2");
  title_ = FittedLabel("Veskara " VESKARA_VERSION, this, "LabTitle");
  // Only the weight is set: the rest follows the window's font.
  QFont bold;
  bold.setBold(true);
  title_->setFont(bold);
  licence_ = FittedLabel("Free software under the GNU General Public License, version 3 or later", this, "LabLicence");
  readme_caption_ = FittedLabel("Guide:", this, "Label5");
  readme_link_ = Link(ShippedFile("README.md"), this, "Label7");
  licence_caption_ = FittedLabel("Terms:", this, "Label8");
  licence_link_ = Link(ShippedFile("LICENSE"), this, "Label9");
  divider_ = new EtchedLine(this);
  divider_->setObjectName("Bevel1");
  files_count_ = FittedLabel(QString(), this, "LabFilesCount");
  words_count_ = FittedLabel(QString(), this, "LabWordsCount");

  connect(readme_link_, &LinkLabel::clicked, this, context_.Slot([this] { Label7Click(); }));
  connect(licence_link_, &LinkLabel::clicked, this, context_.Slot([this] { Label9Click(); }));
}

void AboutPage::FitTexts(LayoutScale& scale) const {
  const int caption_room = kLinkLeft - kGuideRow.x() - kCaptionGap;
  const int row_room = kTermsRow.y() - kGuideRow.y();
  scale.FitText(*title_, title_->text(), QSize(0, kLicenceRow.y() - kTitleRow.y()));
  scale.FitText(*licence_, licence_->text(), QSize(0, kGuideRow.y() - kLicenceRow.y()));
  for (const QLabel* caption : {readme_caption_, licence_caption_}) {
    scale.FitText(*caption, caption->text(), QSize(caption_room, row_room));
  }
  for (const LinkLabel* link : {readme_link_, licence_link_}) scale.FitText(*link, link->text(), QSize(0, row_room));
  scale.FitText(*licence_caption_, QString(), QSize(0, kDivider.top() - kTermsRow.y()));
  scale.FitText(*files_count_, QString(), QSize(0, kWordsCount.y() - kFilesCount.y()));
}

void AboutPage::Place(const LayoutScale& scale, int) {
  PlaceLabel(title_, scale(kTitleRow));
  PlaceLabel(licence_, scale(kLicenceRow));
  PlaceLabel(readme_caption_, scale(kGuideRow));
  PlaceLabel(readme_link_, scale(QPoint(kLinkLeft, kGuideRow.y())));
  PlaceLabel(licence_caption_, scale(kTermsRow));
  PlaceLabel(licence_link_, scale(QPoint(kLinkLeft, kTermsRow.y())));
  divider_->setGeometry(scale(kDivider));
  PlaceLabel(files_count_, scale(kFilesCount));
  PlaceLabel(words_count_, scale(kWordsCount));
}

void AboutPage::ClearCounts() {
  SetFittedText(files_count_, QString());
  SetFittedText(words_count_, QString());
}

void AboutPage::ShowBaseStatistics() {
  const BaseStatistics counts = CountBase(context_.BaseDirectory(), context_.env());
  if (counts.files) SetFittedText(files_count_, QString::fromStdString(FilesCountText(*counts.files)));
  if (counts.words) SetFittedText(words_count_, QString::fromStdString(WordsCountText(*counts.words)));
}

void AboutPage::Label7Click() { context_.desktop().OpenUrl(QUrl::fromLocalFile(readme_link_->text())); }

void AboutPage::Label9Click() { context_.desktop().OpenUrl(QUrl::fromLocalFile(licence_link_->text())); }

}  // namespace veskara
