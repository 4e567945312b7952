#include "instrument/runs/current_plot_data.h"

#include <algorithm>

#include "core/text_format.h"

namespace vexa {

const std::array<const char*, kHistogramBuckets> kCurrentBucketLabels = {
    "<1mA", "1-10mA", "10-20mA", "20-40mA", "40-100mA", "0.1-0.2A", "0.2-0.4A", "0.4-3A"};

CurrentPlotData::CurrentPlotData(std::size_t max_points)
    : max_points_(std::max<std::size_t>(max_points, 2)) {}

void CurrentPlotData::Clear() {
  *this = CurrentPlotData(max_points_);
}

void CurrentPlotData::Merge(CurrentPlotPoint& into, const CurrentPlotPoint& point) {
  if (into.batches == 0) {
    into = point;
    return;
  }
  const auto total = static_cast<double>(into.batches + point.batches);
  into.mean_ma = (into.mean_ma * static_cast<double>(into.batches) +
                  point.mean_ma * static_cast<double>(point.batches)) /
                 total;
  into.min_ma = std::min(into.min_ma, point.min_ma);
  into.max_ma = std::max(into.max_ma, point.max_ma);
  into.elapsed_s = std::max(into.elapsed_s, point.elapsed_s);
  into.batches += point.batches;
}

CurrentPlotPoint BatchPoint(const CurrentBatch& batch) {
  CurrentPlotPoint point;
  point.elapsed_s = batch.elapsed_ms / 1000.0;
  point.mean_ma = static_cast<double>(batch.batch_mean) * 1000.0;
  point.min_ma = static_cast<double>(batch.batch_min) * 1000.0;
  point.max_ma = static_cast<double>(batch.batch_max) * 1000.0;
  point.batches = 1;
  return point;
}

void CurrentPlotData::Add(const CurrentBatch& batch) {
  Merge(pending_, BatchPoint(batch));
  if (pending_.batches >= stride_) {
    points_.push_back(pending_);
    pending_ = CurrentPlotPoint{};
  }
  // Full: neighbours merge pairwise and every later point covers twice as many batches, so
  // the points stay evenly spaced in batches.
  if (points_.size() >= max_points_) {
    std::vector<CurrentPlotPoint> merged;
    merged.reserve(points_.size() / 2 + 1);
    for (std::size_t i = 0; i + 1 < points_.size(); i += 2) {
      merged.push_back(points_[i]);
      Merge(merged.back(), points_[i + 1]);
    }
    // An odd last point becomes the start of the next one.
    if (points_.size() % 2 != 0) {
      CurrentPlotPoint rest = points_.back();
      Merge(rest, pending_);
      pending_ = rest;
    }
    points_ = std::move(merged);
    stride_ *= 2;
  }
  histogram_ = batch.histogram;
  batches_ = batch.batches;
  readings_ = batch.readings;
  test_seconds_ = batch.test_ms / 1000.0;
  running_mean_ma_ = batch.running_mean * 1000.0;
}

std::vector<CurrentPlotPoint> CurrentPlotData::Points() const {
  std::vector<CurrentPlotPoint> points = points_;
  if (pending_.batches > 0)
    points.push_back(pending_);
  return points;
}

std::string CurrentCsv(const std::vector<CurrentPlotPoint>& points) {
  std::string text = "elapsed_s,mean_mA,min_mA,max_mA,batches\n";
  for (const CurrentPlotPoint& point : points) {
    text += Format("%.3f,%.6f,%.6f,%.6f,%ld\n", point.elapsed_s, point.mean_ma, point.min_ma,
                   point.max_ma, point.batches);
  }
  return text;
}

std::string CurrentPlotCsv(const CurrentPlotData& data) {
  return CurrentCsv(data.Points());
}

}  // namespace vexa
