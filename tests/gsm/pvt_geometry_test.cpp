// The PVT masks and their picture's geometry, without a widget.
#include "gsm/pvt_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vexa {
namespace {

// A 500 × 293 picture whose level labels take 60 pixels and whose lines are 15 high: the plot
// runs from x 72 to 488 and from y 21 (+6 dB) to 240 (-52 dB); the floor, drawn at -40 dB,
// lies 34/46 down the lower half.
const MaskFont kFont{60, 15};
constexpr double kLeft = 72;
constexpr double kRight = 488;
constexpr double kTop = 21;
constexpr double kBottom = 240;
constexpr double kFloorY = kTop + (0.5 + 0.5 * 34 / 46) * (kBottom - kTop);

TEST(PvtMaskFrame, LeavesRoomForTheLabelsAndMapsTimesAndLevels) {
  const PvtMaskFrame frame = MaskFrame(500, 293, kFont);
  EXPECT_DOUBLE_EQ(frame.left, kLeft);
  EXPECT_DOUBLE_EQ(frame.right, kRight);
  EXPECT_DOUBLE_EQ(frame.top, kTop);
  EXPECT_DOUBLE_EQ(frame.bottom, kBottom);

  struct Case {
    double t;
    double level;
    double x;
    double y;
  };
  // The ramps take 42 % of the width on each side (from 48 µs before the useful part to 30 µs
  // into it), the shortened useful part the middle 16 %; +6 to -6 dB the upper half of the
  // height, -6 dB to the floor the lower half.
  const double width = kRight - kLeft;
  const double height = kBottom - kTop;
  const Case cases[] = {
      {-48, 6, kLeft, kTop},
      {kUsefulPartUs + 48, -52, kRight, kBottom},
      {0, kPvtFloorLevel, kLeft + 0.42 * width * 48 / 78, kFloorY},
      {30, -6, kLeft + 0.42 * width, kTop + 0.5 * height},
      {kUsefulPartUs - 30, 0, kRight - 0.42 * width, kTop + 0.25 * height},
      {kUsefulPartUs / 2, -29, kLeft + 0.5 * width, kTop + 0.75 * height},
      {-9, -30, kLeft + 0.42 * width * 39 / 78, kTop + (0.5 + 0.5 * 24 / 46) * height},
  };
  for (const Case& c : cases) {
    const MaskPoint at = frame.At(c.t, c.level);
    EXPECT_NEAR(at.x, c.x, 1e-9) << c.t << " us";
    EXPECT_NEAR(at.y, c.y, 1e-9) << c.level << " dB";
  }
  EXPECT_NEAR(BreakX(frame), kLeft + 0.5 * width, 1e-9);
}

TEST(PvtMask, LevelLabelsAndTheUsefulPart) {
  const std::pair<double, const char*> labels[] = {
      {4, "+4"},  {2.4, "+2,4"},   {1, "+1"},    {0, "0"},           {-1, "-1"},
      {-2, "-2"}, {-6, "-6 (**)"}, {-20, "-20"}, {-30, "-30 (***)"}, {kPvtFloorLevel, "(*)"},
  };
  for (const auto& [level, text] : labels)
    EXPECT_EQ(MaskLevelText(level), text) << level;
  EXPECT_EQ(UsefulPartText(GmskPvtMask()), "147 bits, 7056/13 (542,8) \xC2\xB5s");
  EXPECT_EQ(UsefulPartText(EightPskPvtMask()), "147 symbols, 7056/13 (542,8) \xC2\xB5s");
  EXPECT_DOUBLE_EQ(kUsefulPartUs, 147 * 48.0 / 13.0);
}

// Each limit is one unbroken line: every step starts where the one before ended, the upper
// limit lies above the lower one over the whole useful part, and both keep to it.
TEST(PvtMask, LimitsAreUnbrokenAndTheUpperLiesAboveTheLower) {
  for (const PvtMask* mask : {&GmskPvtMask(), &EightPskPvtMask()}) {
    for (const auto* steps : {&mask->upper, &mask->lower}) {
      ASSERT_FALSE(steps->empty());
      for (std::size_t i = 1; i < steps->size(); ++i)
        EXPECT_DOUBLE_EQ((*steps)[i].from, (*steps)[i - 1].to) << mask->useful_part << " " << i;
    }
    EXPECT_DOUBLE_EQ(mask->lower.front().from, 0);
    EXPECT_DOUBLE_EQ(mask->lower.back().to, kUsefulPartUs);
    for (const MaskStep& low : mask->lower) {
      for (const MaskStep& high : mask->upper) {
        if (high.from < low.to && low.from < high.to) {
          EXPECT_GT(high.level, low.level) << mask->useful_part << " at " << low.from;
        }
      }
    }
  }
  // The GMSK limits: +1 dB over the useful part, +4 dB for 10 µs on each side, -1 dB below.
  const PvtMask& gmsk = GmskPvtMask();
  ASSERT_EQ(gmsk.upper.size(), 9u);
  EXPECT_DOUBLE_EQ(gmsk.upper[4].level, 1);
  EXPECT_DOUBLE_EQ(gmsk.upper[3].level, 4);
  EXPECT_DOUBLE_EQ(gmsk.upper[5].from, kUsefulPartUs);
  EXPECT_DOUBLE_EQ(gmsk.upper[5].to, kUsefulPartUs + 10);
  EXPECT_DOUBLE_EQ(EightPskPvtMask().upper[4].level, 2.4);
}

TEST(PvtMask, LimitLineJoinsTheStepsWithVerticals) {
  const PvtMaskFrame frame = MaskFrame(500, 293, kFont);
  const std::vector<MaskPoint> line = LimitLine(GmskPvtMask().upper, frame);
  ASSERT_EQ(line.size(), 2 * GmskPvtMask().upper.size());
  // From the floor at the left edge to the floor at the right edge.
  EXPECT_NEAR(line.front().x, kLeft, 1e-9);
  EXPECT_NEAR(line.front().y, kFloorY, 1e-9);
  EXPECT_NEAR(line.back().x, kRight, 1e-9);
  EXPECT_NEAR(line.back().y, kFloorY, 1e-9);
  for (std::size_t i = 0; i + 1 < line.size(); i += 2) {
    EXPECT_DOUBLE_EQ(line[i].y, line[i + 1].y) << i;  // a step is level
    if (i + 2 < line.size()) {
      EXPECT_DOUBLE_EQ(line[i + 1].x, line[i + 2].x) << i;  // and meets the next one
    }
  }
}

// The ramp steps are written on both sides, mirrored about the middle of the burst; the 8PSK
// "2+2" sits inside the plot beside the -20 dB step.
TEST(PvtMask, DimensionsAreMirroredOnTheFallingSide) {
  const PvtMaskFrame frame = MaskFrame(500, 293, kFont);
  const std::vector<PlacedDimension> gmsk = PlaceDimensions(GmskPvtMask(), frame);
  ASSERT_EQ(gmsk.size(), 6u);
  for (std::size_t i = 0; i < gmsk.size(); i += 2) {
    const PlacedDimension& rising = gmsk[i];
    const PlacedDimension& falling = gmsk[i + 1];
    EXPECT_STREQ(rising.text, falling.text);
    EXPECT_FALSE(rising.at_end);
    EXPECT_TRUE(falling.at_end);
    EXPECT_FALSE(rising.beside_limit);
    EXPECT_LT(rising.from_x, rising.to_x);
    EXPECT_NEAR(rising.from_x - kLeft, kRight - falling.to_x, 1e-9) << i;
    EXPECT_NEAR(rising.to_x - kLeft, kRight - falling.from_x, 1e-9) << i;
  }
  EXPECT_NEAR(gmsk[0].from_x, frame.At(-28, 0).x, 1e-9);
  EXPECT_NEAR(gmsk[0].to_x, frame.At(-18, 0).x, 1e-9);

  const std::vector<PlacedDimension> psk = PlaceDimensions(EightPskPvtMask(), frame);
  ASSERT_EQ(psk.size(), 8u);
  EXPECT_STREQ(psk[6].text, "2+2");
  EXPECT_TRUE(psk[6].beside_limit);
  EXPECT_NEAR(psk[6].level_y, frame.At(0, -20).y, 1e-9);
  EXPECT_NEAR(psk[7].from_x, frame.At(kUsefulPartUs - 4, 0).x, 1e-9);
}

}  // namespace
}  // namespace vexa
