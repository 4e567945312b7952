#include "instrument/plan_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

// Byte strings only: plan files are read and written as they stand, without a conversion.
// Debian's header holds the template code behind SI_IMPLEMENTATION; it is compiled here, in
// this one file, so nothing links the ICU-built shared library.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "core/atomic_file.h"
#include "core/convert.h"

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

// The whole file, or the empty text when there is no file of that name.
std::string ReadFileBytes(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      return {};
    throw PlanFileError("Unable to read " + path);
  }
  if (!S_ISREG(info.st_mode))
    throw PlanFileError("Cannot use " + path + ": not a regular file");
  if (static_cast<std::uintmax_t>(info.st_size) > kMaxPlanFileSize) {
    throw PlanFileError("Cannot use " + path + ": the file is larger than " +
                        std::to_string(kMaxPlanFileSize / 1024) + " KiB");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw PlanFileError("Unable to read " + path);
  std::string text;
  std::array<char, 8192> buffer{};
  while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) {
    text.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxPlanFileSize)
      break;
  }
  return text;
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

// PCL and CN values pass through a working buffer of 128 characters.
std::string ReadListValue(const PlanIni& ini, const char* section, const char* key) {
  std::string text = ReadString(ini, section, key, "100");
  if (text.size() > kPlanValueLength)
    text.resize(kPlanValueLength);
  return text;
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
      text = controls.scan.checked ? kScanAll : controls.channels.text;
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
  form.Label15 = chosen + "  Saved";
  const std::string bytes = MergePlanText(form, ReadFileBytes(path), path);
  if (ReplaceFileAtomically(path, bytes) != 0)
    throw PlanFileError("Unable to write to " + path);
}

void ApplyPlanText(PlanForm& form, std::string_view text, const std::string& name) {
  PlanIni ini;
  Load(ini, text, name);

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
  form.CBant.checked = ReadInteger(ini, kAnt, "ANTMOD", 10) != 0;
  form.Eantstep.text = ReadString(ini, kAnt, "ANTStep", "20");
}

void OpenPlanFile(PlanForm& form, const std::string& chosen) {
  const std::string text = ReadFileBytes(chosen);
  // Refused files change nothing, not even the path label.
  CheckIsPlanText(text, chosen);
  form.Label15 = chosen + " Opened";
  ApplyPlanText(form, text, chosen);
}

}  // namespace vexa
