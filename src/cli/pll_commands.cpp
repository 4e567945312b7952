// vexa-cli pll: the PLL page's key=value list. Its keys carry blanks and units ("C2 nF"), so
// the page takes "KEY=TEXT" arguments with the list's own keys rather than --KEY options.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_text.h"
#include "cli/commands.h"
#include "cli/page_cli.h"
#include "core/atomic_file.h"
#include "design/pll_form.h"

namespace vexa::cli {
namespace {

constexpr char kUsage[] = "pll [\"KEY=TEXT\"]... [calc] [--csv FILE]";

void PrintHelp(const PllForm& form, std::ostream& out) {
  out << "Usage: vexa-cli " << kUsage << "\n"
      << "The PLL page: a charge-pump PLL with a passive third-order loop filter.\n\n"
      << "Keys, the list's own (set in the order given, before the actions; no handler runs;\n"
      << "quote them, they contain blanks). Start value in brackets:\n";
  for (const ValueListField& field : kPllFields) {
    if (field.key == std::string_view(kPllSeparatorKey))
      continue;
    const std::string& value = form.Value(field.key);
    out << "  \"" << field.key << "=TEXT\"";
    if (!value.empty())
      out << " [" << value << ']';
    out << "\n      " << field.caption << '\n';
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
  for (const ValueListField& field : kPllFields) {
    if (field.key == std::string_view(kPllSeparatorKey))
      continue;
    const std::string key = field.key;
    page.keys.push_back({key, field.caption, ValueKind::kText,
                         [&form, key](const std::string& text) { form.SetValue(key, text); }});
    page.fields.push_back({key, [&form, key] { return form.Value(key); }});
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
