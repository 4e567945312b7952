// Runs the built vexa-cli binary as a user would.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/run_process.h"

namespace {

using vexa::testing::ProcessResult;

ProcessResult RunCli(const std::string& args) {
  return vexa::testing::RunProcess(std::string("LC_ALL=C '") + VEXA_CLI_PATH + "' " + args);
}

TEST(CliChannel, PrintsTheLabelsAndTheListOfAValidChannel) {
  const ProcessResult run = RunCli("channel PCS 661");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out,
            "MS Rx  1960  MHz\nMS Tx  1880  MHz\nHarmonics PCS\nChannel 661\nH2 3760  MHz\n"
            "H3 5640  MHz\nH4 7520  MHz\nH5 9400  MHz\nH6 11280  MHz\nH7 13160  MHz\n");
  EXPECT_EQ(run.err, "");
}

TEST(CliChannel, RefusedChannelsPrintThePageMessage) {
  const std::tuple<const char*, const char*> cases[] = {
      {"channel dcs 886", "error DCS channel\n"},
      {"channel egsm 125", "error EGSM channel\n"},
      {"channel gsm850 abc", "'abc' is not a valid integer value\n"},
      {"channel egsm 1.5", "'1.5' is not a valid integer value\n"},
  };
  for (const auto& [args, message] : cases) {
    const ProcessResult run = RunCli(args);
    EXPECT_EQ(run.exit_code, 1) << args;
    EXPECT_EQ(run.out, "") << args;
    EXPECT_EQ(run.err, message) << args;
  }
}

TEST(CliHarmonics, ListsWithoutRangeCheckAndStopsAtBadText) {
  ProcessResult run = RunCli("harmonics egsm 500");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_TRUE(run.out.starts_with("Harmonics E-GSM\nChannel 500\nH2 1570.4  MHz\n")) << run.out;
  run = RunCli("harmonics gsm850 ''");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "Harmonics GSM850\nChannel \n");
  EXPECT_EQ(run.err, "'' is not a valid floating point value\n");
}

TEST(CliHarmonics, AHugeFrequencyEndsWithAnOverflowAfterTheLinesThatFit) {
  const ProcessResult run = RunCli("harmonics dcs 1.7e308");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out,
            "Harmonics DCS\nChannel 1.7e308\nH2 6.8E307  MHz\nH3 1.02E308  MHz\n"
            "H4 1.36E308  MHz\nH5 1.7E308  MHz\n");
  EXPECT_EQ(run.err, "Floating point overflow\n");
}

TEST(CliBands, TheNamesTheWindowShowsAreAcceptedBesideTheShortOnes) {
  for (const char* band : {"E-GSM", "e-gsm", "EGSM", "egsm"}) {
    const ProcessResult run = RunCli(std::string("channel '") + band + "' 62");
    EXPECT_EQ(run.exit_code, 0) << band;
    EXPECT_TRUE(run.out.starts_with("MS Rx  947.4  MHz\nMS Tx  902.4  MHz\nHarmonics E-GSM\n"))
        << band;
  }
  EXPECT_EQ(RunCli("harmonics GSM850 190").exit_code, 0);
}

TEST(CliLocale, ASeparatorThatIsNotOneCharacterFallsBackToThePoint) {
  // ar_EG and fa_IR write the Arabic decimal separator U+066B, two bytes in UTF-8; de_DE a
  // comma, which is kept.
  const std::pair<const char*, const char*> cases[] = {{"ar_EG.UTF-8", "MS Tx  902.4  MHz"},
                                                       {"fa_IR.UTF-8", "MS Tx  902.4  MHz"},
                                                       {"de_DE.UTF-8", "MS Tx  902,4  MHz"}};
  for (const auto& [locale, transmit] : cases) {
    const ProcessResult run = vexa::testing::RunProcess(std::string("LC_ALL=") + locale + " '" +
                                                        VEXA_CLI_PATH + "' channel egsm 62");
    ASSERT_EQ(run.err, "") << locale << " (is the locales-all package installed?)";
    EXPECT_EQ(run.out.substr(run.out.find('\n') + 1, run.out.find('\n', 18) - 18), transmit)
        << locale;
    EXPECT_EQ(run.out.find('\0'), std::string::npos) << locale;
  }
}

// `vexa-cli gsm`: the page's keys, actions and fields.
std::string FieldsAfter(const std::string& args, int expected_exit = 0,
                        std::string* err = nullptr) {
  const ProcessResult run = RunCli("gsm " + args);
  EXPECT_EQ(run.exit_code, expected_exit) << args << "\n" << run.err;
  if (err)
    *err = run.err;
  return run.out;
}

std::string Field(const std::string& fields, const std::string& key) {
  const std::string start = key + ": ";
  std::size_t at = fields.rfind("\n" + start);
  at = at == std::string::npos ? (fields.starts_with(start) ? 0 : std::string::npos) : at + 1;
  if (at == std::string::npos)
    return "<missing " + key + ">";
  const std::size_t end = fields.find('\n', at);
  return fields.substr(at + start.size(), end - at - start.size());
}

TEST(CliGsm, StartUpStatePrintsEveryFieldInThePagesOrder) {
  const std::string out = FieldsAfter("");
  std::vector<std::string> keys;
  for (std::size_t at = 0; at < out.size(); at = out.find('\n', at) + 1)
    keys.push_back(out.substr(at, out.find(": ", at) - at));
  const std::vector<std::string> expected = {
      "egsm",       "egsm-preset", "egsm-bar", "egsm-rx", "egsm-tx",       "dcs",
      "dcs-preset", "dcs-bar",     "dcs-rx",   "dcs-tx",  "pcs",           "pcs-preset",
      "pcs-bar",    "pcs-rx",      "pcs-tx",   "gsm850",  "gsm850-preset", "gsm850-bar",
      "gsm850-rx",  "gsm850-tx",   "harmonics"};
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(Field(out, "egsm-bar"), "111");
  EXPECT_EQ(Field(out, "gsm850-preset"), "190");  // empty at design, filled at start-up
  EXPECT_EQ(Field(out, "pcs-rx"), "MS Rx  1960  MHz");
  EXPECT_TRUE(
      Field(out, "harmonics").starts_with("Harmonics E-GSM\\nChannel 62\\nH2 1804.8 MHz\\nH3 "));
}

TEST(CliGsm, ActionsRunAsThePageEventsDo) {
  struct Case {
    const char* args;
    std::vector<std::pair<const char*, const char*>> fields;
    const char* err;
  };
  const Case cases[] = {
      // Enter on a typed channel.
      {"--dcs 512 enter-dcs",
       {{"dcs", "512"},
        {"dcs-bar", "512"},
        {"dcs-preset", "512"},
        {"dcs-tx", "MS Tx  1710.2  MHz"}},
       ""},
      // Out of the band: the message, then the bar clamps and the row lands on 885.
      {"--dcs 886 enter-dcs",
       {{"dcs", "885"}, {"dcs-rx", "MS Rx  1879.8  MHz"}},
       "error DCS channel\n"},
      // Without Enter the typed text changes nothing else.
      {"--pcs 700", {{"pcs", "700"}, {"pcs-bar", "661"}, {"pcs-tx", "MS Tx  1880  MHz"}}, ""},
      // The E-GSM bar across its fold, and a move to where it stands runs nothing.
      {"--egsm-bar 48 scroll-egsm=49", {{"egsm", "0"}, {"egsm-tx", "MS Tx  890  MHz"}}, ""},
      {"--egsm 5 scroll-egsm=111", {{"egsm", "5"}, {"egsm-bar", "111"}}, ""},
      {"scroll-gsm850=9999", {{"gsm850", "251"}, {"gsm850-bar", "251"}}, ""},
      // A preset pick; a click shows the band's list without a range check.
      {"pick-egsm=975", {{"egsm", "975"}, {"egsm-bar", "0"}, {"egsm-rx", "MS Rx  925.2  MHz"}}, ""},
      {"--gsm850-preset 128", {{"gsm850", "128"}, {"gsm850-tx", "MS Tx  824.2  MHz"}}, ""},
      {"--dcs 1000.5 click-dcs",
       {{"harmonics",
         "Harmonics DCS\\nChannel 1000.5\\nH2 3615.8  MHz\\nH3 5423.7  MHz\\nH4 "
         "7231.6  MHz\\nH5 9039.5  MHz\\nH6 10847.4  MHz\\nH7 12655.3  MHz\\nH8 "
         "14463.2  MHz\\n"},
        {"dcs-tx", "MS Tx  1747.6  MHz"}},
       ""},
  };
  for (const Case& c : cases) {
    std::string err;
    const std::string out = FieldsAfter(c.args, 0, &err);
    for (const auto& [key, text] : c.fields)
      EXPECT_EQ(Field(out, key), text) << c.args << " / " << key;
    EXPECT_EQ(err, c.err) << c.args;
  }
}

TEST(CliGsm, AnErrorStopsTheLaterActionsAndTheFieldsStillPrint) {
  std::string err;
  std::string out = FieldsAfter("--egsm abc enter-egsm click-dcs", 1, &err);
  EXPECT_EQ(err, "'abc' is not a valid integer value.\n");
  EXPECT_EQ(Field(out, "egsm"), "abc");
  EXPECT_TRUE(Field(out, "harmonics").starts_with("Harmonics E-GSM"));  // click-dcs never ran
  // A click on a text that fails keeps the header and channel line the handler wrote.
  out = FieldsAfter("--gsm850 '' click-gsm850 enter-dcs", 1, &err);
  EXPECT_EQ(err, "'' is not a valid floating point value.\n");
  EXPECT_EQ(Field(out, "harmonics"), "Harmonics GSM850\\nChannel \\n");
  out = FieldsAfter("--pcs 1.7e308 click-pcs", 1, &err);
  EXPECT_EQ(err, "Floating point overflow.\n");
}

TEST(CliGsm, BadUsageRunsNothingAndExitsTwo) {
  for (const char* args : {"--frequency 5", "--dcs", "enter-lte", "scroll-dcs", "scroll-dcs=abc",
                           "--dcs-bar 1.5", "enter-dcs --dcs 512", "click-dcs=5"}) {
    const ProcessResult run = RunCli(std::string("gsm ") + args);
    EXPECT_EQ(run.exit_code, 2) << args;
    EXPECT_EQ(run.out, "") << args;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << args << run.err;
  }
  const ProcessResult help = RunCli("gsm --help");
  EXPECT_EQ(help.exit_code, 0);
  for (const char* listed : {"--egsm-preset TEXT", "--gsm850-bar N", "scroll-pcs=N",
                             "pick-egsm=TEXT", "click-dcs", "enter-gsm850", "(Label38)"})
    EXPECT_NE(help.out.find(listed), std::string::npos) << listed;
}

TEST(CliUsage, HelpVersionAndWhatIsMissing) {
  const ProcessResult help = RunCli("--help");
  EXPECT_EQ(help.exit_code, 0);
  for (const char* listed : {"channel BAND N", "harmonics BAND TEXT", "gsm [--KEY TEXT]...",
                             "--version", "Exit status:", "  2  bad usage"})
    EXPECT_NE(help.out.find(listed), std::string::npos) << listed;
  const ProcessResult version = RunCli("--version");
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out, "vexa-cli 2.02\n");
  const ProcessResult nothing = RunCli("");
  EXPECT_EQ(nothing.exit_code, 2);
  EXPECT_EQ(nothing.out, "");
  EXPECT_EQ(nothing.err,
            "vexa-cli: missing COMMAND (one of gsm channel harmonics reference trans match "
            "smith filter pll rx console configure gsm-test current-test plan); "
            "see vexa-cli --help\n");
  // Every command answers --help on stdout with exit 0: its usage, or its keys and actions.
  for (const char* command :
       {"gsm", "channel", "harmonics", "reference", "trans", "match", "smith", "filter", "pll",
        "rx", "console", "configure", "gsm-test", "current-test", "plan"}) {
    const ProcessResult own = RunCli(std::string(command) + " --help");
    EXPECT_EQ(own.exit_code, 0) << command << ": " << own.err;
    EXPECT_NE(own.out.find(command), std::string::npos) << command;
  }
  EXPECT_NE(RunCli("gsm-test --help").out.find("--testset ADDRESS"), std::string::npos);
  EXPECT_EQ(RunCli("channel lte 5").exit_code, 2);
  EXPECT_EQ(RunCli("channel egsm").exit_code, 2);
  EXPECT_EQ(RunCli("frobnicate").exit_code, 2);
}

}  // namespace
