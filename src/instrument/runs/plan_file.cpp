#include "instrument/runs/plan_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

// Byte strings only: plan files are read and written as they stand, without a conversion.
// Debian's header holds the template code behind SI_IMPLEMENTATION; it is compiled here, in
// this one file, so nothing links the ICU-built shared library.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "core/atomic_file.h"
#include "core/convert.h"
#include "core/file_reader.h"

namespace vexa {
namespace {

constexpr const char* kBand = "BAND";
constexpr const char* kPcl = "PCL";
constexpr const char* kCn = "CN";
constexpr const char* kItem = "ITEM";
constexpr const char* kLoss = "LOSS";
constexpr const char* kAnt = "ANT";
constexpr const char* kScanAll = "All";

// Key lookup ignores case; each key appears once.
using PlanIni = CSimpleIniA;

// Control characters other than tab, CR and LF mark a file that is not text.
bool IsTextByte(unsigned char byte) {
  return byte >= 0x20 || byte == '\t' || byte == '\r' || byte == '\n';
}

void CheckIsPlanText(std::string_view text, const std::string& name) {
  if (text.size() > kMaxPlanFileSize) {
    throw PlanFileError("Cannot use " + name + ": the file is larger than " +
                        std::to_string(kMaxPlanFileSize / 1024) + " KiB");
  }
  for (const char c : text) {
    if (!IsTextByte(static_cast<unsigned char>(c)) || c == '\x7f')
      throw PlanFileError("Cannot use " + name + ": the file is not a text file");
  }
}

void Load(PlanIni& ini, std::string_view text, const std::string& name) {
  CheckIsPlanText(text, name);
  ini.SetUnicode(false);
  ini.SetMultiKey(false);
  ini.SetMultiLine(false);
  ini.SetSpaces(false);
  if (ini.LoadData(text.data(), text.size()) < 0)
    throw PlanFileError("Cannot use " + name + ": the file cannot be read as a plan");
}

// The whole file, or the empty text when there is no file of that name. Read through the
// capped reader: a directory, a FIFO or a device is refused without waiting on it.
std::string ReadFileBytes(const std::string& path) {
  const FileReadResult file = ReadFileCapped(path, kMaxPlanFileSize);
  switch (file.status) {
    case FileReadStatus::kRead:
      return file.bytes;
    case FileReadStatus::kCannotOpen:
      if (file.Missing())
        return {};
      [[fallthrough]];
    case FileReadStatus::kCannotRead:
      throw PlanFileError("Unable to read " + path + ": " + std::strerror(file.error));
    case FileReadStatus::kIsDirectory:
      throw PlanFileError("Cannot use " + path + ": it is a directory");
    case FileReadStatus::kNotRegularFile:
      throw PlanFileError("Cannot use " + path + ": it is not a regular file");
    case FileReadStatus::kTooLarge:
      throw PlanFileError("Cannot use " + path + ": the file is larger than " +
                          std::to_string(kMaxPlanFileSize / 1024) + " KiB");
    case FileReadStatus::kUtf16:
      throw PlanFileError("Cannot use " + path + ": the file " + FileReadReason(file, 0));
  }
  throw PlanFileError("Unable to read " + path);
}

std::string ReadString(const PlanIni& ini, const char* section, const char* key,
                       const char* fallback) {
  const char* value = ini.GetValue(section, key, nullptr);
  return value ? value : fallback;
}

// An integer key: the default when missing or not an integer.
int ReadInteger(const PlanIni& ini, const char* section, const char* key, int fallback) {
  const char* value = ini.GetValue(section, key, nullptr);
  if (!value)
    return fallback;
  try {
    return TextToInt(value);
  } catch (const ConversionError&) {
    return fallback;
  }
}

// PCL and CN values pass through a working buffer of 128 characters; a longer value is cut
// after its last whole number.
std::string ReadListValue(const PlanIni& ini, const char* section, const char* key) {
  return std::string(CutListAtSeparator(ReadString(ini, section, key, "100"), kPlanValueLength));
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts)
    text += (text.empty() ? "" : separator) + part;
  return text;
}

std::string NumbersText(const std::vector<std::int32_t>& values) {
  if (values.empty())
    return "nothing";
  std::string text;
  for (const std::int32_t value : values)
    text += (text.empty() ? "" : " ") + std::to_string(value);
  return text;
}

// The notice's lines for one PCL or CN value: a cut, and items that are not whole numbers or
// (channels) not of the band, with what the file rule reads.
void NoteList(const PlanIni& ini, const char* section, int band, std::vector<std::string>& lines) {
  const char* key = kPlanBandNames[static_cast<std::size_t>(band)];
  const char* value = ini.GetValue(section, key, nullptr);
  if (!value)
    return;  // a missing key: its default, and for PCL the list error
  const bool channels = std::string_view(section) == kCn;
  if (channels && std::string_view(value) == kScanAll)
    return;
  const std::string whole = value;
  const std::string read(CutListAtSeparator(whole, kPlanValueLength));
  const std::string name = std::string("[") + section + "] " + key;
  if (read.size() < whole.size()) {
    lines.push_back(name + " is longer than " + std::to_string(kPlanValueLength) +
                    " characters and is cut after its last whole number: only '" + read +
                    "' is read");
  }
  const FileListReading reading = ReadFileList(read);
  std::vector<std::string> reasons;
  // Other separators than commas ("512;600", "512 600") read as they look.
  if (reading.zero_without_number || reading.number_run_on) {
    for (const std::string& item : reading.not_whole)
      reasons.push_back("'" + item + "' is not a whole number");
    if (reading.not_whole.empty()) {
      reasons.emplace_back(reading.zero_without_number
                               ? "an item without a number reads as 0"
                               : "a number runs on into a letter, point or sign");
    }
  }
  if (channels) {
    std::vector<std::int32_t> outside;
    for (const std::int32_t channel : reading.values) {
      if (!IsChannelOfBand(band, channel) &&
          std::find(outside.begin(), outside.end(), channel) == outside.end())
        outside.push_back(channel);
    }
    for (const std::int32_t channel : outside) {
      reasons.push_back(std::to_string(channel) + " is not a channel of the band (" +
                        ChannelRangeText(band) + ")");
    }
  }
  if (reasons.empty())
    return;
  lines.push_back(name + "=" + read + " is read as " + NumbersText(reading.values) + " (" +
                  Joined(reasons, "; ") + ")");
}

// The notice of a plan's lists that the file rule reads differently from how they look; empty
// when every list is a plain list of whole numbers of its band.
std::string ListNotice(const PlanIni& ini, const std::string& name) {
  std::vector<std::string> lines;
  for (const char* section : {kPcl, kCn}) {
    for (int band = 0; band < kBandCount; ++band)
      NoteList(ini, section, band, lines);
  }
  const std::array<const char*, 4> loss_keys = {"LBFreq", "LBLoss", "HBFreq", "HBLoss"};
  for (std::size_t i = 0; i < loss_keys.size(); ++i) {
    const char* value = ini.GetValue(kLoss, loss_keys[i], nullptr);
    if (!value || IsLossPairText(value))
      continue;
    const std::array<double, 2> pair = LossPairValues(value);
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%g %g", pair[0], pair[1]);
    lines.push_back(std::string("[LOSS] ") + loss_keys[i] + "=" + value + " is read as " + numbers +
                    " (not a number, or two numbers such as -0.5~-0.6)");
  }
  if (lines.empty())
    return {};
  return "Check these values of " + name + "; they are read as shown:\n" + Joined(lines, "\n");
}

void ApplyLevels(PlanCheckList& list, int band, const std::string& text) {
  std::array<std::int32_t, kPlanValueLength + 1> levels{};
  const int count = ParseIntegerList(text, levels);
  for (int i = 0; i < count; ++i)
    list.SetChecked(ItemOfLevel(band, levels[static_cast<std::size_t>(i)]), true);
}

void Set(PlanIni& ini, const char* section, const char* key, const std::string& value,
         const std::string& name) {
  // A line break would end the value line and turn the rest into other lines of the file.
  if (value.find_first_of("\r\n") != std::string::npos ||
      ini.SetValue(section, key, value.c_str()) < 0)
    throw PlanFileError("Unable to write to " + name);
}

std::string Flag(bool on) {
  return on ? "1" : "0";
}

// The INI service writes bare LF line ends here; plan files use CR LF. A carriage return
// that an existing file carried inside a section name is kept: dropping it would turn a
// section the program ignores ("[PCL\r]") into one it reads ("[PCL]").
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
      out += '\r';
    out += text[i];
  }
  return out;
}

// The CN value of a channel edit: its text, unless it was typed with blanks where the file
// rule reads them as extra 0s (" 62 , 124 ,"); then the channels it holds, each followed by a
// comma ("62,124,"), so that the file gives back the channels that were typed.
std::string SavedChannelText(int band, const PlanEdit& edit) {
  if (!edit.typed)
    return edit.text;
  const std::vector<std::int32_t> typed = ReadTypedChannels(band, edit.text);
  const FileListReading file = ReadFileList(edit.text);
  if (file.values == typed)
    return edit.text;
  std::string text;
  for (const std::int32_t channel : typed)
    text += std::to_string(channel) + ",";
  return text;
}

// What the user typed and a save would write: the channel lists of the bands that are on and
// not in Scan Mode, and the four cable-loss texts. A plan file keeps list values of at most
// kPlanValueLength characters.
void CheckTypedTextsForSave(const PlanForm& form) {
  for (int band = 0; band < kBandCount; ++band) {
    const PlanBandControls& controls = form.Band(band);
    if (!controls.label_enabled || controls.scan.checked || !controls.channels.typed)
      continue;
    ReadTypedChannels(band, controls.channels.text);
    if (controls.channels.text.size() > kPlanValueLength) {
      throw PlanInputError(ChannelListName(band) + ": the list is longer than " +
                           std::to_string(kPlanValueLength) +
                           " characters, more than a plan file keeps");
    }
  }
  const std::array<const PlanEdit*, 4> losses = {&form.Elowfreq, &form.Elowloss, &form.Ehighfreq,
                                                 &form.Ehighloss};
  for (std::size_t i = 0; i < losses.size(); ++i) {
    if (losses[i]->typed)
      CheckTypedLossPair(kLossCaptions[i], losses[i]->text);
  }
}

}  // namespace

std::string PlanFileName(std::string_view chosen) {
  const std::size_t slash = chosen.rfind('/');
  const std::size_t dot = chosen.rfind('.');
  const bool has_extension =
      dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
  return std::string(has_extension ? chosen.substr(0, dot) : chosen) + ".tpl";
}

std::string MergePlanText(const PlanForm& form, std::string_view existing,
                          const std::string& name) {
  PlanIni ini;
  Load(ini, existing, name);
  for (int band = 0; band < kBandCount; ++band)
    Set(ini, kBand, kPlanBandNames[band], Flag(form.Band(band).box.checked), name);
  for (int band = 0; band < kBandCount; ++band) {
    const PlanCheckList& list = form.Band(band).levels;
    std::string text;
    if (list.enabled) {
      for (std::size_t i = 0; i < list.items.size(); ++i) {
        if (list.items[i].checked)
          text += std::to_string(LevelOfItem(band, static_cast<int>(i))) + ",";
      }
    }
    Set(ini, kPcl, kPlanBandNames[band], text, name);
  }
  for (int band = 0; band < kBandCount; ++band) {
    const PlanBandControls& controls = form.Band(band);
    std::string text = DefaultChannelText(band);
    if (controls.label_enabled)
      text = controls.scan.checked ? kScanAll : SavedChannelText(band, controls.channels);
    Set(ini, kCn, kPlanBandNames[band], text, name);
  }
  for (const PlanCheckListItem& item : form.CLBtestitem.items)
    Set(ini, kItem, item.text.c_str(), Flag(item.checked), name);
  Set(ini, kItem, "BERREF", form.Eberref.text, name);
  Set(ini, kItem, "BERCOUNT", form.Ebercount.text, name);
  Set(ini, kLoss, "LBFreq", form.Elowfreq.text, name);
  Set(ini, kLoss, "LBLoss", form.Elowloss.text, name);
  Set(ini, kLoss, "HBFreq", form.Ehighfreq.text, name);
  Set(ini, kLoss, "HBLoss", form.Ehighloss.text, name);
  Set(ini, kAnt, "ANTMOD", Flag(form.CBant.checked), name);
  Set(ini, kAnt, "ANTStep", form.Eantstep.text, name);
  std::string out;
  if (ini.Save(out, false) < 0)
    throw PlanFileError("Unable to write to " + name);
  return WithCrLf(out);
}

void SavePlanFile(PlanForm& form, const std::string& chosen) {
  const std::string path = PlanFileName(chosen);
  try {
    CheckTypedTextsForSave(form);
    const std::string bytes = MergePlanText(form, ReadFileBytes(path), path);
    if (ReplaceFileAtomically(path, bytes) != 0)
      throw PlanFileError("Unable to write to " + path);
  } catch (...) {
    form.Label15 = chosen + "  Not saved";
    throw;
  }
  // Only once the file is in place.
  form.Label15 = chosen + "  Saved";
}

void ApplyPlanText(PlanForm& form, std::string_view text, const std::string& name,
                   std::string* notice) {
  PlanIni ini;
  Load(ini, text, name);
  // Before anything is applied, so that a list error part-way does not lose it.
  if (notice)
    *notice = ListNotice(ini, name);

  for (int band = 0; band < kBandCount; ++band)
    form.SetBandChecked(band, ReadInteger(ini, kBand, kPlanBandNames[band], 10) != 0);

  for (int band = 0; band < kBandCount; ++band) {
    const std::string levels = ReadListValue(ini, kPcl, kPlanBandNames[band]);
    if (band == 0)
      form.Button6Click();
    ApplyLevels(form.Band(band).levels, band, levels);
  }

  for (int band = 0; band < kBandCount; ++band) {
    const std::string channels = ReadListValue(ini, kCn, kPlanBandNames[band]);
    if (channels == kScanAll) {
      form.SetScanModeChecked(band, true);
    } else {
      form.Band(band).channels.text = channels;
      form.Band(band).channels.typed = false;
      form.SetScanModeChecked(band, false);
    }
  }

  // The opening reads BERRor before RXLEV and RXQUAL; the outcome is the same in any order.
  for (const char* item :
       {"TXPower", "PVTime", "PFERror", "ORFSpectrum", "BERRor", "RXLEV", "RXQUAL"}) {
    const bool on = ReadInteger(ini, kItem, item, 10) != 0;
    form.CLBtestitem.SetChecked(form.CLBtestitem.IndexOf(item), on);
  }

  form.Eberref.text = ReadString(ini, kItem, "BERREF", "20");
  form.Ebercount.text = ReadString(ini, kItem, "BERCOUNT", "20");
  form.Elowfreq.text = ReadString(ini, kLoss, "LBFreq", "50");
  form.Elowloss.text = ReadString(ini, kLoss, "LBLoss", "50");
  form.Ehighfreq.text = ReadString(ini, kLoss, "HBFreq", "50");
  form.Ehighloss.text = ReadString(ini, kLoss, "HBLoss", "50");
  for (PlanEdit* edit : {&form.Elowfreq, &form.Elowloss, &form.Ehighfreq, &form.Ehighloss})
    edit->typed = false;
  form.CBant.checked = ReadInteger(ini, kAnt, "ANTMOD", 10) != 0;
  form.Eantstep.text = ReadString(ini, kAnt, "ANTStep", "20");
}

void OpenPlanFile(PlanForm& form, const std::string& chosen, std::string* notice) {
  if (notice)
    notice->clear();
  const std::string text = ReadFileBytes(chosen);
  // Refused files change nothing, not even the path label.
  CheckIsPlanText(text, chosen);
  form.Label15 = chosen + " Opened";
  ApplyPlanText(form, text, chosen, notice);
}

void CheckPlanFileExists(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
    throw PlanFileError("Cannot use " + (path.empty() ? std::string("\"\"") : path) +
                        ": the file does not exist");
  }
}

}  // namespace vexa
