#include "instrument/plan_form.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "core/convert.h"

namespace vexa {
namespace {

constexpr std::array<const char*, kBandCount> kDefaultChannels = {"975,62,124,", "512,698,885,",
                                                                  "512,661,810,", "128,190,251,"};

// Typed lists and loss texts are read from at most this many characters.
constexpr std::size_t kCaptureTextLength = 199;

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
void ReadPair(const std::string& text, std::array<float, 2>& pair) {
  const std::string_view view = UpToNul(text).substr(0, kCaptureTextLength);
  std::size_t end = 0;
  pair[0] = ToSingle(ReadDecimal(view, 0, end));
  const std::size_t next = end + 1;
  std::size_t ignored = 0;
  pair[1] = next < view.size() ? ToSingle(ReadDecimal(view, next, ignored)) : 0.0f;
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
    } else {
      const std::string_view text = controls.channels.text;
      ParseIntegerList(text.substr(0, kCaptureTextLength), channels);
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

  ReadPair(form.Elowfreq.text, plan.lowBandFrequencies);
  ReadPair(form.Elowloss.text, plan.lowBandLosses);
  ReadPair(form.Ehighfreq.text, plan.highBandFrequencies);
  ReadPair(form.Ehighloss.text, plan.highBandLosses);
}

}  // namespace vexa
