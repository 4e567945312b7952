// Runs `vexa-cli rx` as a process, as scripts use it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "design/lineup_csv.h"
#include "support/run_process.h"
#include "support/text_files.h"

namespace {

using vexa::testing::ProcessResult;

ProcessResult RunCli(const std::string& args) {
  return vexa::testing::RunProcess(std::string("LC_ALL=C '") + VEXA_CLI_PATH + "' rx " + args);
}

const char* const kRowLabels[] = {
    "Stage Name",      "NF",          "Gain",           "OIP3",
    "dNF/dTemp",       "dGain/dTemp", "Stage Analysis", "NF(Temp corr)",
    "Gain(Temp Corr)", "Input Power", "Output Power",   "dNF/dNF",
    "dNF/dGain",       "dIP3/dIP3"};
const char* const kListKeys[] = {"Input Power dBm",
                                 "Analysis Temp C",
                                 "Noise BW MHz",
                                 "Ref Temp C",
                                 "S/N for sensi dB",
                                 "Noise Source Ref K",
                                 "Gain dB",
                                 "NF dB",
                                 "Noise Temp K",
                                 "SNR dB",
                                 "MDS dBm",
                                 "Sensi dBm",
                                 "Noise Floor dBm/Hz",
                                 "IIP3 dBm",
                                 "OIP3 dBm",
                                 "Input IM lev dBm",
                                 "Input IM lev dBc",
                                 "Output IM lev dBm",
                                 "Output IM lev dBc",
                                 "SFDR dB"};

// The printed lines as keys ("stage 3 NF", "Gain dB") in order, and their texts.
struct Printed {
  std::vector<std::string> keys;
  std::map<std::string, std::string> text;
};

Printed Parse(const std::string& out) {
  Printed printed;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const bool cell = line.rfind("stage ", 0) == 0;
    const std::size_t split = cell ? line.find(": ") : line.find('=');
    const std::string key = line.substr(0, split);
    printed.keys.push_back(key);
    printed.text[key] = line.substr(split + (cell ? 2 : 1));
  }
  return printed;
}

std::vector<std::string> ExpectedKeys(int stages) {
  std::vector<std::string> keys;
  for (int c = 1; c <= stages; ++c) {
    for (const char* label : kRowLabels)
      keys.push_back("stage " + std::to_string(c) + " " + label);
  }
  keys.insert(keys.end(), std::begin(kListKeys), std::end(kListKeys));
  return keys;
}

TEST(CliRx, PrintsEveryCellAndValueInOrder) {
  const ProcessResult run = RunCli("");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  const Printed printed = Parse(run.out);
  EXPECT_EQ(printed.keys, ExpectedKeys(7));
  EXPECT_EQ(run.out.substr(0, 50), "stage 1 Stage Name: Duplexer\nstage 1 NF: 3.8\nstage");
  EXPECT_EQ(printed.text.at("stage 7 Gain"), "52");
  EXPECT_EQ(printed.text.at("stage 7 Output Power"), "");
  EXPECT_EQ(printed.text.at("Noise Source Ref K"), "290");
  EXPECT_EQ(printed.text.at("SFDR dB"), "");
}

TEST(CliRx, AppliesTheOptionsInOrder) {
  const struct {
    const char* args;
    int exit_code;
    const char* err;
    int stages;
    std::map<std::string, std::string> text;
  } cases[] = {
      {"analyse",
       0,
       "",
       7,
       {{"stage 1 Output Power", "-53.8"}, {"Gain dB", "82.5"}, {"NF dB", "5.11338538028693"}}},
      {"--stages 2 analyse", 0, "", 2, {{"stage 2 Output Power", "-40"}, {"Gain dB", "10"}}},
      {"--stages 1 --cell '1,Stage Name=Ant, SAW' --cell 1,NF=2 --cell 1,Gain=-2 "
       "--cell 1,OIP3=30 'Input Power dBm=-60' analyse",
       0,
       "",
       1,
       {{"stage 1 Stage Name", "Ant, SAW"},
        {"stage 1 Output Power", "-62"},
        {"NF dB", "2"},
        {"IIP3 dBm", "32"},
        {"Input Power dBm", "-60"}}},
      // 10 degrees above the reference at 0.1 dB/C: every later power 1 dB up.
      {"'Analysis Temp C=35' --cell 1,dGain/dTemp=0.1 analyse",
       0,
       "",
       7,
       {{"stage 1 Gain(Temp Corr)", "-2.8"}, {"stage 7 Output Power", "33.5"}}},
      // A later --stages keeps the cells of the columns that stay.
      {"--stages 9 --cell '9,dIP3/dIP3=x' --stages 8",
       0,
       "",
       8,
       {{"stage 8 NF", ""}, {"stage 7 NF", "6"}}},
      {"--stages 9 analyse",
       1,
       "'' is not a valid floating point value.\n",
       9,
       {{"stage 9 NF", ""}, {"Gain dB", ""}}},
      {"--stages 50 analyse", 1, "stages should between 1 and 49\n", 7, {{"Gain dB", ""}}},
      {"--stages x analyse", 1, "'x' is not a valid integer value.\n", 7, {{"Gain dB", ""}}},
      {"analyse 'Noise BW MHz=0' analyse --stages 3",
       1,
       "Noise BW MHz must be greater than 0.\n",
       7,
       {{"Gain dB", "82.5"}, {"Noise BW MHz", "0"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const ProcessResult run = RunCli(c.args);
    EXPECT_EQ(run.exit_code, c.exit_code);
    EXPECT_EQ(run.err, c.err);
    const Printed printed = Parse(run.out);
    EXPECT_EQ(printed.keys, ExpectedKeys(c.stages));
    for (const auto& [key, text] : c.text)
      EXPECT_EQ(printed.text.at(key), text) << key;
  }
}

TEST(CliRx, OpensLineupFiles) {
  const std::string path = ::testing::TempDir() + "rx_lineup.csv";
  vexa::Lineup lineup;
  lineup.stages = {{{"LNA", "1", "20", "10", "0", "0"}}, {{"Mixer", "10", "5", "15", "0", "0"}}};
  lineup.parameters = {{"Input Power dBm", "-70"}, {"Analysis Temp C", "25"},
                       {"Noise BW MHz", "0.2"},    {"Ref Temp C", "25"},
                       {"S/N for sensi dB", "8"},  {"Noise Source Ref K", "290"}};
  std::ofstream(path, std::ios::binary) << vexa::WriteLineupCsv(lineup);

  const ProcessResult run = RunCli("analyse --lineup '" + path + "' --cell 2,Gain=6 analyse");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  const Printed printed = Parse(run.out);
  EXPECT_EQ(printed.keys, ExpectedKeys(2));
  EXPECT_EQ(printed.text.at("stage 2 Stage Name"), "Mixer");
  EXPECT_EQ(printed.text.at("Gain dB"), "26");
  EXPECT_EQ(printed.text.at("Noise BW MHz"), "0.2");
  EXPECT_EQ(printed.text.at("stage 2 Output Power"), "-44");

  std::ofstream(path, std::ios::binary | std::ios::trunc) << "not a line-up\r\n";
  const ProcessResult refused = RunCli("--lineup '" + path + "' analyse");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(refused.err.rfind(path + ": ", 0), 0u) << refused.err;
  EXPECT_EQ(refused.err.find('\n'), refused.err.size() - 1) << refused.err;
  EXPECT_EQ(Parse(refused.out).keys, ExpectedKeys(7));
  EXPECT_EQ(Parse(refused.out).text.at("Gain dB"), "");
  std::remove(path.c_str());

  const ProcessResult missing = RunCli("--lineup /nonexistent-dir/rx.csv");
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.err,
            "vexa-cli rx: cannot read '/nonexistent-dir/rx.csv': No such file or directory\n");
}

TEST(CliRx, BadUsageRunsNothing) {
  for (const char* usage :
       {"--cell 8,NF=1", "--stages 3 --cell 4,NF=1", "--cell 1,Foo=1", "--cell 1,nf=1",
        "--cell 0,NF=1", "--cell x,NF=1", "--cell 1NF=1", "--cell 1,NF", "'Foo=1'", "'Gain dB=1'",
        "'=1'", "analyze", "--bogus", "--stages", "--cell", "--lineup", "--stages=3"}) {
    SCOPED_TRACE(usage);
    const ProcessResult run = RunCli(usage);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
}

// --chart-csv writes the bars of "Chart..." after the run: for the start-up line-up, the gain
// and noise figure from the antenna up to each of the seven stages.
TEST(CliRx, ChartCsvHoldsTheBarsOfTheChart) {
  const std::string dir = ::testing::TempDir() + "vexa-rx-chart-" + std::to_string(::getpid());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/bars.csv";
  const ProcessResult run = RunCli("--chart-csv '" + path + "'");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, RunCli("").out);  // the fields print as without it
  EXPECT_EQ(vexa::testing::ReadFile(path),
            "stage,name,gain_db,nf_db\n"
            "1,Duplexer,-3.7999999999999998,3.7999999999999998\n"
            "2,LNA,10,4.6999999999999993\n"
            "3,Image Filter,6.5,4.8785660800515114\n"
            "4,LNA,20.600000000000001,5.0274662515927648\n"
            "5,Mixer,33.600000000000001,5.1092201376794755\n"
            "6,IF Filter,30.5,5.1098290998750464\n"
            "7,Amplifier,82.5,5.1133853802869265\n");

  // The line-up as the options leave it, analysed or not; one that cannot be analysed gives
  // the header alone, as the chart shows no bars.
  ASSERT_EQ(RunCli("--stages 2 --cell '2,Stage Name=Mixer' --chart-csv '" + path + "'").exit_code,
            0);
  EXPECT_EQ(vexa::testing::ReadFile(path),
            "stage,name,gain_db,nf_db\n"
            "1,Duplexer,-3.7999999999999998,3.7999999999999998\n"
            "2,Mixer,10,4.6999999999999993\n");
  ASSERT_EQ(RunCli("--cell 3,NF=x --chart-csv '" + path + "'").exit_code, 0);
  EXPECT_EQ(vexa::testing::ReadFile(path), "stage,name,gain_db,nf_db\n");
  std::filesystem::remove_all(dir);
}

// A CSV that cannot be written is one line on stderr and exit 1, after the fields; a file that
// stood there stays whole and no temporary is left.
TEST(CliRx, ChartCsvThatCannotBeWrittenFailsAndKeepsTheOldFile) {
  const std::string dir = ::testing::TempDir() + "vexa-rx-chart-fail-" + std::to_string(::getpid());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/bars.csv";
  const std::string fields = RunCli("").out;
  const std::pair<std::string, std::string> cases[] = {
      {"--chart-csv '" + dir + "'", "vexa-cli rx: cannot write '" + dir + "': Is a directory\n"},
      {"--chart-csv /dev/full", "vexa-cli rx: cannot write '/dev/full': No space left on device\n"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args);
    const ProcessResult run = RunCli(args);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, message);
    EXPECT_EQ(run.out, fields);
  }

  // Forty-nine stages make a CSV of about 2 KB, more than the file-size limit lets through
  // (one block: 512 bytes under dash, 1 KiB under bash), which cuts the write short as a full
  // disk would; the message on stderr is shorter.
  vexa::Lineup lineup;
  for (int stage = 1; stage <= 49; ++stage)
    lineup.stages.push_back(
        {{"Amplifier " + std::to_string(stage), "1.5", "1.25", "30", "0", "0"}});
  lineup.parameters = {{"Input Power dBm", "-50"}, {"Analysis Temp C", "25"},
                       {"Noise BW MHz", "1"},      {"Ref Temp C", "25"},
                       {"S/N for sensi dB", "10"}, {"Noise Source Ref K", "290"}};
  const std::string lineup_path = ::testing::TempDir() + "rx_chart_49.csv";
  vexa::testing::WriteFile(lineup_path, vexa::WriteLineupCsv(lineup));
  const ProcessResult whole = RunCli("--lineup '" + lineup_path + "' --chart-csv '" + path + "'");
  ASSERT_EQ(whole.exit_code, 0) << whole.err;
  const std::string bars = vexa::testing::ReadFile(path);
  EXPECT_GT(bars.size(), 1024u);
  EXPECT_NE(bars.find("\n49,Amplifier 49,61.25,"), std::string::npos);

  vexa::testing::WriteFile(path, "good old file\n");
  const ProcessResult cut =
      vexa::testing::RunProcess("ulimit -f 1 && LC_ALL=C '" VEXA_CLI_PATH "' rx --lineup '" +
                                lineup_path + "' --chart-csv '" + path + "'");
  EXPECT_EQ(cut.exit_code, 1);
  EXPECT_EQ(cut.err, "vexa-cli rx: cannot write '" + path + "': File too large\n");
  EXPECT_EQ(vexa::testing::ReadFile(path), "good old file\n");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"bars.csv"});

  // Bad usage writes nothing.
  EXPECT_EQ(RunCli("--chart-csv").exit_code, 2);
  EXPECT_EQ(RunCli("--bogus --chart-csv '" + path + "'").exit_code, 2);
  EXPECT_EQ(vexa::testing::ReadFile(path), "good old file\n");
  std::filesystem::remove(lineup_path);
  std::filesystem::remove_all(dir);
}

TEST(CliRx, HelpListsRowsKeysAndActions) {
  const ProcessResult run = RunCli("--help");
  EXPECT_EQ(run.exit_code, 0);
  for (const char* label : kRowLabels)
    EXPECT_NE(run.out.find(std::string("        ") + label + "\n"), std::string::npos) << label;
  for (int k = 0; k < 6; ++k)
    EXPECT_NE(run.out.find(std::string("\"") + kListKeys[k] + "=TEXT\""), std::string::npos);
  for (const char* listed : {"--stages N", "--cell C,ROW=TEXT", "--lineup FILE.csv", "analyse",
                             "--chart-csv FILE", "stage,name,gain_db,nf_db"})
    EXPECT_NE(run.out.find(listed), std::string::npos) << listed;
}

}  // namespace
