#include <algorithm>
#include <cctype>
#include <cstring>

#include "cli/commands.h"
#include "cli/page_cli.h"
#include "core/atomic_file.h"
#include "design/filter_form.h"

namespace vexa::cli {
namespace {

// Messages on stderr, one per line. A message other than the Bessel order limit refuses the
// design: the later actions do not run and the exit status is 1.
class StderrMessages : public FormMessages {
 public:
  explicit StderrMessages(std::ostream& err) : err_(err) {}
  void ShowMessage(const std::string& text) override {
    for (char c : text) {
      if (c == '\n')
        err_ << "\\n";
      else
        err_ << c;
    }
    err_ << '\n';
    if (text != kBesselLimitMessage)
      refused = true;
  }
  bool refused = false;

 private:
  std::ostream& err_;
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

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

struct TextField {
  const char* key;
  const char* caption;
  std::string FilterForm::*text;
};

constexpr TextField kInputs[] = {
    {"fp", "\"fp <= MHz\" (Bessel: start of the drawn range, MHz) (LabeledEdit1)",
     &FilterForm::LabeledEdit1},
    {"fs", "\"fs >= MHz\" (Bessel: stop frequency, MHz) (LabeledEdit2)", &FilterForm::LabeledEdit2},
    {"ap", "\"ap <= dB\" (Bessel: \"Max tol. %\") (LabeledEdit3)", &FilterForm::LabeledEdit3},
    {"as", "\"as >= dB\" (Bessel: \"T0 us\") (LabeledEdit4)", &FilterForm::LabeledEdit4},
};

constexpr TextField kAxisFields[] = {
    {"min-x", "\"Min X MHz\" (LabeledEdit6)", &FilterForm::LabeledEdit6},
    {"max-x", "\"Max X MHz\" (LabeledEdit7)", &FilterForm::LabeledEdit7},
    {"min-y", "\"Min Y dB\" (LabeledEdit8)", &FilterForm::LabeledEdit8},
    {"max-y", "\"Max Y dB\" (LabeledEdit9)", &FilterForm::LabeledEdit9},
};

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
  const auto text_key = [&page, &form](const TextField& field) {
    page.keys.push_back(
        {field.key, std::string(field.caption) + "; no handler runs", ValueKind::kText,
         [&form, member = field.text](const std::string& text) { form.*member = text; }});
  };
  for (const TextField& field : kInputs)
    text_key(field);
  page.keys.push_back({"preferred",
                       "ap or as: \"ap preferred\" (RadioButton5) or \"as preferred\" "
                       "(RadioButton6)",
                       ValueKind::kText, [&form](const std::string& value) {
                         form.CheckApPreferred(Lower(value) == "ap");
                       }});
  page.keys.push_back(
      {"pass-band", "on or off: \"show pass band \" (CheckBox1)", ValueKind::kText,
       [&form](const std::string& value) { form.CheckBox1 = Lower(value) == "on"; }});
  page.keys.push_back({"n", "\"N\" (LabeledEdit5), the order Calc writes; no handler runs",
                       ValueKind::kText,
                       [&form](const std::string& text) { form.LabeledEdit5 = text; }});
  for (const TextField& field : kAxisFields)
    text_key(field);
  page.keys.push_back({"csv",
                       "FILE: after the run, write the header \"f_mhz,attenuation_db\" and "
                       "every point of the curve as \"x,y\" (MHz, dB); only the header when "
                       "none is drawn; may stand anywhere",
                       ValueKind::kText, [](const std::string&) {}});

  // Each action is skipped once an earlier one was refused.
  const auto action = [&form, &messages](void (FilterForm::*handler)(int)) {
    return [&form, &messages, handler](const std::string&) {
      if (!messages.refused)
        (form.*handler)(kEnterKey);
    };
  };
  page.actions = {
      {"calc", "click \"Calc\" (Button4): the order into n and the curve", ValueKind::kNone,
       [&form, &messages](const std::string&) {
         if (!messages.refused)
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

  page.fields.push_back({"family", [&form] {
                           const auto& items = FilterForm::FamilyItems();
                           return form.ComboBox6 >= 0 ? items[form.ComboBox6] : std::string();
                         }});
  for (const TextField& field : kInputs)
    page.fields.push_back({field.key, [&form, member = field.text] { return form.*member; }});
  page.fields.push_back(
      {"preferred", [&form] { return std::string(form.RadioButton5 ? "ap" : "as"); }});
  page.fields.push_back(
      {"pass-band", [&form] { return std::string(form.CheckBox1 ? "on" : "off"); }});
  page.fields.push_back({"n", [&form] { return form.LabeledEdit5; }});
  page.fields.push_back({"title", [&form] {
                           std::string title;
                           for (const std::string& line : form.Chart1.title)
                             title += (title.empty() ? "" : "\n") + line;
                           return title;
                         }});
  page.fields.push_back({"points", [&form] {
                           const AttenuationCurve* curve = Curve(form);
                           return std::to_string(curve ? curve->size() : 0);
                         }});
  page.fields.push_back({"first", [&form] {
                           const AttenuationCurve* curve = Curve(form);
                           return curve && !curve->empty() ? Point(curve->front()) : std::string();
                         }});
  page.fields.push_back({"last", [&form] {
                           const AttenuationCurve* curve = Curve(form);
                           return curve && !curve->empty() ? Point(curve->back()) : std::string();
                         }});
  // The axis fields come last, after the design's results.
  for (const TextField& field : kAxisFields)
    page.fields.push_back({field.key, [&form, member = field.text] { return form.*member; }});
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
  StderrMessages messages(err);
  FilterForm form(messages);
  const PageCli page = FilterPageCli(form, messages);
  int status = RunPageCli(page, args, out, err);
  if (status == 2)
    return status;
  if (status == 0 && messages.refused)
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
