#include "core/number_text.h"

#include <gtest/gtest.h>

#include <locale.h>
#include <cmath>

#include <clocale>
#include <cstdio>
#include <string>

#include "core/convert.h"
#include "core/text_format.h"

namespace vexa {
namespace {

TEST(FormatNumber, GeneralFormatWithFifteenSignificantDigits) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0"},
      {-0.0, "0"},
      {890, "890"},
      {902.4, "902.4"},
      {-902.4, "-902.4"},
      {1.5E-45, "1.5E-45"},
      {1E15, "1E15"},
      {-1E15, "-1E15"},
      {999999999999999.0, "999999999999999"},
      {9999999999999999.0, "1E16"},  // rounds to 16 integer digits first
      {0.0001, "0.0001"},
      {0.00009, "9E-5"},
      {-0.00012345, "-0.00012345"},
      {0.2 * 3, "0.6"},  // 0.6000000000000001 in binary: 15 digits hide it
      {1804.8, "1804.8"},
      {(885 - 512) * 0.2 + 1710.2, "1784.8"},
      {1.0 / 3.0, "0.333333333333333"},
      {123456789012345.6, "123456789012346"},
      {2.5E300, "2.5E300"},
      {1234.5E-12, "1.2345E-9"},
  };
  for (const auto& [value, text] : cases)
    EXPECT_EQ(FormatNumber(value), text) << text;
}

TEST(FormatNumber, UsesTheRegionalDecimalSeparator) {
  SetDecimalSeparator(',');
  EXPECT_EQ(FormatNumber(902.4), "902,4");
  EXPECT_EQ(FormatNumber(1.5E-45), "1,5E-45");
  SetDecimalSeparator('.');
}

// Sets a comma locale for the process and this thread while it lives.
class CommaLocale {
 public:
  CommaLocale() {
    previous_global_ = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    locale_ = newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
    if (locale_)
      previous_thread_ = uselocale(locale_);
  }
  ~CommaLocale() {
    if (locale_) {
      uselocale(previous_thread_);
      freelocale(locale_);
    }
    std::setlocale(LC_NUMERIC, previous_global_.c_str());
  }
  bool Active() const { return locale_ != static_cast<locale_t>(0); }

 private:
  std::string previous_global_;
  locale_t locale_;
  locale_t previous_thread_{};
};

TEST(Format, PrintfStyleLinesKeepThePointInACommaLocale) {
  const CommaLocale comma;
  ASSERT_TRUE(comma.Active()) << "de_DE.UTF-8 is missing (the locales-all package)";
  char plain[32];
  std::snprintf(plain, sizeof plain, "%.1f", 2.5);
  ASSERT_STREQ(plain, "2,5");  // the locale is in force: unguarded printf writes a comma
  EXPECT_EQ(Format("%f|%d|%02d|%.2f|%s", 1.5, -3, 7, 2.345, "x"), "1.500000|-3|07|2.35|x");
  EXPECT_EQ(Format("%s", ""), "");
  const std::string long_text(5000, 'a');
  EXPECT_EQ(Format("<%s>", long_text.c_str()).size(), 5002u);
}

// Format writes its common conversions itself; every one must read exactly as printf's.
TEST(Format, TheOwnConversionsMatchPrintfByteForByte) {
  const double values[] = {0.0,          -0.0,
                           0.125,        0.135,
                           2.345,        -2.345,
                           1e-7,         -1e-7,
                           0.5,          1.5,
                           2.5,          -0.5,
                           33.55f,       -72.9f,
                           542.8f,       123.4000015,
                           99.99f,       2.44f,
                           1e15,         1.23e22,
                           -9.91e37,     1.7976931348623157e308,
                           4.9e-324,     HUGE_VAL,
                           -HUGE_VAL,    std::nan(""),
                           -std::nan("")};
  const char* formats[] = {"%f", "%.f", "%.1f", "%.2f", "%.6f", "%09.2f", "%9.2f", "x%.3f%%y"};
  char expected[1024];
  for (const double value : values) {
    for (const char* format : formats) {
      std::snprintf(expected, sizeof expected, format, value);
      EXPECT_EQ(Format(format, value), expected) << format << " of " << value;
    }
  }
  const long long integers[] = {0, 7, -7, 42, -2147483648LL, 2147483647, 9223372036854775807LL};
  for (const long long value : integers) {
    const int narrow = static_cast<int>(value);
    std::snprintf(expected, sizeof expected, "%d|%02d|%5d|%05d", narrow, narrow, narrow, narrow);
    EXPECT_EQ(Format("%d|%02d|%5d|%05d", narrow, narrow, narrow, narrow), expected);
    std::snprintf(expected, sizeof expected, "%ld|%03lld", static_cast<long>(value), value);
    EXPECT_EQ(Format("%ld|%03lld", static_cast<long>(value), value), expected);
  }
  std::snprintf(expected, sizeof expected, "[%8s|%s|%x|%c]", "ab", "", 255u, 'q');
  EXPECT_EQ(Format("[%8s|%s|%x|%c]", "ab", "", 255u, 'q'), expected);  // printf's own path
}

}  // namespace
}  // namespace vexa
