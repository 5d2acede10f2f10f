#pragma once
// The scan's range text: "нач - конец шаг" groups in MHz, separated by blanks or ";", e.g.
// "140-150 0.5; 425-440 1", "1,8-2 N11" (11 frequencies), "1-30 L5" (5 frequencies spaced by
// a constant ratio). A comma is a decimal point.
#include <string>
#include <string_view>
#include <vector>

#include "scan/scan_range.h"

namespace kavu {

inline constexpr int kMaxScanRanges = 32;

struct ParsedRanges {
  std::vector<ScanRange> ranges;  // at most kMaxScanRanges, in text order, Hz
  // Red log lines already written for refused parts (non-finite numbers, steps that do not
  // advance, ranges beyond the 32nd); empty when nothing was refused.
  std::vector<std::string> refusals;
};

// Parses `text`. Reading stops silently at the first group that is not a valid range (a number
// that is not positive, a count below 1, a count or logarithmic range whose end lies below its
// start), as the program always did. It also stops, with one red log line naming the group, at
// a number that is not finite ("nan", "inf", overflow, also once turned into Hz) and at a plain range whose step is too
// small to change the frequency: such a scan would never end. Ranges beyond the 32nd are named
// in one red line and not used. Every accepted range is logged ("Диапазон ...").
// Success (for the caller) means at least one range. With `log` false nothing is written to the
// log (a window that only looks at the plan); the refusals are returned all the same.
ParsedRanges ParseRanges(std::string_view text, bool log = true);

}  // namespace kavu
