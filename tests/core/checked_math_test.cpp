#include "core/checked_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "core/errors.h"

namespace vexa {
namespace {

std::string FaultOf(const std::function<double()>& f) {
  try {
    f();
  } catch (const FloatError& error) {
    return error.what();
  }
  return "no fault";
}

TEST(CheckedMath, RaisesTheThreeFloatingPointFaults) {
  const std::pair<std::function<double()>, std::string> cases[] = {
      {[] { return Divide(1, 0); }, kDivisionByZero},
      {[] { return Divide(-1, 0); }, kDivisionByZero},
      {[] { return Divide(0, 0); }, kInvalidOperation},
      {[] { return Divide(1e300, 1e-300); }, kOverflow},
      {[] { return Divide(-1, 1e300 * 1e300); }, kOverflow},  // not a silent -0
      {[] { return Sqrt(-1); }, kInvalidOperation},
      {[] { return Log10(0); }, kInvalidOperation},
      {[] { return Log10(-5); }, kInvalidOperation},
      {[] { return Ln(0); }, kInvalidOperation},
      {[] { return Power(10, 400); }, kOverflow},
      {[] { return Checked(std::nan("")); }, kInvalidOperation},
      {[] { return Divide(6, 3); }, "no fault"},
      {[] { return Sqrt(0); }, "no fault"},
  };
  for (const auto& [operation, fault] : cases)
    EXPECT_EQ(FaultOf(operation), fault);
  EXPECT_DOUBLE_EQ(Divide(6, 4), 1.5);
  EXPECT_DOUBLE_EQ(Log10(1000), 3);
  EXPECT_DOUBLE_EQ(Sqrt(2.25), 1.5);
}

}  // namespace
}  // namespace vexa
