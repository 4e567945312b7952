// The test-plan window's model: enabling rules, the capture of the TestPlan, integer lists,
// plan files and `vexa-cli plan`.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "instrument/runs/plan_file.h"
#include "instrument/runs/plan_form.h"
#include "instrument/runs/test_plan.h"
#include "support/run_process.h"

namespace vexa {
namespace {

namespace fs = std::filesystem;

PlanForm StartedForm() {
  PlanForm form;
  form.FormCreate();
  return form;
}

// Every control's state as one text, so that two forms compare with a readable difference.
std::string Snapshot(const PlanForm& form, bool with_label = true) {
  std::ostringstream out;
  const auto list = [&out](const PlanCheckList& l) {
    out << (l.enabled ? "on[" : "off[");
    for (const PlanCheckListItem& item : l.items)
      out << item.text << (item.checked ? "+" : "-") << ' ';
    out << "] ";
  };
  for (int band = 0; band < kBandCount; ++band) {
    const PlanBandControls& b = form.Band(band);
    out << kPlanBandNames[band] << ": box " << b.box.checked << b.box.enabled << " label "
        << b.label_enabled << " cn '" << b.channels.text << "' " << b.channels.enabled << " scan "
        << b.scan.checked << b.scan.enabled << " levels ";
    list(b.levels);
    out << '\n';
  }
  out << "items ";
  list(form.CLBtestitem);
  for (const PlanEdit* edit : {&form.Eberref, &form.Ebercount, &form.Elowfreq, &form.Elowloss,
                               &form.Ehighfreq, &form.Ehighloss, &form.Eantstep})
    out << '\'' << edit->text << "' ";
  out << "ant " << form.CBant.checked << " rst " << form.CheckBox1.checked << '\n';
  if (with_label)
    out << form.Label15 << '\n';
  return out.str();
}

std::vector<std::int32_t> Entries(std::span<const std::int32_t> list) {
  const int n = ListLength(list);
  return {list.begin(), list.begin() + n};
}

std::vector<int> CheckedLevels(const PlanForm& form, int band) {
  std::vector<int> levels;
  const PlanCheckList& list = form.Band(band).levels;
  for (std::size_t i = 0; i < list.items.size(); ++i) {
    if (list.items[i].checked)
      levels.push_back(LevelOfItem(band, static_cast<int>(i)));
  }
  return levels;
}

// A scratch directory per test.
class PlanFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vexa_plan_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir_;
};

// The file a save of the start-up state writes.
constexpr char kStartupPlan[] =
    "[BAND]\r\nEGSM=1\r\nDCS=1\r\nPCS=1\r\nGSM850=0\r\n\r\n\r\n"
    "[PCL]\r\nEGSM=5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,\r\n"
    "DCS=0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,\r\n"
    "PCS=0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,\r\nGSM850=\r\n\r\n\r\n"
    "[CN]\r\nEGSM=975,62,124,\r\nDCS=512,698,885,\r\nPCS=512,661,810,\r\n"
    "GSM850=128,190,251,\r\n\r\n\r\n"
    "[ITEM]\r\nTXPower=1\r\nPVTime=1\r\nPFERror=1\r\nORFSpectrum=1\r\nRXLEV=1\r\nRXQUAL=1\r\n"
    "BERRor=1\r\nBERREF=-102.5\r\nBERCOUNT=8200\r\n\r\n\r\n"
    "[LOSS]\r\nLBFreq=880~960\r\nLBLoss=-0.5~-0.6\r\nHBFreq=1710~1990\r\nHBLoss=-1.2~-1.5\r\n"
    "\r\n\r\n[ANT]\r\nANTMOD=0\r\nANTStep=30\r\n";

// ---------------------------------------------------------------------------------------------
// The window's controls and click rules

TEST(PlanWindow, StartsWithTheDesignedControlsAndEveryLevelAndItemChecked) {
  const PlanForm form = StartedForm();
  EXPECT_EQ(Snapshot(form),
            "EGSM: box 11 label 1 cn '975,62,124,' 1 scan 01 levels on[5+ 6+ 7+ 8+ 9+ 10+ 11+ 12+ "
            "13+ 14+ 15+ 16+ 17+ 18+ 19+ ] \n"
            "DCS: box 11 label 1 cn '512,698,885,' 1 scan 01 levels on[0+ 1+ 2+ 3+ 4+ 5+ 6+ 7+ 8+ "
            "9+ 10+ 11+ 12+ 13+ 14+ 15+ ] \n"
            "PCS: box 11 label 1 cn '512,661,810,' 1 scan 01 levels on[0+ 1+ 2+ 3+ 4+ 5+ 6+ 7+ 8+ "
            "9+ 10+ 11+ 12+ 13+ 14+ 15+ ] \n"
            "GSM850: box 01 label 0 cn '128,190,251,' 0 scan 00 levels off[5- 6- 7- 8- 9- 10- 11- "
            "12- 13- 14- 15- 16- 17- 18- 19- ] \n"
            "items on[TXPower+ PVTime+ PFERror+ ORFSpectrum+ RXLEV+ RXQUAL+ BERRor+ ] '-102.5' "
            "'8200' '880~960' '-0.5~-0.6' '1710~1990' '-1.2~-1.5' '30' ant 0 rst 1\n"
            "Tpl Path Name\n");
}

TEST(PlanWindow, BandAndScanModeClicksFollowTheirEnablingRules) {
  PlanForm form = StartedForm();
  // Switching a band off disables its whole row; Scan Mode then disables the channel edit.
  form.SetBandChecked(1, false);
  const PlanBandControls& dcs = form.Band(1);
  EXPECT_FALSE(dcs.levels.enabled || dcs.label_enabled || dcs.scan.enabled || dcs.channels.enabled);
  form.SetBandChecked(3, true);
  const PlanBandControls& gsm850 = form.Band(3);
  EXPECT_TRUE(gsm850.levels.enabled && gsm850.label_enabled && gsm850.scan.enabled &&
              gsm850.channels.enabled);

  form.SetScanModeChecked(0, true);
  EXPECT_FALSE(form.Band(0).channels.enabled);
  form.SetScanModeChecked(0, false);
  EXPECT_TRUE(form.Band(0).channels.enabled);

  // Re-enabling a band enables its channel edit even with Scan Mode checked.
  form.SetScanModeChecked(2, true);
  form.SetBandChecked(2, false);
  form.SetBandChecked(2, true);
  EXPECT_TRUE(form.Band(2).scan.checked);
  EXPECT_TRUE(form.Band(2).channels.enabled);
  // Setting a box to the state it has runs nothing.
  form.SetBandChecked(2, true);
  EXPECT_TRUE(form.Band(2).channels.enabled);
}

TEST(PlanWindow, LevelButtonsTouchOnlyEnabledListsAndItemButtonsAllItems) {
  PlanForm form = StartedForm();
  form.SetBandChecked(1, false);  // DCS off, its levels still checked
  form.Button6Click();
  EXPECT_TRUE(CheckedLevels(form, 0).empty());
  EXPECT_EQ(CheckedLevels(form, 1).size(), 16u);
  EXPECT_TRUE(CheckedLevels(form, 2).empty());
  form.Band(3).levels.SetChecked(0, true);  // checked while disabled
  form.Button1Click();
  EXPECT_EQ(CheckedLevels(form, 0).size(), 15u);
  EXPECT_EQ(CheckedLevels(form, 3), std::vector<int>{5});

  form.Button7Click();
  for (const PlanCheckListItem& item : form.CLBtestitem.items)
    EXPECT_FALSE(item.checked) << item.text;
  form.Button2Click();
  for (const PlanCheckListItem& item : form.CLBtestitem.items)
    EXPECT_TRUE(item.checked) << item.text;

  EXPECT_THROW(form.Band(0).levels.SetChecked(15, true), ListIndexError);
  try {
    form.Band(1).levels.SetChecked(-1, true);
    ADD_FAILURE() << "no list error";
  } catch (const ListIndexError& error) {
    EXPECT_STREQ(error.what(), "List index out of bounds (-1)");
  }
}

// ---------------------------------------------------------------------------------------------
// ParseIntegerList

TEST(ParseIntegerList, ReadsLikeStrtolWithOneSeparatorAfterEachNumber) {
  using std::string_literals::operator""s;
  const struct {
    std::string text;
    std::vector<std::int32_t> expected;
  } cases[] = {
      {"975,62,124,", {975, 62, 124}},
      {"975,62,124", {975, 62, 124}},
      {"", {}},
      {"975,,62", {975, 0, 62}},
      {",", {0}},
      {"  ", {0, 0}},
      {" 12, -3,+4", {12, -3, 4}},
      {"1;2 3", {1, 2, 3}},
      {"12abc", {12, 0, 0}},
      {"-", {0}},
      {"- 5", {0, 5}},
      {"99999999999,-99999999999", {2147483647, -2147483647 - 1}},
      {"2147483647,-2147483648", {2147483647, -2147483647 - 1}},
      {"0x1F", {0, 1}},
      {"12\0"
       "34"s,
       {12}},
  };
  for (const auto& c : cases) {
    std::array<std::int32_t, 16> list;
    list.fill(77);
    const int n = ParseIntegerList(c.text, list);
    EXPECT_EQ(n, static_cast<int>(c.expected.size())) << '"' << c.text << '"';
    EXPECT_EQ(std::vector<std::int32_t>(list.begin(), list.begin() + n), c.expected)
        << '"' << c.text << '"';
    EXPECT_EQ(list[static_cast<std::size_t>(n)], kEndOfList) << '"' << c.text << '"';
  }
}

TEST(ParseIntegerList, StopsWithRoomForTheEndMarkAndNeverWritesBeyondTheList) {
  const struct {
    std::size_t capacity;
    std::vector<std::int32_t> expected;
  } cases[] = {
      {0, {}}, {1, {}}, {2, {1}}, {4, {1, 2, 3}}, {6, {1, 2, 3, 4, 5}}, {7, {1, 2, 3, 4, 5}}};
  for (const auto& c : cases) {
    std::array<std::int32_t, 10> storage;
    storage.fill(77);
    const int n = ParseIntegerList("1,2,3,4,5,", std::span(storage).first(c.capacity));
    EXPECT_EQ(n, static_cast<int>(c.expected.size())) << c.capacity;
    EXPECT_EQ(std::vector<std::int32_t>(storage.begin(), storage.begin() + n), c.expected);
    if (c.capacity > 0) {
      EXPECT_EQ(storage[static_cast<std::size_t>(n)], kEndOfList) << c.capacity;
    }
    for (std::size_t i = std::max<std::size_t>(c.capacity, n + 1u); i < storage.size(); ++i)
      EXPECT_EQ(storage[i], 77) << "written at " << i << " with capacity " << c.capacity;
  }
}

TEST(CutListAtSeparator, CutsOnlyWhereNoNumberIsSplit) {
  const struct {
    const char* text;
    std::size_t limit;
    const char* kept;
  } cases[] = {
      {"1,2,3", 10, "1,2,3"}, {"1,2,3", 5, "1,2,3"}, {"7,7,99,", 5, "7,7,"},
      {"62,63", 3, "62,"},    {"62,63", 2, "62"},    {"1, -5", 4, "1,"},
      {"1,+5", 3, "1,"},      {"123456", 3, ""},     {"1.5,2", 2, "1."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CutListAtSeparator(c.text, c.limit), c.kept) << c.text << " at " << c.limit;
}

// ---------------------------------------------------------------------------------------------
// Lists the user types: refused unless they hold whole numbers of the band

TEST(TypedLists, HoldWholeNumbersOfTheBandOrAreRefusedNamingTheItem) {
  const struct {
    bool levels;
    int band;
    std::string text;
    std::vector<std::int32_t> values;
    const char* message;  // nullptr: accepted
  } cases[] = {
      {false, 0, "975,62,124,", {975, 62, 124}, nullptr},
      {false, 0, " 62 , 124 ,", {62, 124}, nullptr},
      {false, 0, "", {}, nullptr},
      {false, 0, "  ", {}, nullptr},
      {false, 0, "0,124,975,1023", {0, 124, 975, 1023}, nullptr},
      {false, 3, "128,251", {128, 251}, nullptr},
      {false, 0, "62,abc,2000", {}, "EGSM channels: 'abc' is not a whole number"},
      {false, 0, "1.5,", {}, "EGSM channels: '1.5' is not a whole number"},
      {false, 0, "975 62", {}, "EGSM channels: '975 62' is not a whole number"},
      {false, 0, "500,", {}, "EGSM channels: 500 is not a channel of the band (0-124, 975-1023)"},
      {false, 0, "-1", {}, "EGSM channels: -1 is not a channel of the band (0-124, 975-1023)"},
      {false,
       0,
       "99999999999999999999",
       {},
       "EGSM channels: 99999999999999999999 is not a channel of the band (0-124, 975-1023)"},
      {false, 0, "975,,62", {}, "EGSM channels: item 2 is empty"},
      {false, 0, ",", {}, "EGSM channels: item 1 is empty"},
      {false, 1, "512,886", {}, "DCS channels: 886 is not a channel of the band (512-885)"},
      {false, 2, "811", {}, "PCS channels: 811 is not a channel of the band (512-810)"},
      {false, 3, "127", {}, "GSM850 channels: 127 is not a channel of the band (128-251)"},
      {false,
       0,
       std::string(100, '1') + "," + std::string(99, '2'),
       {},
       "EGSM channels: the list is longer than 199 characters"},
      {true, 0, "5,19", {5, 19}, nullptr},
      {true, 0, "3", {}, "EGSM levels: 3 is not a level of the band (5-19)"},
      {true, 1, "0,15", {0, 15}, nullptr},
      {true, 1, "16", {}, "DCS levels: 16 is not a level of the band (0-15)"},
      {true, 3, "x", {}, "GSM850 levels: 'x' is not a whole number"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      const std::vector<std::int32_t> values =
          c.levels ? ReadTypedLevels(c.band, c.text) : ReadTypedChannels(c.band, c.text);
      EXPECT_EQ(c.message, nullptr) << "accepted";
      EXPECT_EQ(values, c.values);
    } catch (const PlanInputError& error) {
      EXPECT_STREQ(error.what(), c.message ? c.message : "(accepted)");
    }
  }
}

TEST(TypedLists, ALossTextIsOneNumberOrTwoJoinedByOneCharacter) {
  for (const char* good : {"880~960", "-0.5~-0.6", "-0.5", " 880~960 ", "1e3~2e3", "880 960",
                           "880~ 960", ".5~.25", "-1.2--1.5"}) {
    EXPECT_TRUE(IsLossPairText(good)) << good;
    EXPECT_NO_THROW(CheckTypedLossPair("Low Band dB", good)) << good;
  }
  for (const char* bad : {"inf~-inf", "", "abc", "880~", "880~960x", "1.2.3", "880~~960", "nan",
                          "1e999", "x8", "880a960"}) {
    EXPECT_FALSE(IsLossPairText(bad)) << bad;
  }
  try {
    CheckTypedLossPair("Low Band dB", "inf~-inf");
    ADD_FAILURE() << "accepted";
  } catch (const PlanInputError& error) {
    EXPECT_STREQ(error.what(),
                 "Low Band dB: 'inf~-inf' is not a number or two numbers such as -0.5~-0.6");
  }
}

// ---------------------------------------------------------------------------------------------
// Capture of the TestPlan

TEST(Capture, TheStartUpWindowGivesTheDesignedPlan) {
  const PlanForm form = StartedForm();
  auto plan = std::make_unique<TestPlan>();
  plan->antennaAngle = 45;
  CaptureTestPlan(form, *plan);
  EXPECT_EQ(plan->bandEnabled, (std::array<std::uint8_t, 4>{1, 1, 1, 0}));
  EXPECT_EQ(plan->scanMode, (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
  EXPECT_EQ(Entries(plan->channels[3]), (std::vector<std::int32_t>{128, 190, 251}));
  EXPECT_EQ(Entries(plan->levels[0]).size(), 15u);
  EXPECT_EQ(plan->levels[0][0], 5);
  EXPECT_EQ(Entries(plan->levels[1]).back(), 15);
  EXPECT_EQ(plan->levels[3][0], kEndOfList);
  EXPECT_EQ(plan->itemEnabled, (std::array<std::uint8_t, 7>{1, 1, 1, 1, 1, 1, 1}));
  EXPECT_FLOAT_EQ(plan->berReferenceLevel, -102.5f);
  EXPECT_EQ(plan->berCount, 8200);
  EXPECT_EQ(plan->antennaStep, 30);
  EXPECT_EQ(plan->antennaAngle, 0);
  EXPECT_EQ(plan->lowBandFrequencies, (std::array<float, 2>{880, 960}));
  EXPECT_EQ(plan->lowBandLosses, (std::array<float, 2>{-0.5f, -0.6f}));
  EXPECT_EQ(plan->highBandFrequencies, (std::array<float, 2>{1710, 1990}));
  EXPECT_EQ(plan->highBandLosses, (std::array<float, 2>{-1.2f, -1.5f}));
}

TEST(Capture, ChannelAndLevelListsFollowScanModeTextAndEnabledState) {
  const struct {
    const char* what;
    std::function<void(PlanForm&)> change;
    int band;
    std::vector<std::int32_t> channels;  // empty: not checked
    std::vector<std::int32_t> levels;
  } cases[] = {
      {"typed list", [](PlanForm& f) { f.Band(0).channels.text = "1,2,3"; }, 0, {1, 2, 3}, {}},
      {"band off still captures its list",
       [](PlanForm& f) {
         f.SetBandChecked(2, false);
         f.Band(2).channels.text = "600,";
       },
       2,
       {600},
       {}},
      // The cut never splits a number: the 63 across character 199 is left out whole, not
      // read as channel 6.
      {"first 199 characters, cut at a separator",
       [](PlanForm& f) {
         std::string text;
         for (int i = 0; i < 66; ++i)
           text += "62,";
         f.Band(0).channels.text = text + "63,";
       },
       0,
       std::vector<std::int32_t>(66, 62),
       {}},
      {"disabled list is empty though checked",
       [](PlanForm& f) {
         f.SetBandChecked(1, false);
         f.Band(3).levels.SetChecked(2, true);
       },
       1,
       {},
       {}},
      {"checked levels in list order",
       [](PlanForm& f) {
         f.Button6Click();
         for (int i : {14, 0, 3})
           f.Band(0).levels.SetChecked(i, true);
       },
       0,
       {},
       {5, 8, 19}},
  };
  for (const auto& c : cases) {
    PlanForm form = StartedForm();
    c.change(form);
    auto plan = std::make_unique<TestPlan>();
    CaptureTestPlan(form, *plan);
    if (!c.channels.empty()) {
      EXPECT_EQ(Entries(plan->channels[c.band]), c.channels) << c.what;
    }
    if (!c.levels.empty()) {
      EXPECT_EQ(Entries(plan->levels[c.band]), c.levels) << c.what;
    }
    if (std::string(c.what).starts_with("disabled")) {
      EXPECT_EQ(plan->levels[1][0], kEndOfList);
      EXPECT_EQ(plan->levels[3][0], kEndOfList);
      EXPECT_EQ(plan->bandEnabled[1], 0);
    }
  }
}

TEST(Capture, ScanModeGivesTheWholeBandInTheRunsOrder) {
  const struct {
    int band;
    std::size_t count;
    int first;
    int last;
  } cases[] = {{0, 174, 975, 124}, {1, 374, 512, 885}, {2, 299, 512, 810}, {3, 124, 128, 251}};
  PlanForm form = StartedForm();
  form.SetBandChecked(3, true);
  for (int band = 0; band < kBandCount; ++band)
    form.SetScanModeChecked(band, true);
  form.Band(0).channels.text = "1,2,3";  // ignored in scan mode
  auto plan = std::make_unique<TestPlan>();
  CaptureTestPlan(form, *plan);
  for (const auto& c : cases) {
    const std::vector<std::int32_t> channels = Entries(plan->channels[c.band]);
    EXPECT_EQ(plan->scanMode[c.band], 1);
    ASSERT_EQ(channels.size(), c.count) << c.band;
    EXPECT_EQ(channels.front(), c.first);
    EXPECT_EQ(channels.back(), c.last);
    for (std::size_t i = 1; i < channels.size(); ++i) {
      if (!(c.band == 0 && channels[i - 1] == 1023)) {
        EXPECT_EQ(channels[i], channels[i - 1] + 1) << c.band << " at " << i;
      }
    }
  }
  EXPECT_EQ(plan->channels[0][48], 1023);
  EXPECT_EQ(plan->channels[0][49], 0);
}

TEST(Capture, LossTextsGiveTheLeadingNumberAndTheOneAfterItsEnd) {
  const struct {
    const char* text;
    float first;
    float second;
  } cases[] = {
      {"880~960", 880, 960},
      {"-0.5~-0.6", -0.5f, -0.6f},
      {"1e3~-2.5E-1", 1000, -0.25f},
      {"abc", 0, 0},
      {"", 0, 0},
      {"5", 5, 0},
      {" 7 x 8", 7, 0},
      {"x8", 0, 8},
      {".5~.25", 0.5f, 0.25f},
      {"1e~2", 1, 0},
      {"1e-999~3", 0, 3},
  };
  for (const auto& c : cases) {
    PlanForm form = StartedForm();
    form.Ehighloss.text = c.text;
    auto plan = std::make_unique<TestPlan>();
    CaptureTestPlan(form, *plan);
    EXPECT_EQ(plan->highBandLosses, (std::array<float, 2>{c.first, c.second})) << c.text;
  }
}

// What the user typed is read strictly; what a plan file put into an edit by the file rule.
TEST(Capture, TypedListsAreReadStrictlyAndFileTextsByTheFileRule) {
  const struct {
    const char* text;
    bool typed;
    std::vector<std::int32_t> channels;
    const char* message;  // nullptr: captured
  } cases[] = {
      {"62,abc,2000", false, {62, 0, 0, 0, 0, 2000}, nullptr},
      {"62,abc,2000", true, {}, "EGSM channels: 'abc' is not a whole number"},
      {" 62 , 124 ,", false, {62, 0, 124, 0}, nullptr},
      {" 62 , 124 ,", true, {62, 124}, nullptr},
      {"1.5,", true, {}, "EGSM channels: '1.5' is not a whole number"},
      {"500,", true, {}, "EGSM channels: 500 is not a channel of the band (0-124, 975-1023)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + (c.typed ? " typed" : " from a file"));
    PlanForm form = StartedForm();
    form.SetBandChecked(3, true);
    form.Band(0).channels.text = c.text;
    form.Band(0).channels.typed = c.typed;
    auto plan = std::make_unique<TestPlan>();
    try {
      CaptureTestPlan(form, *plan);
      EXPECT_EQ(c.message, nullptr) << "captured";
      EXPECT_EQ(Entries(plan->channels[0]), c.channels);
    } catch (const PlanInputError& error) {
      EXPECT_STREQ(error.what(), c.message ? c.message : "(captured)");
      EXPECT_EQ(plan->bandEnabled[3], 1);  // captured before the channels
    }
  }
  // The same for the cable-loss texts.
  PlanForm form = StartedForm();
  form.Elowloss.text = "inf~-inf";
  auto plan = std::make_unique<TestPlan>();
  CaptureTestPlan(form, *plan);
  EXPECT_EQ(plan->lowBandLosses, (std::array<float, 2>{0, 0}));
  form.Elowloss.typed = true;
  EXPECT_THROW(CaptureTestPlan(form, *plan), PlanInputError);
  form.Elowloss.text = "-0.5";
  CaptureTestPlan(form, *plan);
  EXPECT_EQ(plan->lowBandLosses, (std::array<float, 2>{-0.5f, 0}));
  // A band in Scan Mode does not read its edit.
  form.Band(1).channels.text = "x";
  form.Band(1).channels.typed = true;
  form.SetScanModeChecked(1, true);
  EXPECT_NO_THROW(CaptureTestPlan(form, *plan));
}

TEST(Capture, ABadNumberStopsTheCaptureWithTheEarlierFieldsKept) {
  const struct {
    std::function<void(PlanForm&)> change;
    const char* message;
    // What was captured: berReferenceLevel, berCount, antennaStep, angle, first high loss.
    float ber_ref;
    std::int32_t ber_count;
    std::int32_t step;
    std::int32_t angle;
    float high_loss;
  } cases[] = {
      {[](PlanForm& f) { f.Eberref.text = "abc"; }, "'abc' is not a valid floating point value", -9,
       -9, -9, -9, -9},
      {[](PlanForm& f) { f.Eberref.text = "1e39"; }, "Floating point overflow", -9, -9, -9, -9, -9},
      {[](PlanForm& f) { f.Ebercount.text = "8200.5"; }, "'8200.5' is not a valid integer value",
       -102.5f, -9, -9, -9, -9},
      {[](PlanForm& f) { f.Eantstep.text = ""; }, "'' is not a valid integer value", -102.5f, 8200,
       -9, -9, -9},
      {[](PlanForm& f) { f.Ehighloss.text = "1e300~0"; }, "Floating point overflow", -102.5f, 8200,
       30, 0, -9},
  };
  for (const auto& c : cases) {
    PlanForm form = StartedForm();
    form.SetBandChecked(3, true);
    form.CBant.checked = true;
    c.change(form);
    auto plan = std::make_unique<TestPlan>();
    plan->berReferenceLevel = -9;
    plan->berCount = plan->antennaStep = plan->antennaAngle = -9;
    plan->highBandLosses = {-9, -9};
    try {
      CaptureTestPlan(form, *plan);
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const Error& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    // Bands, lists, items and the antenna mode come before every number.
    EXPECT_EQ(plan->bandEnabled[3], 1) << c.message;
    EXPECT_EQ(Entries(plan->levels[0]).size(), 15u) << c.message;
    EXPECT_EQ(plan->levels[3][0], kEndOfList) << c.message;
    EXPECT_EQ(plan->itemEnabled[6], 1) << c.message;
    EXPECT_EQ(plan->berReferenceLevel, c.ber_ref) << c.message;
    EXPECT_EQ(plan->berCount, c.ber_count) << c.message;
    EXPECT_EQ(plan->antennaStep, c.step) << c.message;
    EXPECT_EQ(plan->antennaAngle, c.angle) << c.message;
    EXPECT_EQ(plan->highBandLosses[0], c.high_loss) << c.message;
  }
}

// ---------------------------------------------------------------------------------------------
// Plan files

TEST(PlanFileName, ReplacesTheExtensionOfTheLastPathComponent) {
  const std::pair<const char*, const char*> cases[] = {
      {"plan.txt", "plan.tpl"},         {"plan", "plan.tpl"}, {"a.b.c", "a.b.tpl"},
      {"dir.d/plan", "dir.d/plan.tpl"}, {"x.tpl", "x.tpl"},   {"/tmp/p.", "/tmp/p.tpl"}};
  for (const auto& [chosen, file] : cases)
    EXPECT_EQ(PlanFileName(chosen), file) << chosen;
}

TEST_F(PlanFiles, SavingTheStartUpStateWritesTheseBytesUnderTheTplName) {
  PlanForm form = StartedForm();
  SavePlanFile(form, Path("plan.txt"));
  EXPECT_EQ(form.Label15, Path("plan.txt") + "  Saved");
  EXPECT_EQ(Names(), std::vector<std::string>{"plan.tpl"});
  EXPECT_EQ(Read("plan.tpl"), kStartupPlan);
  // Saving again over it changes nothing.
  SavePlanFile(form, Path("plan.tpl"));
  EXPECT_EQ(Read("plan.tpl"), kStartupPlan);
}

TEST_F(PlanFiles, OpeningASavedPlanRestoresEveryControl) {
  const std::vector<std::function<void(PlanForm&)>> changes = {
      [](PlanForm&) {},
      [](PlanForm& f) {
        f.SetBandChecked(3, true);
        f.SetBandChecked(1, false);
        f.SetScanModeChecked(0, true);
        f.Band(2).channels.text = "512, 600,";
        f.Band(3).channels.text = "130";
        f.Button6Click();
        for (int i : {0, 7, 14})
          f.Band(3).levels.SetChecked(i, true);
        f.Band(2).levels.SetChecked(15, true);
        f.CLBtestitem.SetChecked(1, false);
        f.CLBtestitem.SetChecked(6, false);
        f.Eberref.text = "-104";
        f.Ebercount.text = "10000";
        f.Elowfreq.text = "824~960";
        f.Elowloss.text = "-0.7~-0.8";
        f.Ehighfreq.text = "1710~1910";
        f.Ehighloss.text = "-2~-2.5";
        f.CBant.checked = true;
        f.Eantstep.text = "45";
      },
  };
  for (std::size_t i = 0; i < changes.size(); ++i) {
    PlanForm saved = StartedForm();
    changes[i](saved);
    SavePlanFile(saved, Path("round.tpl"));
    PlanForm opened = StartedForm();
    // Everything a file sets, moved away from what the file holds.
    opened.SetBandChecked(0, false);
    opened.SetScanModeChecked(2, true);
    opened.Eberref.text = opened.Ebercount.text = opened.Eantstep.text = "x";
    opened.Elowfreq.text = opened.Ehighloss.text = "y";
    opened.Button7Click();
    opened.CBant.checked = !saved.CBant.checked;
    OpenPlanFile(opened, Path("round.tpl"));
    EXPECT_EQ(Snapshot(opened, false), Snapshot(saved, false)) << "case " << i;
    EXPECT_EQ(opened.Label15, Path("round.tpl") + " Opened");
  }
}

TEST_F(PlanFiles, ABandSwitchedOffIsSavedWithItsDefaultListAndNoLevels) {
  PlanForm form = StartedForm();
  form.Band(1).channels.text = "600,700,";
  form.SetBandChecked(1, false);
  form.SetScanModeChecked(0, true);
  SavePlanFile(form, Path("off"));
  const std::string text = Read("off.tpl");
  EXPECT_NE(text.find("[PCL]\r\nEGSM=5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,\r\nDCS=\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[CN]\r\nEGSM=All\r\nDCS=512,698,885,\r\n"), std::string::npos) << text;
}

TEST_F(PlanFiles, AMissingPclSectionStopsWithTheListErrorAfterTheBands) {
  Write("nopcl.tpl",
        "[BAND]\r\nEGSM=0\r\nDCS=1\r\nPCS=1\r\nGSM850=1\r\n[CN]\r\nDCS=1,2,\r\n"
        "[ITEM]\r\nTXPower=0\r\n");
  PlanForm form = StartedForm();
  try {
    OpenPlanFile(form, Path("nopcl.tpl"));
    ADD_FAILURE() << "no list error";
  } catch (const ListIndexError& error) {
    EXPECT_STREQ(error.what(), "List index out of bounds (95)");
    EXPECT_EQ(error.index(), 95);
  }
  EXPECT_EQ(form.Label15, Path("nopcl.tpl") + " Opened");
  EXPECT_FALSE(form.Band(0).box.checked);
  EXPECT_FALSE(form.Band(0).levels.enabled);
  EXPECT_TRUE(form.Band(3).channels.enabled);
  // "unCheck All" ran on the enabled lists only; nothing after the error was read.
  EXPECT_EQ(CheckedLevels(form, 0).size(), 15u);
  EXPECT_TRUE(CheckedLevels(form, 1).empty() && CheckedLevels(form, 2).empty());
  EXPECT_EQ(form.Band(1).channels.text, "512,698,885,");
  EXPECT_TRUE(form.CLBtestitem.items[0].checked);
}

TEST_F(PlanFiles, AllChecksScanModeAndLeavesTheEditAListUnchecksIt) {
  Write("a.tpl",
        "[BAND]\r\nGSM850=1\r\n[PCL]\r\nEGSM=\r\nDCS=\r\nPCS=\r\nGSM850=\r\n"
        "[CN]\r\nEGSM=All\r\nDCS=all\r\nPCS=\r\nGSM850=All\r\n");
  PlanForm form = StartedForm();
  form.SetScanModeChecked(2, true);
  OpenPlanFile(form, Path("a.tpl"));
  EXPECT_TRUE(form.Band(0).scan.checked);
  EXPECT_EQ(form.Band(0).channels.text, "975,62,124,");
  EXPECT_FALSE(form.Band(0).channels.enabled);
  EXPECT_TRUE(form.Band(3).scan.checked);
  // Only "All" itself: "all" is a channel text like any other.
  EXPECT_FALSE(form.Band(1).scan.checked);
  EXPECT_EQ(form.Band(1).channels.text, "all");
  EXPECT_FALSE(form.Band(2).scan.checked);
  EXPECT_EQ(form.Band(2).channels.text, "");
  EXPECT_TRUE(form.Band(2).channels.enabled);
  // Missing keys take their defaults.
  EXPECT_EQ(form.Eberref.text, "20");
  EXPECT_EQ(form.Ebercount.text, "20");
  EXPECT_EQ(form.Elowfreq.text, "50");
  EXPECT_EQ(form.Ehighloss.text, "50");
  EXPECT_EQ(form.Eantstep.text, "20");
  EXPECT_TRUE(form.CBant.checked);
  EXPECT_TRUE(form.CLBtestitem.items[3].checked);
}

TEST_F(PlanFiles, AHandWrittenIniWithOtherLayoutOpensTheSame) {
  Write("third.ini",
        "; written by hand\n[other]\nname = bench 3\n\n[band]\negsm = 0\n  dcs=1\npcs = 0\n"
        "gsm850 = 1\n[pcl]\negsm =\nPcs=\ndcs = 0,15,\ngsm850 = 19, 5\n[cn]\ndcs = 600,700\ngsm850 "
        "= All\n"
        "[item]\ntxpower = 0\nberror=abc\nberref = -99.5\n[Loss]\nlbfreq = 1~2\n[ant]\nantmod = "
        "1\nantstep = 15\n");
  PlanForm form = StartedForm();
  OpenPlanFile(form, Path("third.ini"));
  EXPECT_FALSE(form.Band(0).box.checked);
  EXPECT_FALSE(form.Band(2).levels.enabled);
  EXPECT_EQ(CheckedLevels(form, 1), (std::vector<int>{0, 15}));
  EXPECT_EQ(CheckedLevels(form, 3), (std::vector<int>{5, 19}));
  EXPECT_EQ(form.Band(1).channels.text, "600,700");
  EXPECT_TRUE(form.Band(3).scan.checked);
  EXPECT_FALSE(form.CLBtestitem.items[0].checked);
  EXPECT_TRUE(form.CLBtestitem.items[6].checked);  // not an integer: the default 10
  EXPECT_EQ(form.Eberref.text, "-99.5");
  EXPECT_EQ(form.Elowfreq.text, "1~2");
  EXPECT_TRUE(form.CBant.checked);
  EXPECT_EQ(form.Eantstep.text, "15");
}

TEST_F(PlanFiles, SavingIntoAnExistingFileKeepsItsOtherContent) {
  Write("keep.tpl",
        "; bench 3\r\n[OTHER]\r\nk=v\r\n[band]\r\negsm=0\r\nextra=5\r\n[ANT]\r\nANTStep=99\r\n");
  PlanForm form = StartedForm();
  SavePlanFile(form, Path("keep.tpl"));
  const std::string text = Read("keep.tpl");
  for (const char* kept : {"; bench 3\r\n", "[OTHER]\r\nk=v\r\n", "extra=5\r\n"})
    EXPECT_NE(text.find(kept), std::string::npos) << kept << " in\n" << text;
  EXPECT_EQ(text.find("egsm=0"), std::string::npos) << text;
  EXPECT_EQ(text.find("ANTStep=99"), std::string::npos) << text;
  EXPECT_EQ(text.find('\n', 0), text.find("\r\n", 0) + 1);
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
    EXPECT_EQ(text[at - 1], '\r') << "LF without CR at " << at;
  PlanForm opened = StartedForm();
  opened.SetBandChecked(0, false);
  OpenPlanFile(opened, Path("keep.tpl"));
  EXPECT_EQ(Snapshot(opened, false), Snapshot(form, false));
}

// A carriage return inside a section name makes a section the program does not read; saving
// into the file must not turn it into one it reads (here a level list with a 98 in it).
TEST_F(PlanFiles, ASectionNameWithACarriageReturnStaysForeignAfterASave) {
  PlanForm form = StartedForm();
  SavePlanFile(form, Path("cr.tpl"));
  Write("cr.tpl", Read("cr.tpl") + "[PCL\r]\nEGSM=5,98,\n");
  OpenPlanFile(form, Path("cr.tpl"));
  SavePlanFile(form, Path("cr.tpl"));
  PlanForm again = StartedForm();
  EXPECT_NO_THROW(OpenPlanFile(again, Path("cr.tpl"))) << Read("cr.tpl");
  EXPECT_EQ(Snapshot(again, false), Snapshot(form, false));
}

TEST_F(PlanFiles, AFailedSaveReportsTheFileAndLeavesTheOldOneWhole) {
  // A directory that is not there.
  PlanForm form = StartedForm();
  try {
    SavePlanFile(form, Path("missing/plan.txt"));
    ADD_FAILURE() << "no error";
  } catch (const PlanFileError& error) {
    EXPECT_EQ(error.what(), "Unable to write to " + Path("missing/plan.tpl"));
  }
  // The label says "Saved" only once the file is in place.
  EXPECT_EQ(form.Label15, Path("missing/plan.txt") + "  Not saved");
  // A path under a regular file (a failure that binds root too).
  Write("afile", "x");
  EXPECT_THROW(SavePlanFile(form, Path("afile/bench")), PlanFileError);
  EXPECT_EQ(form.Label15, Path("afile/bench") + "  Not saved");
  SavePlanFile(form, Path("bench"));
  EXPECT_EQ(form.Label15, Path("bench") + "  Saved");
  fs::remove(Path("bench.tpl"));
  fs::remove(Path("afile"));

  // A write that fails part-way (the file size limit, which binds root too) in a child.
  const std::string old = "[BAND]\r\nEGSM=0\r\n";
  Write("old.tpl", old);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100, 100};
    setrlimit(RLIMIT_FSIZE, &limit);
    PlanForm child_form = StartedForm();
    try {
      SavePlanFile(child_form, Path("old.tpl"));
      _exit(3);
    } catch (const PlanFileError& error) {
      _exit(error.what() == "Unable to write to " + Path("old.tpl") ? 0 : 4);
    } catch (...) {
      _exit(5);
    }
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: saved, 4: other message, 5: other error";
  EXPECT_EQ(Read("old.tpl"), old);
  EXPECT_EQ(Names(), std::vector<std::string>{"old.tpl"}) << "a temporary file was left";
}

TEST_F(PlanFiles, ListValuesAreCutAfterTheirLastWholeNumberWithinTheFirst127Characters) {
  std::string pcl;
  while (pcl.size() < 126)
    pcl += "7,";
  pcl += "99,";  // character 127 is the first '9' of 99: 99 is left out, never read as 9
  std::string cn;
  for (int i = 0; i < 42; ++i)
    cn += "62,";
  cn += "63,";  // "62,...,62,6|3": the 63 is left out, never read as channel 6
  Write("long.tpl", "[BAND]\r\n[PCL]\r\nEGSM=" + pcl +
                        "\r\nDCS=\r\nPCS=\r\nGSM850=\r\n[CN]\r\nEGSM=" + cn +
                        "\r\nDCS=" + std::string(127, '1') + "23456\r\n");
  PlanForm form = StartedForm();
  std::string notice;
  OpenPlanFile(form, Path("long.tpl"), &notice);
  EXPECT_EQ(CheckedLevels(form, 0), (std::vector<int>{7}));
  EXPECT_EQ(form.Band(0).channels.text, cn.substr(0, 126));
  EXPECT_EQ(form.Band(1).channels.text, "");  // one number longer than the buffer
  auto plan = std::make_unique<TestPlan>();
  CaptureTestPlan(form, *plan);
  EXPECT_EQ(Entries(plan->channels[0]), std::vector<std::int32_t>(42, 62));
  // Each cut is named.
  EXPECT_EQ(notice, "Check these values of " + Path("long.tpl") +
                        "; they are read as shown:\n"
                        "[PCL] EGSM is longer than 127 characters and is cut after its last "
                        "whole number: only '" +
                        pcl.substr(0, 126) +
                        "' is read\n"
                        "[CN] EGSM is longer than 127 characters and is cut after its last whole "
                        "number: only '" +
                        cn.substr(0, 126) +
                        "' is read\n"
                        "[CN] DCS is longer than 127 characters and is cut after its last whole "
                        "number: only '' is read");
  // A level at the bottom of the integer range is out of the list, not wrapped into it.
  Write("low.tpl", "[BAND]\r\n[PCL]\r\nEGSM=-2147483648,\r\n");
  try {
    OpenPlanFile(form, Path("low.tpl"));
    ADD_FAILURE() << "no list error";
  } catch (const ListIndexError& error) {
    EXPECT_STREQ(error.what(), "List index out of bounds (-2147483648)");
  }
  // Below the cut the same level is an error.
  Write("short.tpl", "[BAND]\r\n[PCL]\r\nEGSM=7,99,\r\n");
  EXPECT_THROW(OpenPlanFile(form, Path("short.tpl")), ListIndexError);
}

// Lists that the file rule reads otherwise than they look are still read that way, and named
// in one notice with what they are read as.
TEST_F(PlanFiles, ListsThatAreNotPlainNumbersOfTheirBandAreNamedInOneNotice) {
  Write("odd.tpl",
        "[BAND]\r\nGSM850=1\r\n[PCL]\r\nEGSM=5,\r\nDCS=0,x\r\nPCS=1.5,\r\nGSM850=5,\r\n"
        "[CN]\r\nEGSM=62,abc,2000\r\nDCS=512; 600\r\nPCS=600 , 700 ,\r\nGSM850=All\r\n"
        "[LOSS]\r\nLBFreq=880~960\r\nLBLoss=inf~-inf\r\nHBLoss=-1.2\r\n");
  PlanForm form = StartedForm();
  std::string notice;
  OpenPlanFile(form, Path("odd.tpl"), &notice);
  EXPECT_EQ(notice, "Check these values of " + Path("odd.tpl") +
                        "; they are read as shown:\n"
                        "[PCL] DCS=0,x is read as 0 0 ('x' is not a whole number)\n"
                        "[PCL] PCS=1.5, is read as 1 5 ('1.5' is not a whole number)\n"
                        "[CN] EGSM=62,abc,2000 is read as 62 0 0 0 0 2000 ('abc' is not a whole "
                        "number; 2000 is not a channel of the band (0-124, 975-1023))\n"
                        "[CN] PCS=600 , 700 , is read as 600 0 700 0 (an item without a number "
                        "reads as 0; 0 is not a channel of the band (512-810))\n"
                        "[LOSS] LBLoss=inf~-inf is read as 0 0 (not a number, or two numbers such "
                        "as -0.5~-0.6)");
  // Read by the file rule all the same.
  EXPECT_EQ(CheckedLevels(form, 2), (std::vector<int>{1, 5}));
  auto plan = std::make_unique<TestPlan>();
  CaptureTestPlan(form, *plan);
  EXPECT_EQ(Entries(plan->channels[0]), (std::vector<std::int32_t>{62, 0, 0, 0, 0, 2000}));
  EXPECT_EQ(Entries(plan->channels[1]), (std::vector<std::int32_t>{512, 600}));
  EXPECT_EQ(plan->lowBandLosses, (std::array<float, 2>{0, 0}));

  // Plain lists give no notice; the notice stands also when the opening stops on a list error.
  Write("plain.tpl", kStartupPlan);
  OpenPlanFile(form, Path("plain.tpl"), &notice);
  EXPECT_EQ(notice, "");
  Write("stops.tpl", "[PCL]\r\nEGSM=5,\r\nDCS=x\r\n");
  EXPECT_THROW(OpenPlanFile(form, Path("stops.tpl"), &notice), ListIndexError);
  EXPECT_EQ(notice, "Check these values of " + Path("stops.tpl") +
                        "; they are read as shown:\n"
                        "[PCL] DCS=x is read as 0 ('x' is not a whole number)");
}

// A save writes what the user typed only when it holds whole numbers of the band.
TEST_F(PlanFiles, ATypedListThatIsNotPlainNumbersOfItsBandIsNotSaved) {
  const struct {
    std::function<void(PlanForm&)> type;
    const char* message;
  } cases[] = {
      {[](PlanForm& f) {
         f.Band(0).channels = {"62,abc,2000", true, true};
       },
       "EGSM channels: 'abc' is not a whole number"},
      {[](PlanForm& f) {
         f.Band(1).channels = {"512,900", true, true};
       },
       "DCS channels: 900 is not a channel of the band (512-885)"},
      {[](PlanForm& f) {
         f.Band(2).channels = {"512,1.5", true, true};
       },
       "PCS channels: '1.5' is not a whole number"},
      {[](PlanForm& f) {
         f.Ehighfreq = {"1710~x", true, true};
       },
       "High Band MHz: '1710~x' is not a number or two numbers such as -0.5~-0.6"},
  };
  for (const auto& c : cases) {
    PlanForm form = StartedForm();
    c.type(form);
    try {
      SavePlanFile(form, Path("typed"));
      ADD_FAILURE() << "saved";
    } catch (const PlanInputError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    EXPECT_EQ(form.Label15, Path("typed") + "  Not saved");
    EXPECT_TRUE(Names().empty());
  }
  // Typed with blanks the file rule would read as extra 0s: saved as the channels typed.
  PlanForm form = StartedForm();
  form.Band(0).channels = {" 62 , 124 ,", true, true};
  form.Band(1).channels = {"512, 600", true, true};
  SavePlanFile(form, Path("typed"));
  EXPECT_NE(Read("typed.tpl").find("[CN]\r\nEGSM=62,124,\r\nDCS=512, 600\r\n"), std::string::npos)
      << Read("typed.tpl");
  // A band that is off or in Scan Mode does not write its edit, so nothing there is refused.
  form.Band(2).channels = {"x", true, true};
  form.SetBandChecked(2, false);
  form.Band(3).channels = {"y", true, true};
  form.SetBandChecked(3, true);
  form.SetScanModeChecked(3, true);
  EXPECT_NO_THROW(SavePlanFile(form, Path("typed")));
  // A typed list longer than a plan file keeps.
  std::string long_list;
  while (long_list.size() < 128)
    long_list += "600,";
  form.Band(1).channels = {long_list, true, true};
  try {
    SavePlanFile(form, Path("typed"));
    ADD_FAILURE() << "saved";
  } catch (const PlanInputError& error) {
    EXPECT_STREQ(error.what(),
                 "DCS channels: the list is longer than 127 characters, more than a plan file "
                 "keeps");
  }
}

TEST_F(PlanFiles, AFileThatIsNotTextOrTooLargeIsRefusedAndChangesNothing) {
  using std::string_literals::operator""s;
  const std::string huge = "[BAND]\r\nEGSM=0\r\n" + std::string(kMaxPlanFileSize, ';');
  const std::pair<std::string, const char*> cases[] = {
      {"[BAND]\r\nEGSM=0\r\n\0"s, "not a text file"},
      {"[BAND]\r\nEGSM=0\x01\r\n", "not a text file"},
      {"\x7f\x45LF", "not a text file"},
      {huge, "larger than 1024 KiB"},
  };
  for (const auto& [bytes, reason] : cases) {
    Write("bad.tpl", bytes);
    PlanForm form = StartedForm();
    const std::string before = Snapshot(form);
    try {
      OpenPlanFile(form, Path("bad.tpl"));
      ADD_FAILURE() << "opened " << reason;
    } catch (const PlanFileError& error) {
      EXPECT_EQ(error.what(), "Cannot use " + Path("bad.tpl") + ": the file is " + reason);
    }
    EXPECT_EQ(Snapshot(form), before) << reason;
    // Saving into it is refused as well, and it stays as it was.
    EXPECT_THROW(SavePlanFile(form, Path("bad.tpl")), PlanFileError);
    EXPECT_EQ(Read("bad.tpl"), bytes) << reason;
  }
  // Bytes beyond ASCII (a Latin-1 comment) are text.
  Write("latin1.tpl",
        "; Pr\xfc"
        "fplatz\r\n[BAND]\r\nEGSM=0\r\n");
  PlanForm form = StartedForm();
  EXPECT_THROW(OpenPlanFile(form, Path("latin1.tpl")), ListIndexError);
  EXPECT_FALSE(form.Band(0).box.checked);
}

TEST_F(PlanFiles, IntegerKeysThatAreNotIntegersTakeTheirDefault) {
  const std::pair<const char*, bool> cases[] = {{"0", false}, {" 0 ", false}, {"-0", false},
                                                {"1", true},  {"abc", true},  {"0x0", true},
                                                {"", true},   {"0.0", true},  {"-7", true}};
  for (const auto& [value, checked] : cases) {
    Write("int.tpl", std::string("[BAND]\r\nEGSM=") + value + "\r\n");
    PlanForm form = StartedForm();
    EXPECT_THROW(OpenPlanFile(form, Path("int.tpl")), ListIndexError);
    EXPECT_EQ(form.Band(0).box.checked, checked) << '"' << value << '"';
  }
}

// ---------------------------------------------------------------------------------------------
// vexa-cli plan

using vexa::testing::ProcessResult;

ProcessResult RunCli(const std::string& args) {
  return vexa::testing::RunProcess(std::string("LC_ALL=C '") + VEXA_CLI_PATH + "' " + args);
}

constexpr char kStartupShow[] =
    "bandEnabled: 1 1 1 0\nscanMode: 0 0 0 0\nchannels EGSM: 975 62 124\n"
    "channels DCS: 512 698 885\nchannels PCS: 512 661 810\nchannels GSM850: 128 190 251\n"
    "levels EGSM: 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19\n"
    "levels DCS: 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n"
    "levels PCS: 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\nlevels GSM850:\n"
    "itemEnabled: 1 1 1 1 1 1 1\nberReferenceLevel: -102.5\nberCount: 8200\nantennaMode: 0\n"
    "antennaStep: 30\nantennaAngle: 0\nlowBandFrequencies: 880 960\nlowBandLosses: -0.5 -0.6\n"
    "highBandFrequencies: 1710 1990\nhighBandLosses: -1.2 -1.5\n";

TEST_F(PlanFiles, CliShowPrintsTheCapturedPlanOfTheWindowOrOfAFile) {
  ProcessResult run = RunCli("plan show");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, kStartupShow);
  EXPECT_EQ(run.err, "");

  Write("changed.tpl",
        "[BAND]\r\nDCS=0\r\nGSM850=1\r\n[PCL]\r\nEGSM=5,19,\r\nDCS=\r\nPCS=\r\nGSM850=6,\r\n"
        "[CN]\r\nEGSM=All\r\nDCS=1,2\r\nPCS=3,,4\r\nGSM850=\r\n[ITEM]\r\nPVTime=0\r\n"
        "BERREF=-110.25\r\nBERCOUNT=100\r\n[LOSS]\r\nLBFreq=824~849\r\nLBLoss=-1\r\n"
        "HBFreq=1850\r\nHBLoss=x\r\n[ANT]\r\nANTMOD=1\r\nANTStep=90\r\n");
  run = RunCli("plan show '" + Path("changed.tpl") + "'");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  std::string channels_egsm = "channels EGSM:";
  for (int c = 975; c <= 1023; ++c)
    channels_egsm += " " + std::to_string(c);
  for (int c = 0; c <= 124; ++c)
    channels_egsm += " " + std::to_string(c);
  EXPECT_EQ(run.out, "bandEnabled: 1 0 1 1\nscanMode: 1 0 0 0\n" + channels_egsm +
                         "\nchannels DCS: 1 2\nchannels PCS: 3 0 4\nchannels GSM850:\n"
                         "levels EGSM: 5 19\nlevels DCS:\nlevels PCS:\nlevels GSM850: 6\n"
                         "itemEnabled: 1 0 1 1 1 1 1\nberReferenceLevel: -110.25\nberCount: 100\n"
                         "antennaMode: 1\nantennaStep: 90\nantennaAngle: 0\n"
                         "lowBandFrequencies: 824 849\nlowBandLosses: -1 0\n"
                         "highBandFrequencies: 1850 0\nhighBandLosses: 0 0\n");
}

TEST_F(PlanFiles, CliShowReportsListAndConversionErrors) {
  // The fields still print, as the opening left the window before its list error: the bands
  // applied, the enabled level lists unchecked.
  Write("nopcl.tpl", "[BAND]\r\nEGSM=1\r\n");
  ProcessResult run = RunCli("plan show '" + Path("nopcl.tpl") + "'");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "List index out of bounds (95)\n");
  EXPECT_TRUE(run.out.starts_with("bandEnabled: 1 1 1 1\nscanMode: 0 0 0 0\n")) << run.out;
  EXPECT_NE(run.out.find("\nlevels EGSM:\nlevels DCS:\nlevels PCS:\nlevels GSM850:\n"),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(run.out.ends_with("highBandLosses: -1.2 -1.5\n")) << run.out;

  Write("badref.tpl", [] {
    std::string text = kStartupPlan;
    text.replace(text.find("BERREF=-102.5"), 13, "BERREF=abc");
    return text;
  }());
  run = RunCli("plan show '" + Path("badref.tpl") + "'");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "'abc' is not a valid floating point value.\n");
  EXPECT_NE(run.out.find("itemEnabled: 1 1 1 1 1 1 1\nberReferenceLevel: 0\nberCount: 0\n"),
            std::string::npos)
      << run.out;

  Write("binary.tpl", std::string("[BAND]\0", 7));
  run = RunCli("plan show '" + Path("binary.tpl") + "'");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "Cannot use " + Path("binary.tpl") + ": the file is not a text file.\n");
  EXPECT_EQ(run.out, kStartupShow);  // refused whole: the window as it started
}

// A file named on the command line must be there; the open dialog's rule (a missing file reads
// as empty) would only give the list error.
TEST_F(PlanFiles, CliShowOfAFileThatDoesNotExistSaysSo) {
  const std::pair<std::string, std::string> cases[] = {
      {"'" + Path("missing.tpl") + "'", "Cannot use " + Path("missing.tpl")},
      {"''", "Cannot use \"\""},
      {"'" + Path("nodir/x.tpl") + "'", "Cannot use " + Path("nodir/x.tpl")},
  };
  for (const auto& [arg, name] : cases) {
    const ProcessResult run = RunCli("plan show " + arg);
    EXPECT_EQ(run.exit_code, 1) << arg;
    EXPECT_EQ(run.err, name + ": the file does not exist.\n");
    EXPECT_EQ(run.out, kStartupShow) << arg;
  }
}

// Lists of a file that are not plain numbers of their band: read by the file rule, named on
// stderr, and no failure.
TEST_F(PlanFiles, CliShowNamesTheListsAFileRuleReadsOtherwiseThanTheyLook) {
  std::string text = kStartupPlan;
  text.replace(text.find("EGSM=975,62,124,"), 16, "EGSM=62,abc,2000");
  Write("odd.tpl", text);
  const ProcessResult run = RunCli("plan show '" + Path("odd.tpl") + "'");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err, "Check these values of " + Path("odd.tpl") +
                         "; they are read as shown:\n[CN] EGSM=62,abc,2000 is read as 62 0 0 0 0 "
                         "2000 ('abc' is not a whole number; 2000 is not a channel of the band "
                         "(0-124, 975-1023))\n");
  EXPECT_NE(run.out.find("\nchannels EGSM: 62 0 0 0 0 2000\n"), std::string::npos) << run.out;
}

// What is passed to `plan save` as a list is refused unless it holds whole numbers of the
// band; nothing is written and the label says so.
TEST_F(PlanFiles, CliSaveRefusesListsThatAreNotWholeNumbersOfTheirBand) {
  const struct {
    const char* args;
    const char* message;
  } cases[] = {
      {"--egsm-cn '62,abc,2000'", "EGSM channels: 'abc' is not a whole number."},
      {"--egsm-cn '1.5,'", "EGSM channels: '1.5' is not a whole number."},
      {"--egsm-cn '500,'", "EGSM channels: 500 is not a channel of the band (0-124, 975-1023)"},
      {"--dcs-cn '512,,600'", "DCS channels: item 2 is empty."},
      {"--gsm850 1 --gsm850-cn 62", "GSM850 channels: 62 is not a channel of the band (128-251)"},
      {"--lowloss 'inf~-inf'",
       "Low Band dB: 'inf~-inf' is not a number or two numbers such as -0.5~-0.6."},
      {"--highfreq 1710~",
       "High Band MHz: '1710~' is not a number or two numbers such as "
       "-0.5~-0.6."},
      {"--egsm-pcl 3", "EGSM levels: 3 is not a level of the band (5-19)"},
      {"--pcs-pcl 0,x", "PCS levels: 'x' is not a whole number."},
  };
  for (const auto& c : cases) {
    const ProcessResult run = RunCli("plan save '" + Path("p") + "' " + c.args);
    EXPECT_EQ(run.exit_code, 1) << c.args;
    EXPECT_EQ(run.err, std::string(c.message) + "\n") << c.args;
    EXPECT_TRUE(Names().empty()) << c.args;
  }
  // Blanks around the numbers are fine, and the file gets the channels typed.
  ProcessResult run = RunCli("plan save '" + Path("p") + "' --egsm-cn ' 62 , 124 ,'");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  run = RunCli("plan show '" + Path("p.tpl") + "'");
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("\nchannels EGSM: 62 124\n"), std::string::npos) << run.out;
}

TEST_F(PlanFiles, CliSaveAppliesKeysAndActionsThenSaves) {
  ProcessResult run = RunCli("plan save '" + Path("cli.txt") + "'");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, Path("cli.txt") + "  Saved\n");
  EXPECT_EQ(Read("cli.tpl"), kStartupPlan);

  run = RunCli("plan save '" + Path("cli2.tpl") +
               "' --gsm850 1 --dcs 0 --egsm-scan 1 --pcs-cn 512,513, --egsm-pcl 5,6,7 "
               "--rxqual 0 --berref -99 --ant 1 --antstep 45 uncheck-all-items check-all-items "
               "click-pcs-scan");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  PlanForm form = StartedForm();
  OpenPlanFile(form, Path("cli2.tpl"));
  EXPECT_TRUE(form.Band(3).box.checked);
  EXPECT_FALSE(form.Band(1).box.checked);
  EXPECT_TRUE(form.Band(0).scan.checked);
  EXPECT_TRUE(form.Band(2).scan.checked);
  EXPECT_EQ(CheckedLevels(form, 0), (std::vector<int>{5, 6, 7}));
  EXPECT_TRUE(form.CLBtestitem.items[5].checked);
  EXPECT_EQ(form.Eberref.text, "-99");
  EXPECT_TRUE(form.CBant.checked);
  EXPECT_EQ(form.Eantstep.text, "45");

  // Levels outside the list stop before the save; bad usage runs nothing.
  run = RunCli("plan save '" + Path("cli3") + "' --dcs-pcl 16");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "DCS levels: 16 is not a level of the band (0-15)\n");
  const char* const usage[] = {"plan",
                               "plan save",
                               "plan frob",
                               "plan show a b",
                               "plan save x.tpl --egsm 2",
                               "plan save x.tpl --nokey 1",
                               "plan save x.tpl check-all-items --egsm 1",
                               "plan save x.tpl --egsm",
                               "plan save x.tpl jump"};
  for (const char* args : usage) {
    run = RunCli(std::string(args));
    EXPECT_EQ(run.exit_code, 2) << args;
    EXPECT_FALSE(run.err.empty()) << args;
  }
  EXPECT_FALSE(fs::exists("x.tpl"));

  // A failed save never says "Saved": a missing folder, a path under a regular file.
  Write("afile", "x");
  for (const char* name : {"missing/p", "afile/bench"}) {
    run = RunCli("plan save '" + Path(name) + "'");
    EXPECT_EQ(run.exit_code, 1) << name;
    EXPECT_EQ(run.out, Path(name) + "  Not saved\n");
    EXPECT_EQ(run.err, "Unable to write to " + Path(name) + ".tpl.\n");
  }

  // A value with a line break cannot be written as one value line: the old file stays.
  Write("break.tpl", kStartupPlan);
  run =
      RunCli("plan save '" + Path("break.tpl") + "' --berref \"$(printf '1\\n[BAND]\\nEGSM=0')\"");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "Unable to write to " + Path("break.tpl") + ".\n");
  EXPECT_EQ(Read("break.tpl"), kStartupPlan);

  run = RunCli("plan --help");
  EXPECT_EQ(run.exit_code, 0);
  for (const char* listed :
       {"--egsm 1|0", "--gsm850-pcl TEXT", "--dcs-cn TEXT", "--pcs-scan 1|0", "--berror 1|0",
        "--antstep TEXT", "check-all-levels", "uncheck-all-items", "click-gsm850-scan"})
    EXPECT_NE(run.out.find(listed), std::string::npos) << listed;
}

}  // namespace
}  // namespace vexa
