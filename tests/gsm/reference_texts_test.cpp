// The fixed texts of the GSM tab's reference views, and `vexa-cli reference` run as a process.
#include "gsm/reference_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/text_files.h"

namespace {

using vexa::testing::ProcessResult;
using Lines = std::vector<std::string>;

std::string Joined(const Lines& lines, std::size_t from = 0) {
  std::string text;
  for (std::size_t i = from; i < lines.size(); ++i)
    text += lines[i] + '\n';
  return text;
}

std::string Golden(const char* view) {
  return vexa::testing::ReadFile(std::string(VEXA_REFERENCE_GOLDEN_DIR) + "/reference_" + view +
                                 ".txt");
}

std::set<std::size_t> BlankLines(const Lines& lines) {
  std::set<std::size_t> blank;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty())
      blank.insert(i);
  }
  return blank;
}

std::size_t Count(const Lines& lines, const std::string& line) {
  return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

TEST(ReferenceTexts, EveryMemoMatchesItsReviewedGoldenFileByteForByte) {
  const std::pair<const char*, const Lines*> memos[] = {{"pcl", &vexa::PclMemoLines()},
                                                        {"orfs", &vexa::OrfsMemoLines()},
                                                        {"spur", &vexa::SpurMemoLines()}};
  for (const auto& [view, lines] : memos) {
    const std::string golden = Golden(view);
    ASSERT_FALSE(golden.empty()) << view;
    EXPECT_EQ(Joined(*lines), golden) << view;
  }
}

TEST(ReferenceTexts, PclBlocksStandAtTheirLines) {
  const Lines& pcl = vexa::PclMemoLines();
  ASSERT_EQ(pcl.size(), 126u);
  // One empty line between the eight blocks, and nowhere else.
  EXPECT_EQ(BlankLines(pcl), (std::set<std::size_t>{25, 51, 76, 81, 83, 103, 123}));
  const std::pair<std::size_t, const char*> lines[] = {
      {0, "GSM 400, GSM 700, GSM 850 and GSM 900 transmitter output power"},
      {1, "         for different power classes"},
      {2, "Pwr class|  PCL |  Pwr |       Tolerances      |"},
      {3, "2 3 4 5  |      |  dBm |  normal   |  extreme  |"},
      {26, "DCS 1800 transmitter output power for different power classes"},
      {28, "  1 2 3  |      |  dBm |  normal   |  extreme  |"},
      {52, "PCS 1900 transmitter output power for different power classes"},
      {54, "  1 2 3  |      |  dBm |  normal   |  extreme  |"},
      {82, "/************************************************************/"},
      {84, "GSM 400, GSM 700, GSM 850 and GSM 900 transmitter output power"},
      {85, "for different power classes 8PSK Modulated Signals"},
      {87, "E1 E2 E3 |      |  dBm |  normal   |  extreme  |"},
      {104, "DCS 1800 and PCS 1900 transmitter output power"},
      {105, "for different power classes 8-PSK Modulated Signals"},
      {107, "E1 E2 E3 |      |  dBm |  normal   |  extreme  |"}};
  for (const auto& [at, text] : lines)
    EXPECT_EQ(pcl[at], text) << at;
  // The notes after the GMSK tables (three lines each) and the two adjacent-level paragraphs.
  EXPECT_TRUE(pcl[22].starts_with("*NOTE:"));
  EXPECT_TRUE(pcl[48].starts_with("*NOTE:"));
  EXPECT_TRUE(pcl[73].starts_with("NOTE:"));
  for (std::size_t at : {24u, 50u, 75u})
    EXPECT_NE(pcl[at].find("2,5 dB"), std::string::npos) << at;
  EXPECT_NE(pcl[79].find("PCS 1900 class 3"), std::string::npos);
  EXPECT_EQ(Joined(pcl, 124), Joined({pcl[77], pcl[78]}));
}

TEST(ReferenceTexts, PclRowsHoldTheLevelsOfEachBlock) {
  const Lines& pcl = vexa::PclMemoLines();
  const Lines gsm = {"*        |   2  |  39  |  +/-2 dB  |  +/-2,5dB |",
                     "* *      |   3  |  37  |  +/-3 dB* |  +/-4 dB* |",
                     "* *      |   4  |  35  |  +/-3 dB  |  +/-4 dB  |",
                     "* * *    |   5  |  33  |  +/-3 dB* |  +/-4 dB* |",
                     "* * *    |   6  |  31  |  +/-3 dB  |  +/-4 dB  |",
                     "* * * *  |   7  |  29  |  +/-3 dB* |  +/-4 dB* |",
                     "* * * *  |   8  |  27  |  +/-3 dB  |  +/-4 dB  |",
                     "* * * *  |   9  |  25  |  +/-3 dB  |  +/-4 dB  |",
                     "* * * *  |  10  |  23  |  +/-3 dB  |  +/-4 dB  |",
                     "* * * *  |  11  |  21  |  +/-3 dB  |  +/-4 dB  |",
                     "* * * *  |  12  |  19  |  +/-3 dB  |  +/-4 dB  |",
                     "* * * *  |  13  |  17  |  +/-3 dB  |  +/-4 dB  |",
                     "* * * *  |  14  |  15  |  +/-3 dB  |  +/-4 dB  |",
                     "* * * *  |  15  |  13  |  +/-3 dB  |  +/-4 dB  |",
                     "* * * *  |  16  |  11  |  +/-5 dB  |  +/-6 dB  |",
                     "* * * *  |  17  |   9  |  +/-5 dB  |  +/-6 dB  |",
                     "* * * *  |  18  |   7  |  +/-5 dB  |  +/-6 dB  |",
                     "* * * *  |  19  |   5  |  +/-5 dB  |  +/-6 dB  |"};
  EXPECT_EQ(Lines(pcl.begin() + 4, pcl.begin() + 22), gsm);
  // The first and last rows and every change of tolerance or class in the other blocks.
  const std::pair<std::size_t, const char*> rows[] = {
      {29, "      *  |  29  |  36  |  +/-2,0dB |  +/-2,5dB |"},
      {31, "      *  |  31  |  32  |  +/-3,0dB |  +/-4,0dB |"},
      {32, "  *   *  |   0  |  30  |  +/-3,0dB*|  +/-4 dB* |"},
      {34, "  *   *  |   2  |  26  |  +/-3 dB  |  +/-4 dB  |"},
      {35, "  * * *  |   3  |  24  |  +/-3 dB* |  +/-4 dB* |"},
      {41, "  * * *  |   9  |  12  |  +/-4 dB  |  +/-5 dB  |"},
      {47, "  * * *  |  15  |   0  |  +/-5 dB  |  +/-6 dB  |"},
      {55, "      *  |  30  |  33  |  +/-2,0dB |  +/-2,5 dB|"},
      {56, "      *  |  31  |  32  |  +/-2,0dB |  +/-2,5 dB|"},
      {57, "  *   *  |   0  |  30  |  +/-3,0dB*|  +/-4 dB* |"},
      {72, "  * * *  |  15  |   0  |  +/-5 dB  |  +/-6 dB  |"},
      {88, "*        |   5  |  33  |  +/-2 dB  |  +/-2.5dB |"},
      {89, "         |   6  |  31  |  +/-3 dB  |  +/-4 dB  |"},
      {91, "   *     |   8  |  27  |  +/-3 dB  |  +/-4 dB  |"},
      {93, "   *  *  |  10  |  23  |  +/-3 dB  |  +/-4 dB  |"},
      {99, "   *  *  |  16  |  11  |  +/-5 dB  |  +/-6 dB  |"},
      {102, "   *  *  |  19  |   5  |  +/-5 dB  |  +/-6 dB  |"},
      {108, "*        |   0  |  30  |  +/-3 dB  |  +/-4 dB  |"},
      {109, "         |   1  |  28  |  +/-3 dB  |  +/-4 dB  |"},
      {110, "   *     |   2  |  26  |  +/-3 dB  |  +/-4 dB  |"},
      {112, "   *  *  |   4  |  22  |  +/-3 dB  |  +/-4 dB  |"},
      {116, "   *  *  |   8  |  14  |  +/-4 dB  |  +/-4 dB  |"},
      {117, "   *  *  |   9  |  12  |  +/-4 dB  |  +/-5 dB  |"},
      {121, "   *  *  |  13  |   4  |  +/-5 dB  |  +/-5 dB  |"},
      {122, "   *  *  |  14  |   2  |  +/-5 dB  |  +/-6 dB  |"}};
  for (const auto& [at, text] : rows)
    EXPECT_EQ(pcl[at], text) << at;
}

TEST(ReferenceTexts, OrfsHalvesAndTheirQuotedLines) {
  const Lines& orfs = vexa::OrfsMemoLines();
  ASSERT_EQ(orfs.size(), 232u);
  EXPECT_EQ(orfs[0], "GMSK");
  EXPECT_EQ(vexa::kOrfs8pskLine, 124);
  EXPECT_EQ(orfs[124], "8PSK");
  EXPECT_EQ(orfs[123], "");
  EXPECT_NE(orfs.back(), "");
  for (std::size_t i = 1; i < orfs.size(); ++i)
    EXPECT_FALSE(orfs[i].empty() && orfs[i - 1].empty()) << "two empty lines at " << i;
  const Lines gmsk(orfs.begin(), orfs.begin() + 124);
  const Lines epsk(orfs.begin() + 124, orfs.end());
  // Lines quoted for both halves, with how often each half holds them.
  const std::tuple<const char*, std::size_t, std::size_t> quoted[] = {
      {"   39      |  +0,5  |  -30  |  -33  |  -60  |  -66       |", 1, 1},
      {"  (dBm)    | 0-100  |  200  |  250  |  400  |600 to <1800|", 2, 2},
      {"           |     power levels in dB relative to the      |", 2, 2},
      {"The values above are subject to the minimum absolute levels (dBm) below.", 4, 3},
      {"GSM 400, GSM 700, GSM 850 and GSM 900 Spectrum due", 1, 1},
      {"DCS 1800 Spectrum due to modulation out to less than 1800 kHz offset", 1, 0},
      {"PCS 1900 Spectrum due to modulation out to less than 1800 kHz offset", 1, 0},
      {"DCS 1800/PCS 1900 Spectrum due to modulation out to less than 1800 kHz offset", 0, 1},
      {"Spectrum due to modulation from 1800 kHz offset", 1, 1},
      {"  GSM400,GSM700,GSM850,GSM900 |        DCS 1800       |        PCS 1900       |", 1, 0},
      {"(dBm) | 1800to| 3000to| >=6000| (dBm) | 1800to| >=6000| (dBm) | 1800to| >=6000|", 1, 0},
      {"  GSM400,GSM700,GSM850,GSM900 |    DCS1800,PCS1900    |", 0, 1},
      {"Power |    Frequency offset   | Power |  Freq offset  |", 0, 1},
      {"  Band(MHz)  |         Spurious emissions level(dBm)         |", 1, 1},
      {"             | GSM400,GSM900,DCS1800 | GSM700,GSM850,PCS1900 |", 1, 1},
      {"  460 to 496 | -67 only for GSM400 MS|                       |", 0, 1},
      {" 1850 to 1910|                       |Comply with FCC rules for wideband PCS services "
       "(see 3GPP TS 05.05, subclause 4.3, applicable only for PCS)",
       0, 1},
      {"GSM Spectrum due to switching transients", 1, 0},
      {"GSM700, GSM 850 and GSM 900 Spectrum due to switching transients", 0, 1},
      {"DCS 1800/PCS 1900 Spectrum due to switching transients", 0, 1},
      {"           |  400 kHz  |  600 kHz  |  1200 kHz | 1800 kHz  |", 3, 2},
      {"   39 dBm  |  -13 dBm  |  -21 dBm  |  -21 dBm  |  -24 dBm  | ", 1, 1},
      {"*NOTE: For equipment supporting 8PSK, the requirement for 8-PSK", 0, 2},
      {"modulation is \xE2\x80\x93"
       "54dB.",
       0, 2}};
  for (const auto& [line, in_gmsk, in_epsk] : quoted) {
    EXPECT_EQ(Count(gmsk, line), in_gmsk) << line;
    EXPECT_EQ(Count(epsk, line), in_epsk) << line;
  }
  // The 8PSK note marks the "<=33" row of GSM and the "30" row of DCS/PCS at 400 kHz.
  EXPECT_EQ(Count(epsk, " <=33      |  +0,5  |  -30  |  -33  |  -60* |  -60       |"), 1u);
  EXPECT_EQ(Count(epsk, "   30      |  +0,5  |  -30  |  -33  |  -60* |  -60       |"), 1u);
  EXPECT_EQ(Count(gmsk, " <=33      |  +0,5  |  -30  |  -33  |  -60  |  -60       |"), 1u);
  // Switching transients: the GSM rows keep their trailing blank, the DCS and PCS rows not.
  EXPECT_EQ(Count(orfs, "<=+21 dBm  |  -23 dBm  |  -26 dBm  |  -32 dBm  |  -36 dBm  | "), 2u);
  EXPECT_EQ(Count(orfs, "<=+20 dBm  |  -23 dBm  |  -26 dBm  |  -32 dBm  |  -36 dBm  |"), 3u);
}

TEST(ReferenceTexts, SpurBlocksStandAtTheirLinesBetweenRules) {
  const Lines& spur = vexa::SpurMemoLines();
  ASSERT_EQ(spur.size(), 174u);
  EXPECT_EQ(BlankLines(spur), (std::set<std::size_t>{53, 68, 78, 96, 131, 146, 156}));
  const std::pair<std::size_t, const char*> titles[] = {
      {0, "Conducted spurious emissions"},  {1, "MS allocated a channel"},
      {69, "Conducted spurious emissions"}, {70, "MS in idle mode"},
      {97, "Radiated spurious emissions"},  {98, "MS allocated a channel"},
      {147, "Radiated spurious emissions"}, {148, "MS in idle mode"}};
  for (const auto& [at, text] : titles)
    EXPECT_EQ(spur[at], text) << at;
  const std::string setup =
      "       Frequency range          |  Frequency offset  | Filter bandwidth | Approx video "
      "bandwidth |";
  const std::string limits = "   Frequency range   |       Power level in dBm       |";
  // Each table opens with a full-width rule above its header.
  const std::pair<std::size_t, std::string> headers[] = {
      {3, setup},
      {55, limits},
      {72, "  Frequency range  |  Filter | Video bandwidth |"},
      {80, limits},
      {100, setup},
      {133, limits},
      {150, "  Frequency range  |  Filter | Video bandwidth |"},
      {158, limits}};
  for (const auto& [at, header] : headers) {
    EXPECT_EQ(spur[at], header) << at;
    EXPECT_EQ(spur[at - 1], std::string(header.size(), '_')) << at;
  }
  EXPECT_EQ(spur[73], "                   |bandwidth|                 |");
  EXPECT_EQ(spur[4],
            "________________________________|____________________|__________________|"
            "________________________|");
  // The limit tables end with a full-width rule on their last line.
  for (std::size_t end : {67u, 95u, 145u, 173u})
    EXPECT_EQ(spur[end], std::string(limits.size(), '_')) << end;
  for (const char* row : {"100 kHz to 50 MHz  |  10 kHz |     30 kHz      |",
                          "1785 MHz to 12,75 GHz|          |   -30    |          |",
                          "1910 MHz to 4GHz     |               |       -47      |"})
    EXPECT_EQ(Count(spur, row), 1u) << row;
  // In the set-up tables with a channel allocated every frequency range is closed by a rule
  // with "|" at the borders: four ranges in each.
  EXPECT_EQ(Count(spur, spur[4]), 10u);
}

// Every line of a table (a line with "|", or a rule of underscores) is as wide as the other
// lines of its table, that is of the lines between two empty lines, and ends with "|".
TEST(ReferenceTexts, EveryTableRowIsAsWideAsItsHeader) {
  const std::pair<const char*, const Lines*> memos[] = {{"pcl", &vexa::PclMemoLines()},
                                                        {"orfs", &vexa::OrfsMemoLines()},
                                                        {"spur", &vexa::SpurMemoLines()}};
  const std::string fcc_row = " 1850 to 1910|                       |Comply with FCC rules";
  std::size_t rows = 0;
  for (const auto& [view, lines] : memos) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < lines->size(); ++i) {
      std::string line = (*lines)[i];
      if (line.empty())
        width = 0;
      const bool rule = !line.empty() && line.find_first_not_of('_') == std::string::npos;
      if ((line.find('|') == std::string::npos && !rule) || line.starts_with(fcc_row))
        continue;
      if (line.ends_with("| "))
        line.pop_back();  // the switching-transient rows of GSM
      if (width == 0)
        width = line.size();
      EXPECT_EQ(line.size(), width) << view << " line " << i << ": " << line;
      EXPECT_TRUE(rule || line.ends_with('|')) << view << " line " << i;
      ++rows;
    }
  }
  EXPECT_GT(rows, 350u);
}

// `vexa-cli reference`, run as a user would.
ProcessResult RunCli(const std::string& args) {
  return vexa::testing::RunProcess(std::string("LC_ALL=C '") + VEXA_CLI_PATH + "' " + args);
}

TEST(CliReference, PrintsTheViewsLineByLine) {
  const std::pair<const char*, std::string> cases[] = {
      {"reference pcl", Golden("pcl")},
      {"reference orfs", Golden("orfs")},
      {"reference spur", Golden("spur")},
      {"reference orfs --8psk", Joined(vexa::OrfsMemoLines(), 124)},
      {"reference --8psk orfs", Joined(vexa::OrfsMemoLines(), 124)},
      {"reference pvt",
       "(*)      GSM MAX(-59dBc,-54dBm)*;  DCS/PCS MAX(-48dBc,-48dBm)\n"
       "(**)     GSM -4dBc@PCL16, -2dBc@PCL17, -1dBc@PCL18/19;                            "
       "DCS/PCS -4dBc@PCL11, -2dBc@PCL12, -1dBc@PCL13/14/15\n"
       "(***)    GSM MAX(-30dBc,-17dBm);  DCS/PCS MAX(-30dBc,-20dBm)\n"
       "*except for the time slot preceding the active slot,  which MAX(-59dBc,-36dBm)\n"}};
  for (const auto& [args, out] : cases) {
    const ProcessResult run = RunCli(args);
    EXPECT_EQ(run.exit_code, 0) << args;
    EXPECT_EQ(run.out, out) << args;
    EXPECT_EQ(run.err, "") << args;
  }
  EXPECT_TRUE(RunCli("reference orfs --8psk").out.starts_with("8PSK\n\n"));
}

TEST(CliReference, BadUsagePrintsOneLineAndExitsTwo) {
  for (const char* args : {"reference", "reference lte", "reference PCL", "reference pcl --8psk",
                           "reference pvt --8psk", "reference spur --8psk", "reference --8psk",
                           "reference orfs spur", "reference orfs --gmsk"}) {
    const ProcessResult run = RunCli(args);
    EXPECT_EQ(run.exit_code, 2) << args;
    EXPECT_EQ(run.out, "") << args;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << args << run.err;
  }
  EXPECT_NE(RunCli("--help").out.find("reference pcl|pvt|orfs|spur [--8psk]"), std::string::npos);
}

}  // namespace
