#include "core/number_text.h"

#include <gtest/gtest.h>
#include <locale.h>

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

}  // namespace
}  // namespace vexa
