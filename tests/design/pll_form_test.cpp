// The PLL page's "Calc" on the form model: the list as it starts, the results it writes, what a
// bad value or a refused design leaves behind, the transient's series and its CSV.
#include "design/pll_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "support/message_recorder.h"

namespace vexa {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Recorder = testing::MessageRecorder;

const char* const kOutputKeys[] = {"N",       "C4 nF",       "A0 nF",  "A1 nFs",
                                   "A2 nFs2", "A3 nFs3",     "Fc kHz", "Phi degrees",
                                   "Gamma",   "wn radian/s", "Zeta"};

// The results of the start design, as the list shows them.
const std::vector<std::string> kStartResults = {"4500",
                                                "0.104",
                                                "106.034",
                                                "0.00127859848",
                                                "4.3878606848E-9",
                                                "4.31278848E-15",
                                                "5.08068084440089",
                                                "50.7802463339108",
                                                "1.22883226104526",
                                                "17257.4352365431",
                                                "0.862871761827157"};

class PllFormTest : public ::testing::Test {
 protected:
  // The error message Calc ends with, or "" when it runs to its end.
  std::string Calc() {
    try {
      form.Button6Click();
    } catch (const Error& error) {
      return error.what();
    }
    return "";
  }

  std::vector<std::string> Results() const {
    std::vector<std::string> values;
    for (const char* key : kOutputKeys)
      values.push_back(form.Value(key));
    return values;
  }

  Recorder messages;
  PllForm form{messages};
};

TEST_F(PllFormTest, StartsWithTheListTheSchematicAndAnEmptyChart) {
  std::vector<std::string> rows;
  for (const ValueListRow& row : form.ValueListEditor1)
    rows.push_back(row.key + "=" + row.value);
  EXPECT_THAT(
      rows, ElementsAre("Kphi mA=5", "Kvco MHz/V=30", "Fout MHz=900", "F2 MHz=950", "Fcomp kHz=200",
                        "C1 nF=5.6", "C2 nF=100.0", "C3 nF=0.33", "C4* nF=0.082", "VCOcap nF=0.022",
                        "R2 kohm=1.0", "R3 kohm=6.8", "R4 kohm=33.0",
                        ">>>>>>>>>>=", "N=", "C4 nF=", "A0 nF=", "A1 nFs=", "A2 nFs2=", "A3 nFs3=",
                        "Fc kHz=", "Phi degrees=", "Gamma=", "wn radian/s=", "Zeta="));
  EXPECT_EQ(form.Label65,
            "____1/R____K\xCF\x86________________R3_______R4______Kvco/s___\n"
            "           |      |      |        |        |           |\n"
            "           |      |      C2       |        |           |\n"
            "           |      C1     |        C3       C4          |\n"
            "           |      |      R2       |        |           |\n"
            "           |      |      |        |        |           |\n"
            "           |     GND    GND      GND      GND          |\n"
            "           |                                           |\n"
            "           |____________1/N____________________________|");
  EXPECT_EQ(form.Chart2.bottom.title, "time us");
  EXPECT_EQ(form.Chart2.left.title, "freq MHz");
  EXPECT_FALSE(form.Chart2.title_visible);
  EXPECT_FALSE(form.Chart2.legend_visible);
  EXPECT_FALSE(form.Chart2.view_3d);
  EXPECT_THAT(form.Chart2.series, IsEmpty());
  EXPECT_EQ(form.TransientCsv(), "t_us,response_mhz,upper_mhz,lower_mhz\n");
  EXPECT_EQ(form.FindRow("Fout"), nullptr);
}

TEST_F(PllFormTest, CalcWritesEveryResultAndDrawsTheTransient) {
  form.Chart2.bottom.automatic = form.Chart2.left.automatic = false;
  EXPECT_EQ(Calc(), "");
  EXPECT_THAT(messages.shown, IsEmpty());
  EXPECT_EQ(Results(), kStartResults);
  EXPECT_EQ(form.Value(">>>>>>>>>>"), "");

  ASSERT_EQ(form.Chart2.series.size(), 3u);
  const unsigned colors[] = {kChartGrey, kChartGrey, kChartRed};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(form.Chart2.series[i].color, colors[i]);
    EXPECT_FALSE(form.Chart2.series[i].marks_visible);
  }
  const auto& upper = form.Chart2.series[0].points;
  const auto& lower = form.Chart2.series[1].points;
  const auto& response = form.Chart2.series[2].points;
  ASSERT_GE(response.size(), 4999u);
  ASSERT_EQ(upper.size(), response.size());
  ASSERT_EQ(lower.size(), response.size());
  // Microseconds and MHz: the envelopes start at 900 and 1000 MHz and close on 950 MHz.
  EXPECT_EQ(response.front().x, 0.0);
  EXPECT_NEAR(response.front().y, 900, 1e-9);
  EXPECT_NEAR(upper.front().y, 900, 1e-9);
  EXPECT_NEAR(lower.front().y, 1000, 1e-9);
  EXPECT_NEAR(response.back().x, 527.3, 0.1);
  EXPECT_NEAR(response.back().y, 950, 0.05);
  EXPECT_NEAR(lower.back().y - upper.back().y, 0.0, 0.1);
  EXPECT_TRUE(form.Chart2.bottom.automatic);
  EXPECT_TRUE(form.Chart2.left.automatic);
  EXPECT_FALSE(form.Chart2.legend_visible);
}

TEST_F(PllFormTest, BadInputBeforeAnyWriteChangesNothing) {
  for (const char* key : {"Kphi mA", "Kvco MHz/V", "Fout MHz", "Fcomp kHz", "C1 nF", "C2 nF",
                          "C3 nF", "C4* nF", "VCOcap nF", "R2 kohm", "R3 kohm", "R4 kohm"}) {
    SCOPED_TRACE(key);
    PllForm fresh(messages);
    fresh.SetValue(key, "1,5x");
    try {
      fresh.Button6Click();
      ADD_FAILURE() << "no ConversionError";
    } catch (const ConversionError& error) {
      EXPECT_STREQ(error.what(), "'1,5x' is not a valid floating point value");
    }
    for (const char* output : kOutputKeys)
      EXPECT_EQ(fresh.Value(output), "") << output;
  }
}

TEST_F(PllFormTest, BadF2EndsCalcAfterGamma) {
  form.SetValue("F2 MHz", "");
  EXPECT_EQ(Calc(), "'' is not a valid floating point value");
  std::vector<std::string> expected(kStartResults.begin(), kStartResults.end() - 2);
  expected.insert(expected.end(), {"", ""});
  EXPECT_EQ(Results(), expected);
  EXPECT_THAT(form.Chart2.series, IsEmpty());
}

// Each refusal shows one message and leaves every result, and the chart, as the previous
// design left them; ζ of 1 or more keeps the results up to Zeta written.
TEST_F(PllFormTest, RefusalsKeepThePreviousResults) {
  EXPECT_EQ(CrossoverLimitMessage(kMaxCrossoverSteps),
            "The loop gain never crosses N: no crossover found within 1000000 steps. Check Kphi, "
            "Kvco and the capacitors.");
  ASSERT_EQ(Calc(), "");
  const std::vector<ChartSeries> drawn = form.Chart2.series;
  using Inputs = std::vector<std::pair<const char*, const char*>>;
  const struct {
    Inputs inputs;
    std::int64_t step_limit;
    std::string message;
    std::size_t written;  // leading results this Calc writes
    const char* zeta;     // the Zeta it writes, when it gets there
  } cases[] = {
      {{{"Kphi mA", "0"}}, kMaxCrossoverSteps, kCrossoverRangeMessage, 0, nullptr},
      {{{"Kvco MHz/V", "0"}}, kMaxCrossoverSteps, kCrossoverRangeMessage, 0, nullptr},
      {{},
       100,
       "The loop gain never crosses N: no crossover found within 100 steps. Check Kphi, Kvco and "
       "the capacitors.",
       0,
       nullptr},
      {{{"F2 MHz", "0"}}, kMaxCrossoverSteps, kNaturalFrequencyMessage, 0, nullptr},
      {{{"F2 MHz", "-950"}}, kMaxCrossoverSteps, kNaturalFrequencyMessage, 0, nullptr},
      {{{"C2 nF", "-100"}}, kMaxCrossoverSteps, kNaturalFrequencyMessage, 0, nullptr},
      {{{"R2 kohm", "0"}}, kMaxCrossoverSteps, kDampingMessage, 0, nullptr},
      {{{"R2 kohm", "-1"}}, kMaxCrossoverSteps, kDampingMessage, 0, nullptr},
      {{{"C2 nF", "150"}}, kMaxCrossoverSteps, kZetaMessage, 11, "1.06696572172495"},
      // ζ exactly 1 is refused too.
      {{{"C2 nF", "101"}, {"R2 kohm", "1.1528443490463594"}},
       kMaxCrossoverSteps,
       kZetaMessage,
       11,
       "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    PllForm page(messages);
    page.ValueListEditor1 = form.ValueListEditor1;
    page.Chart2 = form.Chart2;
    page.Chart2.left.automatic = false;
    page.crossover_step_limit = c.step_limit;
    for (const auto& [key, value] : c.inputs)
      page.SetValue(key, value);
    messages.shown.clear();
    page.Button6Click();
    EXPECT_THAT(messages.shown, ElementsAre(c.message));
    for (std::size_t i = c.written; i < std::size(kOutputKeys); ++i)
      EXPECT_EQ(page.Value(kOutputKeys[i]), kStartResults[i]) << kOutputKeys[i];
    EXPECT_EQ(page.Chart2.series.size(), drawn.size());
    EXPECT_EQ(page.Chart2.series[2].points.size(), drawn[2].points.size());
    EXPECT_EQ(page.Chart2.series[2].points.back().y, drawn[2].points.back().y);
    EXPECT_FALSE(page.Chart2.left.automatic);
    if (c.zeta) {
      EXPECT_EQ(page.Value("Zeta"), c.zeta);
    }
  }
}

// The program's floating-point errors end Calc where the arithmetic faults.
TEST_F(PllFormTest, DivisionsByZero) {
  form.SetValue("Fcomp kHz", "0");
  EXPECT_EQ(Calc(), kDivisionByZero);
  EXPECT_EQ(form.Value("N"), "");

  // No capacitance at all: the error leaves the previous design's results standing.
  PllForm no_capacitance(messages);
  no_capacitance.Button6Click();
  const std::string fc = no_capacitance.Value("Fc kHz");
  ASSERT_NE(fc, "");
  for (const char* key : {"C1 nF", "C2 nF", "C3 nF", "C4* nF", "VCOcap nF"})
    no_capacitance.SetValue(key, "0");
  const std::vector<ValueListRow> expected = no_capacitance.ValueListEditor1;
  try {
    no_capacitance.Button6Click();
    ADD_FAILURE() << "no FloatError";
  } catch (const FloatError& error) {
    EXPECT_STREQ(error.what(), kDivisionByZero);
  }
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(no_capacitance.ValueListEditor1[i].value, expected[i].value) << expected[i].key;
  }
  EXPECT_EQ(no_capacitance.Value("A0 nF"), "106.034");
  EXPECT_EQ(no_capacitance.Value("Fc kHz"), fc);
  EXPECT_THAT(messages.shown, IsEmpty());
}

TEST_F(PllFormTest, TransientCsvHoldsEveryPointOfTheThreeSeries) {
  ASSERT_EQ(Calc(), "");
  std::istringstream csv(form.TransientCsv());
  std::string line;
  std::getline(csv, line);
  EXPECT_EQ(line, "t_us,response_mhz,upper_mhz,lower_mhz");
  const auto& series = form.Chart2.series;
  std::size_t row = 0;
  while (std::getline(csv, line)) {
    ASSERT_LT(row, series[2].points.size());
    double values[4];
    const char* text = line.c_str();
    for (double& value : values) {
      char* end = nullptr;
      value = std::strtod(text, &end);
      text = *end == ',' ? end + 1 : end;
    }
    ASSERT_EQ(*text, '\0') << line;
    // Every number reads back as the very double the chart holds.
    EXPECT_EQ(values[0], series[2].points[row].x);
    EXPECT_EQ(values[1], series[2].points[row].y);
    EXPECT_EQ(values[2], series[0].points[row].y);
    EXPECT_EQ(values[3], series[1].points[row].y);
    ++row;
  }
  EXPECT_EQ(row, series[2].points.size());
}

}  // namespace
}  // namespace vexa
