// Fuzz target for the harmonics list a click on a band's transmit label shows
// (AppendHarmonicsFromText), on every band.
//
// Input: the first byte picks the decimal separator (even '.', odd ','), the rest is the
// channel field's text. Invariants, per band:
//   - The call completes or throws a vexa::Error: ConversionError with the exact message of
//     the conversion that refused the text, or FloatError "Floating point overflow".
//   - The list starts with "Harmonics <band>\nChannel <text>\n"; a refused text leaves just
//     that header.
//   - Every further line is "H<i> <number> MHz" (one blank: E-GSM channels 0..124) or
//     "H<i> <number>  MHz" (two blanks: everything else), i = 2, 3, ... in order; a completed
//     list ends at the band's last harmonic. No number is NAN or INF (an overflowing
//     harmonic raises the FloatError, and only a text beyond 1E300 gets there), every number
//     reads back, and H<i> / i is the same frequency on every line.
//   - For a valid channel typed as an integer the list equals HarmonicsList's.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/convert.h"
#include "core/errors.h"
#include "fuzz_check.h"
#include "gsm/channels.h"

namespace vexa::fuzz {
namespace {

constexpr GsmBand kBands[] = {GsmBand::EGSM, GsmBand::DCS, GsmBand::PCS, GsmBand::GSM850};

std::string UpToNul(const std::string& text) {
  return text.substr(0, text.find('\0'));
}

std::string Describe(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

enum class Outcome { kCompleted, kConversionError, kOverflow };

// What the conversions say about the text on their own (the same for every band).
struct Reading {
  bool int_ok = false;
  std::int32_t n = 0;
  bool float_ok = false;
  double x = 0.0;
};

Reading Read(std::string_view text) {
  Reading reading;
  try {
    reading.n = TextToInt(text);
    reading.int_ok = true;
  } catch (const ConversionError&) {
  }
  try {
    reading.x = TextToFloat(text);
    reading.float_ok = true;
  } catch (const ConversionError&) {
  }
  return reading;
}

void CheckBand(GsmBand band, std::string_view text, const Reading& reading) {
  const bool int_ok = reading.int_ok;
  const std::int32_t n = reading.n;
  const bool float_ok = reading.float_ok;
  const double x = reading.x;
  const BandTraits& traits = Traits(band);
  const auto where = [&] {
    return std::string(traits.display_name) + " \"" + Escaped(text) + "\"";
  };

  std::string list;
  Outcome outcome = Outcome::kCompleted;
  std::string message;
  try {
    AppendHarmonicsFromText(band, text, list);
  } catch (const ConversionError& e) {
    outcome = Outcome::kConversionError;
    message = e.what();
  } catch (const FloatError& e) {
    outcome = Outcome::kOverflow;
    message = e.what();
    FUZZ_CHECK(message == kOverflow, where() + ": FloatError \"" + Escaped(message) + "\"");
  } catch (const std::exception& e) {
    Fail(__FILE__, __LINE__, "only vexa::Error escapes",
         where() + ": threw \"" + Escaped(e.what()) + "\"");
  } catch (...) {
    Fail(__FILE__, __LINE__, "only vexa::Error escapes", where() + ": non-standard exception");
  }
  const auto context = [&] { return where() + ": list \"" + Escaped(list) + "\""; };

  const std::string header =
      std::string("Harmonics ") + traits.display_name + "\nChannel " + std::string(text) + "\n";
  FUZZ_CHECK(list.compare(0, header.size(), header) == 0, context() + ": header");

  const bool refused = band == GsmBand::EGSM ? !int_ok : !float_ok;
  FUZZ_CHECK(refused == (outcome == Outcome::kConversionError),
             context() + (refused ? ": accepted a text the conversion refuses"
                                  : ": refused a text the conversion accepts (" + message + ")"));
  if (refused) {
    const char* kind = band == GsmBand::EGSM ? "integer" : "floating point";
    const std::string expected =
        UpToNul("'" + std::string(text) + "' is not a valid " + kind + " value");
    FUZZ_CHECK(message == expected, context() + ": message \"" + Escaped(message) + "\"");
    FUZZ_CHECK(list == header, context() + ": lines after a refused text");
    return;
  }

  const char* line_end = band == GsmBand::EGSM && n >= 0 && n <= 124 ? " MHz\n" : "  MHz\n";
  struct Harmonic {
    int order;
    double value;
  };
  std::vector<Harmonic> values;  // the finite harmonics that read back
  std::size_t pos = header.size();
  int order = 2;
  const std::string number_characters = std::string("0123456789-E") + DecimalSeparator();
  while (pos < list.size()) {
    const std::size_t eol = list.find('\n', pos);
    FUZZ_CHECK(eol != std::string::npos, context() + ": unterminated last line");
    const std::string line = list.substr(pos, eol + 1 - pos);
    const auto line_context = [&] { return context() + ": line \"" + Escaped(line) + "\""; };
    FUZZ_CHECK(order <= traits.last_harmonic, line_context() + ": beyond the last harmonic");
    const std::string prefix = "H" + std::to_string(order) + " ";
    const std::string suffix = line_end;
    FUZZ_CHECK(
        line.size() > prefix.size() + suffix.size() &&
            line.compare(0, prefix.size(), prefix) == 0 &&
            line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0,
        line_context() + ": expected \"" + Escaped(prefix) + "<number>" + Escaped(suffix) + "\"");
    const std::string number =
        line.substr(prefix.size(), line.size() - prefix.size() - suffix.size());
    // Digits, '-', the separator and 'E' only: no NAN or INF, and no blank that belongs to the
    // line end.
    FUZZ_CHECK(number.find_first_not_of(number_characters) == std::string::npos,
               line_context() + ": number \"" + Escaped(number) + "\"");
    try {
      values.push_back({order, TextToFloat(number)});
    } catch (const ConversionError&) {
      // Only the 15-digit rounding of a value next to the largest double is out of reach.
      FUZZ_CHECK(number.size() > 4 && number.compare(number.size() - 4, 4, "E308") == 0,
                 line_context() + ": the number does not read back");
    }
    ++order;
    pos = eol + 1;
  }
  if (outcome == Outcome::kCompleted) {
    FUZZ_CHECK(order == traits.last_harmonic + 1,
               context() + ": " + std::to_string(order - 2) + " harmonic lines");
  } else {
    FUZZ_CHECK(order <= traits.last_harmonic, context() + ": overflow after the last line");
    // Harmonics up to order 16 of a frequency near 0.2 x overflow only for a huge x.
    FUZZ_CHECK(std::fabs(x) > 1e300, context() + ": overflow for " + Describe(x));
  }

  // Every line shows order * the same transmit frequency, rounded to 15 digits, so
  // H<i> / i agrees across lines within a few units of the 15th digit.
  for (const Harmonic& h : values) {
    const double first = values.front().value / values.front().order;
    const double here = h.value / h.order;
    const double scale = std::fmax(std::fabs(first), std::fabs(here));
    FUZZ_CHECK(std::fabs(first - here) <= 2e-14 * scale,
               context() + ": H" + std::to_string(values.front().order) + " / " +
                   std::to_string(values.front().order) + " = " + Describe(first) + " but H" +
                   std::to_string(h.order) + " / " + std::to_string(h.order) + " = " +
                   Describe(here));
  }

  // A valid channel gives the list that typing it into the field gives.
  if (int_ok && IsValidChannel(band, n)) {
    FUZZ_CHECK(outcome == Outcome::kCompleted, context() + ": valid channel not completed");
    const std::string expected = HarmonicsList(band, text, n);
    FUZZ_CHECK(list == expected, context() + ": HarmonicsList gives \"" + Escaped(expected) + "\"");
  }
}

}  // namespace
}  // namespace vexa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  vexa::SetDecimalSeparator((data[0] & 1) != 0 ? ',' : '.');
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const vexa::fuzz::Reading reading = vexa::fuzz::Read(text);
  for (const vexa::GsmBand band : vexa::fuzz::kBands)
    vexa::fuzz::CheckBand(band, text, reading);
  return 0;
}
