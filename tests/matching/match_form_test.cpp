// The MATCH page's handlers on the form model: what each click writes, in which order, and
// what stays written when a click ends on an error.
#include "matching/match_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <complex>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/errors.h"
#include "core/text_format.h"
#include "support/message_recorder.h"

namespace vexa {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

using Recorder = testing::MessageRecorder;

class MatchFormTest : public ::testing::Test {
 protected:
  MatchFormTest() { form.FormCreate(); }

  // The error message a handler ends with, or "" when it runs to its end.
  template <typename Handler>
  std::string Run(Handler handler) {
    try {
      (form.*handler)();
    } catch (const Error& error) {
      return error.what();
    }
    return "";
  }

  double Number(const std::string& text) { return TextToFloat(text); }

  // dB value of a "Γ1= ... dB  " line.
  double Decibels(const std::string& line, const std::string& prefix) {
    EXPECT_THAT(line, StartsWith(prefix));
    EXPECT_TRUE(line.ends_with(" dB  ")) << line;
    return Number(line.substr(prefix.size(), line.size() - prefix.size() - 5));
  }

  Recorder messages;
  MatchForm form{messages};
};

TEST_F(MatchFormTest, DesignThenSparamShowsAMatchedNetwork) {
  for (bool lc : {true, false}) {
    SCOPED_TRACE(lc ? "LC" : "CL");
    form.CheckTopology(lc ? LNetworkTopology::kLC : LNetworkTopology::kCL);
    EXPECT_EQ(Run(&MatchForm::Button8Click), "");
    EXPECT_EQ(form.Label33, lc ? kLcSchematic : kClSchematic);
    EXPECT_EQ(form.Label27, lc ? "nH" : "pF");
    EXPECT_EQ(form.Label30, lc ? "pF" : "nH");
    EXPECT_EQ(Run(&MatchForm::Button9Click), "");
    // Fifteen printed digits are enough for a reflection of the order of -300 dB.
    EXPECT_LT(Decibels(form.Label31, "Γ1= "), -250);
    EXPECT_LT(Decibels(form.Label32, "Γ2= "), -250);
    EXPECT_EQ(form.Label53, "S21=S12=0 dB  ");
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MatchFormTest, TheExchangeRewritesThePortsOnceBeforeTheElements) {
  form.Edit11 = "50";
  form.Edit14 = "75";
  form.Edit24 = "-0";
  EXPECT_EQ(Run(&MatchForm::Button8Click), "");
  EXPECT_THAT(messages.shown, ElementsAre(kExchangeMessage));
  EXPECT_EQ(form.Edit11, "75");
  EXPECT_EQ(form.Edit23, "0");
  EXPECT_EQ(form.Edit14, "50");
  EXPECT_EQ(form.Edit24, "0");
  // The elements are those for 75 ohms to 50 ohms.
  MatchForm direct(messages);
  direct.Edit11 = "75";
  direct.Edit14 = "50";
  direct.Button8Click();
  EXPECT_EQ(form.Edit12, direct.Edit12);
  EXPECT_EQ(form.Edit13, direct.Edit13);
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(MatchFormTest, ArrowsGiveBackThePortsOfTheDesign) {
  form.Edit23 = "12.5";
  form.Edit24 = "-7";
  form.Button8Click();
  form.g2dClick();
  EXPECT_NEAR(Number(form.Edit14), 60, 1e-9);
  EXPECT_NEAR(Number(form.Edit24), -7, 1e-9);
  form.Edit11 = "1";
  form.Edit23 = "1";
  form.d2gClick();
  EXPECT_NEAR(Number(form.Edit11), 75, 1e-9);
  EXPECT_NEAR(Number(form.Edit23), 12.5, 1e-9);

  // A shunt of 0 nH shorts port 1: the load sees the series element alone.
  form.Edit12 = "0";
  form.Label27 = "nH";
  form.Edit13 = "2";
  form.Label30 = "pF";
  form.g2dClick();
  EXPECT_EQ(form.Edit14, "0");
  const double omega = 2 * 3.14159265358979323846 * 1800e6;
  EXPECT_NEAR(Number(form.Edit24), 1 / (omega * 2e-12), 1e-9);
}

TEST_F(MatchFormTest, AnExactMatchAtPort1ShowsMinusInfinity) {
  // Choose the generator as the conjugate of what the network presents, to the last bit: the
  // port-1 reflection is exactly zero.
  form.Edit12 = "13";
  form.Edit13 = "3";
  const double omega = AngularFrequency(1800);
  const Complex zin = NetworkInputImpedance({60, 0}, ElementImpedance(13, "nH", omega),
                                            ElementImpedance(3, "pF", omega));
  form.Edit11 = Format("%.17g", zin.real());
  form.Edit23 = Format("%.17g", -zin.imag());
  EXPECT_EQ(Run(&MatchForm::Button9Click), "");
  EXPECT_EQ(form.Label31, "Γ1= -INF  ");
  EXPECT_THAT(form.Label32, StartsWith("Γ2= "));
  EXPECT_EQ(form.Label53, "S21=S12=0 dB  ");
}

TEST_F(MatchFormTest, ErrorsKeepWhatWasWrittenBeforeThem) {
  // Conversion: nothing written, not even the schematic.
  form.CheckTopology(LNetworkTopology::kCL);
  form.Edit15 = "1,8e3";
  EXPECT_EQ(Run(&MatchForm::Button8Click), "'1,8e3' is not a valid floating point value");
  EXPECT_EQ(form.Label33, kLcSchematic);
  EXPECT_EQ(form.Edit12, "");

  // Zero frequency: the schematic is written, the elements are not.
  form.Edit15 = "0";
  EXPECT_EQ(Run(&MatchForm::Button8Click), kDivisionByZero);
  EXPECT_EQ(form.Label33, kClSchematic);
  EXPECT_EQ(form.Edit12, "");
  EXPECT_EQ(form.Label27, "nH");

  // With the exchange: message and rewritten ports first, then the fault.
  form.Edit11 = "50";
  form.Edit14 = "75";
  EXPECT_EQ(Run(&MatchForm::Button8Click), kDivisionByZero);
  EXPECT_THAT(messages.shown, ElementsAre(kExchangeMessage));
  EXPECT_EQ(form.Edit11, "75");
  EXPECT_EQ(form.Edit14, "50");
  EXPECT_EQ(form.Edit12, "");

  // Negative root.
  form.Edit15 = "1800";
  form.Edit14 = "-5";
  EXPECT_EQ(Run(&MatchForm::Button8Click), kInvalidOperation);
  EXPECT_EQ(form.Edit12, "");
}

TEST_F(MatchFormTest, SparamErrorsWriteNoLabel) {
  // Right after a topology press the element fields are empty.
  form.Button8Click();
  form.Button9Click();
  const std::string label53 = form.Label53;
  form.RadioButton2MouseDown();
  EXPECT_EQ(Run(&MatchForm::Button9Click), "'' is not a valid floating point value");
  EXPECT_EQ(form.Label31, "Γ1=  ");
  EXPECT_EQ(form.Label53, label53);

  // Negative resistances: |Γ1| > 1 leaves no root for S21, before any label is written.
  form.Edit12 = "1";
  form.Edit13 = "1";
  form.Edit11 = "-50";
  EXPECT_EQ(Run(&MatchForm::Button9Click), kInvalidOperation);
  EXPECT_EQ(form.Label31, "Γ1=  ");
  EXPECT_EQ(form.Label32, "Γ2=  ");
}

TEST_F(MatchFormTest, RadioPressesResetTheirGroupOnly) {
  form.Button8Click();
  form.Button9Click();
  form.Button2Click();
  form.Button3Click();
  const MatchForm before = form;

  form.RadioButton2MouseDown();
  EXPECT_EQ(form.Label33, kClSchematic);
  EXPECT_EQ(form.Label27, "pF");
  EXPECT_EQ(form.Label30, "nH");
  EXPECT_EQ(form.Edit12, "");
  EXPECT_EQ(form.Edit13, "");
  EXPECT_EQ(form.Label31, "Γ1=  ");
  EXPECT_EQ(form.Label32, "Γ2=  ");
  EXPECT_EQ(form.Label53, before.Label53);  // not reset
  EXPECT_EQ(form.Edit21, before.Edit21);
  EXPECT_TRUE(form.RadioButton1);  // the press alone checks nothing

  form.RadioButton4MouseDown();
  EXPECT_EQ(form.Label44, kTSchematic);
  EXPECT_EQ(form.Edit20 + form.Edit21 + form.Edit22, "");
  EXPECT_EQ(form.Label52, "Γ1=  ");
  EXPECT_EQ(form.Edit19, before.Edit19);
  form.RadioButton3MouseDown();
  EXPECT_EQ(form.Label44, kPiSchematic);

  // Checking a button (keyboard selection) changes nothing else.
  form.Edit12 = "5";
  form.CheckTopology(LNetworkTopology::kLC);
  form.CheckPad(PadType::kT);
  EXPECT_TRUE(form.RadioButton1 && !form.RadioButton2);
  EXPECT_TRUE(form.RadioButton4 && !form.RadioButton3);
  EXPECT_EQ(form.Label33, kClSchematic);
  EXPECT_EQ(form.Label27, "pF");
  EXPECT_EQ(form.Edit12, "5");
  EXPECT_EQ(form.Label44, kPiSchematic);
}

TEST_F(MatchFormTest, PadsDesignAnalyseAndRefuse) {
  EXPECT_EQ(Run(&MatchForm::Button2Click), "");
  EXPECT_EQ(form.Edit21, "789.778869628906");
  EXPECT_EQ(form.Edit20, form.Edit22);
  EXPECT_NEAR(Number(form.Edit20), 53.266, 1e-3);
  form.Edit19 = "";
  EXPECT_EQ(Run(&MatchForm::Button3Click), "");
  EXPECT_NEAR(Number(form.Edit19), 30, 1e-5);
  EXPECT_EQ(form.Label52, "Γ1= -INF  ");

  form.RadioButton4MouseDown();
  form.CheckPad(PadType::kT);
  form.Edit19 = "30";
  form.Button2Click();
  EXPECT_NEAR(Number(form.Edit21), 3.1654, 1e-4);
  EXPECT_NEAR(Number(form.Edit20), 46.935, 1e-3);
  EXPECT_EQ(form.Edit20, form.Edit22);
  form.Button3Click();
  EXPECT_NEAR(Number(form.Edit19), 30, 1e-5);
  EXPECT_THAT(form.Label52, StartsWith("Γ1= "));
  if (form.Label52 != "Γ1= -INF  ") {
    EXPECT_LT(Decibels(form.Label52, "Γ1= "), -100);
  }

  // Refusals write nothing; the attenuation is checked before the ports are read.
  const std::string r2 = form.Edit21;
  form.Edit19 = "0";
  form.Edit17 = "not read";
  EXPECT_EQ(Run(&MatchForm::Button2Click), "");
  form.Edit17 = "50";
  form.Edit18 = "150";
  form.Edit19 = "3";
  form.CheckPad(PadType::kPi);
  EXPECT_EQ(Run(&MatchForm::Button2Click), "");
  EXPECT_THAT(messages.shown, ElementsAre(kPadAttenuationMessage, kPiPadMessage));
  EXPECT_EQ(form.Edit21, r2);

  // The power ratio of 400 dB does not fit in single precision: that overflow comes before
  // the port field is read, and so does one of an attenuation beyond single precision.
  form.Edit17 = "x";
  form.Edit19 = "400";
  EXPECT_EQ(Run(&MatchForm::Button2Click), kOverflow);
  form.Edit19 = "-1E39";
  EXPECT_EQ(Run(&MatchForm::Button2Click), kOverflow);
  EXPECT_EQ(form.Edit21, r2);
}

TEST_F(MatchFormTest, AttenuationIsWrittenBeforeTheReflectionFails) {
  // Rn = -25 against an input resistance of 25: the reflection divides by zero.
  form.Edit17 = "-25";
  form.Edit20 = "50";
  form.Edit21 = "25";
  form.Edit22 = "50";
  EXPECT_EQ(Run(&MatchForm::Button3Click), kDivisionByZero);
  EXPECT_NEAR(Number(form.Edit19), 10 * std::log10(8.0), 1e-5);
  EXPECT_EQ(form.Label52, "Γ1=  ");

  // All five fields are read before anything is written.
  form.Edit19 = "30";
  form.Edit22 = "x";
  EXPECT_EQ(Run(&MatchForm::Button3Click), "'x' is not a valid floating point value");
  EXPECT_EQ(form.Edit19, "30");
  // The T form's reciprocal of a zero resistor.
  form.Edit22 = "0";
  form.CheckPad(PadType::kT);
  EXPECT_EQ(Run(&MatchForm::Button3Click), kDivisionByZero);
  EXPECT_EQ(form.Edit19, "30");
}

TEST_F(MatchFormTest, E24PartsAndTheirReflection) {
  EXPECT_EQ(form.E24Texts().shunt, "");  // no design yet
  form.Button8Click();
  const MatchE24Texts texts = form.E24Texts();
  EXPECT_EQ(texts.shunt, "E24: 13 nH");
  EXPECT_EQ(texts.series, "E24: 3 pF");
  // 13 nH and 3 pF between 75 and 60 ohms, analysed independently.
  using C = std::complex<double>;
  const double omega = 2 * 3.14159265358979323846 * 1800e6;
  const C branch = C(60, 0) + C(0, -1 / (omega * 3e-12));
  const C seen = 1.0 / (1.0 / branch + 1.0 / C(0, omega * 13e-9));
  const double gamma = std::abs((seen - 75.0) / (seen + 75.0));
  const std::string prefix = "E24 parts: Γ1= ";
  EXPECT_NEAR(Decibels(texts.gamma1, prefix), 20 * std::log10(gamma), 1e-9);
  form.Edit15 = "fast";
  EXPECT_EQ(form.E24Texts().gamma1, "");
}

}  // namespace
}  // namespace vexa
