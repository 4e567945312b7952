#include "design/pll_form.h"

#include <cmath>
#include <functional>
#include <stdexcept>
#include <utility>

#include "core/checked_math.h"
#include "core/convert.h"
#include "core/errors.h"
#include "core/number_text.h"

namespace vexa {
namespace {

constexpr double kMilli = 0.001;
constexpr double kMega = 1000000.0;
constexpr double kKilo = 1000.0;
constexpr double kNano = 0.000000001;
constexpr double kToNano = 1000000000.0;
constexpr double kToMicro = 1000000.0;
constexpr double kToMega = 0.000001;

// The chart's series, in the order they are created.
constexpr std::size_t kUpperSeries = 0;
constexpr std::size_t kLowerSeries = 1;
constexpr std::size_t kResponseSeries = 2;

ChartSeries TransientSeries(const char* name, const std::vector<CurvePoint>& points,
                            unsigned color) {
  ChartSeries series;
  series.name = name;
  series.color = color;
  series.marks_visible = false;
  series.points.reserve(points.size());
  for (const CurvePoint& point : points)
    series.points.push_back({point.x * kToMicro, point.y * kToMega});
  return series;
}

}  // namespace

const char* const kPllSchematic =
    "____1/R____K\u03c6________________R3_______R4______Kvco/s___\n"
    "           |      |      |        |        |           |\n"
    "           |      |      C2       |        |           |\n"
    "           |      C1     |        C3       C4          |\n"
    "           |      |      R2       |        |           |\n"
    "           |      |      |        |        |           |\n"
    "           |     GND    GND      GND      GND          |\n"
    "           |                                           |\n"
    "           |____________1/N____________________________|";
const char* const kZetaMessage = "Zeta should less than 1";
const char* const kCrossoverRangeMessage =
    "The loop gain never crosses N: the search left the range of numbers. Check Kphi, Kvco and "
    "the capacitors.";
const char* const kNaturalFrequencyMessage =
    "wn is not a positive finite number: check Kphi, Kvco, F2 and the capacitors.";
const char* const kDampingMessage = "Zeta is not greater than 0: check C2 and R2.";
const char* const kTransientTooLongMessage =
    "Zeta*wn is too small: the transient is too long to draw.";

std::string CrossoverLimitMessage(std::int64_t steps) {
  return "The loop gain never crosses N: no crossover found within " + std::to_string(steps) +
         " steps. Check Kphi, Kvco and the capacitors.";
}

ChartModel StartPllChart() {
  ChartModel chart;
  chart.title_visible = false;
  chart.legend_visible = false;
  chart.view_3d = false;
  chart.bottom.title = "time us";
  chart.left.title = "freq MHz";
  return chart;
}

PllForm::PllForm(FormMessages& messages)
    : ValueListEditor1(DesignRows(kPllFields)), messages_(messages) {}

ValueListRow* PllForm::FindRow(const std::string& key) {
  for (ValueListRow& row : ValueListEditor1) {
    if (row.key == key)
      return &row;
  }
  return nullptr;
}

const ValueListRow* PllForm::FindRow(const std::string& key) const {
  return const_cast<PllForm*>(this)->FindRow(key);
}

const std::string& PllForm::Value(const std::string& key) const {
  const ValueListRow* row = FindRow(key);
  if (!row)
    throw std::out_of_range("no row '" + key + "' in the PLL list");
  return row->value;
}

void PllForm::SetValue(const std::string& key, const std::string& value) {
  ValueListRow* row = FindRow(key);
  if (!row)
    throw std::out_of_range("no row '" + key + "' in the PLL list");
  row->value = value;
}

double PllForm::ReadInput(const std::string& key, double to_si) const {
  return TextToFloat(Value(key)) * to_si;
}

void PllForm::Write(const std::string& key, double value) {
  SetValue(key, FormatNumber(value));
}

void PllForm::Button6Click() {
  // A design the page cannot analyse is refused as a whole: the list goes back to what it
  // showed before this Calc, so results of two designs never stand side by side. The same
  // holds for a floating-point error (no capacitance at all, an overflow); a value that is not
  // a number ends Calc where it is read, with what was written before it.
  const std::vector<ValueListRow> before = ValueListEditor1;
  try {
    Calculate([this, &before](const std::string& message) {
      ValueListEditor1 = before;
      messages_.ShowMessage(message);
    });
  } catch (const FloatError&) {
    ValueListEditor1 = before;
    throw;
  }
}

void PllForm::Calculate(const std::function<void(const std::string&)>& refuse) {
  LoopFilterDesign d;
  d.kphi = ReadInput("Kphi mA", kMilli);
  d.kvco = ReadInput("Kvco MHz/V", kMega);
  d.fout = ReadInput("Fout MHz", kMega);
  d.fcomp = ReadInput("Fcomp kHz", kKilo);
  d.c1 = ReadInput("C1 nF", kNano);
  d.c2 = ReadInput("C2 nF", kNano);
  d.c3 = ReadInput("C3 nF", kNano);
  d.c4 = ReadInput("C4* nF", kNano);
  d.vcocap = ReadInput("VCOcap nF", kNano);
  d.r2 = ReadInput("R2 kohm", kKilo);
  d.r3 = ReadInput("R3 kohm", kKilo);
  d.r4 = ReadInput("R4 kohm", kKilo);

  // N is not rounded: a fractional ratio is analysed as it stands.
  const double n = Divide(d.fout, d.fcomp);
  const LoopFilterCoefficients a = LoopCoefficients(d);
  Write("N", n);
  Write("C4 nF", EffectiveC4(d) * kToNano);
  Write("A0 nF", a.a0 * kToNano);
  Write("A1 nFs", a.a1 * kToNano);
  Write("A2 nFs2", a.a2 * kToNano);
  Write("A3 nFs3", a.a3 * kToNano);

  const Crossover crossover = FindCrossover(n, d.fcomp, d, a, crossover_step_limit);
  if (crossover.status != CrossoverStatus::kFound) {
    refuse(crossover.status == CrossoverStatus::kStepLimit
               ? CrossoverLimitMessage(crossover_step_limit)
               : std::string(kCrossoverRangeMessage));
    return;
  }
  Write("Fc kHz", crossover.fc * kMilli);
  Write("Phi degrees", PhaseMargin(crossover.g));
  Write("Gamma", GammaFactor(crossover.fc, d, a));

  d.f2 = ReadInput("F2 MHz", kMega);
  const double wn = NaturalFrequency(d, a);
  if (!(wn > 0.0 && std::isfinite(wn))) {
    refuse(kNaturalFrequencyMessage);
    return;
  }
  Write("wn radian/s", wn);
  const double zeta = Damping(d, wn);
  Write("Zeta", zeta);
  if (zeta >= 1.0) {
    messages_.ShowMessage(kZetaMessage);
    return;
  }
  if (!(zeta > 0.0)) {
    refuse(kDampingMessage);
    return;
  }
  const LockTransientCurves curves = LockTransient(d.fout, d.f2, wn, zeta, d.c2 * d.r2);
  if (curves.response.empty()) {
    refuse(kTransientTooLongMessage);
    return;
  }
  ShowTransient(curves);
  Chart2.bottom.automatic = true;
  Chart2.left.automatic = true;
  ++Chart2.revision;
}

void PllForm::ShowTransient(const LockTransientCurves& curves) {
  Chart2.series.clear();
  Chart2.legend_visible = false;
  Chart2.series.push_back(TransientSeries("Upper", curves.upper, kTransientEnvelopeColor));
  Chart2.series.push_back(TransientSeries("Lower", curves.lower, kTransientEnvelopeColor));
  Chart2.series.push_back(TransientSeries("Response", curves.response, kTransientResponseColor));
}

std::string PllForm::TransientCsv() const {
  std::string csv = "t_us,response_mhz,upper_mhz,lower_mhz\n";
  if (Chart2.series.size() != 3)
    return csv;
  const std::vector<CurvePoint>& response = Chart2.series[kResponseSeries].points;
  const std::vector<CurvePoint>& upper = Chart2.series[kUpperSeries].points;
  const std::vector<CurvePoint>& lower = Chart2.series[kLowerSeries].points;
  for (std::size_t i = 0; i < response.size() && i < upper.size() && i < lower.size(); ++i) {
    csv += CsvNumber(response[i].x) + ',' + CsvNumber(response[i].y) + ',' + CsvNumber(upper[i].y) +
           ',' + CsvNumber(lower[i].y) + '\n';
  }
  return csv;
}

}  // namespace vexa
