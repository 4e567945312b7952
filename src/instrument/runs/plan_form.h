// The test-plan window (TForm2) as a form model: the state of every control the plan reads
// or writes, the window's click handlers with their enabling rules, and the capture of the
// program-wide TestPlan from the controls. Qt-free: the plan window mirrors this state into
// its widgets and forwards its clicks here, and `vexa-cli plan` drives the same model.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/errors.h"
#include "instrument/runs/test_plan.h"

namespace vexa {

// The toolkit's list error: an item index outside a check-list ("List index out of bounds
// (95)"). It ends the running handler like the conversion errors do.
class ListIndexError : public Error {
 public:
  explicit ListIndexError(int index);
  int index() const { return index_; }

 private:
  int index_;
};

struct PlanCheckBox {
  bool checked = false;
  bool enabled = true;
};

// A list the user typed (a channel list, a cable-loss pair) that does not hold what it must:
// "EGSM channels: 'abc' is not a whole number". It ends the running handler like the
// conversion errors do.
class PlanInputError : public Error {
 public:
  using Error::Error;
};

struct PlanEdit {
  std::string text;
  bool enabled = true;
  // The text was typed by the user (not the start-up text, nor one a plan file put there).
  // Typed channel lists and cable-loss pairs are checked strictly before they are used.
  bool typed = false;
};

struct PlanCheckListItem {
  std::string text;
  bool checked = false;
};

struct PlanCheckList {
  std::vector<PlanCheckListItem> items;
  bool enabled = true;

  // Checked[index] := checked; an index outside the list throws ListIndexError.
  void SetChecked(int index, bool checked);
  // The index of the item with this text, or -1.
  int IndexOf(std::string_view text) const;
};

// One band's row of controls (EGSM: CBgsm, CLBgsm, Lgsm, EgsmCN, CBgsmSM; DCS: CBdcs, ...;
// PCS: CBpcs, ...; GSM850: CBgsm850, CLBgsm850, Lgsm850, Egsm850CN, CBgsm850SM).
struct PlanBandControls {
  PlanCheckBox box;           // CBgsm: the band is tested
  PlanCheckList levels;       // CLBgsm: the power control levels, items "5".."19" or "0".."15"
  bool label_enabled = true;  // Lgsm: the ARFCN label, enabled while the band is on
  PlanEdit channels;          // EgsmCN: the channel list
  PlanCheckBox scan;          // CBgsmSM: "Scan Mode"
};

// The level of item `index` of a band's level list: index + 5 on the low bands.
inline constexpr int LevelOfItem(int band, int index) {
  return IsLowBand(band) ? index + 5 : index;
}
// The item of a level; levels near the bottom of the 32-bit range give the lowest index
// instead of wrapping round.
inline constexpr int ItemOfLevel(int band, int level) {
  if (!IsLowBand(band))
    return level;
  return level < std::numeric_limits<int>::min() + 5 ? std::numeric_limits<int>::min() : level - 5;
}

// The channel list each band's edit holds at start-up ("975,62,124,", ...).
const char* DefaultChannelText(int band);

class PlanForm {
 public:
  // The window as designed, before its creation handler runs.
  PlanForm();

  PlanBandControls& Band(int band) { return bands_[static_cast<std::size_t>(band)]; }
  const PlanBandControls& Band(int band) const { return bands_[static_cast<std::size_t>(band)]; }

  // The window's creation: "Check All" for the levels, then for the items.
  void FormCreate();

  // CBgsmClick and its twins: the band's level list, ARFCN label, Scan Mode box and channel
  // edit follow the box's checked state.
  void BandClick(int band);
  // CBgsmSMClick and its twins: the channel edit is disabled while Scan Mode is checked.
  void ScanModeClick(int band);
  // The box's state set by the program or a mouse click: the click rule runs when it changes.
  void SetBandChecked(int band, bool checked);
  void SetScanModeChecked(int band, bool checked);

  // "Check All" / "unCheck All" of the levels: every item of each enabled level list.
  void Button1Click() { SetEnabledLevels(true); }
  void Button6Click() { SetEnabledLevels(false); }
  // "Check All" / "unCheck All" of the test items.
  void Button2Click() { SetAllItems(true); }
  void Button7Click() { SetAllItems(false); }

  PlanCheckList CLBtestitem;  // the seven test items, in TestItem order
  PlanEdit Eberref{"-102.5"};
  PlanEdit Ebercount{"8200"};
  PlanEdit Elowfreq{"880~960"};
  PlanEdit Elowloss{"-0.5~-0.6"};
  PlanEdit Ehighfreq{"1710~1990"};
  PlanEdit Ehighloss{"-1.2~-1.5"};
  PlanCheckBox CBant;                     // "ANT MOD"
  PlanEdit Eantstep{"30"};                // "Degree/Turn"
  PlanCheckBox CheckBox1{true};           // "*RST"
  std::string Label15 = "Tpl Path Name";  // the last plan file saved or opened

 private:
  void SetEnabledLevels(bool checked);
  void SetAllItems(bool checked);

  std::array<PlanBandControls, kBandCount> bands_;
};

// Typed lists and loss texts are read from at most this many characters.
inline constexpr std::size_t kCaptureTextLength = 199;

// The first `limit` characters of a list text, or fewer so that no number is cut in two: when
// the character after the cut would continue a number, the cut goes back to just after the
// last character that ends one (not a digit, sign or blank). The whole text when it is not
// longer than `limit`.
std::string_view CutListAtSeparator(std::string_view text, std::size_t limit);

// The names the messages give the lists: "EGSM channels", "DCS levels".
std::string ChannelListName(int band);
std::string LevelListName(int band);
// A band's channels and levels as the messages show them: "0-124, 975-1023", "5-19".
std::string ChannelRangeText(int band);
std::string LevelRangeText(int band);
bool IsChannelOfBand(int band, long long channel);

// A list as the user types it: whole numbers separated by commas, blanks around them and one
// comma after the last allowed, each a channel (a level) of the band, at most
// kCaptureTextLength characters. Anything else throws PlanInputError naming the list and the
// first item that is wrong, e.g. "EGSM channels: 2000 is not a channel of the band (0-124,
// 975-1023)".
std::vector<std::int32_t> ReadTypedChannels(int band, std::string_view text);
std::vector<std::int32_t> ReadTypedLevels(int band, std::string_view text);

// A cable-loss text as the user types it: one decimal number, or two joined by one character
// ("880~960", "-0.5~-0.6"), blanks at either end allowed, at most kCaptureTextLength
// characters, the numbers finite. `caption` names the edit ("Low Band dB").
bool IsLossPairText(std::string_view text);
void CheckTypedLossPair(const std::string& caption, std::string_view text);
// The two numbers a cable-loss text gives by the capture's rule (see CaptureTestPlan).
std::array<double, 2> LossPairValues(std::string_view text);

// The captions of the four cable-loss edits, in the order Elowfreq, Elowloss, Ehighfreq,
// Ehighloss.
inline constexpr std::array<const char*, 4> kLossCaptions = {"Low Band MHz", "Low Band dB",
                                                             "High Band MHz", "High Band dB"};

// A list as a plan file's rule reads it (ParseIntegerList without a limit), and what in it is
// not a plain list of whole numbers: an item that yields a 0 without holding a number ("abc",
// the blank in "62 ,"), a number run on into a letter, point or sign ("1.5", "12abc"), and
// the comma-separated items that are not whole numbers.
struct FileListReading {
  std::vector<std::int32_t> values;
  bool zero_without_number = false;
  bool number_run_on = false;
  std::vector<std::string> not_whole;  // trimmed, without the empty ones
};
FileListReading ReadFileList(std::string_view text);

// Reads decimal integers as strtol does (leading blanks, optional sign, digits; 0 and no
// progress when there are none), each followed by one separator character, into `list`, and
// ends the list with -1. A value beyond the 32-bit range saturates. The text ends at its end
// or at a NUL. At most list.size() - 1 integers are stored, so the -1 always fits; reading
// stops when the list is full. Returns how many integers were stored (without the -1); an
// empty `list` receives nothing and gives 0.
int ParseIntegerList(std::string_view text, std::span<std::int32_t> list);

// How many entries precede the -1 of a list (the whole list when it has none).
int ListLength(std::span<const std::int32_t> list);

// Fills `plan` from the controls, field by field in the window's capture order. A text that
// is not a number (BER REF, BER COUNT, Degree/Turn) throws ConversionError, a value beyond
// the single-precision range FloatError; the fields captured before keep their new values.
// antennaAngle becomes 0. Channel lists and cable-loss texts that the user typed are read
// strictly (ReadTypedChannels, CheckTypedLossPair: PlanInputError); the others by the file
// rule (ParseIntegerList of the first 199 characters, cut at a separator).
void CaptureTestPlan(const PlanForm& form, TestPlan& plan);

}  // namespace vexa
