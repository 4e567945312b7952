// `vexa-cli reference VIEW`: the fixed texts of the GSM tab's read-only reference views.
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "gsm/reference_texts.h"

namespace vexa::cli {
namespace {

constexpr char kViews[] = "pcl, pvt, orfs or spur";

int RunReference(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string view;
  bool epsk = false;
  for (const std::string& arg : args) {
    if (arg == "--8psk") {
      epsk = true;
    } else if (view.empty() && !arg.starts_with("-")) {
      view = arg;
    } else {
      err << "vexa-cli: unexpected argument '" << arg << "' (see --help)\n";
      return 2;
    }
  }
  if (view.empty()) {
    err << "vexa-cli: expected a view: " << kViews << " (see --help)\n";
    return 2;
  }
  if (view != "pcl" && view != "pvt" && view != "orfs" && view != "spur") {
    err << "vexa-cli: unknown view '" << view << "' (" << kViews << ")\n";
    return 2;
  }
  if (epsk && view != "orfs") {
    err << "vexa-cli: --8psk goes only with the orfs view\n";
    return 2;
  }
  if (view == "pvt") {
    for (std::string_view note : kPvtNotes)
      out << note << '\n';
    return 0;
  }
  const std::vector<std::string>& lines = view == "pcl"    ? PclMemoLines()
                                          : view == "orfs" ? OrfsMemoLines()
                                                           : SpurMemoLines();
  for (std::size_t i = epsk ? kOrfs8pskLine : 0; i < lines.size(); ++i)
    out << lines[i] << '\n';
  return 0;
}

}  // namespace

std::vector<Command> ReferenceCommands() {
  return {{"reference", "reference pcl|pvt|orfs|spur [--8psk]",
           "The GSM tab's reference views: the memo lines of PCL, ORFS or SPUR, or the PVT view's "
           "notes; --8psk prints the ORFS view from its 8PSK half on.",
           RunReference}};
}

}  // namespace vexa::cli
