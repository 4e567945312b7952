#include <optional>
#include <string>
#include <utility>

#include "cli/commands.h"
#include "cli/page_cli.h"
#include "core/convert.h"
#include "core/errors.h"
#include "matching/smith_form.h"
#include "matching/touchstone.h"

namespace vexa::cli {
namespace {

constexpr int kEnter = 13;

// "X,Y": two integers, blanks around each allowed.
std::optional<std::pair<int, int>> ParsePixel(const std::string& text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos)
    return std::nullopt;
  try {
    return std::pair{TextToInt(text.substr(0, comma)), TextToInt(text.substr(comma + 1))};
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

PageCli SmithPageCli(SmithForm& form) {
  PageCli page;
  page.page = "smith";
  page.title =
      "The SMITH page: a 50-ohm Smith chart on a 352 x 352 image (pixel 176,176 is the centre, "
      "y downward); the marked impedance, its reflection and equivalent circuits. "
      "vexa-cli smith --touchstone FILE prints each point of a .s1p/.s2p file instead.";
  AddTextKeys<SmithForm>(page, form, kSmithFields);
  const auto at_pixel = [&form](void (SmithForm::*handler)(int, int)) {
    return [&form, handler](const std::string& value) {
      const auto pixel = ParsePixel(value);  // checked before anything runs
      (form.*handler)(pixel->first, pixel->second);
    };
  };
  page.actions = {
      {"enter", "Enter in \"R\": put the marker on R + jX", ValueKind::kNone,
       [&form](const std::string&) { form.LabeledEdit10KeyDown(kEnter); }},
      {"move", "the mouse moved to pixel X,Y of the chart", ValueKind::kText,
       at_pixel(&SmithForm::Image3MouseMove)},
      {"press", "a mouse button pressed at pixel X,Y (starts dragging)", ValueKind::kText,
       at_pixel(&SmithForm::Image3MouseDown)},
      {"release", "the mouse button released (ends dragging)", ValueKind::kNone,
       [&form](const std::string&) { form.Image3MouseUp(); }},
      {"scroll", "the scroll bar moved to P (0 to 3600, tenths of a degree)", ValueKind::kInteger,
       [&form](const std::string& value) { form.SetScrollPosition(TextToInt(value)); }},
  };
  const auto field = [&page](const char* key, std::function<std::string()> text) {
    page.fields.push_back({key, std::move(text)});
  };
  AddTextFields<SmithForm>(page, form, kSmithFields);
  field("marker",
        [&form] { return std::to_string(form.MarkerLeft) + "," + std::to_string(form.MarkerTop); });
  field("scroll", [&form] { return std::to_string(form.ScrollPosition); });
  field("dragging", [&form] { return std::string(form.state.dragging ? "1" : "0"); });
  return page;
}

// The pixel actions take "X,Y"; anything else is bad usage, found before anything runs.
bool PixelsAreValid(const std::vector<std::string>& args, std::ostream& err) {
  bool value_follows = false;
  for (const std::string& arg : args) {
    if (value_follows) {
      value_follows = false;
      continue;
    }
    if (arg.rfind("--", 0) == 0) {
      value_follows = true;
      continue;
    }
    for (const char* action : {"move=", "press="}) {
      const std::string prefix = action;
      if (arg.rfind(prefix, 0) == 0 && !ParsePixel(arg.substr(prefix.size()))) {
        err << "vexa-cli smith: " << arg.substr(0, prefix.size() - 1) << " takes X,Y, not '"
            << arg.substr(prefix.size()) << "'\n";
        return false;
      }
    }
  }
  return true;
}

int RunTouchstone(const std::string& path, std::ostream& out, std::ostream& err) {
  const TouchstoneResult result = ReadTouchstoneFile(path);
  if (!result.ok) {
    err << result.error << '\n';
    return 1;
  }
  for (const std::string& line : TouchstoneReport(result.data))
    out << line << '\n';
  return 0;
}

int RunSmith(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty() && args.front() == "--touchstone") {
    if (args.size() != 2) {
      err << "vexa-cli smith: --touchstone takes one FILE and nothing else\n";
      return 2;
    }
    return RunTouchstone(args[1], out, err);
  }
  SmithForm form;
  const PageCli page = SmithPageCli(form);
  if (!PixelsAreValid(args, err))
    return 2;
  return RunPageCli(page, args, out, err);
}

}  // namespace

std::vector<Command> SmithCommands() {
  return {
      {"smith", "smith [--KEY TEXT]... [ACTION]... | smith --touchstone FILE",
       "The SMITH page: set r, x, freq, run enter, move=X,Y, press=X,Y, release, scroll=P, print "
       "every field (vexa-cli smith --help lists them); --touchstone FILE prints each point of "
       "a Touchstone file as \"f_hz R X |G| VSWR\".",
       RunSmith},
  };
}

}  // namespace vexa::cli
