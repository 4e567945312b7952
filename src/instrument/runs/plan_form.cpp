#include "instrument/runs/plan_form.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>

#include "core/convert.h"

namespace vexa {
namespace {

constexpr std::array<const char*, kBandCount> kDefaultChannels = {"975,62,124,", "512,698,885,",
                                                                  "512,661,810,", "128,190,251,"};

// The whole band, in the order the run walks it in scan mode.
struct ChannelRange {
  int first;
  int last;
};
constexpr std::array<std::array<ChannelRange, 2>, kBandCount> kScanRanges = {{
    {{{975, 1023}, {0, 124}}},
    {{{512, 885}, {0, -1}}},
    {{{512, 810}, {0, -1}}},
    {{{128, 251}, {0, -1}}},
}};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Where a strtol/strtod-style number starting at `pos` has its digits: past the leading
// blanks and an optional sign (`negative` tells which).
std::size_t SkipBlanksAndSign(std::string_view text, std::size_t pos, bool& negative) {
  while (pos < text.size() && IsBlank(text[pos]))
    ++pos;
  negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  return pos;
}

std::string_view UpToNul(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

// A strtol-style read at `pos`: the value and where it ended (`pos` itself when no digits).
std::int32_t ReadLong(std::string_view text, std::size_t pos, std::size_t& end) {
  bool negative = false;
  std::size_t p = SkipBlanksAndSign(text, pos, negative);
  if (p >= text.size() || !IsDigit(text[p])) {
    end = pos;
    return 0;
  }
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  std::int64_t magnitude = 0;
  for (; p < text.size() && IsDigit(text[p]); ++p) {
    if (magnitude <= kMax + 1)
      magnitude = magnitude * 10 + (text[p] - '0');
  }
  end = p;
  if (negative)
    return static_cast<std::int32_t>(-std::min(magnitude, kMax + 1));
  return static_cast<std::int32_t>(std::min(magnitude, kMax));
}

float ToSingle(double value) {
  if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max())
    throw FloatError(kOverflow);
  return static_cast<float>(value);
}

// A strtod-style read at `pos` of a decimal number with '.' (blanks, sign, digits, fraction,
// exponent): the value and where it ended (`pos` itself when there is no number).
double ReadDecimal(std::string_view text, std::size_t pos, std::size_t& end) {
  end = pos;
  bool negative = false;
  std::size_t p = SkipBlanksAndSign(text, pos, negative);
  const std::size_t begin = p;
  std::size_t digits = 0;
  for (; p < text.size() && IsDigit(text[p]); ++p)
    ++digits;
  if (p < text.size() && text[p] == '.') {
    ++p;
    for (; p < text.size() && IsDigit(text[p]); ++p)
      ++digits;
  }
  if (digits == 0)
    return 0.0;
  bool exponent_negative = false;
  if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
    std::size_t q = p + 1;
    if (q < text.size() && (text[q] == '+' || text[q] == '-')) {
      exponent_negative = text[q] == '-';
      ++q;
    }
    if (q < text.size() && IsDigit(text[q])) {
      while (q < text.size() && IsDigit(text[q]))
        ++q;
      p = q;
    }
  }
  end = p;
  double value = 0.0;
  const auto [ptr, error] = std::from_chars(text.data() + begin, text.data() + p, value);
  if (error == std::errc::result_out_of_range)
    value = exponent_negative ? 0.0 : std::numeric_limits<double>::infinity();
  (void)ptr;
  return negative ? -value : value;
}

// The two numbers of a cable-loss text ("880~960", "-0.5~-0.6"): the leading number and the
// one starting one character after it ended. A missing number reads as 0.
std::array<double, 2> ReadPairValues(std::string_view text) {
  const std::string_view view = CutListAtSeparator(UpToNul(text), kCaptureTextLength);
  std::size_t end = 0;
  const double first = ReadDecimal(view, 0, end);
  const std::size_t next = end + 1;
  std::size_t ignored = 0;
  return {first, next < view.size() ? ReadDecimal(view, next, ignored) : 0.0};
}

void ReadPair(const PlanEdit& edit, const char* caption, std::array<float, 2>& pair) {
  if (edit.typed)
    CheckTypedLossPair(caption, edit.text);
  const std::array<double, 2> values = ReadPairValues(edit.text);
  pair[0] = ToSingle(values[0]);
  pair[1] = ToSingle(values[1]);
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

// An optional sign and digits, nothing else; the value saturates far beyond any channel.
bool ReadWholeNumber(std::string_view item, long long& value) {
  std::size_t p = 0;
  bool negative = false;
  if (p < item.size() && (item[p] == '+' || item[p] == '-')) {
    negative = item[p] == '-';
    ++p;
  }
  if (p == item.size())
    return false;
  constexpr long long kCeiling = 1'000'000'000'000LL;
  long long magnitude = 0;
  for (; p < item.size(); ++p) {
    if (!IsDigit(item[p]))
      return false;
    magnitude = std::min(kCeiling, magnitude * 10 + (item[p] - '0'));
  }
  value = negative ? -magnitude : magnitude;
  return true;
}

// The comma-separated items of a typed list, trimmed; one comma after the last item and a
// text of blanks only give no further item.
std::vector<std::string_view> ListItems(std::string_view text) {
  std::vector<std::string_view> items;
  if (Trim(text).empty())
    return items;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    items.push_back(
        Trim(text.substr(start, comma == std::string_view::npos ? comma : comma - start)));
    if (comma == std::string_view::npos)
      break;
    start = comma + 1;
  }
  if (items.size() > 1 && items.back().empty())
    items.pop_back();
  return items;
}

std::vector<std::int32_t> ReadTypedList(std::string_view text, const std::string& name,
                                        const std::function<bool(long long)>& in_band,
                                        const std::string& what, const std::string& range,
                                        std::size_t room) {
  if (text.size() > kCaptureTextLength) {
    throw PlanInputError(name + ": the list is longer than " + std::to_string(kCaptureTextLength) +
                         " characters");
  }
  std::vector<std::int32_t> values;
  const std::vector<std::string_view> items = ListItems(text);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::string item(items[i]);
    long long value = 0;
    if (item.empty())
      throw PlanInputError(name + ": item " + std::to_string(i + 1) + " is empty");
    if (!ReadWholeNumber(item, value))
      throw PlanInputError(name + ": '" + item + "' is not a whole number");
    if (!in_band(value))
      throw PlanInputError(name + ": " + item + " is not a " + what + " of the band (" + range +
                           ")");
    values.push_back(static_cast<std::int32_t>(value));
  }
  if (values.size() > room) {
    throw PlanInputError(name + ": more than " + std::to_string(room) + " " + what + "s");
  }
  return values;
}

bool IsNumberRunOn(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '+' || c == '-';
}

void FillWholeBand(int band, std::array<std::int32_t, kChannelListSize>& list) {
  std::size_t n = 0;
  for (const ChannelRange& range : kScanRanges[static_cast<std::size_t>(band)]) {
    for (int channel = range.first; channel <= range.last; ++channel)
      list[n++] = channel;
  }
  list[n] = kEndOfList;
}

}  // namespace

ListIndexError::ListIndexError(int index)
    : Error("List index out of bounds (" + std::to_string(index) + ")"), index_(index) {}

void PlanCheckList::SetChecked(int index, bool checked) {
  if (index < 0 || static_cast<std::size_t>(index) >= items.size())
    throw ListIndexError(index);
  items[static_cast<std::size_t>(index)].checked = checked;
}

int PlanCheckList::IndexOf(std::string_view text) const {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].text == text)
      return static_cast<int>(i);
  }
  return -1;
}

std::string_view CutListAtSeparator(std::string_view text, std::size_t limit) {
  if (text.size() <= limit)
    return text;
  std::size_t keep = limit;
  if (IsDigit(text[keep])) {
    while (keep > 0 && (IsDigit(text[keep - 1]) || IsBlank(text[keep - 1]) ||
                        text[keep - 1] == '+' || text[keep - 1] == '-'))
      --keep;
  }
  return text.substr(0, keep);
}

std::string ChannelListName(int band) {
  return std::string(kPlanBandNames[static_cast<std::size_t>(band)]) + " channels";
}

std::string LevelListName(int band) {
  return std::string(kPlanBandNames[static_cast<std::size_t>(band)]) + " levels";
}

std::string ChannelRangeText(int band) {
  // E-GSM's lower range first, as the channels are usually written.
  std::array<ChannelRange, 2> ranges = kScanRanges[static_cast<std::size_t>(band)];
  if (ranges[1].first <= ranges[1].last)
    std::swap(ranges[0], ranges[1]);
  std::string text;
  for (const ChannelRange& range : ranges) {
    if (range.first > range.last)
      continue;
    text +=
        (text.empty() ? "" : ", ") + std::to_string(range.first) + "-" + std::to_string(range.last);
  }
  return text;
}

std::string LevelRangeText(int band) {
  return std::to_string(LevelOfItem(band, 0)) + "-" +
         std::to_string(LevelOfItem(band, IsLowBand(band) ? 14 : 15));
}

bool IsChannelOfBand(int band, long long channel) {
  for (const ChannelRange& range : kScanRanges[static_cast<std::size_t>(band)]) {
    if (channel >= range.first && channel <= range.last)
      return true;
  }
  return false;
}

std::vector<std::int32_t> ReadTypedChannels(int band, std::string_view text) {
  return ReadTypedList(
      text, ChannelListName(band), [band](long long value) { return IsChannelOfBand(band, value); },
      "channel", ChannelRangeText(band), kChannelListSize - 1);
}

std::vector<std::int32_t> ReadTypedLevels(int band, std::string_view text) {
  const long long lowest = LevelOfItem(band, 0);
  const long long highest = LevelOfItem(band, IsLowBand(band) ? 14 : 15);
  return ReadTypedList(
      text, LevelListName(band),
      [lowest, highest](long long value) { return value >= lowest && value <= highest; }, "level",
      LevelRangeText(band), kLevelListSize - 1);
}

bool IsLossPairText(std::string_view text) {
  if (text.size() > kCaptureTextLength)
    return false;
  text = Trim(text);
  std::size_t end = 0;
  const double first = ReadDecimal(text, 0, end);
  if (end == 0 || !std::isfinite(first))
    return false;
  if (end == text.size())
    return true;
  // One character joins the two numbers; a letter or a point there is a mistyped number.
  if (IsNumberRunOn(text[end]) && text[end] != '-' && text[end] != '+')
    return false;
  const std::size_t next = end + 1;
  std::size_t second_end = next;
  const double second = ReadDecimal(text, next, second_end);
  return second_end > next && second_end == text.size() && std::isfinite(second);
}

void CheckTypedLossPair(const std::string& caption, std::string_view text) {
  if (!IsLossPairText(text)) {
    throw PlanInputError(caption + ": '" + std::string(text) +
                         "' is not a number or two numbers such as -0.5~-0.6");
  }
}

std::array<double, 2> LossPairValues(std::string_view text) {
  return ReadPairValues(text);
}

FileListReading ReadFileList(std::string_view text) {
  FileListReading reading;
  text = UpToNul(text);
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = pos;
    reading.values.push_back(ReadLong(text, pos, end));
    if (end == pos)
      reading.zero_without_number = true;
    else if (end < text.size() && IsNumberRunOn(text[end]))
      reading.number_run_on = true;
    if (end >= text.size())
      break;
    pos = end + 1;
  }
  for (const std::string_view item : ListItems(text)) {
    long long ignored = 0;
    if (!item.empty() && !ReadWholeNumber(item, ignored))
      reading.not_whole.emplace_back(item);
  }
  return reading;
}

const char* DefaultChannelText(int band) {
  return kDefaultChannels[static_cast<std::size_t>(band)];
}

PlanForm::PlanForm() {
  for (int band = 0; band < kBandCount; ++band) {
    PlanBandControls& controls = Band(band);
    const int count = IsLowBand(band) ? 15 : 16;
    for (int i = 0; i < count; ++i)
      controls.levels.items.push_back({std::to_string(LevelOfItem(band, i)), false});
    controls.channels.text = DefaultChannelText(band);
    // GSM850 is designed off: its box unchecked and its row disabled.
    const bool on = band != 3;
    controls.box.checked = on;
    controls.levels.enabled = on;
    controls.label_enabled = on;
    controls.channels.enabled = on;
    controls.scan.enabled = on;
  }
  for (const char* name : kTestItemNames)
    CLBtestitem.items.push_back({name, false});
}

void PlanForm::FormCreate() {
  Button1Click();
  Button2Click();
}

void PlanForm::BandClick(int band) {
  PlanBandControls& controls = Band(band);
  const bool on = controls.box.checked;
  controls.levels.enabled = on;
  controls.label_enabled = on;
  controls.scan.enabled = on;
  controls.channels.enabled = on;
}

void PlanForm::ScanModeClick(int band) {
  PlanBandControls& controls = Band(band);
  controls.channels.enabled = !controls.scan.checked;
}

void PlanForm::SetBandChecked(int band, bool checked) {
  PlanCheckBox& box = Band(band).box;
  if (box.checked == checked)
    return;
  box.checked = checked;
  BandClick(band);
}

void PlanForm::SetScanModeChecked(int band, bool checked) {
  PlanCheckBox& box = Band(band).scan;
  if (box.checked == checked)
    return;
  box.checked = checked;
  ScanModeClick(band);
}

void PlanForm::SetEnabledLevels(bool checked) {
  for (PlanBandControls& controls : bands_) {
    if (!controls.levels.enabled)
      continue;
    for (PlanCheckListItem& item : controls.levels.items)
      item.checked = checked;
  }
}

void PlanForm::SetAllItems(bool checked) {
  for (PlanCheckListItem& item : CLBtestitem.items)
    item.checked = checked;
}

int ParseIntegerList(std::string_view text, std::span<std::int32_t> list) {
  if (list.empty())
    return 0;
  text = UpToNul(text);
  const std::size_t room = list.size() - 1;
  std::size_t count = 0;
  std::size_t pos = 0;
  while (pos < text.size() && count < room) {
    std::size_t end = pos;
    list[count++] = ReadLong(text, pos, end);
    if (end >= text.size())
      break;
    pos = end + 1;
  }
  list[count] = kEndOfList;
  return static_cast<int>(count);
}

int ListLength(std::span<const std::int32_t> list) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i] == kEndOfList)
      return static_cast<int>(i);
  }
  return static_cast<int>(list.size());
}

void CaptureTestPlan(const PlanForm& form, TestPlan& plan) {
  for (int band = 0; band < kBandCount; ++band)
    plan.bandEnabled[static_cast<std::size_t>(band)] = form.Band(band).box.checked;

  for (int band = 0; band < kBandCount; ++band) {
    const PlanBandControls& controls = form.Band(band);
    auto& channels = plan.channels[static_cast<std::size_t>(band)];
    plan.scanMode[static_cast<std::size_t>(band)] = controls.scan.checked;
    if (controls.scan.checked) {
      FillWholeBand(band, channels);
    } else if (controls.channels.typed) {
      const std::vector<std::int32_t> typed = ReadTypedChannels(band, controls.channels.text);
      std::copy(typed.begin(), typed.end(), channels.begin());
      channels[typed.size()] = kEndOfList;
    } else {
      ParseIntegerList(CutListAtSeparator(UpToNul(controls.channels.text), kCaptureTextLength),
                       channels);
    }
  }

  for (int band = 0; band < kBandCount; ++band) {
    const PlanCheckList& list = form.Band(band).levels;
    auto& levels = plan.levels[static_cast<std::size_t>(band)];
    if (!list.enabled) {
      levels[0] = kEndOfList;
      continue;
    }
    std::size_t n = 0;
    for (std::size_t i = 0; i < list.items.size() && n + 1 < levels.size(); ++i) {
      if (list.items[i].checked)
        levels[n++] = LevelOfItem(band, static_cast<int>(i));
    }
    levels[n] = kEndOfList;
  }

  for (int item = 0; item < kTestItemCount; ++item) {
    const int index = form.CLBtestitem.IndexOf(kTestItemNames[static_cast<std::size_t>(item)]);
    plan.itemEnabled[static_cast<std::size_t>(item)] =
        index >= 0 && form.CLBtestitem.items[static_cast<std::size_t>(index)].checked;
  }

  plan.berReferenceLevel = ToSingle(TextToFloat(form.Eberref.text));
  plan.berCount = TextToInt(form.Ebercount.text);

  plan.antennaMode = form.CBant.checked;
  plan.antennaStep = TextToInt(form.Eantstep.text);
  plan.antennaAngle = 0;

  ReadPair(form.Elowfreq, kLossCaptions[0], plan.lowBandFrequencies);
  ReadPair(form.Elowloss, kLossCaptions[1], plan.lowBandLosses);
  ReadPair(form.Ehighfreq, kLossCaptions[2], plan.highBandFrequencies);
  ReadPair(form.Ehighloss, kLossCaptions[3], plan.highBandLosses);
}

}  // namespace vexa
