#include "app/about_page.h"

#include <QLabel>
#include <QUrl>

#include "app/desktop.h"
#include "app/form_context.h"
#include "app/widgets.h"
#include "base/messages.h"
#include "search/base_statistics.h"

namespace veskara {

namespace {

// Page coordinates at design size. A caption's link stands to its right on
// the same row; the rows stand one above the other.
constexpr QPoint kWebRow(16, 88);
constexpr QPoint kMailRow(16, 112);
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

}  // namespace

AboutPage::AboutPage(FormContext& context, QWidget* parent) : FormPage(parent), context_(context) {
  setObjectName("TabSheet2");
  web_caption_ = FittedLabel("WWW:", this, "Label5");
  web_link_ = Link(kWebPageAddress, this, "Label7");
  mail_caption_ = FittedLabel("E-mail:", this, "Label8");
  mail_link_ = Link(kMailAddress, this, "Label9");
  divider_ = new EtchedLine(this);
  divider_->setObjectName("Bevel1");
  files_count_ = FittedLabel(QString(), this, "LabFilesCount");
  words_count_ = FittedLabel(QString(), this, "LabWordsCount");

  connect(web_link_, &LinkLabel::clicked, this, context_.Slot([this] { Label7Click(); }));
  connect(mail_link_, &LinkLabel::clicked, this, context_.Slot([this] { Label9Click(); }));
}

void AboutPage::FitTexts(LayoutScale& scale) const {
  const int caption_room = kLinkLeft - kWebRow.x() - kCaptionGap;
  const int row_room = kMailRow.y() - kWebRow.y();
  for (const QLabel* caption : {web_caption_, mail_caption_}) {
    scale.FitText(*caption, caption->text(), QSize(caption_room, row_room));
  }
  for (const LinkLabel* link : {web_link_, mail_link_}) scale.FitText(*link, link->text(), QSize(0, row_room));
  scale.FitText(*mail_caption_, QString(), QSize(0, kDivider.top() - kMailRow.y()));
  scale.FitText(*files_count_, QString(), QSize(0, kWordsCount.y() - kFilesCount.y()));
}

void AboutPage::Place(const LayoutScale& scale, int) {
  PlaceLabel(web_caption_, scale(kWebRow));
  PlaceLabel(web_link_, scale(QPoint(kLinkLeft, kWebRow.y())));
  PlaceLabel(mail_caption_, scale(kMailRow));
  PlaceLabel(mail_link_, scale(QPoint(kLinkLeft, kMailRow.y())));
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

void AboutPage::Label7Click() { context_.desktop().OpenUrl(QUrl(kWebPageAddress)); }

void AboutPage::Label9Click() {
  context_.desktop().OpenUrl(QUrl(QString("mailto:") + kMailAddress + "?Subject=Veskara 1.0"));
}

}  // namespace veskara
