// The Touchstone reader: good files in each format, unit and port count, the conversion of S11
// to impedance and 50-ohm reflection, the report, every refusal with its message, and files.
#include "matching/touchstone.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace vexa {
namespace {

using Complex = std::complex<double>;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.14159265358979323846;

struct GoodCase {
  const char* name;
  int ports;
  std::string text;
  double reference_ohms;
  std::vector<TouchstonePoint> points;
};

TEST(TouchstoneParse, ReadsEachFormatUnitAndLayout) {
  const GoodCase cases[] = {
      {"RI, GHz",
       1,
       "# GHZ S RI R 50\n1 0.5 -0.25\n2.5 0 0\n",
       50,
       {{1e9, {0.5, -0.25}}, {2.5e9, {0, 0}}}},
      {"MA, default option line",
       1,
       "#\n1.5 0.5 90\n1.6 0.25 -180\n",
       50,
       {{1.5e9, {0, 0.5}}, {1.6e9, {-0.25, 0}}}},
      {"no option line: GHz MA", 1, "0.9 1 270\n", 50, {{0.9e9, {0, -1}}}},
      {"DB, MHz",
       1,
       "# MHZ S DB R 50\n900 -6.0205999132796239 45\n",
       50,
       {{900e6, std::polar(0.5, kPi / 4)}}},
      {"kHz, any order and case", 1, "# ri r 75 s kHz\n10 0.1 0.2\n", 75, {{10e3, {0.1, 0.2}}}},
      {"Hz, signs and exponents",
       1,
       "# Hz S RI R 12.5\n+1e3 +.5 -5E-1\n2e3 1. -0\n",
       12.5,
       {{1e3, {0.5, -0.5}}, {2e3, {1, 0}}}},
      {"2 ports: S11 of S11 S21 S12 S22",
       2,
       "# GHZ S RI R 50\n1 0.1 0.2 0.9 0 0.9 0 0.3 0.4\n2 -0.1 0 1 1 1 1 0 0\n",
       50,
       {{1e9, {0.1, 0.2}}, {2e9, {-0.1, 0}}}},
      {"comments, blank lines, CR LF, tabs",
       1,
       "! header\r\n\r\n# MHZ S RI\r\n  ! indented\r\n100\t0.25 0.5 ! trailing\r\n\t\r\n"
       "200 0 -0.5",
       50,
       {{100e6, {0.25, 0.5}}, {200e6, {0, -0.5}}}},
      {"a second option line is ignored",
       1,
       "# HZ S RI\n1 0 0\n# GHZ Y\n2 0 0\n",
       50,
       {{1, {0, 0}}, {2, {0, 0}}}},
      {"byte order mark, 0 Hz first", 1, "\xEF\xBB\xBF# HZ RI\n0 0.5 0\n", 50, {{0, {0.5, 0}}}},
  };
  for (const GoodCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TouchstoneResult result = ParseTouchstone(c.text, c.ports);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.data.ports, c.ports);
    EXPECT_EQ(result.data.reference_ohms, c.reference_ohms);
    ASSERT_EQ(result.data.points.size(), c.points.size());
    for (std::size_t i = 0; i < c.points.size(); ++i) {
      EXPECT_EQ(result.data.points[i].frequency_hz, c.points[i].frequency_hz) << i;
      EXPECT_NEAR(result.data.points[i].s11.real(), c.points[i].s11.real(), 1e-15) << i;
      EXPECT_NEAR(result.data.points[i].s11.imag(), c.points[i].s11.imag(), 1e-15) << i;
    }
  }
}

// Γ50 from first principles: the impedance, then its reflection against 50 ohms.
Complex DirectGamma50(Complex s11, double reference) {
  const Complex z = reference * (1.0 + s11) / (1.0 - s11);
  return (z - 50.0) / (z + 50.0);
}

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

TEST(TouchstoneParse, SameDataInThreeFormatsGivesTheSameGamma) {
  const Complex values[] = {{0.2, -0.3}, {-0.7, 0.1}, {0, 0.999}, {0.01, 0}, {-0.5, -0.5}};
  const double reference = 75;
  std::string ri = "# MHZ S RI R 75\n";
  std::string ma = "# MHZ S MA R 75\n";
  std::string db = "# MHZ S DB R 75\n";
  for (std::size_t i = 0; i < std::size(values); ++i) {
    const std::string f = std::to_string(800 + i) + ' ';
    const std::string angle = Number(std::arg(values[i]) * 180 / kPi);
    ri += f + Number(values[i].real()) + ' ' + Number(values[i].imag()) + '\n';
    ma += f + Number(std::abs(values[i])) + ' ' + angle + '\n';
    db += f + Number(20 * std::log10(std::abs(values[i]))) + ' ' + angle + '\n';
  }
  for (const std::string& text : {ri, ma, db}) {
    SCOPED_TRACE(text);
    const TouchstoneResult result = ParseTouchstone(text, 1);
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.data.points.size(), std::size(values));
    for (std::size_t i = 0; i < std::size(values); ++i) {
      const Complex expected = DirectGamma50(values[i], reference);
      const Complex gamma = PointGamma50(result.data.points[i], result.data.reference_ohms);
      EXPECT_NEAR(gamma.real(), expected.real(), 1e-12) << i;
      EXPECT_NEAR(gamma.imag(), expected.imag(), 1e-12) << i;
    }
  }
}

struct WorkedCase {
  const char* name;
  Complex s11;
  double reference;
  double r, x, gamma, vswr;  // the report's numbers
};

std::vector<double> Fields(const std::string& line) {
  std::vector<double> fields;
  std::istringstream words(line);
  std::string word;
  while (words >> word)
    fields.push_back(std::strtod(word.c_str(), nullptr));
  return fields;
}

void ExpectClose(double actual, double expected, const char* what) {
  if (std::isinf(expected))
    EXPECT_EQ(actual, expected) << what;
  else
    EXPECT_NEAR(actual, expected, 1e-12 * std::max(1.0, std::abs(expected))) << what;
}

TEST(TouchstoneReport, WorkedImpedancesAndReflections) {
  const WorkedCase cases[] = {
      {"matched", {0, 0}, 50, 50, 0, 0, 1},
      {"S11 = 1/3: 100 ohms", {1.0 / 3, 0}, 50, 100, 0, 1.0 / 3, 2},
      {"S11 = j/2: 30 + j40", {0, 0.5}, 50, 30, 40, 0.5, 3},
      {"short", {-1, 0}, 50, 0, 0, 1, kInf},
      {"open", {1, 0}, 50, kInf, kInf, 1, kInf},
      {"open, 25-ohm file", {1, 0}, 25, kInf, kInf, 1, kInf},
      {"beyond double: near the open", {1, -1e-307}, 50, kInf, kInf, 1, kInf},
      {"75-ohm file, matched there", {0, 0}, 75, 75, 0, 0.2, 1.5},
      {"100-ohm file, 50 ohms", {-1.0 / 3, 0}, 100, 50, 0, 0, 1},
      {"25-ohm file, 50 ohms", {1.0 / 3, 0}, 25, 50, 0, 0, 1},
      {"25-ohm file, matched there", {0, 0}, 25, 25, 0, 1.0 / 3, 2},
      {"|S11| > 1: -50 ohms", {-2, 0}, 150, -50, 0, kInf, kInf},
  };
  for (const WorkedCase& c : cases) {
    SCOPED_TRACE(c.name);
    TouchstoneData data;
    data.reference_ohms = c.reference;
    data.points = {{1e9, c.s11}};
    const std::vector<std::string> lines = TouchstoneReport(data);
    ASSERT_EQ(lines.size(), 1u);
    const std::vector<double> fields = Fields(lines[0]);
    ASSERT_EQ(fields.size(), 5u) << lines[0];
    EXPECT_EQ(fields[0], 1e9);
    ExpectClose(fields[1], c.r, "R");
    ExpectClose(fields[2], c.x, "X");
    ExpectClose(fields[3], c.gamma, "|gamma|");
    ExpectClose(fields[4], c.vswr, "VSWR");
  }
  // An open gives Γ50 = 1 exactly, whatever the file's reference.
  EXPECT_EQ(PointGamma50({1e9, {1, 0}}, 75), Complex(1, 0));
  EXPECT_EQ(PointImpedance({1e9, {1, 0}}, 75), Complex(kInf, kInf));
}

TEST(TouchstoneReport, PrintsSeventeenDigitsAndExactText) {
  TouchstoneData data;
  data.points = {{0.1, {0.5, 0}}, {2e9, {1, 0}}, {3e9, {-1, 0}}, {4e9, {0, 0}}};
  const std::vector<std::string> expected = {
      "0.10000000000000001 150 0 0.5 3",
      "2000000000 inf inf 1 inf",
      "3000000000 0 0 1 inf",
      "4000000000 50 0 0 1",
  };
  EXPECT_EQ(TouchstoneReport(data), expected);
  EXPECT_TRUE(TouchstoneReport(TouchstoneData{}).empty());
}

struct BrokenCase {
  int ports;
  std::string text;
  const char* error;
};

TEST(TouchstoneParse, RefusesBrokenFilesNamingTheLine) {
  const BrokenCase cases[] = {
      {1, "# HZ S RI\n1 0.5\n", "line 2: expected 3 numbers, found 2"},
      {1, "! c\n\n1 0 0 0\n", "line 3: expected 3 numbers, found 4"},
      {2, "# HZ S RI\n1 0 0\n", "line 2: expected 9 numbers, found 3"},
      {2, "# HZ S RI\n1 0 0 1 0 1 0 0 0\n2 2 0.5 10 0.3\n",
       "line 3: expected 9 numbers, found 5 (a noise-parameter block must start at or below the "
       "last network frequency)"},
      {2, "# HZ S RI\n1 0 0 1 0 1 0 0 0\n1 2 0.5 10 0.3\n1 2 0.5 10 0.3\n",
       "line 4: noise frequency 1 Hz is not above the previous 1 Hz"},
      {2, "# HZ S RI\n1 0 0 1 0 1 0 0 0\n1 2 0.5 10 0.3\n2 0 0 1 0 1 0 0 0\n",
       "line 4: expected 5 numbers in the noise-parameter block, found 9"},
      {2, "# HZ S RI\n1 0 0 1 0 1 0 0 0\n1 2 0.5x 10 0.3\n", "line 3: bad number \"0.5x\""},
      {1, "# HZ S RI\n\n1 0.5x 0\n", "line 3: bad number \"0.5x\""},
      {1, "1 0,5 0\n", "line 1: bad number \"0,5\""},
      {1, "1 +-5 0\n", "line 1: bad number \"+-5\""},
      {1, "1 0 0x1p3\n", "line 1: bad number \"0x1p3\""},
      {1, "1 0 \x01\n", "line 1: bad number \"\\x01\""},
      {1, "1 NaN 0\n", "line 1: not a finite number \"NaN\""},
      {1, "1 0 -inf\n", "line 1: not a finite number \"-inf\""},
      {1, "1 1e999 0\n", "line 1: number out of range \"1e999\""},
      {1, "1 1e-999 0\n", "line 1: number out of range \"1e-999\""},
      {1, "# HZ RI\n2 0 0\n1 0 0\n", "line 3: frequency 1 Hz is not above the previous 2 Hz"},
      {1, "# KHZ RI\n2 0 0\n2 0 0\n",
       "line 3: frequency 2000 Hz is not above the previous 2000 Hz"},
      {1, "-1 0 0\n", "line 1: negative frequency \"-1\""},
      {1, "1e300 0 0\n", "line 1: frequency out of range \"1e300\""},
      {1, "# MA\n1 -0.5 0\n", "line 2: negative magnitude \"-0.5\""},
      {1, "# DB\n1 7000 0\n", "line 2: magnitude out of range \"7000\" dB"},
      {1, "# GHZ Y RI\n1 0 0\n", "line 1: Y parameters are not supported, only S"},
      {2, "# z\n", "line 1: Z parameters are not supported, only S"},
      {1, "# GHZ S XY\n", "line 1: unknown option \"XY\""},
      {1, "# GHZ MHZ\n", "line 1: option line gives the frequency unit twice"},
      {1, "# RI MA\n", "line 1: option line gives the data format twice"},
      {1, "1 0 0\n# HZ\n", "line 2: option line after the data"},
      {1, "! c\n[Version] 2.0\n",
       "line 2: Touchstone 2.0 keyword \"[Version]\" is not supported (version 1 only)"},
      {2, "  [Number of Ports] 2\n",
       "line 1: Touchstone 2.0 keyword \"[Number of Ports]\" is not supported (version 1 only)"},
      {1, "! only comments\n# GHZ S RI\n\n", "no data points"},
      {1, "", "no data points"},
      {1, "# R 0\n", "line 1: reference impedance must be above 0 ohms, found \"0\""},
      {1, "# R -50\n", "line 1: reference impedance must be above 0 ohms, found \"-50\""},
      {1, "# GHZ R\n", "line 1: R without a reference impedance"},
      {1, "# R abc\n", "line 1: reference impedance: bad number \"abc\""},
      {1, "# R inf\n", "line 1: reference impedance: not a finite number \"inf\""},
      {1, "# R 50 R 75\n", "line 1: option line gives the reference impedance twice"},
      {1, "1 0 " + std::string(40, '7') + "x\n",
       "line 1: bad number \"77777777777777777777777777777777...\""},
      {3, "1 0 0\n", "unsupported port count 3 (1 or 2)"},
  };
  for (const BrokenCase& c : cases) {
    SCOPED_TRACE(c.text);
    const TouchstoneResult result = ParseTouchstone(c.text, c.ports);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, c.error);
    EXPECT_TRUE(result.data.points.empty());
    EXPECT_EQ(result.data.ports, 1);
    EXPECT_EQ(result.data.reference_ohms, 50);
  }
}

TEST(TouchstoneParse, LimitsThePointCount) {
  std::string text = "# HZ RI\n";
  text.reserve(text.size() + (kTouchstoneMaxPoints + 1) * 16);
  for (std::size_t i = 1; i <= kTouchstoneMaxPoints + 1; ++i)
    text += std::to_string(i) + " 0 0\n";
  const TouchstoneResult result = ParseTouchstone(text, 1);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "line 1000002: more than 1000000 data points");
}

class TouchstoneFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("touchstone_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  std::filesystem::path dir_;
};

TEST_F(TouchstoneFile, ReadsByExtensionAndRefusesWhatItCannotRead) {
  const TouchstoneResult one = ReadTouchstoneFile(Write("antenna.S1P", "# MHZ RI\n900 0.5 0\n"));
  ASSERT_TRUE(one.ok) << one.error;
  EXPECT_EQ(one.data.ports, 1);
  ASSERT_EQ(one.data.points.size(), 1u);
  EXPECT_EQ(one.data.points[0].frequency_hz, 900e6);
  EXPECT_EQ(one.data.points[0].s11, Complex(0.5, 0));

  const TouchstoneResult two =
      ReadTouchstoneFile(Write("port.s2p", "# MHZ RI\r\n900 0.5 0 1 0 1 0 0 0\r\n"));
  ASSERT_TRUE(two.ok) << two.error;
  EXPECT_EQ(two.data.ports, 2);
  EXPECT_EQ(two.data.points.size(), 1u);

  // An amplifier's file with its noise-parameter block: the network data is read, the block
  // (checked) is left aside.
  const TouchstoneResult amplifier = ReadTouchstoneFile(
      Write("lna.s2p",
            "# GHZ S MA R 50\n! freq S11 S21 S12 S22\n0.8 0.6 -40 8 120 0.05 60 0.4 -30\n"
            "1.0 0.55 -50 7.5 110 0.05 55 0.38 -35\n! noise: freq NFmin |Gopt| <Gopt rn\n"
            "0.8 0.9 0.3 40 0.2\n1.0 1.0 0.28 45 0.19\n"));
  ASSERT_TRUE(amplifier.ok) << amplifier.error;
  ASSERT_EQ(amplifier.data.points.size(), 2u);
  EXPECT_EQ(amplifier.data.points[1].frequency_hz, 1e9);
  EXPECT_NEAR(std::abs(amplifier.data.points[1].s11), 0.55, 1e-12);

  // The same 1-port text in a .s2p file is refused by the 2-port rule.
  EXPECT_EQ(ReadTouchstoneFile(Write("short.s2p", "900 0.5 0\n")).error,
            "line 1: expected 9 numbers, found 3");

  const std::string missing = (dir_ / "missing.s1p").string();
  EXPECT_EQ(ReadTouchstoneFile(missing).error,
            "cannot open \"" + missing + "\": No such file or directory");

  const std::string text = Write("antenna.txt", "900 0.5 0\n");
  EXPECT_EQ(ReadTouchstoneFile(text).error,
            "\"" + text + "\" is not a Touchstone file (.s1p or .s2p)");
  const std::string folder = (dir_ / "folder.s1p").string();
  std::filesystem::create_directories(folder);
  EXPECT_EQ(ReadTouchstoneFile(folder).error, "\"" + folder + "\" is a directory");
  EXPECT_EQ(ReadTouchstoneFile(folder + "/noext").error,
            "\"" + folder + "/noext\" is not a Touchstone file (.s1p or .s2p)");

  const std::string huge = Write("huge.s1p", "");
  std::filesystem::resize_file(huge, kTouchstoneMaxFileBytes + 1);
  const TouchstoneResult refused = ReadTouchstoneFile(huge);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error, "\"" + huge + "\" is larger than 64 MiB");
}

}  // namespace
}  // namespace vexa
