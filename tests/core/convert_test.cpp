#include "core/convert.h"
#include "core/number_text.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/errors.h"

namespace vexa {
namespace {

TEST(TextToInt, AcceptsWhatAUserTypes) {
  const std::pair<const char*, int> cases[] = {{"62", 62},
                                               {"062", 62},
                                               {"-49", -49},
                                               {"+7", 7},
                                               {" 975 ", 975},
                                               {"0", 0},
                                               {"2147483647", std::numeric_limits<int>::max()},
                                               {"-2147483648", std::numeric_limits<int>::min()}};
  for (const auto& [text, value] : cases)
    EXPECT_EQ(TextToInt(text), value) << text;
}

TEST(TextToInt, RefusesEverythingElseWithTheExactMessage) {
  for (const char* text : {"", " ", "abc", "1.5", "1e3", "0x10", "$10", "12a", "- 3", "+",
                           "2147483648", "-2147483649", "99999999999999999999", "6 2"}) {
    try {
      TextToInt(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const ConversionError& error) {
      EXPECT_EQ(error.what(), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

TEST(TextToFloat, AcceptsSignDigitsSeparatorAndExponent) {
  const std::pair<const char*, double> cases[] = {
      {"1.5", 1.5},
      {"-0.25", -0.25},
      {"+3", 3},
      {".5", 0.5},
      {"5.", 5.0},
      {"1e3", 1000},
      {"1E-3", 0.001},
      {"2.5e+2", 250},
      {" 699 ", 699},
      {"1e-400", 0.0},
      {"0.000000000000000000000000000000000000000000000000000000000000001e-300", 0.0}};
  for (const auto& [text, value] : cases)
    EXPECT_DOUBLE_EQ(TextToFloat(text), value) << text;
}

TEST(TextToFloat, RefusesNonNumbersWithTheExactMessage) {
  for (const char* text : {"", "abc", "nan", "inf", "-inf", "0x1p3", "1e", "1e+", ".", "-", "1.2.3",
                           "1,5", "1e400", "12 MHz"}) {
    try {
      TextToFloat(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const ConversionError& error) {
      EXPECT_EQ(error.what(), "'" + std::string(text) + "' is not a valid floating point value");
    }
  }
}

TEST(TextToFloat, FollowsTheRegionalSeparator) {
  SetDecimalSeparator(',');
  EXPECT_DOUBLE_EQ(TextToFloat("1,5"), 1.5);
  EXPECT_THROW(TextToFloat("1.5"), ConversionError);
  SetDecimalSeparator('.');
}

TEST(MessageWithFullStop, AppendsOnlyAfterCharactersThatSortAfterTheStop) {
  EXPECT_EQ(MessageWithFullStop("'a' is not a valid integer value"),
            "'a' is not a valid integer value.");
  EXPECT_EQ(MessageWithFullStop("done."), "done.");
  EXPECT_EQ(MessageWithFullStop("what?!"), "what?!");     // '!' sorts before '.'
  EXPECT_EQ(MessageWithFullStop("value 0"), "value 0.");  // '0' sorts after '.'
  EXPECT_EQ(MessageWithFullStop(""), "");
}

TEST(DecimalSeparatorFor, OneAsciiCharacterOrThePoint) {
  const std::pair<std::string, char> cases[] = {
      {".", '.'}, {",", ','},  {"\xd9\xab", '.'},  // U+066B, Arabic, two bytes in UTF-8
      {"", '.'},  {",.", '.'}, {"\xc2\xb7", '.'},  // U+00B7 middle dot
      {"5", '.'}, {"-", '.'},  {"e", '.'},        {"'", '\''}};
  for (const auto& [text, separator] : cases) {
    EXPECT_EQ(DecimalSeparatorFor(text), separator) << text;
  }
  // The separator chosen for the Arabic locale formats and reads back a fraction.
  SetDecimalSeparator(DecimalSeparatorFor("\xd9\xab"));
  EXPECT_EQ(FormatNumber(902.4), "902.4");
  EXPECT_EQ(TextToFloat(FormatNumber(902.4)), 902.4);
  SetDecimalSeparator('.');
}

}  // namespace
}  // namespace vexa
