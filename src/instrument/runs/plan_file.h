// Plan files (".tpl"): Windows-style INI text with the sections BAND, PCL, CN, ITEM, LOSS and
// ANT, written from and read into the test-plan window's controls ("Save Tpl", "Open Tpl").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "instrument/runs/plan_form.h"

namespace vexa {

// A plan file that cannot be read or written: "Unable to write to <file>", or a file that is
// refused before anything is applied (not text, too large, unreadable).
class PlanFileError : public Error {
 public:
  using Error::Error;
};

// Files beyond this size are refused when opened or saved into.
inline constexpr std::size_t kMaxPlanFileSize = 1024 * 1024;
// PCL and CN values are read from at most this many characters when a plan is opened (a
// working buffer of 128 characters with its terminator); a longer value is cut after its last
// whole number.
inline constexpr std::size_t kPlanValueLength = 127;

// The chosen name with its extension replaced by ".tpl" ("plan.txt" -> "plan.tpl", "plan" ->
// "plan.tpl"); only a dot in the last path component starts an extension.
std::string PlanFileName(std::string_view chosen);

// "Save Tpl" after the save dialog returned `chosen`: the plan's keys go into <chosen with
// .tpl>, in the format's order, with CR LF line ends. Every other section and key of an
// existing file is kept. The file is replaced whole (a temporary file in the same directory,
// renamed over it). Once it is in place Label15 shows "<chosen>  Saved". A channel list or
// cable-loss text the user typed that does not hold plain numbers of its band (or a channel
// list longer than kPlanValueLength characters) throws PlanInputError before anything is
// written; a failed write leaves the old file as it was and throws PlanFileError "Unable to
// write to <file>"; after either Label15 shows "<chosen>  Not saved".
void SavePlanFile(PlanForm& form, const std::string& chosen);

// "Open Tpl" after the open dialog returned `chosen`: the file under that very name (one that
// does not exist reads as empty); Label15 shows "<chosen> Opened", then BAND, PCL, CN, ITEM,
// BERREF/BERCOUNT, LOSS and ANT are applied in this order, with the defaults of missing keys.
// A level outside its band's list throws ListIndexError part-way: what was applied before
// stays. A file that is not text or larger than kMaxPlanFileSize throws PlanFileError and
// changes nothing. PCL and CN values longer than kPlanValueLength are cut after their last
// whole number. Lists are read by the file rule (ParseIntegerList); when a PCL, CN or LOSS
// value holds anything else than plain numbers of its band, or was cut, `notice` (when given)
// receives one message that names each such value and what it is read as ("" otherwise). It
// is filled before anything is applied, so it stands also when the opening stops part-way.
void OpenPlanFile(PlanForm& form, const std::string& chosen, std::string* notice = nullptr);

// For a plan file named on the command line: throws PlanFileError "Cannot use <path>: the file
// does not exist" when there is none (the window's open dialog reads a missing file as empty).
void CheckPlanFileExists(const std::string& path);

// The same two operations on the file's bytes, for callers that hold them: ApplyPlanText
// applies `text` as OpenPlanFile does after reading (Label15 untouched); MergePlanText
// returns `existing` with the plan's keys written into it.
void ApplyPlanText(PlanForm& form, std::string_view text, const std::string& name,
                   std::string* notice = nullptr);
std::string MergePlanText(const PlanForm& form, std::string_view existing, const std::string& name);

}  // namespace vexa
