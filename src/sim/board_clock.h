#pragma once
// The emulated board's sense of time. On a pseudo-terminal it is the steady clock; the virtual
// bench may give the board its sample clock instead, so that a batch's timeline and the
// received samples share one time base. Times in ns; they never go backwards.
#include <cstdint>

#include "platform/steady_clock.h"

namespace kavu::sim {

class IBoardClock {
 public:
  virtual ~IBoardClock() = default;
  virtual int64_t NowNs() = 0;
};

class SteadyBoardClock : public IBoardClock {
 public:
  int64_t NowNs() override { return SteadyNowNs(); }
};

}  // namespace kavu::sim
