#include "gsm/pvt_geometry.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace vexa {
namespace {

constexpr double kFloor = kPvtFloorLevel;
constexpr double kNoLevel = std::numeric_limits<double>::quiet_NaN();
constexpr double kU = kUsefulPartUs;
// The time shown on each side of the breaks in the useful part.
constexpr double kEdge = -48;
constexpr double kInside = 30;

// Levels above −6 dB take the upper half of the plot, the rest the lower half: the small
// tolerances near 0 dB stay readable beside the −30 dB step.
double LevelFraction(double level) {
  if (level >= -6)
    return 0.5 * (6 - level) / 12;
  return 0.5 + 0.5 * (-6 - level) / (6 - kFloor + 0);
}

// Times near the start of the burst take the left 42 % of the plot, near its end the right
// 42 %; the useful part in between is shortened to the middle 16 %.
double TimeFraction(double t) {
  const double side = 0.42;
  if (t <= kInside)
    return side * (t - kEdge) / (kInside - kEdge);
  if (t >= kU - kInside)
    return 1 - side * (kU - kEdge - t) / (kInside - kEdge);
  return side + (1 - 2 * side) * (t - kInside) / (kU - 2 * kInside);
}

std::vector<MaskStep> Symmetric(const std::vector<MaskStep>& left, double middle) {
  // `left` runs outward from the useful part's start (latest step first); the mask is the
  // same on the right, mirrored about the useful part.
  std::vector<MaskStep> steps;
  for (auto it = left.rbegin(); it != left.rend(); ++it)
    steps.push_back(*it);
  steps.push_back({0, kU, middle});
  for (const MaskStep& step : left)
    steps.push_back({kU - step.to, kU - step.from, step.level});
  return steps;
}

}  // namespace

const PvtMask& GmskPvtMask() {
  static const PvtMask mask{
      Symmetric({{-10, 0, 4}, {-18, -10, -6}, {-28, -18, -30}, {kEdge, -28, kFloor}}, 1),
      {{0, kU, -1}},
      {4, 1, -1, -6, -30, kFloor},
      {{-28, -18, "10", kNoLevel}, {-18, -10, "8", kNoLevel}, {-10, 0, "10", kNoLevel}},
      std::numeric_limits<double>::quiet_NaN(),
      "147 bits"};
  return mask;
}

const PvtMask& EightPskPvtMask() {
  static const PvtMask mask{
      Symmetric({{-10, 0, 4}, {-18, -10, -6}, {-28, -18, -30}, {kEdge, -28, kFloor}}, 2.4),
      {{0, 2, -20}, {2, 4, -6}, {4, kU - 4, -2}, {kU - 4, kU - 2, -6}, {kU - 2, kU, -20}},
      {4, 2.4, 0, -2, -6, -20, -30, kFloor},
      {{-28, -18, "10", kNoLevel},
       {-18, -10, "8", kNoLevel},
       {-10, 0, "10", kNoLevel},
       {0, 4, "2+2", -20}},
      0,
      "147 symbols"};
  return mask;
}

MaskPoint PvtMaskFrame::At(double t, double level) const {
  return MaskPoint{left + (right - left) * TimeFraction(t),
                   top + (bottom - top) * LevelFraction(level)};
}

PvtMaskFrame MaskFrame(double width, double height, const MaskFont& font) {
  return PvtMaskFrame{font.level_label_width + 12.0, width - 12.0, font.line_height + 6.0,
                      height - 3.0 * font.line_height - 8};
}

std::string MaskLevelText(double level) {
  if (level == kFloor)
    return "(*)";
  char buffer[32];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, level, std::chars_format::general, 3);
  std::string text(buffer, result.ptr);
  for (char& c : text) {
    if (c == '.')
      c = ',';
  }
  if (level > 0)
    text.insert(0, 1, '+');
  if (level == -6)
    text += " (**)";
  if (level == -30)
    text += " (***)";
  return text;
}

std::string UsefulPartText(const PvtMask& mask) {
  return std::string(mask.useful_part) + ", 7056/13 (542,8) \xC2\xB5s";
}

std::vector<MaskPoint> LimitLine(const std::vector<MaskStep>& steps, const PvtMaskFrame& frame) {
  std::vector<MaskPoint> line;
  line.reserve(2 * steps.size());
  for (const MaskStep& step : steps) {
    line.push_back(frame.At(step.from, step.level));
    line.push_back(frame.At(step.to, step.level));
  }
  return line;
}

std::vector<PlacedDimension> PlaceDimensions(const PvtMask& mask, const PvtMaskFrame& frame) {
  std::vector<PlacedDimension> placed;
  for (const MaskDimension& dimension : mask.dimensions) {
    for (bool at_end : {false, true}) {
      const double from = at_end ? kU - dimension.to : dimension.from;
      const double to = at_end ? kU - dimension.from : dimension.to;
      const bool beside = !std::isnan(dimension.level);
      placed.push_back({dimension.text, frame.At(from, 0).x, frame.At(to, 0).x, beside,
                        beside ? frame.At(0, dimension.level).y : 0, at_end});
    }
  }
  return placed;
}

double BreakX(const PvtMaskFrame& frame) {
  return frame.At(kU / 2, 0).x;
}

}  // namespace vexa
