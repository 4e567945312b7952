// The picture of a current drain run for the plot window: the current against time (one
// point per batch of readings, merged pairwise when a long run would make too many) and the
// histogram of the readings, plus its CSV text. Qt-free.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "instrument/runs/current_test_run.h"

namespace vexa {

// The histogram's buckets as the chart labels them.
extern const std::array<const char*, kHistogramBuckets> kCurrentBucketLabels;

// One point of the current against time: one batch, or neighbouring batches merged.
struct CurrentPlotPoint {
  double elapsed_s = 0;  // the end of the point's last batch, since the start of the run
  double mean_ma = 0;    // the mean of the point's readings
  double min_ma = 0;
  double max_ma = 0;
  long batches = 0;  // how many batches the point covers
};

class CurrentPlotData {
 public:
  // At most about `max_points` points are kept however long the run (at least 2).
  explicit CurrentPlotData(std::size_t max_points = 2000);

  void Clear();
  void Add(const CurrentBatch& batch);

  // The points, oldest first; the newest may cover fewer batches than the others.
  std::vector<CurrentPlotPoint> Points() const;
  const std::array<long, kHistogramBuckets>& histogram() const { return histogram_; }
  long batches() const { return batches_; }
  long readings() const { return readings_; }
  double test_seconds() const { return test_seconds_; }
  double running_mean_ma() const { return running_mean_ma_; }

 private:
  // Adds `point` into `into`: weighted mean, widest band, the later end.
  static void Merge(CurrentPlotPoint& into, const CurrentPlotPoint& point);

  std::size_t max_points_;
  std::vector<CurrentPlotPoint> points_;  // each covers `stride_` batches
  CurrentPlotPoint pending_;              // the batches since, fewer than `stride_`
  long stride_ = 1;
  std::array<long, kHistogramBuckets> histogram_{};
  long batches_ = 0;
  long readings_ = 0;
  double test_seconds_ = 0;
  double running_mean_ma_ = 0;
};

// The point of one batch (`batches` 1).
CurrentPlotPoint BatchPoint(const CurrentBatch& batch);

// The one CSV format of a current drain run, for the plot's "Save CSV" and for
// `vexa-cli current-test --csv`: the header "elapsed_s,mean_mA,min_mA,max_mA,batches" and one
// row per point, LF line ends.
std::string CurrentCsv(const std::vector<CurrentPlotPoint>& points);

// CurrentCsv of the plot's points.
std::string CurrentPlotCsv(const CurrentPlotData& data);

}  // namespace vexa
