// Plan files (".tpl"): Windows-style INI text with the sections BAND, PCL, CN, ITEM, LOSS and
// ANT, written from and read into the test-plan window's controls ("Save Tpl", "Open Tpl").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "instrument/plan_form.h"

namespace vexa {

// A plan file that cannot be read or written: "Unable to write to <file>", or a file that is
// refused before anything is applied (not text, too large, unreadable).
class PlanFileError : public Error {
 public:
  using Error::Error;
};

// Files beyond this size are refused when opened or saved into.
inline constexpr std::size_t kMaxPlanFileSize = 1024 * 1024;
// PCL and CN values are cut to this many characters when a plan is opened (a working buffer
// of 128 characters with its terminator).
inline constexpr std::size_t kPlanValueLength = 127;

// The chosen name with its extension replaced by ".tpl" ("plan.txt" -> "plan.tpl", "plan" ->
// "plan.tpl"); only a dot in the last path component starts an extension.
std::string PlanFileName(std::string_view chosen);

// "Save Tpl" after the save dialog returned `chosen`: Label15 shows "<chosen>  Saved", then
// the plan's keys go into <chosen with .tpl>, in the format's order, with CR LF line ends.
// Every other section and key of an existing file is kept. The file is replaced whole (a
// temporary file in the same directory, renamed over it): a failure leaves the old file as
// it was and throws PlanFileError "Unable to write to <file>".
void SavePlanFile(PlanForm& form, const std::string& chosen);

// "Open Tpl" after the open dialog returned `chosen`: the file under that very name (one that
// does not exist reads as empty); Label15 shows "<chosen> Opened", then BAND, PCL, CN, ITEM,
// BERREF/BERCOUNT, LOSS and ANT are applied in this order, with the defaults of missing keys.
// A level outside its band's list throws ListIndexError part-way: what was applied before
// stays. A file that is not text or larger than kMaxPlanFileSize throws PlanFileError and
// changes nothing.
void OpenPlanFile(PlanForm& form, const std::string& chosen);

// The same two operations on the file's bytes, for callers that hold them: ApplyPlanText
// applies `text` as OpenPlanFile does after reading (Label15 untouched); MergePlanText
// returns `existing` with the plan's keys written into it.
void ApplyPlanText(PlanForm& form, std::string_view text, const std::string& name);
std::string MergePlanText(const PlanForm& form, std::string_view existing, const std::string& name);

}  // namespace vexa
