#include "shell/kavu_timer.h"

#include "platform/steady_clock.h"

namespace kavu {

CKavuTimer1::CKavuTimer1() : start_ns_(SteadyNowNs()) {}
void CKavuTimer1::Restart() { start_ns_ = SteadyNowNs(); }
double CKavuTimer1::Elapsed() const { return static_cast<double>(SteadyNowNs() - start_ns_) * 1e-9; }
double CKavuTimer1::Lap() {
  const int64_t now = SteadyNowNs();
  const double s = static_cast<double>(now - start_ns_) * 1e-9;
  start_ns_ = now;
  return s;
}

}  // namespace kavu
