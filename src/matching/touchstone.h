// A strict reader of Touchstone version 1 files (.s1p, .s2p) for the Smith chart: the S11 of
// each frequency point, its impedance and its reflection referred to 50 ohms.
//
// What the reader accepts:
//   - '!' starts a comment anywhere on a line; blank and comment-only lines may appear anywhere;
//     blanks and tabs separate tokens; lines end in LF or CR LF.
//   - One option line "# [unit] [parameter] [format] [R n]" before the first data line, tokens
//     case-insensitive in any order, each kind at most once; defaults GHZ S MA R 50. Units HZ,
//     KHZ, MHZ, GHZ; parameter S only (Y, Z, H and G are refused); formats RI, MA and DB (angles
//     in degrees); R a positive, finite number. Option lines after the first one are ignored,
//     as the file format prescribes; a first option line after data lines is refused.
//   - One point per line: the frequency and one pair (1 port) or four pairs S11 S21 S12 S22
//     (2 ports); only S11 is kept. Numbers are decimal as the C locale's strtod reads them (an
//     optional sign, digits, point, exponent), never NaN or infinite, and every value must be
//     representable (no overflow, no underflow to zero). Magnitudes are not negative.
//   - Frequencies are at least 0 Hz and strictly rising; at least one and at most
//     kTouchstoneMaxPoints points.
//   - Version 2.0 keyword lines ("[Version] 2.0" and the like) and 2-port noise parameter
//     blocks are refused.
// Each refusal names the line at fault: "line 7: expected 3 numbers, found 2".
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

inline constexpr std::size_t kTouchstoneMaxPoints = 1'000'000;
inline constexpr std::uintmax_t kTouchstoneMaxFileBytes = 64u << 20;  // 64 MiB

struct TouchstonePoint {
  double frequency_hz = 0;
  std::complex<double> s11;  // as in the file, referred to the file's reference impedance
};

struct TouchstoneData {
  int ports = 1;                        // 1 (.s1p) or 2 (.s2p): only S11 is kept
  double reference_ohms = 50;           // the option line's "R n" (default 50)
  std::vector<TouchstonePoint> points;  // in file order (frequencies strictly rising)
};

struct TouchstoneResult {
  bool ok = false;
  TouchstoneData data;  // default (no points) unless ok: nothing half-loaded
  std::string error;    // "line 7: expected 3 numbers, found 2"; empty when ok
};

// Parses the text of a file with `ports` ports (1 or 2, from the file name's extension).
TouchstoneResult ParseTouchstone(std::string_view text, int ports);

// Reads and parses the file at `path`, the port count from its extension (.s1p or .s2p, any
// case), through the capped file reader (core/file_reader.h). Other extensions, files that
// cannot be opened or read, directories, FIFOs and devices, files over 64 MiB and UTF-16 text
// are refused with a message naming the path ("\"a.s1p\" is a directory"); the parser's
// messages ("line 7: ...") come back unchanged.
TouchstoneResult ReadTouchstoneFile(const std::string& path);

// The point's impedance in ohms, Z = Zref·(1+S11)/(1−S11). An infinite impedance (an open,
// S11 = 1, or one beyond the range of double) comes back as (+inf, +inf).
std::complex<double> PointImpedance(const TouchstonePoint& point, double reference_ohms);

// The point's reflection referred to 50 ohms, Γ50 = (Z−50)/(Z+50), computed from S11 without
// forming Z so that it stays accurate near the open and for any reference. An open gives exactly
// 1; an impedance of exactly −50 ohms (only from |S11| > 1) gives (+inf, 0).
std::complex<double> PointGamma50(const TouchstonePoint& point, double reference_ohms);

// One line per point, "f_hz R X |Γ| VSWR": every number as %.17g in the C locale, single blanks
// between; R X the impedance in ohms ("inf inf" when infinite), |Γ| and VSWR = (1+|Γ|)/(1−|Γ|)
// of Γ50, the VSWR "inf" when |Γ| >= 1.
std::vector<std::string> TouchstoneReport(const TouchstoneData& data);

}  // namespace vexa
