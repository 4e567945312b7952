// The PLL page as a form model: the key=value list of inputs and results, the loop filter's
// schematic and the chart of the lock transient, with the "Calc" handler, without Qt. The
// window's page mirrors these into its widgets and forwards the click here.
//
// Calc throws ConversionError at the read of a value that is not a number, and what it wrote
// before stays written. It throws FloatError (core/errors.h) where the arithmetic faults (a
// comparison frequency of 0, a filter without capacitance) and then leaves the list as it
// was. Designs it cannot analyse (no crossover, ωn or ζ not positive, a transient too long to
// sample) are refused through FormMessages and change nothing: the list and the chart keep the
// previous design. "Zeta should less than 1"
// comes after "Zeta" is written and keeps only the chart.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/form_messages.h"
#include "design/chart_model.h"
#include "design/pll.h"
#include "design/value_list.h"

namespace vexa {

// The row between the inputs and the results; never read or written.
inline constexpr char kPllSeparatorKey[] = ">>>>>>>>>>";
extern const char* const kPllSchematic;  // Label65's nine-line drawing
extern const char* const kZetaMessage;   // "Zeta should less than 1"
// The refusals of a design the page cannot analyse.
extern const char* const kCrossoverRangeMessage;    // the search left the finite numbers
extern const char* const kNaturalFrequencyMessage;  // ωn not a positive finite number
extern const char* const kDampingMessage;           // ζ not greater than 0
extern const char* const kTransientTooLongMessage;  // ζ·ωn too small to sample the transient

// No crossover within `steps` frequency changes: "The loop gain never crosses N: no crossover
// found within 1000000 steps. Check Kphi, Kvco and the capacitors."
std::string CrossoverLimitMessage(std::int64_t steps);

// The list's rows top to bottom: the thirteen inputs with their start values, the separator,
// the eleven results (empty at start).
inline constexpr ValueListField kPllFields[] = {
    {"Kphi mA", "5", "charge-pump (phase detector) gain, mA"},
    {"Kvco MHz/V", "30", "VCO gain, MHz per volt"},
    {"Fout MHz", "900", "output frequency, start of the lock transient"},
    {"F2 MHz", "950", "target frequency of the lock transient"},
    {"Fcomp kHz", "200", "comparison frequency; the crossover search starts here"},
    {"C1 nF", "5.6", "C1, charge-pump output to ground"},
    {"C2 nF", "100.0", "C2, in series with R2 to ground"},
    {"C3 nF", "0.33", "C3, after R3 to ground"},
    {"C4* nF", "0.082", "C4 as fitted, at the VCO input"},
    {"VCOcap nF", "0.022", "the VCO's input capacitance, in parallel with C4"},
    {"R2 kohm", "1.0", "R2, in series with C2"},
    {"R3 kohm", "6.8", "R3, series resistor before C3"},
    {"R4 kohm", "33.0", "R4, series resistor before C4"},
    {kPllSeparatorKey, "", ""},
    {"N", "", "result: divider ratio Fout / Fcomp"},
    {"C4 nF", "", "result: C4* + VCOcap"},
    {"A0 nF", "", "result: total capacitance A0"},
    {"A1 nFs", "", "result: coefficient A1, nF*s"},
    {"A2 nFs2", "", "result: coefficient A2, nF*s^2"},
    {"A3 nFs3", "", "result: coefficient A3, nF*s^3"},
    {"Fc kHz", "", "result: loop crossover frequency (|G| = N)"},
    {"Phi degrees", "", "result: phase margin"},
    {"Gamma", "", "result: gamma factor"},
    {"wn radian/s", "", "result: natural frequency of the second-order approximation"},
    {"Zeta", "", "result: damping of the second-order approximation"},
};

inline constexpr unsigned kTransientResponseColor = kChartRed;
inline constexpr unsigned kTransientEnvelopeColor = kChartGrey;

// Chart2 as it starts: "time us" along the bottom, "freq MHz" on the left, no title, no
// legend, a flat view and no series.
ChartModel StartPllChart();

class PllForm {
 public:
  explicit PllForm(FormMessages& messages);

  // Every row of kPllFields, top to bottom.
  std::vector<ValueListRow> ValueListEditor1;
  std::string Label65 = kPllSchematic;
  ChartModel Chart2 = StartPllChart();
  // The crossover search's step budget (the page keeps kMaxCrossoverSteps).
  std::int64_t crossover_step_limit = kMaxCrossoverSteps;

  // The row with `key`, or nullptr.
  ValueListRow* FindRow(const std::string& key);
  const ValueListRow* FindRow(const std::string& key) const;
  // The value of the row with `key`; the key must be one of the list's.
  const std::string& Value(const std::string& key) const;
  void SetValue(const std::string& key, const std::string& value);

  // "Calc": N, C4, A0..A3, the crossover with its phase margin and Γ, ωn and ζ into the
  // result rows in that order, then the lock transient into Chart2 with both axes automatic.
  void Button6Click();

  // The chart's transient as "t_us,response_mhz,upper_mhz,lower_mhz" rows after that header
  // line; only the header when no transient is drawn.
  std::string TransientCsv() const;

 private:
  // Calc's steps; `refuse` restores the list and shows the message.
  void Calculate(const std::function<void(const std::string&)>& refuse);
  double ReadInput(const std::string& key, double to_si) const;
  void Write(const std::string& key, double value);
  void ShowTransient(const LockTransientCurves& curves);

  FormMessages& messages_;
};

}  // namespace vexa
