// The fixed texts of the GSM tab's reference views, and `vexa-cli reference` run as a process.
#include "gsm/reference_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// The ORFS view's 8PSK half starts at kOrfs8pskLine (what "--8psk" prints and the view
// scrolls to): its title there, after the GMSK half's last, empty, line.
TEST(ReferenceTexts, OrfsHalvesMeetAtThe8pskLine) {
  const Lines& orfs = vexa::OrfsMemoLines();
  ASSERT_GT(orfs.size(), static_cast<std::size_t>(vexa::kOrfs8pskLine));
  EXPECT_EQ(orfs.front(), "GMSK");
  EXPECT_EQ(orfs[vexa::kOrfs8pskLine], "8PSK");
  EXPECT_EQ(orfs[vexa::kOrfs8pskLine - 1], "");
  EXPECT_EQ(Count(orfs, "GMSK"), 1u);
  EXPECT_EQ(Count(orfs, "8PSK"), 1u);
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
