// The receiver cascade analysis: the start line-up's results, one stage, the temperature
// coefficients, Friis and the intercept sum against a hand computation, and the refusals of
// line-ups without finite results.
#include "design/cascade.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace vexa {
namespace {

CascadeStage Stage(double nf, double gain, double oip3, double dnf_dtemp = 0,
                   double dgain_dtemp = 0) {
  return {nf, gain, oip3, dnf_dtemp, dgain_dtemp};
}

const std::vector<CascadeStage> kStartLineup = {
    Stage(3.8, -3.8, 100), Stage(0.9, 13.8, 14.5), Stage(3.5, -3.5, 100), Stage(1.7, 14.1, 9.8),
    Stage(9, 13, 20),      Stage(3.1, -3.1, 100),  Stage(6, 52, 12)};

TEST(AnalyzeCascade, StartLineup) {
  const CascadeAnalysis a = AnalyzeCascade(kStartLineup, CascadeParameters{});
  ASSERT_EQ(a.refusal, "");
  ASSERT_EQ(a.stages.size(), 7u);

  const struct {
    CascadeValue value;
    double expected;
    double tolerance;
  } system[] = {
      {kCascadeGain, 82.5, 1e-12},
      {kCascadeNf, 5.1134, 5e-5},
      {kCascadeNoiseTemp, 651.32, 5e-3},
      {kCascadeSnr, 58.887, 5e-4},
      {kCascadeMds, -108.887, 5e-4},
      {kCascadeSensitivity, -98.887, 5e-4},
      {kCascadeNoiseFloor, -168.887, 5e-4},
      {kCascadeIip3, -70.5, 5e-4},
      {kCascadeOip3, 12, 5e-4},
      {kCascadeInputImDbm, -9.0, 5e-4},
      {kCascadeInputImDbc, 41, 5e-4},
      {kCascadeOutputImDbm, 73.5, 5e-4},
      {kCascadeOutputImDbc, 41, 5e-4},
      {kCascadeSfdr, 25.591, 5e-4},
  };
  for (const auto& s : system)
    EXPECT_NEAR(a.system[s.value], s.expected, s.tolerance) << CascadeValueKeys()[s.value];

  const double powers[7][2] = {{-50, -53.8},   {-53.8, -40},   {-40, -43.5}, {-43.5, -29.4},
                               {-29.4, -16.4}, {-16.4, -19.5}, {-19.5, 32.5}};
  for (std::size_t i = 0; i < 7; ++i) {
    SCOPED_TRACE(i + 1);
    EXPECT_NEAR(a.stages[i].input_power, powers[i][0], 1e-12);
    EXPECT_NEAR(a.stages[i].output_power, powers[i][1], 1e-12);
    EXPECT_EQ(a.stages[i].nf_corrected, kStartLineup[i].nf);
    EXPECT_EQ(a.stages[i].gain_corrected, kStartLineup[i].gain);
  }
  EXPECT_NEAR(a.stages[0].dnf_dnf, 0.739, 5e-4);
  EXPECT_NEAR(a.stages[1].dnf_dnf, 0.909, 5e-4);
  EXPECT_NEAR(a.stages[6].dip3_dip3, 0.99999, 1e-5);
  EXPECT_LT(a.stages[6].dip3_dip3, 1.0);
  EXPECT_EQ(a.stages[6].dnf_dgain, 0.0);
}

TEST(AnalyzeCascade, OneStageIsItsOwnCascade) {
  CascadeParameters p;
  p.input_power = -30;
  const CascadeAnalysis a = AnalyzeCascade({Stage(4, 12, 25)}, p);
  ASSERT_EQ(a.refusal, "");
  ASSERT_EQ(a.stages.size(), 1u);
  EXPECT_NEAR(a.system[kCascadeNf], 4, 1e-12);
  EXPECT_NEAR(a.system[kCascadeGain], 12, 1e-12);
  EXPECT_NEAR(a.system[kCascadeIip3], 13, 1e-12);
  EXPECT_NEAR(a.system[kCascadeOip3], 25, 1e-12);
  EXPECT_NEAR(a.stages[0].dnf_dnf, 1, 1e-12);
  EXPECT_EQ(a.stages[0].dnf_dgain, 0.0);
  EXPECT_NEAR(a.stages[0].dip3_dip3, 1, 1e-12);
  EXPECT_NEAR(a.stages[0].output_power, -18, 1e-12);
}

// Stage A: NF 3 dB, gain 10 dB, OIP3 20 dBm; stage B: NF 10 dB, gain 20 dB, OIP3 30 dBm;
// 1 MHz, -40 dBm in, T0 = 290 K.
//   noise factors fA = 10^0.3, fB = 10, gain gA = 10:  F = fA + (fB - 1) / gA = fA + 0.9
//   input intercepts: A 10 dBm = 10 mW, B 10 dBm / gA = 1 mW:  S = 1/10 + 1/1 = 1.1 per mW
TEST(AnalyzeCascade, TwoStagesByHand) {
  CascadeParameters p;
  p.input_power = -40;
  const CascadeAnalysis a = AnalyzeCascade({Stage(3, 10, 20), Stage(10, 20, 30)}, p);
  ASSERT_EQ(a.refusal, "");

  const double fa = std::pow(10.0, 0.3);
  const double f = fa + 0.9;
  const double nf = 10 * std::log10(f);
  const double iip3 = 10 * std::log10(1 / 1.1);
  const double mds = nf + 60 - 174;  // 10·log10(1e6 Hz) = 60
  const double expected[kCascadeValueCount] = {30,
                                               nf,
                                               (f - 1) * 290,
                                               -40 - mds,
                                               mds,
                                               mds + 10,
                                               nf - 174,
                                               iip3,
                                               iip3 + 30,
                                               -120 - 2 * iip3,
                                               -80 - 2 * iip3,
                                               -90 - 2 * iip3,
                                               -80 - 2 * iip3,
                                               (iip3 - mds) * 2 / 3};
  for (int k = 0; k < kCascadeValueCount; ++k)
    EXPECT_NEAR(a.system[k], expected[k], 1e-9) << CascadeValueKeys()[k];

  EXPECT_NEAR(a.stages[0].dnf_dnf, fa / f, 1e-12);
  EXPECT_NEAR(a.stages[1].dnf_dnf, 10.0 / 10 / f, 1e-12);
  EXPECT_NEAR(a.stages[0].dnf_dgain, -0.9 / f, 1e-12);
  EXPECT_EQ(a.stages[1].dnf_dgain, 0.0);
  EXPECT_NEAR(a.stages[0].dip3_dip3, (10.0 / 100) / 1.1, 1e-12);  // lin(10 dB) / lin(20 dBm)
  EXPECT_NEAR(a.stages[1].dip3_dip3, 1 / 1.1, 1e-12);             // lin(30 dB) / lin(30 dBm)
  EXPECT_NEAR(a.stages[1].input_power, -30, 1e-12);
  EXPECT_NEAR(a.stages[1].output_power, -10, 1e-12);
}

TEST(AnalyzeCascade, TemperatureCoefficients) {
  const struct {
    double analysis_temp;
    double dnf_dtemp;
    double dgain_dtemp;
    double nf_shift;    // of stage 1's corrected NF, dB
    double gain_shift;  // of stage 1's gain and every later power, dB
  } cases[] = {
      {25, 0.5, 0.1, 0, 0},  // at the reference temperature the coefficients do nothing
      {35, 0, 0.1, 0, 1},    // 10 degrees up at 0.1 dB/C: +1 dB downstream
      {15, 0.02, -0.05, -0.2, 0.5},
  };
  const CascadeAnalysis base = AnalyzeCascade(kStartLineup, CascadeParameters{});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.analysis_temp);
    std::vector<CascadeStage> stages = kStartLineup;
    stages[0].dnf_dtemp = c.dnf_dtemp;
    stages[0].dgain_dtemp = c.dgain_dtemp;
    CascadeParameters p;
    p.analysis_temp = c.analysis_temp;
    const CascadeAnalysis a = AnalyzeCascade(stages, p);
    ASSERT_EQ(a.refusal, "");
    EXPECT_NEAR(a.stages[0].nf_corrected, 3.8 + c.nf_shift, 1e-12);
    EXPECT_NEAR(a.stages[0].gain_corrected, -3.8 + c.gain_shift, 1e-12);
    EXPECT_NEAR(a.stages[0].input_power, -50, 1e-12);
    for (std::size_t i = 0; i < stages.size(); ++i) {
      EXPECT_NEAR(a.stages[i].output_power, base.stages[i].output_power + c.gain_shift, 1e-12);
      if (i > 0) {
        EXPECT_NEAR(a.stages[i].input_power, base.stages[i].input_power + c.gain_shift, 1e-12);
      }
    }
    EXPECT_NEAR(a.system[kCascadeGain], 82.5 + c.gain_shift, 1e-12);
  }
}

TEST(AnalyzeCascade, RefusesLineupsWithoutFiniteResults) {
  const auto with = [](double CascadeParameters::*field, double value) {
    CascadeParameters p;
    p.*field = value;
    return p;
  };
  const struct {
    const char* name;
    std::vector<CascadeStage> stages;
    CascadeParameters parameters;
    std::string refusal;
  } cases[] = {
      {"no stages", {}, {}, kCascadeNoStagesMessage},
      {"no bandwidth", kStartLineup, with(&CascadeParameters::noise_bw, 0),
       kCascadeNoiseBandwidthMessage},
      {"negative bandwidth", kStartLineup, with(&CascadeParameters::noise_bw, -1),
       kCascadeNoiseBandwidthMessage},
      {"bandwidth beyond the numbers", kStartLineup, with(&CascadeParameters::noise_bw, 1e303),
       kCascadeNoiseBandwidthRangeMessage},
      // F = 0.1 + (0.1 - 1) / 1 < 0: no logarithm.
      {"negative noise factor",
       {Stage(-10, 0, 10), Stage(-10, 0, 10)},
       {},
       kCascadeNoiseFigureMessage},
      {"infinite noise factor", {Stage(4000, 0, 10)}, {}, kCascadeNoiseFigureMessage},
      // lin(4000 dB) overflows, so the stage adds nothing and the sum is 0.
      {"no intercept", {Stage(3, 0, 4000)}, {}, kCascadeInterceptMessage},
      {"infinite stage result",
       {Stage(3, 1e308, 1e308)},
       {},
       "Stage 1 dIP3/dIP3 is not a finite number: check the stage values and the "
       "temperatures."},
      {"infinite system value", kStartLineup, with(&CascadeParameters::noise_source_ref, 1e308),
       "Noise Temp K is not a finite number: check the stage values and the system "
       "parameters."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CascadeAnalysis a = AnalyzeCascade(c.stages, c.parameters);
    EXPECT_EQ(a.refusal, c.refusal);
    EXPECT_TRUE(a.stages.empty());
  }
}

}  // namespace
}  // namespace vexa
