// "Current Plot": a window beside the "66319" page that draws the current drain run as it
// goes: the current against time (the mean of each batch, with the band from its lowest to
// its highest reading) and the histogram of all readings. It keeps the last run's picture
// after the run, and saves it as a PNG image or its points as CSV.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "instrument/runs/current_plot_data.h"

class QAreaSeries;
class QBarCategoryAxis;
class QBarSet;
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

namespace vexa {

class CurrentPlotWindow : public QWidget {
  Q_OBJECT

 public:
  // A top-level window, destroyed with `owner`.
  explicit CurrentPlotWindow(QWidget* owner);

  // Draws `data` (a copy is kept for the CSV).
  void ShowData(const CurrentPlotData& data);
  const CurrentPlotData& Data() const { return data_; }

  // The series drawn, for the tests.
  QLineSeries* MeanSeries() const { return mean_; }
  QBarSet* HistogramSet() const { return counts_; }

  QLabel* Summary;
  QPushButton* SavePng;
  QPushButton* SaveCsv;

 private:
  QChartView* BuildTimeChart();
  QChartView* BuildHistogramChart();
  void SavePngClick();
  void SaveCsvClick();

  CurrentPlotData data_;
  QWidget* charts_;  // both charts: what "Save PNG" grabs
  QLineSeries* mean_;
  QLineSeries* lows_;
  QLineSeries* highs_;
  QAreaSeries* band_;
  QValueAxis* time_axis_;
  QValueAxis* current_axis_;
  QBarSet* counts_;
  QValueAxis* count_axis_;
};

}  // namespace vexa
