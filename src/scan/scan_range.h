#pragma once
// One frequency range of a scan and its running summary (lowest SWR, bandwidths at SWR
// thresholds). Frequencies in Hz; SWR as a plain ratio (1 = matched).
#include <array>
#include <cstdint>

namespace kavu {

// The SWR thresholds the summary tracks, in this order.
inline constexpr std::array<double, 4> kSummaryThresholds = {1.5, 2.0, 3.0, 4.0};

struct ScanRangeSummary {
  double minSwr = 1e100;  // lowest SWR seen in the range
  double fAtMin = 0;      // frequency of that lowest SWR, Hz
  double prevF = 0;       // frequency of the previous point, Hz
  double prevSwr = 1e100;
  std::array<double, 4> fDown = {-1, -1, -1, -1};  // where the SWR last fell to T or below, Hz
  std::array<int32_t, 4> flag = {0, 0, 0, 0};      // 0 none, 1 crossing at a new minimum, 2 minimum inside
  std::array<double, 4> band = {0, 0, 0, 0};       // width of the last completed interval at or below T, Hz

  // Adds one point (f in Hz, SWR s). Crossings are interpolated linearly between the previous
  // point and this one; band(T) becomes the width of the most recent interval at or below T
  // that contained the range's lowest SWR when it closed.
  void Add(double f, double s);
};

// How the range was written: plain "S-E step", count "S-E N n", logarithmic "S-E L n".
enum class RangeKind : int32_t { kPlain = 0, kCount = 1, kLog = 2 };

struct ScanRange {
  double start = 0;  // first frequency, Hz
  double end = 0;    // last admissible frequency, Hz (count/log ranges: half a step beyond)
  double step = 0;   // linear: step in Hz; logarithmic: ratio between neighbouring frequencies
  int32_t isLog = 0;
  RangeKind kind = RangeKind::kPlain;
  ScanRangeSummary summary;

  // The frequency after v, or nothing when it would pass the end or would not advance (a range
  // of one frequency, or a step too small to change v).
  bool Next(double v, double* next) const;
};

// The far sentinel point that closes a range summary: 15 GHz with a huge SWR.
inline constexpr double kSummarySentinelHz = 1.5e10;
inline constexpr double kSummarySentinelSwr = 1e100;

}  // namespace kavu
