// What the design pages' charts show, without Qt: titles, axes and line series of (x, y)
// points. The forms fill it; the pages draw it with Qt Charts, and the command line prints and
// exports the same points.
#pragma once

#include <string>
#include <vector>

namespace vexa {

struct CurvePoint {
  double x = 0;
  double y = 0;
};

// A colour value as the forms store it: red in the low byte, then green, then blue.
inline constexpr unsigned kChartRed = 255;
inline constexpr unsigned kChartGrey = 8421504;    // red, green and blue 128
inline constexpr unsigned kChartGuide = 0x804000;  // dark blue: red 0, green 64, blue 128

struct ChartAxis {
  std::string title;
  bool logarithmic = false;
  bool automatic = true;
  double minimum = 0;  // meaningful when not automatic (and set by hand)
  double maximum = 0;
};

struct ChartSeries {
  std::string name;  // the series' object name on the page ("Curve", "Response")
  std::vector<CurvePoint> points;
  unsigned color = kChartRed;
  bool marks_visible = false;
  bool dashed = false;
};

struct ChartModel {
  std::vector<std::string> title;
  bool title_visible = true;
  bool legend_visible = false;
  bool view_3d = false;
  ChartAxis bottom;
  ChartAxis left;
  std::vector<ChartSeries> series;
  // Dashed reference lines drawn over the series (the FILTER page's tolerance scheme). They are
  // no data: the automatic axis ranges, the point counts and the CSV leave them out.
  std::vector<ChartSeries> guides;
  // Counts the times the form replaced what the chart shows (new series, axes automatic
  // again). The page redraws only when it changed, so a refused Calc leaves the chart, and the
  // user's zoom, exactly as they were.
  unsigned revision = 0;
};

// The points of `series` as CSV rows "x,y" (CsvNumber), one per line.
std::string PointsCsv(const ChartSeries& series);

// A number as "%.17g" prints it in the C locale: enough digits to read the same double back,
// whatever the user's decimal separator.
std::string CsvNumber(double value);

}  // namespace vexa
