// What the program sets on its QApplication before the first window: the number settings and
// the font the pages are laid out for. The page tests use it too, so they measure the same.
#pragma once

namespace vexa {

// Numbers on the pages take the regional decimal separator (or '.' where the region's cannot
// be typed as one character); printf-style log lines and the C library's conversions stay in
// the "C" numeric locale. The pages are laid out in pixels for a sans-serif face of 11 pixels.
void SetUpApplication();

}  // namespace vexa
