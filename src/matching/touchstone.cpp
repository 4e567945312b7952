#include "matching/touchstone.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <system_error>

#include "core/file_reader.h"

namespace vexa {
namespace {

using Complex = std::complex<double>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A token or keyword for a message: in quotes, at most 32 bytes, bytes outside ' '..'~' as
// \xNN, so a message stays one printable line whatever the file holds.
std::string Quoted(std::string_view text) {
  constexpr std::size_t kShown = 32;
  std::string out = "\"";
  for (const char c : text.substr(0, kShown)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= ' ' && byte <= '~') {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", byte);
      out += hex;
    }
  }
  if (text.size() > kShown)
    out += "...";
  return out + '"';
}

// A file name for a message, whole and as it is (the caller's text, not the file's).
std::string QuotedPath(const std::string& path) {
  return '"' + path + '"';
}

// %.17g in the C locale; -0 prints as 0.
std::string Formatted(double value) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value + 0.0, std::chars_format::general, 17);
  return std::string(buffer, result.ptr);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::vector<std::string_view> Tokens(std::string_view line) {
  std::vector<std::string_view> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i]))
      ++i;
    const std::size_t start = i;
    while (i < line.size() && !IsBlank(line[i]))
      ++i;
    if (i > start)
      tokens.push_back(line.substr(start, i - start));
  }
  return tokens;
}

// The whole token as a decimal number, or the reason it is not one.
std::optional<std::string> ReadNumber(std::string_view token, double& value) {
  std::string_view digits = token;
  if (!digits.empty() && digits.front() == '+') {
    digits.remove_prefix(1);
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
      return "bad number " + Quoted(token);
  }
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (result.ec == std::errc::result_out_of_range && result.ptr == digits.data() + digits.size())
    return "number out of range " + Quoted(token);
  if (result.ec != std::errc() || result.ptr != digits.data() + digits.size())
    return "bad number " + Quoted(token);
  if (!std::isfinite(value))
    return "not a finite number " + Quoted(token);
  return std::nullopt;
}

enum class Format { kRealImaginary, kMagnitudeAngle, kDecibelAngle };

struct Options {
  double hz_per_unit = 1e9;
  Format format = Format::kMagnitudeAngle;
  double reference_ohms = 50;
};

// The tokens after '#'; each kind of token at most once.
std::optional<std::string> ReadOptions(const std::vector<std::string_view>& tokens,
                                       Options& options) {
  bool unit = false;
  bool parameter = false;
  bool format = false;
  bool reference = false;
  const auto once = [](bool& seen, const char* what) -> std::optional<std::string> {
    if (seen)
      return std::string("option line gives the ") + what + " twice";
    seen = true;
    return std::nullopt;
  };
  static constexpr std::pair<const char*, double> kUnits[] = {
      {"HZ", 1}, {"KHZ", 1e3}, {"MHZ", 1e6}, {"GHZ", 1e9}};
  static constexpr std::pair<const char*, Format> kFormats[] = {{"RI", Format::kRealImaginary},
                                                                {"MA", Format::kMagnitudeAngle},
                                                                {"DB", Format::kDecibelAngle}};
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string_view token = tokens[i];
    std::optional<std::string> error;
    const auto unit_it = std::find_if(std::begin(kUnits), std::end(kUnits),
                                      [&](const auto& u) { return EqualsNoCase(token, u.first); });
    const auto format_it =
        std::find_if(std::begin(kFormats), std::end(kFormats),
                     [&](const auto& f) { return EqualsNoCase(token, f.first); });
    if (unit_it != std::end(kUnits)) {
      error = once(unit, "frequency unit");
      options.hz_per_unit = unit_it->second;
    } else if (format_it != std::end(kFormats)) {
      error = once(format, "data format");
      options.format = format_it->second;
    } else if (EqualsNoCase(token, "S")) {
      error = once(parameter, "parameter");
    } else if (EqualsNoCase(token, "Y") || EqualsNoCase(token, "Z") || EqualsNoCase(token, "H") ||
               EqualsNoCase(token, "G")) {
      return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(token[0])))) +
             " parameters are not supported, only S";
    } else if (EqualsNoCase(token, "R")) {
      if (auto seen = once(reference, "reference impedance"))
        return seen;
      if (i + 1 == tokens.size())
        return "R without a reference impedance";
      ++i;
      if (auto bad = ReadNumber(tokens[i], options.reference_ohms))
        return "reference impedance: " + *bad;
      if (!(options.reference_ohms > 0))
        return "reference impedance must be above 0 ohms, found " + Quoted(tokens[i]);
    } else {
      return "unknown option " + Quoted(token);
    }
    if (error)
      return error;
  }
  return std::nullopt;
}

// magnitude·e^(j·degrees), exact at the multiples of 90 degrees.
Complex FromPolar(double magnitude, double degrees) {
  const double turn = std::fmod(degrees, 360.0);  // exact, in (−360, 360)
  const double quarters = std::round(turn / 90.0);
  const double radians = (turn - quarters * 90.0) * (kPi / 180.0);
  const double c = std::cos(radians);
  const double s = std::sin(radians);
  Complex unit;
  switch ((static_cast<int>(quarters) % 4 + 4) % 4) {
    case 0:
      unit = {c, s};
      break;
    case 1:
      unit = {-s, c};
      break;
    case 2:
      unit = {-c, -s};
      break;
    default:
      unit = {s, -c};
      break;
  }
  return magnitude * unit;
}

// One pair of numbers in the file's format as a complex value, or why it cannot be one.
std::optional<std::string> ReadPair(Format format, double first, double second,
                                    std::string_view first_token, Complex& value) {
  switch (format) {
    case Format::kRealImaginary:
      value = {first, second};
      return std::nullopt;
    case Format::kMagnitudeAngle:
      if (first < 0)
        return "negative magnitude " + Quoted(first_token);
      value = FromPolar(first, second);
      return std::nullopt;
    case Format::kDecibelAngle: {
      const double magnitude = std::pow(10.0, first / 20);
      if (!std::isfinite(magnitude))
        return "magnitude out of range " + Quoted(first_token) + " dB";
      value = FromPolar(magnitude, second);
      return std::nullopt;
    }
  }
  return std::nullopt;
}

class Parser {
 public:
  explicit Parser(int ports) : ports_(ports) {}

  // The error message with its line, or nothing when the text is read.
  std::optional<std::string> Run(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
      text.remove_prefix(kByteOrderMark.size());
    std::size_t line_number = 0;
    while (!text.empty()) {
      ++line_number;
      const std::size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
      if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
      if (auto error = ReadLine(line.substr(0, line.find('!'))))
        return "line " + std::to_string(line_number) + ": " + *error;
    }
    if (points_.empty())
      return "no data points";
    return std::nullopt;
  }

  std::vector<TouchstonePoint> TakePoints() { return std::move(points_); }
  double ReferenceOhms() const { return options_.reference_ohms; }

 private:
  std::optional<std::string> ReadLine(std::string_view line) {
    const std::vector<std::string_view> tokens = Tokens(line);
    if (tokens.empty())
      return std::nullopt;
    if (tokens.front().front() == '#') {
      // Only the first option line counts; later ones are ignored.
      if (option_line_seen_)
        return std::nullopt;
      if (!points_.empty())
        return "option line after the data";
      option_line_seen_ = true;
      std::vector<std::string_view> options = tokens;
      options.front().remove_prefix(1);
      if (options.front().empty())
        options.erase(options.begin());
      return ReadOptions(options, options_);
    }
    if (tokens.front().front() == '[') {
      const std::size_t start = line.find('[');
      const std::size_t close = line.find(']', start);
      const std::string_view keyword =
          close == std::string_view::npos ? tokens.front() : line.substr(start, close - start + 1);
      return "Touchstone 2.0 keyword " + Quoted(keyword) + " is not supported (version 1 only)";
    }
    return ReadPoint(tokens);
  }

  std::optional<std::string> ReadPoint(const std::vector<std::string_view>& tokens) {
    numbers_.resize(tokens.size());
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      if (auto error = ReadNumber(tokens[i], numbers_[i]))
        return error;
    }
    // A 2-port file may end with a noise-parameter block (frequency, minimum noise figure,
    // optimum source reflection as magnitude and angle, normalised resistance). Its first
    // frequency is at or below the last network frequency, which is how it is told apart;
    // the chart shows S11 only, so its lines are checked and then left aside.
    if (ports_ == 2 && tokens.size() == 5 && (in_noise_block_ || !points_.empty())) {
      if (!(numbers_[0] >= 0))
        return "negative frequency " + Quoted(tokens[0]);
      const double hz = numbers_[0] * options_.hz_per_unit + 0.0;
      if (!std::isfinite(hz))
        return "frequency out of range " + Quoted(tokens[0]);
      if (!in_noise_block_ && hz > points_.back().frequency_hz) {
        return "expected 9 numbers, found 5 (a noise-parameter block must start at or below "
               "the last network frequency)";
      }
      if (in_noise_block_ && !(hz > last_noise_hz_))
        return "noise frequency " + Formatted(hz) + " Hz is not above the previous " +
               Formatted(last_noise_hz_) + " Hz";
      in_noise_block_ = true;
      last_noise_hz_ = hz;
      return std::nullopt;
    }
    const std::size_t expected = ports_ == 1 ? 3 : 9;
    if (tokens.size() != expected || in_noise_block_) {
      if (in_noise_block_)
        return "expected 5 numbers in the noise-parameter block, found " +
               std::to_string(tokens.size());
      return "expected " + std::to_string(expected) + " numbers, found " +
             std::to_string(tokens.size());
    }
    if (numbers_[0] < 0)
      return "negative frequency " + Quoted(tokens[0]);
    const double hz = numbers_[0] * options_.hz_per_unit + 0.0;
    if (!std::isfinite(hz))
      return "frequency out of range " + Quoted(tokens[0]);
    if (!points_.empty() && !(hz > points_.back().frequency_hz))
      return "frequency " + Formatted(hz) + " Hz is not above the previous " +
             Formatted(points_.back().frequency_hz) + " Hz";
    if (points_.size() == kTouchstoneMaxPoints)
      return "more than " + std::to_string(kTouchstoneMaxPoints) + " data points";
    TouchstonePoint point;
    point.frequency_hz = hz;
    for (std::size_t i = 1; i < expected; i += 2) {
      Complex value;
      if (auto error = ReadPair(options_.format, numbers_[i], numbers_[i + 1], tokens[i], value))
        return error;
      if (i == 1)
        point.s11 = value;
    }
    points_.push_back(point);
    return std::nullopt;
  }

  int ports_;
  Options options_;
  bool option_line_seen_ = false;
  bool in_noise_block_ = false;
  double last_noise_hz_ = 0;
  std::vector<double> numbers_;
  std::vector<TouchstonePoint> points_;
};

TouchstoneResult Refused(std::string error) {
  TouchstoneResult result;
  result.error = std::move(error);
  return result;
}

}  // namespace

TouchstoneResult ParseTouchstone(std::string_view text, int ports) {
  if (ports != 1 && ports != 2)
    return Refused("unsupported port count " + std::to_string(ports) + " (1 or 2)");
  Parser parser(ports);
  if (auto error = parser.Run(text))
    return Refused(std::move(*error));
  TouchstoneResult result;
  result.ok = true;
  result.data.ports = ports;
  result.data.reference_ohms = parser.ReferenceOhms();
  result.data.points = parser.TakePoints();
  return result;
}

TouchstoneResult ReadTouchstoneFile(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  const std::string_view extension =
      dot == std::string::npos || (slash != std::string::npos && dot < slash)
          ? std::string_view()
          : std::string_view(path).substr(dot);
  int ports = 0;
  if (EqualsNoCase(extension, ".s1p"))
    ports = 1;
  else if (EqualsNoCase(extension, ".s2p"))
    ports = 2;
  else
    return Refused(QuotedPath(path) + " is not a Touchstone file (.s1p or .s2p)");

  const std::size_t cap = static_cast<std::size_t>(kTouchstoneMaxFileBytes);
  const FileReadResult file = ReadFileCapped(path, cap);
  if (file.status == FileReadStatus::kCannotOpen)
    return Refused("cannot open " + QuotedPath(path) + ": " + std::strerror(file.error));
  if (file.status == FileReadStatus::kCannotRead)
    return Refused("cannot read " + QuotedPath(path) + ": " + std::strerror(file.error));
  if (!file.ok())  // "is a directory", "is larger than 64 MiB", ...
    return Refused(QuotedPath(path) + " " + FileReadReason(file, cap));
  return ParseTouchstone(file.bytes, ports);
}

Complex PointImpedance(const TouchstonePoint& point, double reference_ohms) {
  const Complex denominator = 1.0 - point.s11;
  if (denominator == Complex(0, 0))
    return {kInfinity, kInfinity};
  const Complex z = reference_ohms * ((1.0 + point.s11) / denominator);
  if (!std::isfinite(z.real()) || !std::isfinite(z.imag()))
    return {kInfinity, kInfinity};
  return z;
}

Complex PointGamma50(const TouchstonePoint& point, double reference_ohms) {
  // Γ50 = (a·u − v) / (a·u + v) with u = 1 + S11, v = 1 − S11, a = Zref / 50. Scaling u and v
  // by the size of S11, and the pair by a, keeps every term within a few units.
  Complex s = point.s11;
  double scale = 1;
  const double size = std::max(std::abs(s.real()), std::abs(s.imag()));
  if (size > 1) {
    scale = 1 / size;
    s *= scale;
  }
  const Complex u = scale + s;
  const Complex v = scale - s;
  if (v == Complex(0, 0))
    return {1, 0};
  const double a = reference_ohms / 50;
  const Complex numerator = a >= 1 ? u - v / a : a * u - v;
  const Complex denominator = a >= 1 ? u + v / a : a * u + v;
  if (denominator == Complex(0, 0))
    return {kInfinity, 0};
  return numerator / denominator;
}

std::vector<std::string> TouchstoneReport(const TouchstoneData& data) {
  std::vector<std::string> lines;
  lines.reserve(data.points.size());
  for (const TouchstonePoint& point : data.points) {
    const Complex z = PointImpedance(point, data.reference_ohms);
    const double gamma = std::abs(PointGamma50(point, data.reference_ohms));
    std::string line = Formatted(point.frequency_hz) + ' ';
    line += std::isfinite(z.real()) ? Formatted(z.real()) + ' ' + Formatted(z.imag()) : "inf inf";
    line += ' ' + Formatted(gamma) + ' ';
    line += gamma >= 1 ? std::string("inf") : Formatted((1 + gamma) / (1 - gamma));
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace vexa
