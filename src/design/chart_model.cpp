#include "design/chart_model.h"

#include <charconv>

namespace vexa {

std::string CsvNumber(double value) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
  return std::string(buffer, result.ptr);
}

std::string PointsCsv(const ChartSeries& series) {
  std::string csv;
  csv.reserve(series.points.size() * 40);
  for (const CurvePoint& point : series.points) {
    csv += CsvNumber(point.x);
    csv += ',';
    csv += CsvNumber(point.y);
    csv += '\n';
  }
  return csv;
}

}  // namespace vexa
