#include "sim/test_set.h"

#include "sim/gsm_signal.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

namespace vexa::sim {
namespace {

constexpr const char* kIdentification = "VEXA Simulator,GSM Test Set,SIM00014,A.02.02";
constexpr const char* kBandNames[] = {"EGSM", "DCS", "PCS", "GSM850"};
// Uplink centre frequencies, MHz, for the frequency error.
constexpr double kBandFrequencyMhz[] = {897.6, 1747.6, 1880.0, 836.6};

// The PVT offsets, switching and modulation offsets that the program configures; also the
// simulator's defaults after a reset.
const std::vector<double> kDefaultPvtOffsetsUs = {-28.0, -18.0, -10.0, 0.0,
                                                  542.8, 552.8, 560.8, 570.8};
const std::vector<double> kDefaultSwitchingKhz = {400, -400, 600, -600, 1200, -1200, 1800, -1800};
const std::vector<double> kDefaultModulationKhz = {100, -100, 200, -200, 250,  -250,
                                                   400, -400, 600, -600, 1800, -1800};

// The measurement kinds, for the noise sequence.
enum NoiseKind { kTxNoise = 0, kPvtNoise = 1, kPferNoise = 2, kOrfsNoise = 3, kBerNoise = 4 };
// Fields of the ORFS noise: the switching results, then the bandwidth power, then the
// modulation results.
constexpr int kOrfsBandwidthField = 8;
constexpr int kOrfsModulationField = 9;

// A 64-bit mix (splitmix64's finaliser): neighbouring inputs give unrelated outputs.
std::uint64_t Mix(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

int ClampToInt(double value, int low, int high) {
  return static_cast<int>(std::clamp(value, static_cast<double>(low), static_cast<double>(high)));
}

std::optional<Band> BandFromWord(const std::string& word) {
  if (word == "EGSM" || word == "PGSM" || word == "GSM900")
    return Band::kEgsm;
  if (word == "DCS" || word == "DCS1800")
    return Band::kDcs;
  if (word == "PCS" || word == "PCS1900")
    return Band::kPcs;
  if (word == "GSM850")
    return Band::kGsm850;
  return std::nullopt;
}

// A band named as the last header node ("CALL:MS:TXLEVEL:DCS"), if any.
std::optional<Band> BandFromNode(const Unit& unit) {
  if (unit.nodes.empty())
    return std::nullopt;
  std::string last(unit.nodes.back());
  for (char& c : last)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return BandFromWord(last);
}

double TimeScale(std::string_view suffix) {
  if (suffix == "US")
    return 1.0;
  if (suffix == "MS")
    return 1e3;
  return 1e6;  // seconds, the SCPI default unit
}

double FrequencyScale(std::string_view suffix) {
  if (suffix == "KHZ")
    return 1.0;
  if (suffix == "MHZ")
    return 1e3;
  return 1e-3;  // hertz, the SCPI default unit
}

double HertzScale(std::string_view suffix) {
  if (suffix == "KHZ")
    return 1e3;
  if (suffix == "MHZ")
    return 1e6;
  if (suffix == "GHZ")
    return 1e9;
  return 1.0;
}

double DecibelScale(std::string_view /*suffix*/) {
  return 1.0;
}

// The measurements whose count and time-out the set-up commands reach, by index.
constexpr const char* kMeasurementNames[] = {"TXPower", "PVTime", "PFERror", "ORFSpectrum",
                                             "BERRor"};
constexpr int kMultiMeasurementCount = 4;  // BERRor has its bit count instead

// The set-up headers of each measurement (kMeasurementNames order):
// "SETup:<name>:COUNt:SNUMber" and "SETup:<name>:TIMeout[:STIMe]", commands and queries.
struct MeasurementPatterns {
  Pattern count;
  Pattern count_query;
  Pattern timeout;
  Pattern timeout_query;
};

const std::vector<MeasurementPatterns>& SetupPatterns() {
  static const std::vector<MeasurementPatterns> patterns = {
      {Pattern("SETup:TXPower:COUNt:SNUMber"), Pattern("SETup:TXPower:COUNt:SNUMber?"),
       Pattern("SETup:TXPower:TIMeout[:STIMe]"), Pattern("SETup:TXPower:TIMeout[:STIMe]?")},
      {Pattern("SETup:PVTime:COUNt:SNUMber"), Pattern("SETup:PVTime:COUNt:SNUMber?"),
       Pattern("SETup:PVTime:TIMeout[:STIMe]"), Pattern("SETup:PVTime:TIMeout[:STIMe]?")},
      {Pattern("SETup:PFERror:COUNt:SNUMber"), Pattern("SETup:PFERror:COUNt:SNUMber?"),
       Pattern("SETup:PFERror:TIMeout[:STIMe]"), Pattern("SETup:PFERror:TIMeout[:STIMe]?")},
      {Pattern("SETup:ORFSpectrum:COUNt:SNUMber"), Pattern("SETup:ORFSpectrum:COUNt:SNUMber?"),
       Pattern("SETup:ORFSpectrum:TIMeout[:STIMe]"), Pattern("SETup:ORFSpectrum:TIMeout[:STIMe]?")},
      {Pattern("SETup:BERRor:COUNt:SNUMber"), Pattern("SETup:BERRor:COUNt:SNUMber?"),
       Pattern("SETup:BERRor:TIMeout[:STIMe]"), Pattern("SETup:BERRor:TIMeout[:STIMe]?")},
  };
  return patterns;
}

// A quoted SCPI string parameter without its quotes ('x' or "x"); the text itself otherwise.
std::string Unquote(std::string_view text) {
  if (text.size() >= 2 && (text.front() == '\'' || text.front() == '"') &&
      text.back() == text.front()) {
    return std::string(text.substr(1, text.size() - 2));
  }
  return std::string(text);
}

std::string Join(const std::vector<std::string>& fields) {
  std::string text;
  for (const std::string& field : fields) {
    if (!text.empty())
      text += ',';
    text += field;
  }
  return text;
}

std::string Nr3List(const std::vector<double>& values) {
  std::vector<std::string> fields;
  for (double value : values)
    fields.push_back(Nr3(value));
  return Join(fields);
}

}  // namespace

void TestSet::Reset() {
  ResetSettings();
  phone_ = PhoneValues{};
  call_connected_ = true;
  measurement_sequence_ = {};
}

void TestSet::ResetSettings() {
  settings_ = Settings{};
  settings_.pvt_offsets_us = kDefaultPvtOffsetsUs;
  settings_.switching_khz = kDefaultSwitchingKhz;
  settings_.modulation_khz = kDefaultModulationKhz;
}

bool TestSet::SetValue(const std::string& name, double value) {
  const std::pair<const char*, double*> values[] = {
      {"tx_power_offset", &phone_.tx_power_offset},
      {"frequency_error_ppm", &phone_.frequency_error_ppm},
      {"rms_phase_error", &phone_.rms_phase_error},
      {"peak_phase_error", &phone_.peak_phase_error},
      {"pvt_mask_fail", &phone_.pvt_mask_fail},
      {"orfs_offset", &phone_.orfs_offset},
      {"rxlev_offset", &phone_.rxlev_offset},
      {"rxqual_offset", &phone_.rxqual_offset},
      {"ber_offset", &phone_.ber_offset},
      {"cable_loss", &phone_.cable_loss},
      {"noise", &phone_.noise},
  };
  for (const auto& [known, target] : values) {
    if (name == known) {
      *target = value;
      return true;
    }
  }
  return false;
}

double TestSet::BurstPower() const {
  const Band band = settings_.tch_band;
  const int raw_level = settings_.level[static_cast<int>(band)];
  const int level = IsLowBand(band) ? std::clamp(raw_level, 5, 19) : std::clamp(raw_level, 0, 15);
  const double nominal = IsLowBand(band) ? 33.0 - 2.0 * (level - 5) : 30.0 - 2.0 * level;
  return nominal + PowerDeviation(level) + phone_.tx_power_offset;
}

double TestSet::CorrectionGain(double mhz) const {
  const std::size_t points =
      std::min(settings_.correction_hz.size(), settings_.correction_db.size());
  if (points == 0)
    return 0;
  std::vector<std::pair<double, double>> table;
  for (std::size_t i = 0; i < points; ++i)
    table.emplace_back(settings_.correction_hz[i] / 1e6, settings_.correction_db[i]);
  std::sort(table.begin(), table.end());
  return Interpolate(table, mhz);
}

double TestSet::MeasuredBurstPower() const {
  const Band band = settings_.tch_band;
  const double mhz = UplinkMhz(band, settings_.channel[static_cast<int>(band)]);
  return BurstPower() - phone_.cable_loss - CorrectionGain(mhz);
}

double TestSet::CellPowerAtPhone() const {
  const Band band = settings_.tch_band;
  const double mhz = DownlinkMhz(band, settings_.channel[static_cast<int>(band)]);
  return settings_.cell_power - CorrectionGain(mhz) - phone_.cable_loss;
}

int TestSet::ReportedRxLevel() const {
  const double rxlev = std::floor(CellPowerAtPhone() + 111.0) + phone_.rxlev_offset;
  return static_cast<int>(std::clamp(rxlev, 0.0, 63.0));
}

int TestSet::ReportedRxQuality() const {
  const double power = CellPowerAtPhone();
  const double rxqual =
      (power >= -100.0 ? 0.0 : 1.0 + std::floor((-100.0 - power) / 3.0)) + phone_.rxqual_offset;
  return static_cast<int>(std::clamp(rxqual, 0.0, 7.0));
}

double TestSet::Noise(int kind, int field) const {
  if (!(phone_.noise > 0))
    return 0;
  const std::uint64_t key =
      (static_cast<std::uint64_t>(kind) << 56) ^
      (static_cast<std::uint64_t>(measurement_sequence_[static_cast<std::size_t>(kind)]) << 12) ^
      static_cast<std::uint64_t>(field);
  const double unit = static_cast<double>(Mix(key) >> 11) / 9007199254740992.0;  // [0, 1)
  return phone_.noise * (2.0 * unit - 1.0);
}

double TestSet::WithNoise(double value, int kind, int field) const {
  // Without noise the value stays untouched (adding 0 would turn -0 into +0).
  return phone_.noise > 0 ? value + Noise(kind, field) : value;
}

std::string TestSet::TxPowerAnswer() const {
  if (!call_connected_)
    return Join({"1", Nr3(kNotAvailable)});
  return Join({"0", Nr3(WithNoise(MeasuredBurstPower(), kTxNoise, 0))});
}

std::string TestSet::PvtAnswer() const {
  std::vector<std::string> fields;
  const bool up = call_connected_;
  fields.push_back(up ? "0" : "1");
  fields.push_back(up ? Nr1(phone_.pvt_mask_fail != 0 ? 1 : 0) : Nr3(kNotAvailable));
  fields.push_back(Nr3(up ? WithNoise(MeasuredBurstPower(), kPvtNoise, 0) : kNotAvailable));
  int field = 1;
  for (double offset : settings_.pvt_offsets_us) {
    const double power = WithNoise(Interpolate(kBurstShape, offset), kPvtNoise, field++);
    fields.push_back(Nr3(up ? power : kNotAvailable));
  }
  return Join(fields);
}

std::string TestSet::PferAnswer() const {
  if (!call_connected_) {
    return Join({"1", Nr3(kNotAvailable), Nr3(kNotAvailable), Nr3(kNotAvailable)});
  }
  const double frequency_error =
      phone_.frequency_error_ppm * kBandFrequencyMhz[static_cast<int>(settings_.tch_band)];
  // Phase errors are magnitudes: noise never takes them below zero.
  const double rms = phone_.noise > 0
                         ? std::max(0.0, WithNoise(phone_.rms_phase_error, kPferNoise, 0))
                         : phone_.rms_phase_error;
  const double peak = phone_.noise > 0
                          ? std::max(0.0, WithNoise(phone_.peak_phase_error, kPferNoise, 1))
                          : phone_.peak_phase_error;
  return Join({"0", Nr3(rms), Nr3(peak), Nr3(WithNoise(frequency_error, kPferNoise, 2))});
}

std::string TestSet::OrfsAnswer() const {
  const bool up = call_connected_;
  const double power = MeasuredBurstPower();
  const double bandwidth_power = WithNoise(power - 6.8, kOrfsNoise, kOrfsBandwidthField);
  std::vector<std::string> fields = {up ? "0" : "1", Nr3(up ? power : kNotAvailable)};
  int field = 0;
  for (double offset : settings_.switching_khz) {
    const double result = WithNoise(
        power + Interpolate(kSwitchingBelowCarrier, std::fabs(offset)) + phone_.orfs_offset,
        kOrfsNoise, field++);
    fields.push_back(Nr3(up ? result : kNotAvailable));
  }
  fields.push_back(Nr3(up ? bandwidth_power : kNotAvailable));
  field = kOrfsModulationField;
  for (double offset : settings_.modulation_khz) {
    const double result = WithNoise(
        Interpolate(kModulationShape, std::fabs(offset)) + phone_.orfs_offset, kOrfsNoise, field++);
    fields.push_back(Nr3(up ? result : kNotAvailable));
  }
  return Join(fields);
}

std::string TestSet::OrfsLimitAnswer() const {
  const Band band = settings_.tch_band;
  const double power = MeasuredBurstPower();
  const double bandwidth_power = WithNoise(power - 6.8, kOrfsNoise, kOrfsBandwidthField);
  std::vector<std::string> fields;
  int field = 0;
  for (double offset : settings_.switching_khz) {
    const double result = WithNoise(
        power + Interpolate(kSwitchingBelowCarrier, std::fabs(offset)) + phone_.orfs_offset,
        kOrfsNoise, field++);
    const double limit = SwitchingLimit(band, offset);
    fields.push_back(Nr1(!call_connected_ || result > limit ? 1 : 0));
    fields.push_back(Nr3(limit));
  }
  field = kOrfsModulationField;
  for (double offset : settings_.modulation_khz) {
    const double relative = WithNoise(
        Interpolate(kModulationShape, std::fabs(offset)) + phone_.orfs_offset, kOrfsNoise, field++);
    const double relative_limit = ModulationRelativeLimit(offset);
    const double absolute_limit = ModulationAbsoluteLimit(band, offset);
    // A result passes when it is within either the relative or the absolute limit.
    const bool fails = relative > relative_limit && relative + bandwidth_power > absolute_limit;
    fields.push_back(Nr1(!call_connected_ || fails ? 1 : 0));
    fields.push_back(Nr3(relative_limit));
    fields.push_back(Nr3(absolute_limit));
  }
  return Join(fields);
}

std::string TestSet::BerAnswer() const {
  const long bits = settings_.ber_bits;
  if (!call_connected_)
    return Join({"1", Nr1(bits), Nr3(kNotAvailable)});
  const double modelled = WithNoise(
      0.25 * std::pow(2.0, (-104.0 - CellPowerAtPhone()) / 2.0) + phone_.ber_offset, kBerNoise, 0);
  // Whole bit errors out of the bits tested, as a real count gives.
  const double errors = std::round(std::clamp(modelled, 0.0, 50.0) / 100.0 * bits);
  return Join({"0", Nr1(bits), Nr3(errors * 100.0 / bits)});
}

std::optional<std::string> TestSet::Handle(const Unit& unit, double& /*acquisition_seconds*/) {
  if (!unit.query)
    return HandleCommand(unit);
  if (std::optional<std::string> common = CommonQuery(unit, kIdentification))
    return common;
  if (Matches(unit, "CALL:CONNected[:STATe]?"_scpi))
    return Nr1(call_connected_ ? 1 : 0);
  if (Matches(unit, "CALL[:CELL]:BAND?"_scpi)) {
    return kBandNames[static_cast<int>(settings_.cell_band)];
  }
  if (Matches(unit, "CALL:TCHannel:BAND?"_scpi)) {
    return kBandNames[static_cast<int>(settings_.tch_band)];
  }
  if (Matches(unit, "CALL:TCHannel[:ARFCn][:SELected|EGSM|PGSM|DCS|PCS|GSM850]?"_scpi)) {
    const Band band = BandFromNode(unit).value_or(settings_.tch_band);
    return Nr1(settings_.channel[static_cast<int>(band)]);
  }
  if (Matches(unit, "CALL[:CELL]:POWer[:SAMPlitude|AMPLitude]?"_scpi)) {
    return Nr3(settings_.cell_power);
  }
  if (Matches(unit, "CALL:MS:TXLevel[:SELected|EGSM|PGSM|DCS|PCS|GSM850]?"_scpi)) {
    const Band band = BandFromNode(unit).value_or(settings_.tch_band);
    return Nr1(settings_.level[static_cast<int>(band)]);
  }
  // Each measurement draws new noise; the ORFS limits judge the last ORFS measurement.
  if (Matches(unit, "FETCh:TXPower[:ALL]?"_scpi)) {
    ++measurement_sequence_[kTxNoise];
    return TxPowerAnswer();
  }
  if (Matches(unit, "FETCh:PVTime[:ALL]?"_scpi)) {
    ++measurement_sequence_[kPvtNoise];
    return PvtAnswer();
  }
  if (Matches(unit, "FETCh:PFERror[:ALL]?"_scpi)) {
    ++measurement_sequence_[kPferNoise];
    return PferAnswer();
  }
  if (Matches(unit, "FETCh:ORFSpectrum[:ALL]?"_scpi)) {
    ++measurement_sequence_[kOrfsNoise];
    return OrfsAnswer();
  }
  if (Matches(unit, "FETCh:ORFSpectrum:LIMit[:ALL]?"_scpi))
    return OrfsLimitAnswer();
  if (Matches(unit, "CALL:MS:REPorted:RXLevel[:FULL|SUB|NEW]?"_scpi)) {
    return call_connected_ ? Nr1(ReportedRxLevel()) : Nr3(kNotAvailable);
  }
  if (Matches(unit, "CALL:MS:REPorted:RXQuality[:FULL|SUB|NEW]?"_scpi)) {
    return call_connected_ ? Nr1(ReportedRxQuality()) : Nr3(kNotAvailable);
  }
  if (Matches(unit, "FETCh:BERRor[:ALL]?"_scpi)) {
    ++measurement_sequence_[kBerNoise];
    return BerAnswer();
  }
  if (std::optional<std::string> setup = SetupQuery(unit))
    return setup;
  return kUndefinedHeader;
}

std::optional<std::string> TestSet::SetupQuery(const Unit& unit) const {
  if (Matches(unit, "SETup:BERRor:COUNt[:SNUMber]?"_scpi))
    return Nr1(settings_.ber_bits);
  if (Matches(unit, "SETup:BERRor:TYPE?"_scpi))
    return settings_.ber_type;
  for (int i = 0; i < kMultiMeasurementCount; ++i) {
    if (Matches(unit, SetupPatterns()[static_cast<std::size_t>(i)].count_query))
      return Nr1(settings_.measurement_count[static_cast<std::size_t>(i)]);
  }
  for (std::size_t i = 0; i < std::size(kMeasurementNames); ++i) {
    if (Matches(unit, SetupPatterns()[i].timeout_query))
      return Nr3(settings_.measurement_timeout_s[i]);
  }
  if (Matches(unit, "SETup:ALL:CONTinuous?"_scpi))
    return Nr1(settings_.continuous ? 1 : 0);
  if (Matches(unit, "CALL:PAGing:IMSI?"_scpi))
    return "\"" + settings_.paging_imsi + "\"";
  if (Matches(unit, "SYSTem:CORRection:SFRequency?"_scpi))
    return Nr3List(settings_.correction_hz);
  if (Matches(unit, "SYSTem:CORRection:SGAin?"_scpi))
    return Nr3List(settings_.correction_db);
  return std::nullopt;
}

bool TestSet::HandleSetupCommand(const Unit& unit) {
  const std::optional<double> number = ParseNumber(unit.parameters);
  for (int i = 0; i < kMultiMeasurementCount; ++i) {
    if (Matches(unit, SetupPatterns()[static_cast<std::size_t>(i)].count)) {
      if (number && *number >= 1 && *number <= 999)
        settings_.measurement_count[static_cast<std::size_t>(i)] = std::lround(*number);
      return true;
    }
  }
  for (std::size_t i = 0; i < std::size(kMeasurementNames); ++i) {
    if (Matches(unit, SetupPatterns()[i].timeout)) {
      if (number && *number >= 0.1 && *number <= 999.9)
        settings_.measurement_timeout_s[i] = *number;
      return true;
    }
  }
  if (Matches(unit, "SETup:BERRor:TYPE"_scpi)) {
    const std::string type = ParseWord(unit.parameters);
    if (!type.empty())
      settings_.ber_type = type;
    return true;
  }
  if (Matches(unit, "SETup:ALL:CONTinuous:OFF|ON"_scpi)) {
    settings_.continuous = ParseWord(unit.nodes.back()) == "ON";
    return true;
  }
  if (Matches(unit, "SETup:ALL:CONTinuous"_scpi)) {
    const std::string word = ParseWord(unit.parameters);
    if (word == "ON" || word == "1" || word == "OFF" || word == "0")
      settings_.continuous = word == "ON" || word == "1";
    return true;
  }
  if (Matches(unit, "CALL:PAGing:IMSI"_scpi)) {
    const std::string imsi = Unquote(unit.parameters);
    if (!imsi.empty())
      settings_.paging_imsi = imsi;
    return true;
  }
  if (Matches(unit, "SYSTem:CORRection:SFRequency"_scpi)) {
    std::vector<double> hertz = ParseList(unit.parameters, HertzScale);
    if (!hertz.empty() && hertz.size() <= 20)
      settings_.correction_hz = std::move(hertz);
    return true;
  }
  if (Matches(unit, "SYSTem:CORRection:SGAin"_scpi)) {
    std::vector<double> gains = ParseList(unit.parameters, DecibelScale);
    if (!gains.empty() && gains.size() <= 20)
      settings_.correction_db = std::move(gains);
    return true;
  }
  return false;
}

std::optional<std::string> TestSet::HandleCommand(const Unit& unit) {
  if (Matches(unit, "*RST"_scpi)) {
    ResetSettings();
    return std::nullopt;
  }
  if (HandleSetupCommand(unit))
    return std::nullopt;
  const std::optional<double> number = ParseNumber(unit.parameters);
  if (Matches(unit, "CALL[:CELL]:BAND"_scpi)) {
    if (const auto band = BandFromWord(ParseWord(unit.parameters))) {
      // The traffic channel starts in the cell's band.
      settings_.cell_band = *band;
      settings_.tch_band = *band;
    }
  } else if (Matches(unit, "CALL:TCHannel:BAND"_scpi)) {
    if (const auto band = BandFromWord(ParseWord(unit.parameters)))
      settings_.tch_band = *band;
  } else if (Matches(unit, "CALL:TCHannel[:ARFCn][:SELected|EGSM|PGSM|DCS|PCS|GSM850]"_scpi)) {
    const Band band = BandFromNode(unit).value_or(settings_.tch_band);
    if (number)
      settings_.channel[static_cast<int>(band)] = ClampToInt(*number, 0, 1023);
  } else if (Matches(unit, "CALL[:CELL]:POWer[:SAMPlitude|AMPLitude]"_scpi)) {
    if (number)
      settings_.cell_power = std::clamp(*number, -140.0, 0.0);
  } else if (Matches(unit, "CALL:MS:TXLevel[:SELected|EGSM|PGSM|DCS|PCS|GSM850]"_scpi)) {
    const Band band = BandFromNode(unit).value_or(settings_.tch_band);
    if (number)
      settings_.level[static_cast<int>(band)] = ClampToInt(*number, 0, 31);
  } else if (Matches(unit, "SETup:BERRor:COUNt[:SNUMber]"_scpi)) {
    if (number && *number >= 1 && *number <= 1e9)
      settings_.ber_bits = static_cast<long>(*number);
  } else if (Matches(unit, "SETup:PVTime:TIME[:OFFSet]"_scpi)) {
    std::vector<double> offsets = ParseList(unit.parameters, TimeScale);
    if (!offsets.empty())
      settings_.pvt_offsets_us = std::move(offsets);
  } else if (Matches(unit, "SETup:ORFSpectrum:SWITching:FREQuency"_scpi)) {
    std::vector<double> offsets = ParseList(unit.parameters, FrequencyScale);
    if (!offsets.empty())
      settings_.switching_khz = std::move(offsets);
  } else if (Matches(unit, "SETup:ORFSpectrum:MODulation:FREQuency"_scpi)) {
    std::vector<double> offsets = ParseList(unit.parameters, FrequencyScale);
    if (!offsets.empty())
      settings_.modulation_khz = std::move(offsets);
  }
  return std::nullopt;
}

}  // namespace vexa::sim
