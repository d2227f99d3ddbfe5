// The main window: a tab control of pages ("Search text", "Files", "Base", "About") above the
// status panels, with the scan's progress beside them. The window composes
// its parts and routes what one part tells another; each part owns its
// controls and their handlers.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/form_context.h"
#include "app/layout_scale.h"

class QTabWidget;

namespace veskara {

class AboutPage;
class BasePage;
class BaseWatch;
class Desktop;
class FilesPage;
class FormPage;
class ScanProgress;
class SearchPage;
class StatusPanels;

class TmForm : public QMainWindow {
  Q_OBJECT
 public:
  // `desktop` and `env` must outlive the window. `base_directory` gives
  // BaseDirectory when the window is first shown; by default LocateBase's
  // folder, which the command line shares. Every call of the core goes
  // through `env`.
  TmForm(Desktop& desktop, Env& env, std::function<std::string()> base_directory = {});
  ~TmForm() override;

  const std::string& BaseDirectory() const { return context_.BaseDirectory(); }
  // What the pages share (the search's options among it).
  FormContext& Context() { return context_; }
  bool Scanning() const;

 signals:
  // A scan has ended and the window has taken its result.
  void scanFinished();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void AddPage(FormPage* page);
  void FormShow();
  void ScanEnded(const std::string& failure);
  // Chooses the scale for the current font and lays the window out.
  void ScaleToFont();
  void PlaceParts();

  FormContext context_;
  std::function<std::string()> base_directory_source_;
  std::unique_ptr<ScanProgress> scan_;
  std::unique_ptr<BaseWatch> base_watch_;
  StatusPanels* status_;
  QTabWidget* pages_;
  std::vector<FormPage*> page_list_;
  SearchPage* search_;
  FilesPage* files_;
  BasePage* base_;
  AboutPage* about_;
  LayoutScale scale_;
  bool shown_ = false;
  bool close_after_scan_ = false;
};

}  // namespace veskara
