#pragma once
// High-resolution interval timer on the monotonic clock, in seconds.
#include <cstdint>

namespace kavu {

class CKavuTimer1 {
 public:
  CKavuTimer1();  // started at construction
  virtual ~CKavuTimer1() = default;
  void Restart();
  // Seconds since the last restart.
  double Elapsed() const;
  // Seconds since the last restart; then restarts.
  double Lap();

 private:
  int64_t start_ns_;
};

}  // namespace kavu
