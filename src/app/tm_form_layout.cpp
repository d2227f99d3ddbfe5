// Building the window: the frame, the search page and the status bar at
// their design places, the anchoring when it is widened, and the wiring of
// every control to its handler. The About page builds itself in
// tm_form_about.cpp.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

#include "app/desktop.h"
#include "app/scan_thread.h"
#include "app/tm_form.h"
#include "app/widgets.h"
#include "base/base.h"

namespace veskara {

namespace {

// The design's client area; the window may only grow wider than this.
constexpr int kDesignWidth = 544;
constexpr int kDesignHeight = 461;
constexpr int kStatusBarHeight = 19;
constexpr int kStepPanelWidth = 70;

// Page coordinates of the search page's controls at design size.
constexpr int kFieldLeft = 16;
constexpr int kFieldWidth = 415;
constexpr int kButtonLeft = 446;
constexpr int kButtonWidth = 73;
constexpr int kButtonHeight = 22;

QPushButton* Button(const QString& text, QWidget* page, const char* name) {
  auto* button = new QPushButton(text, page);
  button->setObjectName(name);
  // A click must not take the focus from the field or list that has it.
  button->setFocusPolicy(Qt::NoFocus);
  button->setAutoDefault(false);
  return button;
}

QListWidget* ListBox(QWidget* page, const char* name) {
  auto* list = new QListWidget(page);
  list->setObjectName(name);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSortingEnabled(false);
  // A one-letter search can list every word of the base.
  list->setUniformItemSizes(true);
  return list;
}

}  // namespace

TmForm::TmForm(Desktop& desktop, std::function<std::string()> base_directory)
    : desktop_(desktop), base_directory_source_(std::move(base_directory)), base_state_(std::make_unique<BaseState>()) {
  setObjectName("mForm");
  setWindowTitle(kApplicationTitle);
  // System menu, minimise and close; no maximise, since the height is fixed.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setMinimumSize(kDesignWidth, kDesignHeight);
  setMaximumHeight(kDesignHeight);
  resize(kDesignWidth, kDesignHeight);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName("TabSheet1");
  TabSheet2 = new QWidget;
  TabSheet2->setObjectName("TabSheet2");
  PageControl1->addTab(TabSheet1, "Search text");
  PageControl1->addTab(TabSheet2, "About");
  setCentralWidget(PageControl1);

  BuildSearchPage();
  BuildAboutPage();
  BuildStatusBar();
  ConnectHandlers();
  PlaceControls();
  Edit1->setFocus();
}

TmForm::~TmForm() {
  // Stops a running scan (the old base stays) before the controls go away.
  scan_thread_.reset();
}

void TmForm::BuildSearchPage() {
  QWidget* page = TabSheet1;
  Label1 = FittedLabel("Text to search:", page, 16, 16, "Label1");
  Edit1 = new QLineEdit(page);
  Edit1->setObjectName("Edit1");
  btnGO = Button("Search", page, "btnGO");
  Label2 = FittedLabel("Found words:", page, 16, 72, "Label2");
  ListBox1 = ListBox(page, "ListBox1");
  Label3 = FittedLabel("Found files:", page, 16, 208, "Label3");
  ListBox2 = ListBox(page, "ListBox2");
  btnOpen = Button("Open", page, "btnOpen");
  Label4 = FittedLabel("Directory to scan:", page, 16, 352, "Label4");
  DirEdit = new DirectoryEdit(desktop_, page);
  DirEdit->setObjectName("DirEdit");
  btnScan = Button("Add to base", page, "btnScan");

  setTabOrder(Edit1, ListBox1);
  setTabOrder(ListBox1, ListBox2);
  setTabOrder(ListBox2, DirEdit);

  // The found-files list's own menu, with its keys working in the list.
  auto add_action = [this](const QString& text, const QList<QKeySequence>& keys, void (TmForm::*handler)()) {
    auto* action = new QAction(text, ListBox2);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WidgetShortcut);
    connect(action, &QAction::triggered, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    ListBox2->addAction(action);
  };
  // Enter first, so the menu shows the key users call it by.
  add_action("Open", {QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)}, &TmForm::btnOpenClick);
  add_action("Open containing folder", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)}, &TmForm::OpenContainingFolder);
  add_action("Copy path", {QKeySequence::Copy}, &TmForm::CopyPath);
  ListBox2->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TmForm::BuildStatusBar() {
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName("StatusBar");
  StatusBar->setFixedHeight(kStatusBarHeight);
  StatusBar->setSizeGripEnabled(true);
  for (int i = 0; i < 2; ++i) {
    auto* panel = new QLabel(StatusBar);
    panel->setObjectName(i == 0 ? "StatusPanel0" : "StatusPanel1");
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Long texts must not widen the window.
    panel->setMinimumWidth(0);
    panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    panels_[i] = panel;
  }
  panels_[0]->setFixedWidth(kStepPanelWidth);
  panels_[0]->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  StatusBar->addWidget(panels_[0]);
  StatusBar->addWidget(panels_[1], 1);
  ScanProgress = new QProgressBar(StatusBar);
  ScanProgress->setObjectName("ScanProgress");
  ScanProgress->setRange(0, 1000);
  ScanProgress->setFixedWidth(160);
  ScanProgress->setTextVisible(true);
  ScanProgress->hide();
  StatusBar->addPermanentWidget(ScanProgress);
  setStatusBar(StatusBar);
}

void TmForm::ConnectHandlers() {
  auto guarded = [this](void (TmForm::*handler)()) {
    return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
  };
  connect(btnGO, &QPushButton::clicked, this, guarded(&TmForm::btnGOClick));
  connect(Edit1, &QLineEdit::returnPressed, this, guarded(&TmForm::btnGOClick));
  connect(btnOpen, &QPushButton::clicked, this, guarded(&TmForm::btnOpenClick));
  connect(ListBox2, &QListWidget::itemDoubleClicked, this, guarded(&TmForm::btnOpenClick));
  connect(btnScan, &QPushButton::clicked, this, guarded(&TmForm::btnScanClick));
  connect(Label7, &LinkLabel::clicked, this, guarded(&TmForm::Label7Click));
  connect(Label9, &LinkLabel::clicked, this, guarded(&TmForm::Label9Click));

  // Choosing an entry, by mouse or keys, lists its files. A click on the
  // row that is already selected lists them again (it changes no
  // selection), which lets the user retry after a failed lookup.
  connect(ListBox1, &QListWidget::itemSelectionChanged, this, [this] {
    press_changed_selection_ = true;
    Guarded([this] { ListBox1Click(); });
  });
  connect(ListBox1, &QListWidget::itemPressed, this, [this] {
    if (!press_changed_selection_) Guarded([this] { ListBox1Click(); });
  });
  ListBox1->viewport()->installEventFilter(this);
  ListBox2->viewport()->installEventFilter(this);
  Edit1->installEventFilter(this);

  for (QKeySequence keys : {QKeySequence(Qt::CTRL | Qt::Key_F), QKeySequence(Qt::CTRL | Qt::Key_L)}) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, [this] {
      PageControl1->setCurrentWidget(TabSheet1);
      Edit1->setFocus(Qt::ShortcutFocusReason);
      Edit1->selectAll();
    });
  }
}

void TmForm::PlaceControls() {
  // Fields and lists stretch with the window; the buttons keep their
  // distance from the right edge.
  const int grow = std::max(0, width() - kDesignWidth);
  const int button_left = kButtonLeft + grow;
  Edit1->setGeometry(kFieldLeft, 32, kFieldWidth + grow, 21);
  btnGO->setGeometry(button_left, 32, kButtonWidth, kButtonHeight);
  ListBox1->setGeometry(kFieldLeft, 88, kFieldWidth + grow, 97);
  ListBox2->setGeometry(kFieldLeft, 224, kFieldWidth + grow, 97);
  btnOpen->setGeometry(button_left, 224, kButtonWidth, kButtonHeight);
  DirEdit->setGeometry(kFieldLeft, 368, kFieldWidth + grow, 21);
  btnScan->setGeometry(button_left, 368, kButtonWidth, kButtonHeight);
}

}  // namespace veskara
