#pragma once
// The counters the window thread and the sample loop share while scanning (see sample_loop.h).
//   SdrLoopSkipN: −1 idle (live spectrum), 0 scanning (every block to the scan), n > 0 drop the
//                 next n blocks, kSkipAll drop everything (a group is being prepared or ended).
//   m_RingResync: set to 1 by the window thread; the loop then drops what is buffered in the
//                 rings and clears it (back to 0: everything delivered from then on is read).
//                 It reads kResyncServing while the loop is dropping.
// The window thread overwrites them with plain stores; the loop decrements SdrLoopSkipN.
#include <atomic>
#include <cstdint>

namespace kavu {

struct LoopCounters {
  static constexpr int32_t kIdle = -1;
  static constexpr int32_t kSkipAll = 1000000000;
  static constexpr int32_t kResyncServing = 2;
  std::atomic<int32_t> SdrLoopSkipN{kIdle};
  std::atomic<int32_t> m_RingResync{0};
};

}  // namespace kavu
