// Receiver line-up CSV files: the exact text written, round trips of awkward texts, files as a
// spreadsheet saves them, and every refusal with its message.
#include "design/lineup_csv.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace vexa {
namespace {

const std::vector<std::string> kKeys = {"Input Power dBm",  "Analysis Temp C",
                                        "Noise BW MHz",     "Ref Temp C",
                                        "S/N for sensi dB", "Noise Source Ref K"};

const std::string kHeader = "Stage,Name,NF dB,Gain dB,OIP3 dBm,dNF/dTemp dB/C,dGain/dTemp dB/C";

void ExpectSame(const Lineup& actual, const Lineup& expected) {
  const auto cells = [](const Lineup& lineup) {
    std::vector<std::array<std::string, 6>> all;
    for (const LineupStage& stage : lineup.stages)
      all.push_back(stage.cells);
    return all;
  };
  EXPECT_EQ(cells(actual), cells(expected));
  EXPECT_EQ(actual.parameters, expected.parameters);
}

Lineup Make(std::vector<std::array<std::string, 6>> stages, std::vector<std::string> values) {
  Lineup lineup;
  for (auto& cells : stages)
    lineup.stages.push_back({std::move(cells)});
  for (std::size_t i = 0; i < kKeys.size(); ++i)
    lineup.parameters.emplace_back(kKeys[i], values[i]);
  return lineup;
}

Lineup Sample() {
  return Make(
      {{"Duplexer", "3.8", "-3.8", "100", "0", "0"}, {"LNA", "1.5", "15", "20", "0.01", "-0.02"}},
      {"-50", "25", "0.2", "25", "9", "290"});
}

TEST(LineupCsvTest, WritesTheLayoutQuotingOnlyWhereNeeded) {
  const Lineup lineup = Make({{"SAW, 947 MHz", "2", "-2", "", " 100", "0\t"},
                              {"Mixer \"A\"", "µ", "Γ", "1e3", "a b", "-"}},
                             {"-50", "25", "0.2", "25", "9", "290"});
  EXPECT_EQ(WriteLineupCsv(lineup), kHeader +
                                        "\r\n"
                                        "1,\"SAW, 947 MHz\",2,-2,,\" 100\",\"0\t\"\r\n"
                                        "2,\"Mixer \"\"A\"\"\",µ,Γ,1e3,a b,-\r\n"
                                        "\r\n"
                                        "Parameter,Value\r\n"
                                        "Input Power dBm,-50\r\n"
                                        "Analysis Temp C,25\r\n"
                                        "Noise BW MHz,0.2\r\n"
                                        "Ref Temp C,25\r\n"
                                        "S/N for sensi dB,9\r\n"
                                        "Noise Source Ref K,290\r\n");
}

TEST(LineupCsvTest, RoundTripsAwkwardTextsAndTheLimits) {
  const std::vector<std::string> texts = {"a,b",
                                          "say \"hi\"",
                                          "\"",
                                          "\"\"",
                                          ",",
                                          " lead",
                                          "trail ",
                                          "\ttab",
                                          "  ",
                                          "",
                                          "µ",
                                          "Γ",
                                          "3.8 dB µV",
                                          std::string(256, 'x'),
                                          std::string(256, '"')};
  std::vector<std::array<std::string, 6>> stages;
  for (std::size_t i = 0; i < texts.size(); ++i)
    stages.push_back({texts[i], texts[(i + 1) % texts.size()], "1", "2", "3", texts[i]});
  std::vector<std::string> values(texts.end() - kKeys.size(), texts.end());
  const Lineup lineup = Make(stages, values);
  const LineupResult result = ParseLineupCsv(WriteLineupCsv(lineup), kKeys);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_TRUE(result.error.empty());
  ExpectSame(result.lineup, lineup);

  Lineup longest = Sample();
  longest.stages.resize(kLineupMaxStages, Sample().stages[1]);
  const LineupResult read = ParseLineupCsv(WriteLineupCsv(longest), kKeys);
  ASSERT_TRUE(read.ok) << read.error;
  ExpectSame(read.lineup, longest);
}

TEST(LineupCsvTest, ReadsFilesAsASpreadsheetSavesThem) {
  const std::string plain =
      kHeader +
      "\n1,Duplexer,3.8,-3.8,100,0,0\n2,LNA,1.5,15,20,0.01,-0.02\n\nParameter,Value\n"
      "Input Power dBm,-50\nAnalysis Temp C,25\nNoise BW MHz,0.2\nRef Temp C,25\n"
      "S/N for sensi dB,9\nNoise Source Ref K,290\n";
  // With a byte-order mark, every field quoted, the parameters in another order, empty lines
  // at the end.
  const std::string quoted =
      "\xEF\xBB\xBF\"Stage\",\"Name\",\"NF dB\",\"Gain dB\",\"OIP3 dBm\",\"dNF/dTemp dB/C\","
      "\"dGain/dTemp dB/C\"\n"
      "\"1\",\"Duplexer\",\"3.8\",\"-3.8\",\"100\",\"0\",\"0\"\n"
      "\"2\",\"LNA\",\"1.5\",\"15\",\"20\",\"0.01\",\"-0.02\"\n\n"
      "\"Parameter\",\"Value\"\n\"Noise Source Ref K\",\"290\"\n\"Ref Temp C\",\"25\"\n"
      "\"Input Power dBm\",\"-50\"\n\"S/N for sensi dB\",\"9\"\n\"Noise BW MHz\",\"0.2\"\n"
      "\"Analysis Temp C\",\"25\"\n\n\n";
  std::string crlf_unended = WriteLineupCsv(Sample());
  crlf_unended.resize(crlf_unended.size() - 2);
  for (const std::string& text : {plain, quoted, crlf_unended}) {
    SCOPED_TRACE(text);
    const LineupResult result = ParseLineupCsv(text, kKeys);
    ASSERT_TRUE(result.ok) << result.error;
    ExpectSame(result.lineup, Sample());
  }
}

TEST(LineupCsvTest, RefusesWithTheLineAtFaultAndLoadsNothing) {
  const std::string head = kHeader + "\n";
  const std::string row = "1,LNA,1.5,15,20,0,0\n";
  const std::string params =
      "Input Power dBm,-50\nAnalysis Temp C,25\nNoise BW MHz,0.2\nRef Temp C,25\n"
      "S/N for sensi dB,9\nNoise Source Ref K,290\n";
  const std::string tail = "\nParameter,Value\n" + params;  // lines 3 to 10 after one stage
  std::string fifty_stages = head;
  for (int i = 1; i <= 50; ++i)
    fifty_stages += std::to_string(i) + ",S,1,2,3,4,5\n";
  std::string padded = WriteLineupCsv(Sample());
  padded.resize(std::size_t{1} << 20, '\n');
  ASSERT_TRUE(ParseLineupCsv(padded, kKeys).ok);  // exactly 1 MiB is read
  const std::string not_lineup =
      "line 1: not a VEXA line-up (the header row must be \"Stage,Name,NF dB,Gain dB,OIP3 "
      "dBm,dNF/dTemp dB/C,dGain/dTemp dB/C\")";
  const std::string no_stages = "no stages (a line-up has 1 to 49)";
  const std::string no_header = "expected the \"Parameter,Value\" header row";

  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {padded + "\n", "the file is larger than 1 MiB"},
      {"", not_lineup},
      {"\xEF\xBB\xBF", not_lineup},
      {"\n" + head + row + tail, not_lineup},
      {"Stage,Name,NF dB,Gain dB,OIP3 dBm,dNF/dTemp dB/C\n" + row + tail, not_lineup},
      {"stage" + head.substr(5) + row + tail, not_lineup},
      {head, "line 2: " + no_stages},
      {head + tail, "line 2: " + no_stages},
      {head + row,
       "line 3: the file ends after the stages (the \"Parameter,Value\" rows are missing)"},
      {head + "1,LNA,1.5,15,20,0\n" + tail, "line 2: expected 7 fields, found 6"},
      {head + "1,LNA,1.5,15,20,0,0,\n" + tail, "line 2: expected 7 fields, found 8"},
      {head + std::string(30, ',') + "\n" + tail, "line 2: expected 7 fields, found 31"},
      {head + row + "3,Mixer,1,2,3,4,5\n" + tail, "line 3: stage number 3, expected 2"},
      {head + "01,LNA,1.5,15,20,0,0\n" + tail, "line 2: stage number \"01\", expected 1"},
      {head + " 1,LNA,1.5,15,20,0,0\n" + tail, "line 2: stage number \" 1\", expected 1"},
      {fifty_stages + tail, "line 51: more than 49 stages"},
      {head + row + "Parameter,Value\n" + params,
       "line 3: expected an empty line before \"Parameter,Value\""},
      {head + row + "\n\nParameter,Value\n" + params, "line 4: " + no_header},
      {head + row + "\nParameter,Val\n" + params, "line 4: " + no_header},
      {head + row + "\n", "line 4: " + no_header},
      {head + row + tail + "Foo,1\n", "line 11: unknown parameter \"Foo\""},
      {head + row + tail + "input power dBm,1\n", "line 11: unknown parameter \"input power dBm\""},
      {head + row + tail + "\"Gain \"\"x\"\"\t\xC2\xB5" + std::string(30, 'y') + "\",1\n",
       "line 11: unknown parameter \"Gain \\\"x\\\"\\x09\\xc2\\xb5" + std::string(21, 'y') +
           "\"..."},
      {head + row + tail + "Noise BW MHz,0.3\n", "line 11: parameter \"Noise BW MHz\" given twice"},
      {head + row + tail + "Noise BW MHz\n", "line 11: expected 2 fields, found 1"},
      {head + row + tail + "Noise BW MHz,0.3,MHz\n", "line 11: expected 2 fields, found 3"},
      {head + row + "\nParameter,Value\n" + params.substr(0, params.find("Ref Temp C")) +
           "S/N for sensi dB,9\nNoise Source Ref K,290\n",
       "missing parameter \"Ref Temp C\""},
      {head + row + "\nParameter,Value\n", "missing parameter \"Input Power dBm\""},
      {head + row + tail + "\n\nx\n", "line 13: only empty lines may follow the parameters"},
      {head + row + tail + "\n \n", "line 12: only empty lines may follow the parameters"},
      {head + row + "2,\"Mixer,1,2,3,4,5\n" + tail, "line 3: unterminated quoted field"},
      {head + "1,\"LNA\"x,1.5,15,20,0,0\n" + tail,
       "line 2: text after the closing quote of field 2"},
      {head + "1,\"LNA\" ,1.5,15,20,0,0\n" + tail,
       "line 2: text after the closing quote of field 2"},
      {head + "1,LNA,1.5\"dB,15,20,0,0\n" + tail, "line 2: quote inside unquoted field 3"},
      {head + "1,LNA,1.5,15,20,0," + std::string(257, '0') + "\n" + tail,
       "line 2: field 7 is longer than 256 bytes"},
      {head + "1,\"" + std::string(514, '"') + "\",1,2,3,4,5\n" + tail,
       "line 2: field 2 is longer than 256 bytes"},
      {head + "1,\"L\nN\r\nA\",1.5,15,20,0,0\n" + tail, "line 2: field 2 holds a line break"},
      {head + row + "\"2\",Mixer,1,2,3,4,\"\r\"\n" + tail, "line 3: field 7 holds a line break"},
      {head + "1,LNA\r,1.5,15,20,0,0\n" + tail, "line 2: carriage return without a line feed"},
      {head + row + "\r\r" + tail, "line 3: carriage return without a line feed"},
      {head + row + tail + "\r", "line 11: carriage return without a line feed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 400));
    const LineupResult result = ParseLineupCsv(c.text, kKeys);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, c.message);
    EXPECT_TRUE(result.lineup.stages.empty() && result.lineup.parameters.empty());
  }
}

}  // namespace
}  // namespace vexa
