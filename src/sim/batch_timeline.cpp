#include "sim/batch_timeline.h"

#include <algorithm>
#include <cmath>

namespace kavu::sim {

const TimelineSegment* BatchTimeline::At(uint64_t tick) const {
  if (tick >= duration_ticks || segments.empty()) return nullptr;
  const auto it = std::upper_bound(
      segments.begin(), segments.end(), tick,
      [](uint64_t t, const TimelineSegment& s) { return t < s.start_ticks; });
  return it == segments.begin() ? nullptr : &*(it - 1);
}

const TimelineState& BatchTimeline::StateAt(uint64_t tick) const {
  const TimelineSegment* s = At(tick);
  return s ? s->state : after;
}

int64_t BatchTimeline::TickToNs(uint64_t tick) const {
  if (ticks_per_second <= 0.0) return anchor_ns;
  return anchor_ns + static_cast<int64_t>(std::llround(static_cast<double>(tick) * 1e9 /
                                                       ticks_per_second));
}

}  // namespace kavu::sim
