#include "app/main_window.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>

#include "app/about_page.h"
#include "app/clock.h"
#include "app/dialogs.h"
#include "app/guard.h"
#include "app/labeled_edit.h"
#include "app/skin.h"
#include "gsm/arfcn_page.h"
#include "instrument/dcsource_page.h"
#include "instrument/testset_page.h"

namespace vexa {
namespace {

// At design size every sheet is 594 pixels wide; the layout rules are written against it.
constexpr int kSheetMargin = TForm1::kDesignWidth - 594;
// The view selectors keep their design distance to the window's lower right corner.
constexpr int kSelectorRight = TForm1::kDesignWidth - 504;
constexpr int kSelectorBottom = TForm1::kDesignHeight - 264;

void SetLeft(std::initializer_list<QWidget*> controls, int left) {
  for (QWidget* control : controls) {
    control->move(left, control->y());
    if (auto* labeled = qobject_cast<LabeledEdit*>(control))
      labeled->PlaceLabel();
  }
}

void SetWidth(std::initializer_list<QWidget*> controls, int width) {
  for (QWidget* control : controls)
    control->resize(width, control->height());
}

QWidget* MakeSheet(const char* name) {
  auto* sheet = new QWidget;
  sheet->setObjectName(QLatin1String(name));
  return sheet;
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromLatin1(kAppTitle));
  SkinData1 = new SkinData(this);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setUsesScrollButtons(false);

  TabSheet1 = new ArfcnPage;
  TabSheet3 = MakeSheet("TabSheet3");
  TabSheet4 = MakeSheet("TabSheet4");
  TabSheet5 = MakeSheet("TabSheet5");
  TabSheet7 = MakeSheet("TabSheet7");
  TabSheet2 = MakeSheet("TabSheet2");
  TabSheet6 = MakeSheet("TabSheet6");
  TabSheet8 = MakeSheet("TabSheet8");
  TabSheet9 = MakeSheet("TabSheet9");
  TabSheet10 = MakeSheet("TabSheet10");
  TabSheet12 = MakeSheet("TabSheet12");
  TabSheet13 = new TestSetPage;
  TabSheet14 = new DcSourcePage;
  TabSheet11 = new AboutPage(SkinData1);

  gsm_views_ = {TabSheet1, TabSheet3, TabSheet4, TabSheet5, TabSheet7};
  const std::pair<QWidget*, const char*> sheets[] = {
      {TabSheet1, "GSM"},    {TabSheet3, "GSM"},    {TabSheet4, "GSM"},  {TabSheet5, "GSM"},
      {TabSheet7, "GSM"},    {TabSheet2, "TRANS"},  {TabSheet6, "RX"},   {TabSheet8, "MATCH"},
      {TabSheet9, "FILTER"}, {TabSheet10, "SMITH"}, {TabSheet12, "PLL"}, {TabSheet13, "8960"},
      {TabSheet14, "66319"}, {TabSheet11, "ABOUT"}};
  for (const auto& [sheet, caption] : sheets)
    PageControl1->addTab(sheet, QLatin1String(caption));
  for (int view = 1; view < 5; ++view)
    PageControl1->setTabVisible(view, false);
  BuildGsmViewSelectors();

  Label22 = new QLabel(TabSheet1);
  Label22->setObjectName(QStringLiteral("Label22"));
  Label22->move(476, 8);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

  FormCreate();

  resize(kDesignWidth, kDesignHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  PageControl1->setCurrentWidget(TabSheet13);
  Timer1->start();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
  // 1. The band updaters; E-GSM last, so the harmonics list shows E-GSM channel 62.
  for (GsmBand band : {GsmBand::DCS, GsmBand::PCS, GsmBand::GSM850, GsmBand::EGSM}) {
    TabSheet1->UpdateChannel(band);
  }
  // 2. The clock, filled before its first tick.
  Timer1Timer();
  // 3. to 5. The schematic captions, the Smith grid and the receiver grid join here with
  //    their pages.
  // 6. The About text.
  TabSheet11->InitAboutText();
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
    selector->move(width() - kSelectorRight, height() - kSelectorBottom);
  }
  // The rest follows the sheets' width. (The reference views' memos join with their pages.)
  const int sheet_width = width() - kSheetMargin;
  const TestSetPage* testset = TabSheet13;
  SetWidth({testset->Memo4, testset->DriverNote}, sheet_width - 153);
  SetLeft({testset->Edit28, testset->Btpl, testset->Bstart, testset->Bstop, testset->Label77},
          sheet_width - 146);
  const DcSourcePage* dcsource = TabSheet14;
  SetWidth({dcsource->Memo5, dcsource->DriverNote}, sheet_width - 153);
  SetLeft({dcsource->Edit29, dcsource->LabeledEdit14, dcsource->LabeledEdit16, dcsource->ComboBox12,
           dcsource->CheckBox2, dcsource->CheckBox3, dcsource->Label75, dcsource->Label76,
           dcsource->Button10, dcsource->Button1},
          sheet_width - 146);
  SetLeft({dcsource->LabeledEdit15, dcsource->LabeledEdit17}, sheet_width - 82);
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
// window manager's drag produced is put back to the design size.
void TForm1::RestoreDesignSizeIfDragged() {
  if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
    return;
  if (size() == QSize(kDesignWidth, kDesignHeight))
    return;
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
}

void TForm1::closeEvent(QCloseEvent* event) {
  FormClose();
  QWidget::closeEvent(event);
}

void TForm1::FormClose() {
  // The instrument workers are cancelled here once their pages exist, so a run cut off by
  // closing the window writes no log and the program does not wait for a bus time-out.
}

}  // namespace vexa
