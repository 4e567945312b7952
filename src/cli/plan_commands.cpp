// vexa-cli plan: the test-plan window without the window.
//
//   vexa-cli plan show [FILE]                          the captured TestPlan
//   vexa-cli plan save FILE [--KEY TEXT]... [ACTION]...  "Save Tpl", prints Label15
#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/commands.h"
#include "core/errors.h"
#include "instrument/runs/plan_file.h"
#include "instrument/runs/plan_form.h"
#include "instrument/runs/test_plan.h"

namespace vexa::cli {
namespace {

constexpr std::array<const char*, kBandCount> kBandKeys = {"egsm", "dcs", "pcs", "gsm850"};
constexpr std::array<const char*, kBandCount> kBoxNames = {"CBgsm", "CBdcs", "CBpcs", "CBgsm850"};
constexpr std::array<const char*, kBandCount> kEditNames = {"EgsmCN", "EdcsCN", "EpcsCN",
                                                            "Egsm850CN"};
constexpr std::array<const char*, kBandCount> kListNames = {"CLBgsm", "CLBdcs", "CLBpcs",
                                                            "CLBgsm850"};

// "1" or "0" for a check box; anything else is bad usage.
bool ReadFlag(const std::string& text, bool& on) {
  if (text != "0" && text != "1")
    return false;
  on = text == "1";
  return true;
}

// Check the listed levels of a band's list and uncheck the others, as clicks on its items. The
// levels are typed: whole numbers of the band's levels, or PlanInputError naming the level.
void SetLevels(PlanForm& form, int band, const std::string& text) {
  PlanCheckList& list = form.Band(band).levels;
  std::vector<bool> wanted(list.items.size(), false);
  for (const std::int32_t level : ReadTypedLevels(band, text))
    wanted[static_cast<std::size_t>(ItemOfLevel(band, level))] = true;
  for (std::size_t i = 0; i < wanted.size(); ++i)
    list.items[i].checked = wanted[i];
}

// A text typed into an edit: channel lists and cable-loss pairs typed are checked strictly.
void Type(PlanEdit& edit, const std::string& text) {
  edit.text = text;
  edit.typed = true;
}

struct PlanKey {
  std::string name;
  std::string caption;
  bool flag;  // the value is 1 or 0
  std::function<void(PlanForm&, const std::string&)> apply;
};

struct PlanAction {
  std::string name;
  std::string caption;
  std::function<void(PlanForm&)> run;
};

std::vector<PlanKey> Keys() {
  std::vector<PlanKey> keys;
  for (int band = 0; band < kBandCount; ++band) {
    const std::string key = kBandKeys[band];
    const std::string shown = kPlanBandNames[band];
    keys.push_back({key,
                    shown + " band box (" + kBoxNames[band] + "), 1 or 0: a click when it " +
                        "changes enables or disables the band's row",
                    true, [band](PlanForm& form, const std::string& value) {
                      form.SetBandChecked(band, value == "1");
                    }});
    keys.push_back({key + "-scan",
                    shown + " \"Scan Mode\" box (" + kBoxNames[band] + "SM), 1 or 0: a click " +
                        "when it changes enables or disables the channel edit",
                    true, [band](PlanForm& form, const std::string& value) {
                      form.SetScanModeChecked(band, value == "1");
                    }});
    keys.push_back({key + "-cn",
                    shown + " channel list (" + kEditNames[band] + "), as typed: channels " +
                        ChannelRangeText(band) + " separated by commas",
                    false, [band](PlanForm& form, const std::string& value) {
                      Type(form.Band(band).channels, value);
                    }});
    keys.push_back({key + "-pcl",
                    shown + " levels to check in " + kListNames[band] + ", e.g. \"5,6,7\"; the " +
                        "others are unchecked; only whole numbers " + LevelRangeText(band),
                    false, [band](PlanForm& form, const std::string& value) {
                      SetLevels(form, band, value);
                    }});
  }
  for (int item = 0; item < kTestItemCount; ++item) {
    const std::string name = kTestItemNames[item];
    keys.push_back({Lower(name), "test item \"" + name + "\" in CLBtestitem, 1 or 0", true,
                    [name](PlanForm& form, const std::string& value) {
                      form.CLBtestitem.SetChecked(form.CLBtestitem.IndexOf(name), value == "1");
                    }});
  }
  const auto edit = [](PlanEdit PlanForm::*member) {
    return [member](PlanForm& form, const std::string& value) { Type(form.*member, value); };
  };
  keys.push_back({"berref", "\"BER REF (dBm)\" (Eberref)", false, edit(&PlanForm::Eberref)});
  keys.push_back({"bercount", "\"BER COUNT\" (Ebercount)", false, edit(&PlanForm::Ebercount)});
  keys.push_back(
      {"lowfreq", "Low Band MHz (Elowfreq), e.g. \"880~960\"", false, edit(&PlanForm::Elowfreq)});
  keys.push_back(
      {"lowloss", "Low Band dB (Elowloss), e.g. \"-0.5~-0.6\"", false, edit(&PlanForm::Elowloss)});
  keys.push_back({"highfreq", "High Band MHz (Ehighfreq)", false, edit(&PlanForm::Ehighfreq)});
  keys.push_back({"highloss", "High Band dB (Ehighloss)", false, edit(&PlanForm::Ehighloss)});
  keys.push_back(
      {"ant", "\"ANT MOD\" (CBant), 1 or 0", true,
       [](PlanForm& form, const std::string& value) { form.CBant.checked = value == "1"; }});
  keys.push_back({"antstep", "\"Degree/Turn\" (Eantstep)", false, edit(&PlanForm::Eantstep)});
  keys.push_back(
      {"rst", "\"*RST\" (CheckBox1), 1 or 0", true,
       [](PlanForm& form, const std::string& value) { form.CheckBox1.checked = value == "1"; }});
  return keys;
}

std::vector<PlanAction> Actions() {
  std::vector<PlanAction> actions = {
      {"check-all-levels", "PCL TX \"Check All\" (Button1): every enabled level list",
       [](PlanForm& form) { form.Button1Click(); }},
      {"uncheck-all-levels", "PCL TX \"unCheck All\" (Button6): every enabled level list",
       [](PlanForm& form) { form.Button6Click(); }},
      {"check-all-items", "Test Items \"Check All\" (Button2)",
       [](PlanForm& form) { form.Button2Click(); }},
      {"uncheck-all-items", "Test Items \"unCheck All\" (Button7)",
       [](PlanForm& form) { form.Button7Click(); }},
  };
  for (int band = 0; band < kBandCount; ++band) {
    const std::string key = kBandKeys[band];
    actions.push_back(
        {"click-" + key,
         std::string("a click on the ") + kPlanBandNames[band] + " band box (" + kBoxNames[band] +
             "): toggles it",
         [band](PlanForm& form) { form.SetBandChecked(band, !form.Band(band).box.checked); }});
    actions.push_back(
        {"click-" + key + "-scan",
         std::string("a click on the ") + kPlanBandNames[band] + " \"Scan Mode\" box: toggles it",
         [band](PlanForm& form) { form.SetScanModeChecked(band, !form.Band(band).scan.checked); }});
  }
  return actions;
}

void PrintHelp(std::ostream& out) {
  out << "Usage: vexa-cli plan show [FILE]\n"
         "       vexa-cli plan save FILE [--KEY TEXT]... [ACTION]...\n\n"
         "show: the test-plan window as it starts, then (with FILE) \"Open Tpl\" of FILE, then\n"
         "      the capture that \"Config\" makes; prints the TestPlan, one field a line, also\n"
         "      when the opening or the capture stopped on an error (the fields as they stand).\n"
         "      FILE must exist. Lists of FILE that are not plain numbers of their band are\n"
         "      read by the file rule and named on stderr.\n"
         "save: the window as it starts, the keys in the order given, the actions in the\n"
         "      order given, then \"Save Tpl\" with FILE as the chosen name (the file written\n"
         "      is FILE with the extension .tpl); prints the \"Tpl Path Name\" label:\n"
         "      \"FILE  Saved\" once the file is in place, \"FILE  Not saved\" after a failure.\n"
         "      Channel lists, levels and cable-loss texts given as keys must be whole numbers\n"
         "      of the band (numbers for the losses); anything else is refused.\n\n"
         "Keys (applied in the order given, before the actions):\n";
  for (const PlanKey& key : Keys())
    out << "  --" << key.name << (key.flag ? " 1|0" : " TEXT") << "\n      " << key.caption << '\n';
  out << "\nActions (run in the order given):\n";
  for (const PlanAction& action : Actions())
    out << "  " << action.name << "\n      " << action.caption << '\n';
  out << "\nMessages go to stderr. Exit status: 0 done, 1 the opening, an action, the capture\n"
         "or the save ended on an error, 2 bad usage.\n";
}

std::string Float(float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  return text;
}

template <std::size_t N>
std::string Numbers(const std::array<std::uint8_t, N>& values) {
  std::string text;
  for (std::size_t i = 0; i < N; ++i)
    text += (i ? " " : "") + std::to_string(values[i]);
  return text;
}

template <std::size_t N>
std::string List(const std::array<std::int32_t, N>& values) {
  std::string text;
  const int length = ListLength(values);
  for (int i = 0; i < length; ++i)
    text += " " + std::to_string(values[static_cast<std::size_t>(i)]);
  return text;
}

void PrintPlan(const TestPlan& plan, std::ostream& out) {
  out << "bandEnabled: " << Numbers(plan.bandEnabled) << '\n';
  out << "scanMode: " << Numbers(plan.scanMode) << '\n';
  for (int band = 0; band < kBandCount; ++band)
    out << "channels " << kPlanBandNames[band] << ':' << List(plan.channels[band]) << '\n';
  for (int band = 0; band < kBandCount; ++band)
    out << "levels " << kPlanBandNames[band] << ':' << List(plan.levels[band]) << '\n';
  out << "itemEnabled: " << Numbers(plan.itemEnabled) << '\n'
      << "berReferenceLevel: " << Float(plan.berReferenceLevel) << '\n'
      << "berCount: " << plan.berCount << '\n'
      << "antennaMode: " << static_cast<int>(plan.antennaMode) << '\n'
      << "antennaStep: " << plan.antennaStep << '\n'
      << "antennaAngle: " << plan.antennaAngle << '\n'
      << "lowBandFrequencies: " << Float(plan.lowBandFrequencies[0]) << ' '
      << Float(plan.lowBandFrequencies[1]) << '\n'
      << "lowBandLosses: " << Float(plan.lowBandLosses[0]) << ' ' << Float(plan.lowBandLosses[1])
      << '\n'
      << "highBandFrequencies: " << Float(plan.highBandFrequencies[0]) << ' '
      << Float(plan.highBandFrequencies[1]) << '\n'
      << "highBandLosses: " << Float(plan.highBandLosses[0]) << ' ' << Float(plan.highBandLosses[1])
      << '\n';
}

int RunShow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() > 1 || (args.size() == 1 && args[0].rfind("-", 0) == 0 && args[0] != "-")) {
    err << "vexa-cli plan show: expected at most one FILE (see vexa-cli plan --help)\n";
    return 2;
  }
  PlanForm form;
  form.FormCreate();
  int status = 0;
  std::string notice;
  try {
    if (!args.empty()) {
      CheckPlanFileExists(args[0]);
      OpenPlanFile(form, args[0], &notice);
    }
  } catch (const Error& error) {
    // The fields still print: the capture of the window as the opening left it.
    err << MessageWithFullStop(error.what()) << '\n';
    status = 1;
  }
  if (!notice.empty())
    err << notice << '\n';
  // The record starts zeroed; a capture that stops prints what it had captured.
  auto plan = std::make_unique<TestPlan>();
  try {
    CaptureTestPlan(form, *plan);
  } catch (const Error& error) {
    err << MessageWithFullStop(error.what()) << '\n';
    status = 1;
  }
  PrintPlan(*plan, out);
  return status;
}

int RunSave(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0].rfind("--", 0) == 0) {
    err << "vexa-cli plan save: expected FILE first (see vexa-cli plan --help)\n";
    return 2;
  }
  const std::string file = args[0];
  const std::vector<PlanKey> keys = Keys();
  const std::vector<PlanAction> actions = Actions();
  // Read the whole command line first: bad usage runs nothing.
  std::vector<std::function<void(PlanForm&)>> steps;
  bool actions_started = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) == 0) {
      const PlanKey* key = nullptr;
      for (const PlanKey& candidate : keys) {
        if ("--" + candidate.name == arg)
          key = &candidate;
      }
      if (!key) {
        err << "vexa-cli plan: unknown key '" << arg << "' (see vexa-cli plan --help)\n";
        return 2;
      }
      if (actions_started) {
        err << "vexa-cli plan: key '" << arg << "' after an action; keys come first\n";
        return 2;
      }
      if (i + 1 >= args.size()) {
        err << "vexa-cli plan: key '" << arg << "' needs a value\n";
        return 2;
      }
      const std::string value = args[++i];
      bool on = false;
      if (key->flag && !ReadFlag(value, on)) {
        err << "vexa-cli plan: key '" << arg << "' needs 1 or 0, not '" << value << "'\n";
        return 2;
      }
      steps.push_back([apply = key->apply, value](PlanForm& form) { apply(form, value); });
      continue;
    }
    actions_started = true;
    const PlanAction* action = nullptr;
    for (const PlanAction& candidate : actions) {
      if (candidate.name == arg)
        action = &candidate;
    }
    if (!action) {
      err << "vexa-cli plan: unknown action '" << arg << "' (see vexa-cli plan --help)\n";
      return 2;
    }
    steps.push_back(action->run);
  }

  PlanForm form;
  form.FormCreate();
  try {
    for (const auto& step : steps)
      step(form);
  } catch (const Error& error) {
    err << MessageWithFullStop(error.what()) << '\n';
    return 1;
  }
  try {
    SavePlanFile(form, file);
  } catch (const Error& error) {
    // The label says "  Not saved".
    out << form.Label15 << '\n';
    err << MessageWithFullStop(error.what()) << '\n';
    return 1;
  }
  out << form.Label15 << '\n';
  return 0;
}

int RunPlan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << "vexa-cli plan: expected show or save (see vexa-cli plan --help)\n";
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    PrintHelp(out);
    return 0;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  for (const std::string& arg : rest) {
    if (arg == "--help" || arg == "-h") {
      PrintHelp(out);
      return 0;
    }
  }
  if (args[0] == "show")
    return RunShow(rest, out, err);
  if (args[0] == "save")
    return RunSave(rest, out, err);
  err << "vexa-cli plan: unknown subcommand '" << args[0] << "' (show or save)\n";
  return 2;
}

}  // namespace

std::vector<Command> PlanCommands() {
  return {
      {"plan", "plan show [FILE] | plan save FILE [--KEY TEXT]... [ACTION]...",
       "The test-plan window: print the TestPlan it captures (after opening FILE), or set its "
       "controls and save a plan file (vexa-cli plan --help lists the keys and actions).",
       RunPlan},
  };
}

}  // namespace vexa::cli
