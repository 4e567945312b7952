// The FILTER page's handlers on the form model: the family change, Calc's order, title and
// curve, refusals that keep the previous result, and the axis fields.
#include "design/filter_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "support/message_recorder.h"

namespace vexa {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Recorder = testing::MessageRecorder;

class FilterFormTest : public ::testing::Test {
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
  FilterForm form{messages};
};

TEST_F(FilterFormTest, FamilyChangeResetsTheInputs) {
  const struct {
    int index;
    bool enabled;
    const char *cap3, *cap4, *e1, *e2, *e3, *e4;
  } cases[] = {
      {2, false, "Max tol. %", "T0 us", "0", "0.4", "20", "2"},
      {0, true, "ap <= dB", "as >= dB", "3", "12", "0.1", "60"},
      {2, false, "Max tol. %", "T0 us", "0", "0.4", "20", "2"},
      {-1, true, "ap <= dB", "as >= dB", "3", "12", "0.1", "60"},
      {1, true, "ap <= dB", "as >= dB", "3", "12", "0.1", "60"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    form.LabeledEdit1 = form.LabeledEdit2 = form.LabeledEdit3 = form.LabeledEdit4 = "7";
    form.ComboBox6 = c.index;
    form.ComboBox6Change();
    EXPECT_EQ(form.ToleranceControlsEnabled, c.enabled);
    EXPECT_EQ(form.LabeledEdit3Caption, c.cap3);
    EXPECT_EQ(form.LabeledEdit4Caption, c.cap4);
    EXPECT_EQ(form.LabeledEdit1, c.e1);
    EXPECT_EQ(form.LabeledEdit2, c.e2);
    EXPECT_EQ(form.LabeledEdit3, c.e3);
    EXPECT_EQ(form.LabeledEdit4, c.e4);
  }
}

TEST_F(FilterFormTest, CalcForEachFamily) {
  const struct {
    int index;
    const char* n;
    const char* title;
    double first_x, last_x;
  } cases[] = {
      {1, "5", "Chebyshev LPF", 0.001, 15},
      {0, "7", "Butterworth LPF", 0.001, 15},
      {2, "8", "Bessel LPF", 0, 0.4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    form.ComboBox6 = c.index;
    form.ComboBox6Change();
    form.Chart1.bottom.automatic = form.Chart1.left.automatic = false;
    EXPECT_EQ(Run([&] { form.Button4Click(); }), "");
    EXPECT_EQ(form.LabeledEdit5, c.n);
    EXPECT_THAT(form.Chart1.title, ElementsAre(c.title));
    ASSERT_EQ(form.Chart1.series.size(), 1u);
    const ChartSeries& series = form.Chart1.series[0];
    EXPECT_EQ(series.color, 255u);
    EXPECT_FALSE(series.marks_visible);
    EXPECT_GE(series.points.size(), 2000u);
    EXPECT_LE(series.points.size(), 2002u);
    EXPECT_DOUBLE_EQ(series.points.front().x, c.first_x);
    EXPECT_NEAR(series.points.back().x, c.last_x, c.last_x * 1e-6);
    EXPECT_TRUE(form.Chart1.bottom.automatic);
    EXPECT_TRUE(form.Chart1.left.automatic);
    EXPECT_FALSE(form.Chart1.legend_visible);
  }
  EXPECT_THAT(messages.shown, IsEmpty());
  EXPECT_TRUE(form.Chart1.bottom.logarithmic);
  EXPECT_EQ(form.Chart1.bottom.title, "freq MHz");
  EXPECT_EQ(form.Chart1.left.title, "Alpha dB");
}

TEST_F(FilterFormTest, PassBandOnlyWithAsPreferred) {
  form.ComboBox6 = 0;
  form.CheckBox1 = true;
  form.CheckApPreferred(false);
  EXPECT_FALSE(form.RadioButton5);
  EXPECT_TRUE(form.RadioButton6);
  form.Button4Click();
  const AttenuationCurve& points = form.Chart1.series.at(0).points;
  EXPECT_LE(points.back().x, 3.0);
  EXPECT_GT(points.back().x, 2.999);
  // Fitted to as at fs, the pass band attenuates less than ap at fp.
  EXPECT_LT(points.back().y, 0.1);
}

TEST_F(FilterFormTest, BesselLimitShowsTheMessageOnceThenDraws) {
  form.ComboBox6 = 2;
  form.ComboBox6Change();
  form.LabeledEdit2 = "100";
  form.Button4Click();
  EXPECT_THAT(messages.shown, ElementsAre("n is too large!! make a change!"));
  EXPECT_EQ(form.LabeledEdit5, "60");
  EXPECT_EQ(form.Chart1.series.size(), 1u);
}

TEST_F(FilterFormTest, RefusalsKeepThePreviousResult) {
  form.Button4Click();
  const AttenuationCurve before = form.Chart1.series.at(0).points;
  form.Chart1.left.automatic = false;
  const struct {
    const char *e1, *e2, *e3, *e4, *message;
  } cases[] = {
      {"12", "3", "0.1", "60", kEdgeOrderMessage},
      {"0", "12", "0.1", "60", kEdgeOrderMessage},
      {"3", "12", "60", "0.1", kAttenuationOrderMessage},
      {"3", "12", "-1", "60", kAttenuationOrderMessage},
      {"3", "3.000001", "0.1", "60", kOrderTooLargeMessage},
  };
  for (int family : {0, 1}) {
    form.ComboBox6 = family;
    for (const auto& c : cases) {
      SCOPED_TRACE(c.message);
      messages.shown.clear();
      form.LabeledEdit1 = c.e1;
      form.LabeledEdit2 = c.e2;
      form.LabeledEdit3 = c.e3;
      form.LabeledEdit4 = c.e4;
      EXPECT_EQ(Run([&] { form.Button4Click(); }), "");
      EXPECT_THAT(messages.shown, ElementsAre(c.message));
      EXPECT_EQ(form.LabeledEdit5, "5");
      EXPECT_EQ(form.Chart1.series.at(0).points.size(), before.size());
      EXPECT_THAT(form.Chart1.title, ElementsAre("Chebyshev LPF"));
      EXPECT_FALSE(form.Chart1.left.automatic);
    }
  }
  // Bessel: fp starts the drawn range, fs spans it, T0 is the delay.
  const struct {
    const char *e1, *e2, *e4, *message;
  } bessel_cases[] = {
      {"-1", "0.4", "2", "fp must not be negative"},
      {"0", "0", "2", "fs must be greater than 0"},
      {"0", "-0.4", "2", "fs must be greater than 0"},
      {"0", "0.4", "0", "T0 must be greater than 0"},
      {"0", "0.4", "-2", "T0 must be greater than 0"},
  };
  form.ComboBox6 = 2;
  for (const auto& c : bessel_cases) {
    SCOPED_TRACE(c.message);
    messages.shown.clear();
    form.LabeledEdit1 = c.e1;
    form.LabeledEdit2 = c.e2;
    form.LabeledEdit3 = "20";
    form.LabeledEdit4 = c.e4;
    form.Button4Click();
    EXPECT_THAT(messages.shown, ElementsAre(c.message));
    EXPECT_EQ(form.LabeledEdit5, "5");
    EXPECT_EQ(form.Chart1.series.at(0).points.size(), before.size());
    EXPECT_THAT(form.Chart1.title, ElementsAre("Chebyshev LPF"));
  }
}

TEST_F(FilterFormTest, BadTextEndsCalcBeforeAnythingIsWritten) {
  form.LabeledEdit4 = "6O";
  EXPECT_EQ(Run([&] { form.Button4Click(); }), "'6O' is not a valid floating point value");
  EXPECT_EQ(form.LabeledEdit5, "");
  EXPECT_THAT(form.Chart1.series, IsEmpty());
}

TEST_F(FilterFormTest, NoFamilySelectedOnlyResetsTheAxes) {
  form.ComboBox6 = -1;
  form.Chart1.bottom.automatic = false;
  form.Button4Click();
  EXPECT_TRUE(form.Chart1.bottom.automatic);
  EXPECT_EQ(form.LabeledEdit5, "");
  EXPECT_THAT(form.Chart1.series, IsEmpty());
  EXPECT_THAT(form.Chart1.title, ElementsAre("LPF"));
}

TEST_F(FilterFormTest, AxisFieldsSetTheirLimitOnEnter) {
  const struct {
    void (FilterForm::*handler)(int);
    std::string FilterForm::*field;
    ChartAxis ChartModel::*axis;
    bool maximum;
  } cases[] = {
      {&FilterForm::LabeledEdit6KeyDown, &FilterForm::LabeledEdit6, &ChartModel::bottom, false},
      {&FilterForm::LabeledEdit7KeyDown, &FilterForm::LabeledEdit7, &ChartModel::bottom, true},
      {&FilterForm::LabeledEdit8KeyDown, &FilterForm::LabeledEdit8, &ChartModel::left, false},
      {&FilterForm::LabeledEdit9KeyDown, &FilterForm::LabeledEdit9, &ChartModel::left, true},
  };
  for (const auto& c : cases) {
    form.Chart1 = StartFilterChart();
    ChartAxis& axis = form.Chart1.*c.axis;
    form.*c.field = "2.5";
    (form.*c.handler)(65);  // not Enter: nothing
    EXPECT_TRUE(axis.automatic);
    (form.*c.handler)(kEnterKey);
    EXPECT_FALSE(axis.automatic);
    EXPECT_EQ(c.maximum ? axis.maximum : axis.minimum, 2.5);
    EXPECT_EQ(c.maximum ? axis.minimum : axis.maximum, 0.0);
    // Bad text: automatic scaling is already off when the conversion fails.
    form.Chart1 = StartFilterChart();
    form.*c.field = "x";
    EXPECT_EQ(Run([&] { (form.*c.handler)(kEnterKey); }),
              "'x' is not a valid floating point value");
    EXPECT_FALSE((form.Chart1.*c.axis).automatic);
  }
}

}  // namespace
}  // namespace vexa
