#include "scan/sync_detector.h"

#include <algorithm>
#include <cmath>

#include "platform/num_convert.h"
#include "shell/log_console.h"

namespace kavu {

void OSyncDetector::Start(double q, double pHalf) {
  q_ = std::max<int64_t>(1, ToInt64(q).value_or(1));
  l_ = std::clamp<int64_t>(ToInt64(std::min(q, pHalf)).value_or(1), 1, q_);
  next_ = 0;
  refSum_ = windowSum_ = threshold_ = 0;
  e_ = 0;
}

void OSyncDetector::Step(OSignalChain& chain) {
  if (e_ > 0) return;
  const FftComplex* X = chain.X();
  double* det = chain.Detector();
  const int64_t n = chain.DecimatedCount();
  const auto power = [X](int64_t k) { return std::norm(X[k]); };
  for (; next_ < n && next_ < q_; ++next_) {
    const double v = power(next_);
    refSum_ += v;
    det[next_] = 0;  // no window mean during the reference
    if (next_ >= q_ - l_) windowSum_ += v;
    if (next_ == q_ - 1) threshold_ = 0.49 * (refSum_ / static_cast<double>(q_));
  }
  for (; next_ < n; ++next_) {
    const int64_t k = next_;
    windowSum_ = windowSum_ - power(k - l_) + power(k);
    const double m = windowSum_ / static_cast<double>(l_);
    det[k] = m;
    if (m < threshold_) {
      e_ = std::max<int64_t>(1, k - l_ / 2);
      ++next_;
      Log() << LogColour(kColourSync) << "ОБНАРУЖЕН СИНХРОИМПУЛЬС \n" << LogColour(kColourNormal);
      return;
    }
  }
}

}  // namespace kavu
