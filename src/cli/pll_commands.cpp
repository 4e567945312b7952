// vexa-cli pll: the PLL page's key=value list. Its keys carry blanks and units ("C2 nF"), so
// the page takes "KEY=TEXT" arguments with the list's own keys rather than --KEY options.
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/commands.h"
#include "cli/page_cli.h"
#include "core/atomic_file.h"
#include "design/pll_form.h"

namespace vexa::cli {
namespace {

constexpr char kUsage[] = "pll [\"KEY=TEXT\"]... [calc] [--csv FILE]";

struct KeyHelp {
  const char* key;
  const char* meaning;
};

constexpr KeyHelp kKeys[] = {
    {"Kphi mA", "charge-pump (phase detector) gain, mA"},
    {"Kvco MHz/V", "VCO gain, MHz per volt"},
    {"Fout MHz", "output frequency, start of the lock transient"},
    {"F2 MHz", "target frequency of the lock transient"},
    {"Fcomp kHz", "comparison frequency; the crossover search starts here"},
    {"C1 nF", "C1, charge-pump output to ground"},
    {"C2 nF", "C2, in series with R2 to ground"},
    {"C3 nF", "C3, after R3 to ground"},
    {"C4* nF", "C4 as fitted, at the VCO input"},
    {"VCOcap nF", "the VCO's input capacitance, in parallel with C4"},
    {"R2 kohm", "R2, in series with C2"},
    {"R3 kohm", "R3, series resistor before C3"},
    {"R4 kohm", "R4, series resistor before C4"},
    {"N", "result: divider ratio Fout / Fcomp"},
    {"C4 nF", "result: C4* + VCOcap"},
    {"A0 nF", "result: total capacitance A0"},
    {"A1 nFs", "result: coefficient A1, nF*s"},
    {"A2 nFs2", "result: coefficient A2, nF*s^2"},
    {"A3 nFs3", "result: coefficient A3, nF*s^3"},
    {"Fc kHz", "result: loop crossover frequency (|G| = N)"},
    {"Phi degrees", "result: phase margin"},
    {"Gamma", "result: gamma factor"},
    {"wn radian/s", "result: natural frequency of the second-order approximation"},
    {"Zeta", "result: damping of the second-order approximation"},
};

void PrintHelp(const PllForm& form, std::ostream& out) {
  out << "Usage: vexa-cli " << kUsage << "\n"
      << "The PLL page: a charge-pump PLL with a passive third-order loop filter.\n\n"
      << "Keys, the list's own (set in the order given, before the actions; no handler runs;\n"
      << "quote them, they contain blanks). Start value in brackets:\n";
  for (const KeyHelp& key : kKeys) {
    const ValueListRow* row = form.FindRow(key.key);
    out << "  \"" << key.key << "=TEXT\"";
    if (row && !row->value.empty())
      out << " [" << row->value << ']';
    out << "\n      " << key.meaning << '\n';
  }
  out << "\nActions (run in the order given):\n"
      << "  calc\n      click \"Calc\" (Button6): the results and the lock transient\n"
      << "\nOptions:\n"
      << "  --csv FILE\n      after the run, write the transient as "
         "t_us,response_mhz,upper_mhz,lower_mhz\n"
      << "      (only the header when none is drawn); may stand anywhere\n"
      << "\nPrinted: every row of the list as KEY=VALUE, top to bottom, without the separator.\n"
      << "Messages go to stderr. Exit status: 0 done, 1 calc was refused or ended on an error "
         "(the\nlater ones do not run), 2 bad usage.\n";
}

// Written whole or not at all: a file that stood there stays as it was when the write fails.
bool WriteCsv(const PllForm& form, const std::string& path, std::ostream& err) {
  if (const int error = ReplaceFileAtomically(path, form.TransientCsv()); error != 0) {
    err << "vexa-cli pll: cannot write '" << path << "': " << std::strerror(error) << '\n';
    return false;
  }
  return true;
}

// Every message of the page refuses the design: the later calcs do not run, exit status 1.
PageCli PllPageCli(PllForm& form, const StderrMessages& messages, std::string& csv) {
  PageCli page;
  page.page = "pll";
  page.assignments = true;
  page.help = [&form](std::ostream& out) { PrintHelp(form, out); };
  for (const ValueListRow& row : form.ValueListEditor1) {
    if (row.key == kPllSeparatorKey)
      continue;
    page.keys.push_back(
        {row.key, "", ValueKind::kText,
         [&form, key = row.key](const std::string& text) { form.FindRow(key)->value = text; }});
    page.fields.push_back({row.key, [&form, key = row.key] { return form.FindRow(key)->value; }});
  }
  page.actions.push_back({"calc", "click \"Calc\" (Button6)", ValueKind::kNone,
                          [&form, &messages](const std::string&) {
                            if (!messages.refused())
                              form.Button6Click();
                          }});
  page.options.push_back({"csv", "FILE", [&csv](const std::string& path) { csv = path; }});
  return page;
}

int RunPll(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  StderrMessages messages(err);
  PllForm form(messages);
  std::string csv;
  int status = RunPageCli(PllPageCli(form, messages, csv), args, out, err);
  if (status == 2)
    return status;
  if (messages.refused())
    status = 1;
  if (!csv.empty() && !WriteCsv(form, csv, err))
    status = 1;
  return status;
}

}  // namespace

std::vector<Command> PllCommands() {
  return {
      {"pll", kUsage,
       "The PLL page: set the loop filter's values, run calc, print every row of the list "
       "(vexa-cli pll --help lists the keys).",
       RunPll},
  };
}

}  // namespace vexa::cli
