// The fixed texts of the GSM tab's read-only reference views: the transmitter output power per
// power control level (PCL view), the output RF spectrum limits (ORFS view, a GMSK half and an
// 8PSK half) and the spurious-emission set-ups and limits (SPUR view). One string per memo line,
// set in fixed-width text.
#pragma once

#include <string>
#include <vector>

namespace vexa {

// The PCL view's memo: 126 lines.
const std::vector<std::string>& PclMemoLines();

// The ORFS view's memo: 232 lines, "GMSK" at line 0 and "8PSK" at kOrfs8pskLine.
const std::vector<std::string>& OrfsMemoLines();
inline constexpr int kOrfs8pskLine = 124;

// The SPUR view's memo: 174 lines.
const std::vector<std::string>& SpurMemoLines();

// The notes under the PVT view's masks: Label16, Label17, Label18 and Label40.
// The second note is one long line, written in two literals (in parentheses, so that the
// joining is plainly meant).
inline constexpr const char* kPvtNotes[4] = {
    "(*)      GSM MAX(-59dBc,-54dBm)*;  DCS/PCS MAX(-48dBc,-48dBm)",
    ("(**)     GSM -4dBc@PCL16, -2dBc@PCL17, -1dBc@PCL18/19;                            "
     "DCS/PCS -4dBc@PCL11, -2dBc@PCL12, -1dBc@PCL13/14/15"),
    "(***)    GSM MAX(-30dBc,-17dBm);  DCS/PCS MAX(-30dBc,-20dBm)",
    "*except for the time slot preceding the active slot,  which MAX(-59dBc,-36dBm)"};

}  // namespace vexa
