// The main window: hosts the pages, switches the GSM views, runs the clock, keeps the
// design layout when the window is maximised, and stops the workers when it closes.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>
#include <array>

namespace vexa {

class AboutPage;
class ArfcnPage;
class DcSourcePage;
class TestSetPage;
class SkinData;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Client area at design size.
  static constexpr int kDesignWidth = 602;
  static constexpr int kDesignHeight = 384;

  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // Re-places the controls that follow the window's size.
  void LayoutPages();

  QTabWidget* PageControl1;
  // The sheets, in tab order. The five GSM views share the one "GSM" tab.
  ArfcnPage* TabSheet1;
  QWidget* TabSheet3;
  QWidget* TabSheet4;
  QWidget* TabSheet5;
  QWidget* TabSheet7;
  QWidget* TabSheet2;
  QWidget* TabSheet6;
  QWidget* TabSheet8;
  QWidget* TabSheet9;
  QWidget* TabSheet10;
  QWidget* TabSheet12;
  TestSetPage* TabSheet13;
  DcSourcePage* TabSheet14;
  AboutPage* TabSheet11;
  // View selectors, one per GSM view (ARFCN, PCL, PVT, ORFS, SPUR).
  std::array<QComboBox*, 5> GsmViewSelectors{};
  QLabel* Label22;
  QTimer* Timer1;
  SkinData* SkinData1;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void BuildGsmViewSelectors();
  void ShowGsmView(int selector);
  void Timer1Timer();
  void FormClose();
  void RestoreDesignSizeIfDragged();

  std::array<QWidget*, 5> gsm_views_{};
  bool shown_once_ = false;
};

}  // namespace vexa
