#include "design/cascade.h"

#include <cmath>
#include <cstddef>
#include <string>
#include <utility>

namespace vexa {
namespace {

constexpr double kThermalNoiseDbmPerHz = -174.0;
constexpr double kHertzPerMegahertz = 1000000.0;

// dB to a linear power ratio.
double Lin(double db) {
  return std::pow(10.0, 0.1 * db);
}

bool IsPositiveFinite(double x) {
  return x > 0.0 && std::isfinite(x);
}

// The stage results with the page's row labels, for the refusal of a result that is not a
// finite number.
struct StageField {
  const char* label;
  double CascadeStageResult::*value;
};

constexpr StageField kStageFields[] = {
    {"NF(Temp corr)", &CascadeStageResult::nf_corrected},
    {"Gain(Temp Corr)", &CascadeStageResult::gain_corrected},
    {"Input Power", &CascadeStageResult::input_power},
    {"Output Power", &CascadeStageResult::output_power},
    {"dNF/dNF", &CascadeStageResult::dnf_dnf},
    {"dNF/dGain", &CascadeStageResult::dnf_dgain},
    {"dIP3/dIP3", &CascadeStageResult::dip3_dip3},
};

// The first value that is not a finite number, as a refusal; empty when there is none.
std::string NonFiniteRefusal(const CascadeAnalysis& analysis) {
  for (std::size_t i = 0; i < analysis.stages.size(); ++i) {
    for (const StageField& field : kStageFields) {
      if (!std::isfinite(analysis.stages[i].*field.value)) {
        return "Stage " + std::to_string(i + 1) + " " + field.label +
               " is not a finite number: check the stage values and the temperatures.";
      }
    }
  }
  for (std::size_t k = 0; k < analysis.system.size(); ++k) {
    if (!std::isfinite(analysis.system[k])) {
      return std::string(CascadeValueKeys()[k]) +
             " is not a finite number: check the stage values and the system parameters.";
    }
  }
  return "";
}

CascadeAnalysis Refused(std::string why) {
  CascadeAnalysis refused;
  refused.refusal = std::move(why);
  return refused;
}

// The system values from the cascade's totals: gain (dB), noise factor and the sum of the
// input-referred reciprocal intercepts (both linear), over the noise bandwidth in Hz.
void FillSystemValues(const CascadeParameters& parameters, double bandwidth, double total_gain,
                      double noise_factor, double intercept_sum, CascadeAnalysis& analysis) {
  const double pin = parameters.input_power;
  const double nf = 10.0 * std::log10(noise_factor);
  const double log_inverse_sum = std::log10(1.0 / intercept_sum);
  const double iip3 = 10.0 * log_inverse_sum;
  const double noise_level = 10.0 * std::log10(bandwidth) + kThermalNoiseDbmPerHz;
  auto& v = analysis.system;
  v[kCascadeGain] = total_gain;
  v[kCascadeNf] = nf;
  v[kCascadeNoiseTemp] = (noise_factor - 1.0) * parameters.noise_source_ref;
  v[kCascadeSnr] = pin - (nf + noise_level);
  v[kCascadeMds] = nf + noise_level;
  v[kCascadeSensitivity] = nf + noise_level + parameters.snr_for_sensi;
  v[kCascadeNoiseFloor] = nf + kThermalNoiseDbmPerHz;
  v[kCascadeIip3] = iip3;
  v[kCascadeOip3] = iip3 + total_gain;
  v[kCascadeInputImDbm] = 3.0 * pin - 20.0 * log_inverse_sum;
  v[kCascadeInputImDbc] = 2.0 * pin - 20.0 * log_inverse_sum;
  v[kCascadeOutputImDbm] = 3.0 * pin + total_gain - 20.0 * log_inverse_sum;
  v[kCascadeOutputImDbc] = 2.0 * pin - 20.0 * log_inverse_sum;
  v[kCascadeSfdr] =
      (10.0 * log_inverse_sum - kThermalNoiseDbmPerHz - 10.0 * std::log10(bandwidth) - nf) * 2.0 /
      3.0;
}

}  // namespace

const char* const kCascadeNoStagesMessage = "The line-up has no stages to analyse.";
const char* const kCascadeNoiseBandwidthMessage = "Noise BW MHz must be greater than 0.";
const char* const kCascadeNoiseBandwidthRangeMessage =
    "Noise BW MHz is too large: the noise level is not a finite number.";
const char* const kCascadeNoiseFigureMessage =
    "The line-up has no finite noise figure: check NF, Gain and their temperature "
    "coefficients.";
const char* const kCascadeInterceptMessage =
    "The line-up has no finite input intercept: check OIP3, Gain and dGain/dTemp.";

const std::array<const char*, kCascadeValueCount>& CascadeValueKeys() {
  static const std::array<const char*, kCascadeValueCount> keys = {"Gain dB",
                                                                   "NF dB",
                                                                   "Noise Temp K",
                                                                   "SNR dB",
                                                                   "MDS dBm",
                                                                   "Sensi dBm",
                                                                   "Noise Floor dBm/Hz",
                                                                   "IIP3 dBm",
                                                                   "OIP3 dBm",
                                                                   "Input IM lev dBm",
                                                                   "Input IM lev dBc",
                                                                   "Output IM lev dBm",
                                                                   "Output IM lev dBc",
                                                                   "SFDR dB"};
  return keys;
}

CascadeAnalysis AnalyzeCascade(const std::vector<CascadeStage>& stages,
                               const CascadeParameters& parameters) {
  if (stages.empty())
    return Refused(kCascadeNoStagesMessage);
  const double bandwidth = parameters.noise_bw * kHertzPerMegahertz;
  if (!(bandwidth > 0.0))
    return Refused(kCascadeNoiseBandwidthMessage);
  if (!std::isfinite(bandwidth))
    return Refused(kCascadeNoiseBandwidthRangeMessage);

  const std::size_t n = stages.size();
  const double delta_temp = parameters.analysis_temp - parameters.ref_temp;
  CascadeAnalysis analysis;
  analysis.stages.resize(n);
  std::vector<double> noise_term(n);
  std::vector<double> intercept_term(n);

  // Forward pass: total gain, Friis's noise factor, the gain ahead of each stage and the sum of
  // the input-referred reciprocal intercepts.
  double total_gain = 0.0;
  double noise_factor = 0.0;
  double gain_ahead = 1.0;
  double intercept_sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const CascadeStage& stage = stages[i];
    CascadeStageResult& result = analysis.stages[i];
    result.nf_corrected = delta_temp * stage.dnf_dtemp + stage.nf;
    result.gain_corrected = delta_temp * stage.dgain_dtemp + stage.gain;
    result.input_power = i == 0 ? parameters.input_power : analysis.stages[i - 1].output_power;
    result.output_power = result.input_power + result.gain_corrected;
    total_gain += result.gain_corrected;
    const double factor = Lin(result.nf_corrected);
    if (i == 0) {
      noise_factor += factor;
      intercept_sum += 1.0 / Lin(stage.oip3 - result.gain_corrected);
      noise_term[i] = factor;
    } else {
      gain_ahead *= Lin(analysis.stages[i - 1].gain_corrected);
      noise_factor += (factor - 1.0) / gain_ahead;
      intercept_sum += gain_ahead / Lin(stage.oip3 - result.gain_corrected);
      noise_term[i] = factor / gain_ahead;
    }
    intercept_term[i] = Lin(total_gain) / Lin(stage.oip3);
  }
  if (!IsPositiveFinite(noise_factor))
    return Refused(kCascadeNoiseFigureMessage);
  if (!IsPositiveFinite(intercept_sum))
    return Refused(kCascadeInterceptMessage);

  // Backward pass: what the stages after each one add to the noise factor, referred to the
  // input through the gain up to and including that stage.
  std::vector<double> noise_after(n, 0.0);
  double running_gain = total_gain;
  for (std::size_t i = n - 1; i-- > 0;) {
    running_gain -= analysis.stages[i + 1].gain_corrected;
    noise_after[i] =
        -(Lin(analysis.stages[i + 1].nf_corrected) - 1.0) / Lin(running_gain) + noise_after[i + 1];
  }

  for (std::size_t i = 0; i < n; ++i) {
    analysis.stages[i].dnf_dnf = noise_term[i] / noise_factor;
    analysis.stages[i].dnf_dgain = noise_after[i] / noise_factor;
    analysis.stages[i].dip3_dip3 = intercept_term[i] / intercept_sum;
  }

  FillSystemValues(parameters, bandwidth, total_gain, noise_factor, intercept_sum, analysis);

  if (std::string why = NonFiniteRefusal(analysis); !why.empty())
    return Refused(std::move(why));
  return analysis;
}

}  // namespace vexa
