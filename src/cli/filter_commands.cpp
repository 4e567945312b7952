#include <cstring>

#include "cli/cli_text.h"
#include "cli/commands.h"
#include "cli/page_cli.h"
#include "core/atomic_file.h"
#include "design/filter_form.h"

namespace vexa::cli {
namespace {

std::string Point(const CurvePoint& point) {
  return CsvNumber(point.x) + " " + CsvNumber(point.y);
}

int FamilyIndex(const std::string& value) {
  const auto& items = FilterForm::FamilyItems();
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (Lower(items[i]) == Lower(value))
      return static_cast<int>(i);
  }
  return -1;
}

const AttenuationCurve* Curve(const FilterForm& form) {
  return form.Chart1.series.empty() ? nullptr : &form.Chart1.series.front().points;
}

// The texts of the table, with the family before fp, the two options before n and the
// design's results before the axis fields.
void AddFields(PageCli& page, const FilterForm& form) {
  AddTextFields<FilterForm>(page, form, kFilterFields);
  InsertFieldBefore(page, "fp", {"family", [&form] {
                                   const auto& items = FilterForm::FamilyItems();
                                   return form.ComboBox6 >= 0 ? items[form.ComboBox6]
                                                              : std::string();
                                 }});
  InsertFieldBefore(
      page, "n", {"preferred", [&form] { return std::string(form.RadioButton5 ? "ap" : "as"); }});
  InsertFieldBefore(page, "n",
                    {"pass-band", [&form] { return std::string(form.CheckBox1 ? "on" : "off"); }});
  InsertFieldBefore(page, "min-x", {"title", [&form] {
                                      std::string title;
                                      for (const std::string& line : form.Chart1.title)
                                        title += (title.empty() ? "" : "\n") + line;
                                      return title;
                                    }});
  InsertFieldBefore(page, "min-x", {"points", [&form] {
                                      const AttenuationCurve* curve = Curve(form);
                                      return std::to_string(curve ? curve->size() : 0);
                                    }});
  InsertFieldBefore(page, "min-x", {"first", [&form] {
                                      const AttenuationCurve* curve = Curve(form);
                                      return curve && !curve->empty() ? Point(curve->front())
                                                                      : std::string();
                                    }});
  InsertFieldBefore(page, "min-x", {"last", [&form] {
                                      const AttenuationCurve* curve = Curve(form);
                                      return curve && !curve->empty() ? Point(curve->back())
                                                                      : std::string();
                                    }});
}

PageCli FilterPageCli(FilterForm& form, StderrMessages& messages) {
  PageCli page;
  page.page = "filter";
  page.title =
      "The FILTER page: Butterworth, Chebyshev or Bessel low-pass order and its "
      "attenuation curve.";
  page.keys.push_back({"family",
                       "butterworth, chebyshev or bessel: a selection in the family list "
                       "(ComboBox6); resets the four inputs to the family's defaults",
                       ValueKind::kText, [&form](const std::string& value) {
                         form.ComboBox6 = FamilyIndex(value);
                         form.ComboBox6Change();
                       }});
  AddTextKeys<FilterForm>(page, form, kFilterFields);
  InsertKeyBefore(page, "n",
                  {"preferred",
                   "ap or as: \"ap preferred\" (RadioButton5) or \"as preferred\" "
                   "(RadioButton6)",
                   ValueKind::kText, [&form](const std::string& value) {
                     form.CheckApPreferred(Lower(value) == "ap");
                   }});
  InsertKeyBefore(page, "n",
                  {"pass-band", "on or off: \"show pass band \" (CheckBox1)", ValueKind::kText,
                   [&form](const std::string& value) { form.CheckBox1 = Lower(value) == "on"; }});
  page.keys.push_back({"csv",
                       "FILE: after the run, write the header \"f_mhz,attenuation_db\" and "
                       "every point of the curve as \"x,y\" (MHz, dB); only the header when "
                       "none is drawn; may stand anywhere",
                       ValueKind::kText, [](const std::string&) {}});

  // Each action is skipped once an earlier one was refused.
  const auto action = [&form, &messages](void (FilterForm::*handler)(int)) {
    return [&form, &messages, handler](const std::string&) {
      if (!messages.refused())
        (form.*handler)(kEnterKey);
    };
  };
  page.actions = {
      {"calc", "click \"Calc\" (Button4): the order into n and the curve", ValueKind::kNone,
       [&form, &messages](const std::string&) {
         if (!messages.refused())
           form.Button4Click();
       }},
      {"enter-min-x", "Enter in \"Min X MHz\": bottom-axis minimum by hand", ValueKind::kNone,
       action(&FilterForm::LabeledEdit6KeyDown)},
      {"enter-max-x", "Enter in \"Max X MHz\": bottom-axis maximum by hand", ValueKind::kNone,
       action(&FilterForm::LabeledEdit7KeyDown)},
      {"enter-min-y", "Enter in \"Min Y dB\": left-axis minimum by hand", ValueKind::kNone,
       action(&FilterForm::LabeledEdit8KeyDown)},
      {"enter-max-y", "Enter in \"Max Y dB\": left-axis maximum by hand", ValueKind::kNone,
       action(&FilterForm::LabeledEdit9KeyDown)},
  };

  AddFields(page, form);
  return page;
}

// Takes every "--csv FILE" out of the arguments and checks the choice keys' values; bad usage
// runs nothing.
bool Prepare(std::vector<std::string>& args, std::string& csv, std::ostream& err) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == "--csv" && has_value) {
      csv = args[++i];
      continue;
    }
    if (has_value && arg.rfind("--", 0) == 0) {
      const std::string value = Lower(args[i + 1]);
      const char* expected = nullptr;
      if (arg == "--family" && FamilyIndex(value) < 0)
        expected = "butterworth, chebyshev or bessel";
      else if (arg == "--preferred" && value != "ap" && value != "as")
        expected = "ap or as";
      else if (arg == "--pass-band" && value != "on" && value != "off")
        expected = "on or off";
      if (expected) {
        err << "vexa-cli filter: " << arg << " takes " << expected << ", not '" << args[i + 1]
            << "'\n";
        return false;
      }
      rest.push_back(arg);
      rest.push_back(args[++i]);
      continue;
    }
    rest.push_back(arg);
  }
  args = std::move(rest);
  return true;
}

// Written whole or not at all: a file that stood there stays as it was when the write fails.
bool WriteCsv(const FilterForm& form, const std::string& path, std::ostream& err) {
  if (const int error = ReplaceFileAtomically(path, form.CurveCsv()); error != 0) {
    err << "vexa-cli filter: cannot write '" << path << "': " << std::strerror(error) << '\n';
    return false;
  }
  return true;
}

int RunFilter(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args = arguments;
  std::string csv;
  if (!Prepare(args, csv, err))
    return 2;
  // A message other than the Bessel order limit refuses the design.
  StderrMessages messages(err, [](const std::string& text) { return text != kBesselLimitMessage; });
  FilterForm form(messages);
  const PageCli page = FilterPageCli(form, messages);
  int status = RunPageCli(page, args, out, err);
  if (status == 2)
    return status;
  if (status == 0 && messages.refused())
    status = 1;
  if (!csv.empty() && !WriteCsv(form, csv, err))
    status = 1;
  return status;
}

}  // namespace

std::vector<Command> FilterCommands() {
  return {
      {"filter", "filter [--KEY TEXT]... [ACTION]... [--csv FILE]",
       "The FILTER page: choose the family, set the tolerance scheme, run calc and the axis "
       "fields, print every field and the curve's points (vexa-cli filter --help lists them).",
       RunFilter},
  };
}

}  // namespace vexa::cli
