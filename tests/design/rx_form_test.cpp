// The RX page's form model: the grid and lists as they start, the stage count, what the
// analysis reads and writes (and what it leaves when it stops), line-ups and the results CSV.
#include "design/rx_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/errors.h"
#include "support/message_recorder.h"

namespace vexa {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Recorder = testing::MessageRecorder;

std::vector<std::string> Rows(const std::vector<ValueListRow>& list) {
  std::vector<std::string> rows;
  for (const ValueListRow& row : list)
    rows.push_back(row.key + "=" + row.value);
  return rows;
}

class RxFormTest : public ::testing::Test {
 protected:
  // The error message the click or key ends with, or "" when it runs to its end.
  template <typename Handler>
  std::string Run(Handler handler) {
    try {
      handler();
    } catch (const Error& error) {
      return error.what();
    }
    return "";
  }
  std::string Analyse() {
    return Run([this] { form.BitBtn4Click(); });
  }
  std::string Stages(const std::string& text, int key = kEnterKey) {
    form.LabeledEdit13 = text;
    return Run([this, key] { form.LabeledEdit13KeyDown(key); });
  }

  Recorder messages;
  RxForm form{messages};
};

TEST_F(RxFormTest, StartsWithTheStartTable) {
  ASSERT_EQ(form.ColumnCount(), 8);
  EXPECT_THAT(form.StringGrid1[0],
              ElementsAre("", "Stage Name", "NF", "Gain", "OIP3", "dNF/dTemp", "dGain/dTemp",
                          "Stage Analysis", "NF(Temp corr)", "Gain(Temp Corr)", "Input Power",
                          "Output Power", "dNF/dNF", "dNF/dGain", "dIP3/dIP3"));
  const std::vector<std::vector<std::string>> table = {
      {"Stage 1", "Duplexer", "3.8", "-3.8", "100", "0", "0"},
      {"Stage 2", "LNA", "0.9", "13.8", "14.5", "0", "0"},
      {"Stage 3", "Image Filter", "3.5", "-3.5", "100", "0", "0"},
      {"Stage 4", "LNA", "1.7", "14.1", "9.8", "0", "0"},
      {"Stage 5", "Mixer", "9", "13", "20", "0", "0"},
      {"Stage 6", "IF Filter", "3.1", "-3.1", "100", "0", "0"},
      {"Stage 7", "Amplifier", "6", "52", "12", "0", "0"}};
  for (std::size_t c = 1; c <= 7; ++c) {
    const std::vector<std::string>& column = form.StringGrid1[c];
    ASSERT_EQ(column.size(), 15u);
    EXPECT_EQ(std::vector<std::string>(column.begin(), column.begin() + 7), table[c - 1]);
    for (std::size_t r = 7; r < 15; ++r)
      EXPECT_EQ(column[r], "") << c << "," << r;
  }
  EXPECT_EQ(form.LabeledEdit13, "7");
  EXPECT_THAT(Rows(form.ValueListEditor2),
              ElementsAre("Input Power dBm=-50", "Analysis Temp C=25", "Noise BW MHz=1",
                          "Ref Temp C=25", "S/N for sensi dB=10", "Noise Source Ref K=290"));
  EXPECT_THAT(
      Rows(form.ValueListEditor3),
      ElementsAre("Gain dB=", "NF dB=", "Noise Temp K=", "SNR dB=", "MDS dBm=", "Sensi dBm=",
                  "Noise Floor dBm/Hz=", "IIP3 dBm=", "OIP3 dBm=", "Input IM lev dBm=",
                  "Input IM lev dBc=", "Output IM lev dBm=", "Output IM lev dBc=", "SFDR dB="));
  EXPECT_EQ(RxForm::ParameterKeys().size(), 6u);
  EXPECT_STREQ(kStagesCaption, "Stages");
  EXPECT_STREQ(kRxParametersKeyTitle, "System Parameters");
  EXPECT_STREQ(kRxAnalysisKeyTitle, "System Analysis");
  EXPECT_STREQ(kRxValueTitle, "Value");
}

TEST_F(RxFormTest, AnalysisWritesTheResultRowsAndTheSystemValues) {
  ASSERT_EQ(Analyse(), "");
  EXPECT_THAT(messages.shown, IsEmpty());
  EXPECT_THAT(std::vector<std::string>(form.StringGrid1[1].begin() + 7, form.StringGrid1[1].end()),
              ElementsAre("", "3.8", "-3.8", "-50", "-53.8", "0.739028968062254",
                          "-0.260971031937746", "3.71534060667122E-18"));
  EXPECT_EQ(form.StringGrid1[7][11], "32.5");
  EXPECT_EQ(form.StringGrid1[7][13], "0");
  EXPECT_EQ(form.Analysis("Gain dB"), "82.5");
  EXPECT_EQ(form.Analysis("NF dB"), "5.11338538028693");
  EXPECT_EQ(form.Analysis("SFDR dB"), "25.5910673077961");
}

TEST_F(RxFormTest, StageCountOnEnter) {
  const struct {
    const char* text;
    int key;
    int columns;  // after the key
    const char* error;
    bool range_message;
  } cases[] = {
      {"9", kEnterKey, 10, "", false},
      {" 1", kEnterKey, 2, "", false},
      {"49", kEnterKey, 50, "", false},
      {"0", kEnterKey, 8, "", true},
      {"50", kEnterKey, 8, "", true},
      {"-3", kEnterKey, 8, "", true},
      {"9", 'A', 8, "", false},
      {"9", 9, 8, "", false},  // Tab
      {"x", kEnterKey, 8, "'x' is not a valid integer value", false},
      {"2.5", kEnterKey, 8, "'2.5' is not a valid integer value", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Recorder recorder;
    RxForm fresh(recorder);
    fresh.BitBtn4Click();
    const auto before = fresh.StringGrid1;
    fresh.LabeledEdit13 = c.text;
    std::string error;
    try {
      fresh.LabeledEdit13KeyDown(c.key);
    } catch (const Error& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(recorder.shown, c.range_message ? std::vector<std::string>{kStagesRangeMessage}
                                              : std::vector<std::string>{});
    ASSERT_EQ(fresh.ColumnCount(), c.columns);
    EXPECT_EQ(fresh.StringGrid1[0], before[0]);
    for (int col = 1; col < c.columns; ++col) {
      std::vector<std::string> expected(15);
      if (col < 8)
        expected = before[static_cast<std::size_t>(col)];  // every cell kept, results too
      expected[0] = "Stage " + std::to_string(col);
      EXPECT_EQ(fresh.StringGrid1[static_cast<std::size_t>(col)], expected) << col;
    }
  }
}

TEST_F(RxFormTest, AnInputThatIsNoNumberWritesNothing) {
  ASSERT_EQ(Analyse(), "");
  const auto grid = form.StringGrid1;
  const auto analysis = form.ValueListEditor3;

  ASSERT_EQ(Stages("9"), "");
  EXPECT_EQ(Analyse(), "'' is not a valid floating point value");
  form.StringGrid1[8][2] = "2";
  form.StringGrid1[8][3] = "10";
  EXPECT_EQ(Analyse(), "'' is not a valid floating point value");
  for (std::size_t c = 1; c < 8; ++c)
    EXPECT_EQ(form.StringGrid1[c], grid[c]);
  EXPECT_EQ(form.StringGrid1[8][8], "");
  EXPECT_EQ(Rows(form.ValueListEditor3), Rows(analysis));

  ASSERT_EQ(Stages("7"), "");
  form.SetParameter("Ref Temp C", "25 C");
  EXPECT_EQ(Analyse(), "'25 C' is not a valid floating point value");
  form.SetParameter("Ref Temp C", "25");
  form.StringGrid1[1][1] = "";  // the name is not read
  form.StringGrid1[2][3] = "12.8";
  EXPECT_EQ(Analyse(), "");
  EXPECT_EQ(form.Analysis("Gain dB"), "81.5");
  EXPECT_THAT(messages.shown, IsEmpty());
}

TEST_F(RxFormTest, ARefusedLineupWritesNothing) {
  ASSERT_EQ(Analyse(), "");
  const auto grid = form.StringGrid1;
  const auto analysis = Rows(form.ValueListEditor3);
  for (const char* bandwidth : {"0", "-2"}) {
    form.SetParameter("Noise BW MHz", bandwidth);
    form.StringGrid1[2][3] = "20";
    EXPECT_EQ(Analyse(), "");
    form.StringGrid1[2][3] = grid[2][3];
    EXPECT_EQ(form.StringGrid1, grid);
    EXPECT_EQ(Rows(form.ValueListEditor3), analysis);
  }
  EXPECT_THAT(messages.shown,
              ElementsAre(kCascadeNoiseBandwidthMessage, kCascadeNoiseBandwidthMessage));
}

TEST_F(RxFormTest, LineupsRoundTrip) {
  ASSERT_EQ(Analyse(), "");
  Lineup lineup;
  lineup.stages = {{{"SAW, \"narrow\"", "2", "-2", "100", "0.01", "0"}},
                   {{" LNA ", "1.1", "15", "10", "0", "-0.02"}},
                   {{"", "x", "", "", "", ""}}};
  lineup.parameters = {{"Input Power dBm", "-100"}, {"Analysis Temp C", "85"},
                       {"Noise BW MHz", "0.2"},     {"Ref Temp C", "25"},
                       {"S/N for sensi dB", "9"},   {"Noise Source Ref K", "300"}};
  form.ApplyLineup(lineup);
  ASSERT_EQ(form.ColumnCount(), 4);
  EXPECT_EQ(form.LabeledEdit13, "3");
  for (std::size_t c = 1; c <= 3; ++c) {
    EXPECT_EQ(form.StringGrid1[c][0], "Stage " + std::to_string(c));
    for (std::size_t r = 8; r < 15; ++r)
      EXPECT_EQ(form.StringGrid1[c][r], "") << c << "," << r;
  }
  for (const ValueListRow& row : form.ValueListEditor3)
    EXPECT_EQ(row.value, "") << row.key;
  const Lineup back = form.CurrentLineup();
  ASSERT_EQ(back.stages.size(), 3u);
  for (std::size_t s = 0; s < 3; ++s)
    EXPECT_EQ(back.stages[s].cells, lineup.stages[s].cells);
  EXPECT_EQ(back.parameters, lineup.parameters);

  // Through the file's text and back.
  const LineupResult parsed = ParseLineupCsv(WriteLineupCsv(back), RxForm::ParameterKeys());
  ASSERT_TRUE(parsed.ok) << parsed.error;
  RxForm other(messages);
  other.ApplyLineup(parsed.lineup);
  EXPECT_EQ(other.StringGrid1, form.StringGrid1);
  EXPECT_EQ(Rows(other.ValueListEditor2), Rows(form.ValueListEditor2));

  // A line-up the page cannot show changes nothing.
  const auto grid = form.StringGrid1;
  Lineup empty;
  EXPECT_THROW(form.ApplyLineup(empty), std::invalid_argument);
  Lineup unknown_key = lineup;
  unknown_key.parameters.push_back({"Gain dB", "1"});
  EXPECT_THROW(form.ApplyLineup(unknown_key), std::out_of_range);
  EXPECT_EQ(form.StringGrid1, grid);
}

TEST_F(RxFormTest, ResultsCsv) {
  form.StringGrid1[5][1] = "Mixer, \"hot\"";
  form.StringGrid1[6][1] = " IF";
  ASSERT_EQ(Analyse(), "");
  std::vector<std::string> lines;
  const std::string csv = form.ResultsCsv();
  for (std::size_t start = 0; start < csv.size();) {
    const std::size_t end = csv.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
    lines.push_back(csv.substr(start, end - start));
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), 1u + 7 + 1 + 1 + 14);
  EXPECT_EQ(lines[0],
            "Stage,Name,NF(Temp corr),Gain(Temp Corr),Input Power,Output Power,dNF/dNF,"
            "dNF/dGain,dIP3/dIP3");
  EXPECT_EQ(lines[1],
            "1,Duplexer,3.8,-3.8,-50,-53.8,0.739028968062254,-0.260971031937746,"
            "3.71534060667122E-18");
  EXPECT_EQ(lines[5].substr(0, 24), "5,\"Mixer, \"\"hot\"\"\",9,13,");
  EXPECT_EQ(lines[6].substr(0, 8), "6,\" IF\",");
  EXPECT_EQ(lines[8], "");
  EXPECT_EQ(lines[9], "System Analysis,Value");
  EXPECT_EQ(lines[10], "Gain dB,82.5");
  EXPECT_EQ(lines[23], "SFDR dB,25.5910673077961");
}

}  // namespace
}  // namespace vexa
