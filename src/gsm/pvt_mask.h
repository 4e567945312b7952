// The power-versus-time masks of the GSM tab's PVT view (Image1: GMSK, Image2: 8PSK), drawn
// as vector graphics at any size: the burst's relative level in dB against time, the upper
// limit in red and the lower limit in blue, with the marked levels, the ramp steps in µs and
// the length of the useful part. The time axis is not to scale: the ramps are spread out and
// the useful part is shortened with a break mark, as the reference figures do.
#pragma once

#include <QFontMetrics>
#include <QPointF>
#include <QSize>
#include <QWidget>
#include <vector>

namespace vexa {

// One segment of a limit: `level` dB from `from` to `to` µs (time 0 is the start of the useful
// part of the burst).
struct MaskStep {
  double from;
  double to;
  double level;
};

// A time step written on the picture, on the burst's rising side (the falling side mirrors
// it): under the time axis, or beside the limit at `level` when that is a number.
struct MaskDimension {
  double from;
  double to;
  const char* text;
  double level;
};

struct PvtMask {
  std::vector<MaskStep> upper;
  std::vector<MaskStep> lower;
  std::vector<double> marked_levels;  // the levels written beside the level axis
  std::vector<MaskDimension> dimensions;
  double reference_level;   // drawn dashed (8PSK: 0 dB); NaN for none
  const char* useful_part;  // "147 bits" or "147 symbols"
};

// The useful part of a normal burst: 147 bits (or symbols) of 48/13 µs, 7056/13 µs.
inline constexpr double kUsefulPartUs = 7056.0 / 13.0;

const PvtMask& GmskPvtMask();
const PvtMask& EightPskPvtMask();

// Where the picture of `size`, written with `metrics`, puts a time (µs) and a level (dB).
struct PvtMaskFrame {
  double left;
  double right;
  double top;
  double bottom;
  QPointF At(double t, double level) const;
};
PvtMaskFrame MaskFrame(QSize size, const QFontMetrics& metrics);

class PvtMaskPicture : public QWidget {
  Q_OBJECT

 public:
  PvtMaskPicture(const PvtMask& mask, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const PvtMask& mask_;
};

}  // namespace vexa
