#include "app/tm_form.h"

#include <QCloseEvent>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>
#include <exception>

#include "app/about_page.h"
#include "app/base_page.h"
#include "app/base_watch.h"
#include "app/files_page.h"
#include "app/scan_progress.h"
#include "app/search_page.h"
#include "app/status_panels.h"
#include "base/base_files.h"
#include "base/base_location.h"
#include "indexer/scan.h"
#include "platform/paths.h"
#include "platform/text_file.h"

namespace veskara {

namespace {

// The client area at design size; the window may only grow wider than this.
constexpr int kDesignWidth = 544;
constexpr int kDesignHeight = 461;

}  // namespace

TmForm::TmForm(Desktop& desktop, Env& env, std::function<std::string()> base_directory)
    : context_(desktop, *this, env), base_directory_source_(std::move(base_directory)) {
  setObjectName("mForm");
  setWindowTitle(kApplicationTitle);
  // System menu, minimise and close; no maximise, since the height is fixed.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

  status_ = new StatusPanels(this);
  setStatusBar(status_);
  scan_ = std::make_unique<ScanProgress>(*status_);
  pages_ = new QTabWidget(this);
  pages_->setObjectName("PageControl1");
  pages_->tabBar()->setFocusPolicy(Qt::NoFocus);
  setCentralWidget(pages_);

  AddPage(search_ = new SearchPage(context_, *status_, *scan_));
  AddPage(files_ = new FilesPage(context_, *status_));
  AddPage(base_ = new BasePage(context_, *scan_));
  // The boxes on the Base page show and set the search's remembered options.
  base_->SetFoldYo(context_.FoldYo());
  connect(base_, &BasePage::foldYoToggled, this, [this](bool on) { context_.SetFoldYo(on); });
  // Kept current, the base changes under the window: the watcher's updates,
  // and any other program's, show as they land. Searches read the base anew.
  base_watch_ = std::make_unique<BaseWatch>(env);
  base_->SetKeepCurrent(context_.KeepCurrent());
  connect(base_, &BasePage::keepCurrentToggled, this, [this](bool on) {
    context_.SetKeepCurrent(on);
    base_watch_->SetKeepCurrent(on);
  });
  connect(base_watch_.get(), &BaseWatch::changed, this, [this] {
    context_.Guarded([this] { base_->ShowBase(); });
    about_->ShowBaseStatistics();
  });
  connect(base_watch_.get(), &BaseWatch::updated, this, [this](const ScanSummary& summary) {
    // What changed shows on the Base page; a user's own scan is not spoken over.
    if (!scan_->Running()) base_->ShowSummary(summary);
  });
  connect(base_watch_.get(), &BaseWatch::failed, this,
          [this](const QString& message) { status_->SetPanelText(1, message); });
  base_->SetSearchAsYouType(context_.SearchAsYouType());
  connect(base_, &BasePage::searchAsYouTypeToggled, this, [this](bool on) {
    context_.SetSearchAsYouType(on);
    search_->SetSearchAsYouType(on);
  });
  connect(search_, &SearchPage::searchShown, files_, &FilesPage::ShowSearch);
  AddPage(about_ = new AboutPage(context_));

  connect(scan_.get(), &ScanProgress::started, this, [this] {
    for (FormPage* page : page_list_) page->ScanStarted();
  });
  connect(scan_.get(), &ScanProgress::finished, this, &TmForm::ScanEnded);
  for (QKeySequence keys : {QKeySequence(Qt::CTRL | Qt::Key_F), QKeySequence(Qt::CTRL | Qt::Key_L)}) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] {
      pages_->setCurrentWidget(search_);
      search_->FocusQuery();
    });
  }

  ScaleToFont();
  resize(minimumSize());
  search_->FocusQuery();
}

TmForm::~TmForm() {
  // Stops a running scan and the watcher (the old base stays) before the
  // parts go away.
  base_watch_.reset();
  scan_.reset();
}

bool TmForm::Scanning() const { return scan_->Running(); }

void TmForm::AddPage(FormPage* page) {
  pages_->addTab(page, page->Title());
  page_list_.push_back(page);
}

void TmForm::ScaleToFont() {
  LayoutScale scale;
  for (const FormPage* page : page_list_) page->FitTexts(scale);
  status_->FitTexts(scale);
  scale_ = scale;
  status_->Place(scale_);
  scan_->Place(scale_);
  // Only the width may change, and never below the design.
  setMinimumSize(scale_(kDesignWidth), scale_(kDesignHeight));
  setMaximumHeight(scale_(kDesignHeight));
  PlaceParts();
}

void TmForm::PlaceParts() {
  const int grow = std::max(0, width() - scale_(kDesignWidth));
  for (FormPage* page : page_list_) page->Place(scale_, grow);
}

void TmForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  context_.Guarded([this] { FormShow(); });
}

void TmForm::closeEvent(QCloseEvent* event) {
  if (scan_->Running()) {
    // Stop the scan at its next file, keep the old base, and close when the
    // worker has ended (ScanEnded). The window thread never blocks here.
    close_after_scan_ = true;
    scan_->RequestStop();
    event->ignore();
    return;
  }
  event->accept();
}

void TmForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  PlaceParts();
}

void TmForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // The children have taken the new font when the window hears of it.
  if (event->type() == QEvent::FontChange) ScaleToFont();
}

void TmForm::FormShow() {
  about_->ClearCounts();
  Env& env = context_.env();
  context_.SetBaseDirectory(base_directory_source_ ? base_directory_source_()
                                                   : LocateBase(std::nullopt, env).directory);
  // A commit that a crash interrupted is finished or rolled back before
  // anything reads the base. When that fails, the start still ends as usual
  // and the failure is reported after it.
  std::exception_ptr recovery_failure;
  try {
    const std::string note = RecoverBase(context_.BaseDirectory(), env);
    if (!note.empty()) recovery_failure = std::make_exception_ptr(std::runtime_error(note));
  } catch (...) {
    recovery_failure = std::current_exception();
  }
  // Searching as the query is typed needs the base's folder.
  search_->SetSearchAsYouType(context_.SearchAsYouType());
  if (!FileExists(WordsFilePath(context_.BaseDirectory()), env)) {
    status_->SetPanelText(1, "First, you should add to base one or more directory...");
  }
  pages_->setCurrentWidget(search_);
  base_watch_->Follow(context_.BaseDirectory());
  base_watch_->SetKeepCurrent(context_.KeepCurrent());
  // A damaged list of folders must not keep the counts or the recovery's
  // failure unsaid.
  context_.Guarded([this] { base_->ShowBase(); });
  about_->ShowBaseStatistics();
  if (recovery_failure) std::rethrow_exception(recovery_failure);
}

void TmForm::ScanEnded(const std::string& failure) {
  const std::optional<ScanSummary>& summary = scan_->LastSummary();
  status_->ShowUnread(summary ? summary->unread : std::vector<UnreadDocument>{});
  // The first scan makes the base folder; it is followed from then on.
  base_watch_->Follow(context_.BaseDirectory());
  for (FormPage* page : page_list_) context_.Guarded([page] { page->ScanEnded(); });
  if (!failure.empty() && !close_after_scan_) context_.ShowErrorReport(failure);
  emit scanFinished();
  if (close_after_scan_) close();
}

}  // namespace veskara
