// The SMITH page's handlers on the form model: one table of event sequences, each checked
// against the texts it must show and the texts it must leave as they were.
#include "matching/smith_form.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/errors.h"
#include "matching/smith.h"

namespace {

using vexa::SmithForm;
using Step = std::function<void(SmithForm&)>;
using Texts = std::map<std::string, std::string>;

// Everything the page shows, by the command line's keys.
Texts Snapshot(const SmithForm& f) {
  return {{"r", f.LabeledEdit10},
          {"x", f.LabeledEdit11},
          {"freq", f.LabeledEdit12},
          {"impedance", f.Label55},
          {"gamma", f.Label64},
          {"circuit", f.Label56},
          {"r1", f.Label57},
          {"l1", f.Label58},
          {"r2", f.Label59},
          {"l2", f.Label60},
          {"marker", std::to_string(f.MarkerLeft) + "," + std::to_string(f.MarkerTop)},
          {"scroll", std::to_string(f.ScrollPosition)},
          {"dragging", f.state.dragging ? "1" : "0"}};
}

Step Move(int x, int y) {
  return [=](SmithForm& f) { f.Image3MouseMove(x, y); };
}
Step Press(int x, int y) {
  return [=](SmithForm& f) { f.Image3MouseDown(x, y); };
}
Step Release() {
  return [](SmithForm& f) { f.Image3MouseUp(); };
}
Step Scroll(int p) {
  return [=](SmithForm& f) { f.SetScrollPosition(p); };
}
Step Type(const char* r, const char* x) {
  return [=](SmithForm& f) {
    f.LabeledEdit10 = r;
    f.LabeledEdit11 = x;
  };
}
Step Freq(const char* mhz) {
  return [=](SmithForm& f) { f.LabeledEdit12 = mhz; };
}
Step EnterR(int key = 13) {
  return [=](SmithForm& f) { f.LabeledEdit10KeyDown(key); };
}
Step EnterX() {
  return [](SmithForm& f) { f.LabeledEdit11KeyDown(13); };
}

const std::vector<std::string> kAll = {"r",  "x",  "freq", "impedance", "gamma",  "circuit", "r1",
                                       "l1", "r2", "l2",   "marker",    "scroll", "dragging"};
const std::vector<std::string> kCircuitKeys = {"circuit", "r1", "l1", "r2", "l2"};

struct Case {
  const char* name;
  std::vector<Step> setup;
  Step last;
  Texts expected;                 // after `last`
  std::vector<std::string> keep;  // as they were before `last`
  const char* error = nullptr;    // what `last` throws
};

std::vector<std::string> Plus(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(SmithForm, EventsTable) {
  const std::string inductive = vexa::kInductiveCircuit;
  const Case cases[] = {
      {"hover at the top shows j50 without moving anything",
       {},
       Move(176, 0),
       {{"r", "0"}, {"x", "50"}},
       Plus({"impedance", "gamma", "marker", "scroll", "dragging"}, kCircuitKeys)},
      {"a press there turns the bar a quarter",
       {Move(176, 0)},
       Press(176, 0),
       {{"scroll", "900"},
        {"marker", "174,-2"},
        {"dragging", "1"},
        {"gamma", "Γ=1  \n∠90°   "},
        {"circuit", inductive},
        {"l1", "L1=4.42097064144154"}},
       {"r", "x"}},
      {"a press below the axis turns past half",
       {Move(200, 250)},
       Press(200, 250),
       {{"scroll", "2879"},
        {"marker", "197,248"},
        {"gamma", "Γ=0.442014780426744  \n∠-72.1°   "},
        {"r1", "R1=43.5560061744838"}},
       {"r", "x"}},
      {"turning before anything keeps the centre",
       {},
       Scroll(450),
       {{"scroll", "450"},
        {"marker", "174,174"},
        {"impedance", "Red=50\nj(0)"},
        {"gamma", "Γ=0  "},
        {"circuit", inductive},
        {"r1", "R1=50"},
        {"l1", "L1=0"},
        {"r2", "R2=50"},
        {"l2", "L2=INF"}},
       {"r", "x", "dragging"}},
      {"Enter 100 + j0",
       {Type("100", "0")},
       EnterR(),
       {{"marker", "232,174"},
        {"scroll", "0"},
        {"impedance", "Red=100\nj(0)"},
        {"gamma", "Γ=0.333333333333333  \n∠0°   "},
        {"r1", "R1=100"},
        {"l1", "L1=0"},
        {"r2", "R2=100"},
        {"l2", "L2=INF"}},
       {"r", "x"}},
      {"Enter in +j X does the same",
       {Type("100", "0")},
       EnterX(),
       {{"marker", "232,174"}, {"impedance", "Red=100\nj(0)"}, {"l2", "L2=INF"}},
       {}},
      {"Enter 0 + j0 ends on the left of the axis, after the rotation's detour",
       {Type("0", "0")},
       EnterR(),
       {{"marker", "-2,174"},
        {"scroll", "1800"},
        {"impedance", "Red=0\nj(0)"},
        {"gamma", "Γ=1  \n∠180°   "},
        {"r1", "R1=0"},
        {"l1", "L1=0"},
        {"r2", "R2=INF"},
        {"l2", "L2=INF"}},
       {}},
      {"turning keeps the marker's radius",
       {Type("100", "0"), EnterR()},
       Scroll(1800),
       {{"marker", "116,174"},
        {"impedance", "Red=25.2136752136752\nj(2.28307300125944E-15)"},
        {"gamma", "Γ=0.329545454545455  \n∠180°   "},
        {"r1", "R1=25.2136752136752"}},
       {"r", "x"}},
      {"a press outside only starts dragging",
       {},
       Press(10, 10),
       {{"dragging", "1"}},
       Plus({"r", "x", "freq", "impedance", "gamma", "marker", "scroll"}, kCircuitKeys)},
      {"the first move back inside carries the marker",
       {Press(10, 10)},
       Move(200, 176),
       {{"marker", "198,174"},
        {"r", "65.7894736842105"},
        {"x", "0"},
        {"r1", "R1=65.7894736842105"},
        {"l2", "L2=INF"}},
       {"impedance", "gamma", "scroll"}},
      {"after the release a move leaves the marker",
       {Press(10, 10), Release()},
       Move(200, 176),
       {{"marker", "174,174"}, {"dragging", "0"}, {"r", "65.7894736842105"}},
       Plus({"impedance", "gamma", "scroll"}, kCircuitKeys)},
      {"a drag straight out keeps the bar and both labels",
       {Move(176, 100), Press(176, 100)},
       Move(176, 50),
       {{"marker", "174,48"},
        {"r", "16.1145735507556"},
        {"x", "47.3320242465636"},
        {"r1", "R1=16.1145735507556"},
        {"l1", "L1=4.18506979188114"}},
       {"impedance", "gamma", "scroll", "dragging"}},
      {"Enter 50 + j0 sits on the centre: the bar stays, the circuits follow",
       {Type("0", "50"), EnterR(), Type("50", "0")},
       EnterR(),
       {{"marker", "174,174"},
        {"scroll", "900"},
        {"impedance", "Red=50\nj(0)"},
        {"gamma", "Γ=0  "},
        {"r1", "R1=50"},
        {"l1", "L1=0"},
        {"r2", "R2=50"},
        {"l2", "L2=INF"}},
       {}},
      {"a press on the centre pixel keeps the bar and marks 50 + j0",
       {Move(176, 100), Press(176, 100), Release(), Move(176, 176)},
       Press(176, 176),
       {{"marker", "174,174"},
        {"dragging", "1"},
        {"impedance", "Red=50\nj(0)"},
        {"gamma", "Γ=0  "},
        {"r1", "R1=50"},
        {"l2", "L2=INF"}},
       {"scroll"}},
      {"the same position runs nothing",
       {Type("50", "50"), EnterR(), Freq("900")},
       Scroll(637),
       {},
       kAll},
      {"a new position turns at the typed frequency",
       {Type("50", "50"), EnterR(), Freq("900")},
       Scroll(638),
       {{"scroll", "638"},
        {"marker", "208,102"},
        {"impedance", "Red=49.5388146408085\nj(50.1219826834853)"},
        {"l1", "L1=8.86351255738118"}},
       {"r", "x"}},
      {"below the range clamps to the position it has", {}, Scroll(-5), {}, kAll},
      {"above the range clamps to 3600 and turns",
       {},
       Scroll(5000),
       {{"scroll", "3600"}, {"impedance", "Red=50\nj(0)"}},
       {"marker"}},
      {"another key than Enter does nothing", {Type("100", "0")}, EnterR(65), {}, kAll},
      {"R that does not convert stops at once",
       {Type("100", "0"), EnterR(), Type("abc", "0")},
       EnterR(),
       {},
       kAll,
       "'abc' is not a valid floating point value"},
      {"X is read first",
       {Type("abc", "")},
       EnterR(),
       {},
       kAll,
       "'' is not a valid floating point value"},
      {"-50 + j0 ends in the reflection division",
       {Type("100", "0"), EnterR(), Type("-50", "0")},
       EnterR(),
       {},
       kAll,
       vexa::kInvalidOperation},
      {"the pixel at reflection 1 ends in the impedance division",
       {},
       Move(352, 176),
       {},
       kAll,
       vexa::kInvalidOperation},
      {"a zero frequency ends Enter after the marker and Label55",
       {Type("100", "0"), Freq("0")},
       EnterR(),
       {{"marker", "232,174"}, {"impedance", "Red=100\nj(0)"}},
       Plus({"gamma", "scroll"}, kCircuitKeys),
       vexa::kDivisionByZero},
      {"a bad frequency ends a press after the rotation, before dragging",
       {Freq("x"), Move(176, 0)},
       Press(176, 0),
       {{"scroll", "900"}, {"marker", "174,-2"}, {"gamma", "Γ=1  \n∠90°   "}, {"dragging", "0"}},
       kCircuitKeys,
       "'x' is not a valid floating point value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SmithForm form;
    for (const Step& step : c.setup)
      step(form);
    const Texts before = Snapshot(form);
    try {
      c.last(form);
      EXPECT_EQ(c.error, nullptr) << "no error";
    } catch (const vexa::Error& error) {
      ASSERT_NE(c.error, nullptr) << error.what();
      EXPECT_EQ(error.what(), std::string(c.error));
    }
    const Texts after = Snapshot(form);
    for (const auto& [key, text] : c.expected)
      EXPECT_EQ(after.at(key), text) << key;
    for (const std::string& key : c.keep)
      EXPECT_EQ(after.at(key), before.at(key)) << key;
  }
}

TEST(SmithForm, StartsAsDesigned) {
  const SmithForm form;
  const Texts start = Snapshot(form);
  EXPECT_EQ(start, (Texts{{"r", ""},
                          {"x", ""},
                          {"freq", "1800"},
                          {"impedance", "Red=50+j(0)"},
                          {"gamma", "Γ="},
                          {"circuit", "RCL"},
                          {"r1", "R1="},
                          {"l1", "L1="},
                          {"r2", "R2="},
                          {"l2", "L2="},
                          {"marker", "174,174"},
                          {"scroll", "0"},
                          {"dragging", "0"}}));
  EXPECT_EQ(form.state.impedance, std::complex<double>(0, 0));
  EXPECT_EQ(form.state.gamma, std::complex<double>(0, 0));
}

// After Enter the state holds the typed point exactly, whatever the first pass's rotation did.
TEST(SmithForm, EnterLeavesTheTypedPointInTheState) {
  const std::pair<const char*, const char*> typed[] = {
      {"50", "50"}, {"10", "-30"}, {"0", "0"}, {"1000", "1"}, {"-20", "5"}};
  for (const auto& [r, x] : typed) {
    SmithForm form;
    form.LabeledEdit10 = r;
    form.LabeledEdit11 = x;
    form.LabeledEdit10KeyDown(13);
    const std::complex<double> z(std::stod(r), std::stod(x));
    EXPECT_EQ(form.state.impedance, z) << r << " " << x;
    EXPECT_EQ(form.state.gamma, vexa::ImpedanceToGamma(z)) << r << " " << x;
    EXPECT_EQ(form.Label55, vexa::ImpedanceText(z));
    EXPECT_EQ(form.Label64, vexa::ReflectionText(form.state.gamma));
    const auto corner = vexa::ChartMapping{}.GammaToMarker(form.state.gamma);
    EXPECT_EQ(form.MarkerLeft, corner.left);
    EXPECT_EQ(form.MarkerTop, corner.top);
    EXPECT_EQ(form.state.dx, corner.left + 2 - 176);
    EXPECT_EQ(form.state.dy, 176 - (corner.top + 2));
  }
}

}  // namespace
