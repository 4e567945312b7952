// Receiver line-ups as CSV files a spreadsheet opens: the stages, one per row under a header
// row, then the system parameters. The RX page saves and opens them; the texts are kept as
// typed, so a line-up comes back exactly as it was saved.
//
// The file (UTF-8, CR LF line ends on save; LF or CR LF on open):
//   Stage,Name,NF dB,Gain dB,OIP3 dBm,dNF/dTemp dB/C,dGain/dTemp dB/C
//   1,Duplexer,3.8,-3.8,100,0,0
//   ...
//   (one empty line)
//   Parameter,Value
//   Input Power dBm,-50
//   ...
// Fields holding a comma, a quote, a line break or leading/trailing blanks or tabs are quoted
// with double quotes, a quote inside doubled (RFC 4180); the stages are numbered 1 to n.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexa {

inline constexpr int kLineupMaxStages = 49;
// Line-up files beyond this size are refused, before they are read.
inline constexpr std::size_t kLineupMaxFileBytes = std::size_t{1} << 20;  // 1 MiB

struct LineupStage {
  // The texts of rows 1 to 6 of the stage's column: name, NF, Gain, OIP3, dNF/dTemp,
  // dGain/dTemp.
  std::array<std::string, 6> cells;
};

struct Lineup {
  std::vector<LineupStage> stages;                              // 1 to 49
  std::vector<std::pair<std::string, std::string>> parameters;  // key, value, in list order
};

struct LineupResult {
  bool ok = false;
  Lineup lineup;      // empty unless ok: nothing half-loaded
  std::string error;  // "line 4: ..." when a line is at fault
};

// The file's text for `lineup`.
std::string WriteLineupCsv(const Lineup& lineup);

// Reads a line-up, all or nothing. The parameter keys must be exactly `parameter_keys`, each
// once, in any order (the result lists them in the order of `parameter_keys`). Also read: a
// UTF-8 byte-order mark, quoted fields anywhere, empty lines at the end. Refused: more than
// 1 MiB, a field over 256 bytes, a cell holding a line break; the cell texts are not checked
// as numbers. The message names the line where the faulty record starts.
LineupResult ParseLineupCsv(std::string_view text, const std::vector<std::string>& parameter_keys);

}  // namespace vexa
