#include "conversions/trans_form.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "conversions/conversions.h"
#include "core/checked_math.h"
#include "core/convert.h"
#include "core/number_text.h"

namespace vexa {

const char* const kClcBalun =
    "    _________L__________\n"
    "    |   |        |      |\n"
    "    |   C        C      |\n"
    "    |   |        |      |\n"
    "    |  GND      GND     R2\n"
    "    |                   |\n"
    " ___|___C________C______|\n"
    " |           |\n"
    " R1          L\n"
    " |           |\n"
    "GND         GND";
const char* const kLclBalun =
    "    _________C__________\n"
    "    |   |        |      |\n"
    "    |   L        L      |\n"
    "    |   |        |      |\n"
    "    |  GND      GND     R2\n"
    "    |                   |\n"
    " ___|___L________L______|\n"
    " |           |\n"
    " R1          C\n"
    " |           |\n"
    "GND         GND";

const std::array<const char*, 8> kRxqualItems = {
    "RXQUAL_0                 BER<  0.2%", "RXQUAL_1     0.2%  <BER<  0.4%",
    "RXQUAL_2     0.4%  <BER<  0.8%",      "RXQUAL_3     0.8%  <BER<  1.6%",
    "RXQUAL_4     1.6%  <BER<  3.2%",      "RXQUAL_5     3.2%  <BER<  6.4%",
    "RXQUAL_6     6.4%  <BER<  12.8%",     "RXQUAL_7     12.8%<BER",
};

TransForm::TransForm(FormMessages& messages) : messages_(messages) {}

void TransForm::Edit3KeyDown(int key) {
  if (key != kEnterKey)
    return;
  const double s11 = TextToFloat(Edit3);
  if (s11 >= 0.0) {
    messages_.ShowMessage(kS11NotNegative);
    return;
  }
  Edit4 = FormatNumber(ReturnLossToVswr(s11));
}

void TransForm::Edit4KeyDown(int key) {
  if (key != kEnterKey)
    return;
  const double vswr = TextToFloat(Edit4);
  if (vswr <= 1.0) {
    messages_.ShowMessage(kVswrNotAboveOne);
    return;
  }
  Edit3 = FormatNumber(VswrToReturnLoss(vswr));
}

void TransForm::Edit5KeyDown(int key) {
  if (key == kEnterKey)
    Edit6 = FormatNumber(DbmToMw(TextToFloat(Edit5)));
}

void TransForm::Edit6KeyDown(int key) {
  if (key != kEnterKey)
    return;
  const double mw = TextToFloat(Edit6);
  // No finite dBm value: refused like the pairs' other out-of-range inputs.
  if (mw <= 0.0) {
    messages_.ShowMessage(kMwNotPositive);
    return;
  }
  Edit5 = FormatNumber(MwToDbm(mw));
}

void TransForm::Edit7KeyDown(int key) {
  if (key == kEnterKey)
    Edit8 = FormatNumber(MilToMm(TextToFloat(Edit7)));
}

void TransForm::Edit8KeyDown(int key) {
  if (key == kEnterKey)
    Edit7 = FormatNumber(MmToMil(TextToFloat(Edit8)));
}

void TransForm::Edit10KeyDown(int key) {
  if (key == kEnterKey)
    RxlevRoutine();
}

void TransForm::SetScrollBar4(int position) {
  position = std::clamp(position, kScrollBar4Min, kScrollBar4Max);
  if (position == ScrollBar4)
    return;
  ScrollBar4 = position;
  ScrollBar4Change();
}

void TransForm::ScrollBar4Change() {
  Edit10 = std::to_string(ScrollBar4);
  RxlevRoutine();
}

void TransForm::RxlevRoutine() {
  const int rxlev = TextToInt(Edit10);
  if (rxlev < kScrollBar4Min || rxlev > kScrollBar4Max) {
    messages_.ShowMessage(kRxlevOutOfRange);
  } else {
    Label25 = DescribeRxlev(rxlev);
  }
  // Out of range too: the scroll bar stops at its end, and that move writes the end back.
  SetScrollBar4(rxlev);
}

void TransForm::RadioButton7MouseDown() {
  RadioButton7 = true;
  RadioButton8 = false;
  Label66 = kClcBalun;
}

void TransForm::RadioButton8MouseDown() {
  RadioButton7 = false;
  RadioButton8 = true;
  Label66 = kLclBalun;
}

void TransForm::Button7Click() {
  const double r1 = TextToFloat(Edit25);
  const double r2 = TextToFloat(Edit26);
  const double frequency_hz = Checked(TextToFloat(Edit27) * 1e6);
  // Neither has a finite balun; they are refused instead of ending on a division by zero.
  if (!(Checked(r1 * r2) > 0.0)) {
    messages_.ShowMessage(kBalunProductNotPositive);
    return;
  }
  if (!(frequency_hz > 0.0)) {
    messages_.ShowMessage(kBalunFreqNotPositive);
    return;
  }
  const BalunValues values = BalunComponents(r1, r2, frequency_hz);
  Label70 = "C=" + FormatNumber(values.c_pf) + " pF";
  Label71 = "L=" + FormatNumber(values.l_nh) + " nH";
}

const DesktopProgram kCalculatorProgram = {
    "calculator",
    {"gnome-calculator", "kcalc", "galculator", "mate-calc", "qalculate-gtk", "xcalc"}};
const DesktopProgram kTextEditorProgram = {
    "text editor",
    {"gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "pluma", "xed", "featherpad",
     "leafpad", "xedit"}};
const DesktopProgram kPaintProgram = {"paint program",
                                      {"kolourpaint", "pinta", "gimp", "mtpaint", "drawing"}};

std::string FindProgram(const std::vector<std::string>& candidates, const std::string& path_env) {
  std::vector<std::string> directories;
  std::istringstream entries(path_env);
  for (std::string directory; std::getline(entries, directory, ':');) {
    // An empty entry would mean the working directory: never start a program from there.
    if (!directory.empty())
      directories.push_back(directory);
  }
  for (const std::string& candidate : candidates) {
    if (candidate.empty() || candidate.find('/') != std::string::npos)
      continue;
    for (const std::string& directory : directories) {
      const std::filesystem::path path = std::filesystem::path(directory) / candidate;
      std::error_code error;
      if (std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0)
        return path.string();
    }
  }
  return "";
}

std::string MissingProgramMessage(const DesktopProgram& program) {
  std::string message = std::string("No ") + program.role + " found. Install one of: ";
  for (std::size_t i = 0; i < program.candidates.size(); ++i)
    message += (i ? ", " : "") + program.candidates[i];
  return message;
}

}  // namespace vexa
