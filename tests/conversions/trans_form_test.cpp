// The TRANS page's handlers on the form model: the paired fields, the RXLEV field and scroll
// bar settling on each other, the balun and the desktop-program lookup.
#include "conversions/trans_form.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "support/message_recorder.h"

namespace vexa {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Recorder = testing::MessageRecorder;

class TransFormTest : public ::testing::Test {
 protected:
  // The error message a handler ends with, or "" when it runs to its end.
  template <typename Handler>
  std::string Run(Handler handler) {
    try {
      handler();
    } catch (const Error& error) {
      return error.what();
    }
    return "";
  }

  Recorder messages;
  TransForm form{messages};
};

TEST_F(TransFormTest, PairedFields) {
  using Field = std::string TransForm::*;
  using Handler = void (TransForm::*)(int);
  const struct {
    Field field;
    Handler enter;
    Field partner;
    const char* input;
    const char* partner_text;  // the partner after Enter; "keep" when left as it was
    const char* message;       // the box shown, or ""
    const char* error;         // the error the handler ends with, or ""
  } cases[] = {
      {&TransForm::Edit3, &TransForm::Edit3KeyDown, &TransForm::Edit4, "-20", "1.22222222222222",
       "", ""},
      {&TransForm::Edit3, &TransForm::Edit3KeyDown, &TransForm::Edit4, "0", "keep",
       "input must be negative", ""},
      {&TransForm::Edit3, &TransForm::Edit3KeyDown, &TransForm::Edit4, "3", "keep",
       "input must be negative", ""},
      {&TransForm::Edit3, &TransForm::Edit3KeyDown, &TransForm::Edit4, "-1e-300", "keep", "",
       kDivisionByZero},
      {&TransForm::Edit4, &TransForm::Edit4KeyDown, &TransForm::Edit3, "1.5", "-13.9794000867204",
       "", ""},
      {&TransForm::Edit4, &TransForm::Edit4KeyDown, &TransForm::Edit3, "1", "keep",
       "input must be larger than 1", ""},
      {&TransForm::Edit4, &TransForm::Edit4KeyDown, &TransForm::Edit3, "1,5", "keep", "",
       "'1,5' is not a valid floating point value"},
      {&TransForm::Edit5, &TransForm::Edit5KeyDown, &TransForm::Edit6, "30", "1000", "", ""},
      {&TransForm::Edit5, &TransForm::Edit5KeyDown, &TransForm::Edit6, "-30", "0.001", "", ""},
      {&TransForm::Edit5, &TransForm::Edit5KeyDown, &TransForm::Edit6, "4000", "keep", "",
       kOverflow},
      {&TransForm::Edit6, &TransForm::Edit6KeyDown, &TransForm::Edit5, "1", "0", "", ""},
      {&TransForm::Edit6, &TransForm::Edit6KeyDown, &TransForm::Edit5, "0", "keep",
       "mW must be greater than 0", ""},
      {&TransForm::Edit6, &TransForm::Edit6KeyDown, &TransForm::Edit5, "-2", "keep",
       "mW must be greater than 0", ""},
      {&TransForm::Edit6, &TransForm::Edit6KeyDown, &TransForm::Edit5, "", "keep", "",
       "'' is not a valid floating point value"},
      {&TransForm::Edit7, &TransForm::Edit7KeyDown, &TransForm::Edit8, "1", "0.0254", "", ""},
      {&TransForm::Edit7, &TransForm::Edit7KeyDown, &TransForm::Edit8, "39.37", "0.999998", "", ""},
      {&TransForm::Edit7, &TransForm::Edit7KeyDown, &TransForm::Edit8, "-2", "-0.0508", "", ""},
      {&TransForm::Edit8, &TransForm::Edit8KeyDown, &TransForm::Edit7, "1", "39.37", "", ""},
      {&TransForm::Edit8, &TransForm::Edit8KeyDown, &TransForm::Edit7, "1e307", "keep", "",
       kOverflow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.input) + " -> " + c.partner_text);
    Recorder shown;
    TransForm page(shown);
    page.*c.field = c.input;
    page.*c.partner = "keep";
    (page.*c.enter)(kEnterKey + 1);  // any other key does nothing
    EXPECT_EQ(page.*c.partner, "keep");
    std::string error;
    try {
      (page.*c.enter)(kEnterKey);
    } catch (const Error& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(page.*c.partner, c.partner_text);
    EXPECT_EQ(page.*c.field, c.input);
    if (*c.message) {
      EXPECT_THAT(shown.shown, ElementsAre(c.message));
    } else {
      EXPECT_THAT(shown.shown, IsEmpty());
    }
  }
}

TEST_F(TransFormTest, RxlevAboveRangeSettlesAtTheTop) {
  form.Edit10 = "70";
  form.Edit10KeyDown(kEnterKey);
  EXPECT_THAT(messages.shown, ElementsAre("error RXLEV"));
  EXPECT_EQ(form.ScrollBar4, 63);
  EXPECT_EQ(form.Edit10, "63");
  EXPECT_EQ(form.Label25, "greater than -48 dBm");
}

TEST_F(TransFormTest, RxlevBelowRangeMovesTheScrollBarToZeroOnlyWhenItWasElsewhere) {
  form.SetScrollBar4(5);
  EXPECT_EQ(form.Edit10, "5");
  EXPECT_EQ(form.Label25, "-106 dBm  to  -105 dBm");
  form.Edit10 = "-1";
  form.Edit10KeyDown(kEnterKey);
  EXPECT_THAT(messages.shown, ElementsAre("error RXLEV"));
  EXPECT_EQ(form.ScrollBar4, 0);
  EXPECT_EQ(form.Edit10, "0");
  EXPECT_EQ(form.Label25, "less than -110 dBm");
  // Already at 0: no change event, so the typed text and the range stay.
  form.Edit10 = "-1";
  form.Label25 = "range";
  form.Edit10KeyDown(kEnterKey);
  EXPECT_THAT(messages.shown, ElementsAre("error RXLEV", "error RXLEV"));
  EXPECT_EQ(form.ScrollBar4, 0);
  EXPECT_EQ(form.Edit10, "-1");
  EXPECT_EQ(form.Label25, "range");
}

TEST_F(TransFormTest, RxlevInRangeAndTheScrollBar) {
  form.Edit10 = " 30 ";
  form.Edit10KeyDown(kEnterKey + 1);
  EXPECT_EQ(form.ScrollBar4, 0);
  form.Edit10KeyDown(kEnterKey);
  EXPECT_EQ(form.Label25, "-81 dBm  to  -80 dBm");
  EXPECT_EQ(form.ScrollBar4, 30);
  EXPECT_EQ(form.Edit10, "30");  // the move rewrites the field
  form.SetScrollBar4(1000);
  EXPECT_EQ(form.ScrollBar4, 63);
  EXPECT_EQ(form.Edit10, "63");
  EXPECT_EQ(form.Label25, "greater than -48 dBm");
  // No change of position, no handler: the field keeps what was typed.
  form.Edit10 = "12";
  form.SetScrollBar4(63);
  EXPECT_EQ(form.Edit10, "12");
  form.SetScrollBar4(-4);
  EXPECT_EQ(form.ScrollBar4, 0);
  EXPECT_EQ(form.Edit10, "0");
  EXPECT_EQ(form.Label25, "less than -110 dBm");
  EXPECT_THAT(messages.shown, IsEmpty());
}

TEST_F(TransFormTest, RxlevThatIsNoIntegerChangesNothing) {
  form.SetScrollBar4(7);
  const std::string range = form.Label25;
  for (const char* text : {"12.5", "", "0x10", "99999999999"}) {
    SCOPED_TRACE(text);
    form.Edit10 = text;
    EXPECT_EQ(Run([&] { form.Edit10KeyDown(kEnterKey); }),
              "'" + std::string(text) + "' is not a valid integer value");
    EXPECT_EQ(form.ScrollBar4, 7);
    EXPECT_EQ(form.Label25, range);
    EXPECT_EQ(form.Edit10, text);
  }
  EXPECT_THAT(messages.shown, IsEmpty());
}

TEST_F(TransFormTest, BalunValuesAndDrawings) {
  EXPECT_EQ(form.Label66, kClcBalun);
  EXPECT_EQ(std::count(form.Label66.begin(), form.Label66.end(), '\n'), 10);
  form.Button7Click();
  EXPECT_EQ(form.Label70, "C=3.18309886183791 pF");
  EXPECT_EQ(form.Label71, "L=7.95774715459477 nH");

  form.RadioButton8MouseDown();
  EXPECT_EQ(form.Label66, kLclBalun);
  EXPECT_FALSE(form.RadioButton7);
  EXPECT_TRUE(form.RadioButton8);
  std::string exchanged = kClcBalun;
  for (char& c : exchanged)
    c = c == 'L' ? 'C' : c == 'C' ? 'L' : c;
  EXPECT_EQ(exchanged, kLclBalun);
  // The form does not change the values.
  form.Label70 = form.Label71 = "";
  form.Button7Click();
  EXPECT_EQ(form.Label70, "C=3.18309886183791 pF");
  EXPECT_EQ(form.Label71, "L=7.95774715459477 nH");

  form.RadioButton7MouseDown();
  EXPECT_EQ(form.Label66, kClcBalun);
  EXPECT_TRUE(form.RadioButton7);
  EXPECT_FALSE(form.RadioButton8);
  EXPECT_THAT(messages.shown, IsEmpty());
}

TEST_F(TransFormTest, BalunRefusals) {
  const struct {
    const char* r1;
    const char* r2;
    const char* freq;
    const char* message;
    const char* error;
  } cases[] = {
      {"0", "50", "1000", "R1*R2 must be greater than 0", ""},
      {"-50", "50", "1000", "R1*R2 must be greater than 0", ""},
      {"1e-200", "1e-200", "1000", "R1*R2 must be greater than 0", ""},  // product underflows
      {"50", "50", "0", "Freq must be greater than 0", ""},
      {"50", "50", "-900", "Freq must be greater than 0", ""},
      {"50", "50", "1e-306", "", kOverflow},
      {"r1", "50", "f", "", "'r1' is not a valid floating point value"},
      {"50", "50", "f", "", "'f' is not a valid floating point value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.r1) + " " + c.r2 + " " + c.freq);
    Recorder shown;
    TransForm page(shown);
    page.Edit25 = c.r1;
    page.Edit26 = c.r2;
    page.Edit27 = c.freq;
    EXPECT_EQ(Run([&] { page.Button7Click(); }), c.error);
    EXPECT_EQ(page.Label70, "C=");
    EXPECT_EQ(page.Label71, "L=");
    if (*c.message) {
      EXPECT_THAT(shown.shown, ElementsAre(c.message));
    } else {
      EXPECT_THAT(shown.shown, IsEmpty());
    }
  }
}

TEST(DesktopPrograms, FindProgramTakesTheFirstExecutableCandidate) {
  namespace fs = std::filesystem;
  const fs::path root =
      fs::temp_directory_path() / ("vexa_find_program_" + std::to_string(::getpid()));
  const fs::path a = root / "a";
  const fs::path b = root / "b";
  fs::create_directories(a);
  fs::create_directories(b);
  const auto make = [](const fs::path& path, mode_t mode) {
    std::ofstream(path) << "#!/bin/sh\n";
    ::chmod(path.c_str(), mode);
  };
  make(a / "gnome-calculator", 0644);  // not executable
  make(a / "kcalc", 0755);
  make(b / "gnome-calculator", 0755);
  fs::create_directories(a / "galculator");  // a directory, executable bits and all

  const std::string both = a.string() + "::" + b.string();
  EXPECT_EQ(FindProgram({"gnome-calculator", "kcalc"}, both), (b / "gnome-calculator").string());
  EXPECT_EQ(FindProgram({"gnome-calculator", "kcalc"}, a.string()), (a / "kcalc").string());
  EXPECT_EQ(FindProgram({"galculator", "kcalc"}, a.string()), (a / "kcalc").string());
  EXPECT_EQ(FindProgram({"galculator", "xcalc"}, both), "");
  EXPECT_EQ(FindProgram({"kcalc"}, ""), "");
  EXPECT_EQ(FindProgram({"a/kcalc"}, root.string()), "");  // names only, no paths
  fs::remove_all(root);

  EXPECT_EQ(MissingProgramMessage(kCalculatorProgram),
            "No calculator found. Install one of: gnome-calculator, kcalc, galculator, mate-calc, "
            "qalculate-gtk, xcalc");
  EXPECT_EQ(MissingProgramMessage(kPaintProgram),
            "No paint program found. Install one of: kolourpaint, pinta, gimp, mtpaint, drawing");
  EXPECT_EQ(kTextEditorProgram.candidates.front(), "gnome-text-editor");
}

}  // namespace
}  // namespace vexa
