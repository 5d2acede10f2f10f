#include "scan/scan_range.h"

#include <cmath>

namespace kavu {

void ScanRangeSummary::Add(double f, double s) {
  const bool newMin = s < minSwr;
  if (newMin) {
    minSwr = s;
    fAtMin = f;
  }
  for (size_t t = 0; t < kSummaryThresholds.size(); ++t) {
    const double T = kSummaryThresholds[t];
    if (prevSwr > T && s <= T) {
      fDown[t] = prevF + (T - prevSwr) / (s - prevSwr) * (f - prevF);
      flag[t] = newMin ? 1 : 0;
    }
    if (s <= T && newMin) flag[t] = 2;
    if (prevSwr <= T && s > T && fDown[t] > 0 && flag[t] != 0) {
      band[t] = std::fabs(prevF + (T - prevSwr) / (s - prevSwr) * (f - prevF) - fDown[t]);
      fDown[t] = -1;
      flag[t] = 0;
    }
  }
  prevF = f;
  prevSwr = s;
}

bool ScanRange::Next(double v, double* next) const {
  const double n = isLog ? v * step : v + step;
  if (!(n > v) || !(n <= end)) return false;
  *next = n;
  return true;
}

}  // namespace kavu
