// The main window: hosts the pages, switches the GSM views, runs the clock, hands the sheets'
// size to the pages when the window is maximised or restored, and stops the workers when it
// closes.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

namespace vexa {

class AboutPage;
class ArfcnPage;
class DcSourcePage;
class FilterPage;
class PllPage;
class PvtPage;
class PclPage;
class OrfsPage;
class SpurPage;
class RxPage;
class SmithPage;
class TransPage;
class MatchPage;
class Page;
class SkinData;
class TestSetPage;
struct InstrumentStation;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Client area at design size.
  static constexpr int kDesignWidth = 602;
  static constexpr int kDesignHeight = 384;

  // kAll builds the whole window in the constructor. kVisibleFirst builds the page the window
  // opens on (8960) and stand-ins for the other sheets; the other pages, the view selectors
  // and the clock follow, with the window's creation steps, right after the window's first
  // paint, so that it shows sooner. Until then those members are null.
  enum class PageBuild { kAll, kVisibleFirst };

  explicit TForm1(QWidget* parent = nullptr, PageBuild build = PageBuild::kAll);
  // Ends the instrument pages (their work on the station) before the station goes.
  ~TForm1() override;

  // Builds what kVisibleFirst leaves for later and runs the window's creation steps; does
  // nothing once they have run.
  void BuildRemainingPages();

  // Places the page control and the view selectors for the window's size; the pages follow
  // their sheets' size on their own resize (see eventFilter).
  void LayoutPages();

  // The instruments the "8960" and "66319" pages and the test-plan window work on.
  InstrumentStation& Station() { return *station_; }

  QTabWidget* PageControl1;
  // The sheets, in tab order. The five GSM views share the one "GSM" tab.
  ArfcnPage* TabSheet1 = nullptr;
  PclPage* TabSheet3 = nullptr;
  PvtPage* TabSheet4 = nullptr;
  OrfsPage* TabSheet5 = nullptr;
  SpurPage* TabSheet7 = nullptr;
  TransPage* TabSheet2 = nullptr;
  RxPage* TabSheet6 = nullptr;
  MatchPage* TabSheet8 = nullptr;
  FilterPage* TabSheet9 = nullptr;
  SmithPage* TabSheet10 = nullptr;
  PllPage* TabSheet12 = nullptr;
  TestSetPage* TabSheet13 = nullptr;
  DcSourcePage* TabSheet14 = nullptr;
  AboutPage* TabSheet11 = nullptr;
  // View selectors, one per GSM view (ARFCN, PCL, PVT, ORFS, SPUR).
  std::array<QComboBox*, 5> GsmViewSelectors{};
  QLabel* Label22 = nullptr;
  QTimer* Timer1;
  SkinData* SkinData1;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  struct PageEntry;
  static const std::vector<PageEntry>& PageTable();

  void FormCreate();
  void BuildRemainingPagesOrQuit();
  void BuildGsmViewSelectors();
  void ShowGsmView(int selector);
  void Timer1Timer();
  void FormClose();
  void RestoreDesignSizeIfDragged();

  std::unique_ptr<InstrumentStation> station_;
  std::vector<Page*> pages_;  // in tab order; null where a stand-in still holds the sheet
  std::array<QWidget*, 5> gsm_views_{};
  bool shown_once_ = false;
  // The last size that was put back to the design size; given again, it is kept.
  QSize size_put_back_;
};

}  // namespace vexa
