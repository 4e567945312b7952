// The power-versus-time masks of the GSM tab's PVT view (GMSK and 8PSK) and where their picture
// puts everything, without Qt: the burst's relative level in dB against time, the upper and
// lower limits as steps, the marked levels, the ramp steps in µs and the length of the useful
// part. The time axis is not to scale: the ramps are spread out and the useful part is
// shortened with a break mark, as the reference figures do. The view (pvt_mask_view.h) only
// draws what these give, at any size.
#pragma once

#include <string>
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
// The floor (*) has no fixed relative level; it is drawn below −30 dB, at this level.
inline constexpr double kPvtFloorLevel = -40;

const PvtMask& GmskPvtMask();
const PvtMask& EightPskPvtMask();

// A point of the picture in pixels, x to the right, y down.
struct MaskPoint {
  double x = 0;
  double y = 0;
};

// The text sizes of the font the picture is written with, in pixels.
struct MaskFont {
  double level_label_width = 0;  // the width of "-30 (***)", the widest level label
  double line_height = 0;        // the height of a line
};

// The plot area of a picture: where it puts a time (µs) and a level (dB).
struct PvtMaskFrame {
  double left;
  double right;
  double top;
  double bottom;
  MaskPoint At(double t, double level) const;
};

// The plot area of a picture `width` × `height` pixels, written with `font`: room for the
// level labels on the left, for "dB" on top and for the time labels and the useful part's
// arrow below.
PvtMaskFrame MaskFrame(double width, double height, const MaskFont& font);

// The label of a marked level: "+4", "+2,4", "-1", "-6 (**)", "-30 (***)", and "(*)" for the
// floor (decimal comma, as the reference figures write it).
std::string MaskLevelText(double level);

// The text on the useful part's arrow: "147 bits, 7056/13 (542,8) µs" (UTF-8).
std::string UsefulPartText(const PvtMask& mask);

// A limit as the line the picture draws: for every step its start and its end at its level,
// so that consecutive steps join with a vertical line.
std::vector<MaskPoint> LimitLine(const std::vector<MaskStep>& steps, const PvtMaskFrame& frame);

// A ramp step as written on the picture, on one side of the burst.
struct PlacedDimension {
  const char* text;
  double from_x;  // the step's ends in pixels
  double to_x;
  bool beside_limit;  // written inside the plot at `level_y`; otherwise under the time axis
  double level_y;
  bool at_end;  // on the falling side (written left of the step), not the rising one
};

// Every dimension of `mask` twice: on the rising side, then mirrored on the falling side.
std::vector<PlacedDimension> PlaceDimensions(const PvtMask& mask, const PvtMaskFrame& frame);

// The x of the break mark in the middle of the shortened useful part.
double BreakX(const PvtMaskFrame& frame);

}  // namespace vexa
