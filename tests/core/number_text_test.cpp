#include "core/number_text.h"

#include <gtest/gtest.h>

#include "core/convert.h"
#include "core/text_format.h"

namespace vexa {
namespace {

struct NumberCase {
  double value;
  const char* text;
};

class FormatNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(FormatNumberTest, GeneralFormatWithFifteenDigits) {
  EXPECT_EQ(FormatNumber(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FormatNumberTest,
    ::testing::Values(NumberCase{0.0, "0"}, NumberCase{-0.0, "0"}, NumberCase{890, "890"},
                      NumberCase{902.4, "902.4"}, NumberCase{-902.4, "-902.4"},
                      NumberCase{1.5E-45, "1.5E-45"}, NumberCase{1E15, "1E15"},
                      NumberCase{-1E15, "-1E15"}, NumberCase{999999999999999.0, "999999999999999"},
                      // Rounds to 16 integer digits first, so exponent notation.
                      NumberCase{9999999999999999.0, "1E16"}, NumberCase{0.0001, "0.0001"},
                      NumberCase{0.00009, "9E-5"}, NumberCase{-0.00012345, "-0.00012345"},
                      // 0.2 * 3 is 0.6000000000000001 in binary: 15 digits hide it.
                      NumberCase{0.2 * 3, "0.6"}, NumberCase{1804.8, "1804.8"},
                      NumberCase{(885 - 512) * 0.2 + 1710.2, "1784.8"},
                      NumberCase{1.0 / 3.0, "0.333333333333333"},
                      NumberCase{123456789012345.6, "123456789012346"},
                      NumberCase{2.5E300, "2.5E300"}, NumberCase{1234.5E-12, "1.2345E-9"}));

TEST(FormatNumber, UsesTheRegionalDecimalSeparator) {
  SetDecimalSeparator(',');
  EXPECT_EQ(FormatNumber(902.4), "902,4");
  EXPECT_EQ(FormatNumber(1.5E-45), "1,5E-45");
  SetDecimalSeparator('.');
}

TEST(Format, PrintfStyleLinesIgnoreTheRegionalSeparator) {
  SetDecimalSeparator(',');
  EXPECT_EQ(Format("%f|%d|%02d|%.2f|%s", 1.5, -3, 7, 2.345, "x"), "1.500000|-3|07|2.35|x");
  SetDecimalSeparator('.');
  EXPECT_EQ(Format("%s", ""), "");
  const std::string long_text(5000, 'a');
  EXPECT_EQ(Format("<%s>", long_text.c_str()).size(), 5002u);
}

}  // namespace
}  // namespace vexa
