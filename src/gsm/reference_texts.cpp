#include "gsm/reference_texts.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>

namespace vexa {
namespace {

using Lines = std::vector<std::string>;

template <typename T>
void Append(std::vector<T>& to, const std::vector<T>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

// True for the unit words that stay on the line of the number before them.
bool IsUnit(std::string_view word) {
  while (!word.empty() && (word.back() == '.' || word.back() == ',' || word.back() == ';'))
    word.remove_suffix(1);
  return word == "dB" || word == "dBm" || word == "kHz" || word == "MHz" || word == "GHz";
}

// Greedy word wrap: as many words on a line as fit in `width` characters, a unit never
// separated from its number.
Lines Wrap(std::string_view text, std::size_t width) {
  std::vector<std::string> words;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    const std::string_view word = text.substr(at, end - at);
    at = end + 1;
    if (word.empty())
      continue;
    if (IsUnit(word) && !words.empty())
      words.back() += ' ' + std::string(word);
    else
      words.emplace_back(word);
  }
  Lines lines;
  std::string line;
  for (const std::string& word : words) {
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      lines.push_back(line);
      line.clear();
    }
    if (!line.empty())
      line += ' ';
    line += word;
  }
  if (!line.empty())
    lines.push_back(line);
  return lines;
}

// One column of a fixed-width table. Left-aligned texts start at column `at` of the cell;
// right-aligned values end at column `at`, a footnote "*" after a value hanging beyond it.
struct Column {
  std::size_t width;
  std::size_t at;
  bool left = false;
};

std::string Cell(const Column& column, std::string_view value) {
  std::string cell;
  if (column.left) {
    cell.assign(column.at, ' ');
  } else {
    const std::size_t end = column.at + (value.ends_with('*') ? 1 : 0);
    if (value.size() < end)
      cell.assign(end - value.size(), ' ');
  }
  cell += value;
  if (cell.size() < column.width)
    cell.append(column.width - cell.size(), ' ');
  return cell;
}

// The cells of a row, each followed by "|"; empty values leave their cells blank.
std::string Row(const std::vector<Column>& columns,
                std::initializer_list<std::string_view> values) {
  std::string row;
  auto value = values.begin();
  for (const Column& column : columns) {
    row += Cell(column, value != values.end() ? *value++ : std::string_view());
    row += '|';
  }
  return row;
}

// A rule of underscores with "|" at the column borders.
std::string BorderRule(const std::vector<Column>& columns) {
  std::string rule;
  for (const Column& column : columns)
    rule += std::string(column.width, '_') + '|';
  return rule;
}

// A rule of underscores across the whole table.
std::string FullRule(const std::vector<Column>& columns) {
  return std::string(BorderRule(columns).size(), '_');
}

// ---------------------------------------------------------------------------------------------
// PCL view: output power and tolerances per power control level.

// A run of power control levels that share tolerances and class marks. The power falls by
// `step` dB per level from `power` at `first`.
struct PclSpan {
  int first, last, power, step;
  std::string normal, extreme, classes;
};

std::string Tolerance(int db) {
  return "+/-" + std::to_string(db) + " dB";
}

// A row: the class marks left-aligned in 9 characters, the PCL and the power right-aligned in 4
// characters and two blanks, two blanks and each tolerance left-aligned in 9 characters, as in
// "* * *    |   5  |  33  |  +/-3 dB* |  +/-4 dB* |".
const std::vector<Column> kPclColumns = {
    {9, 0, true}, {6, 4}, {6, 4}, {11, 2, true}, {11, 2, true}};

// The rows of the spans; the levels in `starred` carry "*" after both tolerances.
Lines PclRows(const std::vector<PclSpan>& spans, std::initializer_list<int> starred = {}) {
  Lines rows;
  for (const PclSpan& span : spans) {
    for (int pcl = span.first; pcl <= span.last; ++pcl) {
      const bool star = std::find(starred.begin(), starred.end(), pcl) != starred.end();
      const std::string mark = star ? "*" : "";
      rows.push_back(Row(kPclColumns, {span.classes, std::to_string(pcl),
                                       std::to_string(span.power - span.step * (pcl - span.first)),
                                       span.normal + mark, span.extreme + mark}));
    }
  }
  return rows;
}

constexpr std::size_t kPclWidth = 48;
const char* const kPclHeader = "Pwr class|  PCL |  Pwr |       Tolerances      |";

// The levels 0 to 15 of DCS 1800, shared by PCS 1900.
std::vector<PclSpan> DcsPcsLowSpans() {
  return {{0, 0, 30, 2, "+/-3,0dB*", "+/-4 dB*", "  *   *"},
          {1, 2, 28, 2, Tolerance(3), Tolerance(4), "  *   *"},
          {3, 8, 24, 2, Tolerance(3), Tolerance(4), "  * * *"},
          {9, 13, 12, 2, Tolerance(4), Tolerance(5), "  * * *"},
          {14, 15, 2, 2, Tolerance(5), Tolerance(6), "  * * *"}};
}

Lines ClassNote(const char* label) {
  return Wrap(std::string(label) +
                  " When the PCL corresponds to the power class of the MS, the tolerances are "
                  "2,0 dB under normal and 2,5 dB under extreme test conditions.",
              kPclWidth);
}

const char* const kAdjacentLevels =
    "Adjacent power control levels, measured at one frequency, differ in power by 0,5 dB to "
    "3,5 dB.";

Lines BuildPclLines() {
  Lines lines = {"GSM 400, GSM 700, GSM 850 and GSM 900 transmitter output power",
                 "         for different power classes", kPclHeader,
                 "2 3 4 5  |      |  dBm |  normal   |  extreme  |"};
  Append(lines, PclRows({{2, 2, 39, 2, "+/-2 dB", "+/-2,5dB", "*"},
                         {3, 4, 37, 2, Tolerance(3), Tolerance(4), "* *"},
                         {5, 6, 33, 2, Tolerance(3), Tolerance(4), "* * *"},
                         {7, 15, 29, 2, Tolerance(3), Tolerance(4), "* * * *"},
                         {16, 19, 11, 2, Tolerance(5), Tolerance(6), "* * * *"}},
                        {3, 5, 7}));
  Append(lines, ClassNote("*NOTE:"));

  const char* const dcs_classes = "  1 2 3  |      |  dBm |  normal   |  extreme  |";
  Append(lines, {"", "DCS 1800 transmitter output power for different power classes", kPclHeader,
                 dcs_classes});
  std::vector<PclSpan> dcs = {{29, 29, 36, 2, "+/-2,0dB", "+/-2,5dB", "      *"},
                              {30, 31, 34, 2, "+/-3,0dB", "+/-4,0dB", "      *"}};
  Append(dcs, DcsPcsLowSpans());
  Append(lines, PclRows(dcs, {3}));
  Append(lines, ClassNote("*NOTE:"));

  Append(lines, {"", "PCS 1900 transmitter output power for different power classes", kPclHeader,
                 dcs_classes});
  std::vector<PclSpan> pcs = {{30, 31, 33, 1, "+/-2,0dB", "+/-2,5 dB", "      *"}};
  Append(pcs, DcsPcsLowSpans());
  Append(lines, PclRows(pcs, {3}));
  Append(lines, ClassNote("NOTE:"));

  lines.push_back("");
  Append(lines, Wrap(std::string(kAdjacentLevels) +
                         " For PCS 1900 class 3, levels 30 and 31 differ by 0 dB to 2 dB.",
                     kPclWidth));
  Append(lines, {"", "/************************************************************/", ""});

  const char* const epsk_classes = "E1 E2 E3 |      |  dBm |  normal   |  extreme  |";
  Append(lines, {"GSM 400, GSM 700, GSM 850 and GSM 900 transmitter output power",
                 "for different power classes 8PSK Modulated Signals", kPclHeader, epsk_classes});
  Append(lines, PclRows({{5, 5, 33, 2, "+/-2 dB", "+/-2.5dB", "*"},
                         {6, 7, 31, 2, Tolerance(3), Tolerance(4), ""},
                         {8, 9, 27, 2, Tolerance(3), Tolerance(4), "   *"},
                         {10, 15, 23, 2, Tolerance(3), Tolerance(4), "   *  *"},
                         {16, 19, 11, 2, Tolerance(5), Tolerance(6), "   *  *"}}));

  Append(lines, {"", "DCS 1800 and PCS 1900 transmitter output power",
                 "for different power classes 8-PSK Modulated Signals", kPclHeader, epsk_classes});
  Append(lines, PclRows({{0, 0, 30, 2, Tolerance(3), Tolerance(4), "*"},
                         {1, 1, 28, 2, Tolerance(3), Tolerance(4), ""},
                         {2, 3, 26, 2, Tolerance(3), Tolerance(4), "   *"},
                         {4, 7, 22, 2, Tolerance(3), Tolerance(4), "   *  *"},
                         {8, 8, 14, 2, Tolerance(4), Tolerance(4), "   *  *"},
                         {9, 12, 12, 2, Tolerance(4), Tolerance(5), "   *  *"},
                         {13, 13, 4, 2, Tolerance(5), Tolerance(5), "   *  *"},
                         {14, 14, 2, 2, Tolerance(5), Tolerance(6), "   *  *"}}));

  lines.push_back("");
  Append(lines, Wrap(kAdjacentLevels, kPclWidth));
  return lines;
}

// ---------------------------------------------------------------------------------------------
// ORFS view: output RF spectrum limits, a GMSK half and an 8PSK half.

// Modulation spectrum below 1800 kHz offset: power, 0-100, 200, 250, 400, 600 to <1800 kHz.
const std::vector<Column> kModulation = {{11, 5}, {8, 6}, {7, 5}, {7, 5}, {7, 5}, {12, 5}};
// PCS 1900 splits the last offset into 600 to <1200 and 1200 to <1800 kHz.
const std::vector<Column> kModulationPcs = {{11, 5}, {8, 6},  {7, 5}, {7, 5},
                                            {7, 5},  {12, 5}, {13, 5}};
// Wideband noise: the GSM group (power and three offsets), then DCS and PCS (power, two each).
const std::vector<Column> kWidebandThreeBands = {{6, 5}, {7, 5}, {7, 5}, {7, 5}, {7, 6},
                                                 {7, 5}, {7, 5}, {7, 6}, {7, 5}, {7, 5}};
const std::vector<Column> kWidebandTwoGroups = {{6, 5}, {7, 5}, {7, 5}, {7, 5},
                                                {7, 6}, {7, 5}, {7, 5}};
// Spurious emissions in the receive bands: the band, then the two groups of MS.
const std::vector<Column> kReceiveBands = {{13, 0, true}, {23, 4}, {23, 4}};
// Switching transients: power, then 400, 600, 1200 and 1800 kHz.
const std::vector<Column> kSwitching = {{11, 9}, {11, 9}, {11, 9}, {11, 9}, {11, 9}};

const char* const kModulationHeader[] = {
    "           |     power levels in dB relative to the      |",
    "           |            measurement at FT                |",
    "Power level|          Frequency offset (kHz)             |",
    "  (dBm)    | 0-100  |  200  |  250  |  400  |600 to <1800|"};
const char* const kMinimumLevels =
    "The values above are subject to the minimum absolute levels (dBm) below.";
const char* const kEpskNote[] = {"*NOTE: For equipment supporting 8PSK, the requirement for 8-PSK",
                                 "modulation is \u201354dB."};

// Rows of power level and the limit beyond 600 kHz; the row of `starred_power` refers to the
// 8PSK note at 400 kHz.
Lines ModulationTable(std::initializer_list<const char*> title,
                      std::initializer_list<std::pair<const char*, const char*>> rows,
                      std::string_view starred_power, const char* minimum_far) {
  Lines lines(title.begin(), title.end());
  lines.insert(lines.end(), std::begin(kModulationHeader), std::end(kModulationHeader));
  for (const auto& [power, far] : rows) {
    const char* const at400 = power == starred_power ? "-60*" : "-60";
    lines.push_back(Row(kModulation, {power, "+0,5", "-30", "-33", at400, far}));
  }
  lines.push_back(kMinimumLevels);
  lines.push_back(Row(kModulation, {"", "-36", "-36", "-36", "-36", minimum_far}));
  return lines;
}

Lines PcsModulationTable() {
  Lines lines = {"PCS 1900 Spectrum due to modulation out to less than 1800 kHz offset",
                 "           |            power levels in dB relative to the             |",
                 "           |                   measurement at FT                       |",
                 "Power level|                 Frequency offset (kHz)                    |",
                 "  (dBm)    | 0-100  |  200  |  250  |  400  |600 to <1200|1200 to <1800|"};
  lines.push_back(Row(kModulationPcs, {"<=33", "+0,5", "-30", "-33", "-60", "-60", "-60"}));
  lines.push_back(kMinimumLevels);
  lines.push_back(Row(kModulationPcs, {"", "-36", "-36", "-36", "-36", "-56", "-56"}));
  return lines;
}

const char* const kWidebandTitle[] = {"Spectrum due to modulation from 1800 kHz offset",
                                      "to the edge of the transmit band (wideband noise)"};

// Rows of the wideband noise table: GSM power and three limits, DCS power and two, PCS power
// and two.
const char* const kWidebandRows[][10] = {
    {"39", "-69", "-71", "-77", "36", "-71", "-79", "33", "-68", "-76"},
    {"37", "-67", "-69", "-75", "34", "-69", "-77", "32", "-67", "-75"},
    {"35", "-65", "-67", "-73", "32", "-67", "-75", "30", "-65", "-73"},
    {"<=33", "-63", "-65", "-71", "30", "-65", "-73", "28", "-63", "-71"},
    {"", "", "", "", "28", "-63", "-71", "26", "-61", "-69"},
    {"", "", "", "", "26", "-61", "-69", "<=24", "-59", "-67"},
    {"", "", "", "", "<=24", "-59", "-67", "", "", ""},
    {"", "-46", "-46", "-46", "", "-51", "-51", "", "-51", "-51"}};

Lines WidebandTable(bool with_pcs) {
  Lines lines(std::begin(kWidebandTitle), std::end(kWidebandTitle));
  // Without the PCS group the header lines end after the DCS group, at column 55.
  const char* const header[] = {
      "Power |    Frequency offset   | Power |  Freq offset  | Power |  Freq offset  |",
      "Level |           kHz         | level |      KHz      | level |      kHz      |",
      "(dBm) | 1800to| 3000to| >=6000| (dBm) | 1800to| >=6000| (dBm) | 1800to| >=6000|",
      "      | <3000 | <6000 |       |       | <6000 |       |       | <6000 |       |"};
  if (with_pcs) {
    Append(lines,
           {"             power levels in dB relative to the measurement at FT             |",
            "  GSM400,GSM700,GSM850,GSM900 |        DCS 1800       |        PCS 1900       |"});
  } else {
    Append(lines, {" power levels in dB relative to the measurement at FT |",
                   "  GSM400,GSM700,GSM850,GSM900 |    DCS1800,PCS1900    |"});
  }
  for (const char* line : header)
    lines.push_back(std::string(line).substr(0, with_pcs ? std::string::npos : 55));
  const std::size_t rows = std::size(kWidebandRows);
  for (std::size_t i = 0; i < rows; ++i) {
    const auto& r = kWidebandRows[i];
    if (i + 1 == rows)
      lines.push_back(kMinimumLevels);
    if (with_pcs)
      lines.push_back(
          Row(kWidebandThreeBands, {r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8], r[9]}));
    else
      lines.push_back(Row(kWidebandTwoGroups, {r[0], r[1], r[2], r[3], r[4], r[5], r[6]}));
  }
  return lines;
}

constexpr std::size_t kWidebandWidth = 79;
constexpr std::size_t kReceiveBandsWidth = 62;

Lines ExceptionParagraphs() {
  Lines lines = Wrap(
      "Exceptions between 600 kHz and 6 MHz from the carrier: any failures in this range are "
      "examined again as spurious emissions. For each of the three ARFCN used, up to three "
      "200 kHz bands centred on integer multiples of 200 kHz may contain spurious emissions, "
      "provided that none exceeds -36 dBm. An emission measured in 30 kHz bandwidth that spans "
      "two of these bands counts towards whichever of them minimises the number of bands.",
      kWidebandWidth);
  lines.push_back("");
  Append(lines, Wrap("Exceptions beyond 6 MHz from the carrier: up to twelve spurious emissions "
                     "per ARFCN are allowed, provided that none exceeds -36 dBm.",
                     kWidebandWidth));
  return lines;
}

// "  925 to 935 ", " 1805 to 1880": the word "to" in the same column on every row.
std::string Band(const std::string& low, const std::string& high) {
  return Cell({5, 5}, low) + " to " + Cell({4, 0, true}, high);
}

// Band in MHz, level in dBm for the first or the second group of MS.
const std::array<const char*, 4> kReceiveBandLevels[] = {
    {"925", "935", "-67", ""},  {"935", "960", "-79", ""}, {"1805", "1880", "-71", ""},
    {"747", "757", "", "-79"},  {"757", "762", "", "-73"}, {"869", "894", "", "-79"},
    {"1930", "1990", "", "-71"}};

Lines ReceiveBandsTable(bool epsk) {
  Lines lines = {"Spurious emissions in the MS receive bands",
                 "  Band(MHz)  |         Spurious emissions level(dBm)         |",
                 "             | GSM400,GSM900,DCS1800 | GSM700,GSM850,PCS1900 |"};
  if (epsk)
    lines.push_back("  460 to 496 | -67 only for GSM400 MS|                       |");
  for (const auto& [low, high, first, second] : kReceiveBandLevels)
    lines.push_back(Row(kReceiveBands, {Band(low, high), first, second}));
  if (epsk) {
    lines.push_back(
        " 1850 to 1910|                       |Comply with FCC rules for wideband PCS services "
        "(see 3GPP TS 05.05, subclause 4.3, applicable only for PCS)");
  }
  lines.push_back("");
  Append(lines,
         Wrap(epsk ? "Exceptions for all types of MS: up to three measurements in 460,4 to "
                     "467,6 MHz and 488,8 to 496 MHz, up to five in 925 to 960 MHz and up to "
                     "five in 1805 to 1880 MHz may exceed these values, at up to -36 dBm. For "
                     "GSM 700, GSM 850 and PCS 1900 MS, up to five measurements in each of 747 "
                     "to 762 MHz, 869 to 894 MHz and 1930 to 1990 MHz may exceed these values, "
                     "at up to -36 dBm."
                   : "Exceptions: in the bands of the first column, up to five measurements in "
                     "925 to 960 MHz and up to five in 1805 to 1880 MHz may exceed these values, "
                     "at up to -36 dBm. GSM 400 MS also stay at or below -67 dBm in 460,4 to "
                     "467,6 MHz and 488,8 to 496 MHz, except for up to three measurements in "
                     "each of these bands, at up to -36 dBm. In the bands of the second column, "
                     "up to five measurements in each of 747 to 762 MHz, 869 to 894 MHz and "
                     "1930 to 1990 MHz may exceed these values, at up to -36 dBm.",
              kReceiveBandsWidth));
  return lines;
}

// Switching-transient limits in dBm at 400, 600, 1200 and 1800 kHz from the carrier.
struct SwitchingRow {
  const char* power;
  const char* limits[4];
};

const SwitchingRow kGsmSwitching[] = {
    {"39", {"-13", "-21", "-21", "-24"}}, {"37", {"-15", "-21", "-21", "-24"}},
    {"35", {"-17", "-21", "-21", "-24"}}, {"33", {"-19", "-21", "-21", "-24"}},
    {"31", {"-21", "-23", "-23", "-26"}}, {"29", {"-23", "-25", "-25", "-28"}},
    {"27", {"-23", "-26", "-27", "-30"}}, {"25", {"-23", "-26", "-29", "-32"}},
    {"23", {"-23", "-26", "-31", "-34"}}, {"<=+21", {"-23", "-26", "-32", "-36"}}};
const SwitchingRow kDcsSwitching[] = {
    {"36", {"-16", "-21", "-21", "-24"}},   {"34", {"-18", "-21", "-21", "-24"}},
    {"32", {"-20", "-22", "-22", "-25"}},   {"30", {"-22", "-24", "-24", "-27"}},
    {"28", {"-23", "-25", "-26", "-29"}},   {"26", {"-23", "-26", "-28", "-31"}},
    {"24", {"-23", "-26", "-30", "-33"}},   {"22", {"-23", "-26", "-31", "-35"}},
    {"<=+20", {"-23", "-26", "-32", "-36"}}};
const SwitchingRow kPcsSwitching[] = {
    {"33", {"-19", "-22", "-22", "-25"}}, {"32", {"-20", "-22", "-22", "-25"}},
    {"30", {"-22", "-24", "-24", "-27"}}, {"28", {"-23", "-25", "-26", "-29"}},
    {"26", {"-23", "-26", "-28", "-31"}}, {"24", {"-23", "-26", "-30", "-33"}},
    {"22", {"-23", "-26", "-31", "-35"}}, {"<=+20", {"-23", "-26", "-32", "-36"}}};

// The GSM rows end with a blank after the last "|".
template <std::size_t N>
Lines SwitchingTable(const char* title, const SwitchingRow (&rows)[N], bool gsm) {
  Lines lines = {title, "Power level| Maximum level for various offsets from carrier|",
                 "           |                   frequency                   |",
                 "           |  400 kHz  |  600 kHz  |  1200 kHz | 1800 kHz  |"};
  const auto dbm = [](const char* value) { return std::string(value) + " dBm"; };
  for (const SwitchingRow& row : rows) {
    lines.push_back(Row(kSwitching, {dbm(row.power), dbm(row.limits[0]), dbm(row.limits[1]),
                                     dbm(row.limits[2]), dbm(row.limits[3])}) +
                    (gsm ? " " : ""));
  }
  return lines;
}

// Appends the tables with one empty line between them.
void AppendTables(Lines& lines, std::initializer_list<Lines> tables) {
  for (const Lines& table : tables) {
    lines.push_back("");
    Append(lines, table);
  }
}

const std::initializer_list<std::pair<const char*, const char*>> kGsmModulationRows = {
    {"39", "-66"}, {"37", "-64"}, {"35", "-62"}, {"<=33", "-60"}};

Lines BuildOrfsLines() {
  Lines lines = {"GMSK"};
  AppendTables(
      lines,
      {ModulationTable({"GSM 400, GSM 700, GSM 850 and GSM 900 Spectrum due",
                        "to modulation out to less than 1800 kHz offset"},
                       kGsmModulationRows, "", "-51"),
       ModulationTable({"DCS 1800 Spectrum due to modulation out to less than 1800 kHz offset"},
                       {{"<=36", "-60"}}, "", "-56"),
       PcsModulationTable(), WidebandTable(true), ExceptionParagraphs(), ReceiveBandsTable(false),
       SwitchingTable("GSM Spectrum due to switching transients", kGsmSwitching, true),
       SwitchingTable("DCS 1800 Spectrum due to switching transients", kDcsSwitching, false),
       SwitchingTable("PCS 1900 Spectrum due to switching transients", kPcsSwitching, false)});
  lines.push_back("");
  lines.push_back("8PSK");
  Lines gsm = ModulationTable({"GSM 400, GSM 700, GSM 850 and GSM 900 Spectrum due",
                               "to modulation out to less than 1800 kHz offset"},
                              kGsmModulationRows, "<=33", "-51");
  gsm.insert(gsm.end(), std::begin(kEpskNote), std::end(kEpskNote));
  Lines dcs = ModulationTable(
      {"DCS 1800/PCS 1900 Spectrum due to modulation out to less than 1800 kHz offset"},
      {{"<=36", "-60"}, {"34", "-60"}, {"32", "-60"}, {"30", "-60"}}, "30", "-56");
  dcs.insert(dcs.end(), std::begin(kEpskNote), std::end(kEpskNote));
  AppendTables(lines,
               {gsm, dcs, WidebandTable(false), ExceptionParagraphs(), ReceiveBandsTable(true),
                SwitchingTable("GSM700, GSM 850 and GSM 900 Spectrum due to switching transients",
                               kGsmSwitching, true),
                SwitchingTable("DCS 1800/PCS 1900 Spectrum due to switching transients",
                               kDcsSwitching, false)});
  return lines;
}

// ---------------------------------------------------------------------------------------------
// SPUR view: spurious-emission measurement set-ups and limits, drawn with rules of underscores.

// Set-up with a channel allocated: frequency range, offset, filter and video bandwidth.
const std::vector<Column> kAllocatedSetup = {{32, 0, true}, {20, 2, true}, {18, 12}, {24, 15}};
// Set-up in idle mode: frequency range, filter and video bandwidth.
const std::vector<Column> kIdleSetup = {{19, 0, true}, {9, 8}, {17, 11}};
// Limits: frequency range, then the power level of each group of bands.
const std::vector<Column> kThreeGroupLimits = {{21, 0, true}, {10, 6}, {10, 6}, {10, 6}};
const std::vector<Column> kThreeGroupNames = {
    {21, 0, true}, {10, 1, true}, {10, 1, true}, {10, 1, true}};
const std::vector<Column> kTwoGroupLimits = {{21, 0, true}, {15, 9}, {16, 10}};
const std::vector<Column> kTwoGroupNames = {{21, 0, true}, {15, 3, true}, {16, 4, true}};

constexpr std::size_t kSetupWidth = 98;

using Cells = std::initializer_list<std::string_view>;

// A table between two full-width rules, its header closed by a rule with "|" at the column
// borders.
Lines RuledTable(const std::vector<Column>& columns, std::initializer_list<const char*> header,
                 std::initializer_list<Cells> rows) {
  Lines lines = {FullRule(columns)};
  lines.insert(lines.end(), header.begin(), header.end());
  lines.push_back(BorderRule(columns));
  for (const Cells& cells : rows)
    lines.push_back(Row(columns, cells));
  lines.push_back(FullRule(columns));
  return lines;
}

const char* const kAllocatedHeader =
    "       Frequency range          |  Frequency offset  | Filter bandwidth | Approx video "
    "bandwidth |";

// "NOTE n: " and the text, continued under the text.
Lines Note(int number, std::string_view text) {
  const std::string label = "NOTE " + std::to_string(number) + ": ";
  Lines lines = Wrap(text, kSetupWidth - label.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    lines[i] = (i == 0 ? label : std::string(label.size(), ' ')) + lines[i];
  return lines;
}

// A line of the offset column of a set-up range: the offset text, and the filter and video
// bandwidths when the line holds a measurement.
struct Offset {
  const char* text;
  const char* filter = "";
  const char* video = "";
};

// A frequency range of a set-up table: its description down the first column, the offsets
// beside it.
std::vector<std::array<std::string, 4>> SetupRange(const Lines& range,
                                                   std::initializer_list<Offset> offsets) {
  std::vector<std::array<std::string, 4>> rows(std::max(range.size(), offsets.size()));
  for (std::size_t i = 0; i < range.size(); ++i)
    rows[i][0] = range[i];
  std::size_t i = 0;
  for (const Offset& offset : offsets) {
    rows[i][1] = offset.text;
    rows[i][2] = offset.filter;
    rows[i][3] = offset.video;
    ++i;
  }
  return rows;
}

const char* const kTransmitBands[] = {
    "  GSM 450: 450,4 to 457,6 MHz", "  GSM 480: 478,8 to 486 MHz", "  GSM 750: 777 to 792 MHz",
    "  GSM 850: 824 to 849 MHz",     "  P-GSM: 890 to 915 MHz",     "  E-GSM: 880 to 915 MHz",
    "  DCS: 1 710 to 1 785 MHz",     "  PCS 1900: 1850 to 1910 MHz"};

// The range above 500 MHz, offsets from the edge of the relevant transmit band (listed without
// GSM 450 and GSM 480, which lie below 500 MHz), then the range inside it.
void AppendHighRanges(std::vector<std::vector<std::array<std::string, 4>>>& groups,
                      const char* range, const Lines& receive_bands, const char* inner_offset) {
  Lines high = {range, "excluding the relevant", "transmit band:"};
  high.insert(high.end(), std::begin(kTransmitBands) + 2, std::end(kTransmitBands));
  Append(high, receive_bands);
  groups.push_back(SetupRange(high, {{"offset from the"},
                                     {"edge of the"},
                                     {"relevant transmit"},
                                     {"band:"},
                                     {"0 to 10 MHz", "100 kHz", "300 kHz"},
                                     {">= 10 MHz", "300 kHz", "1 MHz"},
                                     {">= 20 MHz", "1 MHz", "3 MHz"},
                                     {">= 30 MHz", "3 MHz", "3 MHz"}}));
  Lines inner = {"Relevant transmit band:"};
  inner.insert(inner.end(), std::begin(kTransmitBands), std::end(kTransmitBands));
  groups.push_back(SetupRange(inner, {{"offset from the"},
                                      {"carrier:"},
                                      {inner_offset, "30 kHz", "100 kHz"},
                                      {"> 6,0 MHz", "100 kHz", "300 kHz"}}));
}

Lines AllocatedSetupLines(bool conducted) {
  std::vector<std::vector<std::array<std::string, 4>>> groups;
  const char* const bandwidths[] = {"10 kHz", "30 kHz", "100 kHz", "300 kHz"};
  if (conducted) {
    groups.push_back(SetupRange({"100 kHz to 50 MHz"}, {{"", bandwidths[0], bandwidths[1]}}));
    groups.push_back(SetupRange({"50 MHz to 500 MHz,", "excluding the relevant", "transmit band:",
                                 kTransmitBands[0], kTransmitBands[1], "and, for GSM 400 MS, the",
                                 "receive bands:", "  460,4 to 467,6 MHz", "  488,8 to 496 MHz"},
                                {{"", bandwidths[2], bandwidths[3]}}));
    AppendHighRanges(groups, "500 MHz to 12,75 GHz,",
                     {"and the receive bands", "(see NOTE 1):", "  GSM 400, GSM 900 and",
                      "  DCS 1 800 MS:", "    925 to 960 MHz and", "    1805 to 1880 MHz;",
                      "  GSM 700, GSM 850 and", "  PCS 1900 MS:", "    747 to 762 MHz,",
                      "    869 to 894 MHz and", "    1930 to 1990 MHz"},
                     "1,8 to 6,0 MHz");
  } else {
    groups.push_back(SetupRange({"30 MHz to 50 MHz"}, {{"", bandwidths[0], bandwidths[1]}}));
    groups.push_back(
        SetupRange({"50 MHz to 500 MHz,", "excluding the GSM 450 and", "GSM 480 transmit bands"},
                   {{"", bandwidths[2], bandwidths[3]}}));
    AppendHighRanges(groups, "500 MHz to 4 GHz,", {}, "1,8 MHz to 6,0 MHz");
  }
  Lines lines = {conducted ? "Conducted spurious emissions" : "Radiated spurious emissions",
                 "MS allocated a channel", FullRule(kAllocatedSetup), kAllocatedHeader,
                 BorderRule(kAllocatedSetup)};
  for (const auto& group : groups) {
    for (const auto& cells : group)
      lines.push_back(Row(kAllocatedSetup, {cells[0], cells[1], cells[2], cells[3]}));
    lines.push_back(BorderRule(kAllocatedSetup));
  }
  lines.push_back(FullRule(kAllocatedSetup));
  if (conducted) {
    Append(lines, Note(1,
                       "The receive bands excluded above are tested as described in "
                       "subclause 13.4."));
    Append(lines, Note(2,
                       "The filter and video bandwidths and the frequency offsets are only "
                       "correct for measurements on an MS transmitting on a channel in the "
                       "Mid ARFCN range."));
    Append(lines, Note(3, "The video bandwidth is restricted to a maximum of 3 MHz."));
  } else {
    Append(lines, Note(1,
                       "The bandwidths and offsets are only correct for an MS transmitting "
                       "in the Mid ARFCN range."));
    Append(lines,
           Note(2, "The video bandwidth of the test system is restricted to at most 3 MHz."));
  }
  return lines;
}

Lines IdleSetupLines(const char* title, const char* low_range, const char* high_range) {
  Lines lines = {title, "MS in idle mode"};
  Append(lines, RuledTable(kIdleSetup,
                           {"  Frequency range  |  Filter | Video bandwidth |",
                            "                   |bandwidth|                 |"},
                           {{low_range, "10 kHz", "30 kHz"}, {high_range, "100 kHz", "300 kHz"}}));
  return lines;
}

const char* const kLimitsHeader = "   Frequency range   |       Power level in dBm       |";
// Closes the spanning "Power level" cell above the names of the groups of bands.
const char* const kLimitsSpanRule = "                     |________________________________|";

Lines AllocatedLimitsLines(const char* low_range, const char* wide_range, const char* low_band,
                           const char* top_band) {
  const std::string names[4] = {Row(kThreeGroupNames, {"", "GSM 400,", "DCS 1800", "PCS 1900"}),
                                Row(kThreeGroupNames, {"", "GSM 700,"}),
                                Row(kThreeGroupNames, {"", "GSM 850,"}),
                                Row(kThreeGroupNames, {"", "GSM 900"})};
  return RuledTable(kThreeGroupLimits,
                    {kLimitsHeader, kLimitsSpanRule, names[0].c_str(), names[1].c_str(),
                     names[2].c_str(), names[3].c_str()},
                    {{low_range, "-36", "-36", "-36"},
                     {wide_range, "-30", "", "-30"},
                     {low_band, "", "-30", ""},
                     {"1710 MHz to 1785 MHz", "", "-36", ""},
                     {top_band, "", "-30", ""}});
}

Lines IdleLimitsLines(const char* first_range, const char* dcs_top, const char* pcs_top) {
  const std::string names[3] = {Row(kTwoGroupNames, {"", "GSM 400,", "GSM 700,"}),
                                Row(kTwoGroupNames, {"", "GSM 900,", "GSM 850,"}),
                                Row(kTwoGroupNames, {"", "DCS 1800", "PCS 1900"})};
  return RuledTable(
      kTwoGroupLimits,
      {kLimitsHeader, kLimitsSpanRule, names[0].c_str(), names[1].c_str(), names[2].c_str()},
      {{first_range, "-57", "-57"},
       {"880 MHz to 915 MHz", "-59", "-57"},
       {"915 MHz to 1000 MHz", "-57", "-57"},
       {"1 GHz to 1710 MHz", "-47", ""},
       {"1710 MHz to 1785 MHz", "-53", ""},
       {dcs_top, "-47", ""},
       {"1 GHz to 1850 MHz", "", "-47"},
       {"1850 MHz to 1910 MHz", "", "-53"},
       {pcs_top, "", "-47"}});
}

Lines BuildSpurLines() {
  Lines lines = AllocatedSetupLines(true);
  AppendTables(
      lines,
      {AllocatedLimitsLines("100 kHz to 1 GHz", "1 GHz to 12,75 GHz", "1 GHz to 1710 MHz",
                            "1785 MHz to 12,75 GHz"),
       IdleSetupLines("Conducted spurious emissions", "100 kHz to 50 MHz", "50 MHz to 12,75 GHz"),
       IdleLimitsLines("100 kHz to 880 MHz", "1785 MHz to 12,75 GHz", "1910 MHz to 12,75 GHz"),
       AllocatedSetupLines(false),
       AllocatedLimitsLines("30 MHz to 1 GHz", "1 GHz to 4 GHz", "1 GHz to 1710 MHz",
                            "1785 MHz to 4 GHz"),
       IdleSetupLines("Radiated spurious emissions", "30 MHz to 50 MHz", "50 MHz to 4 GHz"),
       IdleLimitsLines("30 MHz to 880 MHz", "1785 MHz to 4 GHz", "1910 MHz to 4GHz")});
  return lines;
}

}  // namespace

const std::vector<std::string>& PclMemoLines() {
  static const Lines lines = BuildPclLines();
  return lines;
}

const std::vector<std::string>& OrfsMemoLines() {
  static const Lines lines = BuildOrfsLines();
  return lines;
}

const std::vector<std::string>& SpurMemoLines() {
  static const Lines lines = BuildSpurLines();
  return lines;
}

}  // namespace vexa
