#include "instrument/runs/gsm_measure.h"

#include <locale.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/text_format.h"

namespace vexa {

const std::array<PowerLimit, 15> LowBandPowerTable = {{
    {33, 2},
    {31, 3},
    {29, 3},
    {27, 3},
    {25, 3},
    {23, 3},
    {21, 3},
    {19, 3},  //
    {17, 3},
    {15, 3},
    {13, 3},
    {11, 5},
    {9, 5},
    {7, 5},
    {5, 5},
}};
const std::array<PowerLimit, 16> HighBandPowerTable = {{
    {30, 2},
    {28, 3},
    {26, 3},
    {24, 3},
    {22, 3},
    {20, 3},
    {18, 3},
    {16, 3},  //
    {14, 3},
    {12, 4},
    {10, 4},
    {8, 4},
    {6, 4},
    {4, 4},
    {2, 5},
    {0, 5},
}};

const std::array<float, 8> PvtTimeOffsetsUs = {-28.0f, -18.0f, -10.0f, 0.0f,
                                               542.8f, 552.8f, 560.8f, 570.8f};
const std::array<int, 8> SwitchingOffsetsKhz = {400, -400, 600, -600, 1200, -1200, 1800, -1800};
const std::array<int, 12> ModulationOffsetsKhz = {100, -100, 200, -200, 250,  -250,
                                                  400, -400, 600, -600, 1800, -1800};

const PowerLimit* PowerLimitFor(int band, int level) {
  if (IsLowBand(band)) {
    return level >= 5 && level <= 19 ? &LowBandPowerTable[static_cast<std::size_t>(level - 5)]
                                     : nullptr;
  }
  return level >= 0 && level <= 15 ? &HighBandPowerTable[static_cast<std::size_t>(level)] : nullptr;
}

bool HoldsEveryLevel(const TestPlan& plan, int band) {
  const auto& levels = plan.levels[static_cast<std::size_t>(band)];
  const int first = IsLowBand(band) ? 5 : 0;
  const int last = IsLowBand(band) ? 19 : 15;
  for (int level = first; level <= last; ++level) {
    bool found = false;
    for (std::int32_t entry : levels) {
      if (entry == kEndOfList)
        break;
      found = found || entry == level;
    }
    if (!found)
      return false;
  }
  return true;
}

AnswerFields::AnswerFields(std::string answer) : answer_(std::move(answer)) {
  // strtod reads the answer as a C text: nothing after a zero byte is part of it.
  const std::size_t zero = answer_.find('\0');
  if (zero != std::string::npos)
    answer_.resize(zero);
}

double AnswerFields::Next() {
  static constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();
  if (position_ >= answer_.size())
    return kMissing;
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  const char* start = answer_.c_str() + position_;
  char* end = nullptr;
  const double value = strtod_l(start, &end, c_locale);
  if (end == start) {
    // No number here: the field runs to the next separator, which it takes with it.
    const std::size_t separator = answer_.find_first_of(",;", position_);
    position_ = separator == std::string::npos ? answer_.size() : separator + 1;
    return kMissing;
  }
  position_ += static_cast<std::size_t>(end - start) + 1;
  return value;
}

void AnswerFields::Skip(int count) {
  for (int i = 0; i < count; ++i)
    Next();
}

namespace {

const float kNotANumber = std::numeric_limits<float>::quiet_NaN();

// Measured values are held in single precision; with nothing received there is no value.
float Measured(double value, bool received) {
  return received ? static_cast<float>(value) : kNotANumber;
}

double Wide(float value) {
  return static_cast<double>(value);
}

bool Finite(float value) {
  return std::isfinite(value);
}

// lower <= value <= upper, all three finite: a missing value or limit never passes.
bool Within(float value, float lower, float upper) {
  return Finite(value) && Finite(lower) && Finite(upper) && lower <= value && value <= upper;
}

// The integrity indicator of a FETCh answer (held in single precision like the values): only
// 0 says that the test set trusts the measurement; any other number, or none, does not.
bool Trusted(double integrity) {
  return static_cast<float>(integrity) == 0;
}

class ItemWriter {
 public:
  ItemWriter(GsmBus& bus, GsmResultSink& sink, const ItemContext& context)
      : bus_(bus), sink_(sink), context_(context) {
    prefix_ = Format("%s:%d:%d\t", kPlanBandNames[static_cast<std::size_t>(context.band)],
                     context.channel, context.level);
  }

  const char* Judge(bool pass) {
    if (pass)
      return kPassed;
    sink_.MarkFailure();
    return kFailed;
  }

  // One result line: the prefix, then the rest.
  void Line(const std::string& rest) {
    std::string line;
    line.reserve(prefix_.size() + rest.size());
    line.append(prefix_).append(rest);
    sink_.AppendLine(line);
  }

  std::string Query(std::string_view query, long& received) {
    return bus_.Query(query, kAnswerSize, received);
  }

  void TxPower();
  void PvTime();
  void PfError();
  void OrfSpectrum();
  void RxLevel();
  void RxQuality();
  void BitErrorRatio();
  // Sends the cell power command, then reads the third of the three reports of `query`.
  float ReportedValue(const char* power_command, const char* query);

 private:
  GsmBus& bus_;
  GsmResultSink& sink_;
  const ItemContext& context_;
  std::string prefix_;
};

void ItemWriter::TxPower() {
  long received = 0;
  AnswerFields fields(Query("FETCh:TXPower?", received));
  const bool trusted = Trusted(fields.Next());
  const float power = Measured(fields.Next(), received > 0);
  const PowerLimit* limit = PowerLimitFor(context_.band, context_.level);
  const float lower = limit ? limit->nominal - limit->tolerance : kNotANumber;
  const float upper = limit ? limit->nominal + limit->tolerance : kNotANumber;
  const char* verdict = Judge(trusted && Within(power, lower, upper));
  Line(Format("TXPower      \t%.2f\t%.2f\t%.2f\t%s", Wide(power), Wide(lower), Wide(upper),
              verdict));

  if (!HoldsEveryLevel(context_.plan, context_.band))
    return;
  if (context_.level_position > 0) {
    const float step = context_.previous_tx_power - power;
    // Without both powers the step is NaN or infinite, and fails.
    const char* step_verdict = Judge(trusted && Within(step, 0.5f, 3.5f));
    Line(Format("DIFF PWR      \t%.2f\t0.5\t3.5\t%s", Wide(step), step_verdict));
  }
  context_.previous_tx_power = power;
}

void ItemWriter::PvTime() {
  long received = 0;
  AnswerFields fields(Query("FETCh:PVTime?", received));
  const bool got = received > 0;
  const bool trusted = Trusted(fields.Next());
  const float mask = Measured(fields.Next(), got);
  fields.Skip(1);
  std::array<float, PvtTimeOffsetsUs.size()> powers{};
  for (float& power : powers)
    power = Measured(fields.Next(), got);
  // The mask result is a flag: 0 passes; any other value, NaN included, fails.
  const char* verdict = Judge(trusted && mask == 0);
  Line(Format("PVT MASK\t%.f\t\t\t%s", Wide(mask), verdict));
  for (std::size_t i = 0; i < powers.size(); ++i)
    Line(Format("PVT@%.1fus\t%.2f\t\t\t", Wide(PvtTimeOffsetsUs[i]), Wide(powers[i])));
}

void ItemWriter::PfError() {
  long received = 0;
  AnswerFields fields(Query("FETCh:PFERror?", received));
  const bool got = received > 0;
  const bool trusted = Trusted(fields.Next());
  const float rms = Measured(fields.Next(), got);
  const float peak = Measured(fields.Next(), got);
  const float frequency_error = Measured(fields.Next(), got);
  const char* rms_verdict = Judge(trusted && Within(rms, -5.0f, 5.0f));
  Line(Format("RMS         \t%.2f\t0\t5\t%s", Wide(rms), rms_verdict));
  const char* peak_verdict = Judge(trusted && Within(peak, -20.0f, 20.0f));
  Line(Format("PEAK         \t%.2f\t0\t20\t%s", Wide(peak), peak_verdict));
  const bool low = IsLowBand(context_.band);
  const float frequency_limit = low ? 90.0f : 180.0f;
  const char* frequency_verdict =
      Judge(trusted && Within(frequency_error, -frequency_limit, frequency_limit));
  Line(Format(low ? "FREQ ERR\t%.2f\t-90\t90\t%s" : "FREQ ERR\t%.2f\t-180\t180\t%s",
              Wide(frequency_error), frequency_verdict));
}

void ItemWriter::OrfSpectrum() {
  long received = 0;
  AnswerFields results(Query("FETCh:ORFSpectrum?", received));
  const bool got_results = received > 0;
  const bool trusted = Trusted(results.Next());
  results.Skip(1);
  std::array<float, SwitchingOffsetsKhz.size()> switching{};
  for (float& value : switching)
    value = Measured(results.Next(), got_results);
  const float bandwidth_power = Measured(results.Next(), got_results);
  std::array<float, ModulationOffsetsKhz.size()> modulation{};
  for (float& value : modulation)
    value = Measured(results.Next(), got_results);

  AnswerFields limits(Query("FETCh:ORFSpectrum:LIMit:ALL?", received));
  const bool got_limits = received > 0;
  std::array<float, SwitchingOffsetsKhz.size()> switching_flag{};
  std::array<float, SwitchingOffsetsKhz.size()> switching_limit{};
  for (std::size_t i = 0; i < switching.size(); ++i) {
    switching_flag[i] = Measured(limits.Next(), got_limits);
    switching_limit[i] = Measured(limits.Next(), got_limits);
  }
  std::array<float, ModulationOffsetsKhz.size()> modulation_flag{};
  std::array<float, ModulationOffsetsKhz.size()> modulation_first{};
  std::array<float, ModulationOffsetsKhz.size()> modulation_second{};
  for (std::size_t i = 0; i < modulation.size(); ++i) {
    modulation_flag[i] = Measured(limits.Next(), got_limits);
    modulation_first[i] = Measured(limits.Next(), got_limits);
    modulation_second[i] = Measured(limits.Next(), got_limits);
  }

  for (std::size_t i = 0; i < switching.size(); ++i) {
    // The test set's own flag judges the offset: 0 passes; a missing flag fails.
    const char* verdict = Judge(trusted && switching_flag[i] == 0 && Finite(switching[i]) &&
                                Finite(switching_limit[i]));
    Line(Format("SWI@%dKHz\t%.2f\t%.f\t-99\t%s", SwitchingOffsetsKhz[i], Wide(switching[i]),
                Wide(switching_limit[i]), verdict));
  }
  Line(Format("30KBW Power\t%.2f", Wide(bandwidth_power)));
  for (std::size_t i = 0; i < modulation.size(); ++i) {
    const char* verdict = Judge(trusted && modulation_flag[i] == 0 && Finite(modulation[i]) &&
                                Finite(modulation_first[i]) && Finite(modulation_second[i]));
    Line(Format("MOD@%dKHz\t%.2f\t%.1f\t%.f\t%s", ModulationOffsetsKhz[i], Wide(modulation[i]),
                Wide(modulation_first[i]), Wide(modulation_second[i]), verdict));
  }
}

float ItemWriter::ReportedValue(const char* power_command, const char* query) {
  bus_.Write(power_command);
  long received = 0;
  AnswerFields fields(Query(query, received));
  fields.Skip(2);
  return Measured(fields.Next(), received > 0);
}

void ItemWriter::RxLevel() {
  static constexpr char kQuery[] = "CALL:MS:REPorted:RXLevel:NEW?;NEW?;NEW?";
  if (!context_.plan.antennaMode) {
    const float level = ReportedValue("CALL:POW -102.5dBm", kQuery);
    const char* verdict = Judge(Within(level, 4.0f, 12.0f));
    Line(Format("RXL@-102.5\t%.f\t4\t12\t%s", Wide(level), verdict));
  }
  const float level = ReportedValue("CALL:POW -62.5dBm", kQuery);
  const char* verdict = Judge(Within(level, 44.0f, 52.0f));
  Line(Format("RXL@-62.5\t%.f\t44\t52\t%s", Wide(level), verdict));
  bus_.Write("CALL:POW -65dBm");
}

void ItemWriter::RxQuality() {
  static constexpr char kQuery[] = "CALL:MS:REPorted:RXQuality:NEW?;NEW?;NEW?";
  // Only the upper limit is checked; the "0" of the line is the column's text.
  if (!context_.plan.antennaMode) {
    const float quality = ReportedValue("CALL:POW -102.5dBm", kQuery);
    const char* verdict = Judge(Finite(quality) && quality <= 3.0f);
    Line(Format("RXQ@-102.5\t%.f\t0\t3\t%s", Wide(quality), verdict));
  }
  const float quality = ReportedValue("CALL:POW -62.5dBm", kQuery);
  const char* verdict = Judge(Finite(quality) && quality <= 3.0f);
  Line(Format("RXQ@-62.5\t%.f\t0\t3\t%s", Wide(quality), verdict));
  bus_.Write("CALL:POW -65dBm");
}

// The bit error ratio is judged in double precision against 2.44, so a reading of exactly
// 2.44 (held as the single-precision value just above it) fails. A ratio that is not a
// finite number fails.
bool BerPasses(float ratio) {
  return Finite(ratio) && Wide(ratio) <= 2.44;
}

void ItemWriter::BitErrorRatio() {
  static constexpr float kNoRatio = 99.99f;
  const TestPlan& plan = context_.plan;
  bus_.Write(Format("CALL:POW %fdBm", Wide(plan.berReferenceLevel)));
  bus_.Write("INITIATE:BERRor:ON");
  long received = 0;
  AnswerFields fields(Query("FETCh:BERRor?", received));
  const bool trusted = Trusted(fields.Next());
  fields.Skip(1);
  float ratio = static_cast<float>(fields.Next());
  if (!trusted || received == 0)
    ratio = kNoRatio;
  const char* verdict = Judge(BerPasses(ratio));
  Line(
      Format("BERR@%.1f\t%.2f%%\t0\t2.44\t%s", Wide(plan.berReferenceLevel), Wide(ratio), verdict));

  if (!plan.scanMode[static_cast<std::size_t>(context_.band)] && !plan.antennaMode) {
    const bool low = IsLowBand(context_.band);
    bus_.Write(low ? "CALL:POW -15dBm" : "CALL:POW -23dBm");
    bus_.Write("INITIATE:BERRor:ON");
    AnswerFields high_fields(Query("FETCh:BERRor?", received));
    // Here the ratio is logged as read whatever the integrity says, but an untrusted one
    // fails; nothing received still counts as no ratio.
    const bool high_trusted = Trusted(high_fields.Next());
    high_fields.Skip(1);
    const float high_ratio = received > 0 ? static_cast<float>(high_fields.Next()) : kNoRatio;
    const char* high_verdict = Judge(high_trusted && BerPasses(high_ratio));
    Line(Format(low ? "BERR@-15\t%.2f%%\t0\t2.44\t%s" : "BERR@-23\t%.2f%%\t0\t2.44\t%s",
                Wide(high_ratio), high_verdict));
  }
  bus_.Write("CALL:POW -65dBm");
}

}  // namespace

void MeasureItem(GsmBus& bus, GsmResultSink& sink, const ItemContext& context, int item) {
  ItemWriter writer(bus, sink, context);
  switch (item) {
    case 0:
      writer.TxPower();
      break;
    case 1:
      writer.PvTime();
      break;
    case 2:
      writer.PfError();
      break;
    case 3:
      writer.OrfSpectrum();
      break;
    case 4:
      writer.RxLevel();
      break;
    case 5:
      writer.RxQuality();
      break;
    case 6:
      writer.BitErrorRatio();
      break;
    default:
      break;
  }
}

}  // namespace vexa
