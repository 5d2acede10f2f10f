// Feeds arbitrary text to the range parser. Every accepted range must be one a scan can walk:
// finite positive frequencies, a finite step (positive for a plain range, a ratio of at least 1
// for a logarithmic one), never more than kMaxScanRanges ranges, and a walk whose frequencies rise
// and stay at or below the range's end. Parsing the same text twice gives the same ranges.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "scan/range_text.h"
#include "shell/log_console.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckWalk(const kavu::ScanRange& r) {
  double f = r.start;
  for (int i = 0; i < 256; ++i) {
    double next = 0;
    if (!r.Next(f, &next)) return;
    Check(std::isfinite(next) && next > f && next <= r.end);
    f = next;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavu;
  static bool quiet = (Log().SetSink(OLogConsole::Sink::None), true);
  (void)quiet;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ParsedRanges parsed = ParseRanges(text);
  Check(parsed.ranges.size() <= static_cast<size_t>(kMaxScanRanges));
  for (const ScanRange& r : parsed.ranges) {
    Check(std::isfinite(r.start) && r.start > 0);
    Check(std::isfinite(r.end) && r.end > 0);
    // A count range with equal ends is one frequency with step 0; a plain step is positive.
    Check(std::isfinite(r.step) && r.step >= 0);
    if (r.kind == RangeKind::kPlain) Check(r.step > 0);
    if (r.isLog) Check(r.step >= 1.0);
    CheckWalk(r);
  }
  const ParsedRanges again = ParseRanges(text);
  Check(again.ranges.size() == parsed.ranges.size() && again.refusals == parsed.refusals);
  for (size_t i = 0; i < parsed.ranges.size(); ++i) {
    Check(again.ranges[i].start == parsed.ranges[i].start && again.ranges[i].end == parsed.ranges[i].end &&
          again.ranges[i].step == parsed.ranges[i].step && again.ranges[i].kind == parsed.ranges[i].kind);
  }
  return 0;
}
