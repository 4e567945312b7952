// Filter orders and attenuation curves on plain numbers.
#include "design/filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <numbers>
#include <random>

namespace vexa {
namespace {

constexpr double kMHz = 1e6;

// T_n(x) in closed form: cos(n·acos x) inside [−1, 1], ±cosh(n·acosh |x|) outside.
double ClosedChebyshev(int n, double x) {
  if (std::abs(x) <= 1.0)
    return std::cos(n * std::acos(x));
  const double sign = (x < 0 && n % 2 == 1) ? -1.0 : 1.0;
  return sign * std::cosh(n * std::acosh(std::abs(x)));
}

struct OrderCase {
  const char* name;
  ToleranceScheme scheme;
  int butterworth;
  int chebyshev;
};

TEST(FilterOrderTest, WorkedSchemes) {
  const OrderCase cases[] = {
      {"page start values", {3 * kMHz, 12 * kMHz, 0.1, 60}, 7, 5},
      {"wide transition", {1 * kMHz, 100 * kMHz, 1, 40}, 2, 2},
      {"narrow transition", {10 * kMHz, 11 * kMHz, 0.5, 50}, 72, 17},
  };
  for (const OrderCase& c : cases) {
    SCOPED_TRACE(c.name);
    const FilterOrder b = ButterworthOrder(c.scheme);
    const FilterOrder ch = ChebyshevOrder(c.scheme);
    EXPECT_EQ(b.refusal, "");
    EXPECT_EQ(ch.refusal, "");
    EXPECT_EQ(b.n, c.butterworth);
    EXPECT_EQ(ch.n, c.chebyshev);
  }
}

// Independent check: N is the smallest order whose response strictly exceeds the required
// discrimination at fs while passing ap at fp; N − 1 does not.
TEST(FilterOrderTest, RandomSchemesMeetTheToleranceWithOneOrderToSpare) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> ratio(1.05, 20.0), ap(0.01, 3.0), margin(3.0, 100.0);
  for (int i = 0; i < 500; ++i) {
    const double fp = 1 * kMHz;
    ToleranceScheme s{fp, fp * ratio(random), ap(random), 0};
    s.as = s.ap + margin(random);
    const double needed = (std::pow(10.0, s.as / 10) - 1) / (std::pow(10.0, s.ap / 10) - 1);
    const double sel = s.fs / s.fp;
    const FilterOrder b = ButterworthOrder(s);
    const FilterOrder c = ChebyshevOrder(s);
    ASSERT_GE(b.n, 1);
    ASSERT_GE(c.n, 1);
    const auto butter = [&](int n) { return std::pow(sel, 2 * n); };
    const auto cheby = [&](int n) { return std::pow(ClosedChebyshev(n, sel), 2); };
    // A relative slack for the rounding of the order formulas near an integer ratio.
    EXPECT_GT(butter(b.n), needed * (1 - 1e-9)) << i;
    EXPECT_LE(butter(b.n - 1), needed * (1 + 1e-9)) << i;
    EXPECT_GT(cheby(c.n), needed * (1 - 1e-9)) << i;
    EXPECT_LE(cheby(c.n - 1), needed * (1 + 1e-9)) << i;
  }
}

// A ratio that is exactly an integer r gives r + 1 (truncation of ratio + 1, not the
// ceiling). The stop-band attenuation is nudged by ulps until the ratio is exactly r.
TEST(FilterOrderTest, AnExactIntegerRatioGivesOneMore) {
  for (int r : {4, 6}) {
    SCOPED_TRACE(r);
    ToleranceScheme s{1 * kMHz, 10 * kMHz, 0.5, 0};
    const double ep2 = std::pow(10.0, 0.1 * s.ap) - 1;
    const double k = s.fp / s.fs;
    const auto butter_ratio = [&](double as) {
      return std::log10(std::sqrt(ep2 / (std::pow(10.0, 0.1 * as) - 1))) / std::log10(k);
    };
    const auto cheby_ratio = [&](double as) {
      return std::acosh(1 / std::sqrt(ep2 / (std::pow(10.0, 0.1 * as) - 1))) / std::acosh(1 / k);
    };
    struct Family {
      double (*ratio_target)(double, int);
      std::function<double(double)> ratio;
      FilterOrder (*order)(const ToleranceScheme&);
    };
    const Family families[] = {
        {[](double e, int n) { return 10 * std::log10(e * std::pow(10.0, 2 * n) + 1); },
         butter_ratio, ButterworthOrder},
        {[](double e, int n) {
           const double c = std::cosh(n * std::acosh(10.0));
           return 10 * std::log10(e * c * c + 1);
         },
         cheby_ratio, ChebyshevOrder},
    };
    for (const Family& f : families) {
      double as = f.ratio_target(ep2, r);
      for (int i = 0; i < 200 && f.ratio(as) != r; ++i)
        as = std::nextafter(as, f.ratio(as) > r ? 0.0 : 1e9);
      ASSERT_EQ(f.ratio(as), r);
      s.as = as;
      EXPECT_EQ(f.order(s).n, r + 1);
      // Just above the integer gives the same order; the ceiling would differ only below.
      s.as = std::nextafter(as, 1e9);
      EXPECT_EQ(f.order(s).n, r + 1);
    }
  }
}

TEST(FilterOrderTest, SchemesWithoutAMeaningfulOrderAreRefused) {
  const struct {
    const char* name;
    ToleranceScheme scheme;
    const char* message;
  } cases[] = {
      {"fp = fs", {12 * kMHz, 12 * kMHz, 0.1, 60}, kEdgeOrderMessage},
      {"fp > fs", {13 * kMHz, 12 * kMHz, 0.1, 60}, kEdgeOrderMessage},
      {"fp = 0", {0, 12 * kMHz, 0.1, 60}, kEdgeOrderMessage},
      {"negative fp", {-3 * kMHz, 12 * kMHz, 0.1, 60}, kEdgeOrderMessage},
      {"ap = as", {3 * kMHz, 12 * kMHz, 60, 60}, kAttenuationOrderMessage},
      {"ap > as", {3 * kMHz, 12 * kMHz, 61, 60}, kAttenuationOrderMessage},
      {"ap = 0", {3 * kMHz, 12 * kMHz, 0, 60}, kAttenuationOrderMessage},
      {"negative ap", {3 * kMHz, 12 * kMHz, -0.1, 60}, kAttenuationOrderMessage},
      {"ap lost in rounding", {3 * kMHz, 12 * kMHz, 1e-300, 60}, kOrderTooLargeMessage},
      {"as overflows", {3 * kMHz, 12 * kMHz, 0.1, 1e6}, kOrderTooLargeMessage},
      {"edges too close", {3 * kMHz, 3.0000001 * kMHz, 0.1, 60}, kOrderTooLargeMessage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (auto order : {ButterworthOrder, ChebyshevOrder}) {
      const FilterOrder result = order(c.scheme);
      EXPECT_EQ(result.n, 0);
      EXPECT_EQ(result.refusal, c.message);
    }
  }
}

TEST(FilterOrderTest, BesselOrders) {
  EXPECT_EQ(Factorial(0), 1.0);
  EXPECT_EQ(Factorial(1), 1.0);
  EXPECT_EQ(Factorial(10), 3628800.0);
  EXPECT_NEAR(Factorial(120) / 6.6895029134491270e198, 1.0, 1e-12);

  // Page start values: fs 0.4 MHz, 20 %, 2 us: E(7) ≈ 0.360 > 0.2, E(8) ≈ 0.0404.
  EXPECT_EQ(BesselOrder(0.4 * kMHz, 0.2, 2e-6).n, 8);
  EXPECT_FALSE(BesselOrder(0.4 * kMHz, 0.2, 2e-6).limit_reached);
  EXPECT_EQ(BesselOrder(0.4 * kMHz, 0.37, 2e-6).n, 7);
  EXPECT_EQ(BesselOrder(0, 0.2, 2e-6).n, 1);
  // A tolerance no order meets, and a negative one: the limit.
  const BesselResult never = BesselOrder(100 * kMHz, 0.2, 2e-6);
  EXPECT_EQ(never.n, kBesselMaxOrder);
  EXPECT_TRUE(never.limit_reached);
  EXPECT_TRUE(BesselOrder(0.4 * kMHz, -1, 2e-6).limit_reached);
}

TEST(FilterOrderTest, BesselLimitReachedExactlyAtSixty) {
  // Find x = 2π·fs·T0 for which order 60 is the first to meet 20 %: E(59) > 0.2 >= E(60).
  const auto e = [](int n, double x) {
    const double a = std::pow(2.0, n) * Factorial(n);
    return a * a / Factorial(2 * n) / Factorial(2 * n) * std::pow(x, 2 * n);
  };
  double lo = 1, hi = 1000;  // E(60) at lo is small, at hi large
  for (int i = 0; i < 200; ++i) {
    const double mid = (lo + hi) / 2;
    (e(60, mid) <= 0.2 ? lo : hi) = mid;
  }
  ASSERT_GT(e(59, lo), 0.2);
  const BesselResult r = BesselOrder(lo / (2 * std::numbers::pi), 0.2, 1.0);
  EXPECT_EQ(r.n, 60);
  EXPECT_TRUE(r.limit_reached);
}

TEST(ChebyshevTableTest, RowsMatchTheClosedFormUpToTheLastExactOrder) {
  const ChebyshevCoefficientTable t = BuildChebyshevTable(kChebyshevTableMaxOrder);
  ASSERT_EQ(t.size(), 27u);
  EXPECT_EQ(t[2], (std::vector<std::int32_t>{-1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                             0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  for (int n = 1; n <= kChebyshevTableMaxOrder; ++n) {
    EXPECT_EQ(t[n][n], std::int64_t{1} << (n - 1)) << n;
    for (double x : {-1.0, -0.3, 0.5, 1.0, 1.2}) {
      double sum = 0;
      for (int l = 0; l <= n; ++l)
        sum += t[n][l] * std::pow(x, l);
      EXPECT_NEAR(sum, ClosedChebyshev(n, x), 1e-8 * std::max(1.0, std::abs(sum))) << n << " " << x;
    }
  }
  // The next order no longer fits 32 bits: T_27 has a coefficient beyond the int32 range.
  std::int64_t prev[29] = {1}, cur[29] = {0, 1};
  std::int64_t largest = 0;
  for (int i = 2; i <= 27; ++i) {
    std::int64_t next[29] = {};
    for (int j = 0; j < i; ++j)
      next[j + 1] = 2 * cur[j];
    for (int j = 0; j <= i; ++j)
      next[j] -= prev[j];
    std::copy(cur, cur + 29, prev);
    std::copy(next, next + 29, cur);
  }
  for (std::int64_t c : cur)
    largest = std::max(largest, c < 0 ? -c : c);
  EXPECT_GT(largest, std::int64_t{std::numeric_limits<std::int32_t>::max()});
}

TEST(ChebyshevTableTest, HighOrdersAreEvaluatedCorrectly) {
  for (int n : {26, 27, 30, 40, 60, 200}) {
    for (double x : {-1.0, -0.71, 0.0, 0.3, 0.999, 1.0, 1.0001, 1.05, 2.0}) {
      const double want = ClosedChebyshev(n, x);
      // The coefficient sum loses about 1e-7 to cancellation near x = 1 at order 26; the
      // recurrence used above it keeps close to full precision.
      const double tolerance = n <= kChebyshevTableMaxOrder ? 1e-6 : 1e-9;
      EXPECT_NEAR(ChebyshevPolynomial(n, x), want, tolerance * std::max(1.0, std::abs(want)))
          << n << " " << x;
    }
  }
}

TEST(FilterCurveTest, ButterworthPassesThroughThePreferredEdge) {
  const ToleranceScheme s{3 * kMHz, 12 * kMHz, 0.1, 60};
  // 3 dB frequency: where the curve crosses 10·log10(2), by linear interpolation.
  const auto three_db = [](const AttenuationCurve& c) {
    for (std::size_t i = 1; i < c.size(); ++i)
      if (c[i].y >= 10 * std::log10(2.0))
        return c[i - 1].x +
               (c[i].x - c[i - 1].x) * (10 * std::log10(2.0) - c[i - 1].y) / (c[i].y - c[i - 1].y);
    return 0.0;
  };
  EXPECT_NEAR(three_db(ButterworthCurve(7, PreferredEdge(s, true), SweepEnd(s, false))), 3.924,
              0.001);
  EXPECT_NEAR(three_db(ButterworthCurve(7, PreferredEdge(s, false), SweepEnd(s, false))), 4.473,
              0.001);
  EXPECT_EQ(PreferredEdge(s, false).f, s.fs);
  EXPECT_EQ(PreferredEdge(s, false).a, s.as);
}

TEST(FilterCurveTest, SampleCountsAndEnds) {
  const ToleranceScheme s{3 * kMHz, 12 * kMHz, 0.1, 60};
  const ReferenceEdge ap_edge = PreferredEdge(s, true);
  const struct {
    const char* name;
    AttenuationCurve curve;
    double first_x, last_x_max, last_y;
  } cases[] = {
      {"Butterworth full", ButterworthCurve(7, ap_edge, SweepEnd(s, false)), 0.001, 15, -1},
      {"Butterworth pass band", ButterworthCurve(7, ap_edge, SweepEnd(s, true)), 0.001, 3, 0.1},
      {"Chebyshev pass band", ChebyshevCurve(5, ap_edge, SweepEnd(s, true)), 0.001, 3, 0.1},
      {"Chebyshev 30 pass band", ChebyshevCurve(30, ap_edge, SweepEnd(s, true)), 0.001, 3, 0.1},
      {"Bessel", BesselCurve(8, 2e-6, 0, 0.4 * kMHz), 0, 0.4, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_GE(c.curve.size(), 2000u);
    EXPECT_LE(c.curve.size(), 2002u);
    EXPECT_DOUBLE_EQ(c.curve.front().x, c.first_x);
    EXPECT_LE(c.curve.back().x, c.last_x_max);
    EXPECT_GT(c.curve.back().x, c.last_x_max * (1 - 1e-6));
    if (c.last_y >= 0) {
      EXPECT_NEAR(c.curve.back().y, c.last_y, 1e-3);
    }
    for (std::size_t i = 1; i < c.curve.size(); ++i)
      ASSERT_GT(c.curve[i].x, c.curve[i - 1].x);
  }
  // Bessel: 4.343 dB · (2π f T0)² / (2N − 1) at 0.4 MHz, N = 8.
  const AttenuationCurve bessel = BesselCurve(8, 2e-6, 0, 0.4 * kMHz);
  EXPECT_EQ(bessel.front().y, 0.0);
  const double wt = 2 * std::numbers::pi * bessel.back().x * 1e6 * 2e-6;
  EXPECT_NEAR(bessel.back().y, 10 * std::log10(std::numbers::e) * wt * wt / 15, 1e-9);
}

TEST(FilterCurveTest, DegenerateSweepsEnd) {
  const ReferenceEdge edge{3 * kMHz, 0.1};
  EXPECT_TRUE(ButterworthCurve(7, edge, 999).empty());
  EXPECT_EQ(ButterworthCurve(7, edge, 1000).size(), 1u);
  EXPECT_EQ(ChebyshevCurve(5, edge, 1000).size(), 1u);
  EXPECT_EQ(BesselCurve(8, 2e-6, 0, 0).size(), 1u);
  EXPECT_TRUE(BesselCurve(8, 2e-6, 0, -1).empty());
  // A step lost in rounding against the start frequency.
  EXPECT_EQ(BesselCurve(8, 2e-6, 1e30, 1).size(), 1u);
}

}  // namespace
}  // namespace vexa
