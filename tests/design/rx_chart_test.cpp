// The RX page's chart without a widget: the gain and noise figure from the input up to each
// stage, as Friis's formula gives them, and the chart of a line-up that cannot be analysed.
#include "design/rx_chart.h"
#include "support/message_recorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace vexa {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Recorder = testing::MessageRecorder;

struct StageTexts {
  const char* name;
  const char* nf;
  const char* gain;
};

// A line-up of these stages (intercepts far out, no temperature drift) at the start-up
// parameters.
void SetLineup(RxForm& form, const std::vector<StageTexts>& stages) {
  form.LabeledEdit13 = std::to_string(stages.size());
  form.LabeledEdit13KeyDown(kEnterKey);
  for (std::size_t i = 0; i < stages.size(); ++i) {
    std::vector<std::string>& cells = form.StringGrid1[i + 1];
    cells[kRxNameRow] = stages[i].name;
    cells[kRxFirstInputRow] = stages[i].nf;
    cells[kRxFirstInputRow + 1] = stages[i].gain;
    cells[kRxFirstInputRow + 2] = "100";
    cells[kRxFirstInputRow + 3] = "0";
    cells[kRxFirstInputRow + 4] = "0";
  }
}

double Factor(double db) {
  return std::pow(10, db / 10);
}

// Three stages: NF 2 dB / gain 10 dB, NF 6 dB / 20 dB, NF 10 dB / -5 dB. Friis:
// F = F1 + (F2 - 1) / G1 + (F3 - 1) / (G1 G2) = 1.58489 + 0.29811 + 0.009.
TEST(RxChart, BarsAreTheCumulativeGainAndFriisNoiseFigure) {
  Recorder messages;
  RxForm form(messages);
  SetLineup(form, {{"LNA", "2", "10"}, {"Mixer", "6", "20"}, {"Pad", "10", "-5"}});
  const RxChart chart = MakeRxChart(form);
  ASSERT_TRUE(chart.complete);
  EXPECT_THAT(chart.categories, ElementsAre("1 LNA", "2 Mixer", "3 Pad"));
  ASSERT_EQ(chart.gain.bars.size(), 3u);
  ASSERT_EQ(chart.nf.bars.size(), 3u);
  EXPECT_NEAR(chart.gain.bars[0], 10, 1e-12);
  EXPECT_NEAR(chart.gain.bars[1], 30, 1e-12);
  EXPECT_NEAR(chart.gain.bars[2], 25, 1e-12);
  const double f1 = Factor(2);
  const double f12 = f1 + (Factor(6) - 1) / 10;
  const double f123 = f12 + (Factor(10) - 1) / 1000;
  EXPECT_NEAR(chart.nf.bars[0], 2, 1e-9);
  EXPECT_NEAR(chart.nf.bars[1], 10 * std::log10(f12), 1e-9);
  EXPECT_NEAR(chart.nf.bars[2], 10 * std::log10(f123), 1e-9);
  EXPECT_NEAR(chart.nf.bars[1], 2.7485, 1e-4);
  EXPECT_NEAR(chart.nf.bars[2], 2.7692, 1e-4);

  // The value axes run from 0 (or the lowest bar) to a tenth of the span plus 1 above.
  EXPECT_FALSE(chart.gain.values.automatic);
  EXPECT_DOUBLE_EQ(chart.gain.values.minimum, 0);
  EXPECT_DOUBLE_EQ(chart.gain.values.maximum, 30 + 3 + 1);
  EXPECT_DOUBLE_EQ(chart.nf.values.minimum, 0);
  EXPECT_NEAR(chart.nf.values.maximum, chart.nf.bars[2] * 1.1 + 1, 1e-12);
  EXPECT_EQ(chart.gain.title, "Gain from the input up to each stage (dB)");
  EXPECT_EQ(chart.nf.title, "Noise figure from the input up to each stage (dB)");
  EXPECT_EQ(chart.gain.set_name, "Gain dB");
  EXPECT_EQ(chart.nf.set_name, "NF dB");
  EXPECT_THAT(messages.shown, IsEmpty());
}

// The start-up line-up: its last bars are the system analysis, and a loss at the input takes
// the gain axis below 0.
TEST(RxChart, StartLineupEndsAtTheSystemAnalysis) {
  Recorder messages;
  RxForm form(messages);
  const RxChart chart = MakeRxChart(form);
  form.BitBtn4Click();
  ASSERT_EQ(chart.gain.bars.size(), 7u);
  EXPECT_DOUBLE_EQ(chart.gain.bars.front(), -3.8);
  EXPECT_NEAR(chart.gain.bars.back(), 82.5, 1e-9);
  EXPECT_NEAR(chart.nf.bars.front(), 3.8, 1e-9);
  EXPECT_NEAR(chart.nf.bars.back(), std::stod(form.Analysis("NF dB")), 1e-9);
  EXPECT_DOUBLE_EQ(chart.gain.values.minimum, -3.8);
  EXPECT_NEAR(chart.gain.values.maximum, 82.5 + 8.63 + 1, 1e-9);
  EXPECT_EQ(chart.categories.front(), "1 Duplexer");
}

// A cell or parameter that is no number, or a line-up the analysis refuses: no bars, no
// categories, and the gain chart's title says why.
TEST(RxChart, RefusedLineupShowsNoBarsAndSaysSo) {
  const char* const title =
      "Gain from the input up to each stage (dB) (no bars: the line-up cannot be analysed, see "
      "Analyse)";
  struct Case {
    const char* what;
    int column;  // 0: a parameter
    int row;
    const char* parameter;
    const char* text;
  };
  const Case cases[] = {
      {"an NF that is no number", 3, kRxFirstInputRow, nullptr, "x"},
      {"an empty dGain/dTemp", 1, kRxFirstInputRow + 4, nullptr, ""},
      {"a parameter that is no number", 0, 0, "Input Power dBm", "-50 dBm"},
      {"a noise bandwidth of 0, refused by the analysis", 0, 0, "Noise BW MHz", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder messages;
    RxForm form(messages);
    if (c.column > 0)
      form.StringGrid1[static_cast<std::size_t>(c.column)][static_cast<std::size_t>(c.row)] =
          c.text;
    else
      form.SetParameter(c.parameter, c.text);
    const RxChart chart = MakeRxChart(form);
    EXPECT_FALSE(chart.complete);
    EXPECT_THAT(chart.gain.bars, IsEmpty());
    EXPECT_THAT(chart.nf.bars, IsEmpty());
    EXPECT_THAT(chart.categories, IsEmpty());
    EXPECT_EQ(chart.gain.title, title);
    EXPECT_EQ(chart.nf.title, "Noise figure from the input up to each stage (dB)");
    EXPECT_EQ(RxChartCsv(chart), "stage,name,gain_db,nf_db\n");
    EXPECT_THAT(messages.shown, IsEmpty());  // the chart shows no box
  }
}

TEST(RxChart, CsvHoldsOneRowPerBarWithNumbersThatReadBack) {
  Recorder messages;
  RxForm form(messages);
  SetLineup(form, {{"LNA, low noise", "2", "10"}, {"\"Mixer\"", "6", "20.5"}});
  const RxChart chart = MakeRxChart(form);
  ASSERT_EQ(chart.nf.bars.size(), 2u);
  EXPECT_NEAR(chart.nf.bars[0], 2, 1e-9);
  EXPECT_NEAR(chart.nf.bars[1], 10 * std::log10(Factor(2) + (Factor(6) - 1) / 10), 1e-9);
  EXPECT_EQ(RxChartCsv(chart),
            "stage,name,gain_db,nf_db\n"
            "1,\"LNA, low noise\",10," +
                CsvNumber(chart.nf.bars[0]) +
                "\n"
                "2,\"\"\"Mixer\"\"\",30.5," +
                CsvNumber(chart.nf.bars[1]) + "\n");
  // Every digit the figure needs, so that it reads back as the same number.
  for (const double bar : chart.nf.bars)
    EXPECT_EQ(std::stod(CsvNumber(bar)), bar);
}

}  // namespace
}  // namespace vexa
