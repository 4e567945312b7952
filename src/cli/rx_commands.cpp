// vexa-cli rx: the RX page's stage table, its stage count and its two key=value lists. The
// options are page events and typing, applied in the order given, so "--stages 9" followed by
// "--cell 9,NF=2" fills the column that the Enter made.
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/commands.h"
#include "cli/page_cli.h"
#include "core/atomic_file.h"
#include "core/convert.h"
#include "core/errors.h"
#include "core/file_reader.h"
#include "design/lineup_csv.h"
#include "design/rx_chart.h"
#include "design/rx_form.h"

namespace vexa::cli {
namespace {

constexpr char kUsage[] =
    "rx [--stages N] [--cell C,ROW=TEXT]... [\"KEY=TEXT\"]... [--lineup FILE.csv] [analyse] "
    "[--chart-csv FILE]";

enum class StepKind { kStages, kCell, kParameter, kLineup, kAnalyse };

struct Step {
  StepKind kind = StepKind::kAnalyse;
  std::string option;  // as given, for messages
  int column = 0;      // kCell
  int row = 0;         // kCell
  std::string key;     // kParameter
  std::string text;    // kStages: N, kCell / kParameter: TEXT, kLineup: FILE
};

// The grid row with `label` (1 to 14), or 0.
int RowOf(const std::string& label) {
  const std::vector<std::string>& labels = RxForm::RowLabels();
  for (std::size_t r = 1; r < labels.size(); ++r) {
    if (labels[r] == label)
      return static_cast<int>(r);
  }
  return 0;
}

bool IsParameterKey(const std::string& key) {
  for (const std::string& candidate : RxForm::ParameterKeys()) {
    if (candidate == key)
      return true;
  }
  return false;
}

// "C,ROW=TEXT" into `step`; false with `why` set when it is not that.
bool ParseCell(const std::string& value, Step& step, std::string& why) {
  const std::size_t comma = value.find(',');
  const std::size_t equals = value.find('=', comma == std::string::npos ? 0 : comma);
  if (comma == std::string::npos || equals == std::string::npos) {
    why = "--cell takes C,ROW=TEXT, not '" + value + "'";
    return false;
  }
  const std::string column = value.substr(0, comma);
  int number = 0;
  try {
    number = TextToInt(column);
  } catch (const ConversionError&) {
  }
  if (number < 1 || column.find_first_not_of("0123456789") != std::string::npos) {
    why = "--cell needs a stage number from 1, not '" + column + "'";
    return false;
  }
  const std::string label = value.substr(comma + 1, equals - comma - 1);
  step.row = RowOf(label);
  if (step.row == 0) {
    why = "--cell: no row '" + label + "' (see vexa-cli rx --help)";
    return false;
  }
  step.column = number;
  step.text = value.substr(equals + 1);
  return true;
}

void PrintHelp(const RxForm& form, std::ostream& out) {
  out << "Usage: vexa-cli " << kUsage << "\n"
      << "The RX page: a receiver line-up of 1 to 49 stages, analysed for gain, noise figure,\n"
      << "sensitivity, intercepts and dynamic range.\n\n"
      << "Options, applied in the order given (after a refusal or an error nothing more runs):\n"
      << "  --stages N\n      type N into \"Stages\" (LabeledEdit13) and press Enter: the grid "
         "gets N stage\n      columns, new ones empty\n"
      << "  --cell C,ROW=TEXT\n      type TEXT into the cell of stage C in row ROW (no handler "
         "runs); ROW is one\n      of the row labels:\n";
  for (std::size_t r = 1; r < RxForm::RowLabels().size(); ++r)
    out << "        " << RxForm::RowLabels()[r] << '\n';
  out << "  \"KEY=TEXT\"\n      type TEXT into a \"System Parameters\" value (ValueListEditor2); "
         "quote it, the\n      keys contain blanks. Start value in brackets:\n";
  for (const ValueListRow& row : form.ValueListEditor2)
    out << "        \"" << row.key << "=TEXT\" [" << row.value << "]\n";
  out << "  --lineup FILE.csv\n      open a line-up file: the stages and the system parameters "
         "from FILE\n"
      << "  --chart-csv FILE\n      after the run, write the bars of \"Chart...\": the header "
         "line\n      \""
      << kRxChartCsvHeader
      << "\", then one row per stage with the gain and "
         "the noise\n      figure from the input up to that stage (a line-up that cannot be "
         "analysed: the\n      header alone); written whole or not at all\n"
      << "\nActions:\n  analyse\n      click the analysis button (BitBtn4): rows 8 to 14 of "
         "every stage and the\n      \"System Analysis\" values\n"
      << "\nPrinted: every stage cell of rows 1 to 14 as \"stage C ROW: TEXT\", stage by stage, "
         "then every\n\"System Parameters\" row and every \"System Analysis\" row as "
         "KEY=VALUE.\n"
      << "Messages go to stderr. Exit status: 0 done, 1 refused or ended on an error (the later "
         "steps\ndo not run), 2 bad usage.\n";
}

void PrintPage(const RxForm& form, std::ostream& out) {
  for (int c = 1; c < form.ColumnCount(); ++c) {
    for (int r = 1; r < kRxRowCount; ++r) {
      out << FieldLine("stage " + std::to_string(c) + " " +
                           RxForm::RowLabels()[static_cast<std::size_t>(r)],
                       form.StringGrid1[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)])
          << '\n';
    }
  }
  for (const auto* list : {&form.ValueListEditor2, &form.ValueListEditor3}) {
    for (const ValueListRow& row : *list)
      out << row.key << '=' << OneLine(row.value) << '\n';
  }
}

// Opens a line-up file onto the page; false (with the message on `err`) when it cannot.
bool OpenLineup(RxForm& form, const std::string& path, std::ostream& err) {
  const FileReadResult file = ReadFileCapped(path, kLineupMaxFileBytes);
  if (file.status == FileReadStatus::kCannotOpen || file.status == FileReadStatus::kCannotRead) {
    err << "vexa-cli rx: cannot read '" << path << "': " << std::strerror(file.error) << '\n';
    return false;
  }
  if (file.status == FileReadStatus::kTooLarge) {
    // The line-up reader's own message for a text over the limit.
    err << path << ": the file is larger than " << ByteSizeText(kLineupMaxFileBytes) << '\n';
    return false;
  }
  if (!file.ok()) {
    err << "vexa-cli rx: '" << path << "' " << FileReadReason(file, kLineupMaxFileBytes) << '\n';
    return false;
  }
  const LineupResult result = ParseLineupCsv(file.bytes, RxForm::ParameterKeys());
  if (!result.ok) {
    err << path << ": " << result.error << '\n';
    return false;
  }
  form.ApplyLineup(result.lineup);
  return true;
}

// Written whole or not at all: a file that stood there stays as it was when the write fails.
bool WriteChartCsv(const RxForm& form, const std::string& path, std::ostream& err) {
  if (const int error = ReplaceFileAtomically(path, RxChartCsv(MakeRxChart(form))); error != 0) {
    err << "vexa-cli rx: cannot write '" << path << "': " << std::strerror(error) << '\n';
    return false;
  }
  return true;
}

// Reads the command line into steps; false after a one-line hint for bad usage.
bool ParseSteps(const std::vector<std::string>& args, std::vector<Step>& steps, bool& help,
                std::string& chart_csv, std::ostream& err) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      help = true;
      return true;
    }
    if (arg == "--chart-csv") {
      if (i + 1 >= args.size()) {
        err << "vexa-cli rx: --chart-csv needs a FILE\n";
        return false;
      }
      chart_csv = args[++i];
      continue;
    }
    Step step;
    step.option = arg;
    if (arg == "--stages" || arg == "--cell" || arg == "--lineup") {
      if (i + 1 >= args.size()) {
        err << "vexa-cli rx: " << arg << " needs a value\n";
        return false;
      }
      step.text = args[++i];
      step.option = arg + ' ' + step.text;
      if (arg == "--stages") {
        step.kind = StepKind::kStages;
      } else if (arg == "--lineup") {
        step.kind = StepKind::kLineup;
      } else {
        step.kind = StepKind::kCell;
        std::string why;
        if (!ParseCell(step.text, step, why)) {
          err << "vexa-cli rx: " << why << '\n';
          return false;
        }
      }
    } else if (arg == "analyse") {
      step.kind = StepKind::kAnalyse;
    } else if (const std::size_t equals = arg.find('=');
               equals != std::string::npos && arg.rfind("--", 0) != 0) {
      step.kind = StepKind::kParameter;
      step.key = arg.substr(0, equals);
      step.text = arg.substr(equals + 1);
      if (!IsParameterKey(step.key)) {
        err << "vexa-cli rx: unknown key '" << step.key << "' (see vexa-cli rx --help)\n";
        return false;
      }
    } else {
      err << "vexa-cli rx: unknown " << (arg.rfind("--", 0) == 0 ? "option" : "action") << " '"
          << arg << "' (see vexa-cli rx --help)\n";
      return false;
    }
    steps.push_back(step);
  }
  return true;
}

int RunRx(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  // Every message of the page refuses what was asked: the later steps do not run, exit
  // status 1.
  StderrMessages messages(err);
  RxForm form(messages);

  std::vector<Step> steps;
  bool help = false;
  std::string chart_csv;
  if (!ParseSteps(args, steps, help, chart_csv, err))
    return 2;
  if (help) {
    PrintHelp(form, out);
    return 0;
  }

  int status = 0;
  for (const Step& step : steps) {
    try {
      switch (step.kind) {
        case StepKind::kStages:
          form.LabeledEdit13 = step.text;
          form.LabeledEdit13KeyDown(kEnterKey);
          break;
        case StepKind::kCell:
          // Whether the stage exists depends on the steps before, so this is checked here.
          if (step.column > form.StageCount()) {
            err << "vexa-cli rx: " << step.option << ": there is no stage " << step.column
                << " (the grid has " << form.StageCount() << " stages; --stages N changes that)\n";
            return 2;
          }
          form.StringGrid1[static_cast<std::size_t>(step.column)]
                          [static_cast<std::size_t>(step.row)] = step.text;
          break;
        case StepKind::kParameter:
          form.SetParameter(step.key, step.text);
          break;
        case StepKind::kLineup:
          if (!OpenLineup(form, step.text, err))
            status = 1;
          break;
        case StepKind::kAnalyse:
          form.BitBtn4Click();
          break;
      }
    } catch (const Error& error) {
      err << MessageWithFullStop(error.what()) << '\n';
      status = 1;
    }
    if (messages.refused())
      status = 1;
    if (status != 0)
      break;
  }
  PrintPage(form, out);
  out.flush();  // the printed fields before the file, should FILE be /dev/stdout
  if (!chart_csv.empty() && !WriteChartCsv(form, chart_csv, err))
    status = 1;
  return status;
}

}  // namespace

std::vector<Command> RxCommands() {
  return {
      {"rx", kUsage,
       "The RX page: set the stages and the system parameters, run the cascade analysis, print "
       "every cell and value, write the chart's bars as CSV (vexa-cli rx --help lists the rows "
       "and keys).",
       RunRx},
  };
}

}  // namespace vexa::cli
