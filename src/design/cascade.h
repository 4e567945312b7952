// The receiver cascade analysis of the RX page: a line-up of stages from the antenna on, each
// with noise figure, gain, output intercept and the temperature coefficients of noise figure
// and gain, analysed at one temperature for the whole chain's gain, noise figure, sensitivity,
// intercepts and dynamic range, and for each stage's share of them.
//
// Decibel quantities are in dB or dBm, temperatures in degrees C (the noise source reference
// in kelvin), the noise bandwidth in MHz. The thermal noise density is the fixed -174 dBm/Hz;
// the noise source reference enters only the noise temperature.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace vexa {

struct CascadeStage {
  double nf = 0;           // noise figure, dB
  double gain = 0;         // dB
  double oip3 = 0;         // output third-order intercept, dBm
  double dnf_dtemp = 0;    // dB per degree C
  double dgain_dtemp = 0;  // dB per degree C
};

struct CascadeParameters {
  double input_power = -50;       // dBm
  double analysis_temp = 25;      // C
  double noise_bw = 1;            // MHz
  double ref_temp = 25;           // C
  double snr_for_sensi = 10;      // dB
  double noise_source_ref = 290;  // K
};

struct CascadeStageResult {
  double nf_corrected = 0;    // NF at the analysis temperature, dB
  double gain_corrected = 0;  // gain at the analysis temperature, dB
  double input_power = 0;     // dBm
  double output_power = 0;    // dBm
  double dnf_dnf = 0;         // the stage's noise term over the cascade's noise factor
  double dnf_dgain = 0;       // the noise that the stages after it add, over the noise factor
  double dip3_dip3 = 0;       // the stage's intercept term over the input intercept sum
};

// The fourteen system values, in the order the page lists them.
enum CascadeValue {
  kCascadeGain,         // "Gain dB"
  kCascadeNf,           // "NF dB"
  kCascadeNoiseTemp,    // "Noise Temp K"
  kCascadeSnr,          // "SNR dB"
  kCascadeMds,          // "MDS dBm"
  kCascadeSensitivity,  // "Sensi dBm"
  kCascadeNoiseFloor,   // "Noise Floor dBm/Hz"
  kCascadeIip3,         // "IIP3 dBm"
  kCascadeOip3,         // "OIP3 dBm"
  kCascadeInputImDbm,   // "Input IM lev dBm"
  kCascadeInputImDbc,   // "Input IM lev dBc"
  kCascadeOutputImDbm,  // "Output IM lev dBm"
  kCascadeOutputImDbc,  // "Output IM lev dBc"
  kCascadeSfdr,         // "SFDR dB"
  kCascadeValueCount
};

// The keys of the system values, indexed by CascadeValue.
const std::array<const char*, kCascadeValueCount>& CascadeValueKeys();

struct CascadeAnalysis {
  // Empty when the line-up was analysed; otherwise why not, and nothing else is set. Every
  // value of an analysed line-up is a finite number.
  std::string refusal;
  std::vector<CascadeStageResult> stages;  // one per input stage, in order
  std::array<double, kCascadeValueCount> system{};
};

// The refusals.
extern const char* const kCascadeNoStagesMessage;
extern const char* const kCascadeNoiseBandwidthMessage;       // 0 or less
extern const char* const kCascadeNoiseBandwidthRangeMessage;  // beyond the numbers
extern const char* const kCascadeNoiseFigureMessage;          // noise factor not finite and > 0
extern const char* const kCascadeInterceptMessage;            // intercept sum not finite and > 0

// Friis's cascade formula for the noise factor, the input-referred reciprocal intercepts
// summed for IIP3, each stage's input and output level from the input power on, and the
// sensitivity ratios. Never throws: a line-up without finite results is refused.
CascadeAnalysis AnalyzeCascade(const std::vector<CascadeStage>& stages,
                               const CascadeParameters& parameters);

}  // namespace vexa
