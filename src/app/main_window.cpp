#include "app/main_window.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSignalBlocker>
#include <QWindow>
#include <algorithm>
#include <functional>

#include "app/about_page.h"
#include "app/clock.h"
#include "conversions/trans_page.h"
#include "design/filter_page.h"
#include "design/pll_page.h"
#include "design/rx_page.h"
#include "gsm/arfcn_page.h"
#include "gsm/pvt_page.h"
#include "gsm/reference_pages.h"
#include "instrument/pages/dcsource_page.h"
#include "instrument/pages/testset_page.h"
#include "instrument/runs/instrument_station.h"
#include "matching/match_page.h"
#include "matching/smith_page.h"
#include "ui/dialogs.h"
#include "ui/guard.h"
#include "ui/page.h"
#include "ui/skin.h"

namespace vexa {
namespace {

// The view selectors keep their design distance to the window's lower right corner.
constexpr int kSelectorRight = TForm1::kDesignWidth - 504;
constexpr int kSelectorBottom = TForm1::kDesignHeight - 264;

// The sheet the window opens on.
constexpr const char* kOpeningSheet = "TabSheet13";

// Steps of the window's creation that belong to the main window itself.
constexpr int kClockStep = 2;
constexpr int kLastCreateStep = 6;

template <typename T>
T* Keep(T*& member, T* page) {
  member = page;
  return page;
}

}  // namespace

// One line per sheet, in tab order: form name, tab caption, how to build the page, and the
// step of the window's creation at which its FormCreate runs (0: it has none). Adding a page
// is one line here plus the page's own folder.
struct TForm1::PageEntry {
  const char* sheet;
  const char* caption;
  std::function<Page*(TForm1&)> make;
  int create_step;
};

const std::vector<TForm1::PageEntry>& TForm1::PageTable() {
  static const std::vector<PageEntry> table = {
      {"TabSheet1", "GSM", [](TForm1& f) { return Keep(f.TabSheet1, new ArfcnPage); }, 1},
      {"TabSheet3", "GSM", [](TForm1& f) { return Keep(f.TabSheet3, new PclPage); }, 0},
      {"TabSheet4", "GSM", [](TForm1& f) { return Keep(f.TabSheet4, new PvtPage); }, 0},
      {"TabSheet5", "GSM", [](TForm1& f) { return Keep(f.TabSheet5, new OrfsPage); }, 0},
      {"TabSheet7", "GSM", [](TForm1& f) { return Keep(f.TabSheet7, new SpurPage); }, 0},
      {"TabSheet2", "TRANS", [](TForm1& f) { return Keep(f.TabSheet2, new TransPage); }, 3},
      {"TabSheet6", "RX", [](TForm1& f) { return Keep(f.TabSheet6, new RxPage); }, 5},
      {"TabSheet8", "MATCH", [](TForm1& f) { return Keep(f.TabSheet8, new MatchPage); }, 3},
      {"TabSheet9", "FILTER", [](TForm1& f) { return Keep(f.TabSheet9, new FilterPage); }, 0},
      {"TabSheet10", "SMITH", [](TForm1& f) { return Keep(f.TabSheet10, new SmithPage); }, 4},
      {"TabSheet12", "PLL", [](TForm1& f) { return Keep(f.TabSheet12, new PllPage); }, 3},
      {"TabSheet13", "8960",
       [](TForm1& f) { return Keep(f.TabSheet13, new TestSetPage(f.Station())); }, 0},
      {"TabSheet14", "66319",
       [](TForm1& f) { return Keep(f.TabSheet14, new DcSourcePage(f.Station())); }, 0},
      {"TabSheet11", "ABOUT",
       [](TForm1& f) { return Keep(f.TabSheet11, new AboutPage(f.SkinData1)); }, 6},
  };
  return table;
}

TForm1::TForm1(QWidget* parent, PageBuild build)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      station_(std::make_unique<InstrumentStation>()) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromLatin1(kAppTitle));
  SkinData1 = new SkinData(this);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setUsesScrollButtons(false);

  // The page the window opens on is built first, the others take their sheets' places in
  // BuildRemainingPages(); in either build the window ends up the same, with the same focus
  // order.
  for (const PageEntry& entry : PageTable()) {
    QWidget* sheet = nullptr;
    if (qstrcmp(entry.sheet, kOpeningSheet) == 0) {
      Page* page = entry.make(*this);
      page->setObjectName(QLatin1String(entry.sheet));
      page->installEventFilter(this);
      pages_.push_back(page);
      sheet = page;
    } else {
      pages_.push_back(nullptr);
      sheet = new QWidget;  // a stand-in
    }
    PageControl1->addTab(sheet, QLatin1String(entry.caption));
  }
  for (int view = 1; view < 5; ++view)
    PageControl1->setTabVisible(view, false);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

  resize(kDesignWidth, kDesignHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  PageControl1->setCurrentWidget(TabSheet13);
  if (build == PageBuild::kAll)
    BuildRemainingPages();
}

void TForm1::BuildRemainingPages() {
  if (TabSheet1)
    return;
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i])
      continue;
    const PageEntry& entry = PageTable()[i];
    Page* page = entry.make(*this);
    page->setObjectName(QLatin1String(entry.sheet));
    page->installEventFilter(this);
    pages_[i] = page;
    const int index = static_cast<int>(i);
    QWidget* stand_in = PageControl1->widget(index);
    PageControl1->insertTab(index, page, QLatin1String(entry.caption));
    PageControl1->removeTab(index + 1);
    delete stand_in;
  }
  gsm_views_ = {TabSheet1, TabSheet3, TabSheet4, TabSheet5, TabSheet7};
  for (int view = 1; view < 5; ++view)
    PageControl1->setTabVisible(view, false);
  BuildGsmViewSelectors();

  Label22 = new QLabel(TabSheet1);
  Label22->setObjectName(QStringLiteral("Label22"));
  Label22->move(476, 8);

  FormCreate();
  if (isVisible()) {
    // Built after the first paint: the sheets already have their size, which the new pages
    // take as they would have from the page control's first resize.
    LayoutPages();
    const QSize sheet = PageControl1->currentWidget()->size();
    for (Page* page : pages_)
      page->Relayout(sheet.width(), sheet.height());
  }
  Timer1->start();
}

// Runs from the event loop, where a failure cannot reach main(): it ends the program the way a
// failed start-up does.
void TForm1::BuildRemainingPagesOrQuit() {
  try {
    BuildRemainingPages();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QString::fromLatin1(kAppTitle),
                          QString::fromLocal8Bit(error.what()));
    QCoreApplication::exit(1);
  }
}

TForm1::~TForm1() {
  // The pages are the window's children, which Qt deletes after the members: the two that work
  // on the station go first.
  for (Page* page : {static_cast<Page*>(TabSheet13), static_cast<Page*>(TabSheet14)}) {
    std::replace(pages_.begin(), pages_.end(), page, static_cast<Page*>(nullptr));
    delete page;
  }
  TabSheet13 = nullptr;
  TabSheet14 = nullptr;
}

void TForm1::FormCreate() {
  // 1. the band updaters; 2. the clock, filled before its first tick; 3. to 5. the schematic
  // captions, the Smith grid and the receiver grid; 6. the About text.
  for (int step = 1; step <= kLastCreateStep; ++step) {
    if (step == kClockStep)
      Timer1Timer();
    for (std::size_t i = 0; i < pages_.size(); ++i) {
      if (PageTable()[i].create_step == step)
        pages_[i]->FormCreate();
    }
  }
}

void TForm1::BuildGsmViewSelectors() {
  static const char* const kNames[5] = {"ComboBox7", "ComboBox8", "ComboBox9", "ComboBox10",
                                        "ComboBox11"};
  for (int view = 0; view < 5; ++view) {
    auto* selector = new QComboBox(gsm_views_[view]);
    selector->setObjectName(QLatin1String(kNames[view]));
    // Not editable: a selector always names a view, so a GSM tab always remains.
    selector->addItems({"ARFCN", "PCL", "PVT", "ORFS", "SPUR"});
    selector->setCurrentIndex(view);
    selector->setGeometry(504, 264, 65, selector->sizeHint().height());
    connect(selector, &QComboBox::activated, this,
            [this, view] { Guarded([this, view] { ShowGsmView(view); }); });
    GsmViewSelectors[view] = selector;
  }
}

void TForm1::ShowGsmView(int selector) {
  PageControl1->setTabVisible(PageControl1->indexOf(gsm_views_[selector]), false);
  const int view = GsmViewSelectors[selector]->currentIndex();
  if (view < 0 || view >= 5)
    return;
  PageControl1->setTabVisible(PageControl1->indexOf(gsm_views_[view]), true);
  PageControl1->setCurrentWidget(gsm_views_[view]);
  const QSignalBlocker blocker(GsmViewSelectors[view]);
  GsmViewSelectors[view]->setCurrentIndex(view);
}

void TForm1::Timer1Timer() {
  Label22->setText(ClockText(QDateTime::currentDateTime()));
  Label22->adjustSize();
}

void TForm1::LayoutPages() {
  PageControl1->setGeometry(rect());
  for (QComboBox* selector : GsmViewSelectors) {
    if (selector)  // null until BuildRemainingPages()
      selector->move(width() - kSelectorRight, height() - kSelectorBottom);
  }
}

// The page control sizes only the sheet it shows; the others take that size when they are
// shown. So the shown sheet's measured size is handed to every page at once.
// With kVisibleFirst it also waits for the window's first expose, which paints the window
// while it is handled; the remaining pages are built in the next pass of the event loop.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle()) {
    if (event->type() == QEvent::Expose && windowHandle()->isExposed()) {
      windowHandle()->removeEventFilter(this);
      QTimer::singleShot(0, this, &TForm1::BuildRemainingPagesOrQuit);
    }
  } else if (event->type() == QEvent::Resize) {
    const QSize sheet = static_cast<QWidget*>(watched)->size();
    Guarded([this, sheet] {
      for (Page* page : pages_) {
        if (page)
          page->Relayout(sheet.width(), sheet.height());
      }
    });
  }
  return QWidget::eventFilter(watched, event);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Guarded([this] { LayoutPages(); });
  RestoreDesignSizeIfDragged();
}

void TForm1::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange)
    RestoreDesignSizeIfDragged();
}

// The border is fixed: only maximising (or full screen) changes the size. A size that a
// window manager's drag produced is put back to the design size, once per size: a window
// manager that gives the same size again (a tiling one, or a screen smaller than the window)
// keeps it, and the pages follow that size like a maximised window's.
void TForm1::RestoreDesignSizeIfDragged() {
  if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
    return;
  if (size() == QSize(kDesignWidth, kDesignHeight) || size() == size_put_back_)
    return;
  size_put_back_ = size();
  QTimer::singleShot(0, this, [this] {
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))) {
      resize(kDesignWidth, kDesignHeight);
    }
  });
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_once_)
    return;
  shown_once_ = true;
  TabSheet13->Memo4->setFocus();  // the window opens with the run log focused
  // kVisibleFirst: the other pages follow the first paint (see eventFilter).
  if (!TabSheet1) {
    if (QWindow* window = windowHandle())
      window->installEventFilter(this);
    else
      QTimer::singleShot(0, this, &TForm1::BuildRemainingPagesOrQuit);
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  FormClose();
  QWidget::closeEvent(event);
}

void TForm1::FormClose() {
  // The instrument runs are cancelled here, so a run cut off by closing the window writes no
  // log; each page waits for its worker's bus call in progress when it is destroyed.
  for (Page* page : pages_) {
    if (page)
      page->FormClose();
  }
}

}  // namespace vexa
