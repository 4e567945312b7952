#include "design/filter_form.h"

#include <utility>

#include "core/convert.h"

namespace vexa {
namespace {

constexpr double kMHzToHz = 1000000.0;
constexpr double kHzToMHz = 0.000001;

}  // namespace

ChartModel StartFilterChart() {
  ChartModel chart;
  chart.title = {"LPF"};
  chart.bottom = {"freq MHz", true};
  chart.left = {"Alpha dB", false};
  return chart;
}

FilterForm::FilterForm(FormMessages& messages) : messages_(messages) {}

const std::vector<std::string>& FilterForm::FamilyItems() {
  static const std::vector<std::string> items{"Butterworth", "Chebyshev", "Bessel"};
  return items;
}

void FilterForm::CheckApPreferred(bool ap_preferred) {
  RadioButton5 = ap_preferred;
  RadioButton6 = !ap_preferred;
}

void FilterForm::ShowCurve(const std::string& title, AttenuationCurve curve) {
  Chart1.series.clear();
  Chart1.guides.clear();
  Chart1.legend_visible = false;
  Chart1.title = {title};
  ChartSeries series;
  series.name = "Curve";
  series.points = std::move(curve);
  Chart1.series.push_back(std::move(series));
}

std::string FilterForm::CurveCsv() const {
  const std::string header = std::string(kFilterCsvHeader) + '\n';
  return Chart1.series.empty() ? header : header + PointsCsv(Chart1.series.front());
}

// The pass band's upper bound runs from the curve's start to fp and rises there to as; the
// stop band's lower bound rises at fs from 0 dB to as and runs on to the curve's end. A bound
// outside the drawn range is left out.
void FilterForm::ShowToleranceGuides(const ToleranceScheme& scheme) {
  if (Chart1.series.empty() || Chart1.series.front().points.empty())
    return;
  const AttenuationCurve& curve = Chart1.series.front().points;
  const double start = curve.front().x;
  const double end = curve.back().x;
  const double fp = scheme.fp * kHzToMHz;
  const double fs = scheme.fs * kHzToMHz;
  const auto guide = [](std::vector<CurvePoint> points) {
    ChartSeries series;
    series.name = "Tolerance";
    series.points = std::move(points);
    series.color = kChartGuide;
    series.dashed = true;
    return series;
  };
  if (fp > start)
    Chart1.guides.push_back(guide({{start, scheme.ap}, {fp, scheme.ap}, {fp, scheme.as}}));
  if (fs <= end)
    Chart1.guides.push_back(guide({{fs, 0.0}, {fs, scheme.as}, {end, scheme.as}}));
}

void FilterForm::Button4Click() {
  ToleranceScheme scheme;
  scheme.fp = TextToFloat(LabeledEdit1) * kMHzToHz;
  scheme.fs = TextToFloat(LabeledEdit2) * kMHzToHz;
  const double field3 = TextToFloat(LabeledEdit3);
  const double field4 = TextToFloat(LabeledEdit4);
  scheme.ap = field3;
  scheme.as = field4;

  if (ComboBox6 == static_cast<int>(FilterFamily::kButterworth) ||
      ComboBox6 == static_cast<int>(FilterFamily::kChebyshev)) {
    const bool butterworth = ComboBox6 == static_cast<int>(FilterFamily::kButterworth);
    const FilterOrder order = butterworth ? ButterworthOrder(scheme) : ChebyshevOrder(scheme);
    if (!order.refusal.empty()) {
      messages_.ShowMessage(order.refusal);
      return;
    }
    LabeledEdit5 = std::to_string(order.n);
    const ReferenceEdge ref = PreferredEdge(scheme, RadioButton5);
    const double end = SweepEnd(scheme, CheckBox1);
    if (butterworth)
      ShowCurve("Butterworth LPF", ButterworthCurve(order.n, ref, end));
    else
      ShowCurve("Chebyshev LPF", ChebyshevCurve(order.n, ref, end));
    ShowToleranceGuides(scheme);
  } else if (ComboBox6 == static_cast<int>(FilterFamily::kBessel)) {
    // The drawn range starts at fp and spans fs; the delay T0 is a time. Without these the
    // curve is empty or meaningless (a negative delay gives the order of its magnitude).
    const char* refusal = scheme.fp < 0    ? "fp must not be negative"
                          : scheme.fs <= 0 ? "fs must be greater than 0"
                          : field4 <= 0    ? "T0 must be greater than 0"
                                           : nullptr;
    if (refusal) {
      messages_.ShowMessage(refusal);
      return;
    }
    const double tolerance = field3 * 0.01;
    const double t0 = field4 * 0.000001;
    const BesselResult result = BesselOrder(scheme.fs, tolerance, t0);
    if (result.limit_reached)
      messages_.ShowMessage(kBesselLimitMessage);
    LabeledEdit5 = std::to_string(result.n);
    ShowCurve("Bessel LPF", BesselCurve(result.n, t0, scheme.fp, scheme.fs));
  }
  Chart1.bottom.automatic = true;
  Chart1.left.automatic = true;
  ++Chart1.revision;
}

void FilterForm::ComboBox6Change() {
  const bool bessel = ComboBox6 == static_cast<int>(FilterFamily::kBessel);
  ToleranceControlsEnabled = !bessel;
  // Whole strings moved in: assigning the literals straight trips a false -Wrestrict of
  // GCC 12 at -O3 inside std::string's assign.
  LabeledEdit3Caption = std::string(bessel ? "Max tol. %" : "ap <= dB");
  LabeledEdit4Caption = std::string(bessel ? "T0 us" : "as >= dB");
  LabeledEdit3 = std::string(bessel ? "20" : "0.1");
  LabeledEdit4 = std::string(bessel ? "2" : "60");
  LabeledEdit1 = std::string(bessel ? "0" : "3");
  LabeledEdit2 = std::string(bessel ? "0.4" : "12");
}

void FilterForm::AxisKeyDown(int key, ChartAxis& axis, const std::string& text, bool maximum) {
  if (key != kEnterKey)
    return;
  axis.automatic = false;
  const double value = TextToFloat(text);
  (maximum ? axis.maximum : axis.minimum) = value;
}

void FilterForm::LabeledEdit6KeyDown(int key) {
  AxisKeyDown(key, Chart1.bottom, LabeledEdit6, false);
}

void FilterForm::LabeledEdit7KeyDown(int key) {
  AxisKeyDown(key, Chart1.bottom, LabeledEdit7, true);
}

void FilterForm::LabeledEdit8KeyDown(int key) {
  AxisKeyDown(key, Chart1.left, LabeledEdit8, false);
}

void FilterForm::LabeledEdit9KeyDown(int key) {
  AxisKeyDown(key, Chart1.left, LabeledEdit9, true);
}

}  // namespace vexa
