#include "design/lineup_csv.h"

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexa {
namespace {

constexpr std::size_t kMaxFieldBytes = 256;
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kStageHeaderText =
    "Stage,Name,NF dB,Gain dB,OIP3 dBm,dNF/dTemp dB/C,dGain/dTemp dB/C";
const std::vector<std::string> kStageHeader = {
    "Stage", "Name", "NF dB", "Gain dB", "OIP3 dBm", "dNF/dTemp dB/C", "dGain/dTemp dB/C"};
const std::vector<std::string> kParameterHeader = {"Parameter", "Value"};
constexpr std::size_t kStageFields = 7;
constexpr std::size_t kParameterFields = 2;
// A record keeps the texts of this many fields; longer ones are only counted (they are refused
// anyway), so a line of a million commas costs no memory.
constexpr std::size_t kKeptFields = kStageFields + 1;

// --- Writing ---------------------------------------------------------------------------------

bool NeedsQuotes(std::string_view field) {
  if (field.empty())
    return false;
  if (field.find_first_of(",\"\r\n") != std::string_view::npos)
    return true;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  return blank(field.front()) || blank(field.back());
}

void AppendField(std::string& out, std::string_view field) {
  if (!NeedsQuotes(field)) {
    out += field;
    return;
  }
  out += '"';
  for (const char c : field) {
    if (c == '"')
      out += '"';
    out += c;
  }
  out += '"';
}

void AppendRow(std::string& out, const std::vector<std::string_view>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0)
      out += ',';
    AppendField(out, fields[i]);
  }
  out += "\r\n";
}

// --- Reading ---------------------------------------------------------------------------------

// A text quoted for a message: at most 32 bytes of it, bytes outside ' '..'~' (and the quote
// and backslash) escaped, "..." after the closing quote when it was cut.
std::string Quoted(std::string_view text) {
  constexpr std::size_t kMaxQuoted = 32;
  std::string out = "\"";
  for (const char c : text.substr(0, kMaxQuoted)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte >= ' ' && byte <= '~') {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", byte);
      out += hex;
    }
  }
  out += '"';
  if (text.size() > kMaxQuoted)
    out += "...";
  return out;
}

std::string AtLine(int line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

struct Record {
  int line = 0;                     // where the record starts
  bool empty_line = false;          // a line with nothing on it
  std::size_t field_count = 0;      // every field, even those not kept
  std::vector<std::string> fields;  // the first kKeptFields, unquoted
};

// Splits the text into records (RFC 4180; LF or CR LF ends a record). A fault is reported at
// the line where its record starts.
class RecordReader {
 public:
  explicit RecordReader(std::string_view text) : text_(text) {}

  // The line the next record starts on (after the last line end read so far).
  int line() const { return line_; }

  // The next record, or nothing at the end of the text or on a fault (then `error` is set).
  std::optional<Record> Next(std::string& error) {
    if (pos_ == text_.size())
      return std::nullopt;
    Record record;
    record.line = line_;
    if (EndOfLine()) {
      record.empty_line = true;
      return record;
    }
    while (true) {
      std::string field;
      const std::size_t number = record.field_count + 1;
      if (pos_ < text_.size() && text_[pos_] == '"') {
        if (!ReadQuoted(field))
          return Fail(record, "unterminated quoted field", error);
        if (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '\n' && text_[pos_] != '\r')
          return Fail(record, "text after the closing quote of field " + std::to_string(number),
                      error);
      } else {
        const std::size_t end = text_.find_first_of(",\r\n\"", pos_);
        field = text_.substr(pos_, end == std::string_view::npos ? end : end - pos_);
        pos_ += field.size();
        if (pos_ < text_.size() && text_[pos_] == '"')
          return Fail(record, "quote inside unquoted field " + std::to_string(number), error);
      }
      if (field.size() > kMaxFieldBytes)
        return Fail(record,
                    "field " + std::to_string(number) + " is longer than " +
                        std::to_string(kMaxFieldBytes) + " bytes",
                    error);
      // The grid shows one line per cell.
      if (field.find_first_of("\r\n") != std::string::npos)
        return Fail(record, "field " + std::to_string(number) + " holds a line break", error);
      if (record.fields.size() < kKeptFields)
        record.fields.push_back(std::move(field));
      ++record.field_count;
      if (pos_ == text_.size() || EndOfLine())
        return record;
      if (AtBareCr())
        return Fail(record, "carriage return without a line feed", error);
      ++pos_;  // the comma
    }
  }

 private:
  // Reads past a line end (LF or CR LF) when one is at the position.
  bool EndOfLine() {
    if (text_.substr(pos_, 1) == "\n" || text_.substr(pos_, 2) == "\r\n") {
      pos_ += text_[pos_] == '\r' ? 2 : 1;
      ++line_;
      return true;
    }
    return false;
  }

  bool AtBareCr() const { return pos_ < text_.size() && text_[pos_] == '\r'; }

  // From the opening quote to past the closing one; false when the text ends first. Line ends
  // inside count toward the line number.
  bool ReadQuoted(std::string& field) {
    ++pos_;
    while (pos_ < text_.size()) {
      const std::size_t end = text_.find('"', pos_);
      const std::string_view run = text_.substr(pos_, end - pos_);
      for (const char c : run)
        line_ += c == '\n';
      // Beyond the field limit the record is refused anyway: keep no more than that.
      if (field.size() <= kMaxFieldBytes)
        field += run.substr(0, kMaxFieldBytes + 1 - field.size());
      if (end == std::string_view::npos)
        break;
      pos_ = end + 1;
      if (pos_ < text_.size() && text_[pos_] == '"') {
        field += '"';
        ++pos_;
      } else {
        return true;
      }
    }
    pos_ = text_.size();
    return false;
  }

  std::nullopt_t Fail(const Record& record, const std::string& what, std::string& error) {
    error = AtLine(record.line, what);
    return std::nullopt;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

bool HasFields(const Record& record, const std::vector<std::string>& fields) {
  return !record.empty_line && record.field_count == fields.size() && record.fields == fields;
}

// "3" for a plain positive number, the quoted text otherwise (so "03" does not pass for 3).
std::string StageNumberText(const std::string& field) {
  const bool plain = !field.empty() && field.size() <= 9 && field[0] != '0' &&
                     field.find_first_not_of("0123456789") == std::string::npos;
  return plain ? field : Quoted(field);
}

// The stage rows after the header, up to the first empty line, into `lineup`; the refusal
// message, or "".
std::string ReadStages(RecordReader& reader, Lineup& lineup) {
  std::string error;
  std::optional<Record> record;
  while (true) {
    record = reader.Next(error);
    if (!error.empty())
      return error;
    if (!record || record->empty_line) {
      if (lineup.stages.empty())
        return AtLine(record ? record->line : reader.line(),
                      "no stages (a line-up has 1 to " + std::to_string(kLineupMaxStages) + ")");
      if (!record)
        return AtLine(reader.line(),
                      "the file ends after the stages (the \"Parameter,Value\" rows are missing)");
      break;
    }
    if (HasFields(*record, kParameterHeader))
      return AtLine(record->line, "expected an empty line before \"Parameter,Value\"");
    if (record->field_count != kStageFields)
      return AtLine(record->line, "expected " + std::to_string(kStageFields) + " fields, found " +
                                      std::to_string(record->field_count));
    const std::string expected = std::to_string(lineup.stages.size() + 1);
    if (record->fields[0] != expected)
      return AtLine(record->line, "stage number " + StageNumberText(record->fields[0]) +
                                      ", expected " + expected);
    if (lineup.stages.size() == kLineupMaxStages)
      return AtLine(record->line, "more than " + std::to_string(kLineupMaxStages) + " stages");
    LineupStage& stage = lineup.stages.emplace_back();
    for (std::size_t i = 0; i < stage.cells.size(); ++i)
      stage.cells[i] = std::move(record->fields[i + 1]);
  }

  return "";
}

// The parameter rows after their header, up to the first empty line (after which only empty
// lines may come), into `lineup` in the order of `parameter_keys`; the refusal message, or "".
std::string ReadParameters(RecordReader& reader, const std::vector<std::string>& parameter_keys,
                           Lineup& lineup) {
  std::string error;
  std::optional<Record> record;
  std::vector<std::optional<std::string>> values(parameter_keys.size());
  while ((record = reader.Next(error)) && !record->empty_line) {
    if (record->field_count != kParameterFields)
      return AtLine(record->line, "expected " + std::to_string(kParameterFields) +
                                      " fields, found " + std::to_string(record->field_count));
    const std::string& key = record->fields[0];
    std::size_t index = 0;
    while (index < parameter_keys.size() && parameter_keys[index] != key)
      ++index;
    if (index == parameter_keys.size())
      return AtLine(record->line, "unknown parameter " + Quoted(key));
    if (values[index])
      return AtLine(record->line, "parameter " + Quoted(key) + " given twice");
    values[index] = std::move(record->fields[1]);
  }
  while (error.empty() && record) {
    if (!record->empty_line)
      return AtLine(record->line, "only empty lines may follow the parameters");
    record = reader.Next(error);
  }
  if (!error.empty())
    return error;

  for (std::size_t i = 0; i < parameter_keys.size(); ++i) {
    if (!values[i])
      return "missing parameter " + Quoted(parameter_keys[i]);
    lineup.parameters.emplace_back(parameter_keys[i], std::move(*values[i]));
  }
  return "";
}

// Reads the whole file into `lineup`; the refusal message, or "" when it is a line-up.
std::string ReadLineup(std::string_view text, const std::vector<std::string>& parameter_keys,
                       Lineup& lineup) {
  if (text.size() > kLineupMaxFileBytes)
    return "the file is larger than 1 MiB";
  if (text.substr(0, kBom.size()) == kBom)
    text.remove_prefix(kBom.size());
  RecordReader reader(text);
  std::string error;

  std::optional<Record> record = reader.Next(error);
  if (!error.empty())
    return error;
  if (!record || !HasFields(*record, kStageHeader))
    return AtLine(
        1, "not a VEXA line-up (the header row must be \"" + std::string(kStageHeaderText) + "\")");
  if (std::string refusal = ReadStages(reader, lineup); !refusal.empty())
    return refusal;

  record = reader.Next(error);
  if (!error.empty())
    return error;
  if (!record || !HasFields(*record, kParameterHeader))
    return AtLine(record ? record->line : reader.line(),
                  "expected the \"Parameter,Value\" header row");
  return ReadParameters(reader, parameter_keys, lineup);
}

}  // namespace

std::string WriteLineupCsv(const Lineup& lineup) {
  std::string out;
  AppendRow(out, {kStageHeader.begin(), kStageHeader.end()});
  for (std::size_t i = 0; i < lineup.stages.size(); ++i) {
    const std::string number = std::to_string(i + 1);
    std::vector<std::string_view> row = {number};
    for (const std::string& cell : lineup.stages[i].cells)
      row.push_back(cell);
    AppendRow(out, row);
  }
  out += "\r\n";
  AppendRow(out, {kParameterHeader.begin(), kParameterHeader.end()});
  for (const auto& [key, value] : lineup.parameters)
    AppendRow(out, {key, value});
  return out;
}

LineupResult ParseLineupCsv(std::string_view text, const std::vector<std::string>& parameter_keys) {
  LineupResult result;
  std::string error = ReadLineup(text, parameter_keys, result.lineup);
  if (!error.empty()) {
    result.lineup = Lineup();
    result.error = std::move(error);
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace vexa
