#include "shell/kavu_timer.h"

#include <chrono>

namespace kavu {
namespace {
int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

CKavuTimer1::CKavuTimer1() : start_ns_(NowNs()) {}
void CKavuTimer1::Restart() { start_ns_ = NowNs(); }
double CKavuTimer1::Elapsed() const { return static_cast<double>(NowNs() - start_ns_) * 1e-9; }
double CKavuTimer1::Lap() {
  const int64_t now = NowNs();
  const double s = static_cast<double>(now - start_ns_) * 1e-9;
  start_ns_ = now;
  return s;
}

}  // namespace kavu
