// Fuzz target for the Touchstone reader.
//
// Input: the bytes of a file, read once as a 1-port and once as a 2-port file. Invariants:
//   refused: no data, a non-empty printable message, and a "line N" in it within the text;
//   read:    1..kTouchstoneMaxPoints points, frequencies finite, >= 0 and strictly rising,
//            S11 finite, the reference finite and positive; one report line per point with
//            five single-blank-separated numbers (or "inf"), never NaN; and the points written
//            back as an RI file in Hz read again into the same values.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "matching/touchstone.h"

namespace vexa::fuzz {
namespace {

std::string Context(std::string_view input, int ports) {
  return std::to_string(ports) + "-port \"" + Escaped(input) + "\"";
}

void CheckRefusal(const TouchstoneResult& result, std::string_view input, int ports) {
  const auto context = [&] { return Context(input, ports); };
  FUZZ_CHECK(
      result.data.points.empty() && result.data.ports == 1 && result.data.reference_ohms == 50,
      "data kept on a refusal: " + context());
  FUZZ_CHECK(!result.error.empty(), "refusal without a message: " + context());
  for (const char c : result.error)
    FUZZ_CHECK(c >= ' ' && c <= '~', "unprintable message " + Escaped(result.error));
  if (result.error.rfind("line ", 0) == 0) {
    std::size_t line = 0;
    const char* begin = result.error.data() + 5;
    const auto parsed = std::from_chars(begin, result.error.data() + result.error.size(), line);
    std::size_t lines = 1;
    for (const char c : input)
      lines += c == '\n';
    FUZZ_CHECK(parsed.ec == std::errc() && *parsed.ptr == ':' && line >= 1 && line <= lines,
               result.error + " for " + context());
  }
}

template <typename ContextFn>
void CheckReport(const TouchstoneData& data, const ContextFn& context) {
  const std::vector<std::string> lines = TouchstoneReport(data);
  FUZZ_CHECK(lines.size() == data.points.size(), "report size: " + context());
  for (const std::string& line : lines) {
    std::size_t fields = 0;
    std::size_t start = 0;
    while (start <= line.size()) {
      std::size_t end = line.find(' ', start);
      if (end == std::string::npos)
        end = line.size();
      const std::string_view field(line.data() + start, end - start);
      double value = 0;
      const auto parsed = std::from_chars(field.data(), field.data() + field.size(), value);
      FUZZ_CHECK(!field.empty() && parsed.ec == std::errc() &&
                     parsed.ptr == field.data() + field.size() && !std::isnan(value) &&
                     (std::isfinite(value) || field == "inf"),
                 "report field \"" + std::string(field) + "\" in \"" + line + "\": " + context());
      ++fields;
      start = end + 1;
    }
    FUZZ_CHECK(fields == 5, "report line \"" + line + "\": " + context());
  }
}

std::string Printed(double value) {
  char text[40];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 17);
  return std::string(text, result.ptr);
}

void CheckRead(const TouchstoneResult& result, std::string_view input, int ports) {
  const auto context = [&] { return Context(input, ports); };
  const TouchstoneData& data = result.data;
  FUZZ_CHECK(result.error.empty() && data.ports == ports, "ok result: " + context());
  FUZZ_CHECK(!data.points.empty() && data.points.size() <= kTouchstoneMaxPoints,
             std::to_string(data.points.size()) + " points: " + context());
  FUZZ_CHECK(std::isfinite(data.reference_ohms) && data.reference_ohms > 0,
             "reference " + Printed(data.reference_ohms) + ": " + context());
  for (std::size_t i = 0; i < data.points.size(); ++i) {
    const TouchstonePoint& point = data.points[i];
    FUZZ_CHECK(std::isfinite(point.frequency_hz) && point.frequency_hz >= 0 &&
                   (i == 0 || point.frequency_hz > data.points[i - 1].frequency_hz),
               "frequency " + Printed(point.frequency_hz) + ": " + context());
    FUZZ_CHECK(std::isfinite(point.s11.real()) && std::isfinite(point.s11.imag()),
               "S11 of point " + std::to_string(i) + ": " + context());
  }
  CheckReport(data, context);

  // Written back as a 1-port RI file in Hz, the points read again unchanged.
  std::string text = "# HZ S RI R " + Printed(data.reference_ohms) + "\n";
  for (const TouchstonePoint& point : data.points)
    text += Printed(point.frequency_hz) + ' ' + Printed(point.s11.real()) + ' ' +
            Printed(point.s11.imag()) + '\n';
  const TouchstoneResult again = ParseTouchstone(text, 1);
  FUZZ_CHECK(again.ok, "written back as " + Escaped(text) + ": " + again.error + "; " + context());
  FUZZ_CHECK(again.data.reference_ohms == data.reference_ohms &&
                 again.data.points.size() == data.points.size(),
             "written back: " + context());
  for (std::size_t i = 0; i < data.points.size(); ++i)
    FUZZ_CHECK(again.data.points[i].frequency_hz == data.points[i].frequency_hz &&
                   again.data.points[i].s11 == data.points[i].s11,
               "point " + std::to_string(i) + " written back: " + context());
}

}  // namespace
}  // namespace vexa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  for (const int ports : {1, 2}) {
    const vexa::TouchstoneResult result = vexa::ParseTouchstone(input, ports);
    if (result.ok)
      vexa::fuzz::CheckRead(result, input, ports);
    else
      vexa::fuzz::CheckRefusal(result, input, ports);
  }
  return 0;
}
