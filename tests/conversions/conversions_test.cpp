// The TRANS page's pure conversions: exact values, the RXLEV texts, the balun and the
// arithmetic faults that have no finite result.
#include "conversions/conversions.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/errors.h"

namespace vexa {
namespace {

TEST(Conversions, ExactValues) {
  EXPECT_EQ(ReturnLossToVswr(-20.0), 1.2222222222222223);
  EXPECT_EQ(VswrToReturnLoss(1.5), -13.979400086720375);
  EXPECT_DOUBLE_EQ(DbmToMw(30.0), 1000.0);
  EXPECT_EQ(MwToDbm(1.0), 0.0);
  EXPECT_DOUBLE_EQ(MilToMm(1.0), 0.0254);
  EXPECT_DOUBLE_EQ(MmToMil(1.0), 39.37);
  // The factors are not inverses of each other.
  EXPECT_NEAR(MilToMm(MmToMil(1.0)), 0.999998, 1e-15);
  // Far below 0 dB the reflection vanishes and the VSWR is 1.
  EXPECT_EQ(ReturnLossToVswr(-1000.0), 1.0);
}

TEST(Conversions, NoFiniteResultIsAFloatError) {
  const struct {
    const char* name;
    std::function<void()> call;
    const char* error;
  } cases[] = {
      {"S11 0", [] { ReturnLossToVswr(0.0); }, kDivisionByZero},
      {"S11 rounding to 0", [] { ReturnLossToVswr(-1e-300); }, kDivisionByZero},
      {"VSWR 1", [] { VswrToReturnLoss(1.0); }, kInvalidOperation},
      {"mW 0", [] { MwToDbm(0.0); }, kInvalidOperation},
      {"mW negative", [] { MwToDbm(-1.0); }, kInvalidOperation},
      {"dBm 4000", [] { DbmToMw(4000.0); }, kOverflow},
      {"mm 1e307", [] { MmToMil(1e307); }, kOverflow},
      {"balun R1 0", [] { BalunComponents(0.0, 50.0, 1e9); }, kDivisionByZero},
      {"balun R1*R2 negative", [] { BalunComponents(-50.0, 50.0, 1e9); }, kInvalidOperation},
      {"balun frequency 0", [] { BalunComponents(50.0, 50.0, 0.0); }, kDivisionByZero},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      c.call();
      ADD_FAILURE() << "no error";
    } catch (const FloatError& error) {
      EXPECT_STREQ(error.what(), c.error);
    }
  }
}

TEST(Conversions, DescribeRxlev) {
  EXPECT_EQ(DescribeRxlev(0), "less than -110 dBm");
  EXPECT_EQ(DescribeRxlev(1), "-110 dBm  to  -109 dBm");
  EXPECT_EQ(DescribeRxlev(30), "-81 dBm  to  -80 dBm");
  EXPECT_EQ(DescribeRxlev(62), "-49 dBm  to  -48 dBm");
  EXPECT_EQ(DescribeRxlev(63), "greater than -48 dBm");
}

TEST(Conversions, BalunElementsHaveTheReactanceOfTheGeometricMean) {
  const BalunValues fifty = BalunComponents(50.0, 50.0, 1e9);
  EXPECT_NEAR(fifty.c_pf, 3.1831, 1e-4);
  EXPECT_NEAR(fifty.l_nh, 7.9577, 1e-4);
  // 25 and 100 ohms have the same geometric mean; at 900 MHz both reactances are 50 ohms.
  const double omega = 2 * 3.14159265358979323846 * 900e6;
  const BalunValues mixed = BalunComponents(25.0, 100.0, 900e6);
  EXPECT_NEAR(1.0 / (omega * mixed.c_pf * 1e-12), 50.0, 1e-12);
  EXPECT_NEAR(omega * mixed.l_nh * 1e-9, 50.0, 1e-12);
}

}  // namespace
}  // namespace vexa
