// The chart view of the design pages. Beyond showing the chart it lets the engineer look
// closer and take the result away:
// - the value under the mouse pointer in a small readout in the top right corner;
// - zoom with the mouse wheel (around the pointer) or a rubber band dragged with the left
//   button; ResetZoom (the page calls it on every Calc) and the context menu go back;
// - a context menu (right button) that saves the chart as PNG or its points as CSV.
#pragma once

#include <QChartView>
#include <QString>
#include <functional>
#include <string>

#include "design/chart_model.h"

class QAbstractAxis;
class QLabel;
class QMenu;

namespace vexa {

class DesignChartView : public QChartView {
  Q_OBJECT

 public:
  // `file_stem` names the suggested files ("filter" gives filter.png and filter.csv).
  DesignChartView(QChart* chart, QString file_stem, QWidget* parent = nullptr);

  // The text of the CSV file: the page's points in its own columns.
  void SetCsvSource(std::function<std::string()> csv) { csv_ = std::move(csv); }
  // Units shown after the readout's numbers ("MHz", "dB").
  void SetReadoutUnits(QString x_unit, QString y_unit);

  // Shows `model` in the chart: the title, the legend, the series and then the guides (each a
  // line series attached to `bottom` and `left`, named after ChartSeries::name), and the ranges
  // of the automatic axes fitted to the series' points. The zoom is undone first: a new result
  // is shown whole.
  // Points a logarithmic axis cannot show (0 or below) are left out of the drawing; the model
  // keeps them. Nothing happens when the model's revision is the one shown last.
  void ShowModel(const ChartModel& model, QAbstractAxis* bottom, QAbstractAxis* left);

  // Undoes every zoom step; the axes keep the ranges the page sets next.
  void ResetZoom();
  // Zooms by `factor` (> 1 in, < 1 out) keeping the plot point at `position` (view
  // coordinates) where it is.
  void ZoomAt(const QPointF& position, double factor);

  // The context menu's actions, for the menu and for tests. Each writes its file whole or
  // leaves the old one as it was, and returns 0 or the errno value of the failed write
  // (EINVAL when the page gave no CSV source).
  int SavePng(const QString& path);
  int SaveCsv(const QString& path);

  // The readout: empty while the pointer is outside the plot or the chart has no series.
  QString ReadoutText() const;
  QLabel* Readout() const { return readout_; }
  // The menu the right button opens (built anew each time).
  QMenu* BuildContextMenu();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowReadout(const QPointF& position);
  void PlaceReadout();
  void AskAndSavePng();
  void AskAndSaveCsv();

  QString file_stem_;
  QString x_unit_;
  QString y_unit_;
  std::function<std::string()> csv_;
  bool shown_any_ = false;
  unsigned shown_revision_ = 0;
  QLabel* readout_;
};

// A colour value of the chart model (red in the low byte, then green, then blue).
QColor ChartColor(unsigned value);

// A number for the readout: six significant digits, no trailing zeros.
QString ReadoutNumber(double value);

}  // namespace vexa
