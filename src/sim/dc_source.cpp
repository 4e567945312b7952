#include "sim/dc_source.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace vexa::sim {
namespace {

constexpr const char* kIdentification =
    "VEXA Simulator,Mobile Communications DC Source,SIM00005,A.01.01";
constexpr double kMinInterval = 15.6e-6;
constexpr double kMaxInterval = 31200e-6;
constexpr long kMaxPoints = 4096;
constexpr double kDefaultCurrent = 0.2345678;

// The phone's clock runs on by this much between the end of one sweep and the next.
constexpr double kTurnaround = 2.5e-3;

// GSM timing: a TDMA frame of 8 slots, 51-frame multiframes.
constexpr double kFrame = 120e-3 / 26;
constexpr double kSlot = kFrame / 8;
constexpr double kMultiframe = 51 * kFrame;

// Dedicated mode: one transmit burst per frame.
constexpr double kBurstCurrent = 1.8;
constexpr double kBetweenBursts = 0.2;
// Sweeps over more frames than this count their samples within bursts at once.
constexpr double kMaxWalkedFrames = 256;
// Idle mode: paging wake-ups every four multiframes, six frames long, 150 to 300 mA.
constexpr double kPagingPeriod = 4 * kMultiframe;
constexpr double kWakeUp = 6 * kFrame;
constexpr double kIdleFloor = 5e-3;
constexpr double kWakeUpLow = 0.15;
constexpr double kWakeUpHigh = 0.30;
// Switched off.
constexpr double kOffCurrent = 45e-6;

// A number in [0, 1) that depends on `index` alone (splitmix64), so that an event's height does
// not depend on which sweeps saw it.
double HashUnit(std::int64_t index) {
  auto x = static_cast<std::uint64_t>(index) + 0x9e3779b97f4a7c15ull;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
  x ^= x >> 31;
  return static_cast<double>(x >> 11) * 0x1.0p-53;
}

// sum over i in [0, n) of floor((a i + b) / m), all unsigned, a < m and b < m (the
// Euclid-like reduction: a few steps, whatever n).
std::uint64_t FloorSum(std::uint64_t n, std::uint64_t m, std::uint64_t a, std::uint64_t b) {
  std::uint64_t sum = 0;
  for (;;) {
    if (a >= m) {
      sum += n * (n - 1) / 2 * (a / m);
      a %= m;
    }
    if (b >= m) {
      sum += n * (b / m);
      b %= m;
    }
    const std::uint64_t y_max = a * n + b;
    if (y_max < m)
      return sum;
    n = y_max / m;
    b = y_max % m;
    std::swap(m, a);
  }
}

// sum over k in [0, n) of floor(offset + k * step), for 0 <= step < 2^20 and n < 2^20. Both
// are taken in steps of 2^-40: a sample's phase is then off by at most n 2^-41 periods.
std::int64_t FloorSumOf(double offset, double step, long n) {
  constexpr double kScale = 0x1.0p40;
  const double whole = std::floor(offset);
  auto fraction = static_cast<std::uint64_t>(std::llround((offset - whole) * kScale));
  auto sum = static_cast<std::int64_t>(whole) * n;
  if (fraction >= static_cast<std::uint64_t>(kScale)) {  // rounded up to a whole period
    fraction = 0;
    sum += n;
  }
  const auto scaled_step = static_cast<std::uint64_t>(std::llround(step * kScale));
  return sum + static_cast<std::int64_t>(FloorSum(static_cast<std::uint64_t>(n),
                                                  static_cast<std::uint64_t>(kScale), scaled_step,
                                                  fraction));
}

// A sweep: `points` samples, `interval` apart, the first at `start`.
struct Sweep {
  double start;
  double interval;
  long points;

  // The number of samples in [from, to).
  long SamplesIn(double from, double to) const {
    const auto first = [this](double time) {
      const double index = std::ceil((time - start) / interval);
      return static_cast<long>(std::clamp(index, 0.0, static_cast<double>(points)));
    };
    return std::max(0L, first(to) - first(from));
  }

  // The number of events `period` apart that the sweep spans.
  double Events(double period) const {
    return interval * static_cast<double>(points - 1) / period + 1;
  }

  // The number of samples within events `length` long that start every `period` (at 0,
  // period, 2 period, ...): sample k is within one when its time modulo `period` is below
  // `length`. Without walking the events, for sweeps of very many of them.
  long SamplesInEvents(double period, double length) const {
    const double offset = start / period;
    const double step = interval / period;
    return static_cast<long>(FloorSumOf(offset, step, points) -
                             FloorSumOf(offset - length / period, step, points));
  }

  // The sum over the sweep's samples of the extra current of events `length` long that start
  // every `period` (at 0, period, 2 period, ...), event m adding height(m).
  template <typename Height>
  double EventSum(double period, double length, Height height) const {
    const double last = start + interval * static_cast<double>(points - 1);
    double sum = 0;
    for (auto m = static_cast<std::int64_t>(std::floor((start - length) / period));
         static_cast<double>(m) * period <= last; ++m) {
      const double from = static_cast<double>(m) * period;
      if (const long samples = SamplesIn(from, from + length); samples > 0)
        sum += static_cast<double>(samples) * height(m);
    }
    return sum;
  }
};

}  // namespace

void DcSource::Reset() {
  ResetSettings();
  mean_current_ = kDefaultCurrent;
  spread_ = 0.05;
  sequence_ = 1;
  load_ = Load::kSteady;
  fixed_load_ = false;
  phone_time_ = 0;
  scripted_.clear();
}

void DcSource::ResetSettings() {
  voltage_ = 0;
  current_range_ = 3.0;
  sample_interval_ = kMinInterval;
  points_ = 2048;
}

bool DcSource::SetValue(const std::string& name, double value) {
  if (name == "current") {
    mean_current_ = value;
    load_ = Load::kSteady;
    fixed_load_ = true;
  } else if (name == "current_spread") {
    spread_ = std::clamp(value, 0.0, 1.0);
  } else {
    return false;
  }
  return true;
}

void DcSource::ScriptReadings(const char* answers) {
  scripted_.clear();
  if (!answers)
    return;
  const std::string text(answers);
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(';', start);
    scripted_.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
}

double DcSource::SweepMean(double start) const {
  const Sweep sweep{start, sample_interval_, points_};
  const auto points = static_cast<double>(points_);
  switch (load_) {
    case Load::kSteady:
      return mean_current_;
    case Load::kDedicated:
      // A sweep over thousands of frames (up to 4096 samples 31.2 ms apart) counts the
      // samples within bursts in a few steps instead of walking every frame.
      if (sweep.Events(kFrame) > kMaxWalkedFrames) {
        return kBetweenBursts + (kBurstCurrent - kBetweenBursts) *
                                    static_cast<double>(sweep.SamplesInEvents(kFrame, kSlot)) /
                                    points;
      }
      return kBetweenBursts + sweep.EventSum(kFrame, kSlot, [](std::int64_t) {
        return kBurstCurrent - kBetweenBursts;
      }) / points;
    case Load::kIdle:
      return kIdleFloor + sweep.EventSum(kPagingPeriod, kWakeUp, [](std::int64_t m) {
        return kWakeUpLow + (kWakeUpHigh - kWakeUpLow) * HashUnit(m) - kIdleFloor;
      }) / points;
    case Load::kShutdown:
      return kOffCurrent;
  }
  return mean_current_;
}

double DcSource::NextReading() {
  // A fixed linear congruential sequence: deterministic, yet varied enough for a histogram.
  sequence_ = sequence_ * 1664525u + 1013904223u;
  const double unit = static_cast<double>(sequence_ >> 8) / static_cast<double>(1u << 24);
  const double value = SweepMean(phone_time_);
  phone_time_ += sample_interval_ * static_cast<double>(points_) + kTurnaround;
  return value * (1.0 + spread_ * (2.0 * unit - 1.0));
}

std::optional<std::string> DcSource::Handle(const Unit& unit, double& acquisition_seconds) {
  const std::optional<double> number = ParseNumber(unit.parameters);
  if (std::optional<std::string> common = CommonQuery(unit, kIdentification))
    return common;
  if (unit.query) {
    if (Matches(unit, "[SOURce]:VOLTage[:LEVel][:IMMediate][:AMPLitude]?"_scpi))
      return Nr3(voltage_);
    if (Matches(unit, "SENSe:SWEep:TINTerval?"_scpi))
      return Nr3(sample_interval_);
    if (Matches(unit, "SENSe:SWEep:POINts?"_scpi))
      return Nr1(points_);
    if (Matches(unit, "SENSe:CURRent:RANGe[:UPPer]?"_scpi))
      return Nr3(current_range_);
    if (Matches(unit, "MEASure[:SCALar]:CURRent[:DC]?"_scpi)) {
      acquisition_seconds += sample_interval_ * static_cast<double>(points_);
      const std::string reading = Nr3(NextReading());
      if (scripted_.empty())
        return reading;
      std::string answer = std::move(scripted_.front());
      scripted_.pop_front();
      return answer;
    }
    if (Matches(unit, "MEASure[:SCALar]:VOLTage[:DC]?"_scpi))
      return Nr3(voltage_);
    return kUndefinedHeader;
  }
  if (Matches(unit, "*RST"_scpi)) {
    ResetSettings();
  } else if (Matches(unit, "[SOURce]:VOLTage[:LEVel][:IMMediate][:AMPLitude]"_scpi)) {
    if (number)
      voltage_ = std::clamp(*number, 0.0, 15.0);
  } else if (Matches(unit, "SENSe:CURRent:RANGe[:UPPer]"_scpi)) {
    if (number) {
      current_range_ = *number;
      if (!fixed_load_)
        load_ = *number > 1 ? Load::kDedicated : *number > 0.02 ? Load::kIdle : Load::kShutdown;
    }
  } else if (Matches(unit, "SENSe:SWEep:TINTerval"_scpi)) {
    if (number)
      sample_interval_ = std::clamp(*number, kMinInterval, kMaxInterval);
  } else if (Matches(unit, "SENSe:SWEep:POINts"_scpi)) {
    if (number)
      points_ = static_cast<long>(std::clamp(*number, 1.0, static_cast<double>(kMaxPoints)));
  }
  return std::nullopt;
}

}  // namespace vexa::sim
