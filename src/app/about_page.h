// The About page: the program's name, version and licence, links to the
// README and the licence shipped with it, and the size of the base in files
// and words.
#pragma once

#include "app/form_page.h"

class QLabel;

namespace veskara {

class EtchedLine;
class FormContext;
class LinkLabel;

class AboutPage : public FormPage {
  Q_OBJECT
 public:
  // `context` must outlive the page.
  AboutPage(FormContext& context, QWidget* parent = nullptr);

  QString Title() const override { return "About"; }
  void FitTexts(LayoutScale& scale) const override;
  void Place(const LayoutScale& scale, int grow) override;

  // Empties both counts; the window's start does, before the first count.
  void ClearCounts();
  // Counts the base's files and words. A count whose file is missing or
  // cannot be opened keeps its label's text; a read failure throws.
  void ShowBaseStatistics();
  // After a scan: counts again.
  void ScanEnded() override { ShowBaseStatistics(); }

 private:
  void Label7Click();
  void Label9Click();

  FormContext& context_;
  QLabel* title_;            // LabTitle: name and version
  QLabel* licence_;          // LabLicence
  QLabel* readme_caption_;   // Label5
  LinkLabel* readme_link_;   // Label7
  QLabel* licence_caption_;  // Label8
  LinkLabel* licence_link_;  // Label9
  EtchedLine* divider_;      // Bevel1
  QLabel* files_count_;      // LabFilesCount
  QLabel* words_count_;      // LabWordsCount
};

}  // namespace veskara
